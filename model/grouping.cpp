// The sort list's side of grouping: where an arriving part belongs, the
// checks made before it joins a group, and the lookups other code uses.
#include "model/group_index.h"
#include "model/naming.h"
#include "model/records.h"
#include "model/settings.h"

#include <algorithm>
#include <string>
#include <vector>

namespace zarvex {
namespace {

// Two yEnc parts where the arriving one states its file size and a part
// offset inside it, and the group's first part states another size.
bool YencSizesDiffer(const CFInfo& part, const CFInfo& first)
{
    if (part.m_MsgType != MT_YENC || first.m_MsgType != MT_YENC) return false;
    const bool statesSize = part.m_ySize > 0 && part.m_yBegin >= 0 && part.m_yBegin <= part.m_ySize;
    return statesSize && first.m_ySize != 0 && first.m_ySize != part.m_ySize;
}

// The group rule, applied to one group at a time in list order. The last
// fitting group becomes the candidate unless one is taken at once.
class GroupMatcher
{
public:
    GroupMatcher(const CFInfo& part, const Settings& settings) : m_Part(part), m_Settings(settings) {}

    // True when `group` is the answer at once.
    bool Visit(int index, const CSortInfo& group)
    {
        if (group.GetSize() == 0) return false;
        if (AnotherFileOfTheMessage(group)) {
            m_OtherFiles.push_back(index);
            return false;
        }
        if (m_Part.m_Subject.empty() || group.m_Subject.empty()) return VisitWithoutSubject(group);
        if (EqualsIgnoreCase(m_Part.m_Subject, group.m_Subject)) return VisitSameSubject(index, group);
        return VisitOtherSubject(group);
    }

    int Candidate() const { return m_Candidate; }
    bool RenameHint() const { return m_RenameHint; }
    const std::vector<int>& OtherFiles() const { return m_OtherFiles; }

private:
    // One message may carry several files, each between its own begin and
    // end lines, under a subject whose numbers all of them share: a part
    // that opens with a begin line of another name than such a whole file
    // of the same input and number is another file, not a copy of it.
    bool AnotherFileOfTheMessage(const CSortInfo& group) const
    {
        // A file that came whole in one part takes no part of a longer count.
        const CFInfo& first = *group.GetAt(0);
        if (group.GetSize() == 1 && first.m_Starts != 0 && first.m_Ends != 0 && first.m_Total == 1 &&
            m_Part.m_Total > 1)
            return true;
        if (m_Part.m_Starts == 0 || m_Part.m_OrigName.empty()) return false;
        for (int i = 0; i < group.GetSize(); ++i) {
            const CFInfo& e = *group.GetAt(i);
            if (e.m_Starts != 0 && e.m_Ends != 0 && e.m_Part == m_Part.m_Part && e.m_File == m_Part.m_File &&
                !e.m_OrigName.empty() && !EqualsIgnoreCase(e.m_OrigName, m_Part.m_OrigName))
                return true;
        }
        return false;
    }

    bool VisitWithoutSubject(const CSortInfo& group) const
    {
        if (!m_Part.m_PartialID.empty() && m_Part.m_PartialID == group.m_PartialID) return true;
        for (int i = 0; i < group.GetSize(); ++i)
            if (group.GetAt(i)->IsSamePart(m_Part) || group.GetAt(i)->IsSameFile(m_Part)) return true;
        return false;
    }

    bool Compatible(const CSortInfo& group, const CFInfo& first) const
    {
        const int ta = m_Part.m_DataType, tb = first.m_DataType;
        const bool types = ta == tb || ta == 0 || tb == 0 || ta == DT_TXT || tb == DT_TXT ||
                           (m_Part.m_Total > 1 && group.m_Expected > 1 && m_Part.m_Total == group.m_Expected);
        const bool encodings =
            m_Part.m_MsgType == first.m_MsgType || m_Part.m_MsgType < 2 || first.m_MsgType < 2;
        const bool counts = m_Part.m_Total == group.m_Expected || m_Part.m_Total < 1 || group.m_Expected < 1;
        return types && encodings && counts;
    }

    bool VisitSameSubject(int index, const CSortInfo& group)
    {
        const CFInfo& first = *group.GetAt(0);
        if (!m_Part.m_PartialID.empty() && m_Part.m_PartialID == group.m_PartialID) m_Candidate = index;
        const bool compatible = Compatible(group, first);
        if (compatible && !m_Settings.ExtendedMatching) m_Candidate = index;
        if (m_Part.m_FullSubj.empty() || m_Part.m_MsgType == 0) {
            if (compatible) m_Candidate = index;
            return false;
        }
        const bool sizesDiffer = YencSizesDiffer(m_Part, first);
        const int same = group.IndexOfFullSubj(m_Part.m_FullSubj);
        if (same == -2) {
            m_Candidate = index;
        } else if (same >= 0) {
            if (!sizesDiffer) {
                if (m_SameSubjectOtherSize) m_RenameHint = true;
                return true;
            }
            m_SameSubjectOtherSize = true;
        } else if (m_Part.m_GroupTotal > 0 && m_Part.m_GroupTotal == group.m_GroupTotal &&
                   m_Part.m_MsgType == MT_YENC && first.m_MsgType == MT_YENC && !sizesDiffer &&
                   m_Part.m_ySize > 0 && m_Part.m_Total > 1) {
            m_Candidate = index;
        }
        return false;
    }

