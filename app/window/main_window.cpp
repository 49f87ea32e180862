#include "app/window/main_window.h"
#include "app/window/readable_colour.h"
#include "scan/clipboard_file.h"

#include "app/engine.h"
#include "app/follow/stream_step.h"
#include "app/window/commands.h"
#include "app/window/log_window.h"
#include "model/records.h"
#include "scan/input_sources.h"
#include "text/ascii.h"
#include "text/display_text.h"
#include "text/messages.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <filesystem>
#include <set>

#include <sys/stat.h>

namespace zarvex {
namespace {

QString Q(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

constexpr int kEntryRole = Qt::UserRole + 1;
// The recent-files list keeps its own section, as the framework's list always has.
constexpr const char* kRecentFiles = "Recent File List";

// A selected output entry is drawn in its status colour as background with
// the window colour as text, so the status stays visible while selected.
class OutputDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt(option);
        if (opt.state & QStyle::State_Selected) {
            const QColor colour = index.data(Qt::ForegroundRole).value<QBrush>().color();
            opt.palette.setColor(QPalette::Highlight, colour);
            opt.palette.setColor(QPalette::HighlightedText, opt.palette.color(QPalette::Base));
        }
        QStyledItemDelegate::paint(painter, opt, index);
    }
};

// The output list: dragging entries out extracts them first and offers the
// written files.
class OutputListWidget : public QTreeWidget
{
public:
    OutputListWidget(std::function<std::vector<std::string>()> handOver, std::function<void(bool)> dragging)
        : m_HandOver(std::move(handOver)), m_Dragging(std::move(dragging))
    {
        setDragEnabled(true);
        setDragDropMode(QAbstractItemView::DragOnly);
    }

protected:
    void startDrag(Qt::DropActions) override
    {
        const std::vector<std::string> files = m_HandOver();
        if (files.empty()) return;
        QList<QUrl> urls;
        for (const std::string& f : files) urls.push_back(QUrl::fromLocalFile(Q(f)));
        auto* mime = new QMimeData;
        mime->setUrls(urls);
        auto* drag = new QDrag(this);
        drag->setMimeData(mime);
        m_Dragging(true);
        drag->exec(Qt::CopyAction);
        m_Dragging(false);
    }

private:
    std::function<std::vector<std::string>()> m_HandOver;
    std::function<void(bool)> m_Dragging; // told when the drag starts and ends
};

// Covers the lists while busy so that mouse input does not reach them.
class BusyOverlay : public QWidget
{
public:
    explicit BusyOverlay(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_NoSystemBackground);
        setCursor(Qt::BusyCursor);
        setGeometry(parent->rect());
        show();
        raise();
    }
};

std::int64_t FileSize(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
}

} // namespace

CZarvexDlg::CZarvexDlg(Engine& engine, std::string iniPath, CommandLine cl, QWidget* parent)
    : QMainWindow(parent), m_Engine(engine), m_IniPath(std::move(iniPath)), m_Cl(std::move(cl)), m_Host(*this)
{
    setWindowTitle("Zarv32 Windows");
    setObjectName("ZarvexTNG");
    m_Log = new LogWindow(this);
    connect(m_Log, &LogWindow::VisibilityChanged, this, [this] {
        if (QAction* a = Action(cmd::LogWindow)) a->setChecked(m_Log->isVisible());
    });
    LoadSettings();
    m_List = std::make_unique<MyCObArray>(m_App.core, &m_Host);
    BuildLayout();
    BuildCommands();
    setAcceptDrops(true);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &CZarvexDlg::UpdateClipboardState);
    m_BlinkTimer = new QTimer(this);
    connect(m_BlinkTimer, &QTimer::timeout, this, [this] {
        if (--m_BlinkTicks <= 0) {
            m_BlinkTimer->stop();
            m_Status->setStyleSheet({});
            m_Status->setText(cmd::kReady);
            return;
        }
        m_Status->setStyleSheet(m_BlinkTicks % 2 ? "background: #ffd0d0; color: #800000" : "color: #800000");
    });
    UpdateClipboardState();
    SetUpMonitor();
}

