#include "app/desktop/associations.h"
#include "app/desktop/desktop_files.h"
#include "app/ini_file.h"
#include "app/program.h"
#include "fake_engine.h"

#include <sstream>

namespace zarvex {
namespace {

// The user's desktop folders inside a temporary folder.
class Desktop : public ::testing::Test
{
protected:
    Desktop()
    {
        paths = {dir / "data", dir / "config"};
        std::filesystem::create_directory(paths.configHome);
        ::setenv("XDG_DATA_HOME", paths.dataHome.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", paths.configHome.c_str(), 1);
    }
    ~Desktop() override
    {
        ::unsetenv("XDG_DATA_HOME");
        ::unsetenv("XDG_CONFIG_HOME");
    }

    std::string Default(std::string_view mimeType) const
    {
        IniFile list;
        list.Load(paths.MimeAppsList());
        return list.GetString(kDefaultApplications, mimeType);
    }

    test::TempDir dir;
    DesktopPaths paths;
};

TEST_F(Desktop, RegistrationWritesTheFilesOnceAndLeavesThemAloneWhenUnchanged)
{
    const std::string program = dir / "build/zarvex";
    EXPECT_EQ(RegisterDesktopFiles(paths, program), 1);
    const std::string entry = test::ReadFile(paths.DesktopFile());
    EXPECT_NE(entry.find("Exec=" + program + " %F\n"), std::string::npos);
    EXPECT_NE(entry.find("[Desktop Action Extract]\nName=Zarvex Extract here:\nExec=" + program +
                         " --extract \"--outdir=*\" %F\n"),
              std::string::npos);
    for (const FileAssociation& a : kFileAssociations) {
        EXPECT_NE(entry.find(std::string(a.mimeType) + ";"), std::string::npos) << a.extension;
        EXPECT_NE(test::ReadFile(paths.MimePackage()).find("type=\"" + std::string(a.mimeType) + "\""),
                  std::string::npos);
    }
    const auto before = std::filesystem::last_write_time(paths.DesktopFile());
    EXPECT_EQ(RegisterDesktopFiles(paths, program), 0);
    EXPECT_EQ(std::filesystem::last_write_time(paths.DesktopFile()), before);
    EXPECT_EQ(RegisterDesktopFiles(paths, dir / "moved/zarvex"), 1) << "a moved program is written again";
}

TEST_F(Desktop, TakingAnAssociationRemembersThePreviousDefaultAndDroppingRestoresIt)
{
    test::WriteFile(paths.MimeAppsList(), "[Default Applications]\ntext/x-uuencode=other.desktop;\n");
    IniFile settings;
    AssociationStates wanted{};
    wanted[0] = wanted[3] = true; // ".UUE", and ".MM" (the box labelled ".&MM")
    auto outcome = ApplyAssociations(paths, wanted, settings);
    EXPECT_TRUE(outcome.changed);
    EXPECT_TRUE(outcome.errors.empty());
    EXPECT_EQ(ReadAssociations(paths), wanted);
    EXPECT_EQ(settings.GetString(kAssociationSection, "Pref1"), "other.desktop;");
    EXPECT_FALSE(settings.Get(kAssociationSection, "Pref4")) << "no previous default";
    EXPECT_EQ(Default("application/x-zarvex-mm"), "zarvex.desktop;");

    EXPECT_FALSE(ApplyAssociations(paths, wanted, settings).changed) << "nothing to do";
    outcome = ApplyAssociations(paths, AssociationStates{}, settings);
    EXPECT_TRUE(outcome.changed);
    EXPECT_EQ(Default("text/x-uuencode"), "other.desktop;");
    EXPECT_FALSE(
        IniFile(test::ReadFile(paths.MimeAppsList())).Get(kDefaultApplications, "application/x-zarvex-mm"));
    EXPECT_FALSE(settings.Get(kAssociationSection, "Pref1"));
}

TEST_F(Desktop, UninstallRestoresOtherProgramsRemovesOurFilesAndTheSettings)
{
    RegisterDesktopFiles(paths, dir / "zarvex");
    test::WriteFile(paths.MimeAppsList(),
                    "[Default Applications]\napplication/mac-binhex40=stuffit.desktop;\n");
    IniFile settings;
    AssociationStates wanted{};
    wanted[5] = wanted[1] = true; // ".HQX", ".UU"
    ApplyAssociations(paths, wanted, settings);
    const std::string ini = dir.Write("Zarvex.ini", settings.Text());

    test::FakeEngine engine;
    std::ostringstream out, err;
    EXPECT_EQ(RunProgram({"/uninstall"}, engine, [&] { return ini; }, out, err), 0) << err.str();
    EXPECT_EQ(out.str(), "File associations removed and/or restored.  Zarvex32 may be deleted.\n");
    EXPECT_EQ(Default("application/mac-binhex40"), "stuffit.desktop;");
    EXPECT_EQ(ReadAssociations(paths), AssociationStates{});
    for (const std::string& gone : {paths.DesktopFile(), paths.MimePackage(), ini})
        EXPECT_FALSE(test::FileExists(gone)) << gone;
    EXPECT_EQ(RunProgram({"--uninstall", "--silent"}, engine, [&] { return ini; }, out, err), 0);
    EXPECT_EQ(out.str(), "File associations removed and/or restored.  Zarvex32 may be deleted.\n")
        << "silent: nothing more said";
}

TEST(DesktopInstall, ShippedFilesMatchWhatTheProgramWritesWhoseExecLinesQuoteReservedCharacters)
{
    EXPECT_NE(
        DesktopEntryText("/opt/my apps/100%/za\"rv$ex").find(R"(Exec="/opt/my apps/100%%/za\\"rv\\$ex" %F)"),
        std::string::npos);
    EXPECT_EQ(test::ReadFile(ZARVEX_SOURCE_DIR "/data/zarvex.xml"), MimePackageText());
    EXPECT_EQ(test::ReadFile(ZARVEX_SOURCE_DIR "/data/zarvex.desktop"), DesktopEntryText("zarvex"));
}

} // namespace
} // namespace zarvex
