// A stand-in for the core in tests of the program's own logic: an input
// line "name" is one part with output name "name" in a group of its own;
// extracting writes "data:name" into the folder, except names beginning
// with "fail" (nothing written, 0) and "skip" (-1). A line "crash" makes
// the scan fail after the parts before it.
#pragma once

#include "app/engine.h"
#include "model/records.h"
#include "support/test_support.h"

#include <sstream>

namespace zarvex::test {

class FakeEngine : public Engine
{
public:
    int Scan(const std::string& path, MyCObArray& list, const Settings& settings, RunContext&, Host&) override
    {
        scanned.push_back(path);
        workingDir = settings.WorkingDir;
        std::istringstream in(ReadFile(path));
        std::string line;
        int n = 0;
        while (std::getline(in, line)) {
            if (line.empty()) continue;
            if (line == "crash") return n == 0 ? -1 : -n;
            auto* part = new CFInfo;
            part->m_File = path;
            part->m_DestFile = line;
            CSortInfo* group = list.NewGroup();
            group->Init(part);
            group->m_Named.assign(1, part);
            ++n;
        }
        return n;
    }
    void Evaluate(MyCObArray&) override { ++evaluations; }
    int Extract(MyCObArray& list, int group, CFInfo* part, const std::string& folder, int& answer, const Settings&,
                RunContext&, Host&) override
    {
        answers.push_back(answer);
        const std::string& name = part->m_DestFile;
        if (name.rfind("fail", 0) == 0) return 0;
        if (name.rfind("skip", 0) == 0) return -1;
        // "damaged...": written, with data errors, as the engine marks them.
        if (name.rfind("damaged", 0) == 0) list.GetAt(group)->m_Status |= ST_DATAERROR;
        const std::string dir = folder == "*" ? part->m_File.substr(0, part->m_File.rfind('/')) : folder;
        WriteFile(dir + "/" + name, "data:" + name);
        extracted.push_back(name);
        return 1;
    }
    bool WriteReport(const MyCObArray&, const std::string&) override { return false; }
    bool WriteListDump(const MyCObArray&, const std::string&) override { return false; }

    std::vector<std::string> scanned;
    std::vector<std::string> extracted;
    std::vector<int> answers;
    int evaluations = 0;
    std::string workingDir; // the temporary folder the last scan was given
};

} // namespace zarvex::test
