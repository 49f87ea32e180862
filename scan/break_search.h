// The search behind the quiet-line runs: the next line break of a line in
// the read buffer, and the first blank of the line, in one pass and
// without counting binary-looking bytes (nothing reads those counts for a
// scanned file).
#pragma once

#include <cstddef>

namespace zarvex::scan {

// Index of the first CR or LF in data[0, n), or n when there is none;
// `blank` gets the index of the first blank (0x20) before it, or the index
// of the break itself when there is none. Reads only data[0, n).
std::size_t FindBreakAndBlank(const unsigned char* data, std::size_t n, std::size_t& blank);

// The same, one byte at a time (the reference of the tests).
std::size_t FindBreakAndBlankPlain(const unsigned char* data, std::size_t n, std::size_t& blank);

} // namespace zarvex::scan
