// The unattended extraction on worker threads against the serial loop, both
// over the real core and the same generated mailboxes: the same files byte
// for byte, the same log line for line, the same report and result.
#include "app/core_engine.h"
#include "app/json_report.h"
#include "app/unattended.h"
#include "extract/output_path.h"
#include "mails.h"
#include "platform/headless_host.h"
#include "support/yenc_posting.h"

#include <random>
#include <set>

namespace zarvex {
namespace {

namespace fs = std::filesystem;

std::string MimeMail(const std::string& name, const test::Bytes& data)
{
    return test::MimeMail(name, data, "see " + name);
}

// One case: input files, files already in the output folder, and the overwrite preference.
struct Case
{
    std::string name;
    std::vector<std::pair<std::string, std::string>> inputs, existing;
    bool overwrite = false;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

Case ManyAttachments()
{
    // More outputs than workers may run ahead of the report (kAheadOutputs).
    Case c{"ManyMimeAttachments", {}, {}, false};
    std::string one, two;
    for (int i = 0; i < 600; ++i)
        (i % 3 ? one : two) +=
            MimeMail("att-" + std::to_string(i) + ".bin", test::RandomBytes(i % 50 ? 200 : 40'000, i));
    c.inputs = {{"one.mbox", one}, {"two.mbox", two}};
    return c;
}

// Attachments of one name (one group with several named parts), of names
// differing in case only, two groups of one name, and an output that exists already, among others.
Case SameNames(bool overwrite)
{
    Case c{overwrite ? "SameNamesReplaced" : "SameNamesKept", {}, {{"old.bin", "old content"}}, overwrite};
    std::string box;
    for (int i = 0; i < 24; ++i) {
        // ".dot.bin" and "_.dot.bin" are written to one path.
        const std::string name = i % 4 == 0   ? "same.bin"
                                 : i % 4 == 1 ? (i % 8 == 1 ? "Case.bin" : "case.BIN")
                                 : i == 10    ? "old.bin"
                                 : i % 8 == 2 ? ".dot.bin"
                                 : i % 8 == 6 ? "_.dot.bin"
                                              : "own-" + std::to_string(i) + ".bin";
        box += MimeMail(name, test::RandomBytes(3'000 + 101 * i, 100 + i));
    }
    // Names cut to one path for the file system: two groups, one path.
    box += MimeMail(std::string(300, 'L') + "1.bin", test::RandomBytes(2'000, 96));
    box += MimeMail(std::string(300, 'L') + "2.bin", test::RandomBytes(2'000, 97));
    // A posting in parts and a single-part file of one name.
    box += test::Text(test::YencArticles(test::RandomBytes(30'000, 98), "twin.bin", 11'000));
    box += test::YencArticles(test::RandomBytes(8'000, 99), "twin.bin", 9'000)[0] + "\n";
    c.inputs = {{"same.mbox", box}};
    return c;
}

// A yEnc part with a damaged copy before its good duplicate, a UU file cut
// short, and good files around them.
Case DamagedParts()
{
    Case c{"DamagedPartsWithDuplicates", {}, {}, false};
    std::vector<std::string> articles = test::YencArticles(test::RandomBytes(60'000, 7), "dup.bin", 20'000);
    std::string damaged = articles[1];
    damaged[damaged.find('\n', damaged.find("=ypart")) + 10] ^= 1;
    articles.insert(articles.begin() + 1, damaged);
    std::string box = MimeMail("first.bin", test::RandomBytes(9'000, 8)) + test::Text(articles);
    const std::string uu = test::UuFile(test::RandomBytes(9'000, 9), "short.bin");
    box += test::Mail("short", uu.substr(0, uu.size() / 2));
    box += MimeMail("last.bin", test::RandomBytes(7'000, 10));
    c.inputs = {{"damaged.mbox", box}};
    return c;
}

Case YencSets()
{
    Case c{"YencMultiPartSets", {}, {}, true};
    std::vector<std::string> articles;
    for (int k = 0; k < 4; ++k) {
        const std::vector<std::string> posting = test::YencArticles(
            test::RandomBytes(40'000 + 5'000 * k, 20 + k), "set-" + std::to_string(k) + ".bin", 11'000);
        articles.insert(articles.end(), posting.begin(), posting.end());
    }
    std::shuffle(articles.begin(), articles.end(), std::mt19937(5));
    c.inputs = {{"spool.ntx", test::Text(articles)},
                {"more.ntx", test::YencArticles(test::RandomBytes(5'000, 30), "single.bin", 9'000)[0]}};
    c.existing = {{"set-1.bin", "to be replaced"}};
    return c;
}

// What a run leaves: the transcript of watcher calls and log text, the
// JSON report, the result and the files of the output folder.
struct Outcome
{
    int result = 0, workers = 0;
    std::string transcript, report;
    std::map<std::string, std::string> files;
    std::map<std::string, int> written; // outputs reported written, by name
};

// The fixture watches the outputs of its runs: it writes what it is told
// into the transcript and the report, and requests the stop after
// `stopAfter` outputs (0: never).
class ParallelExtraction : public ::testing::TestWithParam<Case>, OutputWatcher
{
protected:
    // Scans the inputs afresh and extracts them into "out" with `workers`
    // threads, after `tweak` had its say on the run.
    using Tweak = std::function<void(RunContext&, ExtractionThreads&)>;
    Outcome Run(int workers, const Tweak& tweak = {}, int stopAfter = 0)
    {
        const std::string out = dir / "out";
        fs::remove_all(out);
        fs::create_directory(out);
        for (const auto& [name, content] : GetParam().existing) test::WriteFile(out + "/" + name, content);
        Settings settings;
        settings.Overwrite = GetParam().overwrite;
        RunContext run;
        HeadlessHost host;
        host.KeepLog(true);
        MyCObArray list(settings, &host);
        CoreEngine core;
        for (const auto& [name, content] : GetParam().inputs) {
            const std::string path = dir / name;
            if (!test::FileExists(path)) test::WriteFile(path, content);
            list.AddInputFile(path);
            core.Scan(path, list, settings, run, host);
        }
        Outcome o;
        JsonReport report;
        m_Run = {&host, &o, &report, stopAfter};
        ExtractionThreads threads{.workers = workers, .minInputBytes = 0, .used = &o.workers};
        run.HashOutputs = true;
        if (tweak) tweak(run, threads);
        o.result = RunUnattendedExtraction(list, settings, run, host, core, out, this, threads);
        o.transcript += host.TakeLogText();
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> text(std::tmpfile(), &std::fclose);
        report.Write(text.get(), "test", 0);
        o.report = std::string(static_cast<std::size_t>(std::ftell(text.get())), '\0');
        std::rewind(text.get());
        o.report.resize(std::fread(o.report.data(), 1, o.report.size(), text.get()));
        for (const auto& e : fs::directory_iterator(out))
            o.files[e.path().filename()] = test::ReadFile(e.path());
        return o;
    }
    void Starting(const CFInfo& named, int number, int count) override
    {
        m_Run.outcome->transcript += m_Run.host->TakeLogText() + "> " + std::to_string(number) + "/" +
                                     std::to_string(count) + " " + named.m_DestFile + "\n";
    }
    void Finished(const CSortInfo& group, const CFInfo& named, int result) override
    {
        const std::string log = m_Run.host->TakeLogText();
        m_Run.outcome->transcript +=
            log + "< " + std::to_string(result) + " " + std::to_string(group.m_Status) + "\n";
        const auto written = m_Run.host->TakeWrittenOutputs();
        const std::string path = written.empty() ? BuildOutputPath(dir / "out", named.m_DestFile, "") : written[0].path;
        m_Run.report->AddOutput(group, named, path, log, result, written.empty() ? nullptr : &written[0]);
        if (result > 0) ++m_Run.outcome->written[named.m_DestFile];
        if (--m_Run.stopAfter == 0) m_Run.host->RequestAbort();
    }

    test::TempDir dir;
    struct { HeadlessHost* host; Outcome* outcome; JsonReport* report; int stopAfter; } m_Run{};
};

TEST_P(ParallelExtraction, WritesTheSameFilesLogAndReportAsTheSerialRun)
{
    const Outcome serial = Run(1);
    const Outcome parallel = Run(2);
    EXPECT_EQ(parallel.workers, 2) << "the case must run on workers";
    EXPECT_EQ(parallel.result, serial.result);
    EXPECT_EQ(parallel.transcript, serial.transcript);
    EXPECT_EQ(parallel.report, serial.report);
    EXPECT_GE(serial.files.size(), 4u) << serial.transcript;
    EXPECT_TRUE(parallel.files == serial.files) << "the same names with the same bytes";
}

TEST_P(ParallelExtraction, StaysSerialWhereOrderMattersOrThreadsDoNotPay)
{
    const std::vector<std::pair<const char*, Tweak>> cases = {
        {"one worker", [](RunContext&, ExtractionThreads& t) { t.workers = 1; }},
        {"small input",
         [](RunContext&, ExtractionThreads& t) { t.minInputBytes = ExtractionThreads{}.minInputBytes; }},
        {"save raw", [](RunContext& r, ExtractionThreads&) { r.SaveRaw = true; }},
        {"append all", [](RunContext& r, ExtractionThreads&) { r.AppendAllToOneFile = true; }},
        {"choose duplicates", [](RunContext& r, ExtractionThreads&) { r.YouChooseDuplicate = true; }},
    };
    for (const auto& [why, tweak] : cases)
        EXPECT_EQ(Run(2, tweak).workers, 0) << why;
}

TEST_P(ParallelExtraction, AStopLeavesExactlyTheReportedFilesEachComplete)
{
    const Outcome serial = Run(1);
    for (const int workers : {1, 2}) {
        const Outcome stopped = Run(workers, {}, 1);
        EXPECT_EQ(stopped.workers, workers == 1 ? 0 : 2);
        // Workers may have finished every output before the stop came.
        if (workers == 1) {
            EXPECT_LT(stopped.written.size(), serial.written.size()) << "the run ended early";
        }
        std::set<std::string> onDisk, reported;
        for (const auto& [name, bytes] : stopped.files) {
            onDisk.insert(name);
            EXPECT_EQ(name.find("~ZRV"), std::string::npos) << "no temporary file is left";
            // A name written once in the whole run holds that output.
            if (stopped.written.count(name) && serial.written.at(name) == 1)
                EXPECT_BYTES_EQ(serial.files.at(name), bytes);
        }
        for (const auto& [name, times] : stopped.written) reported.insert(name);
        for (const auto& [name, bytes] : GetParam().existing) reported.insert(name);
        EXPECT_EQ(onDisk, reported) << stopped.transcript;
    }
}

INSTANTIATE_TEST_SUITE_P(Mailboxes, ParallelExtraction,
                         ::testing::Values(ManyAttachments(), SameNames(false), SameNames(true),
                                           DamagedParts(), YencSets()),
                         [](const auto& param) { return param.param.name; });

} // namespace
} // namespace zarvex
