// yEnc line decoding. Every character c of a data line stands for the byte
// c - 42 (modulo 256); "=" escapes the next character, which then stands
// for c - 64 - 42. The decoder writes the bytes into the output file and
// feeds them into the part and whole-file CRC registers (codec/crc32.h).
#pragma once

#include <cstdint>

namespace zarvex {

class CBufFile;

// Result bits of DecodeYencLine.
enum YencLineResult : int
{
    YL_LONE_ESCAPE = 1, // strict: the line ends with an escape that has no character after it
    YL_LONG = 4,        // strict: the line holds more characters than the header's line length
};

// The escape state that lenient decoding carries from one line to the next:
// true when the last character of the previous line was a lone "=". It
// belongs to one extraction (never shared between two), and is cleared
// wherever the part CRC is reset.
struct YencLineState
{
    bool pendingEscape = false;
};

// Decodes the data line line[0, len) (zero-terminated; a trailing CR or LF
// and anything after a NUL are not data) into `out`, adding the bytes to
// *partCrc and, when given, *fileCrc.
// `lineLength` is the header's "line=" (0 or less: the line's own length).
// Strict mode stops after that many characters (an escape pair begun inside
// them is completed) and reports YL_LONE_ESCAPE / YL_LONG; lenient mode
// decodes the whole line and carries a final "=" over in `state`.
// Raw mode writes the line itself plus CR LF instead of the bytes (the
// registers still get the decoded bytes).
// `decoded`, when given, gets the number of bytes the line stands for (what
// went into the registers), so that a caller can leave *fileCrc out and
// join the part to the file later (Crc32Combine) instead of running the
// CRC twice.
// Returns 0, an OR of YencLineResult bits, or -1 for a missing line, output
// or part register. Output: at most `len` bytes. No allocation.
int DecodeYencLine(const char* line, int len, CBufFile* out, std::uint32_t* partCrc, std::uint32_t* fileCrc,
                   int lineLength, bool raw, bool strict, YencLineState& state, int* decoded = nullptr);

// What DecodeYencLine does to one line, for callers that keep the output
// and the CRC themselves: the line's text s[0, len) (no line break; a NUL
// ends the data) decoded into `out`, which needs room for
// len + kYencDecodeSlack bytes (bytes past the decoded ones are scratch).
// `produced` gets the number of bytes decoded. Returns the result bits.
inline constexpr int kYencDecodeSlack = 64;
int DecodeYencText(const unsigned char* s, int len, unsigned char* out, int lineLength, bool strict,
                   YencLineState& state, int& produced);

// DecodeYencText for a line taken straight from a read buffer, whose end is
// found on the way: the line is s[0, k), k the first CR or LF in s[0, span)
// (span when there is none), which `lineEnd` gets; `binary` gets the
// binary-looking bytes of s[0, k) as FindLineBreak counts them. The vector
// kernels decode the bulk of the line first, and the search for the break
// starts where they stopped (they stop at a CR or LF), so that the line is
// read once. `out` needs span + kYencDecodeSlack bytes. Returns what
// DecodeYencText(s, k, ...) returns, with the same bytes and state.
int DecodeYencBufferedLine(const unsigned char* s, int span, unsigned char* out, int lineLength, bool strict,
                           YencLineState& state, int& produced, int& lineEnd, std::int64_t& binary);

// Decodes the start of a line into `dest` for file type detection: up to
// its line end, "=" pairs unescaped, at most `maxBytes` bytes (0 or less:
// no limit). `lineLength` <= 0: the line is measured (zero-terminated).
// Returns the number of bytes stored, or -1 for a missing argument.
int PeekDecodeYenc(const char* line, unsigned char* dest, int lineLength, int maxBytes);

} // namespace zarvex
