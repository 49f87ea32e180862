#include "app/window/commands.h"
#include "app/window/find_select_box.h"
#include "app/window/list_dump_window.h"
#include "app/window/log_window.h"
#include "app/window/subject_rename_dialog.h"
#include "model/list_dump.h"
#include "model/records.h"
#include "window_fixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QClipboard>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <filesystem>
#include <QMessageBox>

namespace zarvex::test {
namespace {

bool Enabled(const CZarvexDlg& w, int id)
{
    return w.Action(id)->isEnabled();
}

// Many small postings in one file: long enough for the scanner to pump
// events (every 256 lines) many times before it ends.
std::string ManyPostings(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += "From poster@example.net\n";
        for (const auto& m : UuPosting("f" + std::to_string(i) + ".bin", RandomBytes(400, i), 1)) text += m;
    }
    return text;
}

TEST_F(WindowTest, CommandsFollowTheListsTheSelectionAndBusyMode)
{
    EXPECT_TRUE(Enabled(*window, cmd::Open));
    for (int id : {cmd::Extract, cmd::Clear, cmd::DeleteInputs, cmd::Rename, cmd::Remove, cmd::FindSelect,
                   cmd::Preferences}) // the preferences dialog is not connected yet
        EXPECT_FALSE(Enabled(*window, id)) << id;
    int preferencesShown = 0;
    window->SetCommandHandler(cmd::Preferences, [&] { ++preferencesShown; });
    window->Action(cmd::Preferences)->trigger();
    EXPECT_EQ(preferencesShown, 1);
    Read(UuPosting("whole.bin", RandomBytes(3000, 1), 2), "a");
    ASSERT_EQ(Names(), std::vector<std::string>{"whole.bin"});
    EXPECT_EQ(window->InputList()->count(), 2);
    for (int id : {cmd::Clear, cmd::Extract, cmd::FindSelect}) // the first entry is complete
        EXPECT_TRUE(Enabled(*window, id)) << id;
    EXPECT_FALSE(Enabled(*window, cmd::Rename)); // nothing selected yet
    Select({"whole.bin"});
    EXPECT_TRUE(Enabled(*window, cmd::Rename));
    EXPECT_TRUE(Enabled(*window, cmd::Remove));

    // Busy mode nests and leaves only the stop and the log window.
    window->EnterBusy();
    window->EnterBusy();
    window->LeaveBusy();
    EXPECT_TRUE(window->IsBusy());
    for (int id : {cmd::Open, cmd::Extract, cmd::Clear, cmd::FindSelect, cmd::SelectAll, cmd::Rescan, cmd::Exit,
                   cmd::Preferences})
        EXPECT_FALSE(Enabled(*window, id)) << id;
    EXPECT_EQ(window->PropertiesMenu(), nullptr);
    EXPECT_TRUE(Enabled(*window, cmd::Abort));
    EXPECT_TRUE(Enabled(*window, cmd::LogWindow));
    window->ClearAll(); // refused while busy
    EXPECT_EQ(window->Entries().size(), 1u);
    window->LeaveBusy();
    EXPECT_FALSE(window->IsBusy());
    EXPECT_TRUE(Enabled(*window, cmd::Clear));
    window->ClearAll();
    EXPECT_TRUE(window->Entries().empty());
    EXPECT_EQ(window->InputList()->count(), 0);
    EXPECT_FALSE(Enabled(*window, cmd::Clear));
}

TEST_F(WindowTest, EntriesAreColouredByStatusAndExtractWritesOrReportsDamage)
{
    const std::string payload = RandomBytes(3000, 2);
    Read(UuPosting("whole.bin", payload, 2), "a");
    Read(UuPosting("half.bin", RandomBytes(3000, 3), 3, {1, 2}), "b");
    auto bad = UuPosting("bad.bin", RandomBytes(3000, 5), 1);
    std::size_t line = bad[0].find("begin 644"); // a data line in the middle of the body is cut short
    for (int i = 0; i < 10; ++i)
        line = bad[0].find('\n', line) + 1;
    bad[0].erase(line + 20, 12);
    Read(bad, "c");
    const int whole = RowOf("whole.bin"), half = RowOf("half.bin");
    ASSERT_GE(std::min(whole, half), 0);
    auto colour = [&](int row) { return window->OutputList()->topLevelItem(row)->foreground(0).color(); };
    EXPECT_EQ(colour(whole), QColor(0, 128, 0));
    EXPECT_EQ(window->Entries()[half].group->m_Status & 0xF, GS_STARTED);
    EXPECT_EQ(colour(half), QColor(0, 0, 128));

    const std::string out = dir / "out";
    std::filesystem::create_directory(out);
    Select({"whole.bin"});
    EXPECT_EQ(window->ExtractTo(out), 1);
    EXPECT_BYTES_EQ(payload, ReadFile(out + "/whole.bin"));
    EXPECT_EQ(window->ExtractTo(out, true), 1); // Save Raw keeps the encoded lines
    const std::string firstLine = EncodeSixBitLines(payload, kUUAlphabetBackquote)[0];
    EXPECT_NE(ReadFile(out + "/whole.bin.uu").find(firstLine), std::string::npos);
    window->Action(cmd::Copy)->trigger(); // Copy hands the written file over as a file list
    const QList<QUrl> urls = QApplication::clipboard()->mimeData()->urls();
    ASSERT_EQ(urls.size(), 1);
    const std::string copied = urls[0].toLocalFile().toStdString();
    EXPECT_BYTES_EQ(payload, ReadFile(copied));
    EXPECT_FALSE(window->IsBusy());
    EXPECT_NE(window->StatusText().toStdString(), cmd::kErrorsDetected);
    Select({"bad.bin"});
    window->ExtractTo(out);
    EXPECT_EQ(window->StatusText().toStdString(), cmd::kErrorsDetected);
    EXPECT_TRUE(window->Log()->View()->toPlainText().contains("Error"));

    // The other statuses, as the list shows them after a rebuild.
    CSortInfo* group = window->Entries()[RowOf("whole.bin")].group;
    for (const auto& [status, rgb] : {std::pair{GS_TOO_MANY, QColor(128, 0, 0)},
                                      {GS_MISSING, QColor(128, 128, 128)}, {7, QColor(128, 0, 128)}}) {
        group->m_Status = status;
        window->RebuildOutputList(false);
        EXPECT_EQ(colour(RowOf("whole.bin")), rgb) << status;
    }
    window.reset(); // the copied file lasts as long as the window
    EXPECT_FALSE(FileExists(copied));
}

TEST_F(WindowTest, ProgressCombinesTheItemAndItsOwnPercentage)
{
    window->SetItemProgress(2, 4);
    window->SetItemPercent(50);
    EXPECT_EQ(window->ProgressValue(), 37);
    window->SetItemProgress(-3, 0); // counts as (1, 1): reset
    window->SetItemPercent(80);
    EXPECT_EQ(window->ProgressValue(), 80);
    window->SetItemPercent(-1);
    EXPECT_EQ(window->ProgressValue(), -1);
}

TEST_F(WindowTest, EscDuringAScanStopsItAndTheWindowComesBack)
{
    const std::string big = dir.Write("big.mbox", ManyPostings(300));
    ASSERT_NO_FATAL_FAILURE(Show());
    bool busyInside = false, openInside = true, abortInside = false;
    QTimer::singleShot(0, window.get(), [&] {
        busyInside = window->IsBusy();
        openInside = Enabled(*window, cmd::Open);
        abortInside = Enabled(*window, cmd::Abort);
        QTest::keyClick(window->OutputList(), Qt::Key_Escape); // the key itself, wherever the focus is
    });
    window->AddInputs({big});
    EXPECT_TRUE(busyInside);
    EXPECT_FALSE(openInside);
    EXPECT_TRUE(abortInside);
    EXPECT_LT(window->Entries().size(), 300u); // stopped early
    EXPECT_FALSE(window->IsBusy());
    EXPECT_TRUE(Enabled(*window, cmd::Open));

    // Without a stop the same file gives every posting.
    window->ClearAll();
    window->AddInputs({big});
    EXPECT_EQ(window->Entries().size(), 300u);
}

TEST_F(WindowTest, CloseWhileBusyAbortsAndClosesAfterwards)
{
    const std::string big = dir.Write("big.mbox", ManyPostings(300));
    ASSERT_NO_FATAL_FAILURE(Show());
    bool visibleAfterClose = false;
    QTimer::singleShot(0, window.get(), [&] {
        window->close();
        visibleAfterClose = window->isVisible();
    });
    window->AddInputs({big});
    EXPECT_TRUE(visibleAfterClose); // the close waits for the scan
    EXPECT_TRUE(window->CoreHost().AbortRequested());
    EXPECT_LT(window->Entries().size(), 300u);
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 60000);
    EXPECT_TRUE(FileExists(dir / "Zarvex.ini")); // settings saved on the real close
}

