// The log window: a modeless, resizable, initially hidden transcript of what
// the scanner and the extractor do, coloured by the 0xFD RRGGBB markers of
// the message templates, optionally copied without markers to a log file.
#pragma once

#include "text/message_ids.h"

#include <QDialog>

#include <string>
#include <string_view>

class QTextEdit;
class QLineEdit;
class QCheckBox;
class QLabel;

namespace zarvex {

class IniFile;

class LogWindow : public QDialog
{
    Q_OBJECT
public:
    // The text limit of the view in characters.
    static constexpr int kTextLimit = 1'000'000;

    explicit LogWindow(QWidget* parent = nullptr);
    ~LogWindow() override;

    // Adds one message (UTF-8 with colour markers; it carries its own line ends).
    void Append(std::string_view marked);
    // The string-table message `id`, "%1"/"%2" replaced by text that stays text.
    void AppendMessage(msg::Id id, std::string_view arg1 = {}, std::string_view arg2 = {});
    void Clear();
    // Opens the log file (truncated when asked); 0 or the errno value. An
    // empty name leaves logging to file off and fails.
    int OpenLogFile(const std::string& path, bool truncate);
    void CloseLogFile();
    bool HasLogFile() const { return m_LogFd >= 0; }

    // Searches from the current selection; false (and a beep, and "Not found"
    // beside the search text) on a miss. Every match is highlighted.
    bool FindNext(const QString& text, bool matchCase, bool wholeWord, bool backward);
    // What the search says beside its text ("Not found", or the matches).
    QString FindStatus() const;
    // Writes the view's text (no markers) to `path`; false when that failed.
    bool SaveTo(const QString& path) const;

    // "Coordinates" of section "LogWindow".
    void RestorePosition(const IniFile& ini);
    void StorePosition(IniFile& ini) const;

    QTextEdit* View() const { return m_View; }
    // The colour a marker's six characters stand for, read as the log always
    // has: a-f as A-F, a digit's value its code (less 7 above "9") modulo 16.
    static QColor MarkerColour(std::string_view sixChars);

signals:
    void VisibilityChanged();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void WriteToFile(std::string_view marked);
    void TrimForRoom(int incoming, int& selStart, int& selEnd, bool follow);
    void OnFind();
    void OnSave();

    QTextEdit* m_View;
    QLineEdit* m_FindText;
    QCheckBox* m_MatchCase;
    QCheckBox* m_WholeWord;
    QCheckBox* m_Up;
    QLabel* m_FindStatus;
    QColor m_Colour;
    int m_LogFd = -1;
};

} // namespace zarvex
