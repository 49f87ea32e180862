#include "app/window/notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QStringList>
#include <QVariantMap>

namespace zarvex {
namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";

// Without an address in the environment or the usual socket, asking for the
// session bus would start one (autolaunch): there is none to tell then.
bool SessionBusThere()
{
    if (qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS")) return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + "/bus");
}

class DBusNotifier final : public Notifier
{
public:
    void Notify(const QString& title, const QString& body) override
    {
        if (!SessionBusThere()) return;
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) return;
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, "Notify");
        call << QString("Zarvex") << 0u << QString("zarvex") << title << body << QStringList()
             << QVariantMap{{"desktop-entry", QString("zarvex")}} << -1;
        // No service: the bus answers with an error nobody waits for.
        bus.send(call);
    }
};

} // namespace

std::unique_ptr<Notifier> MakeDesktopNotifier()
{
    return std::make_unique<DBusNotifier>();
}

} // namespace zarvex
