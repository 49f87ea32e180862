// The Extract dialog and command: which files, the recent folders, pattern
// extraction and the quick path.
#include "app/window/extract_dialog.h"
#include "window_fixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <filesystem>
#include <functional>

namespace zarvex::test {
namespace {

using Dirs = std::array<std::string, 9>;

TEST(RecentFolders, ChosenFolderMovesToTheTopWithoutDuplicates)
{
    Dirs dirs = {"/a", "", "/b", "/c"};
    PutFolderFirst(dirs, "/c");
    EXPECT_EQ(dirs, (Dirs{"/c", "/a", "/b", "/c"})); // keys after the last written keep their values
    Dirs full = {"/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8", "/9"};
    PutFolderFirst(full, "/new");
    EXPECT_EQ(full, (Dirs{"/new", "/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8"}));
}

TEST(ExtractFolder, EachInputFolderAndTrailingSlashesAreNormalised)
{
    EXPECT_EQ(ChosenFolder("*/"), "*");
    EXPECT_EQ(ChosenFolder("/tmp/out//"), "/tmp/out");
    EXPECT_EQ(ChosenFolder("/"), "/");
    TempDir dir;
    EXPECT_TRUE(FolderExists("*"));
    EXPECT_FALSE(FolderExists(dir / "a"));
    EXPECT_TRUE(CreateFolder(dir / "a/b/c")); // missing parents too
    EXPECT_TRUE(FolderExists(dir / "a/b/c"));
    EXPECT_FALSE(CreateFolder(dir.Write("file", "x") + "/sub"));
}

TEST(ExtractPattern, MatchesNamesWithWildcardsIgnoringCase)
{
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
        bool shown = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<ExtractDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            shown = true;
            answer(*dialog);
        });
        window->ExtractCommand(false, quick);
        QApplication::processEvents(); // the timer fires even when no dialog ran
        return shown;
    }

    const std::string out = dir / "out";
};

TEST_F(ExtractCommandTest, NothingSelectedChoosesAllFilesAndDisablesSelectedFiles)
{
    window->OutputList()->clearSelection();
    EXPECT_TRUE(Run(false, [](ExtractDialog& d) {
        EXPECT_TRUE(d.AllButton()->isChecked());
        EXPECT_FALSE(d.SelectedButton()->isEnabled());
        d.reject();
    }));
    EXPECT_FALSE(FileExists(out + "/keep.bin"));
}

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

TEST_F(ExtractCommandTest, QuickPathUsesAValidFolderAtOnceAndShowsTheDialogForAMissingOne)
{
    window->OutputList()->clearSelection();
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

} // namespace
} // namespace zarvex::test
