#include "app/follow/par2_watch.h"

#include "app/follow/stream_step.h"
#include "app/par2_repair.h"
#include "model/records.h"

#include <algorithm>

namespace zarvex {

void Par2Watch::NoteWritten(const std::string& path)
{
    const std::string base = Par2BaseName(path.substr(path.rfind('/') + 1));
    if (base.empty()) return;
    if (std::find(m_Bases.begin(), m_Bases.end(), base) == m_Bases.end()) m_Bases.push_back(base);
    for (std::string& name : Par2ProtectedNames(path))
        m_Protected.insert(std::move(name));
}

bool Par2Watch::Covers(const std::string& name) const
{
    if (m_Bases.empty()) return false;
    const std::string plain = name.substr(name.rfind('/') + 1);
    return InPar2Posting(plain, m_Bases) || m_Protected.contains(plain);
}

std::vector<OutputEntry> Par2Watch::QuietPostings(const std::vector<OutputEntry>& entries,
                                                  Clock::time_point now, Clock::duration quiet)
{
    std::vector<OutputEntry> due;
    std::map<const CSortInfo*, Lacking> lacking;
    for (const OutputEntry& e : entries) {
        if (!e.named || !e.named->TestFlag(PF_STREAM_WAITING) || e.named->TestFlag(PF_STREAM_EXCLUDED) ||
            !Covers(e.named->m_DestFile))
            continue;
        Lacking seen{e.group->GetSize(), now};
        if (const auto known = m_Lacking.find(e.group);
            known != m_Lacking.end() && known->second.parts == seen.parts)
            seen.since = known->second.since;
        if (now - seen.since >= quiet)
            due.push_back(e);
        else
            lacking.emplace(e.group, seen);
    }
    // Records that left the list are forgotten with the rest.
    m_Lacking = std::move(lacking);
    return due;
}

int Par2Watch::MillisecondsToNext(Clock::time_point now, Clock::duration quiet) const
{
    if (m_Lacking.empty()) return -1;
    auto first = Clock::time_point::max();
    for (const auto& [group, lacking] : m_Lacking)
        first = std::min(first, lacking.since);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(first + quiet - now).count();
    return static_cast<int>(std::clamp<long long>(left + 1, 0, 86'400'000));
}

} // namespace zarvex
