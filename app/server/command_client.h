// The other end of the running program's command socket: a second zarvex
// hands its files to the first (or asks it to read the clipboard, or only
// to come forward), and `zarvex --dde=COMMANDS` sends a command string and
// prints the answer.
//
// One exchange per connection: the client writes the command string followed
// by a NUL byte, the program answers "ok", "busy" or "error" and a line end.
// A program that takes the connection but does not answer in time is taken
// as hung: the client gives up instead of hanging with it.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarvex {

// The socket of this user's running program: "zarvex-<uid>" in
// $XDG_RUNTIME_DIR, else in $TMPDIR, else in /tmp.
std::string CommandSocketPath();

// How long a command that does no long work may take to be answered.
inline constexpr int kAnswerTimeoutMs = 5000;

// Sends `commands` and returns the answer without its line end; nothing when
// no program listens on `socketPath`, kAnswerNone when it did not answer
// within `timeoutMs`. A negative time-out picks one by the commands: none for
// a string that extracts (the answer comes when the extraction is done),
// kAnswerTimeoutMs for the others, which are answered at once.
std::optional<std::string> SendCommandString(const std::string& socketPath, std::string_view commands,
                                             int timeoutMs = -1);

enum class HandOverResult
{
    NoProgram,  // none runs: this start opens the window itself
    HandedOver, // the running program took everything
    Failed,     // it runs but did not take everything; `err` says why
};

// A start of the window while this user's program runs: each file (made
// absolute) goes to it with "[open(...)]", retried while it answers "busy";
// `readClipboard` asks it to read its clipboard ("[paste]"); with neither it
// is asked to come forward ("[show]").
HandOverResult HandOver(const std::string& socketPath, const std::vector<std::string>& files, bool readClipboard,
                        std::ostream& err, int timeoutMs = kAnswerTimeoutMs);

} // namespace zarvex
