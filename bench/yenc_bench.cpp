// yEnc decoding speed: lines of 128 characters encoding random bytes,
// decoded and run through the CRC-32, as the engine does for every data
// line. One run per line kernel (scalar and each vector kernel this CPU
// has), one through the public DecodeYencLine into a buffered file on
// /dev/null, and the bulk CRC alone. Throughput is counted in bytes of
// encoded input (line ends included).
#include "codec/crc32.h"
#include "codec/yenc.h"
#include "codec/yenc_kernels.h"
#include "io/buf_file.h"
#include "io/line_break.h"
#include "io/line_break_wide.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace zarvex;
using detail::YencKernel;

struct Lines
{
    std::vector<char> text;                 // every line with its LF and a NUL
    std::vector<std::pair<int, int>> spans; // offset, length without the LF
    std::int64_t bytes = 0;
};

// The yEnc rule every encoder follows: NUL, LF, CR and "=" escaped, a line
// broken once it holds `width` characters.
const Lines& RandomLines()
{
    static const Lines lines = [] {
        constexpr int kWidth = 128, kBytes = 4 << 20;
        std::mt19937 rng(12);
        Lines l;
        std::string line;
        auto flush = [&] {
            l.spans.emplace_back(static_cast<int>(l.text.size()), static_cast<int>(line.size()));
            l.text.insert(l.text.end(), line.begin(), line.end());
            l.text.push_back('\n');
            l.text.push_back('\0');
            l.bytes += static_cast<std::int64_t>(line.size()) + 1;
            line.clear();
        };
        for (int i = 0; i < kBytes; ++i) {
            const auto c = static_cast<unsigned char>(rng() + 42);
            if (c == 0 || c == '\n' || c == '\r' || c == '=') {
                line += '=';
                line += static_cast<char>(c + 64);
            } else {
                line += static_cast<char>(c);
            }
            if (static_cast<int>(line.size()) >= kWidth) flush();
        }
        if (!line.empty()) flush();
        return l;
    }();
    return lines;
}

