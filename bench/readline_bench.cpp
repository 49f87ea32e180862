// ReadLine throughput over a 64 MB mail-like file held in the page cache.
#include "io/buf_file.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <unistd.h>

namespace {

using zarvex::CBufFile;

// Messages of header lines, text, a UU section (61-character lines) and a
// Base64 section (76-character lines); half of them with CR LF breaks.
std::string MailLikeText(std::size_t size)
{
    std::mt19937 rng(42);
    auto randomChars = [&](std::size_t n, const char* alphabet, std::size_t alphabetSize) {
        std::string s(n, ' ');
        for (auto& c : s)
            c = alphabet[rng() % alphabetSize];
        return s;
    };
    static const char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    static const char kUu[] = "!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_";
    static const char kText[] = "abcdefghijklmnopqrstuvwxyz      ,.ETAOIN";
    std::string out;
    out.reserve(size + 4096);
    for (int msg = 0; out.size() < size; ++msg) {
        const char* eol = (msg % 2) ? "\r\n" : "\n";
        auto line = [&](const std::string& s) { out += s + eol; };
        line("From: sender" + std::to_string(msg) + "@example.org");
        line("Newsgroups: alt.binaries.test");
        line("Subject: holiday pictures (" + std::to_string(msg % 7 + 1) + "/7) - \"img.jpg\" yEnc");
        line("Date: Mon, 7 Dec 2026 10:00:00 +0000");
        line("Message-ID: <" + std::to_string(rng()) + "@news.example.org>");
        line("");
        for (int i = 0; i < 8; ++i)
            line(randomChars(30 + rng() % 45, kText, sizeof kText - 1));
        line("begin 644 img" + std::to_string(msg) + ".jpg");
        for (int i = 0; i < 400; ++i) {
            std::string uu = "M";
            uu += randomChars(60, kUu, 64);
            line(uu);
        }
        line("`");
        line("end");
        line("");
        for (int i = 0; i < 400; ++i)
            line(randomChars(76, kB64, 64));
        line("");
    }
    return out;
}

class MailFile
{
public:
    MailFile()
    {
        char templ[] = "/tmp/zarvex-bench-XXXXXX";
        const int fd = ::mkstemp(templ);
        if (fd < 0) std::abort();
        m_Path = templ;
        const std::string text = MailLikeText(64u << 20);
        m_Size = static_cast<std::int64_t>(text.size());
        for (std::size_t done = 0; done < text.size();) {
            const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n <= 0) std::abort();
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
    }
    ~MailFile() { ::unlink(m_Path.c_str()); }
    const std::string& Path() const { return m_Path; }
    std::int64_t Size() const { return m_Size; }

private:
    std::string m_Path;
    std::int64_t m_Size = 0;
};

// One file for all benchmarks, made on first use (outside the timed loops).
const MailFile& TestFile()
{
    static const MailFile file;
    return file;
}

void BM_ReadLine(benchmark::State& state)
{
    const MailFile& file = TestFile();
    char line[1024 + 2];
    std::int64_t lines = 0;
    for (auto _ : state) {
        CBufFile f;
        if (!f.Open(file.Path(), CBufFile::modeRead | CBufFile::shareDenyNone | CBufFile::typeBinary)) {
            state.SkipWithError("cannot open the test file");
            return;
        }
        int len = 0;
        bool complete = false;
        while (f.ReadLine(line, 1024, &len, &complete))
            ++lines;
        benchmark::DoNotOptimize(lines);
        f.Close();
    }
    state.SetBytesProcessed(state.iterations() * file.Size());
    state.counters["lines"] = benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadLine)->Unit(benchmark::kMillisecond);

// The same file through GetChar, for comparison with the line reader.
void BM_GetChar(benchmark::State& state)
{
    const MailFile& file = TestFile();
    for (auto _ : state) {
        CBufFile f;
        if (!f.Open(file.Path(), CBufFile::modeRead)) {
            state.SkipWithError("cannot open the test file");
            return;
        }
        int sum = 0;
        for (int c; (c = f.GetChar()) >= 0;)
            sum += c;
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * file.Size());
}
BENCHMARK(BM_GetChar)->Unit(benchmark::kMillisecond);

// 64 MB written one byte at a time, as the decoders write their output.
void BM_PutChar(benchmark::State& state)
{
    const std::string out = TestFile().Path() + ".out";
    constexpr std::int64_t kBytes = 64 << 20;
    for (auto _ : state) {
        CBufFile f;
        if (!f.Open(out, CBufFile::modeCreate | CBufFile::modeWrite | CBufFile::typeBinary)) {
            state.SkipWithError("cannot create the output file");
            return;
        }
        for (std::int64_t i = 0; i < kBytes; ++i)
            f.PutChar(static_cast<unsigned char>(i * 7));
        f.Close();
    }
    ::unlink(out.c_str());
    state.SetBytesProcessed(state.iterations() * kBytes);
}
BENCHMARK(BM_PutChar)->Unit(benchmark::kMillisecond);

// 64 MB written in blocks of 768 bytes, as the line decoders hand them over.
void BM_WriteBlocks(benchmark::State& state)
{
    const std::string out = TestFile().Path() + ".blocks";
    constexpr std::int64_t kBytes = 64 << 20;
    std::string block(768, 'x');
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 13);
    for (auto _ : state) {
        CBufFile f;
        if (!f.Open(out, CBufFile::modeCreate | CBufFile::modeWrite | CBufFile::typeBinary)) {
            state.SkipWithError("cannot create the output file");
            return;
        }
        for (std::int64_t done = 0; done < kBytes; done += 768)
            f.Write(block.data(), block.size());
        f.Close();
    }
    ::unlink(out.c_str());
    state.SetBytesProcessed(state.iterations() * kBytes);
}
BENCHMARK(BM_WriteBlocks)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
