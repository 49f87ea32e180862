// FindBreakAndBlank 16 bytes at a time with SSE2, 32 with AVX2 where the CPU
// has it (as the line-break search of io/ chooses).
#include "scan/break_search.h"

#include "io/line_break_wide.h"

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZARVEX_SCAN_BREAK_SIMD 1
#endif

namespace zarvex::scan {

std::size_t FindBreakAndBlankPlain(const unsigned char* data, std::size_t n, std::size_t& blank)
{
    std::size_t first = n + 1;
    std::size_t i = 0;
    for (; i < n && data[i] != '\r' && data[i] != '\n'; ++i)
        if (data[i] == ' ' && first > n) first = i;
    blank = first > n ? i : first;
    return i;
}

#if defined(ZARVEX_SCAN_BREAK_SIMD)
namespace {

// The masks of the block at `at`, its lanes below `from` dropped (the last
// block of a span overlaps the one before, whose lanes were searched
// already): notes the first blank before the first break in `blank` (while
// it is still `none`); true when a break ends the search, with `at` moved to it.
inline bool Step(unsigned long long breaks, unsigned long long blanks, unsigned from, std::size_t none,
                 std::size_t& blank, std::size_t& at)
{
    breaks = breaks >> from << from;
    blanks = blanks >> from << from;
    if (breaks != 0) blanks &= (1ull << __builtin_ctzll(breaks)) - 1;
    if (blanks != 0 && blank == none) blank = at + static_cast<std::size_t>(__builtin_ctzll(blanks));
    if (breaks == 0) return false;
    at += static_cast<std::size_t>(__builtin_ctzll(breaks));
    return true;
}

std::size_t Search16(const unsigned char* data, std::size_t n, std::size_t& blank)
{
    if (n < 16) return FindBreakAndBlankPlain(data, n, blank);
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n'), sp = _mm_set1_epi8(' ');
    const std::size_t none = n + 1;
    blank = none;
    for (std::size_t i = 0; i < n; i += 16) {
        unsigned from = 0;
        if (i + 16 > n) {
            from = static_cast<unsigned>(16 - (n - i));
            i = n - 16;
        }
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const auto breaks =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
        const auto blanks = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, sp)));
        std::size_t at = i;
        if (Step(breaks, blanks, from, none, blank, at)) {
            if (blank == none) blank = at;
            return at;
        }
    }
    if (blank == none) blank = n;
    return n;
}

__attribute__((target("avx2"))) std::size_t Search32(const unsigned char* data, std::size_t n, std::size_t& blank)
{
    if (n < 32) return Search16(data, n, blank);
    const __m256i cr = _mm256_set1_epi8('\r'), lf = _mm256_set1_epi8('\n'), sp = _mm256_set1_epi8(' ');
    const std::size_t none = n + 1;
    blank = none;
    for (std::size_t i = 0; i < n; i += 32) {
        unsigned from = 0;
        if (i + 32 > n) {
            from = static_cast<unsigned>(32 - (n - i));
            i = n - 32;
        }
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
        const auto breaks = static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(v, cr), _mm256_cmpeq_epi8(v, lf))));
        const auto blanks = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, sp)));
        std::size_t at = i;
        if (Step(breaks, blanks, from, none, blank, at)) {
            if (blank == none) blank = at;
            return at;
        }
    }
    if (blank == none) blank = n;
    return n;
}

} // namespace

std::size_t FindBreakAndBlank(const unsigned char* data, std::size_t n, std::size_t& blank)
{
    static const bool wide = HaveWideLineBreak();
    return wide ? Search32(data, n, blank) : Search16(data, n, blank);
}

#else

std::size_t FindBreakAndBlank(const unsigned char* data, std::size_t n, std::size_t& blank)
{
    return FindBreakAndBlankPlain(data, n, blank);
}

#endif

} // namespace zarvex::scan
