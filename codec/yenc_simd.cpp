// Vector kernels for yEnc lines: 16 (SSE2, SSSE3) or 32 (AVX2) characters
// per step. A step finds the escapes with one compare, subtracts 42 from
// every character and 64 more from each escaped one, and drops the "="
// characters by a shuffle (SSE2: a short loop). A step that holds a line
// end, a NUL or an escaped "=" ends the run; the plain decoder takes over
// there, so the kernels never decide anything the plain decoder would
// decide differently.
#include "codec/yenc_kernels.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZARVEX_HAVE_YENC_KERNELS 1
#endif

namespace zarvex::detail {

#if defined(ZARVEX_HAVE_YENC_KERNELS)

namespace {

// For each 8-bit mask of dropped bytes: the shuffle that packs the kept
// bytes of an 8-byte half to its front (unused places read as zero).
constexpr std::array<std::uint64_t, 256> MakeCompactTable()
{
    std::array<std::uint64_t, 256> t{};
    for (unsigned m = 0; m < 256; ++m) {
        std::uint64_t v = 0;
        int k = 0;
        for (unsigned j = 0; j < 8; ++j)
            if ((m & (1u << j)) == 0) v |= static_cast<std::uint64_t>(j) << (8 * k++);
        for (; k < 8; ++k) v |= static_cast<std::uint64_t>(0x80) << (8 * k);
        t[m] = v;
    }
    return t;
}
constexpr auto kCompact = MakeCompactTable();
static_assert(kCompact[0] == 0x0706050403020100ull && kCompact[1] == 0x8007060504030201ull);

// The bytes of a step: c - 42, minus 64 where escaped (lenient: only where
// c >= 64). `escaped` has 0xFF in the escaped places.
__attribute__((target("sse2"))) inline __m128i Values(__m128i c, __m128i escaped, bool strict)
{
    __m128i sub = _mm_and_si128(escaped, _mm_set1_epi8(64));
    if (!strict) sub = _mm_and_si128(sub, _mm_cmpeq_epi8(_mm_max_epu8(c, _mm_set1_epi8(64)), c));
    return _mm_sub_epi8(_mm_sub_epi8(c, _mm_set1_epi8(42)), sub);
}

__attribute__((target("sse2"))) inline int Stops(__m128i c)
{
    const __m128i ends = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(c, _mm_setzero_si128()),
                                                   _mm_cmpeq_epi8(c, _mm_set1_epi8('\n'))),
                                      _mm_cmpeq_epi8(c, _mm_set1_epi8('\r')));
    return _mm_movemask_epi8(ends);
}

// "=" right after "=" (or after an escape carried in): the plain decoder's case.
inline bool DoubleEscape(unsigned m, bool pending, unsigned width)
{
    const unsigned mask = width == 32 ? 0xFFFFFFFFu : 0xFFFFu;
    return ((m & (m << 1)) & mask) != 0 || (pending && (m & 1u));
}

// 16 values minus the places in `m`, packed to out; returns the bytes stored.
__attribute__((target("ssse3"))) inline int Compact16(__m128i v, unsigned m, unsigned char* out)
{
    const unsigned lo = m & 0xFF, hi = (m >> 8) & 0xFF;
    const __m128i shuffle = _mm_set_epi64x(static_cast<long long>(kCompact[hi] + 0x0808080808080808ull),
                                           static_cast<long long>(kCompact[lo]));
    const __m128i packed = _mm_shuffle_epi8(v, shuffle);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), packed);
    const int first = 8 - __builtin_popcount(lo);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + first), _mm_srli_si128(packed, 8));
    return 16 - __builtin_popcount(m);
}

__attribute__((target("ssse3"))) int Blocks16(const unsigned char* s, int n, bool strict, bool& pending,
                                              unsigned char* out, int& produced)
{
    int i = 0, o = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        if (Stops(c) != 0) break;
        const __m128i eq = _mm_cmpeq_epi8(c, _mm_set1_epi8('='));
        const auto m = static_cast<unsigned>(_mm_movemask_epi8(eq));
        if (DoubleEscape(m, pending, 16)) break;
        const __m128i escaped = _mm_or_si128(_mm_slli_si128(eq, 1), _mm_cvtsi32_si128(pending ? 0xFF : 0));
        const __m128i v = Values(c, escaped, strict);
        pending = (m >> 15) != 0;
        // No branch on whether the step holds an escape: on random data it
        // would guess wrong for every other line.
        o += Compact16(v, m, out + o);
    }
    produced += o;
    return i;
}

