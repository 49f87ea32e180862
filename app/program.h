// The zarvex program without its main(): reads the command line, the
// settings, scans the named inputs and runs the unattended extraction. The
// desktop window is not part of this build; a run that needs it says so.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace zarvex {

class Engine;
struct CommandLine;

inline constexpr std::string_view kVersion = "0.1.0";

// Exit status of a run that needs the desktop window (no --extract, or
// --uninstall), as for a usage error.
inline constexpr int kExitNeedsDesktop = 2;
// Exit status of a command line that is wrong: an unknown switch, a switch
// without its value, --extract without an input. Nothing is done.
inline constexpr int kExitUsage = 2;
// Exit status of a run that cannot start (output folder, log file).
inline constexpr int kExitCannotStart = 255;

// Finds the settings file (empty: defaults, nothing saved); asked only by a
// run that reads settings, so that --help creates no files.
using IniPathFunction = std::function<std::string()>;

// Says on `err` what is wrong with `cl` (nothing: true). A wrong command
// line runs nothing, whatever else it asks for.
bool CheckUsage(const CommandLine& cl, std::ostream& err);

// `args`: the arguments without the program name. Help and version go to
// `out`, problems to `err`. Returns the process exit status.
int RunProgram(const std::vector<std::string>& args, Engine& engine, const IniPathFunction& iniPath,
               std::ostream& out, std::ostream& err);

} // namespace zarvex