TEST_F(WindowTest, FindSelectAndSelectAllPickByStatusAndText)
{
    Read(UuPosting("Holiday.jpg", RandomBytes(2000, 1), 1), "a");
    Read(UuPosting("holiday2.bin", RandomBytes(2000, 2), 2, {1}), "b");
    Read(UuPosting("work.bin", RandomBytes(2000, 3), 1), "c");
    EXPECT_EQ(window->FindAndSelect("HOLI", false), 2);
    EXPECT_TRUE(window->OutputList()->topLevelItem(RowOf("Holiday.jpg"))->isSelected());
    EXPECT_FALSE(window->OutputList()->topLevelItem(RowOf("work.bin"))->isSelected());
    EXPECT_EQ(window->FindAndSelect("HOLI", true), 0);
    EXPECT_EQ(window->FindAndSelect("D?Y.J", false), 1); // anywhere in the name; "?" is one character

    window->OnFind(); // the modeless box selects as Find & Select does, and not while busy
    ASSERT_NE(window->FindBox(), nullptr);
    window->FindBox()->SetText("work");
    window->FindBox()->Next();
    EXPECT_TRUE(window->OutputList()->topLevelItem(RowOf("work.bin"))->isSelected());
    window->EnterBusy();
    window->FindBox()->SetText("holi");
    window->FindBox()->Next();
    window->LeaveBusy();
    EXPECT_TRUE(window->OutputList()->topLevelItem(RowOf("work.bin"))->isSelected());

    window->SelectAllComplete();
    EXPECT_TRUE(window->OutputList()->topLevelItem(RowOf("work.bin"))->isSelected());
    EXPECT_TRUE(window->OutputList()->topLevelItem(RowOf("holiday2.bin"))->isSelected()); // started: status 1
}

