#include "codec/quoted_printable.h"

#include "codec/line_sink.h"
#include "text/ascii.h"

#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zarvex {

namespace {

using detail::LineSink;

// A line of 80 bytes or more (line feed included) breaks the 76-character
// rule; on such lines a stray "=" is dropped rather than written.
constexpr int kLongLine = 80;

int Hex(unsigned char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    c = AsciiUpper(c);
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Cuts a soft break ("=" as the last non-blank byte, not "==") or the
// trailing blanks before the line feed. Returns the new length.
int TrimLine(char* line, int len)
{
    int end = len;
    while (end > 0 && IsAsciiSpace(static_cast<unsigned char>(line[end - 1])))
        --end;
    if (end > 0 && line[end - 1] == '=' && !(end > 1 && line[end - 2] == '=')) {
        line[end - 1] = '\0';
        return end - 1;
    }
    const bool lf = len > 0 && line[len - 1] == '\n';
    int cut = lf ? len - 1 : len;
    while (cut > 0 && IsBlank(line[cut - 1]))
        --cut;
    if (lf) line[cut++] = '\n';
    line[cut] = '\0';
    return cut;
}

// The first "=" or line feed in line[from, len), or len.
int PlainEnd(const char* line, int from, int len)
{
#if defined(__SSE2__)
    const __m128i eq = _mm_set1_epi8('='), lf = _mm_set1_epi8('\n');
    for (; from + 16 <= len; from += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + from));
        const auto hits =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, eq), _mm_cmpeq_epi8(v, lf))));
        if (hits) return from + __builtin_ctz(hits);
    }
#endif
    while (from < len && line[from] != '=' && line[from] != '\n')
        ++from;
    return from;
}

bool IsHeader(const char* line, int len)
{
    const std::string_view text(line, static_cast<std::size_t>(len));
    return StartsWithIgnoreCase(text, "Content-") || text.substr(0, 8) == "Article ";
}

} // namespace

bool EndsInSoftBreak(const char* line, int len)
{
    int end = len;
    while (end > 0 && IsAsciiSpace(static_cast<unsigned char>(line[end - 1])))
        --end;
    return end > 0 && line[end - 1] == '=' && !(end > 1 && line[end - 2] == '=');
}

int DecodeQPLine(char* line, int len, CBufFile* out, bool crlf, bool continued)
{
    if (!line || len <= 0) return QP_OK;
    const bool longLine = len >= kLongLine;
    len = TrimLine(line, len);
    if (!continued && IsHeader(line, len)) return QP_HEADER;

    LineSink sink(out);
    int result = QP_OK;
    for (int i = 0; i < len; ++i) {
        // Bytes taken as they are, in one run up to the next "=" or line feed.
        const int plain = PlainEnd(line, i, len);
        sink.PutRun(reinterpret_cast<const unsigned char*>(line + i), plain - i);
        if (plain == len) break;
        i = plain;
        const auto c = static_cast<unsigned char>(line[i]);
        if (c == '\n') {
            if (crlf) sink.Put('\r');
            sink.Put('\n');
            continue;
        }
        const int hi = i + 1 < len ? Hex(static_cast<unsigned char>(line[i + 1])) : -1;
        const int lo = hi >= 0 && i + 2 < len ? Hex(static_cast<unsigned char>(line[i + 2])) : -1;
        if (lo >= 0) {
            sink.Put(static_cast<unsigned char>(hi * 16 + lo));
            i += 2;
            continue;
        }
        result = QP_BAD_ESCAPE;
        // A "=" that starts no escape is written as it is (RFC 2045: mail
        // that was never encoded, 'xmlns:o="urn:..."'); only on a long line
        // "= " goes, a soft break whose line end a transport turned into a blank.
        if (longLine && i + 1 < len && line[i + 1] == ' ')
            ++i;
        else
            sink.Put('=');
    }
    sink.Flush();
    return result;
}

int PeekDecodeQP(const char* line, unsigned char* dest, int lineLength, int maxBytes)
{
    if (!line || !dest) return 0;
    const int len = lineLength > 0 ? lineLength : static_cast<int>(std::strlen(line));
    int stored = 0;
    for (int i = 0; i < len && (maxBytes <= 0 || stored < maxBytes); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        const int hi = c == '=' && i + 2 < len ? Hex(static_cast<unsigned char>(line[i + 1])) : -1;
        const int lo = hi >= 0 ? Hex(static_cast<unsigned char>(line[i + 2])) : -1;
        if (lo >= 0) {
            dest[stored++] = static_cast<unsigned char>(hi * 16 + lo);
            i += 2;
        } else {
            dest[stored++] = c;
        }
    }
    return stored;
}

} // namespace zarvex
