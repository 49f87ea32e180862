// The unattended extraction: every named output file of the sort list is
// written into the extraction folder, and the run's result becomes the
// process exit status.
#pragma once

#include <cstdint>
#include <string>

namespace zarvex {

class CFInfo;
class CSortInfo;
class Engine;
class Host;
class MyCObArray;
struct RunContext;
struct Settings;

// Extracts each named part's output file, group by group, into `outDir`
// ("*": each input file's own folder). Existing outputs are replaced only
// with the "Overwrite" preference. A group that was written loses its status
// bits above the low four, except ST_DATAERROR when its output is damaged
// and ST_INCOMPLETE when it lacks parts or data (either counts as a
// failure, not as a file written); one that was not gets ST_NOTEXTRACTED.
// Result: the last error if any (a file that wrote nothing counts as -1),
// otherwise the number of files written.
// `watcher`, when given, hears of every output file before and after it is
// written (the JSON report, the file dates and the progress line use it).
class OutputWatcher
{
public:
    virtual ~OutputWatcher() = default;
    // Output `number` of `count` (both from 1) starts at `named` (on worker
    // threads it was extracted already: only its name may be read).
    virtual void Starting(const CFInfo& /*named*/, int /*number*/, int /*count*/) {}
    // Its Extract result (1 written, 0 nothing, negative skipped or aborted).
    virtual void Finished(const CSortInfo& /*group*/, const CFInfo& /*named*/, int /*result*/) {}
};

// Extraction on worker threads (see RunUnattendedExtraction).
struct ExtractionThreads
{
    // Threads that extract output files beside each other; 1 keeps the
    // serial loop.
    int workers = 1;
    // Below this many input bytes threads cost more than they save.
    std::int64_t minInputBytes = std::int64_t{8} << 20;
    // When given, set to the number of worker threads the run used (0: the serial loop).
    int* used = nullptr;
};

// With `threads.workers` above 1, independent output files are extracted on
// that many worker threads, with the same files, log, statuses, watcher
// calls (in the same order, on the calling thread) and result as the serial
// loop. A stop request ends both alike: the outputs being written are
// removed and none starts after it; with workers, the outputs finished
// before it stay and are reported, and they need not be the first ones of
// the serial order. The serial loop runs
// whenever the order could matter or threads would not help: a host that
// is not silent (it prompts, and decodes recursively), appending all to one
// file, saving raw, choosing duplicates, an engine without workers (a
// clipboard file), an output without a name of its own, fewer than two
// independent outputs, or a small input. Watcher and host calls come from
// the calling thread only; Starting comes after the output was extracted
// and may read only the output's name.
int RunUnattendedExtraction(MyCObArray& list, const Settings& settings, RunContext& run, Host& host,
                            Engine& engine, const std::string& outDir, OutputWatcher* watcher = nullptr,
                            const ExtractionThreads& threads = {});

// What the run does to `group` after one output's Extract `result`: the
// status bits as described above. Returns the result as the run counts it:
// the number of files written, or a failure (negative).
int SettleOutputStatus(CSortInfo& group, int result);

// The POSIX exit status of a run result: a count as itself up to 253 and 253
// above that; -2 (aborted) is 254; -1 and any other failure 255.
int ExitStatusFor(int result);

} // namespace zarvex
