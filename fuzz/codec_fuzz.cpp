// Feeds arbitrary lines to the UU, XX, Base64 and yEnc line decoders, the peek
// decoders and the line tests. The first input byte picks the options
// (raw mode, previous-line hint, boundary); the rest is the line. The
// yEnc line is decoded by every vector kernel and the plain decoder.
#include "codec/base64.h"
#include "codec/line_tests.h"
#include "codec/uuxx.h"
#include "codec/yenc.h"
#include "codec/yenc_kernels.h"
#include "io/buf_file.h"
#include "text/wild_match.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using namespace zarvex;

// Decoded bytes go to /dev/null through a real buffered file.
CBufFile& Sink()
{
    static CBufFile* file = [] {
        auto* f = new CBufFile;
        f->Open("/dev/null", CBufFile::modeWrite | CBufFile::typeBinary);
        return f;
    }();
    return *file;
}

// A fresh, modifiable, zero-terminated copy of exactly the line's bytes.
std::vector<char> Copy(const std::uint8_t* data, std::size_t size)
{
    std::vector<char> line(size + 1, '\0');
    if (size) std::memcpy(line.data(), data, size);
    return line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const std::uint8_t options = data[0];
    ++data;
    --size;
    if (size > 4096) size = 4096;
    const int len = static_cast<int>(size);
    const bool raw = (options & 1) != 0;
    const int hint = (options & 2) ? len + 1 : (options >> 2);
    CBufFile* out = (options & 0x80) ? nullptr : &Sink();

    auto a = Copy(data, size);
    DecodeUULine(a.data(), len, out, hint, raw);
    auto b = Copy(data, size);
    DecodeXXLine(b.data(), len, out, raw);
    auto c = Copy(data, size);
    DecodeBase64Line(out, c.data(), len, (options & 4) ? "" : "=_b", raw);

    auto y = Copy(data, size);
    std::uint32_t partCrc = 0, fileCrc = 0;
    YencLineState state{(options & 8) != 0};
    if (out) DecodeYencLine(y.data(), len, out, &partCrc, (options & 4) ? &fileCrc : nullptr, options >> 4, raw,
                            (options & 2) != 0, state);
    // Every kernel this CPU has must agree with the plain decoder, byte for
    // byte (the budget reaches past short lines too, so that strict mode
    // ends inside the blocks).
    std::vector<unsigned char> plain(size + 64), fast(size + 64);
    const auto* u = reinterpret_cast<const unsigned char*>(y.data());
    const int budget = (options & 0x40) ? (options >> 3) * 67 : options >> 3;
    bool p1 = (options & 8) != 0;
    const bool carried = p1;
    const auto rp = detail::DecodeYencPlain(u, len, budget, (options & 2) != 0, p1, plain.data());
    using detail::YencKernel;
    for (const YencKernel kernel : {YencKernel::Sse2, YencKernel::Ssse3, YencKernel::Avx2, YencKernel::Avx512}) {
        if (!detail::YencKernelAvailable(kernel)) continue;
        bool p2 = carried;
        const auto rf = detail::DecodeYencWith(kernel, u, len, budget, (options & 2) != 0, p2, fast.data());
        if (rp.taken != rf.taken || rp.produced != rf.produced || rp.loneEscape != rf.loneEscape || p1 != p2 ||
            std::memcmp(plain.data(), fast.data(), static_cast<std::size_t>(rp.produced)) != 0)
            __builtin_trap();
    }

    unsigned char dest[64];
    auto d = Copy(data, size);
    PeekDecodeUU(d.data(), dest, len, 64);
    PeekDecodeXX(d.data(), dest, len, 64);
    PeekDecodeBase64(d.data(), dest, len, 64, (options & 8) != 0);
    PeekDecodeYenc(d.data(), dest, len, 64);
    if (std::memchr(d.data(), 0, size) == nullptr) {
        std::vector<unsigned char> big(size + 64);
        PeekDecodeUU(d.data(), big.data(), 0, 0);
        PeekDecodeXX(d.data(), big.data(), 0, 0);
        PeekDecodeBase64(d.data(), big.data(), 0, 0, false);
    }

    IsUULine(d.data(), len, (options & 16) != 0);
    IsXXLine(d.data(), len);
    IsBase64Line(d.data(), len);
    IsBinHexLine(d.data(), len);
    ClassifyDataLine(d.data(), len);
    QuotePrefixLength(d.data(), len);
    LastNonBlank(d.data());
    // The line against a pattern made of its own tail.
    const char* pattern = d.data() + size / 2;
    WildMatch(d.data(), pattern, (options & 32) != 0);
    WildMatch(pattern, d.data(), (options & 64) != 0);
    return 0;
}
