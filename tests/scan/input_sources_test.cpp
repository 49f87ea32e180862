#include "scan/input_sources.h"

#include "model/records.h"
#include "model/settings.h"
#include "platform/headless_host.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace zarvex {
namespace {

// Records the questions asked and answers them with a chosen button.
class AskingHost : public HeadlessHost {
public:
    int Ask(Prompt prompt, std::string_view subject) override
    {
        asked.emplace_back(static_cast<int>(prompt), std::string(subject));
        return answer;
    }
    void Beep() override { ++beeps; }
    int answer = button::Ok;
    int beeps = 0;
    std::vector<std::pair<int, std::string>> asked;
};

// A scanner stand-in: a file holding "parts=N" yields N parts, "fail" a failed scan.
class InputSources : public ::testing::Test {
protected:
    InputSources() : list(settings, &host), ctx(list, settings, host)
    {
        ctx.scan = [this](const std::string& path, MyCObArray& l, Settings&, Host&) {
            scanned.push_back(path);
            const std::string text = test::ReadFile(path);
            if (text.rfind("fail", 0) == 0) {
                AddPartOf(l, path); // parts found before the failure
                return -1;
            }
            const int n = text.rfind("parts=", 0) == 0 ? std::stoi(text.substr(6)) : 0;
            for (int i = 0; i < n; ++i) AddPartOf(l, path);
            return n;
        };
    }
    static void AddPartOf(MyCObArray& l, const std::string& path)
    {
        auto* part = new CFInfo;
        part->m_File = path;
        l.NewGroup()->Init(part);
    }
    std::string Real(const std::string& p) const { return NormalisedPath(p); }

    test::TempDir dir;
    Settings settings;
    AskingHost host;
    MyCObArray list;
    InputContext ctx;
    std::vector<std::string> scanned;
};

TEST_F(InputSources, FileWithFindingsIsListed)
{
    const std::string f = dir.Write("a.txt", "parts=3");
    EXPECT_EQ(AddInputFile(f, false, ctx), 3);
    EXPECT_EQ(ctx.inputList, std::vector<std::string>{Real(f)});
    EXPECT_EQ(list.m_InputNames.count(Real(f)), 1u);
    EXPECT_EQ(list.GetSize(), 3);
}

TEST_F(InputSources, MissingPathGivesZeroSilently)
{
    EXPECT_EQ(AddInputFile(dir / "nothing-here.txt", false, ctx), 0);
    EXPECT_TRUE(scanned.empty());
    EXPECT_TRUE(host.asked.empty());
}

TEST_F(InputSources, SecondAddIsRefusedWithMessage100)
{
    const std::string f = dir.Write("a.txt", "parts=1");
    ASSERT_EQ(AddInputFile(f, false, ctx), 1);
    EXPECT_EQ(AddInputFile(dir.Path().string() + "/./a.txt", false, ctx), 0) << "same file, other spelling";
    ASSERT_EQ(host.asked.size(), 1u);
    EXPECT_EQ(host.asked[0].first, 100);
    EXPECT_EQ(scanned.size(), 1u);
    EXPECT_EQ(list.GetSize(), 1) << "the first scan's parts stay";
    host.answer = button::Cancel;
    EXPECT_EQ(AddInputFile(f, false, ctx), -1) << "Cancel stops the batch";
}

TEST_F(InputSources, QuietRefusalAsksNothing)
{
    const std::string f = dir.Write("a.txt", "parts=1");
    ctx.quiet = true;
    AddInputFile(f, false, ctx);
    EXPECT_EQ(AddInputFile(f, false, ctx), 0);
    EXPECT_TRUE(host.asked.empty());
}

TEST_F(InputSources, NoFindingsIsReportedAndForgotten)
{
    const std::string f = dir.Write("empty.txt", "hello");
    EXPECT_EQ(AddInputFile(f, false, ctx), 0);
    ASSERT_EQ(host.asked.size(), 1u);
    EXPECT_EQ(host.asked[0], (std::pair<int, std::string>{101, "empty.txt"}));
    EXPECT_TRUE(list.m_InputNames.empty()) << "can be tried again";
    EXPECT_TRUE(ctx.inputList.empty());
    EXPECT_EQ(AddInputFile(f, false, ctx), 0);
    EXPECT_EQ(scanned.size(), 2u);
    host.answer = button::Cancel;
    EXPECT_EQ(AddInputFile(f, false, ctx), -1);
}

TEST_F(InputSources, NoFindingsInQuietModeGoesToTheLog)
{
    host.KeepLog(true);
    ctx.quiet = true;
    EXPECT_EQ(AddInputFile(dir.Write("empty.txt", "hello"), false, ctx), 0);
    EXPECT_TRUE(host.asked.empty());
    EXPECT_NE(host.LogText().find("No recognized encoded data or messages found in empty.txt"), std::string::npos);
}

TEST_F(InputSources, FailedScanRemovesItsPartsAgain)
{
    const std::string good = dir.Write("good.txt", "parts=2");
    const std::string bad = dir.Write("bad.txt", "fail");
    ASSERT_EQ(AddInputFile(good, false, ctx), 2);
    EXPECT_EQ(AddInputFile(bad, false, ctx), -1);
    EXPECT_EQ(list.GetSize(), 2) << "only the good file's parts remain";
    for (int g = 0; g < list.GetSize(); ++g) EXPECT_EQ(list.GetAt(g)->GetAt(0)->m_File, Real(good));
    EXPECT_EQ(list.m_InputNames.count(Real(bad)), 0u);
}

TEST_F(InputSources, FolderScansItsRegularFilesInOrderWithoutSubfolders)
{
    dir.Write("b.txt", "parts=1");
    dir.Write("a.txt", "parts=2");
    dir.Write("c.txt", "nothing");
    ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0755), 0);
    dir.Write("sub/deep.txt", "parts=5");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(AddInputFile(dir.Path().string(), false, ctx), 3);
    EXPECT_EQ(scanned, (std::vector<std::string>{Real(dir / "a.txt"), Real(dir / "b.txt"), Real(dir / "c.txt")}));
    EXPECT_TRUE(host.asked.empty()) << "a folder walk asks nothing";
    EXPECT_FALSE(ctx.quiet) << "the quiet flag is restored";
}

