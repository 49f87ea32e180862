#include "app/window/commands.h"
#include "app/window/list_dump_window.h"
#include "model/list_dump.h"
#include "app/window/subject_rename_dialog.h"
#include "window_fixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTreeWidget>
#include <QTimer>

namespace zarvex::test {
namespace {

// Dialog 1200 opened on two outputs: the rows follow every option change,
// "%#" counts from 1 at each refresh, "Rename" renames the entries and keeps
// the options in section "SubjectRename".
TEST_F(WindowTest, RenameFromSubjectUsesTheRulesAndKeepsThem)
{
    for (const char* name : {"dsc1.jpg", "dsc2.jpg"}) {
        auto posting = UuPosting(name, RandomBytes(900, name[3]), 1);
        const std::string from = std::string("Subject: ") + name;
        posting[0].replace(posting[0].find(from), from.size(), std::string("Subject: Rome [trip] ") + name);
        Read(posting, name);
    }
    Select({"dsc1.jpg", "dsc2.jpg"});
    ASSERT_TRUE(window->Action(cmd::RenameFromSubject)->isEnabled());

    std::vector<std::string> shown;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<SubjectRenameDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        for (auto* box : dialog->findChildren<QCheckBox*>())
            if (box->text().contains("[ ]") || box->text().contains("Filename(s)") || box->text().contains("spaces"))
                box->setChecked(true);
        dialog->findChildren<QLineEdit*>().back()->setText("%s %#"); // Substitutions
        for (int i = 0; i < dialog->List()->topLevelItemCount(); ++i)
            shown.push_back(dialog->List()->topLevelItem(i)->text(2).toStdString());
        dialog->accept();
    });
    window->Action(cmd::RenameFromSubject)->trigger();

    EXPECT_EQ(shown, (std::vector<std::string>{"Rome 01", "Rome 02"}));
    auto names = Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, shown);
    window->close(); // saves the INI
    const Bytes bytes = ReadFile(dir / "Zarvex.ini");
    const std::string ini(bytes.begin(), bytes.end());
    EXPECT_NE(ini.find("RemoveSquareBrackets=1"), std::string::npos) << ini;
    EXPECT_NE(ini.find("NameFormat=%s %#"), std::string::npos) << ini;
}

// Shift+F12 shows the same text as "--listdump=" writes, and keeps its place.
TEST_F(WindowTest, ListDumpWindowShowsTheListDump)
{
    Read(UuPosting("one.bin", RandomBytes(900, 1), 2), "a");
    std::string shown;
    QTimer::singleShot(0, [&] {
        auto* dump = qobject_cast<ListDumpWindow*>(QApplication::activeModalWidget());
        ASSERT_NE(dump, nullptr);
        shown = dump->Text().toStdString();
        dump->setGeometry(40, 50, 500, 300);
        dump->accept();
    });
    window->Action(cmd::ListDump)->trigger();
    std::string expected = ListDumpText(&window->SortList());
    std::erase(expected, '\r');
    EXPECT_EQ(shown, expected);
    window->close();
    const Bytes ini = ReadFile(dir / "Zarvex.ini");
    EXPECT_NE(std::string(ini.begin(), ini.end()).find("[DumpWindow]\nCoordinates=40,50,540,350"), std::string::npos);
}

} // namespace
} // namespace zarvex::test
