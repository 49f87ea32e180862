// CRC-32 by carry-less multiplication: four 128-bit lanes are folded 64
// bytes ahead at a time, then into one lane; the last 1 to 15 bytes are
// taken by one more fold over a shuffled block, and a Barrett reduction
// turns the lane into the 32-bit register. The constants are powers of x modulo the
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

// A sliding window of shuffle indexes: 16 + r places on, the bytes of a
// block moved down by r places; r places on, moved up by 16 - r places
// (0x80 gives a zero byte).
alignas(16) constexpr unsigned char kShift[48] = {
    0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
    0,    1,    2,    3,    4,    5,    6,    7,    8,    9,    10,   11,   12,   13,   14,   15,
    0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
};

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

// The register after all of p[0, n), n at least 64.
__attribute__((target("pclmul,ssse3"))) std::uint32_t Kernel(std::uint32_t reg, const unsigned char* p,
                                                              std::size_t n)
{
    const unsigned char* const end = p + n;
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
    if (n > 0) {
        // The lane and the n bytes after it, as 16 + n bytes: the first n of
        // them (the lane moved up) fold onto the last 16 (the lane moved
        // down, and the tail from a load that ends at the end).
        const __m128i up = Load(kShift + n), down = Load(kShift + 16 + n);
        const __m128i tail = _mm_and_si128(Load(end - 16), _mm_cmplt_epi8(down, _mm_setzero_si128()));
        x0 = Fold(_mm_shuffle_epi8(x0, up), k34, _mm_or_si128(_mm_shuffle_epi8(x0, down), tail));
    }

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
    static const bool have = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("ssse3");
    return have;
}

std::uint32_t Crc32CarryLess(std::uint32_t reg, const unsigned char* data, std::size_t n, std::size_t& done)
{
    done = 0;
    if (n < 64 || !HaveCarryLess()) return reg;
    done = n;
    return Kernel(reg, data, n);
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
