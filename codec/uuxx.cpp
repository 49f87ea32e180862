// UUencode and XXencode line decoding. A line is decoded by itself; what is
// wrong with it comes back as LineStatus bits for the caller to report.
#include "codec/uuxx.h"

#include "codec/line_sink.h"
#include "codec/six_bit.h"
#include "codec/tables.h"
#include "text/ascii.h"

#include <cstring>

namespace zarvex {

namespace {

using detail::DecodeTable;
using detail::LineSink;

constexpr int kFullCount = 45;      // data bytes of a full line
constexpr int kJoinedMinimum = 121; // two full lines run together are at least this long
// Mail transports and editors strip trailing blanks, and a blank is a zero
// in UU: a line this many characters shorter than its count says is padded.
constexpr int kStrippedBlanks = 3;
constexpr unsigned char kCarriageReturn = '\r';

// Where the decode of one line stands after its data; `joinAt` >= 0 when the
// rest of the line, from that offset, is a second line of its own.
struct Segment
{
    int flags = 0;
    int joinAt = -1;
};

// The characters that `n` data bytes need (before rounding to whole groups).
constexpr long long EncodedLength(int n)
{
    return static_cast<long long>(n) * 4 / 3;
}
// The line length a count announces: whole groups plus the count character.
constexpr int ExpectedLength(long long enc)
{
    return static_cast<int>(((enc + 3) & ~3LL) + 1);
}

// Mail and news transports double a dot that starts a line; undoes the last
// such doubling in s[0, len). Returns false when there is no "..".
bool RemoveDoubledDot(char* s, int& len)
{
    for (int i = len - 2; i >= 0; --i) {
        if (s[i] == '.' && s[i + 1] == '.') {
            // Moves the terminator at s[len] along with the rest.
            std::memmove(s + i + 1, s + i + 2, static_cast<std::size_t>(len - i - 1));
            --len;
            return true;
        }
    }
    return false;
}

int StatusBits(bool invalid, bool shortLine, bool longLine)
{
    return (invalid ? LS_INVALID : 0) | (shortLine ? LS_SHORT : 0) | (longLine ? LS_LONG : 0);
}

// What sets UU and XX lines apart; the decoding path below is shared.
struct SixBitDialect
{
    const DecodeTable& table;
    unsigned char missing;       // the value DecodeGroups gives a character past the line
    unsigned char fullCount;     // the count character of a full line ("M", "h")
    bool repairsDots;            // a doubled dot on a full line is undone
    bool longOnlyWhenFull;       // only a full line can be too long
    bool checksumOverAnnounced;  // the value sum runs over the announced length, else to the last character
    bool anyLowerCaseIsChecksum; // any character 0x60..0x7F after the data passes as a checksum
    bool toleratesTrailingBlank; // one blank or tab left by the transport is no error
    int joinedFlag;              // the status bit of a line with a second one run into it
    bool rawAddsCRLF;            // raw mode writes the line with CR LF instead of unchanged
};

constexpr SixBitDialect kUU{kUUDecode, 0, 'M', true, false, true, true, true, LS_JOINED, true};
constexpr SixBitDialect kXX{kXXDecode, kInvalid, 'h', false, true, false, false, false, 0, false};

// One line without its line feed, s[0, len).
Segment DecodeSegment(const SixBitDialect& d, char* line, int& len, LineSink& sink, int previousLength)
{
    const auto* s = reinterpret_cast<const unsigned char*>(line);
    if (len <= 0) return {};
    // The count character; an invalid one still lets the line's groups decode.
    int n = d.table[s[0]];
    bool invalid = false;
    if (n == kInvalid) {
        invalid = true;
        n = (len / 4) * 3;
    }
    if (n == 0) return {}; // a lone "`", blank or "+": nothing to decode, no error
    bool shortLine = false, longLine = false, dotFixed = false;
    const long long enc = EncodedLength(n);
    int expected = ExpectedLength(enc);
    const bool stripped = len < expected && expected - len <= kStrippedBlanks;
    if (enc > len && !stripped) {
        shortLine = true;
        n = (len / 4) * 3;
    }
    if (expected < len && (!d.longOnlyWhenFull || n == kFullCount)) {
        longLine = true;
        // One extra character on a full line may be a doubled dot; only
        // repair it when a decode without output finds the line faulty and
        // the previous line was not one character longer than normal too.
        if (d.repairsDots && n == kFullCount && sink.HasOutput() && len == expected + 1 &&
            len != previousLength - 1 && DecodeUULine(line, len, nullptr, previousLength, false) != 0 &&
            RemoveDoubledDot(line, len)) {
            dotFixed = true;
            longLine = false;
        }
    }
    const detail::GroupsDecoded groups = detail::DecodeGroups(s, len, n, d.table, stripped ? 0 : d.missing, sink);
    invalid = invalid || groups.invalid;

    // After the data: a carriage return, then perhaps a checksum character.
    int p = groups.end;
    if (p < len && s[p] == kCarriageReturn) ++p;
    if (p < len) {
        const unsigned char c = s[p];
        const unsigned v = d.table[c];
        const int sumEnd = d.checksumOverAnnounced ? (expected < len ? expected : len) : len - 1;
        const unsigned s1 = detail::ValueSum(s, 1, sumEnd, d.table);
        if (!shortLine &&
            (v == s1 || v == groups.byteSum || (d.anyLowerCaseIsChecksum && c >= 0x60 && c <= 0x7F))) {
            ++expected;
            if (expected == len) longLine = false;
        }
        if (c == d.fullCount && len >= kJoinedMinimum)
            return {StatusBits(invalid, shortLine, false) | d.joinedFlag, p};
    }
    if (d.toleratesTrailingBlank && longLine && expected + 1 == len && IsAsciiSpace(s[expected]))
        longLine = false;
    return {StatusBits(invalid, shortLine, longLine) | (dotFixed ? LS_DOT_FIXED : 0), -1};
}

// Length without a trailing LF, or without CR LF when `withCR`.
int WithoutLineEnd(const char* line, int len, bool withCR)
{
    if (len > 0 && line[len - 1] == '\n') {
        --len;
        if (withCR && len > 0 && line[len - 1] == '\r') --len;
    }
    return len;
}

void WriteRaw(CBufFile* out, const char* data, int n, bool appendCRLF)
{
    if (!out) return;
    if (n > 0) out->Write(data, static_cast<std::size_t>(n));
    if (appendCRLF) out->Write("\r\n", 2);
}

int DecodeLine(const SixBitDialect& d, char* line, int len, CBufFile* out, int previousLength, bool raw)
{
    if (!line) return 0;
    if (raw) {
        if (d.rawAddsCRLF)
            WriteRaw(out, line, WithoutLineEnd(line, len, true), true);
        else
            WriteRaw(out, line, len, false);
        return 0;
    }
    len = WithoutLineEnd(line, len, false);
    LineSink sink(out);
    int carried = 0; // bits of the lines that came before in a joined line
    for (;;) {
        const Segment seg = DecodeSegment(d, line, len, sink, previousLength);
        if (seg.joinAt < 0) {
            sink.Flush();
            return carried | seg.flags;
        }
        carried |= seg.flags & (LS_INVALID | LS_SHORT | LS_JOINED);
        line += seg.joinAt;
        len -= seg.joinAt;
    }
}

int PeekSixBit(const char* line, unsigned char* dest, int lineLength, int maxBytes, const DecodeTable& table)
{
    if (!line || !dest) return -1;
    if (lineLength <= 0) lineLength = static_cast<int>(std::strlen(line));
    while (lineLength > 0 && (line[lineLength - 1] == '\n' || line[lineLength - 1] == '\r'))
        --lineLength;
    if (lineLength <= 0) return -1;
    const auto* s = reinterpret_cast<const unsigned char*>(line);
    const int n = table[s[0]];
    if (n == kInvalid || n > kFullCount) return -1;
    const int chars = n * 4 / 3 + (n % 3 != 0 ? 1 : 0); // characters that carry n bytes
    const int to = 1 + chars < lineLength ? 1 + chars : lineLength;
    return detail::PeekGroups(s, 1, to, n, maxBytes, table, dest);
}

} // namespace

int DecodeUULine(char* line, int len, CBufFile* out, int previousLength, bool raw)
{
    return DecodeLine(kUU, line, len, out, previousLength, raw);
}

int DecodeXXLine(char* line, int len, CBufFile* out, bool raw)
{
    return DecodeLine(kXX, line, len, out, 0, raw);
}

int PeekDecodeUU(const char* line, unsigned char* dest, int lineLength, int maxBytes)
{
    return PeekSixBit(line, dest, lineLength, maxBytes, kUU.table);
}

int PeekDecodeXX(const char* line, unsigned char* dest, int lineLength, int maxBytes)
{
    return PeekSixBit(line, dest, lineLength, maxBytes, kXX.table);
}

} // namespace zarvex
