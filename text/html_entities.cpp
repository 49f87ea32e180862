// Percent escapes and HTML character entities in file names. Entity values
// are Windows-1252 characters; they leave here as UTF-8.
#include "text/text_utils.h"

#include "text/ascii.h"
#include "text/unicode.h"

#include <array>
#include <cstdint>

namespace zarvex {
namespace {

struct Entity
{
    std::string_view name; // with "&" and ";"
    std::uint8_t lower;    // Windows-1252 value; 0 removes the entity
    std::uint8_t upper;    // when the letter after "&" is upper case
};

constexpr std::array<Entity, 57> kEntities = {{
    {"&quot;", 0x22, 0x22},   {"&nbsp;", 0x20, 0x20},   {"&apos;", 0x27, 0x27},   {"&amp;", 0x26, 0x26},
    {"&lt;", 0x3C, 0x3C},     {"&gt;", 0x3E, 0x3E},     {"&trade;", 0, 0},        {"&reg;", 0xAE, 0xAE},
    {"&copy;", 0xA9, 0xA9},   {"&ndash;", 0x2D, 0x2D},  {"&mdash;", 0x2D, 0x2D},  {"&ensp;", 0x20, 0x20},
    {"&emsp;", 0x20, 0x20},   {"&shy;", 0, 0},          {"&euro;", 0x80, 0x80},   {"&pound;", 0xA3, 0xA3},
    {"&laquo;", 0xAB, 0xAB},  {"&raquo;", 0xBB, 0xBB},  {"&bull;", 0x95, 0x95},   {"&dagger;", 0x86, 0x86},
    {"&micro;", 0xB5, 0xB5},  {"&middot;", 0xB7, 0xB7}, {"&deg;", 0xB0, 0xB0},    {"&rsquo;", 0x27, 0x27},
    {"&agrave;", 0xE0, 0xC0}, {"&aacute;", 0xE1, 0xC1}, {"&acirc;", 0xE2, 0xC2},  {"&ordm;", 0xBA, 0xBA},
    {"&szlig;", 0xDF, 0xDF},  {"&aring;", 0xE5, 0xC5},  {"&auml;", 0xE4, 0xC4},   {"&aelig;", 0xE6, 0xC6},
    {"&ccedil;", 0xE7, 0xC7}, {"&egrave;", 0xE8, 0xC8}, {"&eacute;", 0xE9, 0xC9}, {"&ecirc;", 0xEA, 0xCA},
    {"&euml;", 0xEB, 0xCB},   {"&igrave;", 0xEC, 0xCC}, {"&iacute;", 0xED, 0xCD}, {"&icirc;", 0xEE, 0xCE},
    {"&iuml;", 0xEF, 0xCF},   {"&oacute;", 0xF3, 0xD3}, {"&ograve;", 0xF2, 0xD2}, {"&ocirc;", 0xF4, 0xD4},
    {"&ouml;", 0xF6, 0xD6},   {"&otilde;", 0xF5, 0xD5}, {"&oslash;", 0xF8, 0xD8}, {"&oelig;", 0x9C, 0x8C},
    {"&ntilde;", 0xF1, 0xD1}, {"&ugrave;", 0xF9, 0xD9}, {"&uacute;", 0xFA, 0xDA}, {"&ucirc;", 0xFB, 0xDB},
    {"&uuml;", 0xFC, 0xDC},   {"&yuml;", 0xFF, 0x9F},   {"&iexcl;", 0xA1, 0xA1},  {"&iquest;", 0xBF, 0xBF},
    {"&ordf;", 0xAA, 0xAA},
}};

constexpr bool EntitiesWellFormed()
{
    for (const Entity& e : kEntities)
        if (e.name.size() < 4 || e.name.front() != '&' || e.name.back() != ';') return false;
    return true;
}
static_assert(EntitiesWellFormed());
static_assert(kEntities[24].name == "&agrave;" && kEntities[24].upper == 0xC0);

int HexDigit(unsigned char c)
{
    if (IsAsciiDigit(c)) return c - '0';
    return IsAsciiXDigit(c) ? (c | 0x20) - 'a' + 10 : -1;
}

// Characters of 0..255 are Windows-1252, larger values Unicode code points.
void AppendCharacterValue(std::string& out, std::uint32_t value)
{
    if (value == 0) return;
    if (value < 0x100)
        AppendCp1252(out, static_cast<unsigned char>(value));
    else
        AppendCodePoint(out, value);
}

// "%%", "%XX"; returns the bytes of `text` consumed (0: copy the "%").
std::size_t Percent(std::string_view text, std::size_t i, std::string& out)
{
    if (i + 1 < text.size() && text[i + 1] == '%') {
        out += '%';
        return 2;
    }
    if (i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
        out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
        return 3;
    }
    if (i + 2 >= text.size()) return 1; // a "%" among the last two characters is dropped
    return 0;
}

// "&#233;" and "&#xE9;".
std::size_t NumericEntity(std::string_view text, std::size_t i, std::string& out)
{
    std::size_t k = i + 2;
    const bool hex = k < text.size() && AsciiLower(text[k]) == 'x';
    if (hex) ++k;
    const std::size_t maxDigits = hex ? 4 : 3;
    std::uint32_t value = 0;
    std::size_t digits = 0;
    for (; k < text.size() && digits < maxDigits; ++k, ++digits) {
        const int d = hex ? HexDigit(text[k]) : (IsAsciiDigit(text[k]) ? text[k] - '0' : -1);
        if (d < 0) break;
        value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
    }
    if (digits == 0 || k >= text.size() || text[k] != ';') return 0;
    AppendCharacterValue(out, value);
    return k + 1 - i;
}

std::size_t NamedEntity(std::string_view text, std::size_t i, std::string& out)
{
    const std::string_view rest = text.substr(i);
    for (const Entity& e : kEntities) {
        if (!StartsWithIgnoreCase(rest, e.name)) continue;
        const bool upper = rest.size() > 1 && rest[1] >= 'A' && rest[1] <= 'Z';
        AppendCharacterValue(out, upper ? e.upper : e.lower);
        return e.name.size();
    }
    return 0;
}

} // namespace

std::string UnescapeName(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t used = 0;
        if (text[i] == '%')
            used = Percent(text, i, out);
        else if (text[i] == '&')
            used = i + 1 < text.size() && text[i + 1] == '#' ? NumericEntity(text, i, out)
                                                             : NamedEntity(text, i, out);
        if (used == 0) {
            out += text[i];
            used = 1;
        }
        i += used;
    }
    return out;
}

} // namespace zarvex
