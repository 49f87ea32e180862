// CSortInfo::AddPart: where an arriving part stands among the parts of its
// output file, and which copy stays when the same part arrives twice.
#include "model/records.h"
#include "model/settings.h"
#include "platform/host.h"
#include "text/messages.h"

#include <algorithm>
#include <memory>

namespace zarvex {
namespace {

bool HasName(const CFInfo& part)
{
    return !part.m_DestFile.empty();
}

// Both parts carry numbers of the same posting, counted differently
// (part numbers against file numbers).
bool NumberedDifferently(const CFInfo& element, const CFInfo& part)
{
    if (element.m_Swapped && !part.m_Swapped) return true;
    if (element.m_GroupTotal >= 2 && element.m_GroupTotal == part.m_GroupTotal && part.m_Part == 1 &&
        part.m_Total == 1 && part.m_Group != element.m_Group)
        return true;
    return element.m_Part == part.m_Part && element.m_Group > 0 && part.m_Group > 0 &&
           element.m_Group != part.m_Group;
}

class Insertion
{
public:
    Insertion(CSortInfo& group, MyCObArray& list, CFInfo* part)
        : m_Group(group), m_List(list), m_Settings(list.GetSettings()), m_Part(part)
    {
    }

    int Run()
    {
        if (m_Group.GetSize() == 0) { // a group always starts from a part
            m_Group.Init(m_Part);
            return 0;
        }
        if (m_Part->m_MsgType == MT_TXT) return InsertText();
        if (!HasName(*m_Part) && (m_Part->m_MsgType == MT_YENC || m_Part->m_MsgType == MT_NONE)) {
            delete m_Part;
            return -1;
        }
        for (;;) {
            const int result = Place();
            if (result != kRestart) return result;
        }
    }

private:
    static constexpr int kRestart = -2;

    void Log(msg::Id id, std::string_view arg = {}) const
    {
        Host* host = m_List.GetHost();
        if (host && host->HasLog()) host->Log(FormatMessage(id, arg));
    }

    // The arriving part enters the name lists (once per insertion).
    void EnterName()
    {
        if (m_Entered) return;
        m_Entered = true;
        if (HasName(*m_Part)) m_Group.m_Names.insert(m_Part->m_DestFile);
        m_Group.m_Named.push_back(m_Part);
    }

    // Takes the arriving part out of the name lists again (it lost a contest).
    void LeaveNames()
    {
        if (!m_Entered) return;
        m_Entered = false;
        auto named = std::find(m_Group.m_Named.begin(), m_Group.m_Named.end(), m_Part);
        if (named != m_Group.m_Named.end()) m_Group.m_Named.erase(named);
        auto entry = m_Group.m_Names.find(m_Part->m_DestFile);
        if (HasName(*m_Part) && entry != m_Group.m_Names.end()) m_Group.m_Names.erase(entry);
    }

    // Swaps the part's numbers unless that was done once already.
    bool SwapOnce()
    {
        if (m_Swapped) return false;
        m_Part->SwapNumbers();
        m_Swapped = true;
        return true;
    }

    int InsertAt(int index)
    {
        m_Group.InsertAt(index, m_Part);
        return index;
    }

    // Text parts keep their arrival order in front of the data parts.
    int InsertText()
    {
        EnterName();
        int index = 0;
        while (index < m_Group.GetSize() && m_Group.GetAt(index)->m_MsgType == MT_TXT)
            ++index;
        return InsertAt(index);
    }

    int Place()
    {
        if (HasName(*m_Part) && !m_Group.HasName(m_Part->m_DestFile)) {
            const int placed = PlaceNewName();
            if (placed >= 0) return placed;
        }
        return PlaceByNumber();
    }

    // A name the group does not use yet. Returns -1 to go on with ordering.
    int PlaceNewName()
    {
        CFInfo& part = *m_Part;
        // Only a group holding the first-given name has elements to look at.
        const bool sameOrigName = !part.m_OrigName.empty() && m_Group.HoldsOrigName(part.m_OrigName);
        for (int i = 0; sameOrigName && i < m_Group.GetSize(); ++i) {
            CFInfo& element = *m_Group.GetAt(i);
            // Empty first-given names never match.
            if (part.m_OrigName.empty() || element.m_OrigName != part.m_OrigName ||
                element.m_MsgType != part.m_MsgType || element.m_DataType == DT_APL ||
                part.m_DataType == DT_APL)
                continue;
            if (element.m_DataType != DT_UNKNOWN || part.m_DataType == DT_UNKNOWN) {
                part.m_DestFile = element.m_DestFile;
                return -1;
            }
            // The arriving part knows the type: its name replaces the element's entry.
            auto entry = m_Group.m_Names.find(element.m_DestFile);
            if (entry != m_Group.m_Names.end()) m_Group.m_Names.erase(entry);
            break;
        }
        EnterName();
        const bool complete =
            part.m_Starts != 0 && part.m_Ends != 0 && (part.m_Part == part.m_Total || part.m_Total < 1);
        if (!complete) return -1;
        if ((m_Group.m_Found < m_Group.m_Expected || m_Group.m_Expected == -1) &&
            !(m_Group.m_Found == 1 && m_Group.GetSize() > 1))
            ++m_Group.m_Found;
        return InsertAt(m_Group.GetSize());
    }

