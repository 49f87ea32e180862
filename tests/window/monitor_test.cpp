// Extract Stream and monitor mode in the window: the answer No to streaming
// the existing files, inputs read while streaming, the command during
// Extract; the double click on an input entry, the timer's tick over a
// growing file, and a monitored file that goes away.
#include "app/follow/stream_step.h"
#include "support/yenc_posting.h"
#include "window_fixture.h"

#include <fstream>

namespace zarvex::test {
namespace {

class MonitorWindowTest : public WindowTest
{
protected:
    void DoubleClickInput()
    {
        QListWidget& inputs = *window->InputList();
        const QPoint at = inputs.visualItemRect(inputs.item(0)).center();
        // A double click is a press and release, then the second press.
        QTest::mouseClick(inputs.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(inputs.viewport(), Qt::LeftButton, {}, at);
    }
    bool Monitored() const { return window->InputList()->item(0)->text().startsWith('>'); }
    void Append(const std::string& text) const { std::ofstream(path, std::ios::app) << text; }
    std::int64_t ReadSize() const { return window->Inputs()[0].size; }
    std::int64_t FileSize() const { return static_cast<std::int64_t>(fs::file_size(path)); }

    const std::string picture = RandomBytes(2000, 3);
    const std::vector<std::string> articles = YencArticles(picture, "pic.bin", 700);
    const std::string path = dir / "spool.txt", stream = Mkdir("stream");
};
using StreamWindowTest = MonitorWindowTest;

bool Excluded(const CZarvexDlg& window, const std::string& name)
{
    for (const auto& e : window.Entries())
        if (EntryName(e.text) == name) return e.named->TestFlag(PF_STREAM_EXCLUDED);
    return false;
}

TEST_F(StreamWindowTest, AnsweringNoStreamsTheSelectedEntriesAndExcludesTheOthers)
{
    Read({UuMail("a.bin", 'a', 300), UuMail("b.bin", 'b', 300), UuMail("c.bin", 'c', 300)}, "post");
    Select({"a.bin"});
    window->StreamInto(stream); // the silent window answers No
    EXPECT_TRUE(window->StreamOn());
    EXPECT_TRUE(window->Action(cmd::ExtractStream)->isChecked());
    EXPECT_TRUE(FileExists(stream + "/a.bin"));
    EXPECT_FALSE(FileExists(stream + "/b.bin") || FileExists(stream + "/c.bin"));
    EXPECT_TRUE(Excluded(*window, "b.bin") && Excluded(*window, "c.bin"));
    for (const auto& e : window->Entries()) EXPECT_EQ(e.group->m_ExtractMark, listing::Shown);

    // A file read or text pasted while streaming is stream decoded at once.
    Read({UuMail("d.bin", 4, 300)}, "more");
    EXPECT_TRUE(FileExists(stream + "/d.bin"));
    window->PasteText(UuMail("e.bin", 5, 300));
    EXPECT_TRUE(FileExists(stream + "/e.bin"));

    window->StreamOff();
    EXPECT_FALSE(window->Action(cmd::ExtractStream)->isChecked());
    EXPECT_FALSE(Excluded(*window, "b.bin"));
}

TEST_F(StreamWindowTest, StreamStartResumesStreamingAtLaunch)
{
    WriteFile(dir / "Zarvex.ini", "[Recent Dir List]\nStreamDir=" + stream + "\n[Preferences]\nStreamStart=1\n");
    NewWindow();
    window->StartUp();
    EXPECT_TRUE(window->StreamOn());
}

TEST_F(StreamWindowTest, ExtractStreamDuringExtractOnlyStopsTheExtraction)
{
    const std::string out = Mkdir("out");
    Read({UuMail("big.bin", 9, 60000)}, "big");
    window->OutputList()->clearSelection();
    window->StreamInto(stream); // No, with nothing selected: nothing streamed
    ASSERT_FALSE(FileExists(stream + "/big.bin"));
    bool enabledInside = false;
    QTimer::singleShot(0, window.get(), [&] {
        enabledInside = Enabled(cmd::ExtractStream);
        window->Action(cmd::ExtractStream)->trigger();
    });
    window->ExtractTo(out);
    EXPECT_TRUE(enabledInside);
    EXPECT_TRUE(window->StreamOn()); // not switched off
    EXPECT_FALSE(FileExists(out + "/big.bin"));
    window->SetStatusText("Operation Aborted!");
    window->StreamStep(); // the step at every tick leaves the status text
    EXPECT_EQ(window->StatusText(), "Operation Aborted!");
    window->ExtractTo(out); // unstopped, the same extraction writes it
    EXPECT_TRUE(FileExists(out + "/big.bin"));
}

// With stream decoding on, the tick that reads the last part also finishes
// the output the stream step held since the first two parts.
TEST_F(MonitorWindowTest, DoubleClickTogglesMonitoringAndTheTimerReadsWhatWasAdded)
{
    Show();
    window->StreamInto(stream);
    WriteFile(path, articles[0] + articles[1]);
    window->AddInputs({path});
    EXPECT_FALSE(FileExists(stream + "/pic.bin")) << "written before its last part";
    ASSERT_FALSE(Monitored());
    DoubleClickInput();
    EXPECT_TRUE(Monitored());
    EXPECT_EQ(window->InputList()->item(0)->foreground().color(), QColor(0, 128, 0));

    Append(articles[2]);
    window->SetMonitorInterval(20);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ReadSize() == FileSize(); }, 10'000));
    ASSERT_EQ(window->Entries().size(), 1u);
    EXPECT_EQ(window->Entries()[0].group->GetSize(), 3);
    EXPECT_BYTES_EQ(picture, ReadFile(stream + "/pic.bin"));
    EXPECT_EQ(std::distance(fs::directory_iterator(stream), {}), 1) << "no temporary left";

