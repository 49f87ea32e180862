// The "=ybegin", "=ypart" and "=yend" lines of a yEnc section: part numbers,
// sizes, the name and the CRC the decoder checks later. Keywords are found
// anywhere in the line (case matters); numbers saturate instead of
// overflowing.
#include "scan/scan_state.h"
#include "text/display_text.h"

#include <cstdint>
#include <limits>
#include <optional>

namespace zarvex::scan {

namespace {

inline constexpr std::size_t kMaxYencName = 255;

bool IsBlankChar(char c)
{
    return c == ' ' || c == '\t';
}

// A decimal number ("%d" style: leading white space, a sign, digits) right
// after `keyword`; none when the keyword is missing or no digit follows.
std::optional<std::int64_t> ScanNumber(std::string_view text, std::string_view keyword)
{
    const std::size_t at = text.find(keyword);
    if (at == std::string_view::npos) return std::nullopt;
    std::size_t i = at + keyword.size();
    while (i < text.size() && IsBlankChar(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i >= text.size() || !IsAsciiDigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    for (; i < text.size() && IsAsciiDigit(static_cast<unsigned char>(text[i])); ++i) {
        const int digit = text[i] - '0';
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return negative ? -value : value;
}

std::optional<int> ScanInt(std::string_view text, std::string_view keyword)
{
    const auto v = ScanNumber(text, keyword);
    if (!v) return std::nullopt;
    constexpr std::int64_t lo = std::numeric_limits<int>::min(), hi = std::numeric_limits<int>::max();
    return static_cast<int>(*v < lo ? lo : (*v > hi ? hi : *v));
}

// A hexadecimal CRC after `keyword`: up to 8 digits, or the last 8 of exactly 16.
std::optional<std::uint32_t> ScanCrc(std::string_view text, std::string_view keyword)
{
    const std::size_t at = text.find(keyword);
    if (at == std::string_view::npos) return std::nullopt;
    std::size_t i = at + keyword.size();
    while (i < text.size() && IsBlankChar(text[i]))
        ++i;
    std::size_t digits = 0;
    while (i + digits < text.size() && IsAsciiXDigit(static_cast<unsigned char>(text[i + digits])))
        ++digits;
    if (digits == 0) return std::nullopt;
    if (digits == 16) i += 8;
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < 8 && k < digits; ++k) {
        const unsigned char c = AsciiLower(static_cast<unsigned char>(text[i + k]));
        value = (value << 4) | static_cast<std::uint32_t>(c <= '9' ? c - '0' : c - 'a' + 10);
    }
    return value;
}

// The "name=" value: white space after the keyword skipped, cut at a NUL
// or at an "=ypart" that shares the line, trailing line break and white
// space removed, at most 255 bytes (between characters, the extension
// kept). yEnc names carry no character set: valid UTF-8 stays as it is,
// anything else is read as Windows-1252.
std::string ScanName(std::string_view text, std::size_t at)
{
    std::string_view name = text.substr(at + 5);
    while (!name.empty() && IsBlankChar(name.front()))
        name.remove_prefix(1);
    name = TrimLineEnd(name);
    name = name.substr(0, name.find('\0'));
    name = name.substr(0, name.find(" =ypart "));
    while (!name.empty() && IsAsciiSpace(static_cast<unsigned char>(name.back())))
        name.remove_suffix(1);
    return ToDisplayUtf8(CapName(name, kMaxYencName));
}

// The "=ypart" line after "=ybegin": the byte range of this part, and from
// it the number of parts when the header did not state it.
void ReadPartLine(ScanState& s, std::string_view next)
{
    CFInfo& part = *s.current;
    if (const auto begin = ScanNumber(next, "begin=")) part.m_yBegin = *begin;
    if (const auto end = ScanNumber(next, "end=")) part.m_yEnd = *end;
    if (part.m_yEnd < part.m_yBegin) part.m_yEnd = part.m_ySize;

    const bool lastPart = part.m_ySize == part.m_yEnd;
    std::int64_t d = 1;
    if (lastPart)
        d = part.m_ySize / std::max(part.m_yPart, 1) + 1;
    else if (__builtin_sub_overflow(part.m_yEnd, part.m_yBegin, &d) || __builtin_add_overflow(d, 1, &d))
        d = 1; // a range no file has
    if (d <= 0) d = 1;
    std::int64_t n = part.m_ySize / d + (part.m_ySize % d != 0 ? 1 : 0);
    if (n < 0 || n > std::numeric_limits<int>::max()) n = -1;
    const int parts = static_cast<int>(n);

    if (part.m_Total <= 1) {
        const bool keep =
            (lastPart && part.m_ySize > 1) || (part.m_ySize < part.m_yEnd && part.m_yBegin <= 1);
        if (!keep) part.m_Total = part.m_yTotal = parts;
    }
    if (part.m_AltNumbers && part.m_ySize > 1 && part.m_Total < parts && part.m_GroupTotal == parts) {
        // The subject's group numbers were the real part numbers.
        part.SwapNumbers();
        part.m_FullSubj.clear();
    }
}

} // namespace

void OnYBegin(ScanState& s)
{
    const std::string_view line = View(s);
    // Everything after "name=" is the name: the other keywords are read
    // before it, so a name such as "filesize=2.bin" cannot pose as one.
    const std::size_t nameAt = line.find("name=");
    const std::string_view text = line.substr(0, nameAt);
    if (!s.current) {
        CFInfo& fresh = *(s.current = std::make_unique<CFInfo>());
        fresh.SetFromMime(s.mime);
        fresh.m_Part = fresh.m_Total = -1;
        fresh.m_Ends = 0;
        fresh.m_File = s.path;
        fresh.m_From = s.mime.m_From;
        fresh.m_Time = s.mime.m_Time;
        fresh.m_Newsgroups = s.mime.m_Newsgroups;
    }
    CFInfo& part = *s.current;
    s.dataSeen = false;
    MoveStartHere(s);
    part.m_Starts = 1;
    part.m_MsgType = MT_YENC;
    s.bodyKind = MT_YENC;
    if (s.indentRun > 4) part.m_Indent = s.indent;

    if (const auto number = ScanInt(text, "part=")) {
        if (const auto total = ScanInt(text, "total=")) {
            if (part.m_Total >= 0 && part.m_Total != *total && part.m_AltNumbers)
                part.FixNumbersFromData(*number, *total);
            part.m_yTotal = part.m_Total = *total;
        }
        part.m_yPart = part.m_Part = *number;
    } else {
        part.m_Part = part.m_Total = 1;
    }
    if (const auto lineLength = ScanInt(text, "line=")) part.m_yLine = *lineLength;
    const auto size = ScanNumber(text, "size=");
    if (size && *size > 0 && *size < std::numeric_limits<std::int64_t>::max()) part.m_ySize = *size;

    const std::string name = ScanName(line, nameAt);
    // A posting that names no file ("name=" empty, or a poster's "(null)")
    // keeps its subject, which groups its parts and names the output.
    if (name == "(null)" || name.empty()) {
        part.m_DestFile = part.m_Subject;
    } else {
        part.m_DestFile = name;
        part.m_Subject = name;
    }

    // "=ypart" normally has a line of its own; some posters put it on this one.
    const std::size_t inlinePart = line.find(" =ypart ", nameAt);
    const std::string_view next = PeekNext(s);
    if (inlinePart != std::string_view::npos) {
        ReadPartLine(s, line.substr(inlinePart));
    } else if (next.find("=ypart") != std::string_view::npos) {
        ReadPartLine(s, next);
    } else if (next.size() > 126) {
        s.inMimeHeader = false;
        s.mimeParamsContinue = false;
    }
    ++part.m_Starts; // a yEnc section carries a begin count of 2
}

void OnYEnd(ScanState& s)
{
    const std::string_view text = View(s);
    CFInfo& part = *s.current;
    const int p = ScanInt(text, "part=").value_or(0);
    if (p != part.m_Part && p != 0) {
        part.m_yPart = p;
        if (part.m_Part == 1) part.m_Part = p;
    }
    if (p > 0 && p != part.m_Total && part.m_ySize == part.m_yEnd) part.m_Part = part.m_yPart = p;

    if (const auto crc = ScanCrc(text, " crc32=")) part.m_yPartCrc = *crc;
    if (const auto pcrc = ScanCrc(text, "pcrc32="))
        part.m_yPartCrc = *pcrc;
    else if (const auto shortCrc = ScanCrc(text, "pcrc="))
        part.m_yPartCrc = *shortCrc;
    if (const auto endSize = ScanNumber(text, "size=")) part.m_yEndSize = *endSize;

    ++part.m_Ends;
    EndAfterLine(s);
    FinishPart(s);
}

} // namespace zarvex::scan
