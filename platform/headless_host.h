// The host of unattended runs and tests: no window, never blocks, answers
// every question from the run's overwrite mode, and writes the log as plain
// text (colour markers removed) to a file or a stream when one is given.
#pragma once

#include "platform/host.h"

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace zarvex {

class HeadlessHost : public Host {
public:
    // `overwriteAll`: existing outputs are replaced without asking; otherwise
    // they are kept (skipped) without asking.
    explicit HeadlessHost(bool overwriteAll = false) : m_OverwriteAll(overwriteAll) {}
    ~HeadlessHost() override;
    HeadlessHost(const HeadlessHost&) = delete;
    HeadlessHost& operator=(const HeadlessHost&) = delete;

    // Opens (and truncates) a log file; "-" means standard error. Returns 0 or an errno value.
    int OpenLogFile(const std::string& path);
    // Logs to `stream`, which the caller owns and closes (null: no log file).
    void SetLogStream(std::FILE* stream);
    // The errno value of the first failed write to the log file (0: none);
    // the log file is not written after it.
    int LogWriteError() const { return m_LogError; }
    // Keeps every logged line in memory as well (tests read it with LogText()).
    void KeepLog(bool keep) { m_KeepLog = keep; }
    const std::string& LogText() const { return m_LogText; }
    void SetOverwriteAll(bool on) { m_OverwriteAll = on; }
    // A flag set from outside (a signal handler): while it is non-zero, the
    // stop is requested, and ClearAbort does not take it back.
    void WatchStopFlag(const volatile std::sig_atomic_t* flag) { m_StopFlag = flag; }
    bool StopFlagged() const { return m_StopFlag && *m_StopFlag != 0; }

    // The one updating progress line (null: none, the default). The caller
    // passes standard error only when it is a terminal.
    void ShowProgressOn(std::FILE* terminal) { m_ProgressOut = terminal; }
    // What the progress line shows from now on: `label`, the percent, and the
    // rate when `bytes` (the amount behind 100 percent) is known.
    void SetProgressTask(std::string label, std::int64_t bytes);
    // Erases the progress line, if one is shown.
    void EndProgressLine();
    // An output file as the run wrote it (Host::OutputWritten).
    struct WrittenOutput
    {
        std::string path;
        std::int64_t size = 0;
        std::string sha256;
    };
    void OutputWritten(std::string_view path, std::int64_t size, std::string_view sha256) override
    {
        m_Written.push_back({std::string(path), size, std::string(sha256)});
    }
    // The outputs told since the last call, handed over.
    std::vector<WrittenOutput> TakeWrittenOutputs() { return std::exchange(m_Written, {}); }
    // The log text kept (KeepLog) since the last call, handed over.
    std::string TakeLogText() { return std::exchange(m_LogText, {}); }

    void SetProgress(double percent) override;
    bool PumpMessages() override { return true; }
    bool AbortRequested() const override { return m_Abort || StopFlagged(); }
    void RequestAbort() override { m_Abort = true; }
    void ClearAbort() override { m_Abort = false; }
    bool HasLog() const override { return m_LogFile != nullptr || m_KeepLog; }
    void Log(std::string_view markedText) override;
    void SetStatus(std::string_view) override {}
    bool Silent() const override { return true; }
    void Beep() override {}
    int Ask(Prompt prompt, std::string_view subject) override;
    // Nobody can pick a target unattended: appending all to one file is cancelled.
    std::string ChooseAppendTarget(std::string_view) override { return {}; }

private:
    bool m_OverwriteAll;
    bool m_Abort = false;
    const volatile std::sig_atomic_t* m_StopFlag = nullptr;
    bool m_KeepLog = false;
    std::string m_LogText;
    std::FILE* m_LogFile = nullptr;
    bool m_OwnsLogFile = false;
    int m_LogError = 0;
    std::vector<WrittenOutput> m_Written;
    std::FILE* m_ProgressOut = nullptr;
    std::string m_ProgressLabel;
    std::int64_t m_ProgressBytes = 0;
    std::chrono::steady_clock::time_point m_TaskStart{}, m_LastDrawn{};
    bool m_ProgressShown = false;
    bool m_FreshTask = false;
};

} // namespace zarvex