// SSE2 has no byte shuffle: the same loop, packing escapes by hand.
__attribute__((target("sse2"))) int BlocksSse2(const unsigned char* s, int n, bool strict, bool& pending,
                                               unsigned char* out, int& produced)
{
    int i = 0, o = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        if (Stops(c) != 0) break;
        const __m128i eq = _mm_cmpeq_epi8(c, _mm_set1_epi8('='));
        const auto m = static_cast<unsigned>(_mm_movemask_epi8(eq));
        if (DoubleEscape(m, pending, 16)) break;
        const __m128i escaped = _mm_or_si128(_mm_slli_si128(eq, 1), _mm_cvtsi32_si128(pending ? 0xFF : 0));
        const __m128i v = Values(c, escaped, strict);
        pending = (m >> 15) != 0;
        if (m == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + o), v);
            o += 16;
            continue;
        }
        alignas(16) unsigned char tmp[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(tmp), v);
        for (unsigned keep = ~m & 0xFFFFu; keep != 0; keep &= keep - 1) out[o++] = tmp[__builtin_ctz(keep)];
    }
    produced += o;
    return i;
}

__attribute__((target("avx2"))) int BlocksAvx2(const unsigned char* s, int n, bool strict, bool& pending,
                                               unsigned char* out, int& produced)
{
    int i = 0, o = 0;
    const __m256i equals = _mm256_set1_epi8('='), sixtyFour = _mm256_set1_epi8(64);
    for (; i + 32 <= n; i += 32) {
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
        const __m256i ends = _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(c, _mm256_setzero_si256()),
                                                             _mm256_cmpeq_epi8(c, _mm256_set1_epi8('\n'))),
                                             _mm256_cmpeq_epi8(c, _mm256_set1_epi8('\r')));
        if (_mm256_movemask_epi8(ends) != 0) break;
        const __m256i eq = _mm256_cmpeq_epi8(c, equals);
        const auto m = static_cast<unsigned>(_mm256_movemask_epi8(eq));
        if (DoubleEscape(m, pending, 32)) break;
        // The escape marks moved up one place, across the two lanes.
        const __m256i lowLaneFirst = _mm256_permute2x128_si256(eq, eq, 0x08);
        const __m256i escaped = _mm256_or_si256(_mm256_alignr_epi8(eq, lowLaneFirst, 15),
                                                _mm256_set_epi64x(0, 0, 0, pending ? 0xFF : 0));
        __m256i sub = _mm256_and_si256(escaped, sixtyFour);
        if (!strict) sub = _mm256_and_si256(sub, _mm256_cmpeq_epi8(_mm256_max_epu8(c, sixtyFour), c));
        const __m256i v = _mm256_sub_epi8(_mm256_sub_epi8(c, _mm256_set1_epi8(42)), sub);
        pending = (m >> 31) != 0;
        o += Compact16(_mm256_castsi256_si128(v), m & 0xFFFFu, out + o);
        o += Compact16(_mm256_extracti128_si256(v, 1), m >> 16, out + o);
    }
    produced += o;
    return i;
}

struct Cpu
{
    bool sse2 = __builtin_cpu_supports("sse2");
    bool ssse3 = __builtin_cpu_supports("ssse3");
    bool avx2 = __builtin_cpu_supports("avx2");
};
const Cpu& TheCpu()
{
    static const Cpu cpu;
    return cpu;
}

} // namespace

bool YencKernelAvailable(YencKernel kernel)
{
    switch (kernel) {
    case YencKernel::Scalar:
        return true;
    case YencKernel::Sse2:
        return TheCpu().sse2;
    case YencKernel::Ssse3:
        return TheCpu().ssse3;
    case YencKernel::Avx2:
        return TheCpu().avx2;
    }
    return false;
}

YencKernel BestYencKernel()
{
    static const YencKernel best = YencKernelAvailable(YencKernel::Avx2)    ? YencKernel::Avx2
                                   : YencKernelAvailable(YencKernel::Ssse3) ? YencKernel::Ssse3
                                   : YencKernelAvailable(YencKernel::Sse2)  ? YencKernel::Sse2
                                                                            : YencKernel::Scalar;
    return best;
}

int DecodeYencBlocks(YencKernel kernel, const unsigned char* s, int n, bool strict, bool& pending,
                     unsigned char* out, int& produced)
{
    if (!YencKernelAvailable(kernel)) return 0;
    switch (kernel) {
    case YencKernel::Scalar:
        return 0;
    case YencKernel::Sse2:
        return BlocksSse2(s, n, strict, pending, out, produced);
    case YencKernel::Ssse3:
        return Blocks16(s, n, strict, pending, out, produced);
    case YencKernel::Avx2: {
        int done = BlocksAvx2(s, n, strict, pending, out, produced);
        // A 16-character step may still fit after the 32-character ones.
        if (n - done >= 16 && n - done < 32)
            done += Blocks16(s + done, n - done, strict, pending, out + produced, produced);
        return done;
    }
    }
    return 0;
}

#else

bool YencKernelAvailable(YencKernel kernel) { return kernel == YencKernel::Scalar; }
YencKernel BestYencKernel() { return YencKernel::Scalar; }
int DecodeYencBlocks(YencKernel, const unsigned char*, int, bool, bool&, unsigned char*, int&) { return 0; }

#endif

} // namespace zarvex::detail
