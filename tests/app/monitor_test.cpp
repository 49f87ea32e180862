// Monitor mode through the real core: files grown by the test, a tick after
// each step. After every tick the sort list must hold what one scan of the
// file as it now is finds: each part once, none scanned twice, none lost.
#include "app/core_engine.h"
#include "app/follow/monitor.h"
#include "io/buf_file.h"
#include "mails.h"
#include "platform/headless_host.h"
#include "support/yenc_posting.h"

#include <fstream>
#include <tuple>

namespace zarvex::test {
namespace {

struct StatusHost : HeadlessHost
{
    void SetStatus(std::string_view text) override { status = text; }
    std::string status;
};

// Mailbox messages with a Base64 attachment "f<n>.bin" after a text part, and with a UU file.
const std::string kFrom = "From poster@example.net Mon Jan  1 00:00:00 2024\n";
std::string MimeMessage(int n, const std::string& data)
{
    return kFrom + MimeMail("f" + std::to_string(n) + ".bin", data, "See the file.", "b" + std::to_string(n));
}
std::string UuMessage(const std::string& data) { return kFrom + Mail("uu file", UuFile(data, "u.bin")); }

// The parts of a list, comparable across lists.
using PartKey = std::tuple<std::int64_t, std::int64_t, std::int64_t, std::int64_t, std::string, int>;
std::vector<PartKey> Parts(const MyCObArray& list)
{
    std::vector<PartKey> parts;
    for (int g = 0; g < list.GetSize(); ++g)
        for (int i = 0; i < list.GetAt(g)->GetSize(); ++i)
            for (const CFInfo* p = list.GetAt(g)->GetAt(i); p; p = p->m_pNextDup.get())
                parts.emplace_back(p->m_SPos, p->m_EPos, p->m_StartLine, p->m_EndLine, p->m_DestFile,
                                   p->m_Part);
    std::sort(parts.begin(), parts.end());
    return parts;
}

const std::string kData = RandomBytes(2500, 7);

class MonitorTest : public ::testing::Test
{
protected:
    MonitorTest()
    {
        WriteFile(path, "");
        list.AddInputFile(path);
        entries.push_back({.path = path, .flags = InputEntry::kMonitored});
    }

    MonitorOutcome Tick(MonitorGuards guards = {}, bool inTick = false)
    {
        return MonitorTick({entries, list, engine, settings, run, host}, guards, inTick);
    }
    void Grow(std::string_view text) { std::ofstream(path, std::ios::app | std::ios::binary) << text; }

    // What one scan of the file as it is now finds.
    std::vector<PartKey> FullScan()
    {
        MyCObArray fresh(settings, &host);
        RunContext freshRun;
        engine.Scan(path, fresh, settings, freshRun, host);
        return Parts(fresh);
    }

