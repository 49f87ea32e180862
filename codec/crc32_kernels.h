// The block kernels behind Crc32UpdateBulk. Private to codec/.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarvex::detail {

// Carry-less folding over all of data[0, n) for n of at least 64; returns
// the register and sets `done` to n (0 when n is shorter or the CPU lacks
// PCLMULQDQ or SSSE3, and then the register is `reg`).
std::uint32_t Crc32CarryLess(std::uint32_t reg, const unsigned char* data, std::size_t n, std::size_t& done);
bool HaveCarryLess();

} // namespace zarvex::detail