    int Append()
    {
        if (m_Part->m_Part > 0) ++m_Group.m_Found;
        return InsertAt(m_Group.GetSize());
    }

    int PlaceByNumber()
    {
        CFInfo& part = *m_Part;
        const CFInfo& last = *m_Group.GetAt(m_Group.GetSize() - 1);
        if (last.m_Swapped && last.m_Total == part.m_GroupTotal && !part.m_Swapped) SwapOnce();
        if (m_Group.m_Names.size() > 1 && !HasName(part)) {
            const int byDate = PlaceByDate();
            if (byDate >= 0) return byDate;
        }
        if (part.m_Part > last.m_Part) return Append();
        for (int i = 0; i < m_Group.GetSize(); ++i) {
            CFInfo& element = *m_Group.GetAt(i);
            if (element.m_MsgType > 1 && part.m_MsgType > 1 && element.m_MsgType != part.m_MsgType) continue;
            if (element.m_Part > part.m_Part) return InsertBefore(i);
            if (element.m_Part == part.m_Part) return SamePartNumber(i);
        }
        return Append();
    }

    // Parts without names of their own in a group of several names follow
    // the message dates.
    int PlaceByDate()
    {
        const std::int64_t time = m_Part->m_Time;
        if (time != 0)
            for (int i = 0; i < m_Group.GetSize(); ++i) {
                const std::int64_t other = m_Group.GetAt(i)->m_Time;
                if (other != 0 && other > time) return InsertAt(i);
            }
        if (time > m_Group.GetAt(m_Group.GetSize() - 1)->m_Time) return InsertAt(m_Group.GetSize());
        return -1;
    }

    int InsertBefore(int i)
    {
        if (m_Part->m_Part > 0) ++m_Group.m_Found;
        if (ReplaceNamed(m_Group, m_Group.GetAt(i), m_Part)) m_Entered = true;
        m_Group.m_Status = GS_CHANGED;
        return InsertAt(i);
    }

    int SamePartNumber(int i)
    {
        CFInfo& part = *m_Part;
        if (NumberedDifferently(*m_Group.GetAt(i), part) && SwapOnce()) {
            if (m_Settings.ExtendedMatching) m_Group.m_Expected = part.m_Total;
            return kRestart;
        }
        int rival = i;
        const CFInfo& element = *m_Group.GetAt(i);
        // Two sections of one input under one name: the part is placed among
        // the parts of that name, and only its own number there is a rival.
        if (element.m_File == part.m_File && EqualsIgnoreCase(element.m_DestFile, part.m_DestFile)) {
            rival = -1;
            for (int k = 0; k < m_Group.GetSize(); ++k) {
                const CFInfo& own = *m_Group.GetAt(k);
                if (!EqualsIgnoreCase(own.m_DestFile, part.m_DestFile)) continue;
                if (own.m_Part > part.m_Part) return InsertBefore(k);
                if (own.m_Part == part.m_Part) {
                    rival = k;
                    break;
                }
            }
            if (rival < 0) return InsertAt(i);
        }
        return Duplicate(rival);
    }

    int Duplicate(int rival)
    {
        const bool contest =
            m_Settings.AutoDuplicateRemoval || (m_Settings.AutoMultipartDupeRemoval && m_Part->m_Total > 1);
        return contest ? Contest(rival) : KeepBoth(rival);
    }

    // Both copies stay; the arriving one will get a name of its own.
    int KeepBoth(int rival)
    {
        CFInfo& part = *m_Part;
        part.SetFlag(PF_RENAME);
        if (HasName(part) || (part.m_Starts != 0 && part.m_Ends != 0)) {
            EnterName();
        } else {
            ++m_Group.m_Found;
        }
        Log(msg::KeepingDuplicate);
        const int own = m_Group.IndexOfName(part.m_DestFile);
        int index = own >= 0 ? own : rival;
        // The run of this name ended where the last duplicate went in, when
        // nothing but that insertion changed the group since.
        CSortInfo::NameRun& run = m_Group.m_LastRun;
        if (run.first == index && run.size == m_Group.GetSize() && run.end <= m_Group.GetSize() &&
            EqualsIgnoreCase(m_Group.GetAt(run.end - 1)->m_DestFile, part.m_DestFile))
            index = run.end;
        while (index < m_Group.GetSize() &&
               EqualsIgnoreCase(m_Group.GetAt(index)->m_DestFile, part.m_DestFile))
            ++index;
        run = {own >= 0 ? own : rival, index + 1, m_Group.GetSize() + 1};
        return InsertAt(index);
    }

    static int LineScore(const CFInfo& mine, const CFInfo& theirs, bool bothLast, bool isNew)
    {
        const std::int64_t a = mine.m_EndLine - mine.m_StartLine, b = theirs.m_EndLine - theirs.m_StartLine;
        if (!bothLast) return a > b ? 2 : 0;
        return a > b || (a == b && isNew) ? 1 : 0;
    }

