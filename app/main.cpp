// zarvex: finds, assembles and decodes binary files sent as text in mail and
// news. "zarvex --extract --outdir=DIR FILE..." runs unattended and needs no
// display; without --extract the desktop window opens (when built with Qt).
#include "app/command_line.h"
#include "app/core_engine.h"
#include "app/interrupts.h"
#include "app/ini_location.h"
#include "app/program.h"
#ifdef ZARVEX_WINDOW
#include "app/server/command_client.h"
#include "app/window/run_window.h"
#endif

#include <csignal>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // A file-size limit must show as "The disk is full!" on the failing
    // write, not kill the process with half an output file behind it.
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
        const auto iniPath = [] {
            return zarvex::LocateIniFile(zarvex::ProgramPath(), zarvex::IniEnvironment::FromProcess()).path;
        };
#ifdef ZARVEX_WINDOW
        // Only a run that shows the window connects to a display.
        const zarvex::CommandLine cl = zarvex::ParseArguments(args);
        if (!cl.help && !cl.version && !zarvex::CheckUsage(cl, std::cerr)) return zarvex::kExitUsage;
        if (!cl.extract && !cl.follow && !cl.help && !cl.version && !cl.uninstall && !cl.hasDde) {
            // A program already running takes the files over (or the clipboard,
            // or only comes forward): one window per user.
            switch (zarvex::HandOver(zarvex::CommandSocketPath(), cl.files, cl.readClipboard, std::cerr)) {
            case zarvex::HandOverResult::HandedOver: return 0;
            case zarvex::HandOverResult::Failed: return zarvex::kExitCannotStart;
            case zarvex::HandOverResult::NoProgram: break;
            }
            if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
                std::cerr << "zarvex: no display to open the window on; use --extract to extract the files "
                             "named on the command line (see --help)\n";
                return zarvex::kExitNeedsDesktop;
            }
            const auto where = zarvex::LocateIniFile(zarvex::ProgramPath(), zarvex::IniEnvironment::FromProcess());
            return zarvex::RunWindow(argc, argv, cl, where);
        }
#endif
        zarvex::InstallInterruptHandlers();
        zarvex::CoreEngine engine;
        return zarvex::RunProgram(args, engine, iniPath, std::cout, std::cerr);
    } catch (const std::bad_alloc&) {
        std::cerr << "zarvex: Insufficient memory to complete operation!\n";
    } catch (const std::exception& e) {
        std::cerr << "zarvex: " << e.what() << '\n';
    }
    return zarvex::kExitCannotStart;
}