TEST_F(WindowTest, RenamePadNumbersAndRemoveChangeTheOutputsOnly)
{
    Read(UuPosting("pic1.jpg", RandomBytes(900, 1), 1), "a");
    Read(UuPosting("pic10.jpg", RandomBytes(900, 2), 1), "b");
    Select({"pic1.jpg", "pic10.jpg"});
    window->PadPartNumbers();
    EXPECT_EQ(Names(), (std::vector<std::string>{"pic01.jpg", "pic10.jpg"}));

    Select({"pic01.jpg", "pic10.jpg"});
    EXPECT_FALSE(window->RenameSelected("holiday.jpg")); // the wildcards of "pic??.jpg" are lost
    EXPECT_TRUE(window->RenameSelected("rome??.jpg"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"rome01.jpg", "rome10.jpg"}));

    Select({"rome01.jpg"});
    EXPECT_TRUE(window->RenameSelected("  ../first.jpg "));
    EXPECT_EQ(RowOf("rome01.jpg"), -1);
    for (const auto& n : Names())
        EXPECT_EQ(n.find('/'), std::string::npos) << n;

    Select({"rome10.jpg"});
    window->RemoveSelectedOutputs();
    EXPECT_EQ(Names().size(), 1u);
    EXPECT_EQ(RowOf("rome10.jpg"), -1);
    EXPECT_EQ(window->InputList()->count(), 2);
    EXPECT_TRUE(FileExists(dir / "b0.txt"));
}

TEST_F(WindowTest, RenameFromSubjectGivesTheSelectedEntriesTheNamesBuilt)
{
    Read(UuPosting("dsc0042.jpg", RandomBytes(900, 1), 1), "a");
    Select({"dsc0042.jpg"});
    IniFile ini;
    SubjectRenameDialog dialog(window.get(), {{"dsc0042.jpg", "Holiday in Rome (1/1)", "", 0}}, ini,
                               window->Preferences().core);
    SubjectRenameOptions rules;
    rules.RemoveSquareParens = true;
    dialog.SetRules(rules);
    ASSERT_EQ(dialog.Results(), std::vector<std::string>{"Holiday in Rome"});
    dialog.accept(); // the rules are kept
    EXPECT_EQ(ini.GetInt("SubjectRename", "RemoveSquareParens", 0), 1);
    window->RenameSelectedTo(dialog.Results());
    EXPECT_EQ(Names(), std::vector<std::string>{"Holiday in Rome"});
}