CZarvexDlg::~CZarvexDlg()
{
    // Unfinished stream outputs go with the window (their data are still in the inputs).
    m_Engine.ReleaseStreamOutputs(*m_List);
    // The sort list logs through the host, which needs the log window.
    m_List.reset();
    // The engine outlives the window: it must not keep the clipboard file.
    m_Engine.SetClipboardFile(nullptr);
    ForgetClipboardFile();
    // Files handed to a viewer, the clipboard or a drag stay as long as the
    // program runs; then they are wiped and their folders removed.
    m_Cleanup.WipeAllNow();
    for (const std::string& folder : m_HandOverDirs) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
}

void CZarvexDlg::LoadSettings()
{
    if (!m_IniPath.empty()) m_Ini.Load(m_IniPath);
    m_App = zarvex::LoadSettings(m_Ini);
    // A new user's Open dialog shows every file ("All Files"): mail and news
    // come in files of any name, most without an encoded-file extension.
    if (!m_Ini.Get("Preferences", "FileMask")) m_App.core.FileMask = 2;
    if (m_Cl.hasOutDir) m_App.Dirs[0] = m_Cl.outDir;
    // The first size fits the smallest common screens (1366x768, or that in
    // logical pixels at a scale of 2); Qt scales it with the pixel ratio.
    QSize first(760, 460);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        first = first.boundedTo(screen->availableSize() * 9 / 10);
    resize(first);
    setMinimumSize(480, 260);
    int l = 0, t = 0, r = 0, b = 0;
    if (std::sscanf(m_App.Coordinates.c_str(), "%d,%d,%d,%d", &l, &t, &r, &b) == 4) {
        QRect rect(l, t, r - l, b - t);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            // A size below the designed one or beyond the screen falls back to the designed size.
            const QRect area = screen->availableVirtualGeometry();
            if (rect.width() < minimumWidth() || rect.width() > area.width()) rect.setWidth(minimumWidth());
            if (rect.height() < minimumHeight() || rect.height() > area.height()) rect.setHeight(minimumHeight());
            rect.moveLeft(std::clamp(rect.left(), area.left(), area.right() - rect.width() + 1));
            rect.moveTop(std::clamp(rect.top(), area.top(), area.bottom() - rect.height() + 1));
        }
        setGeometry(rect);
    }
    m_Log->RestorePosition(m_Ini);
    for (int i = 1; i <= cmd::RecentCount; ++i) {
        std::string file = m_Ini.GetString(kRecentFiles, "File" + std::to_string(i));
        if (!file.empty()) m_Recent.push_back(std::move(file));
    }
}

void CZarvexDlg::SaveSettings()
{
    const QRect g = normalGeometry();
    m_App.Coordinates = QString("%1,%2,%3,%4")
                            .arg(g.left())
                            .arg(g.top())
                            .arg(g.left() + g.width())
                            .arg(g.top() + g.height())
                            .toStdString();
    m_App.Minimized = isMinimized();
    m_App.core.ToolBar = !m_ToolBar->isHidden();
    m_App.core.StatusBar = !statusBar()->isHidden();
    if (m_IniPath.empty()) return;
    StoreSettings(m_App, m_Cl.extract, m_Ini);
    m_Log->StorePosition(m_Ini);
    for (std::size_t i = 0; i < m_Recent.size(); ++i)
        m_Ini.Set(kRecentFiles, "File" + std::to_string(i + 1), m_Recent[i]);
    m_Ini.Save(m_IniPath);
}

