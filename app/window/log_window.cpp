#include "app/window/log_window.h"

#include "app/window/readable_colour.h"
#include "app/window/window_position.h"
#include "text/messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace zarvex {
namespace {

constexpr unsigned char kMarker = 0xFD;

int DigitValue(char c)
{
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    int v = static_cast<unsigned char>(c);
    if (v > '9') v -= 7;
    return v % 16;
}

} // namespace

LogWindow::LogWindow(QWidget* parent) : QDialog(parent), m_Colour(Qt::black)
{
    setWindowTitle("Zarvex32 Log");
    setModal(false);
    setSizeGripEnabled(true);

    m_View = new QTextEdit(this);
    m_View->setReadOnly(true);
    m_View->setLineWrapMode(QTextEdit::NoWrap);
    m_View->setUndoRedoEnabled(false);
    QFont font("Arial");
    font.setWeight(QFont::Normal);
    m_View->setFont(font);

    m_FindText = new QLineEdit(this);
    m_FindText->setPlaceholderText("Find");
    m_MatchCase = new QCheckBox("Match &case", this);
    m_WholeWord = new QCheckBox("Match &whole word only", this);
    m_Up = new QCheckBox("&Up", this);
    auto* findButton = new QPushButton("&Find Next", this);
    m_FindStatus = new QLabel(this);
    // A new search text starts without the old one's marks.
    connect(m_FindText, &QLineEdit::textChanged, this, [this] {
        m_FindStatus->clear();
        m_View->setExtraSelections({});
    });
    auto* saveButton = new QPushButton("&Save...", this);
    auto* clearButton = new QPushButton("&Clear Log", this);
    auto* closeButton = new QPushButton("Close", this);
    connect(findButton, &QPushButton::clicked, this, &LogWindow::OnFind);
    connect(m_FindText, &QLineEdit::returnPressed, this, &LogWindow::OnFind);
    connect(saveButton, &QPushButton::clicked, this, &LogWindow::OnSave);
    connect(clearButton, &QPushButton::clicked, this, &LogWindow::Clear);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::hide);

    auto* find = new QHBoxLayout;
    find->addWidget(m_FindText, 1);
    find->addWidget(m_FindStatus);
    find->addWidget(m_MatchCase);
    find->addWidget(m_WholeWord);
    find->addWidget(m_Up);
    find->addWidget(findButton);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(saveButton);
    buttons->addWidget(clearButton);
    buttons->addWidget(closeButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_View, 1);
    layout->addLayout(find);
    layout->addLayout(buttons);
    // Ctrl+F in the log goes to the search text while there is text to search.
    auto* findKey = new QShortcut(QKeySequence::Find, this);
    connect(findKey, &QShortcut::activated, this, [this] {
        if (m_View->document()->isEmpty()) return;
        m_FindText->setFocus();
        m_FindText->selectAll();
    });
    resize(620, 300);
    setMinimumSize(360, 200);
}

LogWindow::~LogWindow()
{
    CloseLogFile();
}

QColor LogWindow::MarkerColour(std::string_view six)
{
    auto pair = [&](int i) { return DigitValue(six[i]) * 16 + DigitValue(six[i + 1]); };
    return QColor(pair(0), pair(2), pair(4));
}

void LogWindow::AppendMessage(msg::Id id, std::string_view arg1, std::string_view arg2)
{
    Append(FormatMessage(id, arg1, arg2));
}

void LogWindow::Append(std::string_view marked)
{
    WriteToFile(marked);

    QTextCursor user = m_View->textCursor();
    int selStart = user.selectionStart(), selEnd = user.selectionEnd();
    QTextDocument* doc = m_View->document();
    const int length = doc->characterCount() - 1;
    const int lastLine = doc->lastBlock().length();
    // The view follows new text unless the user holds a selection or the
    // caret away from the last line.
    const bool follow = (selStart == selEnd || selStart == 0) && selEnd >= length - lastLine;
    QScrollBar* bar = m_View->verticalScrollBar();
    const int scroll = bar->value();

    TrimForRoom(static_cast<int>(marked.size()), selStart, selEnd, follow);

    QTextCursor at(doc);
    at.movePosition(QTextCursor::End);
    at.beginEditBlock();
    auto insert = [&](std::string_view text) {
        if (text.empty()) return;
        QTextCharFormat format;
        format.setForeground(ReadableColour(m_Colour, m_View->palette()));
        QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        shown.remove(QChar('\r')); // messages end in CR LF; the view breaks lines at LF
        at.insertText(shown, format);
    };
    std::size_t from = 0;
    for (std::size_t i = 0; i < marked.size(); ++i) {
        if (static_cast<unsigned char>(marked[i]) != kMarker) continue;
        insert(marked.substr(from, i - from));
        if (marked.size() - i - 1 >= 6) {
            m_Colour = MarkerColour(marked.substr(i + 1, 6));
            i += 6;
            from = i + 1;
            continue;
        }
        // A marker byte cut short is shown as the character it is in Windows-1252.
        QTextCharFormat format;
        format.setForeground(ReadableColour(m_Colour, m_View->palette()));
        at.insertText(QString(QChar(0xFD)), format);
        from = i + 1;
    }
    insert(marked.substr(from));
    at.endEditBlock();

    if (follow) {
        QTextCursor end(doc);
        end.movePosition(QTextCursor::End);
        m_View->setTextCursor(end);
        m_View->ensureCursorVisible();
    } else {
        QTextCursor keep(doc);
        keep.setPosition(std::min(selStart, doc->characterCount() - 1));
        keep.setPosition(std::min(selEnd, doc->characterCount() - 1), QTextCursor::KeepAnchor);
        m_View->setTextCursor(keep);
        bar->setValue(scroll);
    }
}

