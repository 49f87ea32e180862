// The main window's commands: the menu and toolbar, their enabling rules, and
// the work each command does.
#include "app/engine.h"
#include "app/program.h"
#include "app/window/commands.h"
#include "app/window/find_select_box.h"
#include "app/window/list_dump_window.h"
#include "app/window/log_window.h"
#include "app/window/main_window.h"
#include "app/window/open_dialog.h"
#include "app/window/prompts.h"
#include "app/window/subject_rename_dialog.h"
#include "extract/output_path.h"
#include "model/records.h"
#include "model/unpacked_inputs.h"
#include "model/naming.h"
#include "scan/input_sources.h"
#include "text/display_text.h"
#include "text/messages.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>

namespace zarvex {
namespace {

QString Q(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

QAction* CZarvexDlg::AddCommand(int id, const QString& text, const QKeySequence& key, void (CZarvexDlg::*slot)())
{
    auto* action = new QAction(text, this);
    action->setData(id);
    if (!key.isEmpty()) action->setShortcut(key);
    if (slot) connect(action, &QAction::triggered, this, slot);
    addAction(action); // shortcuts work wherever the focus is in the window
    m_Actions[id] = action;
    return action;
}

QAction* CZarvexDlg::Action(int id) const
{
    const auto it = m_Actions.find(id);
    return it == m_Actions.end() ? nullptr : it->second;
}

void CZarvexDlg::BuildCommands()
{
    using K = QKeySequence;
    QMenu* file = menuBar()->addMenu("&File");
    file->addAction(AddCommand(cmd::Open, "&Open...", K(Qt::CTRL | Qt::Key_O), &CZarvexDlg::OnOpen));
    file->addAction(AddCommand(cmd::Extract, "&Extract...", K(Qt::ALT | Qt::Key_X), &CZarvexDlg::OnExtract));
    file->addAction(AddCommand(cmd::SaveRaw, "Save Raw...\tCtrl+Shift Extract", K(), &CZarvexDlg::OnSaveRaw));
    file->addAction(AddCommand(cmd::ExtractStream, "Extract Stream...", K(), &CZarvexDlg::OnExtractStream));
    file->addAction(AddCommand(cmd::OpenOutputFolder, "Open Output &Folder", K(), &CZarvexDlg::OpenOutputFolder));
    file->addSeparator();
    for (int i = 0; i < cmd::RecentCount; ++i) {
        QAction* recent = AddCommand(cmd::RecentFirst + i, {}, K(), nullptr);
        connect(recent, &QAction::triggered, this, [this, i] {
            if (i < static_cast<int>(m_Recent.size())) AddInputs({m_Recent[static_cast<std::size_t>(i)]});
        });
        file->addAction(recent);
    }
    file->addSeparator();
    file->addAction(AddCommand(cmd::Exit, "E&xit", K(Qt::ALT | Qt::Key_F4), nullptr));
    // Ctrl+Q as well, as every desktop program quits.
    Action(cmd::Exit)->setShortcuts({K(Qt::ALT | Qt::Key_F4), K(Qt::CTRL | Qt::Key_Q)});
    connect(Action(cmd::Exit), &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu("&Edit");
    edit->addAction(AddCommand(cmd::Paste, "&Paste", K(Qt::CTRL | Qt::Key_V), &CZarvexDlg::OnPaste));
    edit->addAction(AddCommand(cmd::DeleteInputs, "&Delete", K(Qt::Key_Delete), &CZarvexDlg::OnDelete));
    edit->addAction(AddCommand(cmd::Clear, "&Clear", K(), &CZarvexDlg::ClearAll));
    edit->addAction(AddCommand(cmd::Copy, "C&opy", K(Qt::CTRL | Qt::Key_C), &CZarvexDlg::OnCopy));
    edit->addSeparator();
    edit->addAction(AddCommand(cmd::Rename, "&Rename...", K(Qt::Key_F2), &CZarvexDlg::OnRename));
    edit->addAction(AddCommand(cmd::RenameFromSubject, "Rename &from Subject...", K(Qt::Key_F8),
                               &CZarvexDlg::OnRenameFromSubject));
    edit->addAction(AddCommand(cmd::Remove, "R&emove", K(Qt::CTRL | Qt::Key_Delete), &CZarvexDlg::RemoveSelectedOutputs));
    edit->addSeparator();
    edit->addAction(AddCommand(cmd::FindSelect, "&Find && Select", K(Qt::CTRL | Qt::Key_F), &CZarvexDlg::OnFind));
    edit->addAction(AddCommand(cmd::SelectAll, "&Select All", K(Qt::CTRL | Qt::Key_A), &CZarvexDlg::SelectAllComplete));
    edit->addAction(AddCommand(cmd::PadNumbers, "Pad Part &Numbers...", K(), &CZarvexDlg::PadPartNumbers));
    edit->addSeparator();
    edit->addAction(AddCommand(cmd::Properties, "File Pr&operties...", K(Qt::ALT | Qt::Key_Return), &CZarvexDlg::OnProperties));
    edit->addAction(AddCommand(cmd::Preview, "File Pre&view...", K(Qt::SHIFT | Qt::Key_Return), &CZarvexDlg::OnPreview));

    QMenu* view = menuBar()->addMenu("&View");
    view->addAction(AddCommand(cmd::Rescan, "Rescan/Refres&h Files", K(Qt::Key_F5), &CZarvexDlg::Rescan));
    view->addAction(AddCommand(cmd::ToolBar, "&Toolbar", K(), &CZarvexDlg::OnToggleToolBar));
    view->addAction(AddCommand(cmd::StatusBar, "&Status Bar", K(), &CZarvexDlg::OnToggleStatusBar));
    view->addAction(AddCommand(cmd::LogWindow, "&Log Window", K(Qt::Key_F11), &CZarvexDlg::OnToggleLog));
    view->addSeparator();
    view->addAction(AddCommand(cmd::SortFiles, "S&ort Files", K(), &CZarvexDlg::OnSortFiles));
    view->addAction(AddCommand(cmd::AlwaysOnTop, "&Always on Top", K(), &CZarvexDlg::OnAlwaysOnTop));
    view->addSeparator();
    view->addAction(AddCommand(cmd::Preferences, "&Preferences...", K(), nullptr));
    view->addAction(AddCommand(cmd::AdvancedPreferences, "A&dvanced Preferences...", K(), nullptr));
    for (int id : {cmd::ToolBar, cmd::StatusBar, cmd::LogWindow, cmd::SortFiles, cmd::AlwaysOnTop})
        Action(id)->setCheckable(true);
    Action(cmd::ExtractStream)->setCheckable(true);

    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction(AddCommand(cmd::HelpContents, "&Contents...", K(Qt::Key_F1), nullptr));
    help->addAction(AddCommand(cmd::HelpSearch, "&Search...", K(), nullptr));
    help->addAction(AddCommand(cmd::HelpUsing, "&Using Help...", K(), nullptr));
    help->addSeparator();
    help->addAction(AddCommand(cmd::About, "&About...", K(), &CZarvexDlg::OnAbout));
    // The menus show the state of the moment (the log window may have been closed by its own button).
    for (QMenu* menu : {file, edit, view, help}) connect(menu, &QMenu::aboutToShow, this, &CZarvexDlg::UpdateCommands);
    m_Unbuilt = {cmd::Preferences, cmd::AdvancedPreferences, cmd::HelpContents, cmd::HelpSearch,
                 cmd::HelpUsing};
    UpdateRecentMenu();

    // Esc stops a running operation: it must work inside the operation's own event pumping.
    AddCommand(cmd::Abort, "Stop", K(Qt::Key_Escape), &CZarvexDlg::OnAbort)->setShortcutContext(Qt::WindowShortcut);
    AddCommand(cmd::ListDump, "List Dump", K(Qt::SHIFT | Qt::Key_F12), &CZarvexDlg::OnListDump);

    m_ToolBar = addToolBar("Toolbar");
    m_ToolBar->setObjectName("toolbar");
    m_ToolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // Icons from the desktop's icon theme; the style's own where the theme has none.
    const std::pair<int, std::pair<const char*, QStyle::StandardPixmap>> icons[] = {
        {cmd::Open, {"document-open", QStyle::SP_DialogOpenButton}},
        {cmd::Extract, {"archive-extract", QStyle::SP_DialogSaveButton}},
        {cmd::Rename, {"edit-rename", QStyle::SP_FileDialogDetailedView}},
        {cmd::Remove, {"list-remove", QStyle::SP_TrashIcon}},
        {cmd::FindSelect, {"edit-find", QStyle::SP_FileDialogContentsView}},
        {cmd::Rescan, {"view-refresh", QStyle::SP_BrowserReload}},
        {cmd::LogWindow, {"text-x-generic", QStyle::SP_FileIcon}},
        {cmd::Abort, {"process-stop", QStyle::SP_BrowserStop}},
        {cmd::OpenOutputFolder, {"folder-open", QStyle::SP_DirOpenIcon}},
        {cmd::Exit, {"application-exit", QStyle::SP_DialogCloseButton}},
        {cmd::HelpContents, {"help-contents", QStyle::SP_DialogHelpButton}},
    };
    for (const auto& [id, icon] : icons)
        Action(id)->setIcon(QIcon::fromTheme(icon.first, style()->standardIcon(icon.second)));
    for (int id : {cmd::Open, cmd::Extract, cmd::Rename, cmd::Remove, cmd::FindSelect, cmd::Rescan, cmd::LogWindow})
        m_ToolBar->addAction(Action(id));
    m_ToolBar->addSeparator();
    m_ToolBar->addAction(Action(cmd::Abort));
    m_ToolBar->setVisible(m_App.core.ToolBar);
    statusBar()->setVisible(m_App.core.StatusBar);
    Action(cmd::SortFiles)->setChecked(m_App.core.SortFiles);

    connect(m_ClearButton, &QPushButton::clicked, this, &CZarvexDlg::ClearAll);
    connect(m_ExtractButton, &QPushButton::clicked, this, &CZarvexDlg::OnExtract);
}

void CZarvexDlg::UpdateCommands()
{
    const bool idle = !IsBusy();
    const int outputs = static_cast<int>(m_Entries.size());
    const std::vector<int> selected = SelectedRows();
    const int nSelected = static_cast<int>(selected.size());
    const bool hasInput = idle && !m_InputEntries.empty();
    const bool hasSelection = idle && nSelected > 0;
    const bool hasOutput = idle && outputs > 0;
    // While busy the core may be changing the records: they are not read then.
    const CSortInfo* focused = idle ? FocusedGroup() : nullptr;
    const bool extractable = hasOutput && (nSelected > 1 || (focused && IsExtractable(*focused)));
    // With no entry focused, the first one counts as focused.
    const bool focusedEntry = idle && outputs > 0 && FocusedRow() >= 0;
    const bool copyable = hasSelection && IsExtractable(*m_Entries[static_cast<std::size_t>(selected.front())].group);

    const std::map<int, bool> rules = {
        {cmd::Open, idle},          {cmd::Extract, extractable},   {cmd::SaveRaw, extractable},
        {cmd::Exit, idle},          {cmd::Paste, idle && m_ClipboardHasData},
        // While Extract runs with stream decoding on, Extract Stream stops it.
        {cmd::ExtractStream, idle || (m_Extracting && m_StreamOn)},
        {cmd::DeleteInputs, hasInput}, {cmd::Clear, hasInput},     {cmd::Copy, copyable},
        {cmd::Rename, hasSelection}, {cmd::RenameFromSubject, hasSelection}, {cmd::Remove, hasSelection},
        {cmd::FindSelect, hasOutput}, {cmd::SelectAll, hasOutput}, {cmd::PadNumbers, hasSelection},
        {cmd::Properties, focusedEntry}, {cmd::Preview, focusedEntry}, {cmd::OpenOutputFolder, idle && HasOutputFolder()}, {cmd::Rescan, idle},
        {cmd::Preferences, idle},   {cmd::AdvancedPreferences, idle}, {cmd::SortFiles, idle},
        {cmd::About, idle},
    };
    for (const auto& [id, action] : m_Actions) {
        const auto rule = rules.find(id);
        // Commands without a rule (bars, log window, always on top, help, stop, list dump) are always enabled.
        action->setEnabled(!m_Unbuilt.contains(id) && (rule == rules.end() || rule->second));
    }
    Action(cmd::LogWindow)->setChecked(m_Log->isVisible());
    Action(cmd::ExtractStream)->setChecked(m_StreamOn);
    Action(cmd::ToolBar)->setChecked(!m_ToolBar->isHidden());
    Action(cmd::StatusBar)->setChecked(!statusBar()->isHidden());
    m_ClearButton->setEnabled(hasInput);
    m_ExtractButton->setEnabled(extractable);
}

void CZarvexDlg::SetCommandHandler(int id, std::function<void()> handler)
{
    QAction* action = Action(id);
    if (!action) return;
    connect(action, &QAction::triggered, this, [this, handler = std::move(handler)] {
        if (!IsBusy()) handler();
    });
    m_Unbuilt.erase(id);
    UpdateCommands();
}

void CZarvexDlg::AddRecentFile(const std::string& path)
{
    std::erase(m_Recent, path);
    m_Recent.insert(m_Recent.begin(), path);
    if (m_Recent.size() > static_cast<std::size_t>(cmd::RecentCount)) m_Recent.resize(cmd::RecentCount);
    UpdateRecentMenu();
}

void CZarvexDlg::UpdateRecentMenu()
{
    for (int i = 0; i < cmd::RecentCount; ++i) {
        QAction* a = Action(cmd::RecentFirst + i);
        const bool used = i < static_cast<int>(m_Recent.size());
        a->setVisible(used);
        if (used) {
            QString shown = Q(ToDisplayUtf8(m_Recent[static_cast<std::size_t>(i)]));
            a->setText(QString("&%1 %2").arg(i + 1).arg(shown.replace('&', "&&")));
        }
    }
}

// ------------------------------------------------------------ reading and extracting

void CZarvexDlg::AddInputs(const std::vector<std::string>& paths)
{
    if (IsBusy() || paths.empty()) return;
    StopBlink(); // the errors shown were those of the last operation
    HideSummary();
    {
        BusyScope busy(*this);
        m_Host.ClearAbort();
        InputContext ctx(*m_List, m_App.core, m_Run, m_Host,
                         [this](const std::string& path, MyCObArray& list, const Settings& s, RunContext& r,
                                Host& h) {
                             // Where the scan stopped is where monitoring goes on from.
                             ScanPoint end;
                             const int found = m_Engine.ScanFrom(path, list, s, r, h, end.pos, end.line);
                             m_FirstScans[path] = end;
                             return found;
                         });
        ctx.quiet = m_Host.Silent();
        int index = 0;
        for (const std::string& path : paths) {
            SetItemProgress(++index, static_cast<int>(paths.size()));
            SetItemSize(static_cast<std::int64_t>(QFileInfo(Q(path)).size()));
            const int result = AddInputFile(path, false, ctx);
            if (result > 0) AddRecentFile(path);
            for (const std::string& scanned : ctx.inputList) NoteFirstScan(scanned);
            ctx.inputList.clear();
            if (result < 0 || m_Host.AbortRequested()) break;
        }
        m_FirstScans.clear();
        RebuildOutputList(false);
        // What was read is stream decoded, unless the reading was stopped.
        if (!m_Host.AbortRequested()) StreamStep();
    }
    AfterOperation();
}

int CZarvexDlg::ExtractTo(const std::string& folder, bool saveRaw)
{
    if (IsBusy() || m_Entries.empty()) return 0;
    const FlagScope extracting(m_Extracting);
    std::vector<int> rows = SelectedRows();
    if (rows.empty())
        for (int i = 0; i < static_cast<int>(m_Entries.size()); ++i) rows.push_back(i);
    if (!folder.empty() && folder != "*") m_App.Dirs[0] = folder;
    return ExtractRows(rows, folder, saveRaw, 0, false, true);
}

int CZarvexDlg::ExtractRows(const std::vector<int>& rows, const std::string& folder, bool saveRaw, int answer,
                            bool report, bool summary)
{
    // Work from record pointers: extraction may change the list's order.
    std::vector<std::pair<CSortInfo*, CFInfo*>> chosen;
    for (int row : rows) chosen.emplace_back(m_Entries[row].group, m_Entries[row].named);
    int written = 0, lastError = 0, outputs = 0, incomplete = 0, failed = 0;
    std::vector<std::pair<CSortInfo*, std::string>> par2Candidates; // the outputs written, for par2
    QElapsedTimer clock;
    clock.start();
    if (summary) {
        HideSummary();
        // "*" writes beside each input: the first one's folder stands for them.
        m_LastOutputFolder = folder;
        if (folder == "*" && !chosen.empty() && chosen.front().first->GetSize() > 0)
            m_LastOutputFolder = QFileInfo(Q(chosen.front().first->GetAt(0)->m_File)).absolutePath().toStdString();
    }
    {
        BusyScope busy(*this);
        EnsureClipboard();
        m_Host.ClearAbort();
        m_Run.SaveRaw = saveRaw;
        m_Run.RecursiveDecoding = true;
        int index = 0;
        for (const auto& [group, named] : chosen) {
            SetItemProgress(++index, static_cast<int>(chosen.size()));
            const int g = GroupIndexOf(group);
            if (g < 0) continue;
            SetItemSize(EstimatedSize(*group, named));
            int result = m_Engine.Extract(*m_List, g, named, folder, answer, m_App.core, m_Run, m_Host);
            if (summary && !saveRaw) result = WriteForPar2(g, named, folder, answer, result);
            if (result > 0 && summary && !saveRaw)
                par2Candidates.emplace_back(group, BuildOutputPath(ResolveOutputFolder(folder, InputLocation(*m_List, named->m_File)),
                                                                   named->m_DestFile));
            if (result > 0) written += result;
            if (result < 0) lastError = result;
            if (m_Host.AbortRequested()) break;
            if (result > 0) {
                ++outputs;
                if ((group->m_Status & GS_MASK) != GS_COMPLETE || (group->m_Status & ST_DATAERROR)) ++incomplete;
            } else {
                ++failed;
            }
            if (result == 0 && report) ShowNotice(msg::ExtractError);
        }
        m_Engine.EndExtractCommand();
        if (!m_Host.AbortRequested()) incomplete = std::max(incomplete - RepairWithPar2(par2Candidates), 0);
        // Recursive decoding may have handed decoded text to the clipboard file.
        ScanClipboardTail();
        RebuildOutputList(false);
    }
    AfterOperation();
    if (summary) ShowSummary(outputs, incomplete, failed, clock.elapsed());
    return lastError < 0 ? lastError : written;
}

void CZarvexDlg::ShowSummary(int written, int incomplete, int failed, qint64 elapsedMs)
{
    const QString text = QString("%1 %2 written, %3 incomplete, %4 failed")
                             .arg(written)
                             .arg(written == 1 ? "file" : "files")
                             .arg(incomplete)
                             .arg(failed);
    m_Log->Append(text.toStdString() + "\r\n");
    const std::string folder = OutputFolder();
    m_Summary->setProperty("summary", text);
    m_Summary->setText(folder.empty() ? text.toHtmlEscaped()
                                      : text.toHtmlEscaped() + " \u2014 <a href=\"folder\">Show in folder</a>");
    m_Summary->show();
    // A long extraction that ends while the user looks elsewhere is told on the desktop.
    if (m_Notifier && elapsedMs >= m_NotifyAfterMs && !isActiveWindow())
        m_Notifier->Notify("Extraction finished", folder.empty() ? text : text + "\n" + Q(ToDisplayUtf8(folder)));
}

void CZarvexDlg::HideSummary()
{
    m_Summary->setProperty("summary", QString());
    m_Summary->clear();
    m_Summary->hide();
}

QString CZarvexDlg::SummaryText() const
{
    return m_Summary->property("summary").toString();
}

std::string CZarvexDlg::OutputFolder() const
{
    std::string folder = m_LastOutputFolder.empty() || m_LastOutputFolder == "*" ? m_App.Dirs[0] : m_LastOutputFolder;
    if (folder.empty() || folder == "*") folder = ".";
    const QFileInfo info(Q(folder));
    return info.isDir() ? info.absoluteFilePath().toStdString() : std::string();
}

bool CZarvexDlg::HasOutputFolder() const
{
    return !OutputFolder().empty();
}

void CZarvexDlg::OpenOutputFolder()
{
    const std::string folder = OutputFolder();
    if (folder.empty() || !QDesktopServices::openUrl(QUrl::fromLocalFile(Q(folder)))) QApplication::beep();
}

void CZarvexDlg::AfterOperation()
{
    if (m_Host.TakeErrorsLogged()) BlinkErrors(500, 10);
}

void CZarvexDlg::OnOpen()
{
    if (IsBusy()) return;
    OpenDialog dialog(this, m_App.OpenDir, m_App.core.FileMask, m_App.core.OldExtract);
    if (dialog.exec() != QDialog::Accepted) return;
    const std::vector<std::string> paths = dialog.Files();
    m_App.core.FileMask = dialog.FileType();
    if (paths.empty()) return;
    m_App.OpenDir = QFileInfo(Q(paths.back())).absolutePath().toStdString();
    AddInputs(paths);
}

// ------------------------------------------------------------ list commands

void CZarvexDlg::ClearAll()
{
    if (IsBusy()) return;
    m_Outputs->clear();
    m_Entries.clear();
    m_Inputs->clear();
    m_InputEntries.clear();
    m_List->RemoveAll();
    ForgetClipboardFile();
    m_Cl = CommandLine{};
    m_Log->Clear();
    StopBlink();
    HideSummary();
    SetStatusText(cmd::kReady);
    UpdateCommands();
}

void CZarvexDlg::OnDelete()
{
    // Delete removes what is selected where the focus is: in the output list
    // the selected outputs, elsewhere the selected input files.
    if (m_Outputs->hasFocus() && !SelectedRows().empty())
        RemoveSelectedOutputs();
    else
        DeleteSelectedInputs();
}

void CZarvexDlg::DeleteSelectedInputs()
{
    if (IsBusy()) return;
    // Records go before the list is rebuilt: the lists keep quiet meanwhile.
    const QSignalBlocker quietInputs(m_Inputs), quietOutputs(m_Outputs);
    bool any = false;
    for (int row = m_Inputs->count() - 1; row >= 0; --row) {
        QListWidgetItem* item = m_Inputs->item(row);
        if (!item->isSelected()) continue;
        const std::string path = item->data(Qt::UserRole + 1).toString().toStdString();
        // The clipboard file is no input name of the sort list: its parts go by path.
        if (!m_List->RemoveInputFile(path)) m_List->RemovePartsOf(path);
        if (path == ClipboardPath()) ForgetClipboardFile();
        std::erase_if(m_InputEntries, [&](const InputEntry& e) { return e.path == path; });
        delete m_Inputs->takeItem(row);
        any = true;
    }
    if (any) RebuildOutputList(true);
    UpdateCommands();
}

void CZarvexDlg::RemoveSelectedOutputs()
{
    if (IsBusy()) return;
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        QApplication::beep();
        return;
    }
    const QSignalBlocker quiet(m_Outputs);
    // Take each entry out of its record; records are looked up again each
    // time because a removal may delete one.
    std::vector<std::tuple<CSortInfo*, CFInfo*, std::string>> removals;
    for (int row : rows)
        removals.emplace_back(m_Entries[row].group, m_Entries[row].named, std::string(EntryName(m_Entries[row].text)));
    for (auto& [group, named, name] : removals) {
        if (GroupIndexOf(group) < 0) continue;
        if (named && group->IndexOfPart(named) < 0) named = nullptr;
        RemoveOutput(*m_List, *group, named, name);
    }
    m_Outputs->clearSelection();
    RebuildOutputList(false);
    if (m_Outputs->topLevelItemCount() > 0)
        m_Outputs->setCurrentItem(m_Outputs->topLevelItem(std::min(rows.front(), m_Outputs->topLevelItemCount() - 1)),
                                  0, QItemSelectionModel::NoUpdate);
    UpdateCommands();
}

int CZarvexDlg::FindAndSelect(const std::string& text, bool matchCase)
{
    int count = 0, first = -1;
    std::vector<char> hits(m_Entries.size());
    for (std::size_t row = 0; row < m_Entries.size(); ++row) {
        const OutputEntry& e = m_Entries[row];
        hits[row] = (e.group->m_Status & GS_MASK) != 0 && FindMatches(EntryName(e.text), text, matchCase);
        if (hits[row] && first < 0) first = static_cast<int>(row);
        count += hits[row];
    }
    SelectRows(hits);
    if (first >= 0)
        m_Outputs->scrollToItem(m_Outputs->topLevelItem(first), QAbstractItemView::PositionAtTop);
    else
        QApplication::beep();
    UpdateCommands();
    return count;
}

void CZarvexDlg::OnFind()
{
    if (!m_FindBox) {
        m_FindBox = new FindSelectBox(this);
        m_FindBox->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_FindBox, &FindSelectBox::FindNext, this, &CZarvexDlg::OnFindNext);
    }
    m_FindBox->show();
    m_FindBox->raise();
    m_FindBox->activateWindow();
}

void CZarvexDlg::OnFindNext(const QString& text, bool matchCase)
{
    if (IsBusy()) {
        // The list belongs to the running operation: the overlay comes forward instead.
        if (m_Overlay) m_Overlay->raise();
        m_FindBox->raise();
        return;
    }
    FindAndSelect(text.toStdString(), matchCase);
}

void CZarvexDlg::SelectAllComplete()
{
    if (IsBusy()) return;
    BusyScope busy(*this);
    std::vector<char> complete(m_Entries.size());
    for (std::size_t row = 0; row < m_Entries.size(); ++row) {
        const int status = m_Entries[row].group->m_Status & GS_MASK;
        complete[row] = status != GS_CHANGED && status != GS_MISSING;
    }
    SelectRows(complete);
}

void CZarvexDlg::PadPartNumbers()
{
    if (IsBusy()) return;
    const std::vector<int> rows = SelectedRows();
    std::vector<std::string> names;
    for (int row : rows) names.emplace_back(EntryName(m_Entries[row].text));
    const auto padded = PaddedNames(names);
    {
        BusyScope busy(*this);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            SetItemProgress(static_cast<int>(i + 1), static_cast<int>(rows.size()));
            if (!padded[i]) continue;
            OutputEntry& e = m_Entries[rows[i]];
            CFInfo* part = e.named ? e.named : (e.group->GetSize() ? e.group->GetAt(0) : nullptr);
            if (!part) continue;
            e.group->ReplaceName(names[i], *padded[i]);
            e.group->RenameAll(part, *padded[i]);
        }
        m_List->InvalidateGroupIndex();
    }
    RebuildOutputList(false);
}

void CZarvexDlg::RenameEntry(OutputEntry& e, const std::string& oldName, std::string newName)
{
    newName = CleanName(newName, m_App.core.Force8, false, m_App.core);
    while (!newName.empty() && newName.back() == ' ') newName.pop_back();
    while (!newName.empty() && newName.front() == ' ') newName.erase(0, 1);
    if (newName.empty() || newName == oldName) return;
    CFInfo* part = e.named ? e.named : (e.group->GetSize() ? e.group->GetAt(0) : nullptr);
    if (!part) return;
    e.group->ReplaceName(oldName, newName);
    e.group->RenameAll(part, newName);
}

void CZarvexDlg::RenameSelectedTo(const std::vector<std::string>& newNames)
{
    if (IsBusy()) return;
    const std::vector<int> rows = SelectedRows();
    for (std::size_t i = 0; i < rows.size() && i < newNames.size(); ++i) {
        OutputEntry& e = m_Entries[static_cast<std::size_t>(rows[i])];
        RenameEntry(e, std::string(EntryName(e.text)), newNames[i]);
    }
    m_List->InvalidateGroupIndex();
    RebuildOutputList(false);
}

void CZarvexDlg::OnRenameFromSubject()
{
    if (IsBusy()) return;
    std::vector<RenameSource> rows;
    for (int row : SelectedRows()) {
        const OutputEntry& e = m_Entries[static_cast<std::size_t>(row)];
        const CFInfo* part = e.named ? e.named : (e.group->GetSize() ? e.group->GetAt(0) : nullptr);
        if (!part) return;
        rows.push_back({std::string(EntryName(e.text)), part->m_FullSubj.empty() ? part->m_Subject : part->m_FullSubj,
                        part->m_From, part->m_Time});
    }
    if (rows.empty()) return;
    SubjectRenameDialog dialog(this, std::move(rows), m_Ini, m_App.core);
    if (dialog.exec() == QDialog::Accepted) RenameSelectedTo(dialog.Results());
}

bool CZarvexDlg::RenameSelected(const std::string& to)
{
    if (IsBusy()) return false;
    std::vector<int> rows = SelectedRows();
    if (rows.empty() && FocusedRow() >= 0) rows.push_back(FocusedRow());
    if (rows.empty()) return false;
    std::vector<std::string> names;
    for (int row : rows) names.emplace_back(EntryName(m_Entries[row].text));
    if (rows.size() == 1) {
        RenameEntry(m_Entries[rows[0]], names[0], to);
    } else {
        const std::string from = WildcardPattern(names);
        if (!WildcardsAgree(from, to)) return false;
        if (to == from) return true;
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (const auto renamed = WildcardRename(names[i], from, to))
                RenameEntry(m_Entries[rows[i]], names[i], *renamed);
    }
    m_List->InvalidateGroupIndex();
    RebuildOutputList(false);
    m_Outputs->setFocus();
    return true;
}

void CZarvexDlg::OnRename()
{
    if (IsBusy()) return;
    std::vector<int> rows = SelectedRows();
    if (rows.empty() && FocusedRow() >= 0) rows.push_back(FocusedRow());
    if (rows.empty()) return;
    std::vector<std::string> names;
    for (int row : rows) names.emplace_back(EntryName(m_Entries[row].text));
    RenameDialog dialog(this, names);
    if (dialog.exec() == QDialog::Accepted) RenameSelected(dialog.To());
}

void CZarvexDlg::Rescan()
{
    if (IsBusy()) return;
    for (int i = 0; i < m_List->GetSize(); ++i) m_List->GetAt(i)->m_Status = GS_CHANGED;
    RebuildOutputList(true);
}

// ------------------------------------------------------------ properties and menus

std::unique_ptr<QMenu> CZarvexDlg::PropertiesMenu()
{
    if (IsBusy()) return nullptr;
    const int row = FocusedRow();
    if (row < 0 || row >= static_cast<int>(m_Entries.size())) return nullptr;
    const OutputEntry entry = m_Entries[row];
    UpdateCommands();
    auto menu = std::make_unique<QMenu>(this);
    for (const auto& [text, id] : std::initializer_list<std::pair<const char*, int>>{
             {"&Extract", cmd::Extract}, {"Re&name", cmd::Rename}, {"&Remove", cmd::Remove}, {"&Copy", cmd::Copy}}) {
        QAction* command = Action(id);
        QAction* item = menu->addAction(text);
        item->setData(id);
        item->setEnabled(command->isEnabled());
        connect(item, &QAction::triggered, command, &QAction::trigger);
    }
    menu->addSeparator();
    for (const PropertyLine& line : PropertyLines(*entry.group, entry.named)) {
        QAction* a = menu->addAction(Q(ToDisplayUtf8(line.text)));
        const int id = line.itemId;
        a->setData(id);
        connect(a, &QAction::triggered, this, [this, entry, id] {
            if (GroupIndexOf(entry.group) < 0) return;
            const std::string text = PropertyClipboardText(*entry.group, entry.named, id);
            if (!text.empty()) QApplication::clipboard()->setText(Q(ToDisplayUtf8(text)));
        });
    }
    return menu;
}

void CZarvexDlg::ShowPropertiesMenu(const QPoint& at)
{
    if (const auto menu = PropertiesMenu()) menu->exec(at);
}

void CZarvexDlg::OnProperties()
{
    const QTreeWidgetItem* item = m_Outputs->currentItem();
    if (!item) return;
    const QRect r = m_Outputs->visualItemRect(item);
    ShowPropertiesMenu(m_Outputs->viewport()->mapToGlobal(r.topRight()));
}

void CZarvexDlg::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(Action(cmd::Paste));
    menu.exec(event->globalPos());
}

