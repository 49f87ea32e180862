// The unattended extraction on worker threads: the outputs of an
// extraction plan are extracted by workers, each with an engine and a
// recording host of its own, and reported on the calling thread one by one
// in the plan's (the serial run's) order, with the host calls each made.
//
// Scheduling: a worker takes the earliest output it may start. An output
// may start when the output before it in its chain was reported, and only
// on the worker that started its chain (all named parts of a group on one
// worker, in order). Workers run at most kAheadOutputs outputs past the
// one to be reported next, and start none past it while the calls waiting
// to be reported hold more than kAheadBytes of text: memory stays bounded
// however far one long output holds up the report. The output to be
// reported next may always start, so the run never waits on itself.
//
// Stopping: the calling thread turns the host's stop request into a flag
// the workers read (their extractions end as in a serial run: the output
// being written is removed); no output starts after it. Outputs finished
// before the stop stay written and are reported; with two workers these
// need not be a prefix of the serial order.
#pragma once

#include "app/extraction_plan.h"
#include "app/recording_host.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zarvex {

class CFInfo;
class Engine;
class Host;
class MyCObArray;
struct RunContext;
struct Settings;

inline constexpr std::size_t kAheadOutputs = 256;
inline constexpr std::size_t kAheadBytes = std::size_t{4} << 20;

// One output as a worker left it.
struct WorkerOutput
{
    const PlannedOutput* planned = nullptr;
    bool ran = false;              // false: the run stopped before it started
    int result = 0;                // the Extract result
    int counted = 0;               // the result as the run counts it (SettleOutputStatus)
    const CFInfo* named = nullptr; // the named part as it stands after the extraction
    std::vector<RecordingHost::Call> calls;
};

// Extracts `plan`'s outputs with `engines` (one per worker) into `outDir`;
// `report` hears of every output in plan order on this thread. Each worker
// extracts with a copy of `run` and the fixed overwrite answer `answer`.
// An exception in a worker stops the run and is thrown here.
void ExtractOnWorkers(MyCObArray& list, const Settings& settings, const RunContext& run, Host& host,
                      std::vector<std::unique_ptr<Engine>> engines, const std::string& outDir, int answer,
                      const ExtractionPlan& plan, const std::function<void(WorkerOutput&)>& report);

} // namespace zarvex
