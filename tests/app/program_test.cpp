#include "app/program.h"

#include "app/core_engine.h"
#include "app/settings_ini.h"
#include "app/unattended.h"
#include "extract/extract_fixture.h"
#include "fake_engine.h"
#include "model/list_dump.h"
#include "platform/headless_host.h"

#include <sstream>

namespace zarvex {
namespace {

using Args = std::vector<std::string>;

class Program : public ::testing::Test
{
protected:
    Program() { std::filesystem::create_directory(outDir); }
    int Run(Args args)
    {
        out.str({});
        err.str({});
        return RunProgram(args, engine, [this] { return iniPath; }, out, err);
    }
    // An extraction run into `outDir` with more arguments.
    int Extract(Args more)
    {
        more.insert(more.begin(), {"--extract", "--outdir=" + outDir});
        return Run(more);
    }
    std::string In(const std::string& names) { return dir.Write("in.txt", names); }

    test::TempDir dir;
    std::string iniPath = dir / "Zarvex.ini";
    std::string outDir = dir / "out";
    test::FakeEngine engine;
    std::ostringstream out, err;
};

TEST_F(Program, HelpVersionAndRunsThatNeedTheWindowTouchNoSettings)
{
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(out.str().find("--extract"), std::string::npos);
    EXPECT_NE(out.str().find("--save-raw"), std::string::npos);
    EXPECT_TRUE(err.str().empty());
    EXPECT_EQ(Run({"--version"}), 0);
    EXPECT_EQ(out.str(), "zarvex 0.1.0\n");
    EXPECT_EQ(Run({In("a.bin\n")}), kExitNeedsDesktop);
    EXPECT_EQ(Run({}), kExitNeedsDesktop);
    EXPECT_TRUE(engine.scanned.empty());
    EXPECT_FALSE(test::FileExists(iniPath));
}

TEST_F(Program, UnknownSwitchesStopTheRunAndTheClipboardNeedsTheDesktop)
{
    EXPECT_EQ(Extract({"--bogus", In("a.bin\n")}), kExitUsage);
    EXPECT_NE(err.str().find("--bogus"), std::string::npos);
    EXPECT_TRUE(engine.scanned.empty());
    EXPECT_EQ(Extract({"--readclipboard", In("b.bin\n")}), 255) << "the clipboard needs the desktop";
    EXPECT_NE(err.str().find("--readclipboard"), std::string::npos);
    EXPECT_TRUE(test::FileExists(outDir + "/b.bin"));
    EXPECT_EQ(Extract({"/Silent", dir / "gone.txt"}), 255) << "silent keeps the status";
    EXPECT_TRUE(err.str().empty()) << err.str();
}

TEST_F(Program, WildcardsTheShellLeftAreExpandedAndAFailedScanStopsTheRun)
{
    for (const char* name : {"b.txt", "a.txt", "c.eml"}) dir.Write(name, std::string(1, name[0]) + ".bin\n");
    EXPECT_EQ(Extract({dir / "*.txt"}), 2);
    ASSERT_EQ(engine.scanned.size(), 2u);
    EXPECT_NE(engine.scanned[0].find("a.txt"), std::string::npos);
    EXPECT_EQ(Extract({dir / "*.none"}), 0) << "no match does nothing";
    dir.Write("a.txt", "x.bin\ncrash\n");
    engine.scanned.clear();
    EXPECT_EQ(Extract({dir / "?.txt"}), 255);
    EXPECT_EQ(engine.scanned.size(), 1u);
    EXPECT_FALSE(test::FileExists(outDir + "/x.bin")) << "the failed input's parts were dropped";
}

TEST_F(Program, SettingsAreCreatedRememberTheOutputFolderAndKeepHandEdits)
{
    EXPECT_EQ(Extract({In("a.bin\n")}), 1);
    IniFile ini;
    ASSERT_EQ(ini.Load(iniPath), 0);
    const AppSettings saved = LoadSettings(ini);
    EXPECT_EQ(saved.Dirs[0], outDir);
    EXPECT_FALSE(saved.Minimized);
    // Without --outdir the remembered folder is used.
    std::remove((outDir + "/a.bin").c_str());
    ini.Set("Preferences", "MyKey", "1");
    test::WriteFile(iniPath, "; mine\n" + ini.Text());
    EXPECT_EQ(Run({"--extract", dir / "in.txt"}), 1);
    EXPECT_TRUE(test::FileExists(outDir + "/a.bin"));
    const std::string text = test::ReadFile(iniPath);
    EXPECT_EQ(text.rfind("; mine\n", 0), 0u) << text;
    EXPECT_EQ(IniFile(text).GetString("Preferences", "MyKey"), "1") << text;
}

TEST_F(Program, WithoutASettingsFileTheCheckedDefaultsApply)
{
    iniPath.clear();
    EXPECT_EQ(Extract({In("a.bin\n")}), 1);
    EXPECT_EQ(engine.workingDir, DefaultTempFolder()) << "temporary files never go to the current folder";
}

TEST(ExitStatus, CountsAndFailures)
{
    const std::pair<int, int> cases[] = {{0, 0},     {7, 7},      {253, 253}, {254, 253},
                                         {100000, 253}, {-1, 255}, {-2, 254}, {-7, 255}};
    for (const auto& [result, status] : cases) EXPECT_EQ(ExitStatusFor(result), status) << result;
}

// The run over a stand-in engine for its own logic, and over the real core.
class Unattended : public ::testing::Test
{
protected:
    Unattended() : list(settings, &host) { std::filesystem::create_directory(dir / "out"); }
    CSortInfo* AddGroup(std::vector<std::string> names, int status)
    {
        CSortInfo* group = list.NewGroup();
        for (const std::string& name : names) {
            auto* part = new CFInfo;
            part->m_File = dir / "in.txt";
            part->m_DestFile = name;
            group->Append(part);
            if (!name.empty()) group->m_Named.push_back(part);
        }
        group->m_Status = status;
        return group;
    }
    int Run(Engine& engine) { return RunUnattendedExtraction(list, settings, run, host, engine, dir / "out"); }
    void Scan(const std::string& name, const std::string& body)
    {
        const std::string path = dir.Write(name, "From: poster@example.org\nSubject: files\n\n" + body);
        list.AddInputFile(path);
        core.Scan(path, list, settings, run, host);
    }

