// BreakAndBlankMasks 16 bytes at a time with SSE2, 32 with AVX2 and 64
// with AVX-512 BW where the CPU has them (as the line-break search of io/
// chooses).
#include "scan/break_search.h"

#include "io/line_break_wide.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZARVEX_SCAN_BREAK_SIMD 1
#endif

namespace zarvex::scan {

namespace {

void PlainMasks(const unsigned char* data, std::size_t blocks, std::uint64_t* breaks, std::uint64_t* blanks)
{
    for (std::size_t b = 0; b < blocks; ++b, data += 64) {
        breaks[b] = blanks[b] = 0;
        for (unsigned i = 0; i < 64; ++i) {
            breaks[b] |= std::uint64_t{data[i] == '\r' || data[i] == '\n'} << i;
            blanks[b] |= std::uint64_t{data[i] == ' '} << i;
        }
    }
}

#if defined(ZARVEX_SCAN_BREAK_SIMD)
void Masks16(const unsigned char* data, std::size_t blocks, std::uint64_t* breaks, std::uint64_t* blanks)
{
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n'), sp = _mm_set1_epi8(' ');
    for (std::size_t b = 0; b < blocks; ++b, data += 64) {
        std::uint64_t br = 0, bl = 0;
        for (unsigned j = 0; j < 4; ++j) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * j));
            const auto hits =
                static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
            br |= std::uint64_t{hits} << (16 * j);
            bl |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, sp)))} << (16 * j);
        }
        breaks[b] = br;
        blanks[b] = bl;
    }
}

__attribute__((target("avx2"))) void Masks32(const unsigned char* data, std::size_t blocks, std::uint64_t* breaks,
                                             std::uint64_t* blanks)
{
    const __m256i cr = _mm256_set1_epi8('\r'), lf = _mm256_set1_epi8('\n'), sp = _mm256_set1_epi8(' ');
    const auto bits = [](__m256i m) __attribute__((target("avx2"))) {
        return std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(m))};
    };
    for (std::size_t b = 0; b < blocks; ++b, data += 64) {
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + 32));
        breaks[b] = bits(_mm256_or_si256(_mm256_cmpeq_epi8(low, cr), _mm256_cmpeq_epi8(low, lf))) |
                    bits(_mm256_or_si256(_mm256_cmpeq_epi8(high, cr), _mm256_cmpeq_epi8(high, lf))) << 32;
        blanks[b] = bits(_mm256_cmpeq_epi8(low, sp)) | bits(_mm256_cmpeq_epi8(high, sp)) << 32;
    }
}

__attribute__((target("avx512f,avx512bw"))) void Masks64(const unsigned char* data, std::size_t blocks,
                                                         std::uint64_t* breaks, std::uint64_t* blanks)
{
    const __m512i cr = _mm512_set1_epi8('\r'), lf = _mm512_set1_epi8('\n'), sp = _mm512_set1_epi8(' ');
    for (std::size_t b = 0; b < blocks; ++b, data += 64) {
        const __m512i v = _mm512_loadu_si512(data);
        breaks[b] = _mm512_cmpeq_epi8_mask(v, cr) | _mm512_cmpeq_epi8_mask(v, lf);
        blanks[b] = _mm512_cmpeq_epi8_mask(v, sp);
    }
}

enum class Width
{
    Sse2,
    Avx2,
    Avx512,
};

Width Widest()
{
    if (!HaveWideLineBreak()) return Width::Sse2;
    return __builtin_cpu_supports("avx512bw") ? Width::Avx512 : Width::Avx2;
}
#endif

} // namespace

void BreakAndBlankMasks(const unsigned char* data, std::size_t blocks, std::uint64_t* breaks, std::uint64_t* blanks)
{
#if defined(ZARVEX_SCAN_BREAK_SIMD)
    static const Width width = Widest();
    if (width == Width::Avx512)
        Masks64(data, blocks, breaks, blanks);
    else if (width == Width::Avx2)
        Masks32(data, blocks, breaks, blanks);
    else
        Masks16(data, blocks, breaks, blanks);
#else
    PlainMasks(data, blocks, breaks, blanks);
#endif
}

// For the tests: the plain masks are the reference.
void BreakAndBlankMasksPlain(const unsigned char* data, std::size_t blocks, std::uint64_t* breaks,
                             std::uint64_t* blanks)
{
    PlainMasks(data, blocks, breaks, blanks);
}

} // namespace zarvex::scan
