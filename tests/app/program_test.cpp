#include "app/program.h"

#include "app/ini_file.h"
#include "app/settings_ini.h"
#include "app/unattended.h"
#include "fake_engine.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace zarvex {
namespace {

using Args = std::vector<std::string>;

class Program : public ::testing::Test
{
protected:
    int Run(Args args)
    {
        out.str({});
        err.str({});
        return RunProgram(
            args, engine, [this] { return iniPath; }, out, err);
    }
    std::string MakeOut(const std::string& name = "out")
    {
        const std::string path = dir / name;
        ::mkdir(path.c_str(), 0755);
        return path;
    }

    test::TempDir dir;
    std::string iniPath = dir / "Zarvex.ini";
    test::FakeEngine engine;
    std::ostringstream out, err;
};

TEST_F(Program, HelpVersionAndRunsThatNeedTheWindowTouchNoSettings)
{
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(out.str().find("--extract"), std::string::npos);
    EXPECT_TRUE(err.str().empty());
    EXPECT_EQ(Run({"--version"}), 0);
    EXPECT_EQ(out.str(), "zarvex 0.1.0\n");
    EXPECT_EQ(Run({dir.Write("in.txt", "a.bin\n")}), kExitNeedsDesktop);
    EXPECT_NE(err.str().find("--extract"), std::string::npos);
    EXPECT_EQ(Run({}), kExitNeedsDesktop);
    EXPECT_EQ(Run({"/uninstall", "/extract"}), kExitNeedsDesktop);
    EXPECT_NE(err.str().find("--uninstall"), std::string::npos);
    EXPECT_TRUE(engine.scanned.empty());
    EXPECT_FALSE(test::FileExists(iniPath));
}

TEST_F(Program, ExtractsEveryNamedFileAndExitsWithTheCount)
{
    const std::string outDir = MakeOut();
    const std::string in = dir.Write("in.txt", "a.bin\nb.bin\nc.bin\n");
    EXPECT_EQ(Run({"/EXTRACT", "/outdir=" + outDir, "/report=" + (dir / "r.txt"), in}), 3);
    EXPECT_EQ(test::ReadFile(outDir + "/b.bin"), "data:b.bin");
    EXPECT_EQ(test::ReadFile(dir / "r.txt"), "a.bin status 0\nb.bin status 0\nc.bin status 0\n");
    EXPECT_EQ(engine.evaluations, 1);
    EXPECT_TRUE(err.str().empty()) << err.str();
}

TEST_F(Program, AFailedOutputMakesTheRunFail)
{
    const std::string outDir = MakeOut();
    const std::string in = dir.Write("in.txt", "a.bin\nfail.bin\nb.bin\n");
    EXPECT_EQ(Run({"--extract", "--outdir=" + outDir, "--report=" + (dir / "r.txt"), in}), 255);
    EXPECT_TRUE(test::FileExists(outDir + "/b.bin")) << "the other files are still written";
    EXPECT_NE(test::ReadFile(dir / "r.txt").find("fail.bin status 64"), std::string::npos)
        << "the failed group is marked not extracted";
}

TEST_F(Program, MissingOrReadOnlyOutputFolderStopsBeforeAnything)
{
    std::string ro = dir / "ro";
    ASSERT_EQ(::mkdir(ro.c_str(), 0555), 0);
    if (FolderState(ro) == 2) ro = "/proc/sys"; // root writes anywhere; this one is read-only even for root
    const std::pair<std::string, const char*> cases[] = {{dir / "nowhere", "does not exist"}, {ro, "not writable"}};
    for (const auto& [folder, message] : cases) {
        if (folder == ro && FolderState(ro) != 1) GTEST_SKIP() << "no read-only folder available";
        EXPECT_EQ(Run({"--extract", "--outdir=" + folder, dir.Write("in.txt", "a.bin\n")}), kExitCannotStart);
        EXPECT_NE(err.str().find(message), std::string::npos) << err.str();
        EXPECT_TRUE(engine.scanned.empty());
        EXPECT_FALSE(test::FileExists(iniPath)) << "a failed start changes no settings";
    }
}

TEST_F(Program, MissingInputIsSkippedReportedAndFailsTheRun)
{
    const std::string outDir = MakeOut();
    const std::string in = dir.Write("in.txt", "a.bin\n");
    EXPECT_EQ(Run({"--extract", "--outdir=" + outDir, dir / "gone.txt", in}), 255);
    EXPECT_NE(err.str().find("gone.txt"), std::string::npos);
    EXPECT_TRUE(test::FileExists(outDir + "/a.bin")) << "the existing input is still extracted";
}

TEST_F(Program, SilentHidesWarningsButNotTheStatus)
{
    const std::string outDir = MakeOut();
    EXPECT_EQ(Run({"--extract", "/Silent", "--outdir=" + outDir, dir / "gone.txt", "--bogus"}), 255);
    EXPECT_TRUE(err.str().empty()) << err.str();
}

TEST_F(Program, UnknownSwitchesAreSkippedWithAWarning)
{
    const std::string outDir = MakeOut();
    EXPECT_EQ(Run({"--extract", "--bogus", "--outdir=" + outDir, dir.Write("in.txt", "a.bin\n")}), 1);
    EXPECT_NE(err.str().find("--bogus"), std::string::npos);
}

TEST_F(Program, WildcardsTheShellLeftAreExpanded)
{
    const std::string outDir = MakeOut();
    dir.Write("b.txt", "b.bin\n");
    dir.Write("a.txt", "a.bin\n");
    dir.Write("c.eml", "c.bin\n");
    EXPECT_EQ(Run({"--extract", "--outdir=" + outDir, dir / "*.txt"}), 2);
    ASSERT_EQ(engine.scanned.size(), 2u);
    EXPECT_NE(engine.scanned[0].find("a.txt"), std::string::npos);
    EXPECT_EQ(Run({"--extract", "--outdir=" + outDir, dir / "*.none"}), 0) << "no match does nothing";
}

TEST_F(Program, FailedScanStopsAWildcardRunAndFailsIt)
{
    const std::string outDir = MakeOut();
    dir.Write("a.txt", "a.bin\ncrash\n");
    dir.Write("b.txt", "b.bin\n");
    EXPECT_EQ(Run({"--extract", "--outdir=" + outDir, dir / "?.txt"}), 255);
    EXPECT_EQ(engine.scanned.size(), 1u);
    EXPECT_FALSE(test::FileExists(outDir + "/a.bin")) << "the failed input's parts were dropped";
}

TEST_F(Program, LogFileIsTruncatedAndMayBeStandardError)
{
    const std::string outDir = MakeOut();
    const std::string log = dir.Write("run.log", "old text that must go\n");
    EXPECT_EQ(Run({"--extract", "--outdir=" + outDir, "--logfile=" + log, dir / "gone.txt"}), 255);
    const std::string text = test::ReadFile(log);
    EXPECT_EQ(text.find("old text"), std::string::npos);
    EXPECT_NE(text.find("gone.txt"), std::string::npos);
    EXPECT_EQ(Run({"--extract", "--outdir=" + outDir, "--logfile=" + (dir / "no/such/dir/x.log")}),
              kExitCannotStart);
    EXPECT_NE(err.str().find("log file"), std::string::npos);
}

TEST_F(Program, ClipboardNeedsTheDesktop)
{
    const std::string outDir = MakeOut();
    EXPECT_EQ(Run({"--extract", "--readclipboard", "--outdir=" + outDir, dir.Write("in.txt", "a.bin\n")}),
              255);
    EXPECT_NE(err.str().find("--readclipboard"), std::string::npos);
    EXPECT_TRUE(test::FileExists(outDir + "/a.bin"));
}

TEST_F(Program, SettingsAreCreatedAndRememberTheOutputFolder)
{
    const std::string outDir = MakeOut();
    EXPECT_EQ(Run({"--extract", "--outdir=" + outDir, dir.Write("in.txt", "a.bin\n")}), 1);
    const AppSettings saved = LoadSettings([&] {
        IniFile ini;
        ini.Load(iniPath);
        return ini;
    }());
    EXPECT_EQ(saved.Dirs[0], outDir);
    EXPECT_FALSE(saved.Minimized);
    // Without --outdir the remembered folder is used.
    std::remove((outDir + "/a.bin").c_str());
    EXPECT_EQ(Run({"--extract", dir / "in.txt"}), 1);
    EXPECT_TRUE(test::FileExists(outDir + "/a.bin"));
}

TEST_F(Program, WithoutASettingsFileTheCheckedDefaultsApply)
{
    iniPath.clear();
    const std::string outDir = MakeOut();
    EXPECT_EQ(Run({"--extract", "--outdir=" + outDir, dir.Write("in.txt", "a.bin\n")}), 1);
    EXPECT_EQ(engine.workingDir, DefaultTempFolder()) << "temporary files never go to the current folder";
}

TEST_F(Program, SettingsFileKeepsHandEdits)
{
    test::WriteFile(iniPath, "; mine\n[Preferences]\nMyKey=1\n");
    const std::string outDir = MakeOut();
    Run({"--extract", "--outdir=" + outDir, dir.Write("in.txt", "a.bin\n")});
    const std::string text = test::ReadFile(iniPath);
    EXPECT_EQ(text.rfind("; mine\n[Preferences]\nMyKey=1\n", 0), 0u) << text;
}

TEST(ExitStatus, CountsAndFailures)
{
    const std::pair<int, int> cases[] = {{0, 0},     {7, 7},      {253, 253}, {254, 253},
                                         {100000, 253}, {-1, 255}, {-2, 254}, {-7, 255}};
    for (const auto& [result, status] : cases) EXPECT_EQ(ExitStatusFor(result), status) << result;
}

} // namespace
} // namespace zarvex