void CZarvexDlg::BuildLayout()
{
    auto* central = new QWidget(this);
    m_Splitter = new QSplitter(Qt::Horizontal, central);
    m_Splitter->setChildrenCollapsible(false);

    auto pane = [this](const QString& label, QWidget* list, QPushButton* button) {
        auto* w = new QWidget(m_Splitter);
        auto* title = new QLabel(label, w);
        title->setBuddy(list);
        auto* v = new QVBoxLayout(w);
        v->setContentsMargins(6, 6, 6, 6);
        v->addWidget(title);
        v->addWidget(list, 1);
        auto* h = new QHBoxLayout;
        h->addStretch();
        h->addWidget(button);
        h->addStretch();
        v->addLayout(h);
        return w;
    };

    m_Inputs = new QListWidget;
    m_Inputs->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_Inputs->setSortingEnabled(true);
    m_Outputs = new OutputListWidget([this] { return ExtractForHandOver(); },
                                     [this](bool on) {
                                         m_Dragging = on;
                                         if (!on) m_Cleanup.Pass();
                                     });
    m_Outputs->setColumnCount(2);
    m_Outputs->setHeaderHidden(true);
    m_Outputs->setRootIsDecorated(false);
    m_Outputs->setUniformRowHeights(true);
    m_Outputs->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_Outputs->setItemDelegate(new OutputDelegate(m_Outputs));
    // The names are never cut: the list scrolls sideways to the widest one,
    // and the size column takes what is left, at least its own width.
    m_Outputs->header()->setStretchLastSection(true);
    m_Outputs->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_Outputs->header()->setMinimumSectionSize(m_Outputs->fontMetrics().horizontalAdvance("< 99999999K") + 18);
    m_Outputs->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_Outputs, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { ShowPropertiesMenu(m_Outputs->viewport()->mapToGlobal(p)); });
    connect(m_Outputs, &QTreeWidget::itemSelectionChanged, this, &CZarvexDlg::UpdateCommands);
    connect(m_Outputs, &QTreeWidget::currentItemChanged, this, &CZarvexDlg::UpdateCommands);
    connect(m_Outputs, &QTreeWidget::itemDoubleClicked, this, [this] { OnPreview(); });
    connect(m_Inputs, &QListWidget::itemSelectionChanged, this, &CZarvexDlg::UpdateCommands);

    m_ClearButton = new QPushButton("&Clear");
    m_ClearButton->setToolTip("Clear all files");
    m_ExtractButton = new QPushButton("E&xtract...");
    m_ExtractButton->setToolTip("Extract (selected) output files");
    // Alt+X belongs to the Extract command, which the button runs as well:
    // with the mnemonic too, the key would be ambiguous and do nothing.
    m_ExtractButton->setShortcut(QKeySequence());
    m_Splitter->addWidget(pane("&Input files:", m_Inputs, m_ClearButton));
    m_Splitter->addWidget(pane("O&utput files:", m_Outputs, m_ExtractButton));
    connect(m_Splitter, &QSplitter::splitterMoved, this, [this](int pos, int) {
        m_App.Center = SplitterPercent(pos, m_Splitter->width());
    });

    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_Splitter);
    setCentralWidget(central);

    m_Status = new QLabel(cmd::kReady);
    m_Progress = new QProgressBar;
    m_Progress->setRange(0, 100);
    m_Progress->setMaximumWidth(180);
    m_Progress->setTextVisible(false);
    m_Progress->hide();
    m_Meter = new QLabel;
    m_Meter->hide();
    // The summary of the last extraction, with its folder a click away.
    m_Summary = new QLabel;
    m_Summary->setTextFormat(Qt::RichText);
    m_Summary->hide();
    connect(m_Summary, &QLabel::linkActivated, this, &CZarvexDlg::OpenOutputFolder);
    statusBar()->addWidget(m_Status, 1);
    statusBar()->addWidget(m_Summary);
    statusBar()->addPermanentWidget(m_Meter);
    statusBar()->addPermanentWidget(m_Progress);
    statusBar()->setSizeGripEnabled(true);
}

void CZarvexDlg::ApplySplitter()
{
    const int width = m_Splitter->width();
    const int minSide = m_ClearButton->sizeHint().width() + 12;
    const int s = SplitPosition(m_App.Center, width, minSide);
    m_Splitter->setSizes({s, std::max(width - s - m_Splitter->handleWidth(), 1)});
}

void CZarvexDlg::MoveSplitter(int x)
{
    const int width = m_Splitter->width();
    m_Splitter->setSizes({x, std::max(width - x - m_Splitter->handleWidth(), 1)});
    m_App.Center = SplitterPercent(x, width);
}

void CZarvexDlg::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (m_Overlay) m_Overlay->setGeometry(centralWidget()->rect());
    ApplySplitter();
}

