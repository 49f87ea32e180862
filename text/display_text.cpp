#include "text/display_text.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace zarvex {
namespace {

// Unicode code points of Windows-1252 bytes 0x80..0x9F; 0 marks the five
// unassigned bytes, which are kept as the C1 control of the same value.
constexpr std::array<std::uint16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendEscape(std::string& out, const char* prefix, unsigned value)
{
    constexpr std::string_view kHex = "0123456789abcdef";
    out += prefix;
    out += kHex[(value >> 4) & 0xF];
    out += kHex[value & 0xF];
}

} // namespace

bool IsValidUtf8(std::string_view text)
{
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        std::uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n) return false;
        for (std::size_t k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

std::string ToDisplayUtf8(std::string_view text)
{
    if (IsValidUtf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size() * 2);
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0xA0) {
            const std::uint16_t cp = kCp1252High[c - 0x80];
            AppendUtf8(out, cp ? cp : c);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

std::size_t Utf8CutPoint(std::string_view text, std::size_t limit)
{
    if (limit >= text.size()) return text.size();
    for (std::size_t back = 1; back <= 3 && back <= limit; ++back) {
        const auto c = static_cast<unsigned char>(text[limit - back]);
        if ((c & 0xC0) == 0x80) continue;
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? limit - back : limit;
    }
    return limit;
}

std::string_view CapText(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes) return text;
    std::size_t end = maxBytes;
    if (IsValidUtf8(text))
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
    return text.substr(0, end);
}

std::string CapName(std::string_view name, std::size_t maxBytes)
{
    if (name.size() <= maxBytes) return std::string(name);
    constexpr std::size_t kLongestExtension = 16; // with its "."
    const std::size_t dot = name.rfind('.');
    std::string_view ext;
    if (dot != std::string_view::npos && dot > 0 && name.size() - dot <= kLongestExtension &&
        name.size() - dot < maxBytes)
        ext = name.substr(dot);
    // The stem is cut as part of the whole name, so a Windows-1252 name is
    // not mistaken for UTF-8 by the test on its stem alone.
    const bool utf8 = IsValidUtf8(name);
    std::size_t end = maxBytes - ext.size();
    if (utf8)
        while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
            --end;
    std::string out(name.substr(0, end));
    out += ext;
    return out;
}

std::size_t BidiControlLength(std::string_view text, std::size_t at)
{
    if (at + 1 < text.size() && static_cast<unsigned char>(text[at]) == 0xD8 &&
        static_cast<unsigned char>(text[at + 1]) == 0x9C)
        return 2; // U+061C ARABIC LETTER MARK
    if (at + 2 >= text.size() || static_cast<unsigned char>(text[at]) != 0xE2) return 0;
    const auto b1 = static_cast<unsigned char>(text[at + 1]), b2 = static_cast<unsigned char>(text[at + 2]);
    // U+200E, U+200F, U+202A..U+202E and U+2066..U+2069.
    const bool marks = b1 == 0x80 && (b2 == 0x8E || b2 == 0x8F || (b2 >= 0xAA && b2 <= 0xAE));
    const bool isolates = b1 == 0x81 && b2 >= 0xA6 && b2 <= 0xA9;
    return marks || isolates ? 3 : 0;
}

std::string ToShownText(std::string_view text, bool keepLineEnds)
{
    const std::string utf8 = ToDisplayUtf8(text);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (keepLineEnds && (c == '\r' || c == '\n')) {
            out += static_cast<char>(c);
        } else if ((c < 0x20 && c != '\t') || c == 0x7F) {
            AppendEscape(out, "\\x", c);
        } else if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
            // U+0080..U+009F: C1 controls (0x9B starts a terminal sequence too).
            AppendEscape(out, "\\u00", static_cast<unsigned char>(utf8[++i]));
        } else if (const std::size_t n = BidiControlLength(utf8, i); n > 0) {
            // A direction override would show "exe.pdf" for "fdp.exe".
            const unsigned code = n == 2 ? 0x61C
                                         : 0x2000 | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F) << 6 |
                                               (static_cast<unsigned char>(utf8[i + 2]) & 0x3F);
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", code);
            out += escape;
            i += n - 1;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

} // namespace zarvex
