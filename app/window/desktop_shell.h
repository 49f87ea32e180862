// What joins the main window to the desktop: the command server and the
// commands it runs on the window, the Preferences and Advanced Preferences
// dialogs behind the menu commands, and help (the HTML manual in the browser).
#pragma once

#include "app/command_line.h"
#include "app/desktop/desktop_files.h"
#include "app/server/command_string.h"

#include <QObject>

class QDialog;

#include <string>

namespace zarvex {

class CZarvexDlg;
class CommandServer;
class Engine;

class DesktopShell : public QObject, public CommandTarget
{
    Q_OBJECT
public:
    // `cl`: the command line the program was started with ("open" skips its files).
    // `iniPath`: the settings file, where the previous owners of associated
    // extensions are written at once (empty: only at exit, with the rest).
    DesktopShell(CZarvexDlg& window, Engine& engine, CommandLine cl, DesktopPaths paths,
                 std::string iniPath = {});

    // Serves commands on `socketPath`; false when another program serves them.
    bool ListenForCommands(const std::string& socketPath);

    // Run the dialog and, on OK, take its values over. True when accepted.
    bool Preferences();
    bool AdvancedPreferences();
    // Opens the manual at `anchor` (empty: the contents).
    void Help(const QString& anchor);
    // The manual: installed beside the program, else the source tree's.
    static QString ManualPath();

    // CommandTarget.
    bool Busy() const override;
    bool Open(const std::string& path) override;
    bool Quit() override;
    bool Extract(const std::string* folder) override;
    bool Clear() override;
    bool Purge() override;

private:
    bool OnCommandLine(const std::string& path) const;
    void HelpOnF1(QDialog& dialog, const QString& anchor);
    void SaveAssociationEntries();

    CZarvexDlg& m_Window;
    Engine& m_Engine;
    CommandLine m_Cl;
    DesktopPaths m_Paths;
    std::string m_IniPath;
    CommandServer* m_Server = nullptr;
};

} // namespace zarvex
