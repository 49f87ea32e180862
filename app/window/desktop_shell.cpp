#include "app/window/desktop_shell.h"

#include "app/desktop/associations.h"
#include "app/ini_file.h"
#include "app/unattended.h"
#include "app/window/advanced_preferences_dialog.h"
#include "app/window/command_server.h"
#include "app/window/commands.h"
#include "app/window/main_window.h"
#include "app/window/preferences_dialog.h"
#include "model/records.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QShortcut>
#include <QTimer>
#include <QUrl>

#include <climits>
#include <cstdlib>
#include <functional>
#include <optional>
#include <sys/stat.h>

namespace zarvex {
namespace {

// The path with links and "." / ".." resolved; empty when it does not exist.
std::string RealPath(const std::string& path)
{
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

bool IsPurged(const CSortInfo& group)
{
    const int status = group.m_Status & GS_MASK;
    return status == GS_STARTED || status == GS_COMPLETE || status == GS_TOO_MANY;
}

} // namespace

DesktopShell::DesktopShell(CZarvexDlg& window, Engine& engine, DesktopPaths paths, std::string iniPath)
    : QObject(&window), m_Window(window), m_Engine(engine), m_Paths(std::move(paths)), m_IniPath(std::move(iniPath)),
      m_PendingTimer(new QTimer(this))
{
    // Looks again for a free window while commands wait.
    m_PendingTimer->setInterval(100);
    connect(m_PendingTimer, &QTimer::timeout, this, &DesktopShell::RunPending);
    const auto on = [this](int id, std::function<void()> run) { m_Window.SetCommandHandler(id, std::move(run)); };
    on(cmd::Preferences, [this] { Preferences(); });
    on(cmd::AdvancedPreferences, [this] { AdvancedPreferences(); });
    on(cmd::HelpContents, [this] { Help({}); });
    on(cmd::HelpSearch, [this] { Help("index"); });
    on(cmd::HelpUsing, [this] { Help("using-help"); });
}

bool DesktopShell::ListenForCommands(const std::string& socketPath)
{
    if (!m_Server) m_Server = new CommandServer(*this, this);
    return m_Server->Listen(socketPath);
}

// F1 in a dialog opens the manual at the dialog's own section.
void DesktopShell::HelpOnF1(QDialog& dialog, const QString& anchor)
{
    auto* f1 = new QShortcut(QKeySequence::HelpContents, &dialog);
    connect(f1, &QShortcut::activated, this, [this, anchor] { Help(anchor); });
}

bool DesktopShell::Preferences()
{
    if (m_Window.IsBusy()) return false;
    AppSettings& app = m_Window.Preferences();
    PreferencesDialog dialog(app.core, m_Window.Run().AssumeSortedOrder, m_Paths, m_Window.SettingsFile(),
                             &m_Window);
    HelpOnF1(dialog, "preferences");
    if (dialog.exec() != QDialog::Accepted) return false;
    app.core = dialog.Result();
    m_Window.Run().AssumeSortedOrder = dialog.AssumeSorted();
    SaveAssociationEntries();
    return true;
}

// The desktop already holds the new defaults: the old ones must not depend
// on the program reaching its exit to be remembered.
void DesktopShell::SaveAssociationEntries()
{
    if (m_IniPath.empty()) return;
    IniFile disk;
    if (disk.Load(m_IniPath) != 0) return;
    const IniFile& held = m_Window.SettingsFile();
    for (std::size_t i = 1; i <= kFileAssociations.size(); ++i) {
        const std::string key = "Pref" + std::to_string(i);
        if (const auto value = held.Get(kAssociationSection, key))
            disk.Set(kAssociationSection, key, *value);
        else
            disk.Remove(kAssociationSection, key);
    }
    disk.Save(m_IniPath);
}

bool DesktopShell::AdvancedPreferences()
{
    if (m_Window.IsBusy()) return false;
    AdvancedPreferencesDialog dialog(m_Window.Preferences().core, &m_Window);
    HelpOnF1(dialog, "advanced");
    if (dialog.exec() != QDialog::Accepted) return false;
    m_Window.Preferences().core = dialog.Result();
    return true;
}

QString DesktopShell::ManualPath()
{
    const QString installed = QCoreApplication::applicationDirPath() + "/../share/zarvex/manual.html";
    if (QFileInfo::exists(installed)) return QFileInfo(installed).canonicalFilePath();
    return QStringLiteral(ZARVEX_SOURCE_DIR "/docs/manual.html");
}

void DesktopShell::Help(const QString& anchor)
{
    QUrl url = QUrl::fromLocalFile(ManualPath());
    if (!anchor.isEmpty()) url.setFragment(anchor);
    QDesktopServices::openUrl(url);
}

bool DesktopShell::Busy() const
{
    return m_Window.IsBusy();
}

bool DesktopShell::WindowFree() const
{
    return !m_Window.IsBusy() && !m_Window.Extracting() && !QApplication::activeModalWidget() &&
           !QApplication::activePopupWidget();
}

bool DesktopShell::RunOrQueue(std::function<bool()> work, bool alwaysLater)
{
    if (!alwaysLater && m_Pending.empty() && WindowFree()) return work();
    m_Pending.push_back(std::move(work));
    // Never inside the handler of the command: the socket's client is answered first.
    QTimer::singleShot(0, this, &DesktopShell::RunPending);
    m_PendingTimer->start();
    return true;
}

void DesktopShell::RunPending()
{
    while (!m_Pending.empty() && WindowFree()) {
        const std::function<bool()> work = std::move(m_Pending.front());
        m_Pending.pop_front();
        work();
    }
    if (m_Pending.empty()) m_PendingTimer->stop();
}

void DesktopShell::Raise()
{
    if (m_Window.isMinimized()) m_Window.showNormal();
    m_Window.show();
    m_Window.raise();
    m_Window.activateWindow();
}

// A file already in the input list is not read again (and no box says so):
// the file manager only asked to see it.
void DesktopShell::ReadHandedOver(const std::string& path)
{
    const std::string real = RealPath(path);
    for (const InputEntry& entry : m_Window.Inputs())
        if (!real.empty() && RealPath(entry.path) == real) return;
    m_Window.AddInputs({path});
}

bool DesktopShell::Open(const std::string& path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0) return false;
    Raise();
    return RunOrQueue([this, path] { return ReadHandedOver(path), true; }, true);
}

bool DesktopShell::Show()
{
    Raise();
    return true;
}

bool DesktopShell::Paste()
{
    Raise();
    return RunOrQueue([this] { return m_Window.Action(cmd::Paste)->trigger(), true; }, true);
}

bool DesktopShell::Quit()
{
    return RunOrQueue([this] { return QTimer::singleShot(0, &m_Window, &QWidget::close), true; });
}

bool DesktopShell::Extract(const std::string* folder)
{
    if (m_Window.IsBusy()) return false;
    std::optional<std::string> into;
    if (folder) into = *folder;
    return RunOrQueue([this, into] { return RunExtract(into ? &*into : nullptr); });
}

bool DesktopShell::RunExtract(const std::string* folder)
{
    AppSettings& app = m_Window.Preferences();
    if (folder) app.Dirs[0] = *folder;
    const std::string outDir = app.Dirs[0].empty() ? "." : app.Dirs[0];
    const bool wasSilent = m_Window.CoreHost().Silent();
    m_Window.EnterBusy();
    m_Window.CoreHost().SetSilent(true);
    const int result = RunUnattendedExtraction(m_Window.SortList(), app.core, m_Window.Run(),
                                               m_Window.CoreHost(), m_Engine, outDir);
    m_Window.CoreHost().SetSilent(wasSilent);
    m_Window.LeaveBusy();
    m_Window.RebuildOutputList(true);
    return result >= 0;
}

bool DesktopShell::Clear()
{
    if (m_Window.IsBusy()) return false;
    return RunOrQueue([this] { return m_Window.ClearAll(), true; });
}

bool DesktopShell::Purge()
{
    if (m_Window.IsBusy()) return false;
    return RunOrQueue([this] {
        MyCObArray& list = m_Window.SortList();
        for (int i = list.GetSize() - 1; i >= 0; --i)
            if (IsPurged(*list.GetAt(i))) list.RemoveGroupAt(i);
        m_Window.RebuildOutputList(true);
        return true;
    });
}

} // namespace zarvex
