#include "app/window/find_select_box.h"
#include "app/window/list_dump_window.h"
#include "app/window/subject_rename_dialog.h"
#include "model/list_dump.h"
#include "window_fixture.h"

namespace zarvex::test {
namespace {

// Many small postings in one file: long enough for the scanner to pump
// events (every 256 lines) many times before it ends.
std::string ManyPostings(const TempDir& dir)
{
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "From poster@example.net\n" + UuMail("f" + std::to_string(i) + ".bin", i, 400);
    return dir.Write("big.mbox", text);
}

TEST_F(WindowTest, CommandsAndThePropertiesMenuFollowTheListsTheSelectionAndBusyMode)
{
    auto expect = [&](std::initializer_list<int> ids, bool on) {
        for (int id : ids) EXPECT_EQ(Enabled(id), on) << id;
    };
    expect({cmd::Open}, true); // the preferences dialog is not connected yet
    expect({cmd::Extract, cmd::Clear, cmd::DeleteInputs, cmd::Rename, cmd::Remove, cmd::FindSelect,
            cmd::Preferences},
           false);
    Read(UuPosting("whole.bin", RandomBytes(3000, 1), 2), "a");
    ASSERT_EQ(Listed(), Names{"whole.bin"});
    expect({cmd::Clear, cmd::Extract, cmd::FindSelect}, true); // the first entry is complete
    expect({cmd::Rename}, false);                               // nothing selected yet
    Select({"whole.bin"});
    expect({cmd::Rename, cmd::Remove}, true);
    // The properties menu offers the commands; its subject line copies the subject.
    SetCurrent(0);
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

    // Busy mode nests and leaves only the stop and the log window.
    window->EnterBusy();
    window->EnterBusy();
    window->LeaveBusy();
    expect({cmd::Open, cmd::Extract, cmd::Clear, cmd::FindSelect, cmd::SelectAll, cmd::Rescan, cmd::Exit,
            cmd::Preferences},
           false);
    expect({cmd::Abort, cmd::LogWindow}, true);
    EXPECT_EQ(window->PropertiesMenu(), nullptr);
    window->ClearAll(); // refused while busy
    EXPECT_EQ(window->Entries().size(), 1u);
    window->LeaveBusy();
    ASSERT_TRUE(Enabled(cmd::Clear));
    window->ClearAll();
    EXPECT_TRUE(window->Entries().empty());
    EXPECT_EQ(window->InputList()->count(), 0);
    EXPECT_FALSE(Enabled(cmd::Clear));
}

TEST_F(WindowTest, EntriesAreColouredByStatusAndExtractWritesOrReportsDamage)
{
    const std::string payload = RandomBytes(3000, 2);
    Read(UuPosting("whole.bin", payload, 2), "a");
    Read(UuPosting("half.bin", RandomBytes(3000, 3), 3, {1, 2}), "b");
    std::string bad = UuMail("bad.bin", 5, 3000);
    bad.erase(bad.find('\n', bad.size() / 2) - 12, 12); // a data line in the middle is cut short
    Read({bad}, "c");
    auto colour = [&](const char* name) {
        return window->OutputList()->topLevelItem(RowOf(name))->foreground(0).color();
    };
    EXPECT_EQ(colour("whole.bin"), QColor(0, 128, 0));
    EXPECT_EQ(colour("half.bin"), QColor(0, 0, 128)); // started

    const std::string out = Mkdir("out");
    Select({"whole.bin"});
    EXPECT_EQ(window->ExtractTo(out), 1);
    EXPECT_BYTES_EQ(payload, ReadFile(out + "/whole.bin"));
    EXPECT_EQ(window->ExtractTo(out, true), 1); // Save Raw keeps the encoded lines
    EXPECT_NE(ReadFile(out + "/whole.bin.uu").find(UuLines(payload)[0]), std::string::npos);
    window->Action(cmd::Copy)->trigger(); // Copy hands the written file over as a file list
    const QList<QUrl> urls = QApplication::clipboard()->mimeData()->urls();
    ASSERT_EQ(urls.size(), 1);
    const std::string copied = urls[0].toLocalFile().toStdString();
    EXPECT_BYTES_EQ(payload, ReadFile(copied));
    EXPECT_NE(window->StatusText().toStdString(), cmd::kErrorsDetected);
    Select({"bad.bin"});
    window->ExtractTo(out);
    EXPECT_EQ(window->StatusText().toStdString(), cmd::kErrorsDetected);

    // On a dark theme the colours turn light, keeping their hue.
    QPalette dark = window->palette();
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    window->setPalette(dark);
    EXPECT_GT(colour("whole.bin").lightness(), 160);
    EXPECT_EQ(colour("whole.bin").hue(), QColor(0, 128, 0).hue());
    window->setPalette(QPalette());

    // The other statuses, as the list shows them after a rebuild.
    for (const auto& [status, rgb] :
         {std::pair{GS_TOO_MANY, QColor(128, 0, 0)}, {GS_MISSING, QColor(128, 128, 128)}, {7, QColor(128, 0, 128)}}) {
        window->Entries()[RowOf("whole.bin")].group->m_Status = status;
        window->RebuildOutputList(false);
        EXPECT_EQ(colour("whole.bin"), rgb) << status;
    }
    window.reset(); // the copied file lasts as long as the window
    EXPECT_FALSE(FileExists(copied));
}

// Each key runs its command wherever the focus is; what the commands open
// is closed again. Delete removes the outputs when the focus is on them.
TEST_F(WindowTest, EveryKeyRunsItsCommand)
{
    Read({UuMail("a.bin", 1), UuMail("b.bin", 2), UuMail("c.bin", 3)}, "k");
    ASSERT_NO_FATAL_FAILURE(Show());
    QTextBrowser browser; // stands in for the desktop's browser and file manager
    QDesktopServices::setUrlHandler("file", &browser, "setSource");
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
    });
    closer.start(20);
    const std::pair<QKeyCombination, int> keys[] = {
        {Qt::CTRL | Qt::Key_O, cmd::Open}, {Qt::ALT | Qt::Key_X, cmd::Extract}, {Qt::CTRL | Qt::Key_C, cmd::Copy},
        {Qt::Key_F2, cmd::Rename}, {Qt::Key_F8, cmd::RenameFromSubject}, {Qt::CTRL | Qt::Key_F, cmd::FindSelect},
        {Qt::CTRL | Qt::Key_A, cmd::SelectAll}, {Qt::ALT | Qt::Key_Return, cmd::Properties},
        {Qt::SHIFT | Qt::Key_Return, cmd::Preview}, {Qt::Key_F5, cmd::Rescan}, {Qt::Key_F11, cmd::LogWindow},
        {Qt::Key_Escape, cmd::Abort}, {Qt::SHIFT | Qt::Key_F12, cmd::ListDump}, {Qt::Key_F1, cmd::HelpContents},
        {Qt::CTRL | Qt::Key_V, cmd::Paste}, {Qt::CTRL | Qt::Key_Delete, cmd::Remove},
        {Qt::Key_Delete, cmd::DeleteInputs}, {Qt::ALT | Qt::Key_F4, cmd::Exit}, {Qt::CTRL | Qt::Key_Q, cmd::Exit}};
    window->SetCommandHandler(cmd::HelpContents, [] { QDesktopServices::openUrl(QUrl::fromLocalFile("/manual")); });
    for (const auto& [key, id] : keys) {
        ASSERT_NO_FATAL_FAILURE(Show()); // a dialog closed leaves no window active
        Select({Listed().front()});
        window->OutputList()->setFocus();
        QSignalSpy ran(window->Action(id), &QAction::triggered);
        QTest::keyClick(window->OutputList(), key.key(), key.keyboardModifiers());
        EXPECT_EQ(ran.count(), 1) << QKeySequence(key).toString().toStdString();
    }
    EXPECT_EQ(browser.source(), QUrl::fromLocalFile("/manual"));
    EXPECT_EQ(Listed(), Names{"c.bin"}); // Ctrl+Del and Delete removed an output each
    EXPECT_EQ(window->InputList()->count(), 3);
    window->OpenOutputFolder(); // Open Output Folder: a new user's is the current folder
    EXPECT_EQ(browser.source(), QUrl::fromLocalFile(QDir::currentPath()));
    QDesktopServices::unsetUrlHandler("file");
}

