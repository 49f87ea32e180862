// The unattended extraction: every named output file of the sort list is
// written into the extraction folder, and the run's result becomes the
// process exit status.
#pragma once

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
// (which counts as a failure); one that was not gets ST_NOTEXTRACTED.
// Result: the last error if any (a file that wrote nothing counts as -1),
// otherwise the number of files written.
// `watcher`, when given, hears of every output file before and after it is
// written (the JSON report, the file dates and the progress line use it).
class OutputWatcher
{
public:
    virtual ~OutputWatcher() = default;
    // Output `number` of `count` (both from 1) starts at `named`.
    virtual void Starting(const CFInfo& /*named*/, int /*number*/, int /*count*/) {}
    // Its Extract result (1 written, 0 nothing, negative skipped or aborted).
    virtual void Finished(const CSortInfo& /*group*/, const CFInfo& /*named*/, int /*result*/) {}
};

int RunUnattendedExtraction(MyCObArray& list, const Settings& settings, RunContext& run, Host& host,
                            Engine& engine, const std::string& outDir, OutputWatcher* watcher = nullptr);

// The POSIX exit status of a run result: a count as itself up to 253 and 253
// above that; -2 (aborted) is 254; -1 and any other failure 255.
int ExitStatusFor(int result);

} // namespace zarvex
