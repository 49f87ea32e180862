// Finding the next CR or LF in a run of bytes, counting the binary-looking
// bytes on the way: the search behind ReadLine.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zarvex {

// Bytes 1..6 and 128..255 look binary; 0 and 7..127 look like text.
constexpr bool IsBinaryLooking(unsigned char c)
{
    return c >= 128 || (c >= 1 && c <= 6);
}
static_assert(IsBinaryLooking(1) && IsBinaryLooking(6) && IsBinaryLooking(128) && IsBinaryLooking(255));
static_assert(!IsBinaryLooking(0) && !IsBinaryLooking(7) && !IsBinaryLooking('\r') && !IsBinaryLooking(127));

// Index of the first CR or LF in data[0..n), or n when there is none; adds
// the number of binary-looking bytes before that index to `binary`.
// Byte-at-a-time reference for the fast search below.
inline std::size_t FindLineBreakPlain(const unsigned char* data, std::size_t n, std::int64_t& binary)
{
    std::size_t i = 0;
    for (; i < n; ++i) {
        if (data[i] == '\r' || data[i] == '\n') break;
        binary += IsBinaryLooking(data[i]);
    }
    return i;
}

#if defined(__SSE2__)
namespace line_break_detail {

struct Block
{
    unsigned breaks; // bit per lane: CR or LF
    __m128i binary;  // 0xFF per lane: binary-looking byte
};

inline __m128i Load(const unsigned char* at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

inline Block Classify(__m128i v)
{
    const __m128i isBreak =
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\n')));
    // As signed bytes, 128..255 and 0..6 lie below 7; zero is then taken out.
    const __m128i below7 = _mm_cmplt_epi8(v, _mm_set1_epi8(7));
    const __m128i isZero = _mm_cmpeq_epi8(v, _mm_setzero_si128());
    return {static_cast<unsigned>(_mm_movemask_epi8(isBreak)), _mm_andnot_si128(isZero, below7)};
}

// Adds the number of marked lanes to the two 64-bit halves of `sum`.
inline __m128i AddLanes(__m128i sum, __m128i marks)
{
    return _mm_add_epi64(sum, _mm_sad_epu8(_mm_and_si128(marks, _mm_set1_epi8(1)), _mm_setzero_si128()));
}

// Lanes from..to-1 set.
inline __m128i LaneRange(unsigned from, unsigned to)
{
    const __m128i iota = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m128i atLeastFrom =
        _mm_cmpgt_epi8(iota, _mm_set1_epi8(static_cast<char>(static_cast<int>(from) - 1)));
    return _mm_and_si128(atLeastFrom, _mm_cmplt_epi8(iota, _mm_set1_epi8(static_cast<char>(to))));
}

inline std::int64_t Total(__m128i sum)
{
    return _mm_cvtsi128_si64(sum) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sum, sum));
}

} // namespace line_break_detail
#endif

// Same results as FindLineBreakPlain; reads only data[0..n). With `copy`
// given, also copies the bytes before the break there; it may write up to
// copy[n - 1] (bytes after the break are scratch for the caller).
inline std::size_t FindLineBreak(const unsigned char* data, std::size_t n, std::int64_t& binary,
                                 unsigned char* copy = nullptr)
{
#if defined(__SSE2__)
    using namespace line_break_detail;
    if (n < 16) {
        const std::size_t k = FindLineBreakPlain(data, n, binary);
        for (std::size_t j = 0; copy && j < k; ++j)
            copy[j] = data[j];
        return k;
    }
    __m128i sum = _mm_setzero_si128();
    std::size_t i = 0;
    unsigned from = 0; // lanes of the block below this were searched already
    for (;;) {
        const bool last = i + 16 > n;
        if (last) {
            // The final, partial block: reload the last 16 bytes and skip
            // the lanes searched before.
            if (i == n) break;
            from = static_cast<unsigned>(16 - (n - i));
            i = n - 16;
        }
        const __m128i v = Load(data + i);
        if (copy) _mm_storeu_si128(reinterpret_cast<__m128i*>(copy + i), v);
        const Block b = Classify(v);
        const unsigned breaks = b.breaks >> from << from;
        if (breaks || last) {
            const unsigned stop = breaks ? static_cast<unsigned>(__builtin_ctz(breaks)) : 16;
            sum = AddLanes(sum, _mm_and_si128(b.binary, LaneRange(from, stop)));
            binary += Total(sum);
            return i + stop;
        }
        sum = AddLanes(sum, b.binary);
        i += 16;
    }
    binary += Total(sum);
    return n;
#else
    const std::size_t k = FindLineBreakPlain(data, n, binary);
    if (copy && k > 0) __builtin_memcpy(copy, data, k);
    return k;
#endif
}

// For readers that take lines straight from the read buffer: the length of
// the line break at data[k] (a CR or LF; data[k + 1] must be readable) when
// ReadLine stores it as LF or CR LF with nothing after it read (LF not
// followed by CR, or CR LF); 0 for the other forms, which such readers
// leave to ReadLine.
inline std::size_t PlainLineBreak(const unsigned char* data, std::size_t k)
{
    if (data[k] == '\n') return data[k + 1] != '\r' ? 1 : 0;
    return data[k + 1] == '\n' ? 2 : 0;
}

// The number of binary-looking bytes in data[0..n).
inline std::int64_t CountBinaryLooking(const unsigned char* data, std::size_t n)
{
    std::int64_t binary = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    using namespace line_break_detail;
    __m128i sum = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16)
        sum = AddLanes(sum, Classify(Load(data + i)).binary);
    if (i < n && n >= 16) {
        // The rest as the last 16 bytes, without the lanes counted above.
        const auto from = static_cast<unsigned>(16 - (n - i));
        sum = AddLanes(sum, _mm_and_si128(Classify(Load(data + n - 16)).binary, LaneRange(from, 16)));
        i = n;
    }
    binary = Total(sum);
#endif
    for (; i < n; ++i)
        binary += IsBinaryLooking(data[i]);
    return binary;
}

} // namespace zarvex