TEST_F(WindowTest, ProgressCombinesTheItemAndItsOwnPercentage)
{
    // An item (-3, 0) counts as (1, 1); a negative percentage empties the bar.
    for (const auto& [index, count, percent, shown] : {std::tuple{2, 4, 50, 37}, {-3, 0, 80, 80}, {-3, 0, -1, -1}}) {
        window->SetItemProgress(index, count);
        window->SetItemPercent(percent);
        EXPECT_EQ(window->ProgressValue(), shown) << index << " " << percent;
    }
}

TEST_F(WindowTest, EscDuringAScanStopsItAndTheWindowComesBack)
{
    const std::string big = ManyPostings(dir);
    ASSERT_NO_FATAL_FAILURE(Show());
    bool busyInside = false;
    QTimer::singleShot(0, window.get(), [&] {
        busyInside = window->IsBusy() && !Enabled(cmd::Open) && Enabled(cmd::Abort);
        QTest::keyClick(window->OutputList(), Qt::Key_Escape); // the key itself, wherever the focus is
    });
    window->AddInputs({big});
    EXPECT_TRUE(busyInside);
    EXPECT_LT(window->Entries().size(), 300u); // stopped early
    EXPECT_TRUE(Enabled(cmd::Open));
    window->ClearAll(); // without a stop the same file gives every posting
    window->AddInputs({big});
    EXPECT_EQ(window->Entries().size(), 300u);
}

