// BNews ("<<BPST") data: groups of 41 characters, each a number in base 224
// (character code minus 32, least significant digit first) that carries 40
// bytes, least significant byte first. A group may continue on the next line.
#pragma once

#include <array>
#include <cstdint>

namespace zarvex {

class CBufFile;

inline constexpr int kBNewsGroupChars = 41;
inline constexpr int kBNewsGroupBytes = 40;
// The length of a full data line without its line feed.
inline constexpr int kBNewsLineLength = 246;

struct BNewsState
{
    std::array<unsigned char, kBNewsGroupChars> group{};
    int fill = 0;              // characters of the group taken so far
    std::int64_t expected = 0; // bytes still to write
};

void ResetBNews(BNewsState& state);

// Status bits of DecodeBNewsLine.
enum BNewsStatus : int
{
    BN_SHORT = 2, // shorter than a full line
    BN_LONG = 4,  // longer than a full line
    BN_CARRY = 8, // a group goes on on the next line
};

// Decodes one line (its line feed is ignored) into `out` (may be null).
// Characters below 32 are skipped. Only as many bytes as are still expected
// are written. `raw`: the line without its line end and CR LF are written
// instead. `final`: the last line of the section; a group it leaves
// unfinished is dropped. No allocation.
int DecodeBNewsLine(const char* line, int len, CBufFile* out, BNewsState& state, bool raw, bool final);

// The bytes of the first groups of a line, for file type detection.
int PeekDecodeBNews(const char* line, int len, unsigned char* dest, int maxBytes);

} // namespace zarvex
