// The command strings a running program takes from other programs (the file
// manager's "open", a second zarvex, `zarvex --dde=`): a sequence of
// bracketed commands, "[open("/path/file.uue")][quit]".
//
// Each command is a name alone or a name with an argument in parentheses. A
// "]" inside double quotes does not end a command; inside quotes a backslash
// makes the next '"' or '\' plain text (so a path may hold quotes, brackets
// and parentheses); any other backslash is kept as it is.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zarvex {

enum class ServerVerb
{
    Open,
    Quit,
    Extract,
    Clear,
    Purge,
    // Beyond the shell's commands, for a second start without files: raise
    // the window, and read the clipboard ("--readclipboard").
    Show,
    Paste,
    Unknown, // skipped when run
};

struct ServerCommand
{
    ServerVerb verb = ServerVerb::Unknown;
    std::string name;     // as written
    std::string argument; // without its quotes; empty when none was given
    bool hasArgument = false;
};

// Every complete bracketed command of `text`, in order; text after the last
// complete command is ignored.
std::vector<ServerCommand> ParseCommandString(std::string_view text);

// `value` as a quoted argument that ParseCommandString gives back unchanged.
std::string QuoteCommandArgument(std::string_view value);
// "[open("path")]" for `path`.
std::string OpenCommandString(std::string_view path);

// What the commands act on: the running program's main window.
class CommandTarget
{
public:
    virtual ~CommandTarget() = default;
    virtual bool Busy() const = 0;
    // Each returns true when the command was handled.
    virtual bool Open(const std::string& path) = 0;
    virtual bool Quit() = 0;
    // `folder`: null keeps the current extraction folder.
    virtual bool Extract(const std::string* folder) = 0;
    virtual bool Clear() = 0;
    virtual bool Purge() = 0;
    virtual bool Show() { return false; }
    virtual bool Paste() { return false; }
};

// The answers sent back to the client.
inline constexpr std::string_view kAnswerOk = "ok";
inline constexpr std::string_view kAnswerBusy = "busy";
inline constexpr std::string_view kAnswerError = "error";
// Not sent by the program: the client's word for a program that took the
// command but gave no answer in time (it hangs).
inline constexpr std::string_view kAnswerNone = "no answer";

// Runs a command string: "busy" at once (nothing run) while the target is
// busy; otherwise every known command in order, then "ok" when the last
// command run was handled and "error" when it was not (or none was known).
std::string_view RunCommandString(std::string_view text, CommandTarget& target);

} // namespace zarvex