TEST_F(WindowTest, PropertiesMenuOffersTheCommandsAndCopiesTheSubject)
{
    Read(UuPosting("whole.bin", RandomBytes(3000, 1), 2), "a");
    window->OutputList()->setCurrentItem(window->OutputList()->topLevelItem(0));
    const auto menu = window->PropertiesMenu();
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (const QAction* a : menu->actions()) texts << a->text();
    ASSERT_GE(texts.size(), 8);
    EXPECT_EQ(texts.mid(0, 5), (QStringList{"&Extract", "Re&name", "&Remove", "&Copy", ""}));
    EXPECT_TRUE(texts[5].startsWith("Subject: whole.bin")) << texts[5].toStdString();
    EXPECT_TRUE(texts.contains("Parts: 2 found, 2 expected")) << texts.join('|').toStdString();
    menu->actions()[5]->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), texts[5].mid(9));
}

TEST_F(WindowTest, PastedTextGoesThroughTheClipboardFileAndOnlyNewTextIsScanned)
{
    const auto parts = UuPosting("pasted.bin", RandomBytes(3000, 4), 2);
    EXPECT_GT(window->PasteText(parts[0]), 0);
    ASSERT_EQ(window->InputList()->count(), 1);
    EXPECT_TRUE(window->InputList()->item(0)->text().startsWith("Clipboard "));
    EXPECT_GT(window->PasteText(parts[1]), 0);
    EXPECT_EQ(Names(), std::vector<std::string>{"pasted.bin"});
    EXPECT_EQ(window->Entries()[0].group->m_Found, 2); // each part once
    EXPECT_EQ(window->InputList()->count(), 1);
    const std::string file = window->ClipboardPath();
    // A dropped ".eml" file is taken as text as well.
    window->DropFiles({dir.Write("mail.eml", UuPosting("dropped.bin", RandomBytes(900, 5), 1)[0])});
    EXPECT_EQ(Names(), (std::vector<std::string>{"pasted.bin", "dropped.bin"}));
    EXPECT_EQ(window->InputList()->count(), 1);
    window->ClearAll();
    EXPECT_FALSE(FileExists(file));
}

// The bundled sample shows the text "--listdump=" writes for it.
TEST_F(WindowTest, ListDumpShowsTheRecordsAndKeepsItsPlace)
{
    window->AddInputs({std::string(ZARVEX_SOURCE_DIR) + "/samples/sample-mail.mbox"});
    ASSERT_GT(window->SortList().GetSize(), 1);
    std::string expected = ListDumpText(&window->SortList());
    std::erase(expected, '\r');
    IniFile ini;
    {
        ListDumpWindow dump(window.get(), window->SortList(), ini);
        EXPECT_EQ(dump.View()->toPlainText().toStdString(), expected);
        dump.setGeometry(40, 50, 500, 300);
    }
    EXPECT_EQ(ini.GetString("DumpWindow", "Coordinates"), "40,50,540,350");
    EXPECT_EQ(ListDumpWindow(window.get(), window->SortList(), ini).geometry(), QRect(40, 50, 500, 300));
}

TEST_F(WindowTest, SettingsAreSavedAtCloseAndReadAtTheNextStart)
{
    Read(UuPosting("one.bin", RandomBytes(900, 1), 1), "r");
    window->Action(cmd::ToolBar)->trigger();
    window->resize(1000, 400);
    ASSERT_NO_FATAL_FAILURE(Show());
    const int width = window->findChild<QSplitter*>()->width();
    window->MoveSplitter(width * 46 / 100 + 1);
    EXPECT_EQ(window->SplitPercent(), 46);
    window->MoveSplitter(width / 2);
    EXPECT_EQ(window->SplitPercent(), 0);
    window->MoveSplitter(width * 30 / 100 + 1);
    window->close();
    NewWindow();
    EXPECT_EQ(window->SplitPercent(), 30);
    EXPECT_EQ(window->RecentFiles(), std::vector<std::string>{dir / "r0.txt"});
    EXPECT_FALSE(window->Action(cmd::ToolBar)->isChecked());
}

// A decoded mail holding a file of another name goes, after the questions,
// into the clipboard file, whose new text the window then reads.
TEST_F(WindowTest, ANestedFileOfAnotherNameArrivesThroughTheClipboardFile)
{
    const std::string innerMail = UuPosting("other.bin", RandomBytes(900, 9), 1)[0];
    Read(UuPosting("box.txt", innerMail, 1), "a");
    Select({"box.txt"});
    window->CoreHost().SetSilent(false);
    std::filesystem::create_directories(dir / "out");
    AnswerBoxes([&] { window->ExtractTo(dir / "out"); }); // the default answer of every question
    EXPECT_GE(RowOf("other.bin"), 0);
    EXPECT_EQ(window->InputList()->findItems("Clipboard", Qt::MatchStartsWith).size(), 1);
}

} // namespace
} // namespace zarvex::test
