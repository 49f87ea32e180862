// The JSON report of an unattended run (--report-json): every output file
// with its parts, checks and checksum, every input and whether it was read,
// the counts and the exit status. The schema is described in the README.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
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

class JsonReport
{
public:
    // One output file after its extraction: `path` is where it was written
    // (empty when the name gave no path), `log` the log lines written while
    // it was extracted, `result` the extraction result.
    void AddOutput(const CSortInfo& group, const CFInfo& named, const std::string& path, std::string_view log,
                   int result);
    // One input named or found in a named folder; `why` says why it was not read.
    void AddInput(const std::string& path, bool read, const std::string& why = {});
    void SetOutputFolder(const std::string& folder) { m_OutputFolder = folder; }

    // The whole document.
    nlohmann::ordered_json Document(std::string_view version, int exitStatus) const;

private:
    nlohmann::ordered_json m_Outputs = nlohmann::ordered_json::array();
    nlohmann::ordered_json m_Inputs = nlohmann::ordered_json::array();
    std::string m_OutputFolder;
    std::map<std::string, std::size_t> m_InputIndex; // path to its place in m_Inputs
};

// Writes `text` to `path` ("-": standard output) in one step: a temporary
// file beside it is renamed over it. False when that fails (nothing left behind).
bool WriteFileAtomically(const std::string& path, const std::string& text);

} // namespace zarvex
