// The scan as a long operation: resuming at a saved position, stopping
// before a limit, progress and message dispatching, the user's stop request,
// failures raised during the scan, and the log lines.
#include "scan_fixture.h"

#include "model/data_types.h"
#include "text/messages.h"

namespace zarvex::test {
namespace {

// Three messages, each with one UU section.
Doc Mailbox()
{
    Doc doc;
    for (std::uint32_t k = 0; k < 3; ++k) {
        const std::string n = std::to_string(k + 1);
        doc.Add("From sender@example.org Mon Dec  7 10:00:00 2026").Mark("sep" + n);
        AddHeaders(doc, "file " + n);
        doc.Add("Some text before the data.").Add("begin 644 file" + n + ".bin");
        doc.AddAll(UuLines(RandomBytes(400 + 300 * k, k))).Add("end").Add("");
    }
    return doc;
}

std::vector<std::string> Describe(const std::vector<CFInfo*>& parts)
{
    std::vector<std::string> out;
    for (const CFInfo* p : parts)
        out.push_back(Where(p) + " " + std::to_string(p->m_MsgType) + " " + p->m_DestFile + " " + p->m_From);
    return out;
}

using ResumeScan = ScanTest;

TEST_F(ResumeScan, StopThenResumeGivesTheSamePartsAsOneScanButNotAfterTheFileShrank)
{
    const Doc doc = Mailbox();
    path = dir.Write("box.txt", doc.Text());
    ASSERT_EQ(Scan(path), 3);
    const auto whole = AllParts(list);

    // A stop at a line boundary leaves that line for the next scan.
    for (const auto& [stop, first] : {std::pair{doc.Pos("sep2") + 10, 1}, {doc.Pos("sep3"), 2}}) {
        SCOPED_TRACE(stop);
        MyCObArray split(settings, &host);
        std::int64_t startPos = 0, startLine = 0;
        const std::string sep = "sep" + std::to_string(first + 1);
        const auto scan = [&](std::int64_t stopAt) {
            return ScanFile(path, split, settings, run, host, &startPos, &startLine, static_cast<std::uint64_t>(stopAt));
        };
        EXPECT_EQ(scan(stop), first);
        EXPECT_EQ(std::tie(startPos, startLine), std::make_tuple(doc.Pos(sep), doc.Line(sep) - 1));
        EXPECT_EQ(scan(0), 3 - first);
        EXPECT_EQ(std::tie(startPos, startLine), std::make_tuple(doc.Size(), doc.LineCount()));
        EXPECT_EQ(Describe(AllParts(split)), Describe(whole));
        // Resuming at the end finds nothing more.
        EXPECT_EQ(scan(0), 0);
        EXPECT_EQ(startPos, doc.Size());
    }
    EXPECT_NE(host.LogText().find("Continue processing  " + path), std::string::npos);
    // A file that shrank below the saved position is not continued.
    std::int64_t startPos = doc.Size(), startLine = doc.LineCount();
    WriteFile(path, doc.Text().substr(0, 200));
    EXPECT_EQ(Scan(path, &startPos, &startLine), 0);
    EXPECT_EQ(std::tie(startPos, startLine), std::make_tuple(0, 0));
}

using ScanHostTest = ScanTest;

// Lines 0 (the start), 256, 512, 768 and 1024 show progress, then it is
// cleared; a quit reported by the pump at line 256 ends the scan after that line.
TEST_F(ScanHostTest, ProgressIsShownEvery256LinesAndAQuitEndsTheScan)
{
    std::string text;
    for (int i = 0; i < 1024; ++i)
        text += "line " + std::to_string(i) + "\n";
    const std::string plain = dir.Write("plain.txt", text);
    ScanFile(plain, list, settings, run, host);
    EXPECT_EQ(std::tie(host.pumps, host.progressCalls, host.lastPercent), std::make_tuple(5, 6, -1.0));
    CountingHost quitting;
    quitting.quitAfterPumps = 1;
    std::int64_t startPos = 0, startLine = 0;
    ScanFile(plain, list, settings, run, quitting, &startPos, &startLine);
    EXPECT_EQ(startLine, 257);
}

TEST_F(ScanHostTest, FileCutShortWhileBeingScannedEndsCleanly)
{
    Doc doc;
    for (std::uint32_t k = 0; k < 40; ++k) {
        AddHeaders(doc, "file " + std::to_string(k));
        doc.Add("begin 644 f" + std::to_string(k) + ".bin").AddAll(UuLines(RandomBytes(45 * 60, k))).Add("end");
    }
    path = dir.Write("cut.txt", doc.Text());
    host.truncateAtPump = 3; // at line 512, far beyond the first read buffer
    host.truncatePath = path;
    std::int64_t startPos = 0, startLine = 0;
    EXPECT_GE(ScanFile(path, list, settings, run, host, &startPos, &startLine), 1);
    EXPECT_LE(startPos, doc.Size());
    for (const CFInfo* p : AllParts(list))
        EXPECT_LE(p->m_EPos, startPos);
}

// Asked before the scan, or by the pump at line 256 in the middle of a run
// of data lines, the stop request discards the open part, logs and ends the
// scan after that line.
TEST_F(ScanHostTest, AbortDiscardsTheOpenPartAndLogs)
{
    Doc doc;
    doc.Add("begin 644 a.bin").AddAll(UuLines(RandomBytes(45 * 600, 4)));
    path = dir.Write("a.txt", doc.Text());
    for (const int atPump : {0, 2}) {
        CountingHost stopping;
        stopping.KeepLog(true);
        stopping.abortAtPump = atPump;
        if (atPump == 0) stopping.RequestAbort();
        MyCObArray fresh(settings, &stopping);
        std::int64_t startPos = 0, startLine = 0;
        EXPECT_EQ(ScanFile(path, fresh, settings, run, stopping, &startPos, &startLine), 0);
        EXPECT_EQ(std::make_tuple(fresh.GetSize(), startLine), std::make_tuple(0, atPump == 0 ? 1 : 257));
        EXPECT_NE(stopping.LogText().find("Operation Aborted!"), std::string::npos);
    }
}

// A memory failure ends the scan with minus the count of parts (the one that
// failed included) and requests an abort; only an interactive run before
// any part beeps and asks.
TEST_F(ScanHostTest, MemoryFailureGivesMinusTheCountAndRequestsAbort)
{
    const std::string box = dir.Write("box.txt", Mailbox().Text());
    for (const bool silent : {true, false}) {
        CountingHost failing;
        failing.silent = silent;
        failing.failOnRefresh = silent ? 3 : 1;
        MyCObArray fresh(settings, &failing);
        EXPECT_EQ(ScanFile(box, fresh, settings, run, failing), silent ? -2 : -1);
        EXPECT_EQ(std::make_tuple(failing.AbortRequested(), failing.lastPercent), std::make_tuple(true, -1.0));
        EXPECT_EQ(std::tie(failing.beeps, failing.asked, failing.askedText),
                  silent ? std::make_tuple(0, 0, "")
                         : std::make_tuple(1, 116, "Insufficient memory to complete operation!"));
    }
}

using ScanLog = ScanTest;

// A missing file gives zero, and is logged only when scanned from the top.
TEST_F(ScanLog, ProcessingLineIsLoggedWithThePathOnlyWithALogAndFromTheTop)
{
    std::int64_t startPos = 100, startLine = 5;
    EXPECT_EQ(Scan(dir / "missing.txt", &startPos, &startLine), 0);
    EXPECT_EQ(std::tie(startPos, startLine, host.LogText()), std::make_tuple(0, 0, ""));
    path = dir.Write("a.txt", "hello\n");
    Scan(path);
    EXPECT_EQ(host.LogText(), "Processing file " + path + "...\r\n");
    EXPECT_EQ(Scan(dir / "missing.txt", &startPos, &startLine), 0);
    EXPECT_EQ(startPos, 0);
    EXPECT_NE(host.LogText().find("Processing file " + dir / "missing.txt"), std::string::npos);
    HeadlessHost quiet;
    ScanFile(path, list, settings, run, quiet);
    EXPECT_FALSE(quiet.HasLog());
}

} // namespace
} // namespace zarvex::test
