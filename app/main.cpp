// zarvex: finds, assembles and decodes binary files sent as text in mail and
// news. This build runs unattended: "zarvex --extract --outdir=DIR FILE...".
#include "app/core_engine.h"
#include "app/ini_location.h"
#include "app/program.h"

#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    try {
        const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
        const auto iniPath = [] {
            return zarvex::LocateIniFile(zarvex::ProgramPath(), zarvex::IniEnvironment::FromProcess()).path;
        };
        zarvex::CoreEngine engine;
        return zarvex::RunProgram(args, engine, iniPath, std::cout, std::cerr);
    } catch (const std::bad_alloc&) {
        std::cerr << "zarvex: Insufficient memory to complete operation!\n";
    } catch (const std::exception& e) {
        std::cerr << "zarvex: " << e.what() << '\n';
    }
    return zarvex::kExitCannotStart;
}
