#include "platform/desktop_apps.h"
#include "support/test_support.h"

#include <filesystem>

namespace zarvex::test {
namespace {

class DesktopAppsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folders.configHome = dir / "config";
        folders.dataHome = dir / "data";
        folders.dataDirs = {dir / "system"};
        for (const char* d : {"config", "data/applications", "system/applications"})
            std::filesystem::create_directories(dir / d);
    }
    void App(const std::string& where, const std::string& id, const std::string& extra)
    {
        WriteFile(dir / (where + "/applications/" + id),
                  "[Desktop Entry]\nType=Application\nName=" + id + "\nExec=" + id + " %f\n" + extra);
    }
    std::string Found(const char* type) const
    {
        const auto app = FindDefaultApp(type, folders);
        return app ? app->id : "none";
    }

    TempDir dir;
    XdgFolders folders;
};

TEST_F(DesktopAppsTest, DefaultsThenAddedThenListedTypesAndRemovalsCount)
{
    App("system", "cached.desktop", "MimeType=image/png;text/plain;\n");
    App("system", "removed.desktop", "MimeType=application/zip;\n");
    App("data", "viewer.desktop", "");
    App("data", "hidden.desktop", "Hidden=true\n");
    App("system", "added.desktop", "");
    WriteFile(dir / "config/mimeapps.list", "[Default Applications]\nimage/png=missing.desktop;hidden.desktop;viewer.desktop\n"
                                            "[Added Associations]\nimage/jpeg=added.desktop;\n"
                                            "[Removed Associations]\napplication/zip=removed.desktop\n");
    EXPECT_EQ(Found("image/png"), "viewer.desktop");
    EXPECT_EQ(Found("image/jpeg"), "added.desktop");
    EXPECT_EQ(Found("text/plain"), "cached.desktop");
    EXPECT_EQ(Found("application/zip"), "none");
    EXPECT_EQ(Found("video/mp4"), "none");
}

TEST(DesktopApps, ExecBecomesArgumentsAndTheFileStaysOneArgument)
{
    const std::string file = "/tmp/a b \"q\" $(touch x) `y`.png";
    DesktopApp app{"v.desktop", "/apps/v.desktop", "My Viewer", "", "viewer-icon"};
    auto expand = [&](const char* exec) {
        app.exec = exec;
        return ExpandExec(app, file);
    };
    using Args = std::vector<std::string>;
    EXPECT_EQ(expand("viewer --open %f"), (Args{"viewer", "--open", file}));
    EXPECT_EQ(expand("\"/opt/my app/bin\" --title=%c %i %U"),
              (Args{"/opt/my app/bin", "--title=My Viewer", "--icon", "viewer-icon", file}));
    EXPECT_EQ(expand("viewer \"quoted \\\"arg\\\" \\$HOME\" 100%%"), (Args{"viewer", "quoted \"arg\" $HOME", "100%", file}));
    EXPECT_EQ(expand("viewer %d %k"), (Args{"viewer", "/apps/v.desktop", file}));
    EXPECT_TRUE(expand("viewer \"unclosed").empty());
    EXPECT_TRUE(expand("").empty());
}

TEST(DesktopApps, NumberedPiecesOpenAsTheirArchiveAndRiskyTypesAreKnown)
{
    EXPECT_EQ(ViewerLookupName("holiday.rar.001"), "holiday.rar");
    EXPECT_EQ(ViewerLookupName("holiday.001"), "holiday.001");
    EXPECT_EQ(ViewerLookupName("rar.001"), "rar.001");
    for (const char* e : {"EXE", "sh", "AppImage", "Desktop", "ps1"})
        EXPECT_TRUE(IsRiskyExtension(e)) << e;
    for (const char* e : {"jpg", "", "exe2"})
        EXPECT_FALSE(IsRiskyExtension(e)) << e;
}

} // namespace
} // namespace zarvex::test