void LogWindow::TrimForRoom(int incoming, int& selStart, int& selEnd, bool follow)
{
    QTextDocument* doc = m_View->document();
    const int length = doc->characterCount() - 1;
    if (length + incoming <= kTextLimit) return;
    const int lines = std::max(doc->blockCount(), 1);
    const int average = std::max(length / lines, 1);
    const int cutLine = std::clamp(1024 / average, 1, lines - 1);
    const int cutAt = doc->findBlockByNumber(cutLine).position();
    if (cutAt <= 0) return;
    QTextCursor cut(doc);
    cut.setPosition(0);
    cut.setPosition(cutAt, QTextCursor::KeepAnchor);
    cut.removeSelectedText();
    if (!follow) {
        selStart = std::max(selStart - cutAt, 0);
        selEnd = std::max(selEnd - cutAt, 0);
    }
}

void LogWindow::WriteToFile(std::string_view marked)
{
    if (m_LogFd < 0) return;
    const std::string plain = StripColourMarkers(marked);
    std::size_t done = 0;
    while (done < plain.size()) {
        const ssize_t n = ::write(m_LogFd, plain.data() + done, plain.size() - done);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            // A failing log file is given up silently for the rest of the run.
            CloseLogFile();
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

void LogWindow::Clear()
{
    m_View->clear();
}

int LogWindow::OpenLogFile(const std::string& path, bool truncate)
{
    CloseLogFile();
    if (path.empty()) return EINVAL;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : 0), 0644);
    if (fd < 0) return errno ? errno : EIO;
    if (!truncate) ::lseek(fd, 0, SEEK_END);
    m_LogFd = fd;
    return 0;
}

void LogWindow::CloseLogFile()
{
    if (m_LogFd >= 0) ::close(m_LogFd);
    m_LogFd = -1;
}

bool LogWindow::FindNext(const QString& text, bool matchCase, bool wholeWord, bool backward)
{
    QTextDocument::FindFlags flags;
    if (matchCase) flags |= QTextDocument::FindCaseSensitively;
    if (wholeWord) flags |= QTextDocument::FindWholeWords;
    if (backward) flags |= QTextDocument::FindBackward;
    // Every match is marked, the one found is selected.
    QList<QTextEdit::ExtraSelection> marks;
    QTextCharFormat mark;
    mark.setBackground(QColor(255, 230, 110));
    mark.setForeground(QColor(0, 0, 0));
    const QTextDocument::FindFlags forward = flags & ~QTextDocument::FindBackward;
    for (QTextCursor at(m_View->document()); !text.isEmpty();) {
        at = m_View->document()->find(text, at, forward);
        if (at.isNull()) break;
        marks.push_back({at, mark});
    }
    m_View->setExtraSelections(marks);
    if (text.isEmpty() || !m_View->find(text, flags)) {
        m_FindStatus->setText(marks.isEmpty() ? "Not found" : "No further match");
        QApplication::beep();
        return false;
    }
    m_FindStatus->setText(marks.size() == 1 ? QString("1 match") : QString("%1 matches").arg(marks.size()));
    return true;
}

QString LogWindow::FindStatus() const
{
    return m_FindStatus->text();
}

bool LogWindow::SaveTo(const QString& path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray bytes = m_View->toPlainText().toUtf8();
    return file.write(bytes) == bytes.size();
}

void LogWindow::OnFind()
{
    FindNext(m_FindText->text(), m_MatchCase->isChecked(), m_WholeWord->isChecked(), m_Up->isChecked());
}

void LogWindow::OnSave()
{
    const QString path = QFileDialog::getSaveFileName(this, "Save Log", "zarvex-log.txt");
    if (!path.isEmpty() && !SaveTo(path)) QApplication::beep();
}

void LogWindow::RestorePosition(const IniFile& ini)
{
    RestoreCoordinates(*this, ini, "LogWindow");
}

void LogWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    emit VisibilityChanged();
}

void LogWindow::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    emit VisibilityChanged();
}

void LogWindow::StorePosition(IniFile& ini) const
{
    StoreCoordinates(*this, ini, "LogWindow");
}

} // namespace zarvex
