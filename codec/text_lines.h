// Lines of plain-text message parts in the character sets that need work:
// UTF-7 bodies and UTF-8 bodies are both written as UTF-8, the platform's
// text encoding.
#pragma once

#include <string>
#include <string_view>

namespace zarvex {

class CBufFile;

// UTF-7 (RFC 2152): "+-" is "+"; a "+" run of Base64 characters carries
// 16-bit units, written as UTF-8 (surrogate pairs joined, a lone surrogate
// becomes "?"); a "-" that ends a run is consumed. Everything else is copied.
// A run ends with the line.
std::string Utf7LineToUtf8(std::string_view line);
// Writes the line through Utf7LineToUtf8; 0, or 8 when an argument is missing.
int DecodeUTF7Line(const char* line, int len, CBufFile* out);

// UTF-8 text as the platform stores it: valid sequences are kept, every byte
// of a broken one becomes "?".
std::string CleanUtf8(std::string_view line);
// Writes the line through CleanUtf8; 0, or 8 when an argument is missing.
int WriteUTF8AsAnsi(const char* line, int len, CBufFile* out);

} // namespace zarvex
