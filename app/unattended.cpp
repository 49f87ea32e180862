#include "app/unattended.h"

#include "app/engine.h"
#include "app/extraction_plan.h"
#include "app/parallel_extraction.h"
#include "model/records.h"
#include "model/run_context.h"
#include "model/settings.h"
#include "platform/host.h"

#include <climits>
#include <memory>
#include <vector>

namespace zarvex {
namespace {

constexpr int kHighestCountStatus = 253;
constexpr int kExitAborted = 254; // the run result -2
constexpr int kExitFailed = 255;  // any other failure

// The run's result so far.
struct Tally
{
    int total = 0;
    int lastError = 0;

    void Add(int counted)
    {
        if (counted > 0)
            total = total > INT_MAX - counted ? INT_MAX : total + counted;
        else
            lastError = counted;
    }
    int Result() const { return lastError != 0 ? lastError : total; }
};

int SerialExtraction(MyCObArray& list, const Settings& settings, RunContext& run, Host& host, Engine& engine,
                     const std::string& outDir, int answer, OutputWatcher* watcher)
{
    Tally tally;
    int count = 0, number = 0;
    for (int g = 0; g < list.GetSize(); ++g)
        count += static_cast<int>(list.GetAt(g)->m_Named.size());
    // Indexes, not iterators: extraction may add groups (recursive decoding)
    // and change a group's named parts while the loop runs.
    for (int g = 0; g < list.GetSize() && !host.AbortRequested(); ++g) {
        CSortInfo* group = list.GetAt(g);
        for (std::size_t n = 0; n < group->m_Named.size() && !host.AbortRequested(); ++n) {
            host.SetProgress(100.0 * g / list.GetSize());
            CFInfo* named = group->m_Named[n];
            // Recursive decoding may add outputs while the loop runs.
            if (++number > count) count = number;
            if (watcher) watcher->Starting(*named, number, count);
            const int r = engine.Extract(list, g, named, outDir, answer, settings, run, host);
            group = list.GetAt(g);
            tally.Add(SettleOutputStatus(*group, r));
            // The part list may have changed under the extraction: the named part as it stands now.
            if (watcher)
                watcher->Finished(*group, n < group->m_Named.size() ? *group->m_Named[n] : *named, r);
        }
    }
    return tally.Result();
}

// The workers' engines, when threads may extract this run (empty: serial).
// The overwrite answer is fixed (YesToAll or NoToAll) and the host silent,
// so no output of the run prompts and none decodes recursively; the other
// cases where the order of the outputs matters run serially too.
std::vector<std::unique_ptr<Engine>> WorkerEngines(const ExtractionPlan& plan, const RunContext& run,
                                                   Host& host, const Engine& engine,
                                                   const ExtractionThreads& threads)
{
    std::vector<std::unique_ptr<Engine>> engines;
    const bool orderFree = host.Silent() && !run.SaveRaw && !run.AppendAllToOneFile &&
                           !run.YouChooseDuplicate && plan.pathsKnown && !host.AbortRequested();
    if (threads.workers < 2 || !orderFree || plan.chains < 2 || plan.inputBytes < threads.minInputBytes)
        return engines;
    for (int w = 0; w < threads.workers && w < plan.chains; ++w) {
        engines.push_back(engine.NewExtractionWorker());
        if (!engines.back()) return {};
    }
    return engines;
}

int ParallelExtraction(MyCObArray& list, const Settings& settings, const RunContext& run, Host& host,
                       std::vector<std::unique_ptr<Engine>> engines, const std::string& outDir, int answer,
                       const ExtractionPlan& plan, OutputWatcher* watcher)
{
    Tally tally;
    const int count = static_cast<int>(plan.outputs.size());
    ExtractOnWorkers(list, settings, run, host, std::move(engines), outDir, answer, plan,
                     [&](WorkerOutput& out) {
                         // As the serial loop, with the extraction's host calls in its place.
                         const PlannedOutput& p = *out.planned;
                         const int number = static_cast<int>(out.planned - plan.outputs.data()) + 1;
                         host.SetProgress(100.0 * p.group / list.GetSize());
                         if (watcher) watcher->Starting(*p.part, number, count);
                         RecordingHost::Replay(host, out.calls);
                         tally.Add(out.counted);
                         if (watcher) watcher->Finished(*list.GetAt(p.group), *out.named, out.result);
                     });
    return tally.Result();
}

} // namespace

int SettleOutputStatus(CSortInfo& group, int result)
{
    if (result > 0 && (group.m_Status & (ST_DATAERROR | ST_INCOMPLETE))) {
        // Written, but damaged (short, or data errors no duplicate repaired)
        // or incomplete (parts or data missing): no success.
        group.m_Status = group.m_Status & (GS_MASK | ST_DATAERROR | ST_INCOMPLETE);
        return -1;
    }
    if (result > 0) {
        group.m_Status &= GS_MASK;
        return result;
    }
    // Nothing written is a failure too: a run with failures never reports success.
    group.m_Status |= ST_NOTEXTRACTED;
    return result == 0 ? -1 : result;
}

int RunUnattendedExtraction(MyCObArray& list, const Settings& settings, RunContext& run, Host& host,
                            Engine& engine, const std::string& outDir, OutputWatcher* watcher,
                            const ExtractionThreads& threads)
{
    const int answer = settings.Overwrite ? answer::YesToAll : answer::NoToAll;
    engine.Evaluate(list);
    std::vector<std::unique_ptr<Engine>> engines;
    ExtractionPlan plan;
    if (threads.workers >= 2) {
        plan = PlanExtraction(list, outDir, run.SaveRaw);
        engines = WorkerEngines(plan, run, host, engine, threads);
    }
    if (threads.used) *threads.used = static_cast<int>(engines.size());
    const int result = engines.empty()
                           ? SerialExtraction(list, settings, run, host, engine, outDir, answer, watcher)
                           : ParallelExtraction(list, settings, run, host, std::move(engines), outDir, answer,
                                                plan, watcher);
    host.SetProgress(-1);
    return result;
}

int ExitStatusFor(int result)
{
    if (result >= 0) return result > kHighestCountStatus ? kHighestCountStatus : result;
    return result == -2 ? kExitAborted : kExitFailed;
}

} // namespace zarvex
