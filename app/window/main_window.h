// The main window: the input list and the output list side by side, the
// menu, toolbar and status bar with every command, busy mode around every
// long operation, and the log window it owns.
#pragma once

#include "app/command_line.h"
#include "app/ini_file.h"
#include "app/follow/monitor.h"
#include "app/output_entries.h"
#include "app/settings_ini.h"
#include "app/window/find_select_box.h"
#include "app/window/notifier.h"
#include "app/window/qt_host.h"
#include "model/run_context.h"
#include "platform/cleanup_list.h"
#include "text/message_ids.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTimer;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace zarvex {

class Engine;
class LogWindow;
class ClipboardFile;
class MyCObArray;

class CZarvexDlg : public QMainWindow
{
    Q_OBJECT
public:
    // `iniPath` empty: defaults, nothing saved. `cl`: the command line of
    // this start (files to read, "/logfile=", "/outdir=").
    CZarvexDlg(Engine& engine, std::string iniPath, CommandLine cl = {}, QWidget* parent = nullptr);
    ~CZarvexDlg() override;

    // The deferred start-up step: opens the log file, reads the clipboard
    // ("/readclipboard") and then the files of the command line.
    void StartUp();

    // Reads input files (or folders) in busy mode and rebuilds the output list.
    void AddInputs(const std::vector<std::string>& paths);
    // Extracts the selected output entries (all when none is selected) into
    // `folder`; the number of files written, or the last negative result.
    int ExtractTo(const std::string& folder, bool saveRaw = false);
    // The Extract command: asks with the Extract dialog unless `quick` finds
    // the current extraction folder usable; `raw` saves undecoded data.
    // `note` says why the dialog is shown (File Preview without a viewer).
    void ExtractCommand(bool raw, bool quick, const QString& note = {});
    // Writes the recent folders and the dialog's INI choices at once.
    void SaveExtractChoices();
    void RebuildOutputList(bool full);

    // Busy mode nests: the window is idle again when every Enter has its Leave.
    void EnterBusy();
    void LeaveBusy();
    bool IsBusy() const { return m_Busy > 0; }
    int BusyDepth() const { return m_Busy; }
    // Enables and disables every command for the current state.
    void UpdateCommands();

    // The small commands, callable without their dialogs.
    void ClearAll();
    void DeleteSelectedInputs();
    void RemoveSelectedOutputs();
    // Returns the number of entries selected.
    int FindAndSelect(const std::string& text, bool matchCase);
    void SelectAllComplete();
    void PadPartNumbers();
    // Renames the selected entries (the focused one when none is selected)
    // by dialog 500's rules; `to` is the To text. False when refused.
    bool RenameSelected(const std::string& to);
    // Gives the selected entries, in order, the names of `newNames` (an empty one: no change).
    void RenameSelectedTo(const std::vector<std::string>& newNames);
    void Rescan();
    // Paste of clipboard text: appended to the clipboard file, which is
    // scanned on from where its last scan ended. The parts found.
    int PasteText(const std::string& text);
    // The clipboard input file; empty while there is none.
    std::string ClipboardPath() const;
    // Dropped files: a ".eml" file is read as pasted text, the others as inputs.
    void DropFiles(const std::vector<std::string>& paths);
    // Copy and drag out: extracts the selected entries into a new folder of
    // their own (in busy mode) and returns the files written there.
    std::vector<std::string> ExtractForHandOver();

    // Progress: an item position (negative counts as 1; (1, 1) resets) and
    // the current item's own percentage (negative hides the bar).
    void SetItemProgress(int index, int count);
    void SetItemPercent(double percent);
    // The size of the current item in bytes, for the throughput the meter shows.
    void SetItemSize(std::int64_t bytes);
    // The meter beside the progress bar during long work: "file N of M", the
    // percentage and MB/s; empty when no work runs.
    QString MeterText() const;
    // The end of the last extraction: "N files written, M incomplete, K
    // failed"; empty before one, and after Clear or a new load.
    QString SummaryText() const;
    // Where Open Output Folder goes: the folder the last extraction wrote
    // into, else the current extraction folder; empty when it does not exist.
    std::string OutputFolder() const;
    void OpenOutputFolder();
    // The end of an extraction that took at least `ms` (5 s) is notified
    // while the window is not active; tests replace the notifier.
    void SetNotifier(std::unique_ptr<Notifier> notifier) { m_Notifier = std::move(notifier); }
    void SetNotifyAfter(int ms) { m_NotifyAfterMs = ms; }
    void SetStatusText(const QString& text);
    // Shows "Errors detected. See log window." and blinks it `ticks` times.
    void BlinkErrors(int intervalMs, int ticks);
    // Ends the blinking at once: "Ready".
    void StopBlink();

