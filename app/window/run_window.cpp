#include "app/window/run_window.h"

#include "app/command_line.h"
#include "app/core_engine.h"
#include "app/window/main_window.h"

#include <QApplication>
#include <QTimer>

namespace zarvex {

int RunWindow(int& argc, char** argv, const CommandLine& cl, const std::string& iniPath)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Zarvex");
    CoreEngine engine;
    CZarvexDlg window(engine, iniPath, cl);
    window.CoreHost().SetSilent(cl.silent);
    if (window.Preferences().Minimized)
        window.showMinimized();
    else
        window.show();
    QTimer::singleShot(0, &window, &CZarvexDlg::StartUp);
    return app.exec();
}

} // namespace zarvex
