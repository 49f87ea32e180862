// Many attachments under one name in one input: scanning and grouping them,
// then the unattended extraction's pass over every named output (the first
// is written, the others find it there and are skipped). The time per
// output should stay flat from 1,000 to 100,000 outputs. The same for one
// mail of many attachments, each under its own name.
#include "extract/engine.h"
#include "model/records.h"
#include "model/run_context.h"
#include "model/settings.h"
#include "platform/headless_host.h"
#include "scan/scanner.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace zarvex;

fs::path& Folder()
{
    static fs::path folder = [] {
        std::string templ = (fs::temp_directory_path() / "zarvex-bench-names-XXXXXX").string();
        if (!::mkdtemp(templ.data())) std::abort();
        return fs::path(templ);
    }();
    return folder;
}

// `count` mails, each with one small Base64 attachment named "pic.bin".
const std::string& Input(int count)
{
    static std::map<int, std::string> inputs;
    auto it = inputs.find(count);
    if (it != inputs.end()) return it->second;
    const std::string path = (Folder() / ("same" + std::to_string(count) + ".txt")).string();
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < count; ++i)
        out << "From: a@example.org\nSubject: picture\nMIME-Version: 1.0\n"
               "Content-Type: multipart/mixed; boundary=\"BB\"\n\n--BB\n"
               "Content-Type: application/octet-stream; name=\"pic.bin\"\n"
               "Content-Transfer-Encoding: base64\n\n"
               "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4\n"
               "OTo7PD0+P0BBQkNERUZHSElKS0xNTk9QUVJTVFVWV1hZWltcXV5fYGFiY2Rl\n\n--BB--\n\n";
    return inputs[count] = path;
}

// One mail with `count` small Base64 attachments named "a0.bin", "a1.bin", ...
const std::string& OneMailInput(int count)
{
    static std::map<int, std::string> inputs;
    auto it = inputs.find(count);
    if (it != inputs.end()) return it->second;
    const std::string path = (Folder() / ("one" + std::to_string(count) + ".txt")).string();
    std::ofstream out(path, std::ios::binary);
    out << "From: a@example.org\nSubject: many files\nMIME-Version: 1.0\n"
           "Content-Type: multipart/mixed; boundary=\"BB\"\n\n";
    for (int i = 0; i < count; ++i)
        out << "--BB\nContent-Type: application/octet-stream; name=\"a" << i << ".bin\"\n"
            << "Content-Transfer-Encoding: base64\n\n"
               "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4\n"
               "OTo7PD0+P0BBQkNERUZHSElKS0xNTk9QUVJTVFVWV1hZWltcXV5fYGFiY2Rl\n\n";
    out << "--BB--\n";
    return inputs[count] = path;
}

void ScanAndExtract(benchmark::State& state, const std::string& input)
{
    const int count = static_cast<int>(state.range(0));
    const fs::path outDir = Folder() / "out";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(outDir);
        fs::create_directories(outDir);
        state.ResumeTiming();
        Settings settings;
        RunContext run;
        HeadlessHost host;
        MyCObArray list(settings, &host);
        ScanFile(input, list, settings, run, host);
        list.Evaluate();
        Extractor engine(list, settings, run, host);
        int answer = 0; // no to all: an existing output stays
        int outputs = 0;
        for (int g = 0; g < list.GetSize(); ++g) {
            CSortInfo* group = list.GetAt(g);
            for (std::size_t n = 0; n < group->m_Named.size(); ++n, ++outputs)
                engine.ExtractOutputFile(
                    {.part = list.GetAt(g)->m_Named[n], .index = g, .outDir = outDir.string(), .answerState = &answer});
        }
        benchmark::DoNotOptimize(outputs);
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void SameNamedOutputs(benchmark::State& state)
{
    ScanAndExtract(state, Input(static_cast<int>(state.range(0))));
}

void AttachmentsOfOneMail(benchmark::State& state)
{
    ScanAndExtract(state, OneMailInput(static_cast<int>(state.range(0))));
}

BENCHMARK(SameNamedOutputs)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(AttachmentsOfOneMail)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(Folder());
    return 0;
}
