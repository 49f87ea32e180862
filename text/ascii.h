// ASCII-only character and case helpers. They never depend on the locale:
// only the letters a..z and A..Z fold, every other byte stays as it is.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace zarvex {

constexpr unsigned char AsciiUpper(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }
constexpr unsigned char AsciiLower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }
constexpr bool IsAsciiDigit(unsigned char c) { return c >= '0' && c <= '9'; }
constexpr bool IsAsciiAlpha(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
constexpr bool IsAsciiAlnum(unsigned char c) { return IsAsciiDigit(c) || IsAsciiAlpha(c); }
constexpr bool IsAsciiXDigit(unsigned char c) { return IsAsciiDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); }
// Blank, tab, LF, VT, FF, CR.
constexpr bool IsAsciiSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

constexpr bool EqualsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    return true;
}

constexpr bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

// Position of `needle` in `hay` ignoring case, or npos.
constexpr std::size_t FindIgnoreCase(std::string_view hay, std::string_view needle, std::size_t from = 0)
{
    if (needle.empty()) return from <= hay.size() ? from : std::string_view::npos;
    for (std::size_t i = from; i + needle.size() <= hay.size(); ++i)
        if (EqualsIgnoreCase(hay.substr(i, needle.size()), needle)) return i;
    return std::string_view::npos;
}

constexpr int CompareIgnoreCase(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = AsciiUpper(a[i]), y = AsciiUpper(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

struct CaseLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return CompareIgnoreCase(a, b) < 0; }
};

inline std::string ToUpperAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out) c = static_cast<char>(AsciiUpper(c));
    return out;
}

inline std::string ToLowerAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out) c = static_cast<char>(AsciiLower(c));
    return out;
}

} // namespace zarvex