// ------------------------------------------------------------ toggles

void CZarvexDlg::OnToggleLog()
{
    m_Log->setVisible(!m_Log->isVisible());
    UpdateCommands();
}

void CZarvexDlg::OnToggleToolBar()
{
    m_App.core.ToolBar = m_ToolBar->isHidden();
    m_ToolBar->setVisible(m_App.core.ToolBar);
    UpdateCommands();
}

void CZarvexDlg::OnToggleStatusBar()
{
    m_App.core.StatusBar = statusBar()->isHidden();
    statusBar()->setVisible(m_App.core.StatusBar);
    UpdateCommands();
}

void CZarvexDlg::OnSortFiles()
{
    if (IsBusy()) return;
    m_App.core.SortFiles = !m_App.core.SortFiles;
    Action(cmd::SortFiles)->setChecked(m_App.core.SortFiles);
    RebuildOutputList(true);
}

void CZarvexDlg::OnAlwaysOnTop()
{
    const bool on = !(windowFlags() & Qt::WindowStaysOnTopHint);
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    Action(cmd::AlwaysOnTop)->setChecked(on);
    show();
}

void CZarvexDlg::OnAbout()
{
    QMessageBox::about(this, QString("Zarvex %1").arg(Q(kVersion)),
                       QString("Zarvex %1\n\nFinds, assembles and decodes binary files sent as text in mail and news "
                               "(UU, XX, Base64, yEnc, BinHex, Quoted-Printable, BNews, faces).")
                           .arg(Q(kVersion)));
}

void CZarvexDlg::OnListDump()
{
    // The records may be changing while an operation runs.
    if (IsBusy()) {
        QApplication::beep();
        return;
    }
    ListDumpWindow dump(this, *m_List, m_Ini);
    dump.exec();
}

void CZarvexDlg::OnAbort()
{
    m_Host.RequestAbort();
}

} // namespace zarvex
