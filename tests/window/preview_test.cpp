#include "app/window/commands.h"
#include "window_fixture.h"

#include <QAction>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdlib>
#include <filesystem>

namespace zarvex::test {
namespace {

// A desktop of its own: image/jpeg opens with a test viewer that writes its
// arguments to a file, chosen before anything the system offers.
class PreviewTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        for (const char* d : {"xdg/config", "xdg/data/applications", "xdg/system"})
            std::filesystem::create_directories(dir / d);
        for (const auto& [var, path] : {std::pair{"XDG_CONFIG_HOME", "xdg/config"},
                                        {"XDG_DATA_HOME", "xdg/data"},
                                        {"XDG_DATA_DIRS", "xdg/system"},
                                        {"XDG_CONFIG_DIRS", "xdg/system"}}) {
            const char* old = std::getenv(var);
            saved.emplace_back(var, old ? std::optional<std::string>(old) : std::nullopt);
            // The system's folders stay last: its MIME database tells the types.
            const std::string value =
                dir / path + (std::string_view(var) == "XDG_DATA_DIRS" ? ":/usr/share" : "");
            ::setenv(var, value.c_str(), 1);
        }
        const std::string viewer = dir.Write("viewer.sh", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n");
        std::filesystem::permissions(viewer, std::filesystem::perms::owner_all);
        dir.Write("xdg/data/applications/viewer.desktop",
                  "[Desktop Entry]\nType=Application\nName=Test Viewer\nExec=" + viewer + " --view %f\n");
        dir.Write("xdg/config/mimeapps.list", "[Default Applications]\nimage/jpeg=viewer.desktop\n");
    }
    void TearDown() override
    {
        for (const auto& [var, value] : saved)
            value ? ::setenv(var, value->c_str(), 1) : ::unsetenv(var);
    }
    void PreviewFirst()
    {
        window->OutputList()->setCurrentItem(window->OutputList()->topLevelItem(0));
        window->Action(cmd::Preview)->trigger();
    }

    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
};

TEST_F(PreviewTest, TheViewerGetsTheCopyAsOneArgumentAndTheCopyIsWipedAtTheEnd)
{
    const std::string name = "my photo's $(id) `x`.jpg";
    const Bytes data = RandomBytes(2000, 3);
    Read(UuPosting(name, data, 1), "a");
    ASSERT_EQ(Names(), std::vector<std::string>{name});
    PreviewFirst();

    const std::string args = dir / "viewer.sh.args";
    ASSERT_TRUE(QTest::qWaitFor([&] { return ReadFile(args).find('\n') != std::string::npos; }, 10'000));
    const Bytes recorded = ReadFile(args);
    ASSERT_TRUE(recorded.starts_with("--view\n")) << recorded;
    const std::string copy = recorded.substr(7, recorded.size() - 8);
    EXPECT_EQ(std::filesystem::path(copy).filename(), name);
    EXPECT_EQ(ReadFile(copy), data);
    window.reset();
    EXPECT_FALSE(FileExists(copy));
}

TEST_F(PreviewTest, RiskyTypesAskFirstWithNoAsTheDefault)
{
    for (const char* name : {"setup.exe", "install.sh"}) {
        window->ClearAll();
        Read(UuPosting(name, RandomBytes(900, 4), 1), "a");
        bool asked = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            asked = box->defaultButton() == box->button(QMessageBox::No);
            box->button(QMessageBox::No)->click();
        });
        PreviewFirst();
        EXPECT_TRUE(asked) << name;
        EXPECT_FALSE(FileExists(dir / "viewer.sh.args"));
    }
}

} // namespace
} // namespace zarvex::test
