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

using Strings = std::vector<std::string>;

// Records the questions asked and answers them with a chosen button.
class AskingHost : public HeadlessHost
{
public:
    int Ask(Prompt prompt, std::string_view subject) override
    {
        asked.emplace_back(static_cast<int>(prompt), std::string(subject));
        return answer;
    }
    int answer = button::Ok;
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
            const bool fail = text.rfind("fail", 0) == 0; // parts found before the failure stay listed
            const int n = fail ? 1 : text.rfind("parts=", 0) == 0 ? std::stoi(text.substr(6)) : 0;
            for (int i = 0; i < n; ++i) {
                auto* part = new CFInfo;
                part->m_File = path;
                l.NewGroup()->Init(part);
            }
            return fail ? -1 : n;
        };
    }
    int Add(const std::string& path) { return AddInputFile(path, false, ctx); }
    std::string Real(const std::string& p) const { return NormalisedPath(p); }

    test::TempDir dir;
    Settings settings;
    RunContext run;
    AskingHost host;
    MyCObArray list;
    InputContext ctx;
    Strings scanned;
};

// Missing paths, fifos and devices are skipped silently.
TEST_F(InputSources, FileWithFindingsIsListedAndOthersAreNeverScanned)
{
    const std::string f = dir.Write("a.txt", "parts=3");
    EXPECT_EQ(Add(f), 3);
    EXPECT_EQ(std::make_tuple(ctx.inputList, list.m_InputNames.count(Real(f)), list.GetSize()),
              std::make_tuple(Strings{Real(f)}, 1u, 3));
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    for (const std::string& other : {dir / "nothing-here.txt", dir / "pipe", std::string("/dev/null")})
        EXPECT_EQ(Add(other), 0) << other;
    EXPECT_EQ(std::make_tuple(scanned.size(), host.asked.size()), std::make_tuple(1u, 0u));
}

// The same file under another spelling is refused: message 100 unless
// quiet, -1 when the answer is Cancel; the first scan's parts stay.
TEST_F(InputSources, SecondAddIsRefusedWithMessage100UnlessQuiet)
{
    const std::string f = dir.Write("a.txt", "parts=1");
    ASSERT_EQ(Add(f), 1);
    EXPECT_EQ(Add(dir.Path().string() + "/./a.txt"), 0);
    ASSERT_EQ(host.asked.size(), 1u);
    EXPECT_EQ(std::make_tuple(host.asked[0].first, scanned.size(), list.GetSize()), std::make_tuple(100, 1u, 1));
    ctx.quiet = true;
    EXPECT_EQ(Add(f), 0);
    EXPECT_EQ(host.asked.size(), 1u);
    ctx.quiet = false;
    host.answer = button::Cancel;
    EXPECT_EQ(Add(f), -1);
}

// A file without findings can be tried again.
TEST_F(InputSources, NoFindingsIsReportedOrLoggedAndForgotten)
{
    const std::string f = dir.Write("empty.txt", "hello");
    EXPECT_EQ(Add(f), 0);
    EXPECT_EQ(host.asked, (std::vector<std::pair<int, std::string>>{{101, "empty.txt"}}));
    EXPECT_TRUE(list.m_InputNames.empty() && ctx.inputList.empty());
    host.KeepLog(true);
    ctx.quiet = true;
    EXPECT_EQ(Add(f), 0);
    EXPECT_EQ(std::make_tuple(scanned.size(), host.asked.size()), std::make_tuple(2u, 1u));
    EXPECT_NE(host.LogText().find("No recognized encoded data or messages found in empty.txt"), std::string::npos);
    ctx.quiet = false;
    host.answer = button::Cancel;
    EXPECT_EQ(Add(f), -1);
}

// A failed scan takes its parts away again, and ends a folder walk.
TEST_F(InputSources, FailedScanRemovesItsPartsAgainAndStopsAFolderWalk)
{
    const std::string good = dir.Write("good.txt", "parts=2");
    ASSERT_EQ(Add(good), 2);
    EXPECT_EQ(Add(dir.Write("bad.txt", "fail")), -1);
    ASSERT_EQ(list.GetSize(), 2) << "only the good file's parts remain";
    EXPECT_EQ(std::tie(list.GetAt(0)->GetAt(0)->m_File, list.GetAt(1)->GetAt(0)->m_File),
              std::make_tuple(Real(good), Real(good)));
    EXPECT_EQ(list.m_InputNames.count(Real(dir / "bad.txt")), 0u);
    std::filesystem::create_directory(dir / "walk");
    dir.Write("walk/a.txt", "parts=1");
    dir.Write("walk/b.txt", "fail");
    dir.Write("walk/c.txt", "parts=1");
    scanned.clear();
    EXPECT_EQ(Add(dir / "walk"), -1);
    EXPECT_EQ(scanned, (Strings{Real(dir / "walk/a.txt"), Real(dir / "walk/b.txt")}));
}

// Links inside the folder are not followed: a symbolic link is skipped, a
// link file is read as the text it is; the file scanned before is skipped;
// a folder walk asks nothing and restores the quiet flag.
TEST_F(InputSources, FolderScansItsNewRegularFilesInOrderFollowingNothing)
{
    ASSERT_EQ(Add(dir.Write("0.txt", "parts=1")), 1);
    dir.Write("b.txt", "parts=1");
    dir.Write("a.txt", "parts=2");
    dir.Write("c.txt", "nothing");
    ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0755), 0);
    dir.Write("sub/deep.txt", "parts=5");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    ASSERT_EQ(::symlink((dir / "sub/deep.txt").c_str(), (dir / "d-link.txt").c_str()), 0);
    dir.Write("e.desktop", "[Desktop Entry]\nType=Link\nURL=file://" + dir.Path().string() + "/sub\n");
    EXPECT_EQ(Add(dir.Path().string()), 3);
    Strings expected;
    for (const char* name : {"0.txt", "a.txt", "b.txt", "c.txt", "e.desktop"})
        expected.push_back(Real(dir / name));
    EXPECT_EQ(scanned, expected);
    EXPECT_TRUE(host.asked.empty());
    EXPECT_FALSE(ctx.quiet);
}

// A symbolic link and its target are the same input; a desktop link file
// scans the local file its URL names. Desktop files that are no local links
// are ordinary files.
TEST_F(InputSources, LinksScanTheirTargetOnce)
{
    const std::string target = dir.Write("my mail.txt", "parts=2");
    ASSERT_EQ(::symlink(target.c_str(), (dir / "link.txt").c_str()), 0);
    EXPECT_EQ(Add(dir / "link.txt"), 2);
    EXPECT_EQ(Add(target), 0);
    const std::string other = dir.Write("other mail.txt", "parts=1");
    const std::string link = dir.Write("mail.desktop", "[Desktop Entry]\nName=Mail\nType=Link\nURL=file://" +
                                                           dir.Path().string() + "/other%20mail.txt\n");
    EXPECT_EQ(DesktopLinkTarget(link), other);
    EXPECT_EQ(Add(link), 1);
    EXPECT_EQ(scanned, (Strings{Real(target), Real(other)}));
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
    EXPECT_EQ(RegularFilesIn(base), (Strings{base + "/A", base + "/z"}));
    EXPECT_EQ(RegularFilesIn(base + "/"), (Strings{base + "/A", base + "/z"}));
    EXPECT_TRUE(RegularFilesIn(base + "/none").empty());
}

} // namespace
} // namespace zarvex
