#include "codec/six_bit.h"

#include <algorithm>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zarvex::detail {

namespace {

// Valid values are 0..63; kInvalid (0x7F) carries bit 0x40, so one test of
// the ORed values of a group finds any invalid character in it.
constexpr unsigned kInvalidBit = 0x40;
static_assert((kInvalid & kInvalidBit) != 0 && (63 & kInvalidBit) == 0);

// Groups decoded per run of the fast path: 192 bytes, well inside the sink.
constexpr int kRunGroups = 64;

inline void Split(unsigned a, unsigned b, unsigned c, unsigned d, unsigned char out[3])
{
    out[0] = static_cast<unsigned char>((a << 2) | (b >> 4));
    out[1] = static_cast<unsigned char>((b << 4) | (c >> 2));
    out[2] = static_cast<unsigned char>((c << 6) | d);
}

} // namespace

GroupsDecoded DecodeGroupsPlain(const unsigned char* s, int len, int n, const DecodeTable& table,
                           unsigned char missing, LineSink& sink)
{
    GroupsDecoded r;
    unsigned bad = 0, sum = 0;
    int pos = 1;
    // Whole groups that lie inside the line: the hot loop.
    if (sink.HasOutput()) {
        for (; n >= 3 && pos + 4 <= len; pos += 4, n -= 3) {
            const unsigned a = table[s[pos]], b = table[s[pos + 1]], c = table[s[pos + 2]],
                           d = table[s[pos + 3]];
            bad |= a | b | c | d;
            unsigned char* o = sink.Reserve(3);
            Split(a, b, c, d, o);
            sum += o[0] + o[1] + o[2];
            sink.Commit(3);
        }
    } else {
        for (; n >= 3 && pos + 4 <= len; pos += 4, n -= 3) {
            const unsigned a = table[s[pos]], b = table[s[pos + 1]], c = table[s[pos + 2]],
                           d = table[s[pos + 3]];
            bad |= a | b | c | d;
            unsigned char o[3];
            Split(a, b, c, d, o);
            sum += o[0] + o[1] + o[2];
        }
    }
    // The last group: fewer bytes, or characters missing at the line's end.
    for (; n > 0; pos += 4, n -= 3) {
        unsigned v[4];
        for (int k = 0; k < 4; ++k)
            v[k] = pos + k < len ? table[s[pos + k]] : missing;
        bad |= v[0] | v[1] | v[2] | v[3];
        unsigned char o[3];
        Split(v[0], v[1], v[2], v[3], o);
        const int count = n < 3 ? n : 3;
        for (int k = 0; k < count; ++k) {
            sum += o[k];
            if (sink.HasOutput()) sink.Put(o[k]);
        }
    }
    r.end = pos;
    r.invalid = (bad & kInvalidBit) != 0;
    r.byteSum = sum & 63;
    return r;
}

namespace {

// Whole groups s[0, 4 * groups) into out[0, 3 * groups): one 24-bit value
// per group, no branch per byte. Returns the ORed table values (invalid
// characters keep their table value, as in Split, so the bytes are the same).
unsigned DecodeGroupRun(const unsigned char* s, int groups, const DecodeTable& table, unsigned char* out,
                        SixBitKernel kernel)
{
    unsigned bad = 0;
    // The UU alphabet decodes by arithmetic: the vector kernel does what it
    // can (only valid characters, so nothing for `bad`), the loop the rest.
    if (&table == &kUUDecode && kernel == SixBitKernel::Best) {
        const int fast = DecodeUUGroupsFast(s, groups, out);
        groups -= fast;
        s += 4 * fast;
        out += 3 * fast;
    }
    for (int g = 0; g < groups; ++g, s += 4, out += 3) {
        const std::uint32_t a = table[s[0]], b = table[s[1]], c = table[s[2]], d = table[s[3]];
        bad |= a | b | c | d;
        const std::uint32_t v = a << 18 | b << 12 | c << 6 | d;
        out[0] = static_cast<unsigned char>(v >> 16);
        out[1] = static_cast<unsigned char>(v >> 8);
        out[2] = static_cast<unsigned char>(v);
    }
    return bad;
}

unsigned ByteSum(const unsigned char* data, int n)
{
    unsigned sum = 0;
    int i = 0;
#if defined(__SSE2__)
    __m128i sums = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16)
        sums = _mm_add_epi64(sums, _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i)),
                                                _mm_setzero_si128()));
    sum = static_cast<unsigned>(_mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums)));
#endif
    for (; i < n; ++i)
        sum += data[i];
    return sum;
}

} // namespace

GroupsDecoded DecodeGroups(const unsigned char* s, int len, int n, const DecodeTable& table,
                           unsigned char missing, LineSink& sink, SixBitKernel kernel)
{
    const int whole = len > 1 ? std::min(n / 3, (len - 1) / 4) : 0;
    if (whole <= 0) return DecodeGroupsPlain(s, len, n, table, missing, sink);
    // The whole groups in runs that fit the sink (or a scratch block when
    // there is no output); the plain path does what is left of the line.
    // The byte sum only counts when characters follow the groups.
    const bool needSum = 1 + 4 * whole < len;
    unsigned bad = 0, sum = 0;
    unsigned char scratch[kRunGroups * 3];
    for (int done = 0; done < whole;) {
        const int k = std::min(kRunGroups, whole - done);
        unsigned char* out = sink.HasOutput() ? sink.Reserve(3 * k) : scratch;
        bad |= DecodeGroupRun(s + 1 + 4 * done, k, table, out, kernel);
        if (needSum) sum += ByteSum(out, 3 * k);
        if (sink.HasOutput()) sink.Commit(3 * k);
        done += k;
    }
    // The rest starts as a line of its own whose count character is the
    // last character of the whole groups.
    const int consumed = 4 * whole;
    GroupsDecoded r;
    if (n - 3 * whole > 0)
        r = DecodeGroupsPlain(s + consumed, len - consumed, n - 3 * whole, table, missing, sink);
    r.end += consumed;
    r.invalid = r.invalid || (bad & kInvalidBit) != 0;
    r.byteSum = (r.byteSum + sum) & 63;
    return r;
}

bool DecodeUUFullLine(const unsigned char* s, unsigned char* out, SixBitKernel kernel)
{
    constexpr int kGroups = 15;
    int fast = 0;
    if (kernel == SixBitKernel::Best) {
        if (HaveUUFullLineAvx2()) return DecodeUUFullLineAvx2(s, out);
        fast = DecodeUUGroupsFast(s, kGroups, out);
    }
    return fast == kGroups ||
           (DecodeGroupRun(s + 4 * fast, kGroups - fast, kUUDecode, out + 3 * fast, SixBitKernel::Scalar) &
            kInvalidBit) == 0;
}

unsigned ValueSum(const unsigned char* s, int from, int to, const DecodeTable& table)
{
    unsigned sum = 0;
    for (int i = from; i < to; ++i)
        sum += table[s[i]];
    return sum & 63;
}

int PeekGroups(const unsigned char* s, int from, int to, int n, int maxBytes, const DecodeTable& table,
               unsigned char* dest)
{
    const int limit = maxBytes > 0 && maxBytes < n ? maxBytes : n;
    int stored = 0, bits = 0;
    unsigned acc = 0;
    for (int i = from; i < to && stored < limit; ++i) {
        const unsigned v = table[s[i]];
        if (v == kInvalid) break;
        acc = (acc << 6) | v;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            dest[stored++] = static_cast<unsigned char>(acc >> bits);
        }
    }
    return stored;
}

} // namespace zarvex::detail
