#include "app/settings_ini.h"

#include "model/data_types.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace zarvex {
namespace {

TEST(SettingsLoad, EmptyFileGivesTheDefaults)
{
    const AppSettings a = LoadSettings(IniFile());
    EXPECT_EQ(a.Center, 34);
    EXPECT_TRUE(a.core.MimeText && a.core.NoAutoRename);
    EXPECT_FALSE(a.Minimized || a.core.Overwrite);
    EXPECT_EQ(a.core.FileMask, 1);
    for (int type = 1; type < kDataTypeCount; ++type)
        EXPECT_TRUE(a.core.DetectTypes[type]) << type;
    EXPECT_EQ(a.core.WorkingDir, DefaultTempFolder()) << "an empty working folder is replaced";
}

TEST(SettingsLoad, ReadsEveryKindOfValue)
{
    test::TempDir dir;
    const IniFile ini("[Window]\nCoordinates=10,20,630,470\nMinimized=1\nCenter=60\n"
                      "[Recent Dir List]\nOpenDir=/in\nDir1=/out\nDir9=/old\n"
                      "[Preferences]\nEOLConversion=0\nOverwrite=5\nStreamOrder=3\nWorkingDir=" +
                      dir.Path().string() + "\n[DetectTypes]\njpg=0\nheic=0\nMSapp=0\n");
    const AppSettings a = LoadSettings(ini);
    EXPECT_EQ(a.Coordinates, "10,20,630,470");
    EXPECT_TRUE(a.Minimized);
    EXPECT_EQ(a.Center, 60);
    EXPECT_EQ(a.OpenDir, "/in");
    EXPECT_EQ(a.Dirs[0], "/out");
    EXPECT_EQ(a.Dirs[8], "/old");
    EXPECT_FALSE(a.core.EOLConversion);
    EXPECT_TRUE(a.core.Overwrite) << "any non-zero value is on";
    EXPECT_EQ(a.core.StreamOrder, 3);
    EXPECT_EQ(a.core.WorkingDir, dir.Path().string());
    EXPECT_FALSE(a.core.DetectsType(DT_JPG));
    EXPECT_FALSE(a.core.DetectsType(71));
    EXPECT_FALSE(a.core.DetectsType(DT_MSAPP));
    EXPECT_TRUE(a.core.DetectsType(DT_ZIP));
    EXPECT_EQ(LoadSettings(IniFile("[Preferences]\nFileMask=8\n")).core.FileMask, 8);
    EXPECT_EQ(LoadSettings(IniFile("[Preferences]\nFileMask=9\n")).core.FileMask, 1) << "above eight reads as one";
}

TEST(SettingsLoad, WorkingAndStreamFoldersMustBeWritable)
{
    test::TempDir dir;
    for (const std::string& bad : {dir / "gone", dir.Write("plain", "x")})
        EXPECT_EQ(LoadSettings(IniFile("[Preferences]\nWorkingDir=" + bad + "\n")).core.WorkingDir,
                  DefaultTempFolder()) << bad;
    for (const std::string& folder : {dir.Path().string(), dir / "nope"}) {
        const AppSettings a = LoadSettings(
            IniFile("[Recent Dir List]\nStreamDir=" + folder + "\n[Preferences]\nStreamStart=1\n"));
        EXPECT_EQ(a.core.StreamStart, folder == dir.Path().string()) << folder;
        EXPECT_EQ(a.StreamResume, a.core.StreamStart);
    }
}

TEST(SettingsSave, CenterNearTheMiddleIsSavedAsCentred)
{
    for (int c : {47, 50, 53})
        EXPECT_EQ(CenterForSaving(c), 0) << c;
    for (int c : {0, 34, 46, 54})
        EXPECT_EQ(CenterForSaving(c), c) << c;
    AppSettings a;
    a.Center = 49;
    IniFile ini;
    StoreSettings(a, false, ini);
    EXPECT_EQ(ini.GetInt("Window", "Center", -1), 0);
}

TEST(SettingsSave, RunOnlyChoicesAreNotSaved)
{
    IniFile ini("[Preferences]\nOverwrite=1\n");
    AppSettings a = LoadSettings(ini);
    a.core.Overwrite = false; // the extract dialog's keys are its own
    a.core.IgnoreIncomplete = true;
    a.Minimized = true;
    StoreSettings(a, true, ini);
    EXPECT_EQ(ini.GetInt("Preferences", "Overwrite", -1), 1);
    EXPECT_FALSE(ini.Get("Preferences", "IgnoreIncomplete").has_value());
    EXPECT_EQ(ini.GetInt("Window", "Minimized", -1), 0) << "not remembered from an extraction run";
    StoreSettings(a, false, ini);
    EXPECT_EQ(ini.GetInt("Window", "Minimized", -1), 1);
}

TEST(SettingsSave, RoundTripKeepsValuesUnknownKeysAndComments)
{
    test::TempDir dir;
    const std::string text = "; my settings\n[Preferences]\n; keep this\nEOLConversion=0\nFutureKey=abc\n"
                             "[Window]\nCenter=50\n[Plugins]\nx=1\n[DetectTypes]\nzip=0\n";
    IniFile ini(text);
    AppSettings a = LoadSettings(ini);
    a.core.WorkingDir = dir.Path().string();
    a.Dirs[0] = "/dest with blanks";
    a.core.DetectTypes[DT_PDF] = false;
    StoreSettings(a, false, ini);
    const std::string saved = ini.Text();
    EXPECT_EQ(ini.GetInt("DetectTypes", "pdf", -1), 0) << "detect types are written by their short names";
    EXPECT_FALSE(ini.Get("DetectTypes", "---").has_value());
    EXPECT_NE(saved.find("; my settings\n"), std::string::npos);
    EXPECT_NE(saved.find("; keep this\nEOLConversion=0\nFutureKey=abc\n"), std::string::npos);
    EXPECT_NE(saved.find("[Plugins]\nx=1\n"), std::string::npos);

    const AppSettings back = LoadSettings(IniFile(saved));
    EXPECT_FALSE(back.core.EOLConversion);
    EXPECT_EQ(back.Center, 0);
    EXPECT_FALSE(back.core.DetectsType(DT_ZIP));
    EXPECT_FALSE(back.core.DetectsType(DT_PDF));
    EXPECT_TRUE(back.core.DetectsType(DT_GIF));
    EXPECT_EQ(back.Dirs[0], "/dest with blanks");
    EXPECT_EQ(back.core.WorkingDir, dir.Path().string());

    // Saving the same values again changes nothing.
    StoreSettings(back, false, ini);
    EXPECT_EQ(ini.Text(), saved);
}

TEST(FolderStateTest, MissingReadOnlyAndWritable)
{
    test::TempDir dir;
    EXPECT_EQ(FolderState(dir / "none"), 0);
    EXPECT_EQ(FolderState(dir.Write("f", "x")), 0);
    EXPECT_EQ(FolderState(""), 0);
    EXPECT_EQ(FolderState(dir.Path().string()), 2);
    if (::geteuid() != 0) {
        const std::string ro = dir / "ro";
        ASSERT_EQ(::mkdir(ro.c_str(), 0555), 0);
        EXPECT_EQ(FolderState(ro), 1);
    }
}

} // namespace
} // namespace zarvex
