// Tests that tell, line by line, whether a line is encoded data and how it is
// quoted. Pure functions of the bytes; they never modify the line.
#pragma once

#include <cstdint>

namespace zarvex {

// Line kind bits returned by ClassifyDataLine (the MsgType bits of the same encodings).
enum LineKind : std::uint32_t {
    LK_UU = 0x02,
    LK_XX = 0x04,
    LK_BASE64 = 0x08,
    LK_BINHEX = 0x10,
    LK_BNEWS = 0x80, // length a multiple of 41, no control characters
};

bool IsUULine(const char* line, int len, bool strict);
bool IsXXLine(const char* line, int len);
bool IsBase64Line(const char* line, int len);
bool IsBinHexLine(const char* line, int len);
std::uint32_t ClassifyDataLine(const char* line, int len);
int QuotePrefixLength(const char* line, int len);
// The last byte of the zero-terminated line that is not white space; 0 for a blank line.
unsigned char LastNonBlank(const char* line);
// 1 match, 0 mismatch, -1 the text ended before the pattern. Both zero-terminated.
int WildMatch(const char* text, const char* pattern, bool ignoreCase);

} // namespace zarvex
