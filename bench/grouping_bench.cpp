// Grouping many parts: postings of ten parts each, arriving shuffled, then
// the evaluation pass. Run with 10,000 and 100,000 parts to see the growth.
#include "model/records.h"
#include "model/settings.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace zarvex;

constexpr int kPartsPerPosting = 10;

std::unique_ptr<CFInfo> PostingPart(int posting, int n)
{
    auto part = std::make_unique<CFInfo>();
    const std::string name = "file" + std::to_string(posting) + ".rar";
    part->m_File = "/spool/news" + std::to_string(posting % 7) + ".txt";
    part->m_Subject = name;
    part->m_FullSubj = "\"" + name + "\" posted by someone";
    part->m_MsgType = MT_UU;
    part->m_Part = n;
    part->m_Total = kPartsPerPosting;
    if (n == 1) {
        part->m_DestFile = name;
        part->m_Starts = 1;
        part->m_DataType = 39;
    }
    if (n == kPartsPerPosting) part->m_Ends = 1;
    const std::int64_t slot = static_cast<std::int64_t>(posting) * kPartsPerPosting + n;
    part->m_SPos = slot * 70000;
    part->m_EPos = part->m_SPos + 62000;
    part->m_StartLine = slot * 1000;
    part->m_EndLine = part->m_StartLine + 1000;
    return part;
}

void GroupAndEvaluate(benchmark::State& state)
{
    const int parts = static_cast<int>(state.range(0));
    const int postings = parts / kPartsPerPosting;
    std::vector<std::pair<int, int>> order;
    for (int p = 0; p < postings; ++p)
        for (int n = 1; n <= kPartsPerPosting; ++n)
            order.emplace_back(p, n);
    std::shuffle(order.begin(), order.end(), std::mt19937(42));
    Settings settings;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::unique_ptr<CFInfo>> fresh;
        fresh.reserve(order.size());
        for (auto [p, n] : order)
            fresh.push_back(PostingPart(p, n));
        auto list = std::make_unique<MyCObArray>(settings);
        state.ResumeTiming();
        for (auto& part : fresh)
            list->AddPart(part.release());
        list->Evaluate();
        state.PauseTiming();
        if (list->GetSize() != postings) state.SkipWithError("postings did not group");
        list.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * parts);
}

BENCHMARK(GroupAndEvaluate)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// Single-part files that all bring the same name, each from its own posting,
// with automatic renaming on: every one after the first needs a new name.
void ClashingNames(benchmark::State& state)
{
    const int files = static_cast<int>(state.range(0));
    Settings settings;
    settings.NoAutoRename = false;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::unique_ptr<CFInfo>> fresh;
        for (int f = 0; f < files; ++f) {
            auto part = std::make_unique<CFInfo>();
            part->m_File = "/spool/pics.txt";
            part->m_Subject = "picture " + std::to_string(f);
            part->m_FullSubj = part->m_Subject;
            part->m_DestFile = "image.jpg";
            part->m_MsgType = MT_UU;
            part->m_DataType = 1;
            part->m_Starts = part->m_Ends = 1;
            part->m_SPos = static_cast<std::int64_t>(f) * 10000;
            part->m_EPos = part->m_SPos + 9000;
            part->m_EndLine = 100;
            fresh.push_back(std::move(part));
        }
        auto list = std::make_unique<MyCObArray>(settings);
        state.ResumeTiming();
        for (auto& part : fresh)
            list->AddPart(part.release());
        list->Evaluate();
        state.PauseTiming();
        list.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * files);
}

BENCHMARK(ClashingNames)->Arg(1'000)->Arg(3'000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
