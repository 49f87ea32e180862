// Building part records in code the way the scanner fills them.
#pragma once

#include "model/records.h"
#include "model/settings.h"
#include "platform/headless_host.h"

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

namespace zarvex::test {

// One section of an input file. Positions follow from `slot` so that the
// sections of one file never overlap. Every field has a default, so that
// designated initializers may name any few of them.
struct PartFields
{
    std::string file = "/in/news.txt";
    std::string subject{}, fullSubject{};
    std::string name{}; // as the begin line or header gave it
    std::uint32_t msgType = MT_UU;
    int dataType = DT_UNKNOWN;
    int part = -1, total = -1, group = -1, groupTotal = -1;
    int starts = 0, ends = 0;
    int slot = 0;    // position of the section in its input file
    int lines = 100; // lines the section spans
    std::int64_t time = 0, ySize = 0, yBegin = -1;
};

inline CFInfo* MakePart(const PartFields& s)
{
    auto* p = new CFInfo;
    p->m_File = s.file, p->m_Subject = s.subject, p->m_FullSubj = s.fullSubject, p->m_DestFile = s.name;
    p->m_MsgType = s.msgType, p->m_DataType = s.dataType;
    p->m_Part = s.part, p->m_Total = s.total, p->m_Group = s.group, p->m_GroupTotal = s.groupTotal;
    p->m_Starts = s.starts, p->m_Ends = s.ends;
    p->m_StartLine = static_cast<std::int64_t>(s.slot) * 1000 + 1, p->m_EndLine = p->m_StartLine + s.lines;
    p->m_SPos = static_cast<std::int64_t>(s.slot) * 100000, p->m_EPos = p->m_SPos + s.lines * std::int64_t{62};
    p->m_Time = s.time, p->m_ySize = s.ySize, p->m_yBegin = s.yBegin;
    return p;
}

// Part `n` of `total` of a UU posting of `name` under the subject
// "\"name\" - my upload": the first part carries the begin line and the
// name, the last the end line.
inline PartFields UuPart(const std::string& name, int n, int total, int slot)
{
    PartFields s{.subject = name, .fullSubject = "\"" + name + "\" - my upload", .part = n, .total = total,
                 .slot = slot};
    if (n == 1) s.name = name, s.starts = 1, s.dataType = DT_ZIP;
    s.ends = n == total;
    return s;
}

// The same as a yEnc part: every part names the file and ends.
inline PartFields YencPart(const std::string& name, int n, int total, int slot)
{
    PartFields s = UuPart(name, n, total, slot);
    s.msgType = MT_YENC, s.name = name, s.ends = 1;
    return s;
}

// A sort list with its own settings and a host that keeps the log.
struct ListFixture
{
    Settings settings;
    HeadlessHost host;
    MyCObArray list{settings, &host};
    ListFixture() { host.KeepLog(true); }
    int Add(const PartFields& fields) { return list.AddPart(MakePart(fields)); }
};

// Dates print in local time: tests that show them fix the zone to UTC.
class UtcZone
{
public:
    UtcZone() : m_Had(std::getenv("TZ") != nullptr), m_Old(m_Had ? std::getenv("TZ") : "")
    {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    ~UtcZone()
    {
        m_Had ? setenv("TZ", m_Old.c_str(), 1) : unsetenv("TZ");
        tzset();
    }

private:
    bool m_Had;
    std::string m_Old;
};

} // namespace zarvex::test
