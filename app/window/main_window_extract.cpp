// The main window's Extract command: the quick path, the Extract dialog and
// the run over the chosen output entries.
#include "app/window/commands.h"
#include "app/window/extract_dialog.h"
#include "app/window/log_window.h"
#include "app/window/main_window.h"
#include "extract/output_answer.h"
#include "text/messages.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>

#include <numeric>

namespace zarvex {
namespace {

QString Q(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

void CZarvexDlg::OnExtract()
{
    if (IsBusy()) return;
    // Shift alone extracts into the current folder at once; Shift+Ctrl saves raw data.
    const Qt::KeyboardModifiers keys =
        QApplication::keyboardModifiers() & (Qt::ControlModifier | Qt::ShiftModifier);
    ExtractCommand(keys == (Qt::ControlModifier | Qt::ShiftModifier), keys == Qt::ShiftModifier);
}

void CZarvexDlg::OnSaveRaw()
{
    if (!IsBusy()) ExtractCommand(true, false);
}

void CZarvexDlg::ShowNotice(msg::Id id)
{
    if (m_Host.Silent())
        m_Log->AppendMessage(id);
    else
        QMessageBox::warning(this, "Zarvex", Q(Message(id)));
}

void CZarvexDlg::SaveExtractChoices()
{
    StoreExtractChoices(m_App, m_Ini);
    if (m_IniPath.empty()) return;
    // Only these keys change on disk: the rest is written at exit.
    IniFile disk;
    if (disk.Load(m_IniPath) != 0) return;
    StoreExtractChoices(m_App, disk);
    disk.Save(m_IniPath);
}

void CZarvexDlg::ExtractCommand(bool raw, bool quick, const QString& note)
{
    if (IsBusy()) return;
    if (m_Entries.empty()) {
        m_Host.Beep();
        return;
    }
    const FlagScope extracting(m_Extracting);
    const std::vector<int> selected = SelectedRows();
    ExtractOptions options;
    options.which = selected.empty() ? ExtractWhich::All : ExtractWhich::Selected;
    options.skipIncomplete = m_App.core.IgnoreIncomplete;
    options.overwrite = m_App.core.Overwrite;
    options.chooseDuplicate = m_Run.YouChooseDuplicate;
    // No folder yet (a new configuration) means the current one.
    options.folder = m_App.Dirs[0].empty() ? QDir::currentPath().toStdString() : m_App.Dirs[0];
    options.raw = raw;
    const bool usable = options.folder == "*" || FolderState(options.folder) == 2;
    if (!quick || !usable) {
        ExtractDialog dialog(this, options, m_App.Dirs, !selected.empty(), m_App.core.OldExtract);
        dialog.SetNote(note);
        if (dialog.exec() != QDialog::Accepted) {
            SetStatusText(cmd::kReady);
            UpdateCommands();
            return;
        }
        options = dialog.Options();
        m_Run.YouChooseDuplicate = options.chooseDuplicate;
        m_Run.AppendAllToOneFile = options.appendAll;
        m_App.core.IgnoreIncomplete = options.skipIncomplete;
        m_App.core.Overwrite = options.overwrite;
        PutFolderFirst(m_App.Dirs, options.folder);
    }
    SaveExtractChoices();

    std::vector<int> rows = selected;
    if (options.which == ExtractWhich::All) {
        rows.resize(m_Entries.size());
        std::iota(rows.begin(), rows.end(), 0);
    } else if (options.which == ExtractWhich::Pattern) {
        std::vector<std::string> names;
        for (const OutputEntry& e : m_Entries) names.emplace_back(EntryName(e.text));
        rows = MatchingRows(names, options.pattern);
    }
    if (options.which == ExtractWhich::Pattern && options.pattern.empty()) {
        ShowNotice(msg::InvalidPattern);
    } else if (rows.empty()) {
        if (options.which == ExtractWhich::Pattern) ShowNotice(msg::NoPatternMatch);
    } else {
        ExtractRows(rows, options.folder, raw, options.overwrite ? answer::YesToAll : answer::Ask, true, true);
    }
    m_Run.AppendAllToOneFile = false;
    SetStatusText(m_Host.AbortRequested() ? Q(Message(msg::Aborted)) : QString(cmd::kReady));
    m_Host.ClearAbort();
}

} // namespace zarvex
