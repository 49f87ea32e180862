// The running program as other programs see it: command strings over the
// per-user socket, and the preferences dialogs with their settings.
#include "app/desktop/associations.h"
#include "app/program.h"
#include "app/server/command_client.h"
#include "app/window/advanced_preferences_dialog.h"
#include "app/window/desktop_shell.h"
#include "app/window/folder_box.h"
#include "app/window/preferences_dialog.h"
#include "window_fixture.h"

#include <future>
#include <sstream>

namespace zarvex::test {
namespace {

constexpr const char* kXdg[] = {"XDG_RUNTIME_DIR", "XDG_DATA_HOME", "XDG_CONFIG_HOME"};

class DesktopShellTest : public WindowTest
{
protected:
    void SetUp() override
    {
        for (const char* name : kXdg) ::setenv(name, dir.Path().c_str(), 1);
        paths = DesktopPaths::FromProcess();
        Attach();
    }
    void TearDown() override
    {
        window.reset();
        for (const char* name : kXdg) ::unsetenv(name);
    }

    void Attach()
    {
        NewWindow();
        // The shell is the window's child; it writes the previous defaults into the settings file at once.
        window->SaveSettings();
        shell = new DesktopShell(*window, engine, paths, dir / "Zarvex.ini");
        ASSERT_TRUE(shell->ListenForCommands(CommandSocketPath()));
    }
    void Settle() { ASSERT_TRUE(QTest::qWaitFor([&] { return shell->Pending() == 0; })); }

    // Runs `client` on another thread while this one serves its commands.
    template <typename F> auto Client(F client)
    {
        auto result = std::async(std::launch::async, client);
        while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return result.get();
    }
    std::string Send(const std::string& commands)
    {
        return Client([&] { return SendCommandString(CommandSocketPath(), commands).value_or("no server"); });
    }

    std::string Posting(const std::string& file, const std::string& name) const
    {
        return dir.Write(file, UuMail(name, 5, 3000));
    }

    HandOverResult HandOverFiles(const Names& files, bool clipboard = false)
    {
        std::ostringstream err;
        return Client([&] { return HandOver(CommandSocketPath(), files, clipboard, err); });
    }

