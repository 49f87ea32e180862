// Stream decoding through the real scanner and extraction engine: a posting
// that arrives part by part is continued in one held output, which takes its
// name only when the file is complete.
#include "app/core_engine.h"
#include "app/follow/monitor.h"
#include "app/follow/stream_step.h"
#include "mails.h"
#include "support/yenc_posting.h"

#include <fstream>

namespace zarvex::test {
namespace {

// Whether this process has `path` open.
bool HeldOpen(const std::string& path)
{
    const std::filesystem::path real = std::filesystem::canonical(path);
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (std::filesystem::read_symlink(e.path(), ec) == real) return true;
    }
    return false;
}

class StreamDecoding : public ::testing::Test {
protected:
    StreamDecoding() { std::filesystem::create_directory(out); }

    // Reads one more input file, lists the records as the window would while
    // streaming, and runs the stream step.
    void Arrive(const std::string& name, const std::string& text)
    {
        Read(name, text);
        engine.Evaluate(list);
        MarkListed(list, true);
        Step();
    }
    void Read(const std::string& name, const std::string& text)
    {
        engine.Scan(dir.Write(name, text), list, settings, run, host);
    }
    int StreamFirst() { return engine.ExtractStream(list, 0, list[0]->GetAt(0), out, settings, run, host); }
    void Step()
    {
        entries = EntriesFor(list);
        StreamStep(entries, {engine, list, settings, run, host, out});
    }
    CFInfo* Named(const std::string& name)
    {
        for (const OutputEntry& e : entries)
            if (EntryName(e.text) == name) return e.named;
        return nullptr;
    }

