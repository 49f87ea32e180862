// Saves a picture of the main window with the given mail files read and
// extracted, and one of its log window:
//   zarvex_window_shot OUT.png LOG.png FILE...
// scripts/window-screenshot.sh runs it under xvfb-run for the README.
#include "app/core_engine.h"
#include "app/window/log_window.h"
#include "app/window/main_window.h"

#include <QApplication>
#include <QDir>
#include <QTreeWidget>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: zarvex_window_shot OUT.png LOG.png FILE...\n");
        return 2;
    }
    QApplication app(argc, argv);
    zarvex::CoreEngine engine;
    zarvex::CZarvexDlg window(engine, "");
    window.CoreHost().SetSilent(true);
    window.resize(820, 420);
    window.show();
    std::vector<std::string> files(argv + 3, argv + argc);
    window.AddInputs(files);
    const QString out = QDir::temp().filePath("zarvex-shot-out");
    QDir().mkpath(out);
    // Extract one entry so the log shows a written file; select the first.
    if (window.OutputList()->topLevelItemCount() > 0) {
        window.OutputList()->topLevelItem(0)->setSelected(true);
        window.ExtractTo(out.toStdString());
        window.OutputList()->setCurrentItem(window.OutputList()->topLevelItem(0));
    }
    QDir(out).removeRecursively();
    QApplication::processEvents();
    const bool ok = window.grab().save(argv[1]);
    window.Log()->resize(620, 300);
    window.Log()->show();
    QApplication::processEvents();
    const bool logOk = window.Log()->grab().save(argv[2]);
    return ok && logOk ? 0 : 1;
}
