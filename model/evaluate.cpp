// MyCObArray::Evaluate: after a scan, every changed output file gets its
// final names and its state (started, complete, too many or missing parts).
#include "model/naming.h"
#include "model/records.h"
#include "model/settings.h"
#include "platform/host.h"

#include <algorithm>

namespace zarvex {
namespace {

bool IsFaceImage(const CFInfo& part)
{
    return part.m_MsgType == MT_XFACE || part.m_MsgType == MT_FACE;
}

// Takes the part and one entry of its name out of the name lists. Only a
// part that is itself listed gives up an entry: the entry of an earlier part
// of the same name stays, or the renaming would not see the clash.
void DropNameEntry(CSortInfo& group, const CFInfo* part)
{
    auto named = std::find(group.m_Named.begin(), group.m_Named.end(), part);
    if (named == group.m_Named.end()) return;
    group.m_Named.erase(named);
    auto entry = group.m_Names.find(part->m_DestFile);
    if (entry != group.m_Names.end()) group.m_Names.erase(entry);
}

// A multi-part file whose type became known late gets the type's extension
// on the first of its parts and on every later part of the same name.
void Retype(CSortInfo& group, int index)
{
    CFInfo& part = *group.GetAt(index);
    part.ClearFlag(PF_RETYPE);
    if (part.m_DataType == DT_APP) return;
    const std::string oldName = part.m_DestFile;
    const std::string newName = TypedName(oldName, part.m_DataType);
    if (newName == oldName) return;
    part.m_DestFile = newName;
    if (group.HasName(oldName)) {
        auto first = std::find_if(group.m_Named.begin(), group.m_Named.end(), [&](const CFInfo* named) {
            return named == &part || named->m_DestFile == oldName;
        });
        if (first != group.m_Named.end()) ReplaceNamed(group, *first, &part);
        auto entry = group.m_Names.find(oldName);
        group.m_Names.erase(entry);
        group.m_Names.insert(newName);
    }
    for (int k = index + 1; k < group.GetSize(); ++k)
        if (group.GetAt(k)->m_DestFile == oldName) group.GetAt(k)->m_DestFile = newName;
}

void DropStandInNames(CSortInfo& group);

void RenamingPass(CSortInfo& group, const Settings& settings)
{
    if (group.m_Status == GS_CHANGED) DropStandInNames(group);
    if (group.m_Status == GS_CHANGED) group.RebuildNames(settings.NoAutoRename);
    for (int i = 0; i < group.GetSize(); ++i) {
        CFInfo& part = *group.GetAt(i);
        if (part.TestFlag(PF_RENAME) && (!settings.NoAutoRename || IsFaceImage(part)))
            DropNameEntry(group, &part);
        if (part.TestFlag(PF_RETYPE)) Retype(group, i);
    }
}

int GroupStatus(const CSortInfo& group)
{
    int starts = 0, ends = 0;
    bool firstPartBegins = false, yencCut = false;
    for (int i = 0; i < group.GetSize(); ++i) {
        const CFInfo& part = *group.GetAt(i);
        if (part.m_Starts != 0) {
            ++starts;
            if (part.m_Part == 1) firstPartBegins = true;
        }
        if (part.m_Ends != 0) ++ends;
        // Every yEnc part ends in its "=yend" trailer: one without it was cut off.
        yencCut |= part.m_MsgType == MT_YENC && part.m_Starts != 0 && part.m_Ends == 0;
    }
    const CFInfo& last = *group.GetAt(group.GetSize() - 1);
    const bool lastIsYenc = last.m_MsgType == MT_YENC;
    const int expected = group.m_Expected, found = group.m_Found;
    if (starts > ends && (yencCut || !(expected > 1 && found == expected))) return GS_STARTED;
    if (expected == -1 && starts == ends)
        return lastIsYenc && last.m_Total == -1 && last.m_Part > starts ? GS_STARTED : GS_COMPLETE;
    if (found == expected) return !lastIsYenc || firstPartBegins ? GS_COMPLETE : GS_MISSING;
    if (found > expected) return GS_TOO_MANY;
    const bool begun = (found == 1 && starts == ends) || !group.m_Names.empty();
    return begun && (!lastIsYenc || firstPartBegins) ? GS_STARTED : GS_MISSING;
}

// Data that continue a posting whose first part is not in the input (no
// part brings a name, none opens with a begin line) still make an output:
// it gets a name made from the subject, as a file that brings none, so that
// it is listed and reported as missing its start.
void NameHeadlessData(MyCObArray& list, CSortInfo& group)
{
    constexpr std::uint32_t kData = MT_UU | MT_XX | MT_B64 | MT_BNEWS;
    if (!group.m_Named.empty()) return;
    for (int i = 0; i < group.GetSize(); ++i)
        if (group.GetAt(i)->m_Starts != 0 || group.GetAt(i)->m_Part == 1) return;
    CFInfo& first = *group.GetAt(0);
    if ((first.m_MsgType & kData) == 0 || first.m_Part < 2) return;
    first.m_DestFile = MakeName(list, first.m_DataType, first.m_Subject, &first);
    first.m_NameStandIn = true;
    group.RebuildNames(list.GetSettings().NoAutoRename);
    // Whatever else arrived, the start of the file did not.
    group.m_Status = (group.m_Status & ~GS_MASK) | GS_MISSING;
}

// The first part came after all: the name made up in its place goes.
void DropStandInNames(CSortInfo& group)
{
    bool firstCame = false;
    for (int i = 0; i < group.GetSize(); ++i)
        firstCame |= group.GetAt(i)->m_Starts != 0 || group.GetAt(i)->m_Part == 1;
    for (int i = 0; firstCame && i < group.GetSize(); ++i) {
        CFInfo& part = *group.GetAt(i);
        if (!part.m_NameStandIn) continue;
        part.m_DestFile.clear();
        part.m_NameStandIn = false;
    }
}

// `noteNames` tells the sort list's index about names just given.
template <typename NoteNames> void StatusPass(MyCObArray& list, CSortInfo& group, NoteNames noteNames)
{
    group.m_ExtractMark = 0;
    const Settings& settings = list.GetSettings();
    for (int i = 0; i < group.GetSize(); ++i) {
        CFInfo& part = *group.GetAt(i);
        if (!part.TestFlag(PF_RENAME)) continue;
        if (!settings.NoAutoRename || IsFaceImage(part)) {
            RenameDuplicate(list, group, i);
            noteNames();
        } else {
            part.ClearFlag(PF_RENAME);
        }
    }
    group.m_Status = group.GetSize() > 0 ? GroupStatus(group) : GS_MISSING;
    if (group.GetSize() > 0 && group.m_Named.empty()) {
        NameHeadlessData(list, group);
        noteNames();
    }
}

} // namespace

void MyCObArray::Evaluate()
{
    for (int g = 0; g < GetSize(); ++g) {
        RenamingPass(*GetAt(g), m_Settings);
        NoteGroupChange(g, nullptr);
    }
    const int count = GetSize();
    const double divisor = std::max(count - 1, 1);
    // From here on names are only added and no part moves.
    RenameMemo memo;
    struct MemoInUse {
        MyCObArray& list;
        ~MemoInUse() { list.m_RenameMemo = nullptr; }
    } inUse{*this};
    m_RenameMemo = &memo;
    for (int g = 0; g < count; ++g) {
        CSortInfo& group = *GetAt(g);
        if (group.m_Status == GS_CHANGED) StatusPass(*this, group, [&] { NoteGroupChange(g, nullptr); });
        if (!m_Host) continue;
        m_Host->SetProgress(100.0 * g / divisor);
        if ((g + 1) % 8 == 0 && !m_Host->PumpMessages()) break;
    }
    if (m_Host) m_Host->SetProgress(-1);
}

} // namespace zarvex
