// Pictures of the desktop window for the README, as a window manager frames
// them: the main window with the given mail files read and extracted (its
// summary in the status bar), the log window after that extraction, and the
// main window again on a dark theme:
//   zarvex_window_shot OUTDIR FILE...
// writes OUTDIR/window.png, OUTDIR/log-window.png and OUTDIR/window-dark.png.
// scripts/window-screenshot.sh runs it under xvfb-run with openbox.
#include "app/core_engine.h"
#include "app/window/log_window.h"
#include "app/window/main_window.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>

namespace {

// Lets the window manager map and frame the windows before a picture.
void Settle(int ms = 700)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The window with its frame, from the screen.
bool Shoot(QWidget& w, const QString& path)
{
    Settle();
    const QRect frame = w.frameGeometry();
    return w.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).save(path);
}

QPalette DarkPalette()
{
    QPalette p;
    const QColor window(45, 45, 48), base(30, 30, 32), text(225, 225, 225), disabled(130, 130, 130);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, QColor(42, 110, 190));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Link, QColor(110, 170, 255));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    return p;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: zarvex_window_shot OUTDIR FILE...\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    const QDir shots(argv[1]);
    zarvex::CoreEngine engine;
    zarvex::CZarvexDlg window(engine, "");
    window.CoreHost().SetSilent(true);
    window.move(40, 30);
    window.show();
    window.AddInputs(std::vector<std::string>(argv + 2, argv + argc));
    const QString out = QDir::temp().filePath("zarvex-shot-out");
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    // Extract everything so the log and the status bar show what was written.
    window.ExtractTo(out.toStdString());
    QTreeWidget& list = *window.OutputList();
    for (int row = 0; row < list.topLevelItemCount() && row < 3; ++row) list.topLevelItem(row)->setSelected(true);
    bool ok = Shoot(window, shots.filePath("window.png"));

    window.Log()->resize(680, 360);
    window.Log()->move(120, 200);
    window.Log()->show();
    ok = Shoot(*window.Log(), shots.filePath("log-window.png")) && ok;
    window.Log()->hide();

    QApplication::setPalette(DarkPalette());
    ok = Shoot(window, shots.filePath("window-dark.png")) && ok;
    QDir(out).removeRecursively();
    return ok ? 0 : 1;
}
