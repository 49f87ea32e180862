// The block kernels behind Crc32UpdateBulk. Private to codec/.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarvex::detail {

// Carry-less folding over data[0, m) with m = n rounded down to 16 bytes,
// for n of at least 64; returns the register and sets `done` to m (0 when
// n is shorter or the CPU lacks PCLMULQDQ, and then the register is `reg`).
std::uint32_t Crc32CarryLess(std::uint32_t reg, const unsigned char* data, std::size_t n, std::size_t& done);
bool HaveCarryLess();

} // namespace zarvex::detail
