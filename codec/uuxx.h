// UUencode and XXencode line codecs. Each call decodes one line by itself
// into the output file and reports what was wrong with it as status bits.
#pragma once

namespace zarvex {

class CBufFile;

// Status bits of the UU and XX line decoders.
enum LineStatus : int
{
    LS_INVALID = 1,   // a character outside the alphabet
    LS_SHORT = 2,     // fewer characters than the count announces
    LS_LONG = 4,      // more characters than the count announces
    LS_JOINED = 16,   // two lines run together; the rest was decoded as a second line
    LS_DOT_FIXED = 32 // a doubled "." was removed
};

// `line` is zero-terminated, `len` its length (it may end in LF). `out` may
// be null (test decode). `previousLength` is the length of the previous line
// as read. The line buffer may be modified (dot repair).
// Output: at most 3 bytes per 4 characters of the line (raw mode: the line
// plus CR LF). Nothing is read past line[len]. Stateless and thread-safe
// for distinct lines and outputs; no allocation.
int DecodeUULine(char* line, int len, CBufFile* out, int previousLength, bool raw);
int DecodeXXLine(char* line, int len, CBufFile* out, bool raw);

// Decode the start of a line into `dest` (for file type detection).
// `lineLength` <= 0: measure it; `maxBytes` <= 0: no limit. Returns the
// number of bytes stored (at most 45), or -1 for a missing argument or a bad
// count character.
int PeekDecodeUU(const char* line, unsigned char* dest, int lineLength, int maxBytes);
int PeekDecodeXX(const char* line, unsigned char* dest, int lineLength, int maxBytes);

} // namespace zarvex
