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
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QShortcut>
#include <QTimer>
#include <QUrl>

#include <climits>
#include <cstdlib>
#include <functional>
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

DesktopShell::DesktopShell(CZarvexDlg& window, Engine& engine, CommandLine cl, DesktopPaths paths,
                           std::string iniPath)
    : QObject(&window), m_Window(window), m_Engine(engine), m_Cl(std::move(cl)), m_Paths(std::move(paths)),
      m_IniPath(std::move(iniPath))
{
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
    const QString installed = QCoreApplication::applicationDirPath() + "/../share/doc/zarvex/manual.html";
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

// The files of the program's own command line are read by it already.
bool DesktopShell::OnCommandLine(const std::string& path) const
{
    const std::string real = RealPath(path);
    for (const std::string& f : m_Cl.files)
        if (!real.empty() && RealPath(f) == real) return true;
    return false;
}

bool DesktopShell::Open(const std::string& path)
{
    if (OnCommandLine(path)) return true;
    struct stat st
    {
    };
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && !m_Window.IsBusy()) m_Window.AddInputs({path});
    if (m_Window.isMinimized()) m_Window.showNormal();
    m_Window.show();
    m_Window.raise();
    m_Window.activateWindow();
    m_Window.update();
    return exists;
}

bool DesktopShell::Quit()
{
    QTimer::singleShot(0, &m_Window, &QWidget::close);
    return true;
}

bool DesktopShell::Extract(const std::string* folder)
{
    if (m_Window.IsBusy()) return false;
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
    m_Window.ClearAll();
    return true;
}

bool DesktopShell::Purge()
{
    if (m_Window.IsBusy()) return false;
    MyCObArray& list = m_Window.SortList();
    for (int i = list.GetSize() - 1; i >= 0; --i)
        if (IsPurged(*list.GetAt(i))) list.RemoveGroupAt(i);
    m_Window.RebuildOutputList(true);
    return true;
}

} // namespace zarvex
