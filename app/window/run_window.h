// Starts the desktop program: the Qt application, the main window over the
// real core, and the event loop. Only runs that need the window come here.
#pragma once

#include <string>

namespace zarvex {

struct CommandLine;

// Returns the process exit status.
int RunWindow(int& argc, char** argv, const CommandLine& cl, const std::string& iniPath);

} // namespace zarvex