    DoubleClickInput();
    EXPECT_FALSE(Monitored());
    EXPECT_FALSE(window->InputList()->item(0)->data(Qt::ForegroundRole).isValid());
    EXPECT_EQ(window->Inputs()[0].flags, 0u);
}

// The properties menu holds its entry's record and part while it is open.
TEST_F(MonitorWindowTest, AnAutoMonitoredFileIsNotReadWhileThePropertiesMenuIsOpenAndLeavesWhenGone)
{
    window->Preferences().core.AutoMonitor = true;
    WriteFile(path, articles[0] + articles[1]);
    window->AddInputs({path});
    ASSERT_TRUE(Monitored());
    Show();
    SetCurrent(0);
    const auto menu = window->PropertiesMenu();
    ASSERT_TRUE(menu);
    menu->popup(window->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }));
    const std::int64_t before = ReadSize();
    Append(articles[2]);
    window->MonitorTickNow();
    EXPECT_EQ(ReadSize(), before);
    menu->close();
    window->MonitorTickNow();
    EXPECT_EQ(ReadSize(), FileSize());
    // An auto-monitored file that goes away leaves with message 314.
    fs::remove(path);
    window->MonitorTickNow();
    EXPECT_EQ(window->InputList()->count(), 0);
    EXPECT_TRUE(window->Entries().empty());
    EXPECT_EQ(window->StatusText().toStdString(), Message(msg::MonitoredChanged));
}

TEST_F(MonitorWindowTest, ATickStoppedWhileReadingDecodesNothing)
{
    window->StreamInto(stream);
    window->Preferences().core.AutoMonitor = true;
    WriteFile(path, articles[0]);
    window->AddInputs({path});
    const int before = window->SortList().GetSize();
    Append(YencArticles(picture, "one.bin", picture.size())[0] + articles[1]);
    // Abort is pressed once the scan has built the new file's part.
    QTimer abort;
    QObject::connect(&abort, &QTimer::timeout, [&] {
        if (window->SortList().GetSize() > before) window->CoreHost().RequestAbort();
    });
    abort.start(0);
    window->MonitorTickNow();
    abort.stop();
    EXPECT_FALSE(FileExists(stream + "/one.bin"));
    window->MonitorTickNow();
    EXPECT_BYTES_EQ(picture, ReadFile(stream + "/one.bin"));
}

} // namespace
} // namespace zarvex::test
