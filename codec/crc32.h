// CRC-32 of the yEnc part and whole-file checks: the CRC of zlib and PKZIP
// (reflected polynomial 0xEDB88320, register preset to 0xFFFFFFFF, final
// value the complement of the register).
//
// The registers belong to the caller. `Crc32Update` takes one byte through
// the 256-entry table; `Crc32UpdateBulk` takes a block and gives the same
// register as that many single updates, by carry-less multiplication on
// CPUs that have it (chosen once at run time) and slicing-by-8 elsewhere.
// All functions are thread-safe; none allocates.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zarvex {

inline constexpr std::uint32_t kCrc32Polynomial = 0xEDB88320u;
inline constexpr std::uint32_t kCrc32Preset = 0xFFFFFFFFu;

namespace detail {
constexpr std::array<std::uint32_t, 256> Crc32Table()
{
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t r = i;
        for (int k = 0; k < 8; ++k) r = (r >> 1) ^ ((r & 1u) ? kCrc32Polynomial : 0u);
        t[i] = r;
    }
    return t;
}
} // namespace detail

inline constexpr std::array<std::uint32_t, 256> kCrc32Table = detail::Crc32Table();
static_assert(kCrc32Table[1] == 0x77073096u && kCrc32Table[255] == 0x2D02EF8Du);

// register = table[(register ^ byte) & 0xFF] ^ (register >> 8); no-op for null.
inline void Crc32Update(unsigned char byte, std::uint32_t* reg)
{
    if (reg) *reg = kCrc32Table[(*reg ^ byte) & 0xFFu] ^ (*reg >> 8);
}

// Presets the register (no-op for null). The yEnc decoder's pending escape
// is the caller's and is cleared beside it (see codec/yenc.h).
inline void Crc32Reset(std::uint32_t* reg)
{
    if (reg) *reg = kCrc32Preset;
}

// The register after `n` single updates with data[0, n).
std::uint32_t Crc32UpdateBulk(std::uint32_t reg, const void* data, std::size_t n);

// The register that updating `reg` with a block gives, from the block's own
// register `blockReg` (the preset updated with the block) and its length:
// one pass over data can feed a part register and, at the part's end, the
// whole-file register. Works by multiplying with x^(8n) modulo the polynomial.
std::uint32_t Crc32Combine(std::uint32_t reg, std::uint32_t blockReg, std::uint64_t n);

// The finished CRC-32 of a block (preset, update, complement).
inline std::uint32_t Crc32Of(const void* data, std::size_t n)
{
    return ~Crc32UpdateBulk(kCrc32Preset, data, n);
}

// Which kernel Crc32UpdateBulk uses; tests run every one that the CPU has.
enum class Crc32Kernel
{
    Table,      // one byte at a time
    Slicing8,   // eight bytes per step through eight tables
    CarryLess,  // PCLMULQDQ folding, four 16-byte lanes
};
bool Crc32KernelAvailable(Crc32Kernel kernel);
std::uint32_t Crc32UpdateWith(Crc32Kernel kernel, std::uint32_t reg, const void* data, std::size_t n);

} // namespace zarvex