    test::TempDir dir;
    Settings settings;
    RunContext run;
    HeadlessHost host;
    MyCObArray list;
    test::FakeEngine fake;
    CoreEngine core;
};

TEST_F(Unattended, EveryNamedPartOfEveryGroupInOrderWithTheSharedOverwriteAnswer)
{
    EXPECT_EQ(Run(fake), 0) << "an empty list succeeds";
    EXPECT_EQ(fake.evaluations, 1);
    AddGroup({"a.bin", "", "b.bin"}, GS_COMPLETE);
    AddGroup({""}, GS_MISSING); // nothing named: nothing to write
    AddGroup({"c.bin"}, GS_COMPLETE);
    settings.Overwrite = true;
    EXPECT_EQ(Run(fake), 3);
    EXPECT_EQ(fake.extracted, (std::vector<std::string>{"a.bin", "b.bin", "c.bin"}));
    EXPECT_EQ(fake.answers, (std::vector<int>{2, 2, 2}));
}

TEST_F(Unattended, FailuresFailTheRunWhichGoesOnAndStatusBitsFollowTheResult)
{
    CSortInfo* good = AddGroup({"a.bin"}, GS_COMPLETE | ST_NOTEXTRACTED);
    CSortInfo* skipped = AddGroup({"skip.bin"}, GS_COMPLETE);
    AddGroup({"fail.bin"}, GS_COMPLETE); // nothing written
    AddGroup({"b.bin"}, GS_COMPLETE);
    EXPECT_EQ(Run(fake), -1);
    EXPECT_EQ(fake.extracted, (std::vector<std::string>{"a.bin", "b.bin"}));
    EXPECT_EQ(good->m_Status, GS_COMPLETE) << "a written group loses the bits above the low four";
    EXPECT_EQ(skipped->m_Status, GS_COMPLETE | ST_NOTEXTRACTED);
    // A damaged output is written but fails the run and keeps its mark.
    list.RemoveAll();
    CSortInfo* damaged = AddGroup({"damaged.bin"}, GS_COMPLETE | ST_NOTEXTRACTED);
    EXPECT_EQ(Run(fake), -1);
    EXPECT_EQ(damaged->m_Status, GS_COMPLETE | ST_DATAERROR);
}

TEST_F(Unattended, TwoBeginSectionsInOneMailGiveTwoFiles)
{
    const test::Bytes one = test::RandomBytes(4'500, 1), two = test::RandomBytes(2'000, 2);
    Scan("two.eml", test::UuFile(one, "one.bin") + "\n" + test::UuFile(two, "two.bin"));
    EXPECT_EQ(Run(core), 2);
    EXPECT_EQ(test::ReadFile(dir / "out/one.bin"), one);
    EXPECT_EQ(test::ReadFile(dir / "out/two.bin"), two);
}

TEST_F(Unattended, AnOutputThatWroteNothingFailsAndItsPartSaysSo)
{
    const std::string uu = test::UuFile(test::RandomBytes(4'500, 3), "gone.bin");
    Scan("gone.eml", uu);
    // Every line after "begin" is overwritten after the scan: the output gets no data.
    std::string text = test::ReadFile(dir / "gone.eml");
    for (std::size_t i = text.find('\n', text.find("begin ")); i < text.size(); ++i)
        if (text[i] != '\n') text[i] = 'x';
    test::WriteFile(dir / "gone.eml", text);
    host.KeepLog(true);
    EXPECT_EQ(Run(core), -1) << host.LogText();
    const CFInfo& part = *list[0]->GetAt(0);
    EXPECT_NE(part.m_Status & ST_NOTEXTRACTED, 0);
    EXPECT_NE(ReportText(list).find("Extract Status: " + std::to_string(part.m_Status) + "\r\n"),
              std::string::npos);
}

} // namespace
} // namespace zarvex