    DesktopPaths paths;
    DesktopShell* shell = nullptr;
};

// A second start is answered at once, also while a box is open in the first:
// the file is read when the box has gone. A file in the list is not read
// again, nor does a box say so; after Clear it is read again.
TEST_F(DesktopShellTest, AHandOverIsAnsweredWhileABoxIsOpenAndReadAfterItUnlessListed)
{
    const std::string odd = Posting(R"(say "hi" [1](2).txt)", "odd.bin");
    HandOverResult result = HandOverResult::NoProgram;
    std::size_t listedMeanwhile = 9;
    QTimer::singleShot(0, [&] {
        result = HandOverFiles({odd});
        listedMeanwhile = Listed().size();
        QApplication::activeModalWidget()->close();
    });
    QMessageBox::information(window.get(), "Zarvex", "a box the user has not answered yet");
    EXPECT_EQ(result, HandOverResult::HandedOver);
    EXPECT_EQ(listedMeanwhile, 0u);
    Settle();
    EXPECT_EQ(Listed(), Names{"odd.bin"});
    window->CoreHost().SetSilent(false);
    EXPECT_TRUE(AnswerBoxes([&] {
                    EXPECT_EQ(Send(OpenCommandString(dir / "./" R"(say "hi" [1](2).txt)")), "ok");
                    Settle();
                }).isEmpty());
    EXPECT_EQ(window->Entries()[0].group->m_Found, 1);
    window->ClearAll();
    EXPECT_EQ(Send(OpenCommandString(odd)), "ok");
    EXPECT_EQ(Send(OpenCommandString(dir / "missing.txt")), "error");
    Settle();
    EXPECT_EQ(Listed(), Names{"odd.bin"});
    // --readclipboard hands the clipboard over; a start with nothing only raises the window.
    QApplication::clipboard()->setText(QString::fromStdString(UuMail("clip.bin", 7)));
    EXPECT_EQ(HandOverFiles({}, true), HandOverResult::HandedOver);
    EXPECT_EQ(HandOverFiles({}), HandOverResult::HandedOver);
    Settle();
    EXPECT_EQ(Listed(), (Names{"odd.bin", "clip.bin"}));
}

TEST_F(DesktopShellTest, ExtractIntoAQuotedFolderThenQuitWritesEverythingAndCloses)
{
    Show();
    window->AddInputs({Posting("a.txt", "a.bin"), Posting("b.txt", "b.bin")});
    const std::string out = Mkdir("out (1)");
    EXPECT_EQ(Send("[extract(" + QuoteCommandArgument(out) + ")][quit]"), "ok");
    EXPECT_EQ(ReadFile(out + "/a.bin"), RandomBytes(3000, 5));
    EXPECT_TRUE(FileExists(out + "/b.bin"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }));
    EXPECT_EQ(IniFile(ReadFile(dir / "Zarvex.ini")).GetString("Recent Dir List", "Dir1"), out);
}

TEST_F(DesktopShellTest, ClearWhileBusyAnswersBusyAndPurgeKeepsIncompleteFiles)
{
    // The second file lacks its first part: its parts are missing, not started.
    const std::string half = dir.Write("b.txt", UuPosting("half.bin", RandomBytes(3000, 5), 2, {2})[0]);
    window->AddInputs({Posting("a.txt", "whole.bin"), half});
    window->EnterBusy();
    EXPECT_EQ(Send("[clear]"), "busy");
    window->LeaveBusy();
    EXPECT_EQ(Send("[purge]"), "ok");
    ASSERT_EQ(window->SortList().GetSize(), 1);
    EXPECT_EQ(window->SortList()[0]->m_Status & GS_MASK, GS_MISSING);
    std::ostringstream out, err;
    EXPECT_EQ(Client([&] { return RunProgram({"--dde=[clear]"}, engine, {}, out, err); }), 0);
    EXPECT_EQ(out.str(), "ok\n");
    EXPECT_TRUE(Listed().empty());
}

// The old default of an extension taken is written into the settings at once.
TEST_F(DesktopShellTest, PreferencesAndAdvancedPreferencesTakeTheBoxesCheckTheFolderAndAssociate)
{
    WriteFile(paths.MimeAppsList(), "[Default Applications]\ntext/x-uuencode=other.desktop;\n");
    window->Preferences().core.AutoIndentDetect = true;
    window->Preferences().core.WorkingDir = dir.Path().string();
    window->Run().AssumeSortedOrder = true;
    const std::string work = dir / "work/tmp";
    std::vector<QString> said;
    Command<PreferencesDialog>(cmd::Preferences, [&](PreferencesDialog& d) {
        bool agree = false;
        d.notify = [&](const QString& text, bool) {
            said.push_back(text);
            return agree;
        };
        EXPECT_TRUE(d.Box(1316)->isChecked() && d.Box(1317)->isChecked());
        EXPECT_TRUE(d.Box(1321)->isHidden());
        for (const auto& [id, on] :
             {std::pair{1316, false}, {2712, true}, {1317, false}, {1304, true}, {1301, true}})
            d.Box(id)->setChecked(on);
        d.WorkingFolder()->setText(QString::fromStdString(work));
        d.accept(); // the user declines to create the folder: the dialog stays
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(said.size(), 1u);
        agree = true;
        d.accept();
    });
    ASSERT_FALSE(said.empty());
    EXPECT_TRUE(said[0].startsWith("Verify creation of the new directory:"));
    EXPECT_EQ(FolderState(work), 2);
    EXPECT_EQ(ReadAssociations(paths)[3], true) << "the box labelled .&MM governs .MM";
    EXPECT_FALSE(window->Run().AssumeSortedOrder);
    EXPECT_EQ(IniFile(ReadFile(dir / "Zarvex.ini")).GetString("Association", "Pref1"), "other.desktop;");

    // The advanced dialog enables the type list with its box and keeps its marks.
    Command<AdvancedPreferencesDialog>(cmd::AdvancedPreferences, [](AdvancedPreferencesDialog& d) {
        QTreeWidget* types = d.TypeList();
        ASSERT_EQ(types->topLevelItemCount(), kDataTypeCount - 1);
        EXPECT_TRUE(types->isEnabled());
        d.Box(1322)->setChecked(false);
        EXPECT_FALSE(types->isEnabled());
        d.Box(1322)->setChecked(true);
        types->topLevelItem(0)->setCheckState(0, Qt::Unchecked); // type 1
        d.Box(2703)->setChecked(true);
        d.Box(1314)->setChecked(false);
        d.accept();
    });

    // Taken over and saved at exit, read back as they were chosen.
    window->SaveSettings();
    const Settings back = LoadSettings(IniFile(ReadFile(dir / "Zarvex.ini"))).core;
    EXPECT_EQ(std::tuple(back.AutoIndentDetect, back.StrictYenc, back.DetectTypes[1], back.DetectTypes[2],
                         back.OldExtract, back.EOLConversion, back.WorkingDir),
              std::tuple(false, true, false, true, true, false, work));
}

// Its ".." walks up; Cancel keeps the folder there was.
TEST_F(DesktopShellTest, TheOldStyleChoosesTheWorkingFolderInTheOldFolderBox)
{
    window->Preferences().core.OldExtract = true;
    window->Preferences().core.WorkingDir = Mkdir("work/deeper");
    Command<PreferencesDialog>(cmd::Preferences, [&](PreferencesDialog& d) {
        QPushButton* select = nullptr;
        for (QPushButton* b : d.findChildren<QPushButton*>())
            if (b->text() == "Se&lect...") select = b;
        ASSERT_NE(select, nullptr);
        for (const bool ok : {false, true}) {
            EXPECT_TRUE(AnswerDialog<FolderBox>([&] { select->click(); }, [&](FolderBox& box) {
                EXPECT_EQ(box.windowTitle(), "Working Directory");
                ASSERT_EQ(box.Panel()->Directories()->item(0)->text(), "..");
                emit box.Panel()->Directories()->itemActivated(box.Panel()->Directories()->item(0));
                ok ? box.accept() : box.reject();
            }));
            EXPECT_EQ(d.WorkingFolder()->text().toStdString(), dir / (ok ? "work" : "work/deeper"));
        }
        d.reject();
    });
}

} // namespace
} // namespace zarvex::test
