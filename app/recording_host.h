// The host of an extraction worker thread. The real host is not
// thread-safe, so a worker never calls it: what the extraction tells the
// host is recorded here, per output file, and replayed on the host by the
// main thread in the order of the serial run. Only the stop request is
// live: it reads (and sets) a flag shared with the main thread, which turns
// the real host's stop request into that flag while the workers run.
// Progress is not recorded: the main thread shows it, output by output.
#pragma once

#include "platform/host.h"

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

namespace zarvex {

class RecordingHost final : public Host
{
public:
    // One call the real host must hear, with its text.
    struct Call
    {
        enum class Kind : unsigned char
        {
            Log,
            Status,
            Beep,
            Flash,
            Created,
            Refresh,
            Ask,
            RequestAbort,
            ClearAbort,
            Written
        };
        Kind kind;
        Prompt prompt = Prompt::ExtractError; // Ask only
        std::string text;
    };

    // `stop`: the run's shared stop request; `hasLog`: the real host's HasLog().
    RecordingHost(std::atomic<bool>& stop, bool hasLog) : m_Stop(stop), m_HasLog(hasLog) {}

    // Hands over the calls recorded since the last Take.
    std::vector<Call> Take();
    // The bytes of text recorded since the last Take.
    std::size_t Bytes() const { return m_Bytes; }
    // Makes `host` hear `calls` as the extraction made them.
    static void Replay(Host& host, const std::vector<Call>& calls);

    void SetProgress(double) override {}
    bool PumpMessages() override { return true; }
    bool AbortRequested() const override { return m_Stop.load(std::memory_order_relaxed); }
    void RequestAbort() override;
    void ClearAbort() override { Record(Call::Kind::ClearAbort, {}); }
    bool HasLog() const override { return m_HasLog; }
    void Log(std::string_view markedText) override { Record(Call::Kind::Log, markedText); }
    void SetStatus(std::string_view text) override { Record(Call::Kind::Status, text); }
    // Workers run only for silent hosts.
    bool Silent() const override { return true; }
    void Beep() override { Record(Call::Kind::Beep, {}); }
    // A silent host with fixed overwrite answers is never asked during an
    // extraction (the prompts all sit behind a non-silent host, an open
    // answer, appending or choosing duplicates, none of which run on
    // workers). Should one come all the same, it is replayed for the record
    // and answered OK, the answer of a box that only informs.
    int Ask(Prompt prompt, std::string_view subject) override;
    void FlashProgress() override { Record(Call::Kind::Flash, {}); }
    void OutputCreated(std::string_view writePath) override { Record(Call::Kind::Created, writePath); }
    void RefreshOutputEntry(std::string_view outputName) override { Record(Call::Kind::Refresh, outputName); }
    void OutputWritten(std::string_view path, std::int64_t size, std::string_view sha256) override;

private:
    void Record(Call::Kind kind, std::string_view text, Prompt prompt = Prompt::ExtractError);

    std::atomic<bool>& m_Stop;
    const bool m_HasLog;
    std::vector<Call> m_Calls;
    std::size_t m_Bytes = 0;
};

} // namespace zarvex
