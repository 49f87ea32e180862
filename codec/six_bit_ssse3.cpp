// The UU group decoder for CPUs with SSSE3: four groups (16 characters, 12
// bytes) per step. UU characters decode by arithmetic, (c - 32) & 63 for
// ' '..DEL, so no table is needed; the first step that holds any other
// character ends the run and the caller's table loop takes over from there.
#include "codec/six_bit.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZARVEX_HAVE_SSSE3_KERNEL 1
#endif

namespace zarvex::detail {

#if defined(ZARVEX_HAVE_SSSE3_KERNEL)

namespace {

// Four groups, s[0, 16) into out[0, 12); false (nothing written) when one
// of the characters is no UU character.
__attribute__((target("ssse3"))) inline bool DecodeStep(const unsigned char* s, unsigned char* out)
{
    // a b c d (one group per 32-bit lane) -> a<<6|b and c<<6|d -> a<<18|b<<12|c<<6|d,
    // whose three low bytes leave high byte first.
    const __m128i pairWeights = _mm_set1_epi32(0x01400140);
    const __m128i wordWeights = _mm_set1_epi32(0x00011000);
    const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    // As signed bytes, ' '..DEL are exactly those at or above 32.
    if (_mm_movemask_epi8(_mm_cmplt_epi8(chars, _mm_set1_epi8(32))) != 0) return false;
    const __m128i values = _mm_and_si128(_mm_sub_epi8(chars, _mm_set1_epi8(32)), _mm_set1_epi8(63));
    const __m128i joined = _mm_madd_epi16(_mm_maddubs_epi16(values, pairWeights), wordWeights);
    const __m128i bytes = _mm_shuffle_epi8(joined, order);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);
    const auto high = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(bytes, 8)));
    std::memcpy(out + 8, &high, 4);
    return true;
}

__attribute__((target("ssse3"))) int DecodeRun(const unsigned char* s, int groups, unsigned char* out)
{
    int done = 0;
    for (; done + 4 <= groups; done += 4)
        if (!DecodeStep(s + 4 * done, out + 3 * done)) return done;
    // The last one to three groups: the final four groups again, which
    // rewrites some bytes with the same values and stays inside the run.
    if (done < groups && groups >= 4 && DecodeStep(s + 4 * (groups - 4), out + 3 * (groups - 4))) done = groups;
    return done;
}

bool HaveSsse3()
{
    static const bool have = __builtin_cpu_supports("ssse3");
    return have;
}

} // namespace

int DecodeUUGroupsFast(const unsigned char* s, int groups, unsigned char* out)
{
    return HaveSsse3() ? DecodeRun(s, groups, out) : 0;
}

#else

int DecodeUUGroupsFast(const unsigned char*, int, unsigned char*) { return 0; }

#endif

} // namespace zarvex::detail
