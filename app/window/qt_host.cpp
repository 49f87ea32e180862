#include "app/window/qt_host.h"

#include "app/window/log_window.h"
#include "app/window/main_window.h"
#include "app/window/open_dialog.h"
#include "app/window/prompts.h"

#include <QApplication>
#include <QFileDialog>

namespace zarvex {

void QtHost::SetProgress(double percent)
{
    m_Window.SetItemPercent(percent);
}

bool QtHost::PumpMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // The application is shutting down: the running operation ends at its next line.
    return !QCoreApplication::closingDown();
}

void QtHost::Log(std::string_view markedText)
{
    // Dark red is the colour of every error message.
    if (markedText.find("\xFD" "800000") != std::string_view::npos) m_ErrorsLogged = true;
    m_Window.Log()->Append(markedText);
}

void QtHost::SetStatus(std::string_view text)
{
    m_Window.SetStatusText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void QtHost::Beep()
{
    if (!m_Silent) QApplication::beep();
}

bool QtHost::ShiftKeyDown() const
{
    return (QApplication::queryKeyboardModifiers() & Qt::ShiftModifier) != 0;
}

int QtHost::Ask(Prompt prompt, std::string_view subject)
{
    if (m_Silent) {
        switch (prompt) {
        case Prompt::Overwrite:
        case Prompt::YencMerge: return button::NoToAll;
        case Prompt::StreamDecodeExisting: return button::No;
        default: return button::Ok;
        }
    }
    const int pressed = AskPrompt(&m_Window, prompt, subject);
    if (prompt == Prompt::FileError && pressed == button::Cancel) m_Abort = true;
    return pressed;
}

void QtHost::FlashProgress()
{
    m_Window.BlinkErrors(500, 10);
}

std::string QtHost::ChooseAppendTarget(std::string_view suggestedName)
{
    if (m_Silent) return {};
    // Offered in the working folder, with the file types of the Open dialog.
    const std::string& folder = m_Window.Preferences().core.WorkingDir;
    const QString name = QString::fromUtf8(suggestedName.data(), static_cast<qsizetype>(suggestedName.size()));
    const QString path = QFileDialog::getSaveFileName(
        &m_Window, "Append All to One File", folder.empty() ? name : QString::fromStdString(folder) + "/" + name,
        OpenFileTypes().join(";;"));
    return path.toStdString();
}

int QtHost::ChooseDuplicatePart(const std::vector<const CFInfo*>& parts)
{
    if (m_Silent) return 0;
    return ChoosePartDialog(&m_Window, parts);
}

bool QtHost::TakeErrorsLogged()
{
    const bool any = m_ErrorsLogged;
    m_ErrorsLogged = false;
    return any;
}

} // namespace zarvex
