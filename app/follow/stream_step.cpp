#include "app/follow/stream_step.h"

#include "app/engine.h"
#include "extract/engine.h"
#include "platform/host.h"

#include <algorithm>
#include <unordered_map>

namespace zarvex {
namespace {

bool HasWaitingPart(const CSortInfo& group)
{
    for (int i = 0; i < group.GetSize(); ++i)
        if (group.GetAt(i)->TestFlag(PF_STREAM_WAITING)) return true;
    return false;
}

// A named part worth a stream attempt: not excluded, and encoded data.
bool Streamable(const CFInfo* part)
{
    return part && !part->TestFlag(PF_STREAM_EXCLUDED) && part->m_MsgType != 0 && part->m_MsgType != MT_TXT;
}

} // namespace

void MarkListed(MyCObArray& list, bool streaming)
{
    for (int i = 0; i < list.GetSize(); ++i)
        if (list[i]->m_ExtractMark == listing::NotShown)
            list[i]->m_ExtractMark = streaming ? listing::ShownWhileStreaming : listing::Shown;
}

std::vector<std::size_t> StreamStep(const std::vector<OutputEntry>& entries, const StreamRun& s)
{
    std::unordered_map<const CSortInfo*, int> index;
    for (int g = 0; g < s.list.GetSize(); ++g) index.emplace(s.list[g], g);
    std::vector<std::size_t> rows;
    s.host.ClearAbort();
    for (std::size_t row = 0; row < entries.size() && !s.host.AbortRequested(); ++row) {
        CSortInfo* group = entries[row].group;
        const auto at = index.find(group);
        if (at == index.end()) continue;
        if (group->m_ExtractMark != listing::ShownWhileStreaming && !HasWaitingPart(*group)) continue;
        CFInfo* part = entries[row].named;
        if (!Streamable(part)) continue;
        const int result =
            s.engine.ExtractStream(s.list, at->second, part, s.folder, s.settings, s.run, s.host);
        if (result == extract_result::MoreDataNeeded)
            part->SetFlag(PF_STREAM_WAITING);
        else
            part->ClearFlag(PF_STREAM_WAITING);
        rows.push_back(row);
    }
    for (int g = 0; g < s.list.GetSize(); ++g)
        if (s.list[g]->m_ExtractMark == listing::ShownWhileStreaming)
            s.list[g]->m_ExtractMark = listing::Shown;
    // A step is one extraction command: no output of it replaces another,
    // and what the engine remembers of the outputs ends with it. A stream
    // that runs for days would otherwise keep a note of every file it wrote.
    s.engine.EndExtractCommand();
    return rows;
}

void StopStreaming(Engine& engine, MyCObArray& list, const std::vector<OutputEntry>& entries)
{
    engine.ReleaseStreamOutputs(list);
    for (const OutputEntry& e : entries)
        if (e.named) e.named->ClearFlag(PF_STREAM_EXCLUDED);
}

void StreamAllExisting(MyCObArray& list)
{
    for (int g = 0; g < list.GetSize(); ++g) list[g]->m_Status = GS_CHANGED;
}

bool StreamSelectedOnly(const std::vector<OutputEntry>& entries, const std::vector<char>& selected)
{
    bool any = false;
    for (std::size_t row = 0; row < entries.size(); ++row) {
        const bool on = row < selected.size() && selected[row];
        if (on)
            entries[row].group->m_Status = GS_CHANGED;
        else if (entries[row].named)
            entries[row].named->SetFlag(PF_STREAM_EXCLUDED);
        any |= on;
    }
    return any;
}

} // namespace zarvex
