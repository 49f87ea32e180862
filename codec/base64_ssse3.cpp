// The Base64 group decoder for CPUs with SSSE3: four groups (16 characters,
// 12 bytes) per step. Each character's class comes from two nibble tables
// (its low and its high four bits; a character outside the alphabet has a
// bit set in both), its value from adding one offset per class. The first
// step that holds any other character ends the run; the caller's table
// loop takes over from there.
#include "codec/base64.h"

#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZARVEX_HAVE_SSSE3_KERNEL 1
#endif

namespace zarvex::detail {

#if defined(ZARVEX_HAVE_SSSE3_KERNEL)

namespace {

// Four groups, s[0, 16) into out[0, 12); false (nothing written) when one
// of the characters is outside the alphabet.
__attribute__((target("ssse3"))) inline bool DecodeStep(const unsigned char* s, unsigned char* out)
{
    // Class bits by low nibble and by high nibble: "+" (0x2B) and "/"
    // (0x2F), digits (0x3_), letters A-O and P-Z (0x4_, 0x5_), a-o and p-z
    // (0x6_, 0x7_); 0x10 in every low-nibble entry and in every high-nibble
    // entry outside 0x2_..0x7_.
    const __m128i lowClass = _mm_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13,
                                           0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
    const __m128i highClass = _mm_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10,
                                            0x10, 0x10, 0x10, 0x10, 0x10);
    // Value offsets by high nibble ("/" takes the entry before "+"'s).
    const __m128i offsets = _mm_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m128i nibble = _mm_set1_epi8(0x2F);
    const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i high = _mm_and_si128(_mm_srli_epi32(chars, 4), nibble);
    const __m128i low = _mm_and_si128(chars, nibble);
    const __m128i clash = _mm_and_si128(_mm_shuffle_epi8(lowClass, low), _mm_shuffle_epi8(highClass, high));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(clash, _mm_setzero_si128())) != 0xFFFF) return false;
    const __m128i slash = _mm_cmpeq_epi8(chars, nibble);
    const __m128i values = _mm_add_epi8(chars, _mm_shuffle_epi8(offsets, _mm_add_epi8(slash, high)));
    // a b c d (one group per 32-bit lane) -> a<<6|b and c<<6|d -> a<<18|b<<12|c<<6|d,
    // whose three low bytes leave high byte first.
    const __m128i pairWeights = _mm_set1_epi32(0x01400140);
    const __m128i wordWeights = _mm_set1_epi32(0x00011000);
    const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    const __m128i joined = _mm_madd_epi16(_mm_maddubs_epi16(values, pairWeights), wordWeights);
    const __m128i bytes = _mm_shuffle_epi8(joined, order);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);
    const auto rest = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(bytes, 8)));
    std::memcpy(out + 8, &rest, 4);
    return true;
}

__attribute__((target("ssse3"))) int DecodeRun(const unsigned char* s, int groups, unsigned char* out)
{
    int done = 0;
    for (; done + 4 <= groups; done += 4)
        if (!DecodeStep(s + 4 * done, out + 3 * done)) return done;
    // The last one to three groups: the final four groups again, which
    // rewrites some bytes with the same values and stays inside the run.
    if (done < groups && groups >= 4 && DecodeStep(s + 4 * (groups - 4), out + 3 * (groups - 4)))
        done = groups;
    return done;
}

bool HaveSsse3()
{
    static const bool have = __builtin_cpu_supports("ssse3");
    return have;
}

} // namespace

int DecodeBase64GroupsFast(const unsigned char* s, int groups, unsigned char* out)
{
    return HaveSsse3() ? DecodeRun(s, groups, out) : 0;
}

#else

int DecodeBase64GroupsFast(const unsigned char*, int, unsigned char*)
{
    return 0;
}

#endif

} // namespace zarvex::detail
