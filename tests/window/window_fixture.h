// A main window over the real core, fed with generated mail files.
#pragma once

#include "app/core_engine.h"
#include "app/window/main_window.h"
#include "support/encoders.h"
#include "support/test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zarvex::test {

// The messages of one UUencoded file posted in `parts` pieces; with `keep`
// only those part numbers (from 1) are returned.
inline std::vector<std::string> UuPosting(const std::string& name, const std::string& data, int parts,
                                          std::vector<int> keep = {})
{
    const auto lines = EncodeSixBitLines(data, kUUAlphabetBackquote);
    std::vector<std::string> messages;
    const std::size_t per = (lines.size() + parts - 1) / parts;
    for (int p = 1; p <= parts; ++p) {
        std::string m = "From: poster@example.net\nSubject: " + name + " (" + std::to_string(p) + "/" +
                        std::to_string(parts) + ")\n\n";
        if (p == 1) m += "begin 644 " + name + "\n";
        for (std::size_t i = (p - 1) * per; i < std::min(lines.size(), p * per); ++i)
            m += lines[i] + "\n";
        if (p == parts) m += "`\nend\n";
        if (keep.empty() || std::find(keep.begin(), keep.end(), p) != keep.end()) messages.push_back(m);
    }
    return messages;
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

    void NewWindow()
    {
        window.reset();
        window = std::make_unique<CZarvexDlg>(engine, dir / "Zarvex.ini");
        window->CoreHost().SetSilent(true);
    }

    void Show()
    {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    // Writes each message to its own file and reads them all.
    void Read(const std::vector<std::string>& messages, const std::string& stem)
    {
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < messages.size(); ++i)
            paths.push_back(dir.Write(stem + std::to_string(i) + ".txt", messages[i]));
        window->AddInputs(paths);
    }

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& e : window->Entries())
            names.emplace_back(EntryName(e.text));
        return names;
    }

    int RowOf(const std::string& name) const
    {
        const auto names = Names();
        const auto it = std::find(names.begin(), names.end(), name);
        return it == names.end() ? -1 : static_cast<int>(it - names.begin());
    }

    void Select(const std::vector<std::string>& names)
    {
        window->OutputList()->clearSelection();
        for (const auto& n : names) {
            const int row = RowOf(n);
            ASSERT_GE(row, 0) << n;
            window->OutputList()->topLevelItem(row)->setSelected(true);
        }
    }

    TempDir dir;
    CoreEngine engine;
    std::unique_ptr<CZarvexDlg> window;
};

} // namespace zarvex::test