void CZarvexDlg::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // A new theme: the status colours are made readable on it (while busy
    // the records may be changing; the next rebuild colours them).
    if ((event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) && m_Outputs && !IsBusy()) {
        std::vector<std::size_t> all(m_Entries.size());
        for (std::size_t row = 0; row < all.size(); ++row) all[row] = row;
        RecolourGroupsOf(all);
        for (const InputEntry& entry : m_InputEntries) ShowInputEntry(entry);
        // The summary's link takes the new theme's link colour when set again.
        const QString summary = m_Summary->text();
        m_Summary->clear();
        m_Summary->setText(summary);
    }
}

void CZarvexDlg::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_SplitterSet) {
        m_SplitterSet = true;
        ApplySplitter();
    }
}

void CZarvexDlg::StartUp()
{
    if (!m_Cl.logFile.empty()) m_Log->OpenLogFile(m_Cl.logFile, true);
    // "StreamStart": stream decoding resumes into its folder (checked writable when read).
    if (m_App.StreamResume) StreamInto(m_App.StreamDir);
    if (m_Cl.readClipboard) OnPaste();
    m_MonitorTimer->start();
    std::vector<std::string> files;
    for (const std::string& f : m_Cl.files) files.push_back(f);
    if (!files.empty()) AddInputs(files);
}

// ------------------------------------------------------------ busy mode

void CZarvexDlg::EnterBusy()
{
    if (m_Busy++ == 0) {
        m_WorkClock.start();
        m_DoneBytes = m_ItemBytes = 0;
        setAcceptDrops(false);
        m_Overlay = new BusyOverlay(centralWidget());
        UpdateCommands();
    } else if (m_Overlay) {
        m_Overlay->raise();
    }
}

void CZarvexDlg::LeaveBusy()
{
    if (m_Busy == 0 || --m_Busy > 0) return;
    delete m_Overlay;
    m_Overlay = nullptr;
    setAcceptDrops(true);
    SetItemProgress(1, 1);
    SetItemPercent(-1);
    UpdateCommands();
    // A close asked for while busy happens now that the operation is over.
    if (m_CloseWhenIdle) QTimer::singleShot(0, this, &QWidget::close);
}

void CZarvexDlg::closeEvent(QCloseEvent* event)
{
    if (IsBusy()) {
        m_Host.RequestAbort();
        m_CloseWhenIdle = true;
        event->ignore();
        return;
    }
    m_Closing = true;
    SaveSettings();
    m_Log->hide();
    event->accept();
}

// ------------------------------------------------------------ status bar

void CZarvexDlg::SetStatusText(const QString& text)
{
    if (m_BlinkTimer->isActive()) return;
    m_Status->setText(text.isEmpty() ? QString(cmd::kReady) : text);
}

QString CZarvexDlg::StatusText() const
{
    return m_Status->text();
}

int CZarvexDlg::ProgressValue() const
{
    return m_Progress->isVisible() || !m_Progress->isHidden() ? m_Progress->value() : -1;
}

void CZarvexDlg::SetItemProgress(int index, int count)
{
    index = std::max(index, 1);
    // The items before this one are done: their bytes count for the throughput.
    if (index > m_ItemIndex) m_DoneBytes += m_ItemBytes;
    m_ItemBytes = 0;
    m_ItemIndex = index;
    m_ItemCount = std::max(count, 1);
    if (m_ItemIndex == 1 && m_ItemCount == 1) {
        m_LastPercent = -1;
        m_Progress->setValue(0);
    }
    UpdateMeter();
}

void CZarvexDlg::SetItemSize(std::int64_t bytes)
{
    m_ItemBytes = std::max<std::int64_t>(bytes, 0);
}

