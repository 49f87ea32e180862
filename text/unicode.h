// Small UTF-8 building helpers shared by the text decoders.
#pragma once

#include <cstdint>
#include <string>

#include "text/display_text.h"

namespace zarvex {

// Appends code point `cp` as UTF-8; surrogates and values beyond U+10FFFF become "?".
inline void AppendCodePoint(std::string& out, std::uint32_t cp)
{
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
        out += '?';
    } else if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Appends one Windows-1252 character as UTF-8.
inline void AppendCp1252(std::string& out, unsigned char c)
{
    if (c < 0x80)
        out += static_cast<char>(c);
    else
        out += ToDisplayUtf8(std::string_view(reinterpret_cast<const char*>(&c), 1));
}

} // namespace zarvex
