// Desktop notifications: the end of long work is told to a user who looks
// at another window.
#pragma once

#include <QString>

#include <memory>

namespace zarvex {

class Notifier
{
public:
    virtual ~Notifier() = default;
    virtual void Notify(const QString& title, const QString& body) = 0;
};

// org.freedesktop.Notifications on the session bus. Never waits for an
// answer, never starts a bus; does nothing when no bus or no notification
// service is there.
std::unique_ptr<Notifier> MakeDesktopNotifier();

} // namespace zarvex
