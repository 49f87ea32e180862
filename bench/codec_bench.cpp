// Line decoding speed: many UU or Base64 lines into a buffered output file
// (on /dev/null). Throughput is counted in bytes of encoded input.
#include "codec/base64.h"
#include "codec/uuxx.h"
#include "io/buf_file.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

namespace {

using namespace zarvex;

constexpr std::string_view kUUAlphabet = "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_";
constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Lines of random encoded data: `chars` characters (after `head`) and a LF,
// stored one after another, each zero-terminated.
struct Lines
{
    std::vector<char> text;
    std::vector<std::pair<int, int>> spans; // offset, length
    std::int64_t bytes = 0;
};

Lines MakeLines(int count, std::string_view head, int chars, std::string_view alphabet)
{
    std::mt19937 rng(1);
    Lines lines;
    for (int i = 0; i < count; ++i) {
        std::string line(head);
        for (int k = 0; k < chars; ++k)
            line += alphabet[rng() % 64];
        line += '\n';
        lines.spans.emplace_back(static_cast<int>(lines.text.size()), static_cast<int>(line.size()));
        lines.text.insert(lines.text.end(), line.begin(), line.end());
        lines.text.push_back('\0');
        lines.bytes += static_cast<std::int64_t>(line.size());
    }
    return lines;
}

CBufFile& NullOutput()
{
    static CBufFile file;
    if (!file.IsOpen()) file.Open("/dev/null", CBufFile::modeWrite | CBufFile::typeBinary);
    return file;
}

void BM_DecodeUULine(benchmark::State& state)
{
    Lines lines = MakeLines(10000, "M", 60, kUUAlphabet);
    CBufFile& out = NullOutput();
    for (auto _ : state) {
        int flags = 0;
        for (const auto& [offset, length] : lines.spans)
            flags |= DecodeUULine(lines.text.data() + offset, length, &out, 62, false);
        benchmark::DoNotOptimize(flags);
    }
    state.SetBytesProcessed(state.iterations() * lines.bytes);
}
BENCHMARK(BM_DecodeUULine);

void BM_DecodeBase64Line(benchmark::State& state)
{
    Lines lines = MakeLines(10000, "", 76, kBase64Alphabet);
    CBufFile& out = NullOutput();
    for (auto _ : state) {
        int result = 0;
        for (const auto& [offset, length] : lines.spans)
            result |= DecodeBase64Line(&out, lines.text.data() + offset, length, "boundary", false);
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(state.iterations() * lines.bytes);
}
BENCHMARK(BM_DecodeBase64Line);

void BM_DecodeUULineNoOutput(benchmark::State& state)
{
    Lines lines = MakeLines(10000, "M", 60, kUUAlphabet);
    for (auto _ : state) {
        int flags = 0;
        for (const auto& [offset, length] : lines.spans)
            flags |= DecodeUULine(lines.text.data() + offset, length, nullptr, 62, false);
        benchmark::DoNotOptimize(flags);
    }
    state.SetBytesProcessed(state.iterations() * lines.bytes);
}
BENCHMARK(BM_DecodeUULineNoOutput);

} // namespace

BENCHMARK_MAIN();
