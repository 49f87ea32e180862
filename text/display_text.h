// Turning 8-bit text from messages into text fit for names and display.
#pragma once

#include <string>
#include <string_view>

namespace zarvex {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view text);

// Text that is valid UTF-8 is returned as it is; any other text is read as
// Windows-1252 and converted to UTF-8. The result never holds the byte 0xFD,
// so it can be inserted into log text without being taken for a colour marker.
std::string ToDisplayUtf8(std::string_view text);

} // namespace zarvex
