// Extract Stream: stream decoding switched on and off, its folder and the
// question about the existing entries, and the stream step over the list.
#include "app/engine.h"
#include "app/follow/stream_step.h"
#include "app/window/commands.h"
#include "app/window/folder_box.h"
#include "app/window/main_window.h"
#include "app/window/readable_colour.h"
#include "model/records.h"
#include "text/messages.h"

#include <QFileDialog>
#include <QTreeWidget>

#include <set>

namespace zarvex {
namespace {

constexpr const char* kStreamFolderTitle = "Select Directory for Extracted Files";
constexpr const char* kOldStyleFolderTitle = "Working Directory";

QString Q(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

void CZarvexDlg::OnExtractStream()
{
    // While the Extract command runs with streaming on, this only stops it.
    if (m_Extracting && m_StreamOn) {
        m_Host.RequestAbort();
        return;
    }
    if (IsBusy()) return;
    if (m_StreamOn) {
        StreamOff();
        return;
    }
    const std::string start = m_App.StreamDir.empty() ? m_App.Dirs[0] : m_App.StreamDir;
    QString folder;
    {
        const FlagScope extracting(m_Extracting);
        // The old style asks with its own folder box ("Working Directory").
        folder = m_App.core.OldExtract ? Q(ChooseFolderOldStyle(this, kOldStyleFolderTitle, start))
                                       : QFileDialog::getExistingDirectory(this, kStreamFolderTitle, Q(start));
    }
    if (folder.isEmpty()) {
        UpdateCommands(); // Cancel: stream decoding stays off
        return;
    }
    StreamInto(folder.toStdString());
}

void CZarvexDlg::StreamInto(const std::string& folder)
{
    m_StreamOn = true;
    m_App.StreamDir = folder;
    UpdateCommands();
    if (m_Entries.empty()) return;
    StreamExisting(m_Host.Ask(Prompt::StreamDecodeExisting, {}) == button::Yes);
}

void CZarvexDlg::StreamExisting(bool all)
{
    BusyScope busy(*this);
    if (all) {
        // As Rescan/Refresh: every record is listed anew, for the stream step.
        StreamAllExisting(*m_List);
        RebuildOutputList(true);
        return;
    }
    std::vector<char> selected(m_Entries.size());
    for (int row : SelectedRows()) selected[static_cast<std::size_t>(row)] = 1;
    if (!StreamSelectedOnly(m_Entries, selected)) return;
    RebuildOutputList(false);
    StreamStep();
}

void CZarvexDlg::StreamOff()
{
    m_StreamOn = false;
    zarvex::StopStreaming(m_Engine, *m_List, m_Entries);
    std::vector<std::size_t> all(m_Entries.size());
    for (std::size_t row = 0; row < all.size(); ++row) all[row] = row;
    RecolourGroupsOf(all);
    UpdateCommands();
}

void CZarvexDlg::StreamStep()
{
    if (!m_StreamOn) return;
    BusyScope busy(*this);
    const std::vector<std::size_t> rows =
        zarvex::StreamStep(m_Entries, {m_Engine, *m_List, m_App.core, m_Run, m_Host, m_App.StreamDir});
    // No status text: the step runs at every tick and would wipe what the
    // last command said ("Operation Aborted!").
    RecolourGroupsOf(rows);
}

void CZarvexDlg::RecolourGroupsOf(const std::vector<std::size_t>& rows)
{
    // A group's colour shows on each of its entries.
    std::set<const CSortInfo*> groups;
    for (std::size_t row : rows) groups.insert(m_Entries[row].group);
    const int count = std::min(m_Outputs->topLevelItemCount(), static_cast<int>(m_Entries.size()));
    for (int row = 0; row < count; ++row) {
        const CSortInfo* group = m_Entries[static_cast<std::size_t>(row)].group;
        if (!groups.contains(group)) continue;
        const QColor colour = ReadableColour(EntryColour(*group), palette());
        m_Outputs->topLevelItem(row)->setForeground(0, colour);
        m_Outputs->topLevelItem(row)->setForeground(1, colour);
    }
}

} // namespace zarvex
