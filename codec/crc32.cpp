#include "codec/crc32.h"

#include "codec/crc32_kernels.h"

#include <bit>
#include <cstring>

namespace zarvex {

namespace {

static_assert(std::endian::native == std::endian::little, "the slicing tables read little-endian words");

using SliceTables = std::array<std::array<std::uint32_t, 256>, 8>;

// tables[k][i]: the register change of byte i followed by k zero bytes.
constexpr SliceTables MakeSliceTables()
{
    SliceTables t{};
    t[0] = kCrc32Table;
    for (std::size_t k = 1; k < 8; ++k)
        for (std::size_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ kCrc32Table[t[k - 1][i] & 0xFFu];
    return t;
}
constexpr SliceTables kSlices = MakeSliceTables();

std::uint32_t UpdateTable(std::uint32_t reg, const unsigned char* p, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) reg = kCrc32Table[(reg ^ p[i]) & 0xFFu] ^ (reg >> 8);
    return reg;
}

std::uint32_t UpdateSlicing8(std::uint32_t reg, const unsigned char* p, std::size_t n)
{
    for (; n >= 8; p += 8, n -= 8) {
        std::uint32_t a, b;
        std::memcpy(&a, p, 4);
        std::memcpy(&b, p + 4, 4);
        a ^= reg;
        reg = kSlices[7][a & 0xFF] ^ kSlices[6][(a >> 8) & 0xFF] ^ kSlices[5][(a >> 16) & 0xFF] ^
              kSlices[4][a >> 24] ^ kSlices[3][b & 0xFF] ^ kSlices[2][(b >> 8) & 0xFF] ^
              kSlices[1][(b >> 16) & 0xFF] ^ kSlices[0][b >> 24];
    }
    return UpdateTable(reg, p, n);
}

std::uint32_t UpdateCarryLess(std::uint32_t reg, const unsigned char* p, std::size_t n)
{
    std::size_t done = 0;
    reg = detail::Crc32CarryLess(reg, p, n, done);
    return UpdateSlicing8(reg, p + done, n - done);
}

// a * b modulo the polynomial, both in the reflected order of the register
// (bit 31 holds x^0).
constexpr std::uint32_t MultiplyModP(std::uint32_t a, std::uint32_t b)
{
    std::uint32_t product = 0;
    for (std::uint32_t m = 1u << 31; m != 0; m >>= 1) {
        if (a & m) product ^= b;
        b = (b & 1u) ? (b >> 1) ^ kCrc32Polynomial : b >> 1;
    }
    return product;
}

// kPowers[k] = x^(2^k) modulo the polynomial.
constexpr std::array<std::uint32_t, 67> MakePowers()
{
    std::array<std::uint32_t, 67> t{}; // up to x^(8 * 2^63)
    t[0] = 1u << 30; // x^1
    for (std::size_t k = 1; k < t.size(); ++k) t[k] = MultiplyModP(t[k - 1], t[k - 1]);
    return t;
}
constexpr auto kPowers = MakePowers();

} // namespace

std::uint32_t Crc32Combine(std::uint32_t reg, std::uint32_t blockReg, std::uint64_t n)
{
    // Feeding n zero bytes multiplies the register by x^(8n); the block's own
    // register adds the data's share and the preset's shifted share, which
    // the shifted preset in (reg ^ preset) cancels.
    std::uint32_t shift = 1u << 31; // x^0
    for (std::size_t k = 3; n != 0; n >>= 1, ++k)
        if (n & 1u) shift = MultiplyModP(kPowers[k], shift);
    return MultiplyModP(shift, reg ^ kCrc32Preset) ^ blockReg;
}

bool Crc32KernelAvailable(Crc32Kernel kernel)
{
    return kernel != Crc32Kernel::CarryLess || detail::HaveCarryLess();
}

std::uint32_t Crc32UpdateWith(Crc32Kernel kernel, std::uint32_t reg, const void* data, std::size_t n)
{
    const auto* p = static_cast<const unsigned char*>(data);
    switch (kernel) {
    case Crc32Kernel::Table:
        return UpdateTable(reg, p, n);
    case Crc32Kernel::Slicing8:
        return UpdateSlicing8(reg, p, n);
    case Crc32Kernel::CarryLess:
        return UpdateCarryLess(reg, p, n);
    }
    return UpdateTable(reg, p, n);
}

std::uint32_t Crc32UpdateBulk(std::uint32_t reg, const void* data, std::size_t n)
{
    // Folding pays from 64 bytes on; the kernel itself reports when the CPU lacks it.
    const auto* p = static_cast<const unsigned char*>(data);
    return n >= 64 ? UpdateCarryLess(reg, p, n) : UpdateSlicing8(reg, p, n);
}

} // namespace zarvex