void CZarvexDlg::UpdateMeter()
{
    if (m_LastPercent < 0) {
        m_Meter->clear();
        m_Meter->hide();
        return;
    }
    QStringList parts;
    if (m_ItemCount > 1) parts << QString("file %1 of %2").arg(m_ItemIndex).arg(m_ItemCount);
    parts << QString("%1%").arg(m_LastPercent);
    // The rate shows once there is a second of work to measure it by.
    const qint64 ms = m_WorkClock.isValid() ? m_WorkClock.elapsed() : 0;
    const std::int64_t bytes = m_DoneBytes + m_ItemBytes * m_ItemPercent / 100;
    if (ms >= 1000 && bytes > 0) parts << QString("%1 MB/s").arg(bytes / 1e6 / (ms / 1000.0), 0, 'f', 1);
    m_Meter->setText(parts.join(" \u00b7 "));
    m_Meter->show();
}

QString CZarvexDlg::MeterText() const
{
    return m_Meter->text();
}

void CZarvexDlg::SetItemPercent(double percent)
{
    if (percent < 0) {
        m_Progress->hide();
        m_LastPercent = -1;
        UpdateMeter();
        return;
    }
    const int p = static_cast<int>(std::min(percent, 100.0));
    m_ItemPercent = p;
    const int shown = ((m_ItemIndex - 1) * 100 + p) / m_ItemCount;
    if (shown == m_LastPercent) return;
    m_LastPercent = shown;
    m_Progress->setValue(std::clamp(shown, 0, 100));
    m_Progress->show();
    UpdateMeter();
}

void CZarvexDlg::StopBlink()
{
    if (!m_BlinkTimer->isActive() && m_Status->text() != cmd::kErrorsDetected) return;
    m_BlinkTimer->stop();
    m_Status->setStyleSheet({});
    m_Status->setText(cmd::kReady);
}

void CZarvexDlg::BlinkErrors(int intervalMs, int ticks)
{
    m_BlinkTimer->stop();
    m_Status->setText(cmd::kErrorsDetected);
    m_BlinkTicks = std::max(ticks, 1);
    m_Status->setStyleSheet("color: #800000");
    m_BlinkTimer->start(intervalMs);
}

// ------------------------------------------------------------ lists

void CZarvexDlg::AddInputEntry(const std::string& path, std::string_view shownName)
{
    const std::string_view name = shownName.empty() ? std::string_view(path) : shownName;
    for (InputEntry& e : m_InputEntries) {
        if (e.path != path) continue;
        e.size = FileSize(path);
        for (int row = 0; row < m_Inputs->count(); ++row)
            if (m_Inputs->item(row)->data(kEntryRole).toString() == Q(path))
                m_Inputs->item(row)->setText(Q(ToDisplayUtf8(InputEntryText(name, e.size, e.IsMonitored()))));
        return;
    }
    InputEntry entry{.path = path, .size = FileSize(path)};
    auto* item = new QListWidgetItem(Q(ToDisplayUtf8(InputEntryText(name, entry.size, entry.IsMonitored()))));
    item->setData(kEntryRole, Q(path));
    item->setToolTip(Q(ToDisplayUtf8(path)));
    if (entry.IsMonitored()) item->setForeground(ReadableColour(QColor(0, 128, 0), palette()));
    m_InputEntries.push_back(std::move(entry));
    m_Inputs->addItem(item);
}

