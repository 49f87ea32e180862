// Parameter values of MIME headers as mail programs write them: values
// continued on the next line, RFC 2231 names ("filename*=UTF-8''na%C3%AFve.txt",
// "filename*0*=" ... "filename*1*="), and names in 8-bit bytes, all made UTF-8.
#include "scan/mime_rules.h"

#include "text/ascii.h"
#include "text/display_text.h"
#include "text/unicode.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace zarvex::scan {

namespace {

constexpr std::size_t kNameCap = 1023;

bool IsCharset(std::string_view charset, std::initializer_list<std::string_view> names)
{
    return std::any_of(names.begin(), names.end(), [&](std::string_view n) { return EqualsIgnoreCase(charset, n); });
}

// The system's converter; empty when it does not know the character set or
// the bytes do not convert.
std::string IconvToUtf8(std::string_view bytes, const std::string& charset)
{
    iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string out(bytes.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* dst = out.data();
    std::size_t outLeft = out.size();
    const std::size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
    iconv_close(cd);
    if (r == static_cast<std::size_t>(-1) || inLeft != 0) return {};
    out.resize(out.size() - outLeft);
    return IsValidUtf8(out) ? out : std::string();
}

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

// Reads one "name*[N][*]=value" at `at` (the "name*" found); false when the
// text there is not of that form.
bool ReadSection(std::string_view line, std::size_t at, Rfc2231Name& into, bool fromFilename)
{
    std::size_t i = at + 5; // after "name*"
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
    std::string_view value = View(s).substr(std::min(at + nameLength, static_cast<std::size_t>(s.len)));
    while (!value.empty() && (value[0] == ' ' || value[0] == '\t'))
        value.remove_prefix(1);
    return value;
}

bool JoinNextLine(ScanState& s)
{
    LineBuf& next = s.peek;
    int n = 0;
    bool complete = false;
    const int base = static_cast<int>(TrimLineEnd(View(s)).size());
    if (base >= kLineMax - 1) return false;
    if (!s.file.ReadLine(next.text, kLineMax, &n, &complete)) return false;
    s.consumed += n;
    if (complete) ++s.lineNo;
    std::string_view more(next.text, static_cast<std::size_t>(n));
    while (!more.empty() && (more[0] == ' ' || more[0] == '\t'))
        more.remove_prefix(1);
    more = TrimLineEnd(more);
    const int take = std::min(static_cast<int>(more.size()), kLineMax - 2 - base);
    std::memcpy(s.line + base, more.data(), static_cast<std::size_t>(take));
    s.line[base + take] = '\n';
    s.SetLength(base + take + 1);
    return true;
}

std::string CharsetToUtf8(std::string_view bytes, std::string_view charset)
{
    if (IsCharset(charset, {"utf-8", "utf8", "us-ascii", "ascii"}))
        return IsValidUtf8(bytes) ? std::string(bytes) : ToDisplayUtf8(bytes);
    if (IsCharset(charset, {"iso-8859-1", "iso8859-1", "latin1", "l1"})) {
        std::string out;
        for (const char c : bytes)
            AppendCodePoint(out, static_cast<unsigned char>(c));
        return out;
    }
    if (!charset.empty() && !IsCharset(charset, {"windows-1252", "cp1252"})) {
        std::string converted = IconvToUtf8(bytes, std::string(charset.substr(0, 64)));
        if (!converted.empty() || bytes.empty()) return converted;
    }
    return ToDisplayUtf8(bytes);
}

std::string NameToUtf8(std::string_view name, std::string_view charset)
{
    if (IsValidUtf8(name)) return std::string(name);
    return CharsetToUtf8(name, charset);
}

bool CollectRfc2231Name(ScanState& s, std::string& name)
{
    const std::string_view line = View(s);
    bool any = false;
    for (std::size_t at = FindIgnoreCase(line, "name*"); at != std::string_view::npos;
         at = FindIgnoreCase(line, "name*", at + 5)) {
        const bool fromFilename = at >= 4 && EqualsIgnoreCase(line.substr(at - 4, 4), "file");
        any |= ReadSection(line, at, s.rfc2231, fromFilename);
    }
    if (!any) return false;
    // The sections in order from 0; a gap ends the name.
    std::string raw;
    int expected = 0;
    for (const auto& [number, section] : s.rfc2231.sections) {
        if (number != expected++) break;
        raw += section.encoded ? PercentDecode(section.text) : section.text;
        if (raw.size() >= kNameCap) break;
    }
    raw.resize(std::min(raw.size(), kNameCap));
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

} // namespace zarvex::scan
