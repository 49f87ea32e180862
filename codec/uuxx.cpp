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

// One UU line without its line feed, s[0, len).
Segment DecodeUUSegment(char* line, int& len, LineSink& sink, int previousLength)
{
    const auto* s = reinterpret_cast<const unsigned char*>(line);
    if (len <= 0) return {};
    // The count character; an invalid one still lets the line's groups decode.
    int n = kUUDecode[s[0]];
    bool invalid = false;
    if (n == kInvalid) {
        invalid = true;
        n = (len / 4) * 3;
    }
    if (n == 0) return {}; // a lone "`" or blank: nothing to decode, no error
    bool shortLine = false, longLine = false, dotFixed = false;
    const long long enc = EncodedLength(n);
    if (enc > len) {
        shortLine = true;
        n = (len / 4) * 3;
    }
    int expected = ExpectedLength(enc);
    if (expected < len) {
        longLine = true;
        // One extra character on a full line may be a doubled dot; only
        // repair it when a decode without output finds the line faulty and
        // the previous line was not one character longer than normal too.
        if (n == kFullCount && sink.HasOutput() && len == expected + 1 && len != previousLength - 1 &&
            DecodeUULine(line, len, nullptr, previousLength, false) != 0 && RemoveDoubledDot(line, len)) {
            dotFixed = true;
            longLine = false;
        }
    }
    const detail::GroupsDecoded groups = detail::DecodeGroups(s, len, n, kUUDecode, 0, sink);
    invalid = invalid || groups.invalid;

    // After the data: a carriage return, then perhaps a checksum character.
    int p = groups.end;
    if (p < len && s[p] == kCarriageReturn) ++p;
    if (p < len) {
        const unsigned char c = s[p];
        const unsigned v = kUUDecode[c];
        const unsigned s1 = detail::ValueSum(s, 1, expected < len ? expected : len, kUUDecode);
        if (!shortLine && (v == s1 || v == groups.byteSum || (c >= 0x60 && c <= 0x7F))) {
            ++expected;
            if (expected == len) longLine = false;
        }
        if (c == 'M' && len >= kJoinedMinimum) return {StatusBits(invalid, shortLine, false) | LS_JOINED, p};
    }
    // One trailing blank or tab left by the transport is no error.
    if (longLine && expected + 1 == len && IsAsciiSpace(s[expected])) longLine = false;
    return {StatusBits(invalid, shortLine, longLine) | (dotFixed ? LS_DOT_FIXED : 0), -1};
}

// One XX line without its line feed, s[0, len).
Segment DecodeXXSegment(const char* line, int len, LineSink& sink)
{
    const auto* s = reinterpret_cast<const unsigned char*>(line);
    if (len <= 0) return {};
    int n = kXXDecode[s[0]];
    bool invalid = false;
    if (n == kInvalid) {
        invalid = true;
        n = (len / 4) * 3;
    }
    if (n == 0) return {};
    bool shortLine = false;
    const long long enc = EncodedLength(n);
    if (enc > len) {
        shortLine = true;
        n = (len / 4) * 3;
    }
    int expected = ExpectedLength(enc);
    bool longLine = expected < len && n == kFullCount;
    const detail::GroupsDecoded groups = detail::DecodeGroups(s, len, n, kXXDecode, kInvalid, sink);
    invalid = invalid || groups.invalid;

    int p = groups.end;
    if (p < len && s[p] == kCarriageReturn) ++p;
    if (p < len) {
        const unsigned char c = s[p];
        const unsigned v = kXXDecode[c];
        const unsigned s1 = detail::ValueSum(s, 1, len - 1, kXXDecode);
        if (!shortLine && (v == s1 || v == groups.byteSum)) {
            ++expected;
            if (expected == len) longLine = false;
        }
        if (c == 'h' && len >= kJoinedMinimum) return {StatusBits(invalid, shortLine, false), p};
    }
    return {StatusBits(invalid, shortLine, longLine), -1};
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

} // namespace

int DecodeUULine(char* line, int len, CBufFile* out, int previousLength, bool raw)
{
    if (!line) return 0;
    if (raw) {
        WriteRaw(out, line, WithoutLineEnd(line, len, true), true);
        return 0;
    }
    len = WithoutLineEnd(line, len, false);
    LineSink sink(out);
    int carried = 0; // bits of the lines that came before in a joined line
    for (;;) {
        const Segment seg = DecodeUUSegment(line, len, sink, previousLength);
        if (seg.joinAt < 0) {
            sink.Flush();
            return carried | seg.flags;
        }
        carried |= seg.flags & (LS_INVALID | LS_SHORT | LS_JOINED);
        line += seg.joinAt;
        len -= seg.joinAt;
    }
}

int DecodeXXLine(char* line, int len, CBufFile* out, bool raw)
{
    if (!line) return 0;
    if (raw) {
        WriteRaw(out, line, len, false);
        return 0;
    }
    len = WithoutLineEnd(line, len, false);
    LineSink sink(out);
    int carried = 0;
    for (;;) {
        const Segment seg = DecodeXXSegment(line, len, sink);
        if (seg.joinAt < 0) {
            sink.Flush();
            return carried | seg.flags;
        }
        carried |= seg.flags & (LS_INVALID | LS_SHORT);
        line += seg.joinAt;
        len -= seg.joinAt;
    }
}

namespace {

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

int PeekDecodeUU(const char* line, unsigned char* dest, int lineLength, int maxBytes)
{
    return PeekSixBit(line, dest, lineLength, maxBytes, kUUDecode);
}

int PeekDecodeXX(const char* line, unsigned char* dest, int lineLength, int maxBytes)
{
    return PeekSixBit(line, dest, lineLength, maxBytes, kXXDecode);
}

} // namespace zarvex
