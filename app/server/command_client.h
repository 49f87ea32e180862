// The other end of the running program's command socket: a second zarvex
// forwards its files to the first, and `zarvex --dde=COMMANDS` sends a
// command string and prints the answer.
//
// One exchange per connection: the client writes the command string followed
// by a NUL byte, the program answers "ok", "busy" or "error" and a line end.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarvex {

// The socket of this user's running program: "zarvex-<uid>" in
// $XDG_RUNTIME_DIR, else in $TMPDIR, else in /tmp.
std::string CommandSocketPath();

// Sends `commands` and returns the answer without its line end; nothing when
// no program listens on `socketPath`.
std::optional<std::string> SendCommandString(const std::string& socketPath, std::string_view commands);

// Asks the running program to open each file (made absolute), retrying while
// it answers "busy". False when no program listens (nothing was sent).
bool ForwardFiles(const std::string& socketPath, const std::vector<std::string>& files);

} // namespace zarvex
