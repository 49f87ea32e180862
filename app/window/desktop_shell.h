// What joins the main window to the desktop: the command server and the
// commands it runs on the window, the Preferences and Advanced Preferences
// dialogs behind the menu commands, and help (the HTML manual in the browser).
#pragma once

#include "app/command_line.h"
#include "app/desktop/desktop_files.h"
#include "app/server/command_string.h"

#include <QObject>

#include <deque>
#include <functional>
#include <string>

class QDialog;
class QTimer;

namespace zarvex {

class CZarvexDlg;
class CommandServer;
class Engine;

class DesktopShell : public QObject, public CommandTarget
{
    Q_OBJECT
public:
    // `iniPath`: the settings file, where the previous owners of associated
    // extensions are written at once (empty: only at exit, with the rest).
    DesktopShell(CZarvexDlg& window, Engine& engine, DesktopPaths paths, std::string iniPath = {});

    // Serves commands on `socketPath`; false when another program serves them.
    bool ListenForCommands(const std::string& socketPath);

    // Run the dialog and, on OK, take its values over. True when accepted.
    bool Preferences();
    bool AdvancedPreferences();
    // Opens the manual at `anchor` (empty: the contents).
    void Help(const QString& anchor);
    // The manual: installed beside the program, else the source tree's.
    static QString ManualPath();

    // CommandTarget. Every command is answered at once: reading a file or the
    // clipboard (which may ask questions) waits until the window is idle,
    // with no dialog open; so do the others while a dialog is open.
    bool Busy() const override;
    bool Open(const std::string& path) override;
    bool Quit() override;
    bool Extract(const std::string* folder) override;
    bool Clear() override;
    bool Purge() override;
    bool Show() override;
    bool Paste() override;

    // Commands taken but not yet run.
    std::size_t Pending() const { return m_Pending.size(); }

private:
    // Runs `work` now when the window is free for it, else once it is.
    // The result of `work` when it ran now; true when it waits.
    bool RunOrQueue(std::function<bool()> work, bool alwaysLater = false);
    bool WindowFree() const;
    void RunPending();
    void ReadHandedOver(const std::string& path);
    void Raise();
    bool RunExtract(const std::string* folder);
    void HelpOnF1(QDialog& dialog, const QString& anchor);
    void SaveAssociationEntries();

    CZarvexDlg& m_Window;
    Engine& m_Engine;
    DesktopPaths m_Paths;
    std::string m_IniPath;
    CommandServer* m_Server = nullptr;
    std::deque<std::function<bool()>> m_Pending;
    QTimer* m_PendingTimer;
};

} // namespace zarvex
