// The JSON report of an unattended run (--report-json): every output file
// with its parts, checks and checksum, every input and whether it was read,
// the counts and the exit status. The schema is described in the README.
#pragma once

#include "platform/headless_host.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <map>
#include <string>
#include <string_view>

namespace zarvex {

class CFInfo;
class CSortInfo;

// `text` as valid UTF-8: valid sequences stay, every other byte becomes the
// four characters "\xNN" (a backslash is kept as it is).
std::string JsonSafeText(std::string_view text);
// Seconds since 1970 as "2026-01-02T03:04:05Z"; null for 0 (no date).
nlohmann::ordered_json IsoDate(std::int64_t seconds);

// One output file as the report describes it (see JsonReport::AddOutput);
// a follow run writes each one as a line of its own.
nlohmann::ordered_json OutputJson(const CSortInfo& group, const CFInfo& named, const std::string& path,
                                  std::string_view log, int result, const HeadlessHost::WrittenOutput* written);

// An output that par2 mended: whole now, with its new size and checksum.
void MarkRepairedOutput(nlohmann::ordered_json& out, std::int64_t size, const std::string& sha256);

// The report is written as it grows: each output goes to a spool file at
// once, so that a run of many outputs holds only their counts.
class JsonReport
{
public:
    JsonReport();
    ~JsonReport();
    JsonReport(const JsonReport&) = delete;
    JsonReport& operator=(const JsonReport&) = delete;

    // One output file after its extraction: `path` is where it was (or would
    // have been) written (empty when the name gave no path), `log` the log
    // lines written while it was extracted, `result` the extraction result,
    // `written` the file as the extraction told it (null: none written).
    void AddOutput(const CSortInfo& group, const CFInfo& named, const std::string& path, std::string_view log,
                   int result, const HeadlessHost::WrittenOutput* written);
    // An output object as OutputJson makes it (perhaps changed since).
    void AddOutputObject(const nlohmann::ordered_json& out);
    // The outcome of one par2 recovery set (the document's "par2" list).
    void AddPar2(nlohmann::ordered_json set) { m_Par2.push_back(std::move(set)); }
    // One input named or found in a named folder; `why` says why it was not read.
    void AddInput(const std::string& path, bool read, const std::string& why = {});
    void SetOutputFolder(const std::string& folder) { m_OutputFolder = folder; }

    // Writes the whole document to `to`; false when a write failed.
    bool Write(std::FILE* to, std::string_view version, int exitStatus) const;

private:
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> m_Spool; // the outputs, comma-separated
    bool m_SpoolFailed = false;
    int m_OutputCount = 0;
    std::map<std::string, int> m_Counts; // outputs by result word
    nlohmann::ordered_json m_Inputs = nlohmann::ordered_json::array();
    nlohmann::ordered_json m_Par2 = nlohmann::ordered_json::array();
    std::string m_OutputFolder;
    std::map<std::string, std::size_t> m_InputIndex; // path to its place in m_Inputs
};

} // namespace zarvex
