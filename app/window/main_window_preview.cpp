// File Preview: the focused output file is decoded into a folder of its own
// and opened with the application the desktop associates with its type. The
// copy stays until the window goes (a viewer may hand the file to another
// process and exit at once), and is wiped then.
#include "app/window/main_window.h"

#include "app/window/commands.h"
#include "model/data_types.h"
#include "model/naming.h"
#include "model/records.h"
#include "platform/desktop_apps.h"
#include "scan/input_sources.h"
#include "text/display_text.h"
#include "text/messages.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>

#include <csignal>
#include <cstdlib>

namespace zarvex {
namespace {

QString Q(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string ExtensionOf(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

// The default application for the type of `name`, or for a broader type it belongs to.
std::optional<DesktopApp> FindViewer(const std::string& name)
{
    const XdgFolders folders = XdgFoldersFromEnvironment();
    const QMimeType type = QMimeDatabase().mimeTypeForFile(Q(ViewerLookupName(name)), QMimeDatabase::MatchExtension);
    QStringList types{type.name()};
    types += type.allAncestors();
    for (const QString& t : types)
        if (auto app = FindDefaultApp(t.toStdString(), folders)) return app;
    return std::nullopt;
}

bool IsRunning(qint64 pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0;
}

} // namespace

bool CZarvexDlg::ConfirmRiskyName(const std::string& name)
{
    if (!IsRiskyExtension(ExtensionOf(name))) return true;
    QApplication::beep();
    QMessageBox box(QMessageBox::Warning, "Zarvex", Q(Message(msg::UnknownApplication)),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void CZarvexDlg::OnPreview()
{
    if (IsBusy()) return;
    const int row = FocusedRow();
    if (row < 0 || row >= static_cast<int>(m_Entries.size())) {
        QApplication::beep();
        return;
    }
    if (IsRunning(m_ViewerPid)) {
        // Another desktop's window cannot be raised from here: Yes keeps waiting.
        const auto answer = QMessageBox::question(this, "Zarvex", Q(FormatMessage(msg::KeepWaiting, m_ViewerName)),
                                                  QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::Yes) return;
    }
    m_ViewerPid = 0;

    const OutputEntry& entry = m_Entries[static_cast<std::size_t>(row)];
    const std::string name = CleanName(EntryName(entry.text), m_App.core.Force8, false, m_App.core);
    if (name.empty() || !ConfirmRiskyName(name)) return;
    std::optional<DesktopApp> app = FindViewer(name);
    if (!app && entry.named) {
        // Not known by its extension: try the extension of the type its data showed.
        const std::string typeName(DataTypeName(entry.named->m_DataType));
        const std::string ext = ExtensionOf(name);
        if (entry.named->m_DataType > 0 && !EqualsIgnoreCase(typeName, ext)) {
            const std::string substituted = (ext.empty() ? name : name.substr(0, name.size() - ext.size() - 1)) +
                                            "." + typeName;
            if (!ConfirmRiskyName(substituted)) return;
            app = FindViewer(substituted);
        }
    }
    if (!app) {
        // No application for it: this entry alone goes through the Extract dialog.
        std::vector<char> only(m_Entries.size(), 0);
        only[static_cast<std::size_t>(row)] = 1;
        SelectRows(only);
        ExtractCommand(false, false,
                       QString("No application is set to open \u201c%1\u201d; extract it to a folder instead.")
                           .arg(Q(ToDisplayUtf8(name))));
        return;
    }

    std::string folder = HandOverBase() + "/zarvex-XXXXXX";
    if (!::mkdtemp(folder.data())) {
        QApplication::beep();
        return;
    }
    m_HandOverDirs.push_back(folder);
    ExtractRows({row}, folder, false);
    const std::vector<std::string> files = RegularFilesIn(folder);
    if (files.empty()) return; // the log says why
    const std::string& copy = files.front();
    m_Cleanup.Add(copy, CleanupState::InViewer);

    const std::vector<std::string> args = ExpandExec(*app, copy);
    QStringList rest;
    for (std::size_t i = 1; i < args.size(); ++i) rest << Q(args[i]);
    qint64 pid = 0;
    if (args.empty() || !QProcess::startDetached(Q(args[0]), rest, QString(), &pid)) {
        QMessageBox::warning(this, "Zarvex", Q(Message(msg::LaunchFailed)));
        m_Cleanup.ClearForRewrite(copy);
        return;
    }
    m_ViewerPid = pid;
    m_ViewerName = app->name;
}

} // namespace zarvex
