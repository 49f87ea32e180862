// Monitor mode in the window: the double click on an input entry, the
// timer's tick over a growing file, and a monitored file that goes away.
#include "model/records.h"
#include "support/yenc_posting.h"
#include "text/messages.h"
#include "window_fixture.h"

#include <QListWidget>
#include <QMenu>
#include <QTimer>

#include <filesystem>
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
    QString InputText() const { return window->InputList()->item(0)->text(); }

    const std::string picture = RandomBytes(2000, 3);
    const std::vector<std::string> articles = YencArticles(picture, "pic.bin", 700);
    const std::string path = dir / "spool.txt";
};

// With stream decoding on, the tick that reads the last part also finishes
// the output the stream step held since the first two parts.
TEST_F(MonitorWindowTest, DoubleClickTogglesMonitoringAndTheTimerReadsWhatWasAdded)
{
    Show();
    const std::string streamFolder = dir / "stream";
    std::filesystem::create_directory(streamFolder);
    window->StreamInto(streamFolder);
    WriteFile(path, articles[0] + articles[1]);
    window->AddInputs({path});
    EXPECT_FALSE(FileExists(streamFolder + "/pic.bin")) << "written before its last part";
    ASSERT_FALSE(InputText().startsWith('>'));
    DoubleClickInput();
    EXPECT_TRUE(InputText().startsWith('>'));
    EXPECT_EQ(window->InputList()->item(0)->foreground().color(), QColor(0, 128, 0));
    ASSERT_EQ(window->Entries().size(), 1u);
    EXPECT_NE(window->Entries()[0].group->m_Status & GS_MASK, GS_COMPLETE);

    std::ofstream(path, std::ios::app | std::ios::binary) << articles[2];
    window->SetMonitorInterval(20);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return window->Inputs()[0].size == static_cast<std::int64_t>(std::filesystem::file_size(path));
        },
        10'000));
    ASSERT_EQ(window->Entries().size(), 1u);
    EXPECT_EQ(window->Entries()[0].group->m_Status & GS_MASK, GS_COMPLETE);
    EXPECT_EQ(window->Entries()[0].group->GetSize(), 3);
    EXPECT_BYTES_EQ(picture, ReadFile(streamFolder + "/pic.bin"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(streamFolder), {}), 1) << "no temporary left";

    DoubleClickInput();
    EXPECT_FALSE(InputText().startsWith('>'));
    EXPECT_FALSE(window->InputList()->item(0)->data(Qt::ForegroundRole).isValid());
    EXPECT_EQ(window->Inputs()[0].flags, 0u);
}

// The properties menu holds its entry's record and part while it is open.
TEST_F(MonitorWindowTest, AnAutoMonitoredFileIsNotReadWhileThePropertiesMenuIsOpenAndLeavesWhenGone)
{
    window->Preferences().core.AutoMonitor = true;
    WriteFile(path, articles[0] + articles[1]);
    window->AddInputs({path});
    ASSERT_TRUE(InputText().startsWith('>'));
    Show();
    window->OutputList()->setCurrentItem(window->OutputList()->topLevelItem(0));
    const auto menu = window->PropertiesMenu();
    ASSERT_TRUE(menu);
    menu->popup(window->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }));
    const std::int64_t before = window->Inputs()[0].size;
    std::ofstream(path, std::ios::app | std::ios::binary) << articles[2];
    window->MonitorTickNow();
    EXPECT_EQ(window->Inputs()[0].size, before);
    menu->close();
    window->MonitorTickNow();
    EXPECT_EQ(window->Inputs()[0].size, static_cast<std::int64_t>(std::filesystem::file_size(path)));
    // An auto-monitored file that goes away leaves with message 314.
    std::filesystem::remove(path);
    window->MonitorTickNow();
    EXPECT_EQ(window->InputList()->count(), 0);
    EXPECT_TRUE(window->Entries().empty());
    EXPECT_EQ(window->StatusText().toStdString(), Message(msg::MonitoredChanged));
}

TEST_F(MonitorWindowTest, ATickStoppedWhileReadingDecodesNothing)
{
    const std::string streamFolder = dir / "stream";
    std::filesystem::create_directory(streamFolder);
    window->StreamInto(streamFolder);
    window->Preferences().core.AutoMonitor = true;
    WriteFile(path, articles[0]);
    window->AddInputs({path});
    const int before = window->SortList().GetSize();
    std::ofstream(path, std::ios::app | std::ios::binary)
        << YencArticles(picture, "one.bin", picture.size())[0] << articles[1];
    // Abort is pressed once the scan has built the new file's part.
    QTimer abort;
    QObject::connect(&abort, &QTimer::timeout, [&] {
        if (window->SortList().GetSize() > before) window->CoreHost().RequestAbort();
    });
    abort.start(0);
    window->MonitorTickNow();
    abort.stop();
    EXPECT_FALSE(FileExists(streamFolder + "/one.bin"));
    window->MonitorTickNow();
    EXPECT_BYTES_EQ(picture, ReadFile(streamFolder + "/one.bin"));
}

} // namespace
} // namespace zarvex::test
