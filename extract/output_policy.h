// How an output file is opened: the overwrite and yEnc merge questions, the
// answer remembered across the files of one Extract command, appending all
// outputs to one file, and files that cannot be opened.
#pragma once

#include "extract/output_answer.h"
#include "extract/output_file.h"
#include "io/file_identity.h"
#include "text/message_ids.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zarvex {

class CSortInfo;
class Host;
struct RunContext;
struct Settings;

struct OutputRequest {
    std::string path;                // the output path built from the folder and the name
    std::string outputName;          // the record's output name (append suggestion)
    const FileIdentitySet* inputs = nullptr; // the run's input files: never replaced by an output
    bool streamOpen = false;         // the stream decoder holds this output open
    std::int32_t owner = 0;          // the serial number of the part that names the output
};

enum class OpenOutcome {
    Opened,
    Skipped, // an answer said no, or the output would replace an input
    Aborted, // Cancel in a question or no append target chosen
    Failed,  // the file cannot be created or opened (already reported)
};

class OutputPolicy {
public:
    OutputPolicy(const Settings& settings, const RunContext& run, Host& host)
        : m_Settings(settings), m_Run(run), m_Host(host)
    {
    }

    OpenOutcome Open(const OutputRequest& request, const CSortInfo& group, int* answerState, OutputFile& out);

    // Called when an output was closed with data: a pending replacement of
    // the append target is done, and the file is noted as written by the
    // output of the last Open.
    void OutputKept(const OutputFile& out);
    // The path the last Open opened (another than asked for when an earlier
    // output of the command had the name).
    const std::string& OpenedPath() const { return m_OpenedPath; }
    // The Extract command ended: the append target is forgotten.
    void EndCommand();

    bool Merging() const { return m_Merge; }
    bool Appending() const;
    const std::string& AppendTarget() const { return m_AppendTarget; }

private:
    // Asks `prompt` for `path` and applies the answer; false on Cancel.
    bool AskOverwrite(bool yencMerge, const std::string& path, int* answerState);
    bool IsYencMergeCandidate(const CSortInfo& group, const std::string& path) const;
    OpenOutcome OpenForAppend(const OutputRequest& request, int* answerState, OutputFile& out);
    // Logs why the output at `path` is not written.
    OpenOutcome Skip(msg::Id reason, const std::string& path);
    OpenOutcome Finish(OutputFile& out, const std::string& path, OutputFile::Mode mode, bool atEnd);
    // Whether `path` holds a file another output of this command wrote.
    bool WrittenByAnother(const std::string& path, std::int32_t owner) const;
    // An output whose name an earlier output of the command took: renamed
    // to a free name, or with "NoAutoRename" skipped.
    OpenOutcome OpenUnderOtherName(const std::string& path, OutputFile& out);

    const Settings& m_Settings;
    const RunContext& m_Run;
    Host& m_Host;
    bool m_Merge = false;
    std::string m_AppendTarget;
    bool m_AppendReplacePending = false; // the user chose to replace the append target
    // The files the outputs of this command wrote (device, inode) and the
    // serial number of the part that named each: no other output replaces them.
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::int32_t> m_Written;
    std::int32_t m_Owner = 0;
    std::string m_OpenedPath;
};

} // namespace zarvex
