// Finding the next CR or LF in a run of bytes: the search behind ReadLine.
#pragma once

#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zarvex {

// Index of the first CR or LF in data[0..n), or n when there is none.
// Byte-at-a-time reference for the fast search below.
inline std::size_t FindLineBreakPlain(const unsigned char* data, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        if (data[i] == '\r' || data[i] == '\n') return i;
    }
    return n;
}

// Same result as FindLineBreakPlain; reads only data[0..n).
inline std::size_t FindLineBreak(const unsigned char* data, std::size_t n)
{
#if defined(__SSE2__)
    if (n < 16) return FindLineBreakPlain(data, n);
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    auto breaks = [&](std::size_t at) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
    };
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        if (const unsigned mask = breaks(i)) return i + static_cast<std::size_t>(__builtin_ctz(mask));
    }
    if (i == n) return n;
    // The last, partial block: reload the final 16 bytes and skip the ones
    // already searched.
    const std::size_t seen = 16 - (n - i);
    if (const unsigned mask = breaks(n - 16) >> seen) return i + static_cast<std::size_t>(__builtin_ctz(mask));
    return n;
#else
    return FindLineBreakPlain(data, n);
#endif
}

} // namespace zarvex