TEST_F(WindowTest, CloseWhileBusyAbortsAndClosesAfterwards)
{
    const std::string big = ManyPostings(dir);
    ASSERT_NO_FATAL_FAILURE(Show());
    bool visibleAfterClose = false;
    QTimer::singleShot(0, window.get(), [&] {
        window->close();
        visibleAfterClose = window->isVisible();
    });
    window->AddInputs({big});
    EXPECT_TRUE(visibleAfterClose); // the close waits for the scan
    EXPECT_LT(window->Entries().size(), 300u);
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 60000);
    EXPECT_TRUE(FileExists(dir / "Zarvex.ini")); // settings saved on the real close
}

// Long work shows the file, the percentage and the rate; an extraction ends
// with its summary in the status bar and the log, and, when it took long
// while the user looked elsewhere, a desktop notification.
TEST_F(WindowTest, LongWorkShowsItsProgressAndEndsWithASummaryAndANotification)
{
    struct Recorder : Notifier
    {
        void Notify(const QString& title, const QString& body) override { said << title + ": " + body; }
        QStringList said;
    };
    auto notes = std::make_unique<Recorder>();
    const QStringList& said = notes->said;
    window->SetNotifier(std::move(notes));
    window->SetNotifyAfter(0);
    QString meter;
    QTimer::singleShot(0, window.get(), [&] { meter = window->MeterText(); });
    const auto half = UuPosting("half.bin", RandomBytes(3000, 3), 3, {1, 2});
    window->AddInputs({ManyPostings(dir), dir.Write("half.txt", half[0] + half[1])});
    EXPECT_TRUE(meter.startsWith("file 1 of 2 \u00b7 ")) << meter.toStdString();
    EXPECT_TRUE(window->MeterText().isEmpty());
    const std::string out = Mkdir("out");
    Select({"f1.bin", "half.bin"});
    window->ExtractTo(out);
    const QString summary = "2 files written, 1 incomplete, 0 failed";
    EXPECT_EQ(window->SummaryText(), summary);
    EXPECT_TRUE(window->Log()->View()->toPlainText().contains(summary));
    EXPECT_EQ(said, QStringList{"Extraction finished: " + summary + "\n" + QString::fromStdString(out)});
    EXPECT_EQ(window->OutputFolder(), out);
    window->ClearAll();
    EXPECT_TRUE(window->SummaryText().isEmpty());
}

// The first entry counts as focused; Sort Files sorts by name; deleting the
// Clipboard input takes its outputs; Clear ends the error blink at once.
TEST_F(WindowTest, FocusSortingTheClipboardInputAndTheStatusFollowTheCommands)
{
    Read({UuMail("b.bin", 1), UuMail("A.bin", 2), UuMail("c.bin", 3)}, "s");
    EXPECT_TRUE(Enabled(cmd::Properties) && Enabled(cmd::Preview));
    window->Action(cmd::SortFiles)->trigger();
    EXPECT_EQ(Listed(), (Names{"A.bin", "b.bin", "c.bin"}));
    window->Action(cmd::SortFiles)->trigger();
    EXPECT_EQ(Listed(), (Names{"b.bin", "A.bin", "c.bin"}));
    window->PasteText(UuMail("pasted.bin", 4));
    window->InputList()->clearSelection();
    window->InputList()->findItems("Clipboard", Qt::MatchStartsWith)[0]->setSelected(true);
    window->DeleteSelectedInputs();
    EXPECT_EQ(Listed(), (Names{"b.bin", "A.bin", "c.bin"}));
    window->BlinkErrors(500, 10);
    window->ClearAll();
    EXPECT_EQ(window->StatusText().toStdString(), cmd::kReady);
}

TEST_F(WindowTest, FindSelectAndSelectAllPickByStatusAndText)
{
    Read({UuMail("Holiday.jpg", 1, 2000)}, "a");
    Read(UuPosting("holiday2.bin", RandomBytes(2000, 2), 2, {1}), "b");
    Read({UuMail("work.bin", 3, 2000)}, "c");
    EXPECT_EQ(window->FindAndSelect("HOLI", false), 2);
    EXPECT_EQ(Listed(true), (Names{"Holiday.jpg", "holiday2.bin"}));
    EXPECT_EQ(window->FindAndSelect("HOLI", true), 0);
    EXPECT_EQ(window->FindAndSelect("D?Y.J", false), 1); // anywhere in the name; "?" is one character

    window->OnFind(); // the modeless box selects as Find & Select does, and not while busy
    ASSERT_NE(window->FindBox(), nullptr);
    window->FindBox()->SetText("work");
    window->FindBox()->Next();
    EXPECT_EQ(Listed(true), Names{"work.bin"});
    window->EnterBusy();
    window->FindBox()->SetText("holi");
    window->FindBox()->Next();
    window->LeaveBusy();
    EXPECT_EQ(Listed(true), Names{"work.bin"});
    window->SelectAllComplete(); // a started entry counts
    EXPECT_EQ(Listed(true), (Names{"Holiday.jpg", "holiday2.bin", "work.bin"}));
}

