#include "app/server/command_string.h"

#include "text/ascii.h"

#include <array>
#include <utility>

namespace zarvex {
namespace {

constexpr std::array<std::pair<std::string_view, ServerVerb>, 7> kVerbs = {{
    {"open", ServerVerb::Open},
    {"quit", ServerVerb::Quit},
    {"extract", ServerVerb::Extract},
    {"clear", ServerVerb::Clear},
    {"purge", ServerVerb::Purge},
    {"show", ServerVerb::Show},
    {"paste", ServerVerb::Paste},
}};

ServerVerb VerbOf(std::string_view name)
{
    for (const auto& [text, verb] : kVerbs)
        if (EqualsIgnoreCase(name, text)) return verb;
    return ServerVerb::Unknown;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// The positions of the double quotes of `s` that open or close quoted text
// (an escaped quote inside quoted text is not one of them).
std::vector<std::size_t> QuotePositions(std::string_view s)
{
    std::vector<std::size_t> quotes;
    bool quoted = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (quoted && s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '"' || s[i + 1] == '\\')) {
            ++i;
        } else if (s[i] == '"') {
            quotes.push_back(i);
            quoted = !quoted;
        }
    }
    return quotes;
}

// The end of the command that starts behind `open` (the "[" at open - 1):
// the first "]" outside quotes, or npos.
std::size_t ClosingBracket(std::string_view text, std::size_t open)
{
    bool quoted = false;
    for (std::size_t i = open; i < text.size(); ++i) {
        if (quoted && text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\'))
            ++i;
        else if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == ']' && !quoted)
            return i;
    }
    return std::string_view::npos;
}

std::string Unescape(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '"' || s[i + 1] == '\\')) ++i;
        out += s[i];
    }
    return out;
}

// The argument between "(" and the last ")": between its first and last
// quote when it holds two or more, empty when it holds one.
std::string ArgumentOf(std::string_view inner)
{
    const std::vector<std::size_t> quotes = QuotePositions(inner);
    if (quotes.size() == 1) return {};
    if (quotes.size() >= 2)
        return Unescape(inner.substr(quotes.front() + 1, quotes.back() - quotes.front() - 1));
    return std::string(Trim(inner));
}

ServerCommand ParseOne(std::string_view body)
{
    ServerCommand c;
    const std::size_t paren = body.find('(');
    c.name = std::string(Trim(body.substr(0, paren)));
    c.verb = VerbOf(c.name);
    if (paren != std::string_view::npos) {
        const std::string_view rest = body.substr(paren + 1);
        c.argument = ArgumentOf(rest.substr(0, rest.rfind(')')));
        c.hasArgument = !c.argument.empty();
    }
    return c;
}

} // namespace

std::vector<ServerCommand> ParseCommandString(std::string_view text)
{
    std::vector<ServerCommand> commands;
    std::size_t pos = 0;
    while (true) {
        const std::size_t open = text.find('[', pos);
        if (open == std::string_view::npos) break;
        const std::size_t close = ClosingBracket(text, open + 1);
        if (close == std::string_view::npos) break;
        commands.push_back(ParseOne(text.substr(open + 1, close - open - 1)));
        pos = close + 1;
    }
    return commands;
}

std::string QuoteCommandArgument(std::string_view value)
{
    std::string out = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

std::string OpenCommandString(std::string_view path)
{
    return "[open(" + QuoteCommandArgument(path) + ")]";
}

std::string_view RunCommandString(std::string_view text, CommandTarget& target)
{
    if (target.Busy()) return kAnswerBusy;
    bool handled = false;
    for (const ServerCommand& c : ParseCommandString(text)) {
        switch (c.verb) {
        case ServerVerb::Open:
            handled = target.Open(c.argument);
            break;
        case ServerVerb::Quit:
            handled = target.Quit();
            break;
        case ServerVerb::Extract:
            handled = target.Extract(c.hasArgument ? &c.argument : nullptr);
            break;
        case ServerVerb::Clear:
            handled = target.Clear();
            break;
        case ServerVerb::Purge:
            handled = target.Purge();
            break;
        case ServerVerb::Show:
            handled = target.Show();
            break;
        case ServerVerb::Paste:
            handled = target.Paste();
            break;
        case ServerVerb::Unknown:
            break;
        }
    }
    return handled ? kAnswerOk : kAnswerError;
}

} // namespace zarvex