void CZarvexDlg::RebuildOutputList(bool full)
{
    SetStatusText(Q(Message(msg::Validating)));
    // Selection survives the rebuild by group and named part.
    std::set<std::pair<const CSortInfo*, const CFInfo*>> selected;
    for (int row : SelectedRows()) selected.emplace(m_Entries[row].group, m_Entries[row].named);
    // So does the focused entry.
    std::pair<const CSortInfo*, const CFInfo*> focused{};
    if (QTreeWidgetItem* current = m_Outputs->currentItem()) {
        const int row = m_Outputs->indexOfTopLevelItem(current);
        if (row >= 0 && row < static_cast<int>(m_Entries.size())) focused = {m_Entries[row].group, m_Entries[row].named};
    }
    const int top = m_Outputs->indexAt(QPoint(0, 0)).row();
    if (full)
        for (int i = 0; i < m_List->GetSize(); ++i) m_List->GetAt(i)->m_ExtractMark = 0;
    m_Engine.Evaluate(*m_List);
    // The entries change under the list: its signals wait for the new ones.
    const QSignalBlocker quiet(m_Outputs);
    m_Outputs->setUpdatesEnabled(false);
    m_Outputs->clear();
    m_Entries = EntriesFor(*m_List);
    if (m_App.core.SortFiles)
        std::stable_sort(m_Entries.begin(), m_Entries.end(), [](const OutputEntry& a, const OutputEntry& b) {
            return CompareIgnoreCase(EntryName(a.text), EntryName(b.text)) < 0;
        });
    // Every record is listed now: its listing mark says so (a mark above 1 is
    // kept; one new while streaming is marked for the stream step).
    MarkListed(*m_List, m_StreamOn);
    QList<QTreeWidgetItem*> items;
    for (std::size_t row = 0; row < m_Entries.size(); ++row) {
        const OutputEntry& e = m_Entries[row];
        const QColor colour = ReadableColour(EntryColour(*e.group), palette());
        const std::string_view name = EntryName(e.text);
        auto* item = new QTreeWidgetItem({Q(ToDisplayUtf8(name)), Q(e.text.substr(name.size() + 1))});
        item->setForeground(0, colour);
        item->setForeground(1, colour);
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setData(0, kEntryRole, static_cast<int>(row));
        items.push_back(item);
    }
    m_Outputs->addTopLevelItems(items);
    std::vector<char> reselect(m_Entries.size());
    for (std::size_t row = 0; row < m_Entries.size(); ++row)
        reselect[row] = selected.contains({m_Entries[row].group, m_Entries[row].named});
    SelectRows(reselect);
    // The focused entry stays focused; with none the first one is, so that
    // its properties and preview are at hand without a click.
    int current = items.isEmpty() ? -1 : 0;
    for (std::size_t row = 0; row < m_Entries.size(); ++row)
        if (focused.first && focused == std::pair<const CSortInfo*, const CFInfo*>{m_Entries[row].group, m_Entries[row].named})
            current = static_cast<int>(row);
    if (current >= 0) m_Outputs->setCurrentItem(items[current], 0, QItemSelectionModel::NoUpdate);
    if (top > 0 && top < static_cast<int>(items.size())) m_Outputs->scrollToItem(items[top], QAbstractItemView::PositionAtTop);
    m_Outputs->setUpdatesEnabled(true);
    SetStatusText(cmd::kReady);
    UpdateCommands();
}

std::vector<int> CZarvexDlg::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : m_Outputs->selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CZarvexDlg::SelectRows(const std::vector<char>& on)
{
    // One selection change for the whole list, not one per entry.
    QItemSelection selection;
    const QAbstractItemModel* model = m_Outputs->model();
    const int count = std::min(static_cast<int>(on.size()), m_Outputs->topLevelItemCount());
    for (int row = 0; row < count;) {
        if (!on[static_cast<std::size_t>(row)]) {
            ++row;
            continue;
        }
        int end = row;
        while (end + 1 < count && on[static_cast<std::size_t>(end + 1)]) ++end;
        selection.select(model->index(row, 0), model->index(end, model->columnCount() - 1));
        row = end + 1;
    }
    m_Outputs->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

int CZarvexDlg::FocusedRow() const
{
    QTreeWidgetItem* item = m_Outputs->currentItem();
    return item ? m_Outputs->indexOfTopLevelItem(item) : (m_Entries.empty() ? -1 : 0);
}

CSortInfo* CZarvexDlg::FocusedGroup() const
{
    const int row = FocusedRow();
    return row >= 0 && row < static_cast<int>(m_Entries.size()) ? m_Entries[row].group : nullptr;
}

int CZarvexDlg::GroupIndexOf(const CSortInfo* group) const
{
    return IndexOfGroup(*m_List, group);
}

// ------------------------------------------------------------ drops

void CZarvexDlg::dragEnterEvent(QDragEnterEvent* event)
{
    // Entries dragged out of the output list are not read back in.
    if (!IsBusy() && event->source() != m_Outputs && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CZarvexDlg::dropEvent(QDropEvent* event)
{
    if (IsBusy()) return;
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    event->acceptProposedAction();
    // Reading starts after the drop has finished, outside the drag's own loop.
    QTimer::singleShot(0, this, [this, paths] { DropFiles(paths); });
}

} // namespace zarvex