TEST_F(InputSources, FolderWalkStopsAtAFailedScan)
{
    dir.Write("a.txt", "parts=1");
    dir.Write("b.txt", "fail");
    dir.Write("c.txt", "parts=1");
    EXPECT_EQ(AddInputFile(dir.Path().string(), false, ctx), -1);
    EXPECT_EQ(scanned.size(), 2u);
}

TEST_F(InputSources, FolderEntriesAlreadyScannedAreSkippedSilently)
{
    const std::string a = dir.Write("a.txt", "parts=1");
    ASSERT_EQ(AddInputFile(a, false, ctx), 1);
    dir.Write("b.txt", "parts=1");
    EXPECT_EQ(AddInputFile(dir.Path().string(), false, ctx), 1);
    EXPECT_TRUE(host.asked.empty());
}

TEST_F(InputSources, DeviceOrFifoIsNeverScanned)
{
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(AddInputFile(dir / "pipe", false, ctx), 0);
    EXPECT_EQ(AddInputFile("/dev/null", false, ctx), 0);
    EXPECT_TRUE(scanned.empty());
}

TEST_F(InputSources, SymbolicLinkScansItsTargetOnce)
{
    const std::string target = dir.Write("real.txt", "parts=1");
    ASSERT_EQ(::symlink(target.c_str(), (dir / "link.txt").c_str()), 0);
    EXPECT_EQ(AddInputFile(dir / "link.txt", false, ctx), 1);
    EXPECT_EQ(scanned, std::vector<std::string>{Real(target)});
    EXPECT_EQ(AddInputFile(target, false, ctx), 0) << "the target is the same input";
}

TEST_F(InputSources, DesktopLinkScansItsTarget)
{
    const std::string target = dir.Write("my mail.txt", "parts=2");
    const std::string url = "file://" + dir.Path().string() + "/my%20mail.txt";
    const std::string link = dir.Write("mail.desktop", "[Desktop Entry]\nName=Mail\nType=Link\nURL=" + url + "\n");
    EXPECT_EQ(DesktopLinkTarget(link), target);
    EXPECT_EQ(AddInputFile(link, false, ctx), 2);
    EXPECT_EQ(scanned, std::vector<std::string>{Real(target)});
}

TEST_F(InputSources, DesktopFilesThatAreNotLocalLinksAreOrdinaryFiles)
{
    const std::string app = dir.Write("app.desktop", "[Desktop Entry]\nType=Application\nURL=file:///etc/passwd\n");
    EXPECT_FALSE(DesktopLinkTarget(app).has_value());
    const std::string web = dir.Write("web.desktop", "[Desktop Entry]\nType=Link\nURL=https://example.org/x\n");
    EXPECT_FALSE(DesktopLinkTarget(web).has_value());
    const std::string other = dir.Write("o.desktop", "[Other]\nType=Link\nURL=file:///etc/passwd\n");
    EXPECT_FALSE(DesktopLinkTarget(other).has_value());
}

TEST_F(InputSources, RegularFilesInListsSortedFullPaths)
{
    dir.Write("z", "");
    dir.Write("A", "");
    ASSERT_EQ(::mkdir((dir / "d").c_str(), 0755), 0);
    const std::string base = dir.Path().string();
    EXPECT_EQ(RegularFilesIn(base), (std::vector<std::string>{base + "/A", base + "/z"}));
    EXPECT_EQ(RegularFilesIn(base + "/"), (std::vector<std::string>{base + "/A", base + "/z"}));
    EXPECT_TRUE(RegularFilesIn(base + "/none").empty());
}

} // namespace
} // namespace zarvex
