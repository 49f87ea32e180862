// The main window and monitor mode: a double click on an input entry flips
// its monitoring, the monitor timer (2189) runs the tick over the monitored
// files, and the clean-up timer (2188) retries the files waiting on the
// clean-up list.
#include "app/follow/monitor.h"
#include "app/window/main_window.h"
#include "app/window/readable_colour.h"
#include "model/records.h"
#include "model/unpacked_inputs.h"
#include "text/display_text.h"
#include "text/messages.h"

#include <QApplication>
#include <QListWidget>
#include <QTimer>

#include <algorithm>

namespace zarvex {
namespace {

constexpr int kTickMs = 3000;
constexpr int kPathRole = Qt::UserRole + 1; // the input row's path, as the list keeps it

QString Q(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QListWidgetItem* RowOf(QListWidget& list, const std::string& path)
{
    for (int row = 0; row < list.count(); ++row)
        if (list.item(row)->data(kPathRole).toString() == Q(path)) return list.item(row);
    return nullptr;
}

// A member of an archive or a compressed file does not grow: it is never monitored.
bool Unpacked(const MyCObArray& list, const std::string& path)
{
    return list.m_Unpacked && list.m_Unpacked->Holds(path);
}

bool AnyWaiting(const CleanupList& cleanup)
{
    const auto& listed = cleanup.Entries();
    return std::any_of(listed.begin(), listed.end(),
                       [](const CleanupList::Entry& e) { return e.state == CleanupState::Waiting; });
}

} // namespace

void CZarvexDlg::SetUpMonitor()
{
    m_MonitorTimer = new QTimer(this);
    m_MonitorTimer->setInterval(kTickMs);
    connect(m_MonitorTimer, &QTimer::timeout, this, &CZarvexDlg::MonitorTickNow);
    m_CleanupTimer = new QTimer(this);
    m_CleanupTimer->setSingleShot(true);
    m_CleanupTimer->setInterval(kTickMs);
    connect(m_CleanupTimer, &QTimer::timeout, this, &CZarvexDlg::OnCleanupTick);
    connect(m_Inputs, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        ToggleMonitoring(item->data(kPathRole).toString().toStdString());
    });
}

void CZarvexDlg::SetMonitorInterval(int ms)
{
    m_MonitorTimer->start(ms);
    m_CleanupTimer->setInterval(ms);
}

void CZarvexDlg::ToggleMonitoring(const std::string& path)
{
    const auto entry = std::find_if(m_InputEntries.begin(), m_InputEntries.end(),
                                    [&](const InputEntry& e) { return e.path == path; });
    if (entry == m_InputEntries.end() || Unpacked(*m_List, path)) return;
    entry->SetMonitored(!entry->IsMonitored());
    ShowInputEntry(*entry);
    // A file switched on is looked at now, once the double click is over.
    if (entry->IsMonitored()) QTimer::singleShot(0, this, &CZarvexDlg::MonitorTickNow);
}

void CZarvexDlg::NoteFirstScan(const std::string& path)
{
    AddInputEntry(path);
    const auto entry = std::find_if(m_InputEntries.begin(), m_InputEntries.end(),
                                    [&](const InputEntry& e) { return e.path == path; });
    const auto scan = m_FirstScans.find(path);
    if (entry == m_InputEntries.end() || scan == m_FirstScans.end()) return;
    // What the scan read is what the tick compares the file's size with.
    entry->size = entry->scanPos = scan->second.pos;
    entry->scanLine = scan->second.line;
    m_FirstScans.erase(scan);
    if (m_App.core.AutoMonitor && !m_Host.AbortRequested() && !Unpacked(*m_List, path))
        entry->SetMonitored(true);
    ShowInputEntry(*entry);
}

void CZarvexDlg::ShowInputEntry(const InputEntry& entry)
{
    QListWidgetItem* item = RowOf(*m_Inputs, entry.path);
    if (!item) return;
    const std::string_view name =
        entry.path == ClipboardPath() ? std::string_view(kClipboardName) : entry.path;
    item->setText(Q(ToDisplayUtf8(InputEntryText(name, entry.size, entry.IsMonitored()))));
    item->setData(Qt::ForegroundRole, entry.IsMonitored() ? QVariant(QBrush(ReadableColour(QColor(0, 128, 0), palette()))) : QVariant());
}

void CZarvexDlg::MonitorTickNow()
{
    bool busy = false;
    const MonitorCall call{m_InputEntries, *m_List, m_Engine, m_App.core, m_Run, m_Host, [this, &busy] {
                               EnterBusy();
                               busy = true;
                           }};
    // A modal dialog (the Extract dialog, the stream folder prompt, a
    // question) or a popup menu (the properties menu keeps its entry's
    // record and part) holds rows of the lists the tick would rebuild: it waits.
    const bool dialogOpen =
        QApplication::activeModalWidget() != nullptr || QApplication::activePopupWidget() != nullptr;
    const MonitorOutcome out =
        MonitorTick(call, {IsBusy(), m_Dragging, m_Extracting || dialogOpen}, m_InMonitorTick);
    if (!out.ran) return;
    // The clean-up list's periodic pass runs with every tick.
    m_Cleanup.Pass();
    if (!m_CleanupTimer->isActive() && AnyWaiting(m_Cleanup)) m_CleanupTimer->start();
    for (const std::string& path : out.gone) {
        delete RowOf(*m_Inputs, path);
        if (path == ClipboardPath()) ForgetClipboardFile();
    }
    for (const InputEntry& entry : m_InputEntries)
        if (entry.IsMonitored()) ShowInputEntry(entry);
    if (out.rebuild) RebuildOutputList(false);
    // Outputs that got new data (or still wait for it) are stream decoded
    // before busy mode ends, unless the reading was stopped.
    if (!out.aborted) StreamStep();
    if (busy) LeaveBusy();
    if (!out.gone.empty())
        SetStatusText(Q(Message(msg::MonitoredChanged)));
    else if (out.scanned)
        SetStatusText({});
    UpdateCommands();
}

void CZarvexDlg::OnCleanupTick()
{
    m_Cleanup.DeleteState(CleanupState::Waiting);
    if (AnyWaiting(m_Cleanup)) m_CleanupTimer->start();
}

} // namespace zarvex
