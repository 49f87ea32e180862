// End-to-end speed of scanning and extracting one big encoded file, next to
// the standard tools decoding the same data: GNU uudecode for a single-part
// UU file and coreutils "base64 -d" for the body of a MIME mail with one
// Base64 attachment. Each pair runs on the same input in one process run;
// the ratios (tool time / Zarvex time, above 1 means Zarvex is faster) are
// printed after the benchmarks. ZARVEX_BENCH_MB sets the payload size (100).
#include "extract/engine.h"
#include "model/records.h"
#include "model/run_context.h"
#include "model/settings.h"
#include "platform/headless_host.h"
#include "scan/scanner.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using zarvex::HeadlessHost;
using zarvex::MyCObArray;
using zarvex::Settings;

struct BenchData {
    fs::path dir;
    std::string uuFile;      // "begin" ... "end", one part
    std::string mailFile;    // a MIME mail with the payload as a Base64 attachment
    std::string base64Body;  // the attachment's Base64 lines only, for "base64 -d"
    std::size_t payloadSize = 0;
    bool ok = false;
};

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

BenchData MakeData()
{
    BenchData d;
    const char* mb = std::getenv("ZARVEX_BENCH_MB");
    d.payloadSize = static_cast<std::size_t>(mb ? std::atoi(mb) : 100) << 20;
    std::string templ = (fs::temp_directory_path() / "zarvex-bench-XXXXXX").string();
    if (!::mkdtemp(templ.data())) return d;
    d.dir = templ;
    const std::string payload = (d.dir / "payload.bin").string();
    {
        std::mt19937_64 rng(42);
        std::ofstream out(payload, std::ios::binary);
        std::string block(1 << 20, '\0');
        for (std::size_t done = 0; done < d.payloadSize; done += block.size()) {
            for (std::size_t i = 0; i < block.size(); i += 8) {
                const std::uint64_t v = rng();
                std::memcpy(&block[i], &v, 8);
            }
            out.write(block.data(), static_cast<std::streamsize>(std::min(block.size(), d.payloadSize - done)));
        }
    }
    d.uuFile = (d.dir / "big.uu").string();
    d.mailFile = (d.dir / "big.eml").string();
    d.base64Body = (d.dir / "big.b64").string();
    const std::string py = "import sys, binascii\n"
                           "data = open(sys.argv[1], 'rb').read()\n"
                           "out = open(sys.argv[2], 'wb'); body = open(sys.argv[3], 'wb')\n"
                           "out.write(b'From: bench@example.org\\nSubject: big\\nMIME-Version: 1.0\\n'\n"
                           "          b'Content-Type: multipart/mixed; boundary=\"BOUNDARY\"\\n\\n--BOUNDARY\\n'\n"
                           "          b'Content-Type: application/octet-stream; name=\"big.bin\"\\n'\n"
                           "          b'Content-Transfer-Encoding: base64\\n\\n')\n"
                           "for i in range(0, len(data), 57 * 20000):\n"
                           "    chunk = data[i:i + 57 * 20000]\n"
                           "    lines = b''.join(binascii.b2a_base64(chunk[j:j + 57]) for j in range(0, len(chunk), 57))\n"
                           "    out.write(lines); body.write(lines)\n"
                           "out.write(b'--BOUNDARY--\\n')\n";
    const std::string script = (d.dir / "mail.py").string();
    std::ofstream(script) << py;
    d.ok = Run("/usr/bin/uuencode '" + payload + "' big.bin > '" + d.uuFile + "'") &&
           Run("python3 '" + script + "' '" + payload + "' '" + d.mailFile + "' '" + d.base64Body + "'");
    fs::remove(payload);
    return d;
}

BenchData& Data()
{
    static BenchData data = MakeData();
    return data;
}

std::map<std::string, double>& Seconds()
{
    static std::map<std::string, double> seconds;
    return seconds;
}

std::map<std::string, double>& CpuSeconds()
{
    static std::map<std::string, double> seconds;
    return seconds;
}

// User plus system time of this process and of its waited-for children: on a
// busy machine it measures the work where wall time measures the queue.
double CpuNow()
{
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage u{};
        ::getrusage(who, &u);
        total += static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
                 static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

// Scans `input`, groups its parts and extracts every output into a fresh folder.
int ScanAndExtract(const std::string& input, const fs::path& outDir)
{
    fs::remove_all(outDir);
    fs::create_directories(outDir);
    Settings settings;
    zarvex::RunContext run;
    HeadlessHost host(true);
    MyCObArray list(settings, &host);
    zarvex::ScanFile(input, list, settings, run, host);
    list.Evaluate();
    zarvex::Extractor engine(list, settings, run, host);
    int written = 0;
    int answerState = 2;
    for (int i = 0; i < list.GetSize(); ++i)
        written += engine.ExtractOutputFile({.index = i, .outDir = outDir.string(), .answerState = &answerState}) == 1;
    return written;
}

template <typename Body>
void Timed(benchmark::State& state, const std::string& key, Body body)
{
    if (!Data().ok) {
        state.SkipWithError("cannot make the benchmark data (uuencode, python3)");
        return;
    }
    double best = 1e300;
    double bestCpu = 1e300;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = CpuNow();
        if (!body()) {
            state.SkipWithError("the run failed");
            return;
        }
        bestCpu = std::min(bestCpu, CpuNow() - cpuStart);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    Seconds()[key] = best;
    CpuSeconds()[key] = bestCpu;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Data().payloadSize));
}

void ZarvexUU(benchmark::State& state)
{
    Timed(state, "zarvex-uu", [] { return ScanAndExtract(Data().uuFile, Data().dir / "out-zuu") == 1; });
}

void GnuUudecode(benchmark::State& state)
{
    Timed(state, "uudecode", [] {
        return Run("/usr/bin/uudecode -o '" + (Data().dir / "gnu.bin").string() + "' '" + Data().uuFile + "'");
    });
}

void ZarvexBase64Mime(benchmark::State& state)
{
    Timed(state, "zarvex-b64", [] { return ScanAndExtract(Data().mailFile, Data().dir / "out-zb64") >= 1; });
}

void CoreutilsBase64(benchmark::State& state)
{
    Timed(state, "base64", [] {
        return Run("base64 -d '" + Data().base64Body + "' > '" + (Data().dir / "cu.bin").string() + "'");
    });
}

BENCHMARK(ZarvexUU)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(GnuUudecode)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(ZarvexBase64Mime)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(CoreutilsBase64)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void PrintRatio(const char* label, const char* tool, const char* ours)
{
    auto& s = Seconds();
    auto& c = CpuSeconds();
    if (!s.count(tool) || !s.count(ours) || s[ours] <= 0 || c[ours] <= 0) return;
    std::printf("%s: wall %.3f s vs Zarvex %.3f s, ratio %.2f; cpu %.3f s vs Zarvex %.3f s, ratio %.2f"
                " (above 1: Zarvex faster)\n",
                label, s[tool], s[ours], s[tool] / s[ours], c[tool], c[ours], c[tool] / c[ours]);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintRatio("GNU uudecode", "uudecode", "zarvex-uu");
    PrintRatio("coreutils base64 -d", "base64", "zarvex-b64");
    if (!Data().dir.empty()) fs::remove_all(Data().dir);
    return 0;
}
