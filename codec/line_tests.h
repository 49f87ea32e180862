// Tests that tell, line by line, whether a line is encoded data and how it is
// quoted. Pure functions of the bytes; they never modify the line.
#pragma once

#include "codec/msg_type.h"

#include <cstdint>

namespace zarvex {

bool IsUULine(const char* line, int len, bool strict);
bool IsXXLine(const char* line, int len);
bool IsBase64Line(const char* line, int len);
bool IsBinHexLine(const char* line, int len);
// The MsgType bits of the encodings the line may be: MT_UU, MT_XX, MT_B64,
// MT_HQX, and MT_BNEWS for a length a multiple of 41 without control characters.
std::uint32_t ClassifyDataLine(const char* line, int len);
int QuotePrefixLength(const char* line, int len);
// The last byte of the zero-terminated line that is not white space; 0 for a blank line.
unsigned char LastNonBlank(const char* line);

} // namespace zarvex
