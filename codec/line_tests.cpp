// Line tests: pure functions over the bytes of one line. No test reads past
// `len`; where a length handed on to another test reaches beyond the line,
// the line's end counts as its line end.
#include "codec/line_tests.h"

#include "codec/tables.h"
#include "text/ascii.h"

#include <algorithm>
#include <cstring>

namespace zarvex {
namespace {

using Table = std::array<unsigned char, 256>;

constexpr unsigned char Byte(const char* line, int i)
{
    return static_cast<unsigned char>(line[i]);
}
constexpr bool IsLineEnd(unsigned char c)
{
    return c == '\n' || c == '\r';
}

int TrimLineEnds(const char* line, int len)
{
    while (len > 0 && IsLineEnd(Byte(line, len - 1)))
        --len;
    return len;
}

// Every byte of the first `count` (at most `len`) must be in `table`, up to
// the first CR or LF; with `strict` no lower-case letter may occur either.
bool AllInTable(const char* line, int count, const Table& table, bool strict)
{
    for (int i = 0; i < count; ++i) {
        const unsigned char c = Byte(line, i);
        if (IsLineEnd(c)) break;
        if (table[c] == kInvalid) return false;
        if (strict && kUpperCase[c] != c) return false;
    }
    return true;
}

// The encoded length of `n` data bytes, rounded up to whole 4-character groups.
constexpr int GroupedLength(int n)
{
    return (n * 4 / 3 + 3) & ~3;
}

// Steps 2 and 3 of the classifier: the encoded length the count character
// announces, or 0 when there is none or it is more than 2 away from `t`.
int EstimateLength(const char* line, int t, const Table& table, int maxCount)
{
    if (t <= 0) return 0;
    const int n = table[Byte(line, 0)];
    if (n == kInvalid || n > maxCount) return 0;
    const int e = GroupedLength(n);
    return (e - t > 2 || t - e > 2) ? 0 : e;
}

bool HasControlByte(const char* line, int t)
{
    for (int i = 0; i < t; ++i)
        if (Byte(line, i) < 32) return true;
    return false;
}

bool IsQuoteMark(unsigned char c)
{
    return c == '>' || c == '-' || c == ':';
}

} // namespace

bool IsUULine(const char* line, int len, bool strict)
{
    len = TrimLineEnds(line, len);
    if (len <= 0) return false;
    const int n = kUUDecode[Byte(line, 0)];
    if (n == kInvalid) return false;
    // A line may have lost up to three trailing blanks (zeros) in transport.
    const int minimum = n * 4 / 3;
    if (len + 3 <= minimum || (strict && len > minimum + 4)) return false;
    return AllInTable(line, len, kUUDecode, strict);
}

bool IsXXLine(const char* line, int len)
{
    len = TrimLineEnds(line, len);
    if (len <= 0) return false;
    const int n = kXXDecode[Byte(line, 0)];
    if (n == kInvalid || len < n * 4 / 3) return false;
    return AllInTable(line, len, kXXDecode, false);
}

bool IsBase64Line(const char* line, int len)
{
    while (len > 0 && (Byte(line, len - 1) == '\n' || (Byte(line, len - 1) == '\r' && len > 1)))
        --len;
    while (len > 1 && IsAsciiSpace(Byte(line, len - 1)))
        --len;
    if (len <= 0) return false;
    bool data = false; // a lone CR is a blank line, not a Base64 line
    for (int i = 0; i < len; ++i) {
        const unsigned char c = Byte(line, i);
        if (kBase64Decode[c] != kInvalid || c == '=') data = true;
        if (kBase64Decode[c] != kInvalid) continue;
        // Padding (or a stray line end) may stand only among the last 5 bytes.
        if ((c == '=' || IsLineEnd(c)) && len - i - 1 <= 4) continue;
        return false;
    }
    return data;
}

bool IsBinHexLine(const char* line, int len)
{
    for (int i = 0; i <= len - 2; ++i) {
        const unsigned char c = Byte(line, i);
        if (c == 0 || IsLineEnd(c)) break;
        if (kBinHexDecode[c] != kInvalid) continue;
        if ((c == ':' && i == 0) || (c == ' ' && len > 64)) continue;
        return false;
    }
    if (len < 2) return false;
    return line[0] == ':' || len <= 66;
}

namespace {

// The classifier tests the length the count character announces. That length
// may reach past a line that lost its trailing blanks; the test then stops at
// the line's real end (the announced length itself always fits the count).
bool UUPrefixValid(const char* line, int count, int len, bool strict)
{
    return count <= len ? IsUULine(line, count, strict) : AllInTable(line, len, kUUDecode, strict);
}

bool XXPrefixValid(const char* line, int count, int len)
{
    return count <= len ? IsXXLine(line, count) : AllInTable(line, len, kXXDecode, false);
}

} // namespace

std::uint32_t ClassifyDataLine(const char* line, int len)
{
    if (len <= 0) return 0;
    int t = len;
    while (t > 0 && (IsLineEnd(Byte(line, t - 1)) || (Byte(line, t - 1) == ' ' && t > 64)))
        --t;

    // One letter and then only blanks (a shell archive's "X" before an
    // empty text line) carries no data of any kind, whatever its length.
    int filled = t;
    while (filled > 1 && (Byte(line, filled - 1) == ' ' || Byte(line, filled - 1) == '\t'))
        --filled;
    if (filled <= 1) return 0;

    const int e = EstimateLength(line, t, kUUDecode, 45);
    const int x = EstimateLength(line, t, kXXDecode, 63);
    std::uint32_t kind = 0;
    if (e && UUPrefixValid(line, e + 1, len, false)) kind |= MT_UU;
    if (x && XXPrefixValid(line, x + 1, len)) kind |= MT_XX;
    if (kind == 0 && (t == 64 || (t < len && line[t] == ':')) && IsBinHexLine(line, t)) kind = MT_HQX;
    if (IsBase64Line(line, std::min(t + 1, len))) kind |= MT_B64;
    if (t > 0 && t % 41 == 0 && !HasControlByte(line, t)) kind |= MT_BNEWS;

    if ((kind & MT_B64) && (kind & MT_UU))
        return UUPrefixValid(line, e + 1, len, true) ? MT_UU : MT_B64;
    // All XX characters but "-" are Base64 characters, so a good third of
    // XX lines look like Base64 too. Whole Base64 lines come in groups of
    // four characters; an XX line whose length agrees with its count
    // character and that breaks the groups of four is XX.
    if ((kind & MT_B64) && (kind & MT_XX) && t % 4 != 0) kind &= ~MT_B64;
    return kind;
}

int QuotePrefixLength(const char* line, int len)
{
    int run = 0;
    bool marked = false, tabbed = false;
    for (; run < len; ++run) {
        const unsigned char c = Byte(line, run);
        if (IsQuoteMark(c))
            marked = true;
        else if (c == '\t')
            tabbed = true;
        else if (c != ' ')
            break;
    }
    if (marked) return run;
    if (!tabbed && run < len) return len - 2 > run ? run : 0;
    return 0;
}

unsigned char LastNonBlank(const char* line)
{
    for (std::size_t i = std::strlen(line); i > 0; --i)
        if (!IsAsciiSpace(static_cast<unsigned char>(line[i - 1]))) return static_cast<unsigned char>(line[i - 1]);
    return 0;
}

} // namespace zarvex
