// Starts the desktop program: the Qt application, the per-user desktop
// registration, the main window over the real core, the command server and
// the event loop. Only runs that need the window come here.
#pragma once

namespace zarvex {

struct CommandLine;
struct IniLocation;

// Returns the process exit status.
int RunWindow(int& argc, char** argv, const CommandLine& cl, const IniLocation& ini);

} // namespace zarvex
