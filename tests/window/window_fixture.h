// A main window over the real core, fed with generated mail files, and the
// helpers the window tests share.
#pragma once

#include "app/core_engine.h"
#include "app/window/commands.h"
#include "app/window/log_window.h"
#include "app/window/main_window.h"
#include "model/records.h"
#include "support/encoders.h"
#include "support/test_support.h"
#include "text/messages.h"

#include <QSignalSpy>
#include <QTest>
#include <QtWidgets>

namespace zarvex::test {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// The messages of one UUencoded file posted in `parts` pieces; with `keep`
// only those part numbers (from 1) are returned.
inline Names UuPosting(const std::string& name, const std::string& data, int parts,
                       const std::vector<int>& keep = {})
{
    Names lines = UuLines(data), messages;
    lines.insert(lines.begin(), "begin 644 " + name);
    lines.push_back("end");
    const std::size_t per = (lines.size() + parts - 1) / parts;
    for (int p = 1; p <= parts; ++p) {
        std::string m = "From: poster@example.net\nSubject: " + name + " (" + std::to_string(p) + "/" +
                        std::to_string(parts) + ")\n\n";
        for (std::size_t i = (p - 1) * per; i < std::min(lines.size(), p * per); ++i) m += lines[i] + "\n";
        if (keep.empty() || std::ranges::count(keep, p)) messages.push_back(m);
    }
    return messages;
}

// A whole file of `size` random bytes from `seed` in one message.
inline std::string UuMail(const std::string& name, std::uint32_t seed, std::size_t size = 900)
{
    return UuPosting(name, RandomBytes(size, seed), 1)[0];
}

// Presses the default button (else OK or Yes, else the first) of every
// message box shown while `run` runs; the boxes' texts, in order.
inline QStringList AnswerBoxes(const std::function<void()>& run)
{
    QStringList texts;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        texts << box->text();
        QAbstractButton* pressed = box->defaultButton();
        for (QAbstractButton* b : box->buttons())
            if (!pressed &&
                (box->buttonRole(b) == QMessageBox::AcceptRole || box->buttonRole(b) == QMessageBox::YesRole))
                pressed = b;
        (pressed ? pressed : box->buttons().front())->click();
    });
    answer.start(20);
    run();
    answer.stop();
    return texts;
}

// Runs `answer` on the modal dialog of type T that `run` opens (if any); true when one was opened.
template <class T> bool AnswerDialog(const std::function<void()>& run, const std::function<void(T&)>& answer)
{
    bool shown = false;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            shown = true;
            answer(*dialog);
        }
    });
    run();
    QApplication::processEvents(); // the timer fires even when no dialog ran
    return shown;
}

class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override { NewWindow(); }

    void NewWindow(CommandLine cl = {})
    {
        window.reset();
        window = std::make_unique<CZarvexDlg>(engine, dir / "Zarvex.ini", std::move(cl));
        window->CoreHost().SetSilent(true);
    }

    void Show()
    {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    std::string Mkdir(const std::string& name) const
    {
        fs::create_directories(dir / name);
        return dir / name;
    }

    // Writes each message to its own file, stem0.txt and on, and reads them all.
    void Read(const Names& messages, const std::string& stem)
    {
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < messages.size(); ++i)
            paths.push_back(dir.Write(stem + std::to_string(i) + ".txt", messages[i]));
        window->AddInputs(paths);
    }

    bool Enabled(int id) const { return window->Action(id)->isEnabled(); }

    // Runs the command `id` from the menu with `answer` on the dialog of type T it opens.
    template <class T> void Command(int id, const std::function<void(T&)>& answer)
    {
        EXPECT_TRUE(AnswerDialog<T>([&] { window->Action(id)->trigger(); }, answer));
    }

    // The names of the output entries, all or only the selected ones, in list order.
    Names Listed(bool selectedOnly = false) const
    {
        Names names;
        for (std::size_t i = 0; i < window->Entries().size(); ++i)
            if (!selectedOnly || window->OutputList()->topLevelItem(static_cast<int>(i))->isSelected())
                names.emplace_back(EntryName(window->Entries()[i].text));
        return names;
    }

    int RowOf(const std::string& name) const
    {
        const auto names = Listed();
        return static_cast<int>(std::ranges::find(names, name) - names.begin()); // past the end when missing
    }

    void Select(const Names& names)
    {
        window->OutputList()->clearSelection();
        for (const auto& n : names) {
            ASSERT_LT(RowOf(n), window->OutputList()->topLevelItemCount()) << n;
            window->OutputList()->topLevelItem(RowOf(n))->setSelected(true);
        }
    }

    void SetCurrent(int row) { window->OutputList()->setCurrentItem(window->OutputList()->topLevelItem(row)); }

    TempDir dir;
    CoreEngine engine;
    std::unique_ptr<CZarvexDlg> window;
};

} // namespace zarvex::test
