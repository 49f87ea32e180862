// CRC-32 by carry-less multiplication: four 128-bit lanes are folded 64
// bytes ahead at a time, then into one lane, which a Barrett reduction
// turns into the 32-bit register. The constants are powers of x modulo the
// (bit-reflected) polynomial, shifted for the reflected bit order:
//   k1 = x^(4*128+32) mod P << 1, k2 = x^(4*128-32) mod P << 1  (64 bytes ahead)
//   k3 = x^(128+32) mod P << 1,   k4 = x^(128-32) mod P << 1    (16 bytes ahead)
//   k5 = x^64 mod P << 1, and for the reduction P' and mu = x^64 / P.
#include "codec/crc32_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZARVEX_HAVE_CLMUL_KERNEL 1
#endif

namespace zarvex::detail {

#if defined(ZARVEX_HAVE_CLMUL_KERNEL)

namespace {

constexpr long long kK1 = 0x154442bd4LL, kK2 = 0x1c6e41596LL;
constexpr long long kK3 = 0x1751997d0LL, kK4 = 0x0ccaa009eLL;
constexpr long long kK5 = 0x163cd6124LL;
constexpr long long kPoly = 0x1db710641LL, kMu = 0x1f7011641LL;

__attribute__((target("pclmul,sse2"))) inline __m128i Load(const unsigned char* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// x folded over 128 bits onto the next block: x.lo * k.lo ^ x.hi * k.hi ^ next.
__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i x, __m128i k, __m128i next)
{
    const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

__attribute__((target("pclmul,sse2"))) std::uint32_t Kernel(std::uint32_t reg, const unsigned char* p,
                                                             std::size_t n)
{
    const __m128i k12 = _mm_set_epi64x(kK2, kK1);
    const __m128i k34 = _mm_set_epi64x(kK4, kK3);
    __m128i x0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
    __m128i x1 = Load(p + 16), x2 = Load(p + 32), x3 = Load(p + 48);
    p += 64;
    n -= 64;
    for (; n >= 64; p += 64, n -= 64) {
        x0 = Fold(x0, k12, Load(p));
        x1 = Fold(x1, k12, Load(p + 16));
        x2 = Fold(x2, k12, Load(p + 32));
        x3 = Fold(x3, k12, Load(p + 48));
    }
    x0 = Fold(x0, k34, x1);
    x0 = Fold(x0, k34, x2);
    x0 = Fold(x0, k34, x3);
    for (; n >= 16; p += 16, n -= 16) x0 = Fold(x0, k34, Load(p));

    // 128 bits to 64: the low half times k4, added to the high half.
    const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
    __m128i x = _mm_xor_si128(_mm_clmulepi64_si128(x0, k34, 0x10), _mm_srli_si128(x0, 8));
    // 64 bits to 32 (plus the carry): the low word times k5.
    x = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x, mask32), _mm_set_epi64x(0, kK5), 0x00),
                      _mm_srli_si128(x, 4));
    // Barrett reduction.
    const __m128i pm = _mm_set_epi64x(kMu, kPoly);
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x, mask32), pm, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, mask32), pm, 0x00);
    x = _mm_xor_si128(x, t);
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(x, 4)));
}

} // namespace

bool HaveCarryLess()
{
    static const bool have = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
    return have;
}

std::uint32_t Crc32CarryLess(std::uint32_t reg, const unsigned char* data, std::size_t n, std::size_t& done)
{
    done = 0;
    if (n < 64 || !HaveCarryLess()) return reg;
    done = n & ~static_cast<std::size_t>(15);
    return Kernel(reg, data, done);
}

#else

bool HaveCarryLess() { return false; }

std::uint32_t Crc32CarryLess(std::uint32_t reg, const unsigned char*, std::size_t, std::size_t& done)
{
    done = 0;
    return reg;
}

#endif

} // namespace zarvex::detail