    TempDir dir;
    std::string path = dir / "growing.txt";
    Settings settings;
    RunContext run;
    StatusHost host;
    CoreEngine engine;
    MyCObArray list{settings, &host};
    std::vector<InputEntry> entries;
    const std::vector<std::string> articles = YencArticles(kData, "pic.bin", 700);
};

struct Growth { const char* name; std::vector<std::string> messages; };

class GrowingFile : public MonitorTest, public ::testing::WithParamInterface<Growth> {};

// Each message arrives in three steps: cut inside its header, cut in the
// middle of its data (a yEnc part before its "=yend", a Base64 body before
// its closing boundary, a UU "begin" before its "end"), then the rest.
TEST_P(GrowingFile, AfterEveryTickTheListHoldsWhatOneScanOfTheFileFinds)
{
    for (const std::string& message : GetParam().messages) {
        const std::size_t cuts[] = {20, message.size() / 2, message.size()};
        std::size_t done = 0;
        for (std::size_t cut : cuts) {
            Grow(std::string_view(message).substr(done, cut - done));
            done = cut;
            const MonitorOutcome out = Tick();
            EXPECT_TRUE(out.scanned && out.rebuild && !out.aborted);
            ASSERT_EQ(Parts(list), FullScan()) << "after " << std::filesystem::file_size(path) << " bytes";
        }
        EXPECT_EQ(entries[0].size, static_cast<std::int64_t>(std::filesystem::file_size(path)));
    }
    EXPECT_FALSE(Tick().scanned) << "an unchanged file is not read";
}

INSTANTIATE_TEST_SUITE_P(
    Monitor, GrowingFile,
    ::testing::Values(Growth{"YencPostingPartByPart", YencArticles(kData, "pic.bin", 700)},
                      Growth{"MailboxMessageByMessage",
                             {MimeMessage(1, kData.substr(0, 900)), UuMessage(kData.substr(900, 700)),
                              MimeMessage(2, kData.substr(1600))}}),
    [](const ::testing::TestParamInfo<Growth>& p) { return p.param.name; });

TEST_F(MonitorTest, AGrownFileIsReadOnFromItsLastMessageAndAShrunkOneFromItsLastPartInside)
{
    Grow(articles[0] + articles[1] + articles[2]);
    Tick();
    Grow(articles[3]);
    // The last part known starts at its article's "Subject:" line; the
    // rescan starts with the article's header block, after everything before.
    const ScanPoint from =
        ResumePoint(list, entries[0], static_cast<std::int64_t>(std::filesystem::file_size(path)));
    EXPECT_EQ(from.pos, static_cast<std::int64_t>(articles[0].size() + articles[1].size()));
    EXPECT_EQ(from.line, std::count(articles[0].begin(), articles[0].end(), '\n') +
                             std::count(articles[1].begin(), articles[1].end(), '\n'));
    // A file that shrank is read again from its last part still inside.
    WriteFile(path, articles[0] + articles[1].substr(0, articles[1].size() / 2));
    EXPECT_TRUE(Tick().scanned);
    EXPECT_EQ(Parts(list), FullScan());
}

TEST_F(MonitorTest, AnOpenStreamOutputPassesToThePartBuiltAgain)
{
    const std::size_t half = articles[1].size() / 2;
    Grow(articles[0] + articles[1].substr(0, half));
    Tick();
    auto lastPart = [&] {
        CFInfo* last = nullptr;
        for (int g = 0; g < list.GetSize(); ++g)
            for (int i = 0; i < list.GetAt(g)->GetSize(); ++i)
                if (!last || list.GetAt(g)->GetAt(i)->m_SPos > last->m_SPos) last = list.GetAt(g)->GetAt(i);
        return last;
    };
    auto* out = new CBufFile;
    ASSERT_TRUE(out->Open(dir / "pic.bin", CBufFile::modeCreate | CBufFile::modeWrite));
    lastPart()->SetBuffer(out);
    lastPart()->SetFlag(PF_OPENBUF);
    Grow(articles[1].substr(half));
    Tick();
    EXPECT_EQ(lastPart()->m_EPos, static_cast<std::int64_t>(articles[0].size() + articles[1].size()));
    EXPECT_EQ(lastPart()->m_pBuf, out);
    EXPECT_TRUE(lastPart()->TestFlag(PF_OPENBUF));
}

class GoneFile : public MonitorTest, public ::testing::WithParamInterface<bool> {};

// The other file holds a copy of the gone file's part, which stays.
TEST_P(GoneFile, TakesItsPartsAndEntryWithItAndSays314)
{
    const std::string other = dir.Write("other.txt", UuMessage(kData) + "\n" + articles[0]);
    Grow(articles[0]);
    entries.push_back({.path = other, .flags = InputEntry::kMonitored});
    Tick();
    ASSERT_EQ(Parts(list).size(), 3u);
    if (GetParam()) std::filesystem::remove(path);
    else WriteFile(path, "");
    const MonitorOutcome out = Tick();
    EXPECT_EQ(out.gone, std::vector<std::string>{path});
    EXPECT_EQ(host.status, Message(msg::MonitoredChanged));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path, other);
    path = other;
    EXPECT_EQ(Parts(list), FullScan());
    for (int g = 0; g < list.GetSize(); ++g) EXPECT_EQ(list.GetAt(g)->m_Found, 1);
}

INSTANTIATE_TEST_SUITE_P(Monitor, GoneFile, ::testing::Values(true, false),
                         [](const auto& p) { return p.param ? "Deleted" : "Emptied"; });

// The guards, and the tick's own re-entry flag.
class Guard : public MonitorTest, public ::testing::WithParamInterface<std::pair<MonitorGuards, bool>> {};

TEST_P(Guard, StopsTheTick)
{
    Grow(UuMessage(kData));
    EXPECT_FALSE(Tick(GetParam().first, GetParam().second).ran);
    EXPECT_EQ(list.GetSize(), 0);
    entries[0].SetMonitored(false);
    EXPECT_FALSE(Tick().scanned) << "an entry not monitored is left alone";
}

INSTANTIATE_TEST_SUITE_P(Monitor, Guard,
                         ::testing::Values(std::pair{MonitorGuards{.busy = true}, false},
                                           std::pair{MonitorGuards{.dragging = true}, false},
                                           std::pair{MonitorGuards{.extracting = true}, false},
                                           std::pair{MonitorGuards{}, true}));

} // namespace
} // namespace zarvex::test
