// The core operations a run of the program drives: scanning, grouping,
// extraction and the plain-text dumps. The program passes the real core
// (CoreEngine); tests pass a stand-in to check the run's own logic.
#pragma once

#include <string>

namespace zarvex {

class CFInfo;
class Host;
class MyCObArray;
struct Settings;

// Remembered answer of the overwrite question, shared by every output file
// of one run: 0 ask, 1 yes for this file, 2 yes to all, -1 no to all.
namespace overwrite {
inline constexpr int Ask = 0;
inline constexpr int YesToAll = 2;
inline constexpr int NoToAll = -1;
} // namespace overwrite

class Engine {
public:
    virtual ~Engine() = default;

    // Scans one input file; the number of parts found, negative after a failure.
    virtual int Scan(const std::string& path, MyCObArray& list, Settings& settings, Host& host) = 0;
    // Recomputes the status and names of every changed output file.
    virtual void Evaluate(MyCObArray& list) = 0;
    // Writes the output file of `part` (a named part of group `groupIndex`)
    // into `folder` ("*": the folder of the part's input file). Result: 1
    // written, 0 nothing written, -1 skipped or not openable, -2 aborted.
    virtual int Extract(MyCObArray& list, int groupIndex, CFInfo* part, const std::string& folder, int& answer,
                        Settings& settings, Host& host) = 0;
    virtual bool WriteReport(const MyCObArray& list, const std::string& path) = 0;
    virtual bool WriteListDump(const MyCObArray& list, const std::string& path) = 0;
};

} // namespace zarvex