    static int Score(const CFInfo& mine, const CFInfo& theirs, bool bothLast, bool isNew)
    {
        int score = LineScore(mine, theirs, bothLast, isNew);
        if (mine.m_Starts > theirs.m_Starts) score += 2;
        if (mine.m_Ends > theirs.m_Ends) score += 2;
        if (mine.m_DataType != DT_UNKNOWN) score += 3;
        return score;
    }

    int Contest(int slot)
    {
        CFInfo& part = *m_Part;
        if (part.m_Group > 0 && part.m_GroupTotal > 0 && part.m_Part == 1 && part.m_Total == 1 &&
            part.m_Starts == 0 && part.m_Ends == 0 && !part.m_Swapped && SwapOnce())
            return kRestart;
        CFInfo* old = m_Group.GetAt(slot);
        const bool bothLast = old->m_Total >= 2 && part.m_Total >= 2 && old->m_Part == old->m_Total &&
                              part.m_Part == part.m_Total;
        int oldScore = Score(*old, part, bothLast, false);
        int newScore = Score(part, *old, bothLast, true);
        if (oldScore == newScore) {
            if (m_Group.m_KeptOld > m_Group.m_TookNew) ++oldScore;
            if (m_Group.m_TookNew > m_Group.m_KeptOld) ++newScore;
        }
        const bool newWins = newScore > oldScore;
        Log(msg::DroppingDuplicate, Message(newWins ? msg::Existing : msg::Newer));
        return newWins ? TakeNew(slot) : KeepOld(slot);
    }

    int TakeNew(int slot)
    {
        CFInfo* part = m_Part;
        ++m_Group.m_TookNew;
        CFInfo* old = m_Group.ReplaceAt(slot, part);
        if (slot <= 1) {
            m_Group.RebuildNames(m_Settings.NoAutoRename);
        } else {
            ExchangeNameEntry(old);
        }
        if (part->IsSamePart(*old)) {
            part->AddDuplicate(old);
        } else {
            delete old;
        }
        if (m_Group.m_Found == 1) {
            m_Group.m_Subject = part->m_Subject;
            m_Group.m_Expected = part->m_Total;
        }
        m_Group.m_Status = GS_CHANGED;
        return slot;
    }

    // The winner takes the loser's place in the name lists.
    void ExchangeNameEntry(CFInfo* old)
    {
        auto named = std::find(m_Group.m_Named.begin(), m_Group.m_Named.end(), old);
        if (named == m_Group.m_Named.end()) return;
        auto entry = m_Group.m_Names.find(old->m_DestFile);
        if (entry != m_Group.m_Names.end()) m_Group.m_Names.erase(entry);
        if (m_Entered) {
            m_Group.m_Named.erase(named);
            return;
        }
        ReplaceNamed(m_Group, old, m_Part);
        m_Entered = true;
        if (HasName(*m_Part)) m_Group.m_Names.insert(m_Part->m_DestFile);
    }

    int KeepOld(int slot)
    {
        CFInfo* old = m_Group.GetAt(slot);
        ++m_Group.m_KeptOld;
        LeaveNames();
        if (old->IsSamePart(*m_Part)) {
            old->AddDuplicate(m_Part);
            return slot;
        }
        delete m_Part;
        return -1;
    }

    CSortInfo& m_Group;
    MyCObArray& m_List;
    const Settings& m_Settings;
    CFInfo* m_Part;
    bool m_Swapped = false; // numbers swapped once in this insertion
    bool m_Entered = false; // the part is in m_Named
};

} // namespace

bool ReplaceNamed(CSortInfo& group, const CFInfo* element, CFInfo* part)
{
    auto& named = group.m_Named;
    if (std::find(named.begin(), named.end(), element) == named.end()) return false;
    // The part is listed once: an entry of its own gives way to the element's place.
    if (element != part) named.erase(std::remove(named.begin(), named.end(), part), named.end());
    *std::find(named.begin(), named.end(), element) = part;
    return true;
}

int CSortInfo::AddPart(CFInfo* part, MyCObArray& list)
{
    return Insertion(*this, list, part).Run();
}

void CSortInfo::RebuildNames(bool noAutoRename)
{
    m_Names.clear();
    m_Named.clear();
    m_Found = 0;
    int counted = 0;
    const CFInfo* lastEntered = nullptr;
    for (int i = 0; i < GetSize(); ++i) {
        CFInfo* part = GetAt(i);
        if (part->m_Part > 0 && part->m_Part != counted) {
            ++m_Found;
            counted = part->m_Part;
        }
        if (part->m_DestFile.empty()) continue;
        const bool continuation =
            lastEntered && lastEntered->m_Total >= 2 && lastEntered->m_Part < part->m_Part;
        if (!HasName(part->m_DestFile) || (noAutoRename && !continuation)) {
            m_Names.insert(part->m_DestFile);
            m_Named.push_back(part);
            lastEntered = part;
        }
    }
}

} // namespace zarvex
