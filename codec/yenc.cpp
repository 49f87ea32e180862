#include "codec/yenc.h"

#include "codec/crc32.h"
#include "codec/yenc_kernels.h"
#include "io/buf_file.h"
#include "io/line_break.h"
#include "io/line_break_wide.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace zarvex {

namespace detail {

namespace {

inline bool EndsLine(unsigned char c)
{
    return c == '\0' || c == '\n' || c == '\r';
}

} // namespace

YencDecoded DecodeYencPlain(const unsigned char* s, int len, int budget, bool strict, bool& pending,
                            unsigned char* out)
{
    YencDecoded r;
    int i = 0, o = 0;
    if (strict && pending) {
        // An escape that a kernel left at the end of its last block.
        pending = false;
        if (len <= 0 || EndsLine(s[0])) {
            r.loneEscape = true;
            return r;
        }
        out[o++] = static_cast<unsigned char>(s[i++] - 64 - 42);
    }
    while (i < len) {
        unsigned char c = s[i];
        if (EndsLine(c)) break;
        if (strict && i >= budget) break;
        ++i;
        if (c == '=') {
            if (!strict) {
                // The escaped character may be the first of the next line.
                pending = true;
                continue;
            }
            // An escape pair begun inside the budget is completed.
            if (i >= len || EndsLine(s[i])) {
                r.loneEscape = true;
                break;
            }
            c = static_cast<unsigned char>(s[i++] - 64);
        } else if (pending) {
            pending = false;
            if (c >= 64) c = static_cast<unsigned char>(c - 64);
        }
        out[o++] = static_cast<unsigned char>(c - 42);
    }
    r.taken = i;
    r.produced = o;
    return r;
}

YencDecoded DecodeYencWith(YencKernel kernel, const unsigned char* s, int len, int budget, bool strict,
                           bool& pending, unsigned char* out)
{
    int produced = 0, consumed = 0;
    if (kernel != YencKernel::Scalar) {
        const int n = strict && budget < len ? (budget > 0 ? budget : 0) : len;
        consumed = DecodeYencBlocks(kernel, s, n, strict, pending, out, produced);
    }
    YencDecoded r = DecodeYencPlain(s + consumed, len - consumed, budget - consumed, strict, pending, out + produced);
    r.taken += consumed;
    r.produced += produced;
    return r;
}

} // namespace detail

namespace {

// Lines from the engine hold at most 1,023 characters; longer ones (other
// callers) get a heap buffer.
constexpr int kStackLine = 1024;

int LineEnd(const char* line, int len)
{
    while (len > 0 && (line[len - 1] == '\n' || line[len - 1] == '\r')) --len;
    return len;
}

} // namespace

static_assert(kYencDecodeSlack >= detail::kYencOutputSlack);

int DecodeYencText(const unsigned char* s, int len, unsigned char* out, int lineLength, bool strict,
                   YencLineState& state, int& produced)
{
    // Strict decoding never carries an escape over from another line.
    if (strict) state.pendingEscape = false;
    const int budget = lineLength > 0 ? lineLength : len;
    const detail::YencDecoded r =
        detail::DecodeYencWith(detail::BestYencKernel(), s, len, budget, strict, state.pendingEscape, out);
    produced = r.produced;
    int result = r.loneEscape ? YL_LONE_ESCAPE : 0;
    // Characters left over that are not the end of the line.
    if (strict && r.taken < len && s[r.taken] != '\0') result += YL_LONG;
    return result;
}

int DecodeYencBufferedLine(const unsigned char* s, int span, unsigned char* out, int lineLength, bool strict,
                           YencLineState& state, int& produced, int& lineEnd, std::int64_t& binary)
{
    if (strict) state.pendingEscape = false;
    const detail::YencKernel kernel = detail::BestYencKernel();
    const int budget = lineLength > 0 ? lineLength : span;
    // Whole blocks while they hold no CR or LF (nor anything else the plain
    // decoder must see): within the line, and within the budget as
    // DecodeYencWith keeps them.
    int made = 0;
    const int blocks = detail::DecodeYencBlocks(kernel, s, strict && budget < span ? std::max(budget, 0) : span,
                                                strict, state.pendingEscape, out, made);
    // The bytes in the blocks are no break; the break lies after them,
    // mostly right after them (the 16-byte search then takes one step).
    binary = HaveWideLineBreak() ? CountBinaryLookingWide(s, static_cast<std::size_t>(blocks))
                                 : CountBinaryLooking(s, static_cast<std::size_t>(blocks));
    const int len = blocks + static_cast<int>(FindLineBreak(s + blocks, static_cast<std::size_t>(span - blocks), binary));
    lineEnd = len;
    // The rest of the line as DecodeYencWith goes on after its blocks (no
    // kernel takes fewer than 16 characters).
    const detail::YencDecoded r =
        len - blocks < 16 ? detail::DecodeYencPlain(s + blocks, len - blocks, budget - blocks, strict,
                                                    state.pendingEscape, out + made)
                          : detail::DecodeYencWith(kernel, s + blocks, len - blocks, budget - blocks, strict,
                                                   state.pendingEscape, out + made);
    produced = made + r.produced;
    const int taken = blocks + r.taken;
    int result = r.loneEscape ? YL_LONE_ESCAPE : 0;
    if (strict && taken < len && s[taken] != '\0') result += YL_LONG;
    return result;
}

int DecodeYencLine(const char* line, int len, CBufFile* out, std::uint32_t* partCrc, std::uint32_t* fileCrc,
                   int lineLength, bool raw, bool strict, YencLineState& state, int* decoded)
{
    if (decoded) *decoded = 0;
    if (!line || !out || !partCrc) return -1;
    const int textLen = LineEnd(line, len > 0 ? len : 0);
    if (raw) {
        out->Write(line, static_cast<std::size_t>(textLen));
        out->Write("\r\n", 2);
    }
    unsigned char stackBuf[kStackLine + kYencDecodeSlack];
    std::unique_ptr<unsigned char[]> heapBuf;
    unsigned char* buf = stackBuf;
    if (textLen > kStackLine) {
        heapBuf = std::make_unique<unsigned char[]>(static_cast<std::size_t>(textLen) + kYencDecodeSlack);
        buf = heapBuf.get();
    }
    int produced = 0;
    const int result = DecodeYencText(reinterpret_cast<const unsigned char*>(line), textLen, buf, lineLength,
                                      strict, state, produced);
    const auto n = static_cast<std::size_t>(produced);
    if (!raw) out->Write(buf, n);
    *partCrc = Crc32UpdateBulk(*partCrc, buf, n);
    if (fileCrc) *fileCrc = Crc32UpdateBulk(*fileCrc, buf, n);
    if (decoded) *decoded = produced;
    return result;
}

int PeekDecodeYenc(const char* line, unsigned char* dest, int lineLength, int maxBytes)
{
    if (!line || !dest) return -1;
    const int len = lineLength > 0 ? lineLength : static_cast<int>(std::strlen(line));
    int stored = 0;
    for (int i = 0; i < len && (maxBytes <= 0 || stored < maxBytes); ++i) {
        auto c = static_cast<unsigned char>(line[i]);
        if (c == '\n' || c == '\r') break;
        if (c == '=') {
            if (++i >= len) break;
            c = static_cast<unsigned char>(line[i]);
            if (c == '\n' || c == '\r') break;
            c = static_cast<unsigned char>(c - 64);
        }
        dest[stored++] = static_cast<unsigned char>(c - 42);
    }
    return stored;
}

} // namespace zarvex