    TempDir dir;
    const std::string out = dir / "stream";
    Settings settings;
    RunContext run;
    ScriptedHost host;
    MyCObArray list{settings};
    CoreEngine engine;
    std::vector<OutputEntry> entries;
};

struct Arrival { bool streamClose, strictYenc; std::vector<int> order; }; // parts numbered from 1

class PartByPart : public StreamDecoding, public ::testing::WithParamInterface<Arrival> {};

TEST_P(PartByPart, HeldOutputGrowsAndTakesItsNameOnceComplete)
{
    const Arrival& a = GetParam();
    settings.StreamClose = a.streamClose;
    settings.StrictYenc = a.strictYenc;
    const Bytes data = RandomBytes(5000, 21);
    const auto articles = YencArticles(data, "movie.bin", 1000, {.width = 64});
    int created = 0;
    host.onOutputCreated = [&](const std::string&) { ++created; };
    std::vector<int> arrived;
    for (int n : a.order) {
        arrived.push_back(n);
        Arrive("article" + std::to_string(n) + ".txt", articles[n - 1]);
        CFInfo* named = Named("movie.bin");
        ASSERT_NE(named, nullptr);
        if (arrived.size() == articles.size()) break;
        // Not complete: waiting, held under a temporary name, none under its own.
        EXPECT_TRUE(named->TestFlag(PF_STREAM_WAITING)) << arrived.size();
        EXPECT_TRUE(named->TestFlag(PF_OPENBUF));
        EXPECT_FALSE(FileExists(out + "/movie.bin"));
        const auto temps = TemporaryFilesIn(out);
        ASSERT_EQ(temps.size(), 1u);
        EXPECT_EQ(HeldOpen(temps[0]), !a.streamClose);
        // Each arrived part at its place: its own offset, or after the parts before it.
        std::sort(arrived.begin(), arrived.end());
        Bytes expected = a.strictYenc ? Bytes(data.size(), '\0') : Bytes();
        for (int p : arrived) {
            const Bytes piece = data.substr((p - 1) * 1000, 1000);
            if (a.strictYenc)
                expected.replace((p - 1) * 1000, 1000, piece);
            else
                expected += piece;
        }
        EXPECT_BYTES_EQ(expected, ReadFile(temps[0]));
    }
    EXPECT_BYTES_EQ(data, ReadFile(out + "/movie.bin"));
    EXPECT_TRUE(TemporaryFilesIn(out).empty());
    EXPECT_EQ(created, 1); // one file, created once, named once
    const CFInfo* named = Named("movie.bin");
    EXPECT_FALSE(named->TestFlag(PF_STREAM_WAITING) || named->TestFlag(PF_OPENBUF));
    EXPECT_TRUE(named->TestFlag(PF_STREAM_EXCLUDED)); // written: not stream decoded again
    Step();
    EXPECT_EQ(created, 1);
}

INSTANTIATE_TEST_SUITE_P(Stream, PartByPart,
                         ::testing::Values(Arrival{false, false, {1, 2, 3, 4, 5}},
                                           Arrival{true, false, {1, 2, 3, 4, 5}},
                                           Arrival{false, true, {1, 3, 2, 5, 4}},
                                           Arrival{true, true, {2, 1, 5, 4, 3}},
                                           Arrival{false, false, {1, 3, 2, 5, 4}}));

TEST_F(StreamDecoding, UuPostingWithItsEndButNoMiddleWaitsForTheMiddle)
{
    const Bytes data = RandomBytes(6000, 7);
    const std::vector<std::string> parts = UuMails("uu.bin", data, 3);
    for (std::size_t p : {0, 2}) {
        Arrive("uu" + std::to_string(p) + ".txt", parts[p]);
        EXPECT_TRUE(Named("uu.bin")->TestFlag(PF_STREAM_WAITING)) << p;
        EXPECT_FALSE(FileExists(out + "/uu.bin"));
    }
    Arrive("uu1.txt", parts[1]);
    EXPECT_BYTES_EQ(data, ReadFile(out + "/uu.bin"));
}

TEST_F(StreamDecoding, ARetryWithoutNewDataLeavesTheHeldOutputAlone)
{
    const auto articles = YencArticles(RandomBytes(3000, 8), "idle.bin", 1000);
    Arrive("i1.txt", articles[0]);
    const auto temps = TemporaryFilesIn(out);
    ASSERT_EQ(temps.size(), 1u);
    WriteFile(temps[0], "x");
    Step();
    EXPECT_TRUE(Named("idle.bin")->TestFlag(PF_STREAM_WAITING));
    EXPECT_EQ(ReadFile(temps[0]), "x");
    Arrive("i2.txt", articles[1]); // new data: the output is decoded again
    EXPECT_EQ(ReadFile(temps[0]).size(), 2000u);
}

TEST_F(StreamDecoding, StoppingDiscardsUnfinishedOutputsAndClearsTheMarks)
{
    const auto articles = YencArticles(RandomBytes(3000, 4), "part.bin", 1000);
    Arrive("a1.txt", articles[0]);
    Arrive("a2.txt", articles[1]);
    ASSERT_EQ(TemporaryFilesIn(out).size(), 1u);
    Named("part.bin")->SetFlag(PF_STREAM_EXCLUDED);
    StopStreaming(engine, list, entries);
    EXPECT_TRUE(std::filesystem::is_empty(out));
    EXPECT_FALSE(Named("part.bin")->TestFlag(PF_OPENBUF) || Named("part.bin")->TestFlag(PF_STREAM_EXCLUDED));
}

TEST_F(StreamDecoding, AHeldFileReplacedWhileClosedIsLeftAloneAndTheOutputStartsAgain)
{
    settings.StreamClose = true;
    const Bytes data = RandomBytes(2000, 6);
    const auto articles = YencArticles(data, "two.bin", 1000);
    Arrive("p1.txt", articles[0]);
    const auto temps = TemporaryFilesIn(out);
    ASSERT_EQ(temps.size(), 1u);
    std::filesystem::remove(temps[0]);
    WriteFile(temps[0], "not ours");
    Arrive("p2.txt", articles[1]); // the held file is given up
    EXPECT_FALSE(FileExists(out + "/two.bin"));
    Step(); // and the output is made again
    EXPECT_BYTES_EQ(data, ReadFile(out + "/two.bin"));
    EXPECT_EQ(ReadFile(temps[0]), "not ours");
}

TEST_F(StreamDecoding, AbortReturnsMoreDataNeededAndWritesNothing)
{
    const Bytes data = RandomBytes(800, 5);
    Read("one.txt", YencArticles(data, "one.bin", data.size())[0]);
    engine.Evaluate(list);
    host.abort = true;
    EXPECT_EQ(StreamFirst(), extract_result::StreamAborted);
    EXPECT_TRUE(std::filesystem::is_empty(out));
    host.abort = false;
    EXPECT_EQ(StreamFirst(), extract_result::Written);
    EXPECT_BYTES_EQ(data, ReadFile(out + "/one.bin"));
}

TEST_F(StreamDecoding, AFileFinishedFromAMonitoredMailboxIsNotWrittenAgainWhenTheMailboxGrows)
{
    const std::string box = dir / "box.txt";
    WriteFile(box, YencArticles(RandomBytes(800, 9), "one.bin", 800)[0]);
    list.AddInputFile(box);
    std::vector<InputEntry> inputs{{.path = box, .flags = InputEntry::kMonitored}};
    int created = 0;
    host.onOutputCreated = [&](const std::string&) { ++created; };
    const auto tick = [&] {
        bool inTick = false;
        MonitorTick({inputs, list, engine, settings, run, host}, {}, inTick);
        engine.Evaluate(list);
        MarkListed(list, true);
        Step();
    };
    tick();
    ASSERT_EQ(created, 1);
    std::ofstream(box, std::ios::app) << Mail("later", "just text\n");
    tick(); // the message holding one.bin is read again, and its part rebuilt
    EXPECT_EQ(created, 1);
    EXPECT_EQ(host.Asked(Prompt::Overwrite), 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), 1);
}

} // namespace
} // namespace zarvex::test
