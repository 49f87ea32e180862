// Base64 line codec.
#pragma once

#include <string_view>

namespace zarvex {

class CBufFile;

// Results of DecodeBase64Line.
enum Base64Result : int
{
    B64_OK = 0,
    B64_NOTHING = -1,     // a foreign "--" line, a line starting with LF, or shorter than 4
    B64_END = -2,         // a boundary line, or the pad character ended the data
    B64_CLOSING = -3,     // the closing boundary "--" boundary "--"
    B64_BROKEN_GROUP = -4 // the line ended inside a 4-character group
};

// Decodes one line of a Base64 body into `out` (may be null). Characters
// outside the alphabet are skipped. Output: at most 3 bytes per 4 characters
// (raw mode: the line without its line end, plus CR LF). Nothing is read past
// line[len - 1]; the line is not modified. Stateless, no allocation.
int DecodeBase64Line(CBufFile* out, const char* line, int len, std::string_view boundary, bool raw);
// The bulk form of DecodeBase64Line for a line that is nothing but whole
// groups of alphabet characters (`len` a multiple of 4, no pad, no other
// character): stores its 3 bytes per group at `out`, which must hold one
// byte more, and returns true. False for any other line (`out` then holds
// scratch): DecodeBase64Line decides what such a line gives.
bool DecodeBase64Groups(const unsigned char* line, int len, unsigned char* out);
namespace detail {
// The vector kernel of DecodeBase64Groups: decodes whole groups s[0, 4 *
// groups) into out[0, 3 * groups), four at a time while they hold only
// alphabet characters, and returns how many it decoded (0 on CPUs without
// the instructions it needs).
int DecodeBase64GroupsFast(const unsigned char* s, int groups, unsigned char* out);
} // namespace detail
// Stores at most `maxBytes` (no limit when <= 0: then `dest` must hold
// 3 bytes per 4 characters). `lineLength` <= 0: measure the line. -1 for a
// missing argument.
int PeekDecodeBase64(const char* line, unsigned char* dest, int lineLength, int maxBytes, bool stopAtInvalid);

} // namespace zarvex
