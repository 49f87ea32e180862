// A full UU line (60 characters after the "M", 45 bytes) in two AVX2 steps
// of eight groups each: characters 0..31 and 28..59, the group both hold
// decoded twice. UU characters decode by arithmetic, (c - 32) & 63 for
// ' '..DEL, so no table is needed.
#include "codec/six_bit.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZARVEX_HAVE_AVX2_UU_LINE 1
#endif

namespace zarvex::detail {

#if defined(ZARVEX_HAVE_AVX2_UU_LINE)

namespace {

// Eight groups (one per 32-bit lane) -> their 24 bytes at the front.
__attribute__((target("avx2"))) inline __m256i Pack(__m256i chars)
{
    // a b c d -> a<<6|b and c<<6|d -> a<<18|b<<12|c<<6|d, whose three low
    // bytes leave high byte first; then the two lanes' 12 bytes side by side.
    const __m256i values = _mm256_and_si256(_mm256_sub_epi8(chars, _mm256_set1_epi8(32)), _mm256_set1_epi8(63));
    const __m256i joined = _mm256_madd_epi16(_mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140)),
                                             _mm256_set1_epi32(0x00011000));
    const __m256i order = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, //
                                           2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    return _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(joined, order), _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7));
}

} // namespace

bool HaveUUFullLineAvx2()
{
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}

__attribute__((target("avx2"))) bool DecodeUUFullLineAvx2(const unsigned char* s, unsigned char* out)
{
    const __m256i front = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
    const __m256i back = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 28));
    // As signed bytes, ' '..DEL are exactly those above 31.
    const __m256i low = _mm256_set1_epi8(31);
    const __m256i uu = _mm256_and_si256(_mm256_cmpgt_epi8(front, low), _mm256_cmpgt_epi8(back, low));
    if (_mm256_movemask_epi8(uu) != -1) return false;
    // Bytes 0..23, then 21..44 over the spare end of the first store.
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), Pack(front));
    const __m256i tail = Pack(back);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 21), _mm256_castsi256_si128(tail));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 37), _mm256_extracti128_si256(tail, 1));
    return true;
}

#else

bool HaveUUFullLineAvx2() { return false; }
bool DecodeUUFullLineAvx2(const unsigned char*, unsigned char*) { return false; }

#endif

} // namespace zarvex::detail
