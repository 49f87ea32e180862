// The yEnc decoding behind DecodeYencLine: the plain decoder every result
// is defined by, and the vector kernels that take the bulk of a line.
// Private to codec/ (and its tests).
#pragma once

#include <cstdint>

namespace zarvex::detail {

enum class YencKernel
{
    Scalar,
    Sse2,
    Ssse3,
    Avx2,
    Avx512, // AVX-512 BW with VBMI2's byte compress
};
bool YencKernelAvailable(YencKernel kernel);
// The best kernel this CPU has (decided once).
YencKernel BestYencKernel();

// Extra room a kernel may write past the bytes it produces.
inline constexpr int kYencOutputSlack = 64;

struct YencDecoded
{
    int taken = 0;         // characters consumed
    int produced = 0;      // bytes written to out
    bool loneEscape = false; // strict: "=" with no character after it
};

// Decodes s[0, len) the plain way: stops at CR, LF or NUL; in strict mode
// after `budget` characters (finishing an escape pair). `pending` is the
// escape carried into and out of the call (lenient mode; in strict mode it
// is only ever set by the vector kernels between blocks).
YencDecoded DecodeYencPlain(const unsigned char* s, int len, int budget, bool strict, bool& pending,
                            unsigned char* out);

// Whole blocks of s[0, n) with no CR, LF, NUL or "=" following "=": decodes
// them into out and returns the characters consumed (a multiple of the
// block size); `pending` carries an escape across blocks. The caller makes
// sure that n stays within the line and the strict budget, and finishes
// the line with DecodeYencPlain. out needs n + kYencOutputSlack bytes.
int DecodeYencBlocks(YencKernel kernel, const unsigned char* s, int n, bool strict, bool& pending,
                     unsigned char* out, int& produced);

// The whole line with `kernel`: blocks first, the plain decoder after them.
YencDecoded DecodeYencWith(YencKernel kernel, const unsigned char* s, int len, int budget, bool strict,
                           bool& pending, unsigned char* out);

} // namespace zarvex::detail