TEST_F(WindowTest, RenamePadNumbersRenameFromSubjectAndRemoveChangeTheOutputsOnly)
{
    Read({UuMail("pic1.jpg", 1)}, "a");
    Read({UuMail("pic10.jpg", 2)}, "b");
    Select({"pic1.jpg", "pic10.jpg"});
    window->PadPartNumbers();
    EXPECT_EQ(Listed(), (Names{"pic01.jpg", "pic10.jpg"}));
    Select({"pic01.jpg", "pic10.jpg"});
    EXPECT_FALSE(window->RenameSelected("holiday.jpg")); // the wildcards of "pic??.jpg" are lost
    EXPECT_TRUE(window->RenameSelected("rome??.jpg"));
    EXPECT_EQ(Listed(), (Names{"rome01.jpg", "rome10.jpg"}));
    Select({"rome01.jpg"});
    EXPECT_TRUE(window->RenameSelected("  ../first.jpg "));
    EXPECT_EQ(Listed(), (Names{"first.jpg", "rome10.jpg"}));
    Select({"rome10.jpg"});
    window->RemoveSelectedOutputs();
    EXPECT_EQ(Listed(), Names{"first.jpg"});
    EXPECT_EQ(window->InputList()->count(), 2);
    EXPECT_TRUE(FileExists(dir / "b0.txt"));

    // Rename from Subject gives the selected entries the names the dialog built, and keeps its rules.
    Select({"first.jpg"});
    IniFile ini;
    SubjectRenameDialog dialog(window.get(), {{"first.jpg", "Holiday in Rome (1/1)", "", 0}}, ini,
                               window->Preferences().core);
    SubjectRenameOptions rules;
    rules.RemoveSquareParens = true;
    dialog.SetRules(rules);
    dialog.accept();
    EXPECT_EQ(ini.GetInt("SubjectRename", "RemoveSquareParens", 0), 1);
    window->RenameSelectedTo(dialog.Results());
    EXPECT_EQ(Listed(), Names{"Holiday in Rome"});
}

// A decoded mail holding a file of another name goes, after the questions,
// into the clipboard file; so do pasted text and dropped ".eml" files, and
// each time only the new text is read.
TEST_F(WindowTest, NestedFilesPastedTextAndDroppedMailGoThroughTheClipboardFile)
{
    Read(UuPosting("box.txt", UuMail("other.bin", 9), 1), "a");
    Select({"box.txt"});
    window->CoreHost().SetSilent(false);
    AnswerBoxes([&] { window->ExtractTo(Mkdir("out")); }); // the default answer of every question
    EXPECT_EQ(Listed(), (Names{"box.txt", "other.bin"}));
    const auto parts = UuPosting("pasted.bin", RandomBytes(3000, 4), 2);
    EXPECT_GT(window->PasteText(parts[0]), 0);
    EXPECT_GT(window->PasteText(parts[1]), 0);
    window->DropFiles({dir.Write("mail.eml", UuMail("dropped.bin", 5))});
    EXPECT_EQ(Listed(), (Names{"box.txt", "other.bin", "pasted.bin", "dropped.bin"}));
    EXPECT_EQ(window->Entries()[RowOf("pasted.bin")].group->m_Found, 2); // each part once
    EXPECT_EQ(window->InputList()->count(), 2);
    EXPECT_EQ(window->InputList()->findItems("Clipboard ", Qt::MatchStartsWith).size(), 1);
    const std::string file = window->ClipboardPath();
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
    Read({UuMail("one.bin", 1)}, "r");
    window->Action(cmd::ToolBar)->trigger();
    window->resize(1000, 400);
    ASSERT_NO_FATAL_FAILURE(Show());
    const int width = window->findChild<QSplitter*>()->width();
    window->MoveSplitter(width / 2);
    EXPECT_EQ(window->SplitPercent(), 0);
    window->MoveSplitter(width * 30 / 100 + 1);
    window->close();
    NewWindow();
    EXPECT_EQ(window->SplitPercent(), 30);
    EXPECT_EQ(window->RecentFiles(), Names{dir / "r0.txt"});
    EXPECT_FALSE(window->Action(cmd::ToolBar)->isChecked());
}

} // namespace
} // namespace zarvex::test
