// Stopping an unattended run from outside. SIGINT and SIGTERM do not end
// the process where it stands: they ask the run to stop at the next line,
// so that the output being decoded is removed (its temporary file deleted)
// before the program exits. A second signal ends the process at once.
#pragma once

#include <csignal>

namespace zarvex {

// Installs the handlers for SIGINT and SIGTERM.
void InstallInterruptHandlers();

// Non-zero once one of the signals arrived (the signal's number).
const volatile std::sig_atomic_t* InterruptFlag();

} // namespace zarvex
