#include "app/window/extract_dialog.h"
#include "window_fixture.h"

namespace zarvex::test {
namespace {

// The system's folders stay last: its MIME database tells the types.
constexpr std::pair<const char*, const char*> kXdg[] = {
    {"XDG_CONFIG_HOME", "xdg/config"}, {"XDG_DATA_HOME", "xdg/data"},
    {"XDG_DATA_DIRS", "xdg/system:/usr/share"}, {"XDG_CONFIG_DIRS", "xdg/system"}};

// A desktop of its own: image/jpeg opens with a test viewer that writes its
// arguments to a file, chosen before anything the system offers.
class PreviewTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        for (const char* folder : {"xdg/config", "xdg/data/applications", "xdg/system"}) Mkdir(folder);
        for (int i = 0; i < 4; ++i) {
            if (const char* old = std::getenv(kXdg[i].first)) saved[i] = old;
            ::setenv(kXdg[i].first, (dir / kXdg[i].second).c_str(), 1);
        }
        const std::string viewer = dir.Write("viewer.sh", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n");
        fs::permissions(viewer, fs::perms::owner_all);
        dir.Write("xdg/data/applications/viewer.desktop",
                  "[Desktop Entry]\nType=Application\nName=Test Viewer\nExec=" + viewer + " --view %f\n");
        dir.Write("xdg/config/mimeapps.list", "[Default Applications]\nimage/jpeg=viewer.desktop\n");
    }
    void TearDown() override
    {
        for (int i = 0; i < 4; ++i)
            saved[i] ? ::setenv(kXdg[i].first, saved[i]->c_str(), 1) : ::unsetenv(kXdg[i].first);
    }
    void PreviewFirst()
    {
        SetCurrent(0);
        window->Action(cmd::Preview)->trigger();
    }

    std::optional<std::string> saved[4];
};

TEST_F(PreviewTest, TheViewerGetsTheCopyAsOneArgumentAndTheCopyIsWipedAtTheEnd)
{
    const std::string name = "my photo's $(id) `x`.jpg";
    const Bytes data = RandomBytes(2000, 3);
    Read(UuPosting(name, data, 1), "a");
    ASSERT_EQ(Listed(), Names{name});
    PreviewFirst();
    const std::string args = dir / "viewer.sh.args";
    ASSERT_TRUE(QTest::qWaitFor([&] { return ReadFile(args).find('\n') != std::string::npos; }, 10'000));
    const Bytes recorded = ReadFile(args);
    ASSERT_TRUE(recorded.starts_with("--view\n")) << recorded;
    const std::string copy = recorded.substr(7, recorded.size() - 8);
    EXPECT_EQ(fs::path(copy).filename(), name);
    EXPECT_EQ(ReadFile(copy), data);
    window.reset();
    EXPECT_FALSE(FileExists(copy));
}

// Without a viewer the Extract dialog says why it opens; after Cancel the
// entry can still be previewed.
TEST_F(PreviewTest, WithoutAViewerTheExtractDialogSaysWhy)
{
    Read({UuMail("data.zzq", 4)}, "a");
    EXPECT_TRUE(AnswerDialog<ExtractDialog>([&] { PreviewFirst(); }, [](ExtractDialog& d) {
        EXPECT_TRUE(d.Note().contains("data.zzq"));
        d.reject();
    }));
    EXPECT_TRUE(Enabled(cmd::Preview) && Enabled(cmd::Properties));
}

TEST_F(PreviewTest, RiskyTypesAskFirstWithNoAsTheDefault)
{
    for (const char* name : {"setup.exe", "install.sh"}) {
        window->ClearAll();
        Read({UuMail(name, 4)}, "a");
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
