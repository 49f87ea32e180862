// Parameter values of MIME headers ("name=", "filename=", "id=",
// "boundary=", "charset=") as the header state keeps them.
#include "model/records.h"

#include "text/text_utils.h"

namespace zarvex {
namespace {

constexpr std::size_t kValueCap = 1023;

struct Value
{
    std::string text;
    bool unterminated = false; // a quoted value that continues on the next line
};

// Blanks followed by another parameter ("name=", "size=") at text[i].
bool NextParameterAt(std::string_view text, std::size_t i)
{
    while (i < text.size() && IsAsciiSpace(text[i]))
        ++i;
    const std::size_t token = i;
    while (i < text.size() && (IsAsciiAlnum(text[i]) || text[i] == '-' || text[i] == '*' || text[i] == '_'))
        ++i;
    return i > token && i < text.size() && text[i] == '=';
}

// A quoted value runs to its closing quote, an unquoted one to white space;
// both end at NUL or LF, an unquoted one also at ";". With `blanksInside`
// (file names: mail programs write "name=My file.txt" unquoted) an unquoted
// value runs on over blanks up to ";" or the next parameter.
// Inside quotes, \" and \\ stand for the character after the backslash, as
// mail programs escape them; any other backslash is kept, since Windows
// mailers put unescaped paths ("C:\Temp\a.doc") in quoted names.
Value ReadValue(std::string_view value, bool blanksInside = false)
{
    Value v;
    const bool quoted = !value.empty() && value[0] == '"';
    std::size_t i = quoted ? 1 : 0;
    for (; i < value.size(); ++i) {
        char c = value[i];
        if (c == '\0' || c == '\n') break;
        if (quoted) {
            if (c == '"') break;
            if (c == '\\' && i + 1 < value.size() && (value[i + 1] == '"' || value[i + 1] == '\\'))
                c = value[++i];
        } else if (c == ';' || (IsAsciiSpace(c) && (!blanksInside || NextParameterAt(value, i)))) {
            break;
        }
        if (v.text.size() < kValueCap) v.text += c;
    }
    if (!quoted)
        while (!v.text.empty() && IsAsciiSpace(v.text.back()))
            v.text.pop_back();
    v.unterminated = quoted && (i >= value.size() || value[i] != '"');
    return v;
}

// Drops any folder part: the name restarts after each "\" or "/".
std::string WithoutPath(std::string_view name)
{
    const std::size_t slash = name.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? name : name.substr(slash + 1));
}

} // namespace

int CMimeInfo::SetFileName(std::string_view value, bool stripPath)
{
    Value v = ReadValue(value, true);
    // Base64 words hold "/": strip folders only from the decoded name.
    if (IsEncodedWord(v.text)) v.text = DecodeHeaderText(v.text).substr(0, kValueCap);
    m_FileName = stripPath ? WithoutPath(v.text) : v.text;
    return v.unterminated ? -1 : 1;
}

int CMimeInfo::SetPartialID(std::string_view value)
{
    Value v = ReadValue(value);
    m_PartialID = std::move(v.text);
    return v.unterminated ? -1 : 1;
}

int CMimeInfo::SetBoundary(std::string_view value)
{
    Value v = ReadValue(value);
    m_Boundary = std::move(v.text);
    return v.unterminated ? -1 : 1;
}

void CMimeInfo::SetCharset(std::string_view value)
{
    m_Charset = ReadValue(value).text;
}

bool CMimeInfo::IsBoundary(std::string_view line) const
{
    if (m_Boundary.empty()) return false;
    return line.starts_with(m_Boundary) || (line.size() >= 2 && line.substr(2).starts_with(m_Boundary));
}

} // namespace zarvex
