// The main window and the clipboard: Paste reads clipboard text through the
// clipboard file (or the files of a copied file list); Copy and dragging out
// hand extracted files over.
#include "scan/clipboard_file.h"
#include "app/engine.h"
#include "app/window/log_window.h"
#include "app/window/main_window.h"
#include "extract/file_error_box.h"
#include "model/records.h"
#include "scan/input_sources.h"
#include "text/messages.h"
#include "text/text_utils.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QUrl>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zarvex {
namespace {

QString Q(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

std::string CZarvexDlg::HandOverBase() const
{
    return m_App.core.WorkingDir.empty() ? QDir::tempPath().toStdString() : m_App.core.WorkingDir;
}

std::vector<std::string> CZarvexDlg::ExtractForHandOver()
{
    const std::vector<int> rows = SelectedRows();
    if (IsBusy() || rows.empty()) return {};
    // A folder of its own for each hand-over, so that the files written are
    // exactly what it holds afterwards; it goes when the window does.
    std::string folder = HandOverBase() + "/zarvex-XXXXXX";
    if (!::mkdtemp(folder.data())) {
        QApplication::beep();
        return {};
    }
    m_HandOverDirs.push_back(folder);
    ExtractRows(rows, folder, false);
    std::vector<std::string> files = RegularFilesIn(folder);
    for (const std::string& f : files) m_Cleanup.Add(f, CleanupState::Dragged);
    return files;
}

void CZarvexDlg::OnCopy()
{
    const std::vector<std::string> files = ExtractForHandOver();
    if (files.empty()) return;
    QList<QUrl> urls;
    for (const std::string& f : files)
        urls.push_back(QUrl::fromLocalFile(Q(f)));
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    QApplication::clipboard()->setMimeData(mime);
}

void CZarvexDlg::UpdateClipboardState()
{
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    m_ClipboardHasData = mime && (mime->hasText() || mime->hasUrls());
    UpdateCommands();
}

void CZarvexDlg::OnPaste()
{
    if (IsBusy()) return;
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    if (!mime) return;
    if (mime->hasUrls()) {
        std::vector<std::string> paths;
        for (const QUrl& url : mime->urls())
            if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
        AddInputs(paths);
    } else if (mime->hasText()) {
        PasteText(mime->text().toStdString());
    }
}

int CZarvexDlg::PasteText(const std::string& text)
{
    if (IsBusy() || text.empty()) return 0;
    EnsureClipboard();
    std::string appended;
    if (HasLongLines(text)) {
        m_Log->AppendMessage(msg::LongLinesRestore);
        appended = RewrapLongLines(text);
    } else {
        appended = text;
    }
    appended += "\r\n";
    const bool listed = std::any_of(m_InputEntries.begin(), m_InputEntries.end(),
                                    [this](const InputEntry& e) { return e.path == ClipboardPath(); });
    FileError error;
    if (!m_Clipboard->Append(appended, &error)) {
        ShowFileError(m_Host, error);
        ForgetClipboardFile();
        return 0;
    }
    int found = 0;
    {
        BusyScope busy(*this);
        m_Host.ClearAbort();
        found = ScanClipboardTail();
        // Pasted text is an input read like a file: what it holds is stream decoded.
        if (found > 0 && !m_Host.AbortRequested()) StreamStep();
    }
    if (found <= 0 && !listed && !m_Host.AbortRequested() && !m_Host.Silent()) {
        m_Host.Beep();
        m_Host.Ask(Prompt::NoFindings, kClipboardName);
    }
    AfterOperation();
    return found;
}

void CZarvexDlg::EnsureClipboard()
{
    // The file itself is made with the first text that arrives.
    if (m_Clipboard) return;
    m_Clipboard = std::make_unique<ClipboardFile>(HandOverBase());
    m_Engine.SetClipboardFile(m_Clipboard.get());
}

int CZarvexDlg::ScanClipboardTail()
{
    const std::string path = ClipboardPath();
    struct stat st
    {
    };
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || st.st_size <= m_ClipboardPos) return 0;
    // The clipboard file only grows: each scan goes on where the last one ended.
    const int found = m_Engine.ScanFrom(path, *m_List, m_App.core, m_Run, m_Host, m_ClipboardPos, m_ClipboardLine);
    if (found > 0) {
        AddInputEntry(path, kClipboardName);
        RebuildOutputList(false);
    }
    return found;
}

std::string CZarvexDlg::ClipboardPath() const
{
    return m_Clipboard ? m_Clipboard->Path() : std::string();
}

void CZarvexDlg::DropFiles(const std::vector<std::string>& paths)
{
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        QFile mail(Q(path));
        if (path.ends_with(".eml") && mail.open(QIODevice::ReadOnly)) {
            const QByteArray text = mail.readAll();
            if (!IsBusy() && !m_Host.AbortRequested()) PasteText(text.toStdString());
            continue;
        }
        files.push_back(path);
    }
    AddInputs(files);
}

void CZarvexDlg::ForgetClipboardFile()
{
    if (m_Clipboard) m_Clipboard->Forget();
    m_ClipboardPos = m_ClipboardLine = 0;
}

} // namespace zarvex
