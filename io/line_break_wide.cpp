#include "io/line_break_wide.h"

#include "io/line_break.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZARVEX_HAVE_WIDE_LINE_BREAK 1
#endif

namespace zarvex {

#if defined(ZARVEX_HAVE_WIDE_LINE_BREAK)

bool HaveWideLineBreak()
{
    static const bool have = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    return have;
}

__attribute__((target("avx2,popcnt"))) std::size_t
FindLineBreakAvx2(const unsigned char* data, std::size_t n, std::int64_t& binary, unsigned char* copy)
{
    std::size_t i = 0;
    std::int64_t counted = 0;
    const __m256i cr = _mm256_set1_epi8('\r'), lf = _mm256_set1_epi8('\n'), seven = _mm256_set1_epi8(7);
    for (; i + 32 <= n; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
        if (copy) _mm256_storeu_si256(reinterpret_cast<__m256i*>(copy + i), v);
        const auto breaks = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(v, cr), _mm256_cmpeq_epi8(v, lf))));
        // As signed bytes, 128..255 and 0..6 lie below 7; zero is then taken out.
        const auto looks = static_cast<unsigned>(_mm256_movemask_epi8(
            _mm256_andnot_si256(_mm256_cmpeq_epi8(v, _mm256_setzero_si256()), _mm256_cmpgt_epi8(seven, v))));
        if (breaks != 0) {
            const unsigned before = (breaks & (0u - breaks)) - 1u; // lanes below the first break
            binary += counted + __builtin_popcount(looks & before);
            return i + static_cast<std::size_t>(__builtin_ctz(breaks));
        }
        counted += __builtin_popcount(looks);
    }
    binary += counted;
    return i + FindLineBreak(data + i, n - i, binary, copy ? copy + i : nullptr);
}

namespace {

// 64 bytes at a time (AVX-512 BW); the rest of fewer than 64 bytes by the
// 32-byte steps.
__attribute__((target("avx512f,avx512bw,avx2,popcnt"))) std::size_t
FindLineBreakAvx512(const unsigned char* data, std::size_t n, std::int64_t& binary, unsigned char* copy)
{
    std::size_t i = 0;
    std::int64_t counted = 0;
    const __m512i cr = _mm512_set1_epi8('\r'), lf = _mm512_set1_epi8('\n'), seven = _mm512_set1_epi8(7);
    for (; i + 64 <= n; i += 64) {
        const __m512i v = _mm512_loadu_si512(data + i);
        if (copy) _mm512_storeu_si512(copy + i, v);
        const std::uint64_t breaks = _mm512_cmpeq_epi8_mask(v, cr) | _mm512_cmpeq_epi8_mask(v, lf);
        // Signed bytes below 7 (128..255 and 0..6), zero taken out.
        const std::uint64_t looks = _mm512_cmplt_epi8_mask(v, seven) & _mm512_test_epi8_mask(v, v);
        if (breaks != 0) {
            const std::uint64_t before = (breaks & (0 - breaks)) - 1; // lanes below the first break
            binary += counted + __builtin_popcountll(looks & before);
            return i + static_cast<std::size_t>(__builtin_ctzll(breaks));
        }
        counted += __builtin_popcountll(looks);
    }
    binary += counted;
    return i + FindLineBreakAvx2(data + i, n - i, binary, copy ? copy + i : nullptr);
}

} // namespace

std::size_t FindLineBreakWide(const unsigned char* data, std::size_t n, std::int64_t& binary, unsigned char* copy)
{
    static const bool widest = __builtin_cpu_supports("avx512bw");
    return widest ? FindLineBreakAvx512(data, n, binary, copy) : FindLineBreakAvx2(data, n, binary, copy);
}

__attribute__((target("avx2,popcnt"))) std::int64_t CountBinaryLookingWide(const unsigned char* data,
                                                                          std::size_t n)
{
    std::size_t i = 0;
    std::int64_t counted = 0;
    const __m256i seven = _mm256_set1_epi8(7), zero = _mm256_setzero_si256();
    for (; i + 32 <= n; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
        // As signed bytes, 128..255 and 0..6 lie below 7; zero is then taken out.
        const __m256i looks = _mm256_andnot_si256(_mm256_cmpeq_epi8(v, zero), _mm256_cmpgt_epi8(seven, v));
        counted += __builtin_popcount(static_cast<unsigned>(_mm256_movemask_epi8(looks)));
    }
    return counted + CountBinaryLooking(data + i, n - i);
}

#else

bool HaveWideLineBreak()
{
    return false;
}

std::size_t FindLineBreakWide(const unsigned char* data, std::size_t n, std::int64_t& binary,
                              unsigned char* copy)
{
    return FindLineBreak(data, n, binary, copy);
}

std::size_t FindLineBreakAvx2(const unsigned char* data, std::size_t n, std::int64_t& binary,
                              unsigned char* copy)
{
    return FindLineBreak(data, n, binary, copy);
}

std::int64_t CountBinaryLookingWide(const unsigned char* data, std::size_t n)
{
    return CountBinaryLooking(data, n);
}

#endif

} // namespace zarvex
