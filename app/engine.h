// The core operations a run of the program drives: scanning, grouping,
// extraction and the plain-text dumps. The program passes the real core
// (CoreEngine); tests pass a stand-in to check the run's own logic.
#pragma once

#include "extract/output_answer.h"

#include <cstdint>
#include <memory>
#include <string>

namespace zarvex {

class CFInfo;
class ClipboardFile;
class Host;
class MyCObArray;
struct RunContext;
struct Settings;

class Engine
{
public:
    virtual ~Engine() = default;

    // Scans one input file; the number of parts found, negative after a failure.
    // The scan may change the run context (the "MimeText" switch-off for the run).
    virtual int Scan(const std::string& path, MyCObArray& list, const Settings& settings, RunContext& run,
                     Host& host) = 0;
    // Scans the part of a growing file after `pos` (line `line`), where its
    // last scan ended, and moves both to where this one ends. An engine that
    // cannot resume scans the whole file.
    virtual int ScanFrom(const std::string& path, MyCObArray& list, const Settings& settings, RunContext& run,
                         Host& host, std::int64_t& /*pos*/, std::int64_t& /*line*/)
    {
        return Scan(path, list, settings, run, host);
    }
    // Recomputes the status and names of every changed output file.
    virtual void Evaluate(MyCObArray& list) = 0;
    // Writes the output file of `part` (a named part of group `groupIndex`)
    // into `folder` ("*": the folder of the part's input file), undecoded
    // with `run.SaveRaw`; recursive decoding may turn `run.RecursiveDecoding`
    // off. Result: 1
    // written, 0 nothing written, -1 skipped or not openable, -2 aborted.
    virtual int Extract(MyCObArray& list, int groupIndex, CFInfo* part, const std::string& folder,
                        int& answer, const Settings& settings, RunContext& run, Host& host) = 0;
    // One Extract command ended: what its outputs shared (the append target,
    // the names its outputs took) is forgotten.
    virtual void EndExtractCommand() {}
    // Stream decoding: continues the output of `part` into `folder` with the
    // data that have arrived, asking afresh about an existing file. An
    // unfinished output is held for the next call (closed in between with
    // "StreamClose") and shows under its name only once it is finished.
    // Result as Extract; -2 when more data are needed or the call was aborted.
    virtual int ExtractStream(MyCObArray& list, int groupIndex, CFInfo* part, const std::string& folder,
                              const Settings& settings, RunContext& run, Host& host)
    {
        int answer = 0;
        return Extract(list, groupIndex, part, folder, answer, settings, run, host);
    }
    // Stream decoding stopped: the outputs it holds are given up (unfinished,
    // they are deleted) and no part of `list` keeps PF_OPENBUF.
    virtual void ReleaseStreamOutputs(MyCObArray& /*list*/) {}
    // Where recursive decoding puts decoded text of other names (none: it stays).
    virtual void SetClipboardFile(ClipboardFile* /*clipboard*/) {}
    // An engine of its own for a worker thread that extracts other output
    // files of the same list beside this one (own buffers and extraction
    // state, nothing shared but the list and the settings), or null when
    // this engine's extractions must stay on the calling thread.
    virtual std::unique_ptr<Engine> NewExtractionWorker() const { return nullptr; }
    virtual bool WriteReport(const MyCObArray& list, const std::string& path) = 0;
    virtual bool WriteListDump(const MyCObArray& list, const std::string& path) = 0;
};

} // namespace zarvex
