#include "app/ini_file.h"

#include "app/ini_location.h"
#include "app/settings_ini.h"
#include "model/data_types.h"
#include "support/test_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zarvex {
namespace {

TEST(IniFileRead, SectionsKeysNumbersQuotesAndComments)
{
    const IniFile ini("[Preferences]\nEOLConversion = 0 \n[recent dir list]\nDir1=  /home/me/out  \n"
                      "[S]\na=12abc\nb=abc\nc=-5\nd=99999999999999\ne=\nf=-99999999999999\n;x=1\n# y=2\nx=3\nx=4\n"
                      "q1=\" spaced \"\nq2='x'\nq3=\"unbalanced\n[S]\nz=5\n");
    EXPECT_EQ(ini.GetInt("preferences", "eolconversion", 1), 0) << "names ignore case, values are trimmed";
    const std::pair<const char*, int> numbers[] = {
        {"Missing", 7}, {"a", 12}, {"b", 0} /* present without digits */, {"c", -5},
        {"d", INT32_MAX} /* saturates */, {"e", 0}, {"f", INT32_MIN}, {"x", 3} /* the first one wins */};
    for (const auto& [key, expected] : numbers) EXPECT_EQ(ini.GetInt("S", key, 7), expected) << key;
    EXPECT_FALSE(ini.Get("S", "y") || ini.Get("S", "z")) << "comments are not keys; the first [S] is read";
    for (const auto& [key, expected] : {std::pair{"q1", " spaced "}, {"q2", "x"}, {"q3", "\"unbalanced"}})
        EXPECT_EQ(ini.GetString("S", key), expected) << key;
    EXPECT_EQ(ini.GetString("Recent Dir List", "DIR1"), "/home/me/out");
    EXPECT_EQ(ini.GetString("Nowhere", "Dir1"), "");
}

TEST(IniFileWrite, SettingAKeyKeepsEverythingElseNewKeysGoLastInTheirSectionAndValuesReadBackExactly)
{
    const std::string text = "; by hand\n[Preferences]\n; note\nEOLConversion=1\nMyOwnKey=hello\n\n[B]\ny=2\n";
    IniFile ini(text);
    ini.SetInt("Preferences", "EOLConversion", 0);
    ini.Set("Preferences", "z", "3");
    ini.Set("C", "w", "4");
    EXPECT_EQ(ini.Text(), "; by hand\n[Preferences]\n; note\nEOLConversion=0\nMyOwnKey=hello\nz=3\n\n[B]\ny=2\n"
                          "\n[C]\nw=4\n");
    IniFile crlf("[A]\r\nx=1\r\n");
    crlf.Set("A", "y", "2");
    EXPECT_EQ(crlf.Text(), "[A]\r\nx=1\r\ny=2\r\n");
    // Values read back exactly, and line breaks cannot add keys.
    for (const std::string value : {" lead", "trail ", "\"q\"", "plain", "", "a=b", "semi;colon"}) {
        ini.Set("S", "k", value);
        EXPECT_EQ(IniFile(ini.Text()).GetString("S", "k"), value) << value;
    }
    IniFile dirs;
    dirs.Set("Recent Dir List", "Dir1", "/tmp/a\n[Preferences]\nOverwrite=1");
    EXPECT_FALSE(IniFile(dirs.Text()).HasSection("Preferences"));
    EXPECT_EQ(IniFile(dirs.Text()).LineCount(), 2u);
}

TEST(IniFileDisk, AMissingFileIsEmptyAndSaveCreatesItOrWritesThroughASymbolicLinkKeepingTheMode)
{
    test::TempDir dir;
    IniFile none;
    EXPECT_EQ(none.Load(dir / "none.ini"), 0);
    EXPECT_EQ(none.LineCount(), 0u);
    EXPECT_NE(none.Load(dir.Path().string()), 0) << "a folder is an error";
    none.Set("S", "k", "v");
    ASSERT_EQ(none.Save(dir / "none.ini"), 0);
    EXPECT_EQ(test::ReadFile(dir / "none.ini"), "[S]\nk=v\n");
    const std::string real = dir.Write("real.ini", "[S]\nk=1\n");
    ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
    ASSERT_EQ(::symlink(real.c_str(), (dir / "link.ini").c_str()), 0);
    IniFile ini;
    ASSERT_EQ(ini.Load(dir / "link.ini"), 0);
    ini.SetInt("S", "k", 2);
    ASSERT_EQ(ini.Save(dir / "link.ini"), 0);
    struct stat st{};
    ASSERT_EQ(::lstat((dir / "link.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(test::ReadFile(real), "[S]\nk=2\n");
}

TEST(IniFileDisk, UnreadableFileIsAnError)
{
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    test::TempDir dir;
    IniFile ini;
    const std::string path = dir.Write("locked.ini", "[S]\nk=1\n");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    EXPECT_NE(ini.Load(path), 0);
    EXPECT_EQ(ini.LineCount(), 0u);
}

IniEnvironment EnvWithConfig(const std::string& config)
{
    return {.overridePath = "", .xdgConfigHome = config, .home = "/nonexistent-home"};
}

TEST(IniLocationPortable, NameWithPeUsesTheFileBesideTheProgramAndCreatesIt)
{
    test::TempDir dir;
    const IniLocation loc = LocateIniFile(dir / "ZarvexPE", EnvWithConfig(dir / "config"));
    EXPECT_TRUE(loc.portable);
    EXPECT_EQ(loc.path, dir / "Zarvex.ini");
    EXPECT_EQ(test::ReadFile(dir / "Zarvex.ini"), " ") << "the probe rewrites the first byte";
    test::WriteFile(dir / "Zarvex.ini", "[Window]\nCenter=40\n");
    EXPECT_TRUE(CanRewriteFirstByte(dir / "Zarvex.ini", false));
    EXPECT_EQ(test::ReadFile(dir / "Zarvex.ini"), "[Window]\nCenter=40\n") << "the probe keeps the content";
    // Only the file name counts.
    for (const auto& [name, portable] : {std::pair{"/opt/x/zarvex-pe", true}, {"/opt/x/ZARVEXPE", true},
                                         {"/home/pete/bin/zarvex", false}, {"zarvex", false}})
        EXPECT_EQ(IsPortableProgramName(name), portable) << name;
}

TEST(IniLocationUser, ConfigFolderUnlessAWritableFileIsBesideTheProgram)
{
    test::TempDir dir;
    const IniLocation loc = LocateIniFile(dir / "zarvex", EnvWithConfig(dir / "cfg"));
    EXPECT_FALSE(loc.portable);
    EXPECT_EQ(loc.path, dir / "cfg/Zarvex/Zarvex.ini");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "cfg/Zarvex")) << "the folder is created";
    EXPECT_FALSE(test::FileExists(dir / "Zarvex.ini"));
    const std::string beside = dir.Write("Zarvex.ini", "[S]\n");
    EXPECT_EQ(LocateIniFile(dir / "zarvex", EnvWithConfig(dir / "cfg")).path, beside);
    if (::geteuid() == 0) GTEST_SKIP() << "root writes every file";
    ASSERT_EQ(::chmod(beside.c_str(), 0444), 0);
    EXPECT_EQ(LocateIniFile(dir / "zarvexpe", EnvWithConfig(dir / "cfg")).path, dir / "cfg/Zarvex/Zarvex.ini")
        << "a read-only file beside the program is passed over";
}

TEST(IniLocationUser, RelativeXdgFallsBackToHomeOverrideWinsAndNoHomeMeansNoFile)
{
    test::TempDir dir;
    IniEnvironment env{.overridePath = "", .xdgConfigHome = "relative/config", .home = dir.Path().string()};
    EXPECT_EQ(LocateIniFile(dir / "zarvex", env).path, dir / ".config/Zarvex/Zarvex.ini");
    env.overridePath = "/some/where/test.ini";
    EXPECT_EQ(LocateIniFile("/usr/bin/zarvex", env).path, "/some/where/test.ini");
    EXPECT_TRUE(LocateIniFile("/nonexistent/zarvex", IniEnvironment{}).path.empty());
}

TEST(SettingsLoad, WorkingAndStreamFoldersMustBeWritable)
{
    test::TempDir dir;
    for (const std::string& none : {dir / "none", dir.Write("f", "x"), std::string()})
        EXPECT_EQ(FolderState(none), 0) << none;
    EXPECT_EQ(FolderState(dir.Path().string()), 2);
    if (::geteuid() != 0) {
        ASSERT_EQ(::mkdir((dir / "ro").c_str(), 0555), 0);
        EXPECT_EQ(FolderState(dir / "ro"), 1);
    }
    for (const std::string& bad : {std::string(), dir / "gone", dir.Write("plain", "x")})
        EXPECT_EQ(LoadSettings(IniFile("[Preferences]\nWorkingDir=" + bad + "\n")).core.WorkingDir,
                  DefaultTempFolder()) << bad;
    for (const std::string& folder : {dir.Path().string(), dir / "nope"}) {
        const AppSettings a = LoadSettings(
            IniFile("[Recent Dir List]\nStreamDir=" + folder + "\n[Preferences]\nStreamStart=1\n"));
        EXPECT_EQ(a.core.StreamStart, folder == dir.Path().string()) << folder;
        EXPECT_EQ(a.StreamResume, a.core.StreamStart);
    }
}

TEST(SettingsSave, CenterNearTheMiddleIsSavedAsCentredAndRunOnlyChoicesAreNot)
{
    for (const auto& [c, saved] : {std::pair{47, 0}, {50, 0}, {53, 0}, {0, 0}, {34, 34}, {46, 46}, {54, 54}})
        EXPECT_EQ(CenterForSaving(c), saved) << c;
    IniFile ini("[Preferences]\nOverwrite=1\n");
    AppSettings a = LoadSettings(ini);
    a.Center = 49;
    a.core.Overwrite = false; // the extract dialog's keys are its own
    a.core.IgnoreIncomplete = true;
    a.Minimized = true;
    StoreSettings(a, true, ini);
    EXPECT_EQ(ini.GetInt("Preferences", "Overwrite", -1), 1);
    EXPECT_FALSE(ini.Get("Preferences", "IgnoreIncomplete").has_value());
    EXPECT_EQ(ini.GetInt("Window", "Minimized", -1), 0) << "not remembered from an extraction run";
    StoreSettings(a, false, ini);
    EXPECT_EQ(ini.GetInt("Window", "Minimized", -1), 1);
    EXPECT_EQ(ini.GetInt("Window", "Center", -1), 0);
}

TEST(SettingsSave, EveryKindOfValueIsReadAndRoundTripsWithUnknownKeysAndComments)
{
    test::TempDir dir;
    const std::string text = "; my settings\n[Preferences]\n; keep this\nEOLConversion=0\nFutureKey=abc\n"
                             "Overwrite=5\nStreamOrder=3\nWorkingDir=" + dir.Path().string() +
                             "\n[Window]\nCoordinates=10,20,630,470\nMinimized=1\nCenter=60\n[Plugins]\nx=1\n"
                             "[Recent Dir List]\nOpenDir=/in\nDir1=/out\nDir9=/old\n"
                             "[DetectTypes]\nzip=0\nheic=0\nMSapp=0\n";
    IniFile ini(text);
    AppSettings a = LoadSettings(ini);
    // What the file says, and after saving, what it says again.
    const auto check = [&](const AppSettings& s) {
        EXPECT_EQ(s.Coordinates, "10,20,630,470");
        EXPECT_TRUE(s.Minimized);
        EXPECT_EQ(s.OpenDir, "/in");
        EXPECT_EQ(s.Dirs[8], "/old");
        EXPECT_FALSE(s.core.EOLConversion);
        EXPECT_TRUE(s.core.Overwrite) << "any non-zero value is on";
        EXPECT_EQ(s.core.StreamOrder, 3);
        EXPECT_EQ(s.core.WorkingDir, dir.Path().string());
        for (int type : {int(DT_ZIP), 71, int(DT_MSAPP)}) EXPECT_FALSE(s.core.DetectsType(type)) << type;
        EXPECT_TRUE(s.core.DetectsType(DT_GIF));
    };
    check(a);
    EXPECT_EQ(a.Center, 60);
    EXPECT_EQ(a.Dirs[0], "/out");
    EXPECT_EQ(LoadSettings(IniFile("[Preferences]\nFileMask=8\n")).core.FileMask, 8);
    EXPECT_EQ(LoadSettings(IniFile("[Preferences]\nFileMask=9\n")).core.FileMask, 1) << "above eight reads as one";

    a.Center = 50;
    a.Dirs[0] = "/dest with blanks";
    a.core.DetectTypes[DT_PDF] = false;
    StoreSettings(a, false, ini);
    const std::string saved = ini.Text();
    EXPECT_EQ(ini.GetInt("DetectTypes", "pdf", -1), 0) << "detect types are written by their short names";
    EXPECT_FALSE(ini.Get("DetectTypes", "---").has_value());
    EXPECT_NE(saved.find("; keep this\nEOLConversion=0\nFutureKey=abc\n"), std::string::npos);
    EXPECT_NE(saved.find("[Plugins]\nx=1\n"), std::string::npos);
    const AppSettings back = LoadSettings(IniFile(saved));
    check(back);
    EXPECT_EQ(back.Center, 0);
    EXPECT_FALSE(back.core.DetectsType(DT_PDF));
    EXPECT_EQ(back.Dirs[0], "/dest with blanks");

    // Saving the same values again changes nothing.
    StoreSettings(back, false, ini);
    EXPECT_EQ(ini.Text(), saved);
}

} // namespace
} // namespace zarvex
