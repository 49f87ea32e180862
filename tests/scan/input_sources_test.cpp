#include "scan/input_sources.h"

#include "model/records.h"
#include "model/run_context.h"
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
class AskingHost : public HeadlessHost
{
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
class InputSources : public ::testing::Test
{
protected:
    InputSources() : list(settings, &host), ctx(list, settings, run, host)
    {
        ctx.scan = [this](const std::string& path, MyCObArray& l, const Settings&, RunContext&, Host&) {
            scanned.push_back(path);
            const std::string text = test::ReadFile(path);
            if (text.rfind("fail", 0) == 0) {
                AddPartOf(l, path); // parts found before the failure
                return -1;
            }
            const int n = text.rfind("parts=", 0) == 0 ? std::stoi(text.substr(6)) : 0;
            for (int i = 0; i < n; ++i)
                AddPartOf(l, path);
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
    RunContext run;
    AskingHost host;
    MyCObArray list;
    InputContext ctx;
    std::vector<std::string> scanned;
};

TEST_F(InputSources, FileWithFindingsIsListedAndOthersAreNeverScanned)
{
    const std::string f = dir.Write("a.txt", "parts=3");
    EXPECT_EQ(AddInputFile(f, false, ctx), 3);
    EXPECT_EQ(ctx.inputList, std::vector<std::string>{Real(f)});
    EXPECT_EQ(list.m_InputNames.count(Real(f)), 1u);
    EXPECT_EQ(list.GetSize(), 3);
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    for (const std::string& other : {dir / "nothing-here.txt", dir / "pipe", std::string("/dev/null")})
        EXPECT_EQ(AddInputFile(other, false, ctx), 0) << other;
    EXPECT_EQ(scanned.size(), 1u);
    EXPECT_TRUE(host.asked.empty()) << "missing paths, fifos and devices are skipped silently";
}

TEST_F(InputSources, SecondAddIsRefusedWithMessage100UnlessQuiet)
{
    const std::string f = dir.Write("a.txt", "parts=1");
    ASSERT_EQ(AddInputFile(f, false, ctx), 1);
    EXPECT_EQ(AddInputFile(dir.Path().string() + "/./a.txt", false, ctx), 0) << "same file, other spelling";
    ASSERT_EQ(host.asked.size(), 1u);
    EXPECT_EQ(host.asked[0].first, 100);
    EXPECT_EQ(scanned.size(), 1u);
    EXPECT_EQ(list.GetSize(), 1) << "the first scan's parts stay";
    ctx.quiet = true;
    EXPECT_EQ(AddInputFile(f, false, ctx), 0);
    EXPECT_EQ(host.asked.size(), 1u);
    ctx.quiet = false;
    host.answer = button::Cancel;
    EXPECT_EQ(AddInputFile(f, false, ctx), -1) << "Cancel stops the batch";
}

TEST_F(InputSources, NoFindingsIsReportedOrLoggedAndForgotten)
{
    const std::string f = dir.Write("empty.txt", "hello");
    EXPECT_EQ(AddInputFile(f, false, ctx), 0);
    ASSERT_EQ(host.asked.size(), 1u);
    EXPECT_EQ(host.asked[0], (std::pair<int, std::string>{101, "empty.txt"}));
    EXPECT_TRUE(list.m_InputNames.empty()) << "can be tried again";
    EXPECT_TRUE(ctx.inputList.empty());
    host.KeepLog(true);
    ctx.quiet = true;
    EXPECT_EQ(AddInputFile(f, false, ctx), 0);
    EXPECT_EQ(scanned.size(), 2u);
    EXPECT_EQ(host.asked.size(), 1u);
    EXPECT_NE(host.LogText().find("No recognized encoded data or messages found in empty.txt"),
              std::string::npos);
    ctx.quiet = false;
    host.answer = button::Cancel;
    EXPECT_EQ(AddInputFile(f, false, ctx), -1);
}

TEST_F(InputSources, FailedScanRemovesItsPartsAgain)
{
    const std::string good = dir.Write("good.txt", "parts=2");
    const std::string bad = dir.Write("bad.txt", "fail");
    ASSERT_EQ(AddInputFile(good, false, ctx), 2);
    EXPECT_EQ(AddInputFile(bad, false, ctx), -1);
    EXPECT_EQ(list.GetSize(), 2) << "only the good file's parts remain";
    for (int g = 0; g < list.GetSize(); ++g)
        EXPECT_EQ(list.GetAt(g)->GetAt(0)->m_File, Real(good));
    EXPECT_EQ(list.m_InputNames.count(Real(bad)), 0u);
}

TEST_F(InputSources, FolderScansItsNewRegularFilesInOrderFollowingNothing)
{
    ASSERT_EQ(AddInputFile(dir.Write("0.txt", "parts=1"), false, ctx), 1);
    dir.Write("b.txt", "parts=1");
    dir.Write("a.txt", "parts=2");
    dir.Write("c.txt", "nothing");
    ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0755), 0);
    dir.Write("sub/deep.txt", "parts=5");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    // Links inside the folder are not followed: a symbolic link is skipped,
    // a link file is read as the text it is.
    ASSERT_EQ(::symlink((dir / "sub/deep.txt").c_str(), (dir / "d-link.txt").c_str()), 0);
    dir.Write("e.desktop", "[Desktop Entry]\nType=Link\nURL=file://" + dir.Path().string() + "/sub\n");
    EXPECT_EQ(AddInputFile(dir.Path().string(), false, ctx), 3);
    EXPECT_EQ(scanned,
              (std::vector<std::string>{Real(dir / "0.txt"), Real(dir / "a.txt"), Real(dir / "b.txt"),
                                        Real(dir / "c.txt"), Real(dir / "e.desktop")}))
        << "the file scanned before is skipped";
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

TEST_F(InputSources, LinksScanTheirTargetOnce)
{
    const std::string target = dir.Write("my mail.txt", "parts=2");
    ASSERT_EQ(::symlink(target.c_str(), (dir / "link.txt").c_str()), 0);
    EXPECT_EQ(AddInputFile(dir / "link.txt", false, ctx), 2);
    EXPECT_EQ(AddInputFile(target, false, ctx), 0) << "the target is the same input";
    const std::string other = dir.Write("other mail.txt", "parts=1");
    const std::string link = dir.Write("mail.desktop", "[Desktop Entry]\nName=Mail\nType=Link\nURL=file://" +
                                                           dir.Path().string() + "/other%20mail.txt\n");
    EXPECT_EQ(DesktopLinkTarget(link), other);
    EXPECT_EQ(AddInputFile(link, false, ctx), 1);
    EXPECT_EQ(scanned, (std::vector<std::string>{Real(target), Real(other)}));
}

TEST_F(InputSources, DesktopFilesThatAreNotLocalLinksAreOrdinaryFiles)
{
    for (const std::string text : {"[Desktop Entry]\nType=Application\nURL=file:///etc/passwd\n",
                                   "[Desktop Entry]\nType=Link\nURL=https://example.org/x\n",
                                   "[Other]\nType=Link\nURL=file:///etc/passwd\n"})
        EXPECT_FALSE(DesktopLinkTarget(dir.Write("x.desktop", text)).has_value()) << text;
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