    QAction* Action(int id) const;
    // Connects a command whose work is done elsewhere (the preferences
    // dialogs, help) to its menu entry; from then on its rule enables it.
    void SetCommandHandler(int id, std::function<void()> handler);
    // The recent-files list, most recent first (at most four).
    const std::vector<std::string>& RecentFiles() const { return m_Recent; }
    // The modeless Find & Select box, once opened.
    FindSelectBox* FindBox() const { return m_FindBox; }
    // The properties menu of the focused entry (none while busy or without
    // one): the four commands, a separator and the information lines.
    std::unique_ptr<QMenu> PropertiesMenu();
    // Opens the Find & Select box, or brings it forward.
    void OnFind();
    QListWidget* InputList() const { return m_Inputs; }
    QTreeWidget* OutputList() const { return m_Outputs; }
    LogWindow* Log() const { return m_Log; }
    QtHost& CoreHost() { return m_Host; }
    MyCObArray& SortList() { return *m_List; }
    AppSettings& Preferences() { return m_App; }
    // For the preferences dialogs: the run's own choices, and the settings file
    // (sections the window does not own, such as "Association", are saved with it).
    RunContext& Run() { return m_Run; }
    IniFile& SettingsFile() { return m_Ini; }
    const std::vector<OutputEntry>& Entries() const { return m_Entries; }
    QString StatusText() const;
    int ProgressValue() const;
    int SplitPercent() const { return m_App.Center; }
    // Sets the splitter to `x` pixels from the left as a drag would.
    void MoveSplitter(int x);
    // Writes the settings file now (also done at close).
    void SaveSettings();

    // Stream decoding (main_window_stream.cpp). The monitor tick runs
    // StreamStep at its end; it works inside busy mode and does nothing
    // while stream decoding is off.
    bool StreamOn() const { return m_StreamOn; }
    // Switches stream decoding on into `folder` without the folder dialog,
    // then asks whether the existing entries are stream decoded too.
    void StreamInto(const std::string& folder);
    // The answer to that question: all entries, or only the selected ones.
    void StreamExisting(bool all);
    // Switches stream decoding off: held outputs are given up.
    void StreamOff();
    void StreamStep();
    // The Extract command or the stream folder dialog is running.
    bool Extracting() const { return m_Extracting; }

