// Getting files into the window: drops, the same file twice, the Open
// dialog with its named-streams panel, and the clipboard at start-up.
#include "app/window/commands.h"
#include "app/window/open_dialog.h"
#include "model/records.h"
#include "text/messages.h"
#include "window_fixture.h"

#include <QClipboard>
#include <QDropEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QUrl>

#include <filesystem>
#include <sys/xattr.h>

namespace zarvex::test {
namespace {

TEST_F(WindowTest, ADroppedFolderIsReadWithoutBoxesAndWithoutItsSubfolders)
{
    std::filesystem::create_directories(dir / "in/deeper");
    dir.Write("in/a.txt", UuPosting("a.bin", RandomBytes(900, 1), 1)[0]);
    dir.Write("in/b.txt", UuPosting("b.bin", RandomBytes(900, 2), 1)[0]);
    dir.Write("in/deeper/c.txt", UuPosting("c.bin", RandomBytes(900, 3), 1)[0]);
    dir.Write("in/empty.txt", "nothing here\n");
    window->CoreHost().SetSilent(false);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir / "in"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    const QStringList boxes = AnswerBoxes([&] {
        QApplication::sendEvent(window.get(), &enter); // a drop counts once its entry was accepted
        QApplication::sendEvent(window.get(), &drop);
        QApplication::processEvents(); // the reading starts after the drop
    });
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join('|').toStdString();
    auto names = Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.bin", "b.bin"}));
}

TEST_F(WindowTest, TheSameFileTwiceIsRefusedWithMessage100)
{
    Read(UuPosting("twice.bin", RandomBytes(3000, 1), 2, {1}), "a");
    window->CoreHost().SetSilent(false);
    const QStringList boxes = AnswerBoxes([&] { window->AddInputs({dir / "a0.txt"}); });
    const std::string_view text = Message(msg::DuplicateInput);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].startsWith(QString::fromUtf8(text.data(), text.size()))) << boxes[0].toStdString();
    EXPECT_EQ(window->Entries()[0].group->m_Found, 1);
    EXPECT_EQ(window->InputList()->count(), 1);
}

TEST_F(WindowTest, OpenReadsEveryFileChosenAndKeepsTheFolderAndFileType)
{
    const std::string in = dir / "in";
    std::filesystem::create_directories(in);
    dir.Write("in/one.uue", UuPosting("one.bin", RandomBytes(900, 1), 1)[0]);
    dir.Write("in/two.uue", UuPosting("two.bin", RandomBytes(900, 2), 1)[0]);
    window->Preferences().OpenDir = in;
    window->Preferences().core.FileMask = 2;
    const QStringList types = OpenFileTypes();
    ASSERT_EQ(types.size(), 8);
    EXPECT_TRUE(types[0].startsWith("Encoded Files (*.UU,XX,B64,HQX,NTX) (*.UU *.uu *.UUE *.uue"));
    EXPECT_TRUE(AnswerDialog<OpenDialog>(
        [&] { window->Action(cmd::Open)->trigger(); },
        [&](OpenDialog& d) {
            EXPECT_EQ(d.directory().absolutePath().toStdString(), in);
            EXPECT_EQ(d.FileType(), 2);
            d.selectNameFilter(types[2]);
            d.findChild<QLineEdit*>("fileNameEdit")->setText("\"one.uue\" \"two.uue\"");
            static_cast<QDialog&>(d).accept(); // as OK does
        }));
    EXPECT_EQ(Names(), (std::vector<std::string>{"one.bin", "two.bin"}));
    EXPECT_EQ(window->Preferences().core.FileMask, 3);
    window->Preferences().OpenDir.clear();
    AnswerDialog<OpenDialog>([&] { window->Action(cmd::Open)->trigger(); },
                             [&](OpenDialog& d) { d.reject(); });
    EXPECT_EQ(window->Preferences().core.FileMask, 3); // Cancel changes nothing
    EXPECT_EQ(window->Preferences().OpenDir, "");
}

TEST(OpenDialogStreams, ThePanelListsTheAttributesOfTheFileAndHidesWithoutThem)
{
    TempDir dir;
    const std::string plain = dir.Write("plain.txt", "x"), tagged = dir.Write("tagged.txt", "y");
    if (setxattr(tagged.c_str(), "user.origin", "news", 4, 0) != 0)
        GTEST_SKIP() << "no extended attributes here";
    OpenDialog dialog(nullptr, dir.Path().string(), 1, false);
    dialog.ShowStreams(QString::fromStdString(tagged));
    EXPECT_TRUE(dialog.StreamPanel()->isVisibleTo(&dialog));
    ASSERT_EQ(dialog.Streams()->count(), 1);
    EXPECT_EQ(dialog.Streams()->item(0)->text(), "origin\t       4");
    dialog.ShowStreams(QString::fromStdString(plain));
    EXPECT_FALSE(dialog.StreamPanel()->isVisibleTo(&dialog));
    EXPECT_EQ(OpenDialog(nullptr, {}, 1, true).StreamPanel(), nullptr); // the old style has none
}

TEST_F(WindowTest, ReadClipboardAtStartUpReadsTheClipboardText)
{
    QApplication::clipboard()->setText(
        QString::fromStdString(UuPosting("clip.bin", RandomBytes(900, 7), 1)[0]));
    CommandLine cl;
    cl.readClipboard = true;
    window = std::make_unique<CZarvexDlg>(engine, "", cl);
    window->CoreHost().SetSilent(true);
    window->StartUp();
    EXPECT_EQ(Names(), std::vector<std::string>{"clip.bin"});
}

} // namespace
} // namespace zarvex::test