void DecodeAndCrc(benchmark::State& state, YencKernel kernel, bool strict)
{
    if (!detail::YencKernelAvailable(kernel)) {
        state.SkipWithError("kernel not available on this CPU");
        return;
    }
    const Lines& lines = RandomLines();
    unsigned char out[1024 + detail::kYencOutputSlack];
    for (auto _ : state) {
        std::uint32_t crc = kCrc32Preset;
        bool pending = false;
        for (const auto& [offset, length] : lines.spans) {
            const auto* s = reinterpret_cast<const unsigned char*>(lines.text.data() + offset);
            const detail::YencDecoded r =
                detail::DecodeYencWith(kernel, s, length, 130, strict, pending, out);
            crc = Crc32UpdateBulk(crc, out, static_cast<std::size_t>(r.produced));
        }
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(state.iterations() * lines.bytes);
}
BENCHMARK_CAPTURE(DecodeAndCrc, Scalar, YencKernel::Scalar, false);
BENCHMARK_CAPTURE(DecodeAndCrc, Sse2, YencKernel::Sse2, false);
BENCHMARK_CAPTURE(DecodeAndCrc, Ssse3, YencKernel::Ssse3, false);
BENCHMARK_CAPTURE(DecodeAndCrc, Avx2, YencKernel::Avx2, false);
BENCHMARK_CAPTURE(DecodeAndCrc, Avx512, YencKernel::Avx512, false);
BENCHMARK_CAPTURE(DecodeAndCrc, Avx512Strict, YencKernel::Avx512, true);

// The engine's loop over a run of data lines (CR LF ends): each line
// break found in the input (its bytes counted on the way), the line decoded
// straight into a 64 KB output buffer, the CRC once per full buffer.
void DecodeRunAndCrc(benchmark::State& state, YencKernel kernel)
{
    if (!detail::YencKernelAvailable(kernel)) {
        state.SkipWithError("kernel not available on this CPU");
        return;
    }
    static const std::string text = [] {
        std::string t;
        const Lines& lines = RandomLines();
        for (const auto& [offset, length] : lines.spans)
            t.append(lines.text.data() + offset, static_cast<std::size_t>(length)).append("\r\n");
        return t;
    }();
    const bool wide = HaveWideLineBreak();
    std::vector<unsigned char> out(65536 + 1024 + detail::kYencOutputSlack);
    for (auto _ : state) {
        std::uint32_t crc = kCrc32Preset;
        bool pending = false;
        std::size_t made = 0;
        std::int64_t binary = 0;
        const auto* p = reinterpret_cast<const unsigned char*>(text.data());
        const auto* end = p + text.size();
        while (p < end) {
            const std::size_t span = std::min<std::size_t>(static_cast<std::size_t>(end - p), 1023);
            const std::size_t k = wide ? FindLineBreakWide(p, span, binary) : FindLineBreak(p, span, binary);
            const int n = static_cast<int>(k);
            made += static_cast<std::size_t>(detail::DecodeYencWith(kernel, p, n, n, false, pending, &out[made]).produced);
            if (made >= 65536) {
                crc = Crc32UpdateBulk(crc, out.data(), made);
                made = 0;
            }
            p += k + 2;
        }
        benchmark::DoNotOptimize(Crc32UpdateBulk(crc, out.data(), made));
        benchmark::DoNotOptimize(binary);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK_CAPTURE(DecodeRunAndCrc, Scalar, YencKernel::Scalar);
BENCHMARK_CAPTURE(DecodeRunAndCrc, Sse2, YencKernel::Sse2);
BENCHMARK_CAPTURE(DecodeRunAndCrc, Ssse3, YencKernel::Ssse3);
BENCHMARK_CAPTURE(DecodeRunAndCrc, Avx2, YencKernel::Avx2);
BENCHMARK_CAPTURE(DecodeRunAndCrc, Avx512, YencKernel::Avx512);

// The engine's call: best kernel, the part register (the file register is
// joined at the part's end), the bytes written out.
void DecodeYencLineToFile(benchmark::State& state)
{
    const Lines& lines = RandomLines();
    static CBufFile out;
    if (!out.IsOpen()) out.Open("/dev/null", CBufFile::modeWrite | CBufFile::typeBinary);
    for (auto _ : state) {
        std::uint32_t partCrc = kCrc32Preset;
        YencLineState lineState;
        int flags = 0, decoded = 0;
        std::uint64_t bytes = 0;
        for (const auto& [offset, length] : lines.spans) {
            flags |= DecodeYencLine(lines.text.data() + offset, length + 1, &out, &partCrc, nullptr, 128,
                                    false, false, lineState, &decoded);
            bytes += static_cast<std::uint64_t>(decoded);
        }
        benchmark::DoNotOptimize(flags);
        benchmark::DoNotOptimize(Crc32Combine(kCrc32Preset, partCrc, bytes));
    }
    state.SetBytesProcessed(state.iterations() * lines.bytes);
}
BENCHMARK(DecodeYencLineToFile);

// The CRC-32 alone over 128-byte blocks, per kernel.
void Crc32Blocks(benchmark::State& state, Crc32Kernel kernel)
{
    if (!Crc32KernelAvailable(kernel)) {
        state.SkipWithError("kernel not available on this CPU");
        return;
    }
    std::vector<unsigned char> data(4 << 20);
    std::mt19937 rng(3);
    for (auto& b : data)
        b = static_cast<unsigned char>(rng());
    for (auto _ : state) {
        std::uint32_t crc = kCrc32Preset;
        for (std::size_t i = 0; i + 128 <= data.size(); i += 128)
            crc = Crc32UpdateWith(kernel, crc, &data[i], 128);
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}
BENCHMARK_CAPTURE(Crc32Blocks, Slicing8, Crc32Kernel::Slicing8);
BENCHMARK_CAPTURE(Crc32Blocks, CarryLess, Crc32Kernel::CarryLess);

} // namespace

BENCHMARK_MAIN();