    // Monitor mode (main_window_monitor.cpp). Flips monitoring of an input
    // entry; switching it on asks for a tick at once.
    void ToggleMonitoring(const std::string& path);
    // The monitor tick: monitored files that changed size are scanned again.
    void MonitorTickNow();
    // The period of the monitor and clean-up timers (3,000 ms; tests shorten
    // it); the monitor timer runs from then on.
    void SetMonitorInterval(int ms);
    const std::vector<InputEntry>& Inputs() const { return m_InputEntries; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildLayout();
    void BuildCommands();
    QAction* AddCommand(int id, const QString& text, const QKeySequence& key, void (CZarvexDlg::*slot)());
    void LoadSettings();
    void ApplySplitter();
    // Adds the input's row, or refreshes its size; `shownName` replaces the path's name.
    void AddInputEntry(const std::string& path, std::string_view shownName = {});
    std::string HandOverBase() const;
    void UpdateClipboardState();
    void ForgetClipboardFile();
    // Scans what was added to the clipboard file since its last scan.
    int ScanClipboardTail();
    // The clipboard file object, made on first need and given to the engine.
    void EnsureClipboard();
    std::vector<int> SelectedRows() const;
    // Selects exactly the rows marked in `on`.
    void SelectRows(const std::vector<char>& on);
    int FocusedRow() const;
    CSortInfo* FocusedGroup() const;
    int GroupIndexOf(const CSortInfo* group) const;
    void ShowPropertiesMenu(const QPoint& at);
    void AddRecentFile(const std::string& path);
    void UpdateRecentMenu();
    void AfterOperation();
    // `answer`: how the first existing file is treated (answer::...);
    // `report`: a file that could not be written shows message 123.
    // `summary`: the user's own extraction, which ends with the summary (and
    // a notification when it was long).
    int ExtractRows(const std::vector<int>& rows, const std::string& folder, bool saveRaw, int answer = 0,
                    bool report = false, bool summary = false);
    void ShowSummary(int written, int incomplete, int failed, qint64 elapsedMs);
    void HideSummary();
    // par2 after the user's extraction (main_window_par2.cpp). An output of
    // a par2 posting that "IgnoreIncomplete" skipped is written all the
    // same (repair needs it): the new result, or `result` unchanged.
    int WriteForPar2(int g, CFInfo* named, const std::string& folder, int& answer, int result);
    // The sets that concern the outputs written (record and path) are
    // verified and repaired; returns the outputs that were mended.
    int RepairWithPar2(const std::vector<std::pair<CSortInfo*, std::string>>& written);
    bool HasOutputFolder() const;
    void UpdateMeter();
    // Message `id` in a box, or in the log when the window runs silent.
    void ShowNotice(msg::Id id);
    // Monitor mode: the timers and the double click, set up once.
    void SetUpMonitor();
    // After a first scan: the entry's scanned size and resume point, and
    // monitoring when "AutoMonitor" is on.
    void NoteFirstScan(const std::string& path);
    // Redraws the input row of `entry`.
    void ShowInputEntry(const InputEntry& entry);
    // Timer 2188: retries the files of the clean-up list waiting to be deleted.
    void OnCleanupTick();

    // Command slots.
    void OnOpen();
    void OnDelete();
    void OnExtract();
    void OnSaveRaw();
    void OnRename();
    void OnFindNext(const QString& text, bool matchCase);
    void OnProperties();
    void OnToggleLog();
    void OnToggleToolBar();
    void OnToggleStatusBar();
    void OnSortFiles();
    void OnAlwaysOnTop();
    void OnAbout();
    void OnAbort();
    // Extract Stream: toggles stream decoding (asking for its folder), or
    // stops a running Extract command while streaming.
    void OnExtractStream();
    // Redraws the rows of the groups that `rows` belong to.
    void RecolourGroupsOf(const std::vector<std::size_t>& rows);
    void OnListDump();
    void OnCopy();
    void OnPaste();
    void OnRenameFromSubject();
    // File Preview: the focused output into a folder of its own, opened with
    // the application the desktop associates with its type.
    void OnPreview();
    // A risky type asks first (message 124); true to go on.
    bool ConfirmRiskyName(const std::string& name);
    void RenameEntry(OutputEntry& e, const std::string& oldName, std::string newName);

    Engine& m_Engine;
    std::string m_IniPath;
    CommandLine m_Cl;
    IniFile m_Ini;
    AppSettings m_App;
    RunContext m_Run; // what this run of the program learns and chooses; never saved
    QtHost m_Host;
    std::unique_ptr<MyCObArray> m_List;
    std::vector<InputEntry> m_InputEntries;
    std::vector<OutputEntry> m_Entries;

    LogWindow* m_Log = nullptr;
    QSplitter* m_Splitter = nullptr;
    QListWidget* m_Inputs = nullptr;
    QTreeWidget* m_Outputs = nullptr;
    QPushButton* m_ClearButton = nullptr;
    QPushButton* m_ExtractButton = nullptr;
    QWidget* m_Overlay = nullptr;
    QToolBar* m_ToolBar = nullptr;
    QLabel* m_Status = nullptr;
    QProgressBar* m_Progress = nullptr;
    QLabel* m_Meter = nullptr;
    QLabel* m_Summary = nullptr;
    QElapsedTimer m_WorkClock;          // since the outermost Enter of busy mode
    std::int64_t m_DoneBytes = 0;       // of the items before the current one
    std::int64_t m_ItemBytes = 0;       // of the current item
    int m_ItemPercent = 0;              // of the current item done
    std::string m_LastOutputFolder;     // where the last extraction wrote
    std::unique_ptr<Notifier> m_Notifier;
    int m_NotifyAfterMs = 5000;
    QTimer* m_BlinkTimer = nullptr;
    int m_BlinkTicks = 0;
    std::map<int, QAction*> m_Actions;
    // Commands whose work is not part of this window until a handler is set.
    std::set<int> m_Unbuilt;
    std::vector<std::string> m_Recent;
    QPointer<FindSelectBox> m_FindBox; // cleared by Qt when the box closes
    // Folders of files handed to the clipboard or a drag; removed at the end.
    std::vector<std::string> m_HandOverDirs;
    // The files handed over (previews, copies, drags): wiped when the window goes.
    CleanupList m_Cleanup;
    qint64 m_ViewerPid = 0;    // the last viewer started, while it runs
    std::string m_ViewerName;  // and its application's name
    static constexpr const char* kClipboardName = "Clipboard";
    // Pasted and dropped text, and files recursive decoding hands over, in
    // the working folder; each scan goes on where the last one ended.
    std::unique_ptr<zarvex::ClipboardFile> m_Clipboard;
    std::int64_t m_ClipboardPos = 0, m_ClipboardLine = 0;
    bool m_ClipboardHasData = false;

    // Monitor mode: the tick's timer (2189) and re-entry flag, the clean-up
    // timer (2188), where each first scan of an input stopped, and a drag
    // out of the output list in progress (no tick runs meanwhile).
    QTimer* m_MonitorTimer = nullptr;
    QTimer* m_CleanupTimer = nullptr;
    bool m_InMonitorTick = false;
    std::map<std::string, ScanPoint> m_FirstScans;
    bool m_Dragging = false;

    int m_Busy = 0;
    bool m_CloseWhenIdle = false;
    bool m_Closing = false;
    int m_ItemIndex = 1, m_ItemCount = 1;
    int m_LastPercent = -1;
    bool m_SplitterSet = false;

    // Stream decoding: on while outputs are extracted into "StreamDir" as
    // their data arrive.
    bool m_StreamOn = false;
    bool m_Extracting = false;
};

// Keeps the window busy for one scope.
class BusyScope
{
public:
    explicit BusyScope(CZarvexDlg& w) : m_W(w) { m_W.EnterBusy(); }
    ~BusyScope() { m_W.LeaveBusy(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    CZarvexDlg& m_W;
};

// Holds a flag set for one scope.
class FlagScope
{
public:
    explicit FlagScope(bool& flag) : m_Flag(flag) { m_Flag = true; }
    ~FlagScope() { m_Flag = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& m_Flag;
};

} // namespace zarvex
