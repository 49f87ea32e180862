// Verification and repair of decoded news postings with their .par2
// recovery files, through the par2 program (par2cmdline). News postings
// carry recovery blocks so that missing or damaged parts can be rebuilt; the
// extraction leaves a missing yEnc part as a gap that par2 can fill.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zarvex {

class Host;
class MyCObArray;
class CSortInfo;

// One recovery set in a folder: its .par2 files and the names of the files
// it protects (read from the sets' file description packets).
struct Par2Set
{
    std::string folder;
    std::string base;                // the name without ".par2" and ".volN+M"
    std::vector<std::string> par2;   // its .par2 files (full paths), the index file first
    std::vector<std::string> names;  // the files it protects (plain names)
    std::int64_t bytes = 0;          // their size as the set gives it
};

struct Par2Result
{
    enum class Outcome
    {
        Verified,      // every file is correct
        Repaired,      // damage mended
        NotRepairable, // too few recovery blocks
        Failed,        // par2 failed, timed out, or is not installed
    };
    Outcome outcome = Outcome::Failed;
    std::vector<std::string> repaired; // names of the files mended
    std::int64_t blocksMissing = 0;
    std::string why;  // of a failure
    std::string text; // par2's summary lines, for the log
};

// The base name of a .par2 file ("x.vol03+04.par2" and "x.par2" give "x");
// empty when `name` is not a .par2 file.
std::string Par2BaseName(std::string_view name);

// The base names of the par2 sets among the outputs of `list` and in
// `folder` (not looked at when "*" or empty).
std::vector<std::string> Par2Bases(const MyCObArray& list, const std::string& folder);
// True when `name` belongs to a posting of one of `bases`: it begins with one.
bool InPar2Posting(std::string_view name, const std::vector<std::string>& bases);

// The names of the files a .par2 file describes (empty when it is not one).
std::vector<std::string> Par2ProtectedNames(const std::string& par2Path);

// The recovery sets in `folder` that concern `written` (full paths of the
// outputs just written): a set one of whose .par2 files was written, or
// that protects a written file.
std::vector<Par2Set> Par2SetsFor(const std::string& folder, const std::vector<std::string>& written);

// The par2 program's path, or empty when it is not installed.
std::string FindPar2Program();

// Runs "par2 verify" on `set` and, when the damage can be mended, "par2
// repair". par2's own output is kept (Par2Result::text), never shown on a
// terminal. Each run of par2 is stopped after a time scaled by the set's
// size. A backup that repair leaves of a damaged file is removed.
Par2Result CheckPar2Set(const Par2Set& set, const std::string& program);

// par2 mended the output of `group`: whole again, the list shows it complete.
void MarkMended(CSortInfo& group);

// The line the log gets for a result, with colour markers.
std::string Par2LogLine(const Par2Set& set, const Par2Result& result);
// The same without colour markers and line end, for a terminal or a report.
std::string Par2PlainLine(const Par2Set& set, const Par2Result& result);

// Every set that concerns `written` in `folder`, checked and logged through
// `host`; a missing par2 program is logged once per call.
struct Par2Checked
{
    Par2Set set;
    Par2Result result;
};
std::vector<Par2Checked> VerifyAndRepair(const std::string& folder, const std::vector<std::string>& written,
                                         Host& host);

} // namespace zarvex
