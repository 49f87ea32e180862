// Extract Stream in the window: the answer No to streaming the existing
// files, inputs read while streaming, and the command during Extract.
#include "app/follow/stream_step.h"
#include "app/window/commands.h"
#include "model/records.h"
#include "window_fixture.h"

#include <QAction>
#include <QTimer>

#include <filesystem>

namespace zarvex::test {
namespace {

class StreamWindowTest : public WindowTest
{
protected:
    CFInfo* Named(const std::string& name) const
    {
        for (const auto& e : window->Entries())
            if (EntryName(e.text) == name) return e.named;
        return nullptr;
    }
    const std::string folder = dir / "stream";
};

TEST_F(StreamWindowTest, AnsweringNoStreamsTheSelectedEntriesAndExcludesTheOthers)
{
    std::filesystem::create_directory(folder);
    std::vector<std::string> posts;
    for (const char* name : {"a.bin", "b.bin", "c.bin"})
        for (const auto& m : UuPosting(name, RandomBytes(300, name[0]), 1)) posts.push_back(m);
    Read(posts, "post");
    Select({"a.bin"});
    window->StreamInto(folder); // the silent window answers No
    EXPECT_TRUE(window->StreamOn());
    EXPECT_TRUE(window->Action(cmd::ExtractStream)->isChecked());
    EXPECT_TRUE(FileExists(folder + "/a.bin"));
    EXPECT_FALSE(FileExists(folder + "/b.bin") || FileExists(folder + "/c.bin"));
    EXPECT_TRUE(Named("b.bin")->TestFlag(PF_STREAM_EXCLUDED) && Named("c.bin")->TestFlag(PF_STREAM_EXCLUDED));
    for (const auto& e : window->Entries()) EXPECT_EQ(e.group->m_ExtractMark, listing::Shown);

    // A file read or text pasted while streaming is stream decoded at once.
    Read(UuPosting("d.bin", RandomBytes(300, 4), 1), "more");
    EXPECT_TRUE(FileExists(folder + "/d.bin"));
    window->PasteText(UuPosting("e.bin", RandomBytes(300, 5), 1)[0]);
    EXPECT_TRUE(FileExists(folder + "/e.bin"));

    window->StreamOff();
    EXPECT_FALSE(window->Action(cmd::ExtractStream)->isChecked());
    EXPECT_FALSE(Named("b.bin")->TestFlag(PF_STREAM_EXCLUDED));
}

TEST_F(StreamWindowTest, StreamStartResumesStreamingAtLaunch)
{
    std::filesystem::create_directory(folder);
    WriteFile(dir / "Zarvex.ini",
              "[Recent Dir List]\nStreamDir=" + folder + "\n[Preferences]\nStreamStart=1\n");
    NewWindow();
    window->StartUp();
    EXPECT_TRUE(window->StreamOn());
}

TEST_F(StreamWindowTest, ExtractStreamDuringExtractOnlyStopsTheExtraction)
{
    std::filesystem::create_directory(folder);
    std::filesystem::create_directory(dir / "out");
    Read(UuPosting("big.bin", RandomBytes(60000, 9), 1), "big");
    window->OutputList()->clearSelection();
    window->StreamInto(folder); // No, with nothing selected: nothing streamed
    ASSERT_FALSE(FileExists(folder + "/big.bin"));
    bool enabledInside = false;
    QTimer::singleShot(0, window.get(), [&] {
        enabledInside = window->Action(cmd::ExtractStream)->isEnabled();
        window->Action(cmd::ExtractStream)->trigger();
    });
    window->ExtractTo(dir / "out");
    EXPECT_TRUE(enabledInside);
    EXPECT_TRUE(window->StreamOn()); // not switched off
    EXPECT_FALSE(FileExists(dir / "out/big.bin"));
    window->ExtractTo(dir / "out"); // unstopped, the same extraction writes it
    EXPECT_TRUE(FileExists(dir / "out/big.bin"));
}

} // namespace
} // namespace zarvex::test