    bool VisitOtherSubject(const CSortInfo& group) const
    {
        return m_Settings.ExtendedMatching && !m_Part.m_FullSubj.empty() && m_Part.m_MsgType != 0 &&
               m_Part.m_GroupTotal > 1 && m_Part.m_GroupTotal == group.m_GroupTotal &&
               group.IndexOfFullSubj(m_Part.m_FullSubj) >= 0;
    }

    const CFInfo& m_Part;
    const Settings& m_Settings;
    int m_Candidate = -1;
    bool m_SameSubjectOtherSize = false;
    bool m_RenameHint = false;
    std::vector<int> m_OtherFiles;
};

} // namespace

void MyCObArray::GroupIndexDeleter::operator()(GroupIndex* index) const
{
    delete index;
}

void MyCObArray::InvalidateGroupIndex()
{
    if (m_Index) m_Index->Clear();
}

void MyCObArray::NoteGroupChange(int group, const CFInfo* part)
{
    if (!m_Index) return;
    if (part) {
        m_Index->Note(*this, group, *part);
    } else {
        m_Index->Sync(*this);
        m_Index->RefreshGroup(*this, group);
    }
}

void MyCObArray::NoteSubjectChange(int group)
{
    if (!m_Index) return;
    m_Index->Sync(*this);
    m_Index->RefreshSubject(*this, group);
}

int MyCObArray::FindGroup(const CFInfo& part)
{
    return FindGroupImpl(part, true, nullptr);
}

int MyCObArray::FindGroupLinear(const CFInfo& part)
{
    return FindGroupImpl(part, false, nullptr);
}

int MyCObArray::FindGroupImpl(const CFInfo& part, bool useIndex, bool* renameHint, std::vector<int>* wholeFiles)
{
    GroupMatcher matcher(part, m_Settings);
    auto visit = [&](int g) { return matcher.Visit(g, *GetAt(g)); };
    int found = -1;
    // A part without a subject may fit any group by name: only the full walk answers that.
    if (useIndex && !part.m_Subject.empty()) {
        if (!m_Index) m_Index.reset(new GroupIndex);
        m_Index->Sync(*this);
        const bool otherSubjects =
            m_Settings.ExtendedMatching && part.m_MsgType != 0 && part.m_GroupTotal > 1;
        for (int g : m_Index->Candidates(part.m_Subject, otherSubjects ? part.m_FullSubj : std::string()))
            if (visit(g)) {
                found = g;
                break;
            }
    } else {
        for (int g = 0; g < GetSize(); ++g)
            if (visit(g)) {
                found = g;
                break;
            }
    }
    if (renameHint) *renameHint = matcher.RenameHint();
    if (wholeFiles) *wholeFiles = matcher.OtherFiles();
    return found >= 0 ? found : matcher.Candidate();
}

CFInfo* MyCObArray::FindPartAt(const std::string& inputPath, std::int64_t pos, int* group, int* index,
                               int* depth) const
{
    auto search = [&](int g) -> CFInfo* {
        const CSortInfo& sort = *GetAt(g);
        for (int i = 0; i < sort.GetSize(); ++i) {
            int d = 0;
            for (CFInfo* part = sort.GetAt(i); part; part = part->m_pNextDup.get(), ++d) {
                if (part->m_File != inputPath || pos < part->m_SPos || pos >= part->m_EPos) continue;
                if (group) *group = g;
                if (index) *index = i;
                if (depth) *depth = d;
                return part;
            }
        }
        return nullptr;
    };
    if (m_Index) {
        m_Index->Sync(*this);
        for (int g : m_Index->GroupsAt(inputPath, pos))
            if (CFInfo* part = search(g)) return part;
        return nullptr;
    }
    for (int g = 0; g < GetSize(); ++g)
        if (CFInfo* part = search(g)) return part;
    return nullptr;
}

int MyCObArray::FindNameInGroups(std::string_view name, int after) const
{
    const int from = after < 0 || after >= GetSize() ? 0 : after + 1;
    if (m_Index) {
        m_Index->Sync(*this);
        const std::vector<int>* named = m_Index->GroupsNamed(name);
        if (!named) return -1;
        for (auto it = std::lower_bound(named->begin(), named->end(), from); it != named->end(); ++it)
            if (*it < GetSize() && GetAt(*it)->HasName(name)) return *it;
        return -1;
    }
    for (int g = from; g < GetSize(); ++g)
        if (GetAt(g)->HasName(name)) return g;
    return -1;
}

std::uint32_t MyCObArray::GuessEncoding(const CFInfo& part)
{
    CFInfo copy(part);
    copy.m_MsgType = part.m_MsgType;
    if (copy.m_OrigName.empty()) copy.m_OrigName = copy.m_DestFile;
    // Only a guess: a made-up name must not use up a number.
    const std::int32_t nextNumber = m_NextFileNumber;
    if (!copy.m_DestFile.empty()) FixExtension(*this, copy);
    m_NextFileNumber = nextNumber;
    const int g = FindGroup(copy);
    if (g < 0) return 0;
    const CSortInfo& group = *GetAt(g);
    std::uint32_t encoding = 0;
    for (int i = 0; i < group.GetSize(); ++i) {
        const CFInfo& element = *group.GetAt(i);
        if (element.m_MsgType != 0) encoding = element.m_MsgType;
        if (element.m_Part >= copy.m_Part) break;
    }
    return encoding;
}

} // namespace zarvex
