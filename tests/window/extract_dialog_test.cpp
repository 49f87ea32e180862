// The Extract dialog and command: which files, the recent folders, pattern
// extraction and the quick path.
#include "app/window/extract_dialog.h"
#include "app/window/folder_box.h"
#include "window_fixture.h"

namespace zarvex::test {
namespace {

using Dirs = std::array<std::string, 9>;

// What the dialog's path does not reach: a full list, a folder already
// further down, "*" (the input's own folder), slashes and letter case.
TEST(ExtractFolder, ChosenGoesToTheTopOfTheRecentOnesNormalisedAndMatchedWithoutCase)
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
    EXPECT_TRUE(FolderExists("*"));
    EXPECT_EQ(MatchingRows({"a.bin", "b.txt", "C.BIN"}, "*.bin"), (std::vector<int>{0, 2}));
}

class ExtractCommandTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        Read({UuMail("keep.bin", 1), UuMail("skip.txt", 2)}, "a");
    }

    // Runs the command; `answer` handles the dialog if one appears.
    bool Run(bool quick, const std::function<void(ExtractDialog&)>& answer)
    {
        return AnswerDialog<ExtractDialog>([&] { window->ExtractCommand(false, quick); }, answer);
    }
    // Extracts the outputs matching `pattern` into `out`.
    bool RunPattern(const char* pattern)
    {
        return Run(false, [&](ExtractDialog& d) {
            d.PatternButton()->setChecked(true);
            d.PatternField()->setText(pattern);
            d.FolderBox()->setEditText(QString::fromStdString(out));
            d.accept();
        });
    }

    const std::string out = Mkdir("out");
};

TEST_F(ExtractCommandTest, PatternExtractionWritesOnlyMatchingOutputsAndPutsTheFolderFirst)
{
    window->Preferences().Dirs = {"/elsewhere", out};
    EXPECT_TRUE(RunPattern("*.bin"));
    EXPECT_TRUE(FileExists(out + "/keep.bin"));
    EXPECT_FALSE(FileExists(out + "/skip.txt"));
    EXPECT_EQ(window->Preferences().Dirs, (Dirs{out, "/elsewhere"}));
    EXPECT_EQ(IniFile(ReadFile(dir / "Zarvex.ini")).GetString("Recent Dir List", "Dir1"), out);
}

TEST_F(ExtractCommandTest, WithNothingSelectedTheDialogOffersAllFilesAndTheQuickPathNeedsNoDialogForAValidFolder)
{
    window->OutputList()->clearSelection();
    EXPECT_TRUE(Run(false, [](ExtractDialog& d) {
        EXPECT_EQ(d.FolderBox()->currentText(), QDir::currentPath()); // no folder yet: the current one
        EXPECT_TRUE(d.AllButton()->isChecked());
        EXPECT_FALSE(d.SelectedButton()->isEnabled());
        d.reject();
    }));
    EXPECT_FALSE(FileExists(out + "/keep.bin"));
    window->Preferences().Dirs[0] = out;
    EXPECT_FALSE(Run(true, [](ExtractDialog& d) { d.reject(); }));
    EXPECT_TRUE(FileExists(out + "/keep.bin") && FileExists(out + "/skip.txt"));

    // A missing folder, with its parents, is made once the user agrees.
    const std::string missing = dir / "missing/sub";
    window->Preferences().Dirs[0] = missing;
    QStringList asked;
    EXPECT_TRUE(Run(true, [&](ExtractDialog& d) { asked = AnswerBoxes([&] { d.accept(); }); }));
    EXPECT_EQ(asked.join('|').toStdString(), "Verify creation of the new directory:\r\n " + missing);
    EXPECT_TRUE(FileExists(missing + "/keep.bin"));
}

// A pattern that is empty or matches nothing, and an output of which nothing
// can be written (an empty file), each end in their message.
class ExtractNoticeTest : public ExtractCommandTest,
                          public ::testing::WithParamInterface<std::pair<const char*, msg::Id>>
{
};

TEST_P(ExtractNoticeTest, EndsInItsMessage)
{
    Read({"Subject: empty.bin\n\nbegin 644 empty.bin\n`\nend\n"}, "c");
    EXPECT_TRUE(RunPattern(GetParam().first));
    EXPECT_TRUE(window->Log()->View()->toPlainText().contains(QString::fromUtf8(Message(GetParam().second))));
    EXPECT_FALSE(FileExists(out + "/keep.bin"));
}

INSTANTIATE_TEST_SUITE_P(Notices, ExtractNoticeTest,
                         ::testing::Values(std::pair{"", msg::InvalidPattern},
                                           std::pair{"*.zzz", msg::NoPatternMatch},
                                           std::pair{"empty*", msg::ExtractError}));

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
        const auto found = d.Panel()->Directories()->findItems("out", Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        emit d.Panel()->Directories()->itemActivated(found[0]);
        EXPECT_EQ(d.FolderBox()->currentText().toStdString(), out);
        d.accept();
    }));
    EXPECT_TRUE(FileExists(out + "/keep.bin"));
}

} // namespace
} // namespace zarvex::test
