// The running program as other programs see it: command strings over the
// per-user socket, and the preferences dialogs with their settings.
#include "app/desktop/associations.h"
#include "app/program.h"
#include "app/server/command_client.h"
#include "app/window/advanced_preferences_dialog.h"
#include "app/window/desktop_shell.h"
#include "app/window/folder_box.h"
#include "app/window/preferences_dialog.h"
#include "model/records.h"
#include "window_fixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <future>
#include <sstream>

namespace zarvex::test {
namespace {

class DesktopShellTest : public WindowTest
{
protected:
    void SetUp() override
    {
        for (const char* name : {"XDG_RUNTIME_DIR", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
            ::setenv(name, dir.Path().c_str(), 1);
        paths = DesktopPaths::FromProcess();
        WindowTest::SetUp();
        Attach({});
    }
    void TearDown() override
    {
        window.reset();
        for (const char* name : {"XDG_RUNTIME_DIR", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
            ::unsetenv(name);
    }

    void Attach(CommandLine cl)
    {
        NewWindow();
        shell = new DesktopShell(*window, engine, std::move(cl), paths);
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

    std::string Posting(const std::string& file, const std::string& name, std::vector<int> keep = {})
    {
        std::string text;
        for (const auto& m : UuPosting(name, RandomBytes(3000, 5), 2, keep))
            text += m;
        return dir.Write(file, text);
    }

    DesktopPaths paths;
    DesktopShell* shell = nullptr;
};

TEST_F(DesktopShellTest, OpenReadsAFileWhosePathHasQuotesAndBracketsButNotOneOfTheCommandLine)
{
    const std::string odd = Posting(R"(say "hi" [1](2).txt)", "odd.bin");
    const std::string started = Posting("started.txt", "started.bin");
    Attach(ParseArguments({started}));
    EXPECT_EQ(Send(OpenCommandString(odd)), "ok");
    EXPECT_EQ(Names(), std::vector<std::string>{"odd.bin"});
    EXPECT_EQ(Send(OpenCommandString(dir / "./started.txt")), "ok");
    EXPECT_EQ(Names().size(), 1u) << "the command line's own file is not read again";
    EXPECT_EQ(Send(OpenCommandString(dir / "missing.txt")), "error");

    // A second program hands its files over.
    const std::string other = Posting("other.txt", "other.bin");
    EXPECT_TRUE(Client([&] { return ForwardFiles(CommandSocketPath(), {other}); }));
    EXPECT_EQ(RowOf("other.bin") >= 0, true);
}

TEST_F(DesktopShellTest, ExtractIntoAQuotedFolderThenQuitWritesEverythingAndCloses)
{
    Show();
    window->AddInputs({Posting("a.txt", "a.bin"), Posting("b.txt", "b.bin")});
    const std::string out = dir / "out (1)";
    std::filesystem::create_directory(out);
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
    window->AddInputs({Posting("a.txt", "whole.bin"), Posting("b.txt", "half.bin", {2})});
    window->EnterBusy();
    EXPECT_EQ(Send("[clear]"), "busy");
    window->LeaveBusy();
    EXPECT_EQ(Names().size(), 2u);
    EXPECT_EQ(Send("[purge]"), "ok");
    ASSERT_EQ(window->SortList().GetSize(), 1);
    EXPECT_EQ(window->SortList()[0]->m_Status & GS_MASK, GS_MISSING);

    std::ostringstream out, err;
    EXPECT_EQ(Client([&] { return RunProgram({"--dde=[clear]"}, engine, {}, out, err); }), 0);
    EXPECT_EQ(out.str(), "ok\n");
    EXPECT_TRUE(Names().empty());
}

TEST_F(DesktopShellTest, PreferencesAndAdvancedPreferencesTakeTheBoxesCheckTheFolderAndAssociate)
{
    Settings s;
    s.AutoIndentDetect = true;
    s.WorkingDir = dir.Path().string();
    PreferencesDialog dialog(s, true, paths, window->SettingsFile());
    std::vector<QString> said;
    bool agree = false;
    dialog.notify = [&](const QString& text, bool) {
        said.push_back(text);
        return agree;
    };
    EXPECT_TRUE(dialog.Box(1316)->isChecked());
    EXPECT_TRUE(dialog.Box(1317)->isChecked());
    EXPECT_TRUE(dialog.Box(1321)->isHidden());
    dialog.Box(1316)->setChecked(false);
    dialog.Box(2712)->setChecked(true);
    dialog.Box(1317)->setChecked(false);
    dialog.Box(1304)->setChecked(true);
    const std::string work = dir / "work/tmp";
    dialog.WorkingFolder()->setText(QString::fromStdString(work));

    dialog.accept(); // the user declines to create the folder: the dialog stays
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_TRUE(said[0].startsWith("Verify creation of the new directory:"));
    agree = true;
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(FolderState(work), 2);
    EXPECT_EQ(ReadAssociations(paths)[3], true) << "the box labelled .&MM governs .MM";

    window->Run().AssumeSortedOrder = dialog.AssumeSorted();
    EXPECT_FALSE(window->Run().AssumeSortedOrder);

    // The advanced dialog enables the type list with its box and keeps its marks.
    AdvancedPreferencesDialog advanced(dialog.Result());
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
    const AppSettings back = LoadSettings(IniFile(ReadFile(dir / "Zarvex.ini")));
    EXPECT_FALSE(back.core.AutoIndentDetect);
    EXPECT_TRUE(back.core.StrictYenc);
    EXPECT_EQ(back.core.WorkingDir, work);
    EXPECT_FALSE(back.core.DetectTypes[1]);
    EXPECT_TRUE(back.core.DetectTypes[2]);
    EXPECT_TRUE(back.core.OldExtract);
    EXPECT_FALSE(back.core.EOLConversion);
}

TEST_F(DesktopShellTest, ThePreferencesCommandWritesThePreviousDefaultAtOnce)
{
    WriteFile(paths.MimeAppsList(), "[Default Applications]\ntext/x-uuencode=other.desktop;\n");
    window->SaveSettings();
    DesktopShell menu(*window, engine, {}, paths, dir / "Zarvex.ini");
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<PreferencesDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        dialog->Box(1301)->setChecked(true);
        dialog->accept();
    });
    EXPECT_TRUE(menu.Preferences());
    EXPECT_EQ(IniFile(ReadFile(dir / "Zarvex.ini")).GetString("Association", "Pref1"), "other.desktop;");
}

TEST_F(DesktopShellTest, TheOldStyleChoosesTheWorkingFolderInTheOldFolderBox)
{
    Settings s;
    s.OldExtract = true;
    s.WorkingDir = dir.Path().string();
    std::filesystem::create_directories(dir / "work");
    PreferencesDialog dialog(s, true, paths, window->SettingsFile());
    QPushButton* select = nullptr;
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
        if (b->text() == "Se&lect...") select = b;
    ASSERT_NE(select, nullptr);
    EXPECT_TRUE(AnswerDialog<FolderBox>([&] { select->click(); },
                                        [&](FolderBox& box) {
                                            EXPECT_EQ(box.windowTitle(), "Working Directory");
                                            box.Panel()->SetFolder(dir / "work");
                                            box.accept();
                                        }));
    EXPECT_EQ(dialog.WorkingFolder()->text().toStdString(), dir / "work");
}

} // namespace
} // namespace zarvex::test
