#include "app/window/run_window.h"

#include "app/command_line.h"
#include "app/core_engine.h"
#include "app/desktop/desktop_files.h"
#include "app/ini_location.h"
#include "app/server/command_client.h"
#include "app/window/desktop_shell.h"
#include "app/window/main_window.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <iostream>

namespace zarvex {

int RunWindow(int& argc, char** argv, const CommandLine& cl, const IniLocation& ini)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Zarvex");
    QApplication::setWindowIcon(QIcon::fromTheme("zarvex"));
    // A program run from its build folder makes itself known to the desktop;
    // a portable or installed one leaves the user's folders alone.
    const DesktopPaths paths = DesktopPaths::FromProcess();
    const std::string program = ProgramPath();
    if (!ini.portable && !program.empty() && !IsInstalledProgram(program))
        RegisterDesktopFiles(paths, program);

    CoreEngine engine;
    CZarvexDlg window(engine, ini.path, cl);
    window.CoreHost().SetSilent(cl.silent);
    auto* shell = new DesktopShell(window, engine, paths, ini.path);
    // Only lost to a program that started at the same moment.
    if (!shell->ListenForCommands(CommandSocketPath()))
        std::cerr << "zarvex: another zarvex serves " << CommandSocketPath() << "; this window takes no commands\n";
    if (window.Preferences().Minimized)
        window.showMinimized();
    else
        window.show();
    // The deferred start-up step: the command line's log file and files.
    QTimer::singleShot(0, &window, &CZarvexDlg::StartUp);
    return app.exec();
}

} // namespace zarvex
