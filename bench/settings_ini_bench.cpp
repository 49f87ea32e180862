// Start-up and exit costs of the settings file, and argument parsing of a
// long command line (a shell glob over a big mail folder).
#include "app/command_line.h"
#include "app/settings_ini.h"

#include <benchmark/benchmark.h>

namespace {

std::string FullIniText()
{
    zarvex::IniFile ini("; hand-written comment\n[Other]\nkey=value\n");
    zarvex::StoreSettings(zarvex::AppSettings{}, false, ini);
    return ini.Text();
}

void BM_LoadSettings(benchmark::State& state)
{
    const std::string text = FullIniText();
    for (auto _ : state) {
        const zarvex::IniFile ini(text);
        benchmark::DoNotOptimize(zarvex::LoadSettings(ini));
    }
}
BENCHMARK(BM_LoadSettings);

void BM_StoreSettings(benchmark::State& state)
{
    const std::string text = FullIniText();
    const zarvex::AppSettings settings;
    for (auto _ : state) {
        zarvex::IniFile ini(text);
        zarvex::StoreSettings(settings, true, ini);
        benchmark::DoNotOptimize(ini.Text());
    }
}
BENCHMARK(BM_StoreSettings);

void BM_ParseArguments(benchmark::State& state)
{
    std::vector<std::string> args{"--extract", "--outdir=/tmp/out"};
    for (int i = 0; i < state.range(0); ++i) args.push_back("/home/me/mail/message" + std::to_string(i) + ".eml");
    for (auto _ : state) benchmark::DoNotOptimize(zarvex::ParseArguments(args));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ParseArguments)->Arg(10000);

} // namespace

BENCHMARK_MAIN();
