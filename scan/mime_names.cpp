// Parameter values of MIME headers as mail programs write them: values
// continued on the next line, RFC 2231 names ("filename*=UTF-8''na%C3%AFve.txt",
// "filename*0*=" ... "filename*1*="), and names in 8-bit bytes, all made UTF-8.
#include "scan/mime_rules.h"

#include "text/ascii.h"
#include "text/charsets.h"
#include "text/display_text.h"
#include "text/unicode.h"

#include <algorithm>

namespace zarvex::scan {

namespace {

constexpr std::size_t kNameCap = 1023;

int HexDigit(unsigned char c)
{
    if (IsAsciiDigit(c)) return c - '0';
    if (IsAsciiXDigit(c)) return (c | 0x20) - 'a' + 10;
    return -1;
}

std::string PercentDecode(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A parameter value: quoted to its closing quote, else to ";" or white space.
std::string_view ParameterValue(std::string_view text)
{
    if (!text.empty() && text[0] == '"') {
        const std::size_t close = text.find('"', 1);
        return text.substr(1, close == std::string_view::npos ? text.size() - 1 : close - 1);
    }
    std::size_t end = 0;
    while (end < text.size() && text[end] != ';' && !IsAsciiSpace(static_cast<unsigned char>(text[end])))
        ++end;
    return text.substr(0, end);
}

// Reads one "name*[N][*]=value" at `at` (the "name*" found, `keyLength`
// long); false when the text there is not of that form.
bool ReadSection(std::string_view line, std::size_t at, std::size_t keyLength, Rfc2231Name& into, bool fromFilename)
{
    std::size_t i = at + keyLength; // after "name*"
    int number = -1;
    if (i < line.size() && IsAsciiDigit(line[i])) {
        number = 0;
        while (i < line.size() && IsAsciiDigit(line[i]) && number < 1000)
            number = number * 10 + (line[i++] - '0');
        if (number >= 1000) return false;
    }
    bool encoded = number < 0; // "name*=" is always encoded
    if (number >= 0 && i < line.size() && line[i] == '*') {
        encoded = true;
        ++i;
    }
    if (i >= line.size() || line[i] != '=') return false;
    std::string_view value = ParameterValue(line.substr(i + 1));
    if (fromFilename != into.fromFilename) {
        if (!fromFilename && !into.sections.empty()) return false; // "filename*" already read
        into.Clear();
        into.fromFilename = fromFilename;
    }
    if (encoded && number <= 0) {
        // charset'language'text
        const std::size_t q1 = value.find('\'');
        const std::size_t q2 = q1 == std::string_view::npos ? q1 : value.find('\'', q1 + 1);
        if (q2 != std::string_view::npos) {
            into.charset.assign(value.substr(0, std::min<std::size_t>(q1, 64)));
            value.remove_prefix(q2 + 1);
        }
    }
    Rfc2231Name::Section& section = into.sections[std::max(number, 0)];
    section.text.assign(value.substr(0, kNameCap));
    section.encoded = encoded;
    return true;
}

} // namespace

std::string_view ValueAt(const ScanState& s, std::size_t at, std::size_t nameLength)
{
    std::string_view value = std::string_view(s.field).substr(std::min(at + nameLength, s.field.size()));
    while (!value.empty() && (value[0] == ' ' || value[0] == '\t'))
        value.remove_prefix(1);
    return value;
}

namespace {

// A quoted string is open at the end of `text` (a backslash escapes the
// character after it).
bool InsideQuotes(std::string_view text)
{
    bool inside = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (inside && text[i] == '\\')
            ++i;
        else if (text[i] == '"')
            inside = !inside;
    }
    return inside;
}

// Reads the next line of the file (all its pieces, when it is longer than a
// line buffer) into the field, its leading white space removed. Inside a
// quoted value the fold joins the two pieces directly (mail programs fold
// long quoted names and boundaries anywhere); elsewhere one blank stands
// for it. The line counts into the consumed bytes of the current one.
bool AppendNextLine(ScanState& s)
{
    LineBuf& next = s.peek;
    bool first = true;
    for (bool complete = false; !complete;) {
        int n = 0;
        if (!s.file.ReadLine(next.text, kLineMax, &n, &complete) || n == 0) return !first;
        s.consumed += n;
        if (complete) ++s.joinedLines;
        std::string_view more(next.text, static_cast<std::size_t>(n));
        if (first) {
            while (!more.empty() && (more[0] == ' ' || more[0] == '\t'))
                more.remove_prefix(1);
            if (!InsideQuotes(s.field) && !s.field.empty() && !more.empty()) s.field += ' ';
            first = false;
        }
        more = TrimLineEnd(more);
        s.field.append(more.substr(0, kFieldCap - std::min(kFieldCap, s.field.size())));
    }
    return true;
}

} // namespace

void UnfoldField(ScanState& s)
{
    s.field.assign(TrimLineEnd(View(s)));
    if (s.binHexState != 0) return;
    while (s.field.size() < kFieldCap) {
        const std::string_view next = PeekNext(s);
        if (next.empty() || (next[0] != ' ' && next[0] != '\t') || IsBlankLine(next.data(), static_cast<int>(next.size()))) return;
        if (!AppendNextLine(s)) return;
    }
}

bool JoinNextLine(ScanState& s)
{
    if (s.field.size() >= kFieldCap) return false;
    return AppendNextLine(s);
}

std::string NameToUtf8(std::string_view name, std::string_view charset)
{
    if (IsValidUtf8(name)) return std::string(name);
    return CharsetToUtf8(name, charset);
}

namespace {

// The sections in order from 0, percent escapes decoded; a gap ends the value.
std::string JoinSections(const Rfc2231Name& value)
{
    std::string raw;
    int expected = 0;
    for (const auto& [number, section] : value.sections) {
        if (number != expected++) break;
        raw += section.encoded ? PercentDecode(section.text) : section.text;
        if (raw.size() >= kNameCap) break;
    }
    raw.resize(std::min(raw.size(), kNameCap));
    return raw;
}

} // namespace

bool CollectRfc2231Name(ScanState& s, std::string& name)
{
    const std::string_view line = s.field;
    bool any = false;
    for (std::size_t at = FindIgnoreCase(line, "name*"); at != std::string_view::npos;
         at = FindIgnoreCase(line, "name*", at + 5)) {
        const bool fromFilename = at >= 4 && EqualsIgnoreCase(line.substr(at - 4, 4), "file");
        any |= ReadSection(line, at, 5, s.rfc2231, fromFilename);
    }
    if (!any) return false;
    const std::string raw = JoinSections(s.rfc2231);
    if (raw.empty()) return false;
    name = s.rfc2231.charset.empty() ? NameToUtf8(raw, s.mime.m_Charset) : CharsetToUtf8(raw, s.rfc2231.charset);
    // Folders are dropped from the decoded name, as from plain values.
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    // A name of blanks names nothing: a plain "name=" stays, else the part
    // is named as one without a name.
    if (name.find_first_not_of(" \t") == std::string::npos) {
        name.clear();
        return s.mime.m_FileName.empty();
    }
    return true;
}

std::string Rfc2231Parameter(std::string_view field, std::string_view parameter)
{
    const std::string key = std::string(parameter) + "*";
    Rfc2231Name value;
    bool any = false;
    for (std::size_t at = FindIgnoreCase(field, key); at != std::string_view::npos;
         at = FindIgnoreCase(field, key, at + key.size()))
        any |= ReadSection(field, at, key.size(), value, false);
    return any ? JoinSections(value) : std::string();
}

} // namespace zarvex::scan
