// Type detection runs once per found section; these figures show it stays
// negligible next to reading the section's lines.
#include "model/data_types.h"
#include "model/file_types.h"

#include <benchmark/benchmark.h>

#include <array>

namespace {

using namespace zarvex;

// Random-looking bytes that match no record: every record is tried.
void BM_DetectSignatureNoMatch(benchmark::State& state)
{
    std::array<unsigned char, kTypeSampleSize> sample{};
    for (int i = 0; i < kTypeSampleFill; ++i)
        sample[i] = static_cast<unsigned char>(i * 37 + 11);
    for (auto _ : state)
        benchmark::DoNotOptimize(DetectSignature(sample.data(), kTypeSampleFill));
}
BENCHMARK(BM_DetectSignatureNoMatch);

// An EBML head without a webm DocType: the head matches, then the whole sample is searched.
void BM_DetectSignatureEbmlSearch(benchmark::State& state)
{
    std::array<unsigned char, kTypeSampleSize> sample{0x1A, 0x45, 0xDF, 0xA3};
    for (auto _ : state)
        benchmark::DoNotOptimize(DetectSignature(sample.data(), kTypeSampleFill));
}
BENCHMARK(BM_DetectSignatureEbmlSearch);

void BM_AddTypeExtensionAllowedPattern(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(AddTypeExtension("report.pptx", DT_ZIP));
}
BENCHMARK(BM_AddTypeExtensionAllowedPattern);

} // namespace

BENCHMARK_MAIN();
