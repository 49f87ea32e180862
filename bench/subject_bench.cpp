// Subject parsing and header-line recognition run once per header line of
// every scanned message, so their cost matters on large mailboxes.
#include "text/subject.h"
#include "text/text_utils.h"

#include <benchmark/benchmark.h>

#include <array>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 6> kSubjects = {
    "Re: foo.zip (2/5)",
    "[3/7] - \"holiday-pictures-2006.rar\" yEnc (12/150) 104857600",
    "repost: pics from the trip (1/3) (2/10)",
    "Holiday pics - dsc001.jpg (1/3)",
    "=?utf-8?B?w6kuanBnICgxLzIp?=",
    "A subject line without any part numbers at all, fairly long like some are",
};

void BM_ParseSubject(benchmark::State& state)
{
    const zarvex::SubjectRules rules;
    std::size_t i = 0;
    for (auto _ : state) {
        zarvex::SubjectInfo info;
        benchmark::DoNotOptimize(zarvex::ParseSubject(kSubjects[i++ % kSubjects.size()], rules, info));
        benchmark::DoNotOptimize(info.part);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseSubject);

void BM_IsHeaderOrSeparator(benchmark::State& state)
{
    constexpr std::array<std::string_view, 4> lines = {"X-Newsreader: Something 1.0\n", "Subject: hello\n",
                                                       "M9V]S=&%T82!L:6YE(&]F('1E>'0*\n",
                                                       "Xref: news.example.com alt.binaries.test:12345\n"};
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string_view line = lines[i++ % lines.size()];
        benchmark::DoNotOptimize(
            zarvex::IsHeaderOrSeparator(line.data(), static_cast<int>(line.size()), true));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IsHeaderOrSeparator);

void BM_ParseDate(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(zarvex::ParseDate("Tue, 5 Dec 2006 10:20:30 +0100"));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseDate);

} // namespace

BENCHMARK_MAIN();
