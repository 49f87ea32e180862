// The scanner over a 64 MB mailbox of mixed messages (headers, text, UU and
// Base64 attachments, multi-part postings) held in the page cache. The
// figure to watch is bytes per second: the scan should run at the speed of
// reading lines.
#include "model/records.h"
#include "model/run_context.h"
#include "model/settings.h"
#include "platform/headless_host.h"
#include "scan/scanner.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

using namespace zarvex;

constexpr std::size_t kMailboxSize = 64u << 20;

class Writer
{
public:
    explicit Writer(std::uint32_t seed) : m_Rng(seed) {}

    std::string Mailbox(std::size_t size)
    {
        std::string out;
        out.reserve(size + (1u << 20));
        for (int n = 0; out.size() < size; ++n)
            Message(out, n);
        return out;
    }

private:
    std::uint32_t Next(std::uint32_t range)
    {
        return std::uniform_int_distribution<std::uint32_t>(0, range - 1)(m_Rng);
    }

    std::string Words(std::size_t length)
    {
        static const char* kWords[] = {"the",    "holiday",  "pictures", "are",     "attached", "below",
                                       "please", "find",     "and",      "let",     "me",       "know",
                                       "if",     "anything", "is",       "missing", "from",     "set"};
        std::string s;
        while (s.size() < length) {
            if (!s.empty()) s += ' ';
            s += kWords[Next(18)];
        }
        return s;
    }

    void Headers(std::string& out, int n, const std::string& subject, bool mime)
    {
        out += "From poster" + std::to_string(n % 50) + "@example.org Mon Dec  7 10:00:00 2026\n";
        out += "From: Poster <poster" + std::to_string(n % 50) + "@example.org>\n";
        out += "Newsgroups: alt.binaries.test\n";
        out += "Subject: " + subject + "\n";
        out += "Date: Mon, 7 Dec 2026 10:00:00 +0000\n";
        out += "Message-ID: <" + std::to_string(n) + "@example.org>\n";
        if (mime) {
            out += "MIME-Version: 1.0\n";
            out += "Content-Type: application/octet-stream; name=\"file" + std::to_string(n) + ".bin\"\n";
            out += "Content-Transfer-Encoding: base64\n";
        }
        out += "\n";
    }

    void Text(std::string& out, int lines)
    {
        for (int i = 0; i < lines; ++i)
            out += Words(40 + Next(30)) + "\n";
        out += "\n";
    }

    void UuBody(std::string& out, std::size_t bytes)
    {
        for (std::size_t done = 0; done < bytes; done += 45) {
            out += 'M';
            for (int i = 0; i < 60; ++i)
                out += static_cast<char>(33 + Next(63));
            out += '\n';
        }
        out += "`\n";
    }

    void Base64Body(std::string& out, std::size_t bytes)
    {
        static const char* abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (std::size_t done = 0; done < bytes; done += 57) {
            for (int i = 0; i < 76; ++i)
                out += abc[Next(64)];
            out += '\n';
        }
        out += "QUJD\n\n";
    }

    void Message(std::string& out, int n)
    {
        const std::size_t size = 20'000 + Next(40'000);
        switch (n % 4) {
        case 0: // plain text
            Headers(out, n, Words(30), false);
            Text(out, 20 + static_cast<int>(Next(40)));
            break;
        case 1: // a UU attachment
            Headers(out, n, "pictures file" + std::to_string(n) + ".jpg", false);
            Text(out, 5);
            out += "begin 644 file" + std::to_string(n) + ".jpg\n";
            UuBody(out, size);
            out += "end\n\n";
            Text(out, 3);
            break;
        case 2: // a MIME Base64 attachment
            Headers(out, n, "archive file" + std::to_string(n) + ".bin", true);
            Base64Body(out, size);
            break;
        default: // one part of a multi-part UU posting
            Headers(out, n, "big.zip (" + std::to_string(n % 7 + 2) + "/9)", false);
            UuBody(out, size);
            out += "\n";
            break;
        }
    }

    std::mt19937 m_Rng;
};

std::string g_MailboxPath; // written on first use, removed at exit

const std::string& MailboxPath()
{
    if (g_MailboxPath.empty()) {
        const auto p = std::filesystem::temp_directory_path() / "zarvex_scan_bench.mbox";
        const std::string text = Writer(2026).Mailbox(kMailboxSize);
        std::ofstream(p, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
        g_MailboxPath = p.string();
    }
    return g_MailboxPath;
}

void BM_ScanMailbox(benchmark::State& state)
{
    const std::string& path = MailboxPath();
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(path));
    Settings settings;
    RunContext run;
    HeadlessHost host;
    int found = 0;
    for (auto _ : state) {
        MyCObArray list(settings, &host);
        found = ScanFile(path, list, settings, run, host);
        benchmark::DoNotOptimize(found);
    }
    state.counters["parts"] = found;
    state.SetBytesProcessed(state.iterations() * size);
}
// CPU time: the machine is shared, and the scan is one thread reading from the page cache.
BENCHMARK(BM_ScanMailbox)->Unit(benchmark::kMillisecond);

// The scan alone over a file of one's own: ZARVEX_SCAN_FILE=path (for
// instance a corpus that bench/pipeline.sh keeps with PIPE_KEEP=1).
void BM_ScanGivenFile(benchmark::State& state)
{
    const char* path = std::getenv("ZARVEX_SCAN_FILE");
    if (!path) {
        state.SkipWithError("ZARVEX_SCAN_FILE not set");
        return;
    }
    Settings settings;
    HeadlessHost host;
    for (auto _ : state) {
        RunContext run;
        MyCObArray list(settings, &host);
        benchmark::DoNotOptimize(ScanFile(path, list, settings, run, host));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(path)));
}
// Real time: large inputs are read ahead on a second thread.
BENCHMARK(BM_ScanGivenFile)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    if (!g_MailboxPath.empty()) std::filesystem::remove(g_MailboxPath, ignored);
    return 0;
}
