// The line-break search of io/line_break.h 32 bytes at a time, for CPUs
// with AVX2 (chosen at run time by the caller), 64 with AVX-512 BW. Same results as
// FindLineBreakPlain, same copy contract as FindLineBreak.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarvex {

bool HaveWideLineBreak();
std::size_t FindLineBreakWide(const unsigned char* data, std::size_t n, std::int64_t& binary,
                              unsigned char* copy = nullptr);
// The 32-byte steps alone (FindLineBreakWide takes 64 where the CPU has
// AVX-512 BW); for the tests.
std::size_t FindLineBreakAvx2(const unsigned char* data, std::size_t n, std::int64_t& binary,
                              unsigned char* copy = nullptr);
// CountBinaryLooking 32 bytes at a time (CPUs with AVX2; the plain count elsewhere).
std::int64_t CountBinaryLookingWide(const unsigned char* data, std::size_t n);

} // namespace zarvex
