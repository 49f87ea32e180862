// The Extract dialog and command: which files, the recent folders, pattern
// extraction and the quick path.
#include "app/window/extract_dialog.h"
#include "app/window/folder_box.h"
#include "app/window/log_window.h"
#include "text/messages.h"
#include "window_fixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QTimer>

#include <filesystem>
#include <functional>

namespace zarvex::test {
namespace {

using Dirs = std::array<std::string, 9>;

TEST(ExtractFolder, ChosenGoesToTheTopOfTheRecentOnesNormalisedAndIsCreatedWithItsParents)
{
    Dirs dirs = {"/a", "", "/b", "/c"};
    PutFolderFirst(dirs, "/c");
    EXPECT_EQ(dirs, (Dirs{"/c", "/a", "/b", "/c"})); // keys after the last written keep their values
    Dirs full = {"/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8", "/9"};
    PutFolderFirst(full, "/new");
    EXPECT_EQ(full, (Dirs{"/new", "/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8"}));
    EXPECT_EQ(ChosenFolder("*/"), "*");
    EXPECT_EQ(ChosenFolder("/tmp/out//"), "/tmp/out");
    EXPECT_EQ(ChosenFolder("/"), "/");
    TempDir dir;
    EXPECT_TRUE(FolderExists("*"));
    EXPECT_FALSE(FolderExists(dir / "a"));
    EXPECT_TRUE(CreateFolder(dir / "a/b/c")); // missing parents too
    EXPECT_TRUE(FolderExists(dir / "a/b/c"));
    EXPECT_FALSE(CreateFolder(dir.Write("file", "x") + "/sub"));
    EXPECT_EQ(MatchingRows({"a.bin", "b.txt", "C.BIN"}, "*.bin"), (std::vector<int>{0, 2}));
    EXPECT_EQ(MatchingRows({"a.bin"}, "?.txt"), std::vector<int>{});
}

class ExtractCommandTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        Read(UuPosting("keep.bin", RandomBytes(900, 1), 1), "a");
        Read(UuPosting("skip.txt", RandomBytes(900, 2), 1), "b");
        std::filesystem::create_directory(out);
    }

    // Runs the command; `answer` handles the dialog if one appears.
    bool Run(bool quick, const std::function<void(ExtractDialog&)>& answer)
    {
        return AnswerDialog<ExtractDialog>([&] { window->ExtractCommand(false, quick); }, answer);
    }

    const std::string out = dir / "out";
};

TEST_F(ExtractCommandTest, PatternExtractionWritesOnlyMatchingOutputsAndPutsTheFolderFirst)
{
    window->Preferences().Dirs = {"/elsewhere", out};
    EXPECT_TRUE(Run(false, [&](ExtractDialog& d) {
        d.PatternButton()->setChecked(true);
        d.PatternField()->setText("*.bin");
        d.FolderBox()->setEditText(QString::fromStdString(out));
        d.accept();
    }));
    EXPECT_TRUE(FileExists(out + "/keep.bin"));
    EXPECT_FALSE(FileExists(out + "/skip.txt"));
    EXPECT_EQ(window->Preferences().Dirs[0], out);
    EXPECT_EQ(window->Preferences().Dirs[1], "/elsewhere");
    EXPECT_EQ(window->Preferences().Dirs[2], "");
    IniFile saved;
    ASSERT_EQ(saved.Load(dir / "Zarvex.ini"), 0);
    EXPECT_EQ(saved.GetString("Recent Dir List", "Dir1"), out);
}

