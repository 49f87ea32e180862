// Getting files into the window: drops, the same file twice, the Open
// dialog with its named-streams panel, and the clipboard at start-up.
#include "app/window/open_dialog.h"
#include "window_fixture.h"

#include <sys/xattr.h>

namespace zarvex::test {
namespace {

TEST_F(WindowTest, ADroppedFolderIsReadWithoutBoxesAndWithoutItsSubfolders)
{
    Mkdir("in/deeper");
    dir.Write("in/a.txt", UuMail("a.bin", 1));
    dir.Write("in/b.txt", UuMail("b.bin", 2));
    dir.Write("in/deeper/c.txt", UuMail("c.bin", 3));
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
    auto names = Listed();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Names{"a.bin", "b.bin"}));
}

TEST_F(WindowTest, TheSameFileTwiceIsRefusedWithMessage100)
{
    Read(UuPosting("twice.bin", RandomBytes(3000, 1), 2, {1}), "a");
    window->CoreHost().SetSilent(false);
    const QStringList boxes = AnswerBoxes([&] { window->AddInputs({dir / "a0.txt"}); });
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].startsWith(QString::fromUtf8(Message(msg::DuplicateInput)))) << boxes[0].data();
    EXPECT_EQ(window->Entries()[0].group->m_Found, 1);
    EXPECT_EQ(window->InputList()->count(), 1);
}

TEST_F(WindowTest, OpenReadsEveryFileChosenAndKeepsTheFolderAndFileType)
{
    const std::string in = Mkdir("in");
    dir.Write("in/one.uue", UuMail("one.bin", 1));
    dir.Write("in/two.uue", UuMail("two.bin", 2));
    window->Preferences().OpenDir = in; // a new user's dialog shows all files, names without a dot too
    const QStringList types = OpenFileTypes();
    ASSERT_EQ(types.size(), 8);
    EXPECT_TRUE(types[0].startsWith("Encoded Files (*.UU,XX,B64,HQX,NTX) (*.uu *.uue *.xxe"));
    EXPECT_EQ(types[1], "All Files (*.*) (*)");
    Command<OpenDialog>(cmd::Open, [&](OpenDialog& d) {
        EXPECT_EQ(d.directory().absolutePath().toStdString(), in);
        EXPECT_EQ(d.FileType(), 2);
        d.selectNameFilter(types[2]);
        d.findChild<QLineEdit*>("fileNameEdit")->setText("\"one.uue\" \"two.uue\"");
        static_cast<QDialog&>(d).accept(); // as OK does
    });
    EXPECT_EQ(Listed(), (Names{"one.bin", "two.bin"}));
    EXPECT_EQ(window->Preferences().core.FileMask, 3);
    window->Preferences().OpenDir.clear();
    Command<OpenDialog>(cmd::Open, [](OpenDialog& d) { d.reject(); });
    EXPECT_EQ(window->Preferences().core.FileMask, 3); // Cancel changes nothing
    EXPECT_EQ(window->Preferences().OpenDir, "");
}

TEST(OpenDialogStreams, ThePanelListsTheAttributesOfTheFileAndHidesWithoutThem)
{
    TempDir dir;
    const std::string plain = dir.Write("plain.txt", "x"), tagged = dir.Write("tagged.txt", "y");
    if (setxattr(tagged.c_str(), "user.origin", "news", 4, 0) != 0) GTEST_SKIP() << "no extended attributes";
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
    QApplication::clipboard()->setText(QString::fromStdString(UuMail("clip.bin", 7)));
    CommandLine cl;
    cl.readClipboard = true;
    NewWindow(cl);
    window->StartUp();
    EXPECT_EQ(Listed(), Names{"clip.bin"});
}

} // namespace
} // namespace zarvex::test
