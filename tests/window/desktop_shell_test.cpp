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
        Attach({});
    }
    void TearDown() override
    {
        window.reset();
        for (const char* name : kXdg) ::unsetenv(name);
    }

    void Attach(CommandLine cl)
    {
        NewWindow();
        auto* shell = new DesktopShell(*window, engine, std::move(cl), paths); // the window's child
        ASSERT_TRUE(shell->ListenForCommands(CommandSocketPath()));
    }

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

    // A preferences dialog over the settings `set` makes, whose questions `agree` answers.
    std::unique_ptr<PreferencesDialog> Dialog(void (*set)(Settings&))
    {
        Settings s;
        set(s);
        s.WorkingDir = dir.Path().string();
        auto dialog = std::make_unique<PreferencesDialog>(s, true, paths, window->SettingsFile());
        dialog->notify = [this](const QString& text, bool) {
            said.push_back(text);
            return agree;
        };
        return dialog;
    }

    DesktopPaths paths;
    std::vector<QString> said;
    bool agree = false;
};

TEST_F(DesktopShellTest, OpenReadsAFileWhosePathHasQuotesAndBracketsButNotOneOfTheCommandLine)
{
    const std::string odd = Posting(R"(say "hi" [1](2).txt)", "odd.bin");
    Attach(ParseArguments({Posting("started.txt", "started.bin")}));
    EXPECT_EQ(Send(OpenCommandString(odd)), "ok");
    EXPECT_EQ(Send(OpenCommandString(dir / "./started.txt")), "ok"); // the command line's file is not read again
    EXPECT_EQ(Send(OpenCommandString(dir / "missing.txt")), "error");
    EXPECT_EQ(Listed(), Names{"odd.bin"});
    // A second program hands its files over.
    const std::string other = Posting("other.txt", "other.bin");
    EXPECT_TRUE(Client([&] { return ForwardFiles(CommandSocketPath(), {other}); }));
    EXPECT_EQ(Listed(), (Names{"odd.bin", "other.bin"}));
}

TEST_F(DesktopShellTest, ExtractIntoAQuotedFolderThenQuitWritesEverythingAndCloses)
{
    Show();
    window->AddInputs({Posting("a.txt", "a.bin"), Posting("b.txt", "b.bin")});
    const std::string out = Mkdir("out (1)");
    EXPECT_EQ(Send("[extract(" + QuoteCommandArgument(out) + ")][quit]"), "ok");
    EXPECT_EQ(ReadFile(out + "/a.bin"), RandomBytes(3000, 5));
    EXPECT_TRUE(FileExists(out + "/b.bin"));
    QTest::qWait(0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
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

TEST_F(DesktopShellTest, PreferencesAndAdvancedPreferencesTakeTheBoxesCheckTheFolderAndAssociate)
{
    const auto dialog = Dialog([](Settings& s) { s.AutoIndentDetect = true; });
    EXPECT_TRUE(dialog->Box(1316)->isChecked() && dialog->Box(1317)->isChecked());
    EXPECT_TRUE(dialog->Box(1321)->isHidden());
    for (const auto& [id, on] : {std::pair{1316, false}, {2712, true}, {1317, false}, {1304, true}})
        dialog->Box(id)->setChecked(on);
    const std::string work = dir / "work/tmp";
    dialog->WorkingFolder()->setText(QString::fromStdString(work));
    dialog->accept(); // the user declines to create the folder: the dialog stays
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_TRUE(said[0].startsWith("Verify creation of the new directory:"));
    agree = true;
    dialog->accept();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(FolderState(work), 2);
    EXPECT_EQ(ReadAssociations(paths)[3], true) << "the box labelled .&MM governs .MM";
    EXPECT_FALSE(dialog->AssumeSorted());

    // The advanced dialog enables the type list with its box and keeps its marks.
    AdvancedPreferencesDialog advanced(dialog->Result());
    QTreeWidget* types = advanced.TypeList();
    ASSERT_EQ(types->topLevelItemCount(), kDataTypeCount - 1);
    EXPECT_TRUE(types->isEnabled());
    advanced.Box(1322)->setChecked(false);
    EXPECT_FALSE(types->isEnabled());
    advanced.Box(1322)->setChecked(true);
    types->topLevelItem(0)->setCheckState(0, Qt::Unchecked); // type 1
    advanced.Box(2703)->setChecked(true);
    advanced.Box(1314)->setChecked(false);

    // Taken over and saved at exit, read back as they were chosen.
    window->Preferences().core = advanced.Result();
    window->SaveSettings();
    const Settings back = LoadSettings(IniFile(ReadFile(dir / "Zarvex.ini"))).core;
    EXPECT_EQ(std::tuple(back.AutoIndentDetect, back.StrictYenc, back.DetectTypes[1],
                         back.DetectTypes[2], back.OldExtract, back.EOLConversion, back.WorkingDir),
              std::tuple(false, true, false, true, true, false, work));
}

TEST_F(DesktopShellTest, ThePreferencesCommandWritesThePreviousDefaultAtOnce)
{
    WriteFile(paths.MimeAppsList(), "[Default Applications]\ntext/x-uuencode=other.desktop;\n");
    window->SaveSettings();
    DesktopShell menu(*window, engine, {}, paths, dir / "Zarvex.ini");
    EXPECT_TRUE(AnswerDialog<PreferencesDialog>([&] { EXPECT_TRUE(menu.Preferences()); },
                                                [](PreferencesDialog& dialog) {
                                                    dialog.Box(1301)->setChecked(true);
                                                    dialog.accept();
                                                }));
    EXPECT_EQ(IniFile(ReadFile(dir / "Zarvex.ini")).GetString("Association", "Pref1"), "other.desktop;");
}

// Its ".." walks up; Cancel keeps the folder there was.
TEST_F(DesktopShellTest, TheOldStyleChoosesTheWorkingFolderInTheOldFolderBox)
{
    const auto dialog = Dialog([](Settings& s) { s.OldExtract = true; });
    dialog->WorkingFolder()->setText(QString::fromStdString(Mkdir("work/deeper")));
    QPushButton* select = nullptr;
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->text() == "Se&lect...") select = b;
    ASSERT_NE(select, nullptr);
    for (const bool ok : {false, true}) {
        EXPECT_TRUE(AnswerDialog<FolderBox>([&] { select->click(); }, [&](FolderBox& box) {
            EXPECT_EQ(box.windowTitle(), "Working Directory");
            ASSERT_EQ(box.Panel()->Directories()->item(0)->text(), "..");
            emit box.Panel()->Directories()->itemActivated(box.Panel()->Directories()->item(0));
            ok ? box.accept() : box.reject();
        }));
        EXPECT_EQ(dialog->WorkingFolder()->text().toStdString(), dir / (ok ? "work" : "work/deeper"));
    }
}

} // namespace
} // namespace zarvex::test