TEST_F(ExtractCommandTest, WithNothingSelectedTheDialogOffersAllFilesAndTheQuickPathNeedsNoDialogForAValidFolder)
{
    window->OutputList()->clearSelection();
    EXPECT_TRUE(Run(false, [](ExtractDialog& d) {
        EXPECT_TRUE(d.AllButton()->isChecked());
        EXPECT_FALSE(d.SelectedButton()->isEnabled());
        d.reject();
    }));
    EXPECT_FALSE(FileExists(out + "/keep.bin"));
    window->Preferences().Dirs[0] = out;
    EXPECT_FALSE(Run(true, [](ExtractDialog& d) { d.reject(); }));
    EXPECT_TRUE(FileExists(out + "/keep.bin") && FileExists(out + "/skip.txt"));

    const std::string missing = dir / "missing/sub";
    window->Preferences().Dirs[0] = missing;
    QString asked;
    EXPECT_TRUE(Run(true, [&](ExtractDialog& d) {
        QTimer::singleShot(0, [&] { // the question about creating the folder
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            asked = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        d.accept();
    }));
    EXPECT_EQ(asked.toStdString(), "Verify creation of the new directory:\r\n " + missing);
    EXPECT_TRUE(FileExists(missing + "/keep.bin"));
}

// A pattern that is empty or matches nothing, and an output of which nothing
// can be written (an empty file), each end in their message.
struct Notice
{
    const char* pattern;
    msg::Id id;
};

void PrintTo(const Notice& n, std::ostream* os)
{
    *os << "message" << int(n.id);
}

class ExtractNoticeTest : public ExtractCommandTest, public ::testing::WithParamInterface<Notice>
{
};

TEST_P(ExtractNoticeTest, EndsInItsMessage)
{
    Read({"Subject: empty.bin\n\nbegin 644 empty.bin\n`\nend\n"}, "c");
    EXPECT_TRUE(Run(false, [&](ExtractDialog& d) {
        d.PatternButton()->setChecked(true);
        d.PatternField()->setText(GetParam().pattern);
        d.FolderBox()->setEditText(QString::fromStdString(out));
        d.accept();
    }));
    const std::string_view text = Message(GetParam().id);
    EXPECT_TRUE(window->Log()->View()->toPlainText().contains(QString::fromUtf8(text.data(), text.size())))
        << text;
    EXPECT_FALSE(FileExists(out + "/keep.bin"));
}

INSTANTIATE_TEST_SUITE_P(Notices, ExtractNoticeTest,
                         ::testing::Values(Notice{"", msg::InvalidPattern},
                                           Notice{"*.zzz", msg::NoPatternMatch},
                                           Notice{"empty*", msg::ExtractError}));

TEST_F(ExtractCommandTest, AFolderThatCannotBeMadeIsReportedAndTheDialogStaysOpen)
{
    const std::string bad = dir.Write("file", "x") + "/sub";
    QStringList asked;
    bool open = false;
    EXPECT_TRUE(Run(false, [&](ExtractDialog& d) {
        d.FolderBox()->setEditText(QString::fromStdString(bad));
        asked = AnswerBoxes([&] { d.accept(); });
        open = d.isVisible();
        d.reject();
    }));
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked[1].toStdString(), FormatMessage(msg::CannotCreateFolder, bad));
    EXPECT_TRUE(open);
}

TEST_F(ExtractCommandTest, OldStyleWalksToTheFolderInTheDialogItself)
{
    window->Preferences().core.OldExtract = true;
    window->Preferences().Dirs[0] = dir.Path().string();
    EXPECT_TRUE(Run(false, [&](ExtractDialog& d) {
        ASSERT_NE(d.Panel(), nullptr);
        EXPECT_EQ(d.Panel()->Folder(), dir.Path().string());
        const auto found = d.Panel()->Directories()->findItems("out", Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        emit d.Panel()->Directories()->itemActivated(found[0]);
        EXPECT_EQ(d.FolderBox()->currentText().toStdString(), out);
        d.accept();
    }));
    EXPECT_TRUE(FileExists(out + "/keep.bin"));
}

TEST(OldFolderBox, GivesTheFolderWalkedToOrNothingOnCancel)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "a/b");
    for (const bool ok : {true, false}) {
        std::string chosen = "unset";
        EXPECT_TRUE(AnswerDialog<FolderBox>(
            [&] { chosen = ChooseFolderOldStyle(nullptr, "Working Directory", dir / "a/b"); },
            [&](FolderBox& box) {
                EXPECT_EQ(box.windowTitle(), "Working Directory");
                QListWidget* list = box.Panel()->Directories();
                ASSERT_EQ(list->item(0)->text(), "..");
                emit list->itemActivated(list->item(0));
                ok ? box.accept() : box.reject();
            }));
        EXPECT_EQ(chosen, ok ? dir / "a" : "");
    }
}

} // namespace
} // namespace zarvex::test
