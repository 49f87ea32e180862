// A lookup index over the groups of the sort list, so that finding the group
// of a part, a name or a position does not walk every group. It only narrows
// the search: it yields the groups that could fit, in list order, and the
// caller applies the full rule to each, so every answer is the one the plain
// walk gives. Groups may be listed that no longer fit; a group that fits is
// never left out as long as the list changes only through its own operations
// (see MyCObArray::InvalidateGroupIndex).
#pragma once

#include "text/ascii.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zarvex {

class CFInfo;
class CSortInfo;
class MyCObArray;

// Hashing and comparing keys with ASCII letters folded, looked up without copies.
struct CaseHash
{
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const
    {
        std::uint64_t h = 1469598103934665603ULL;
        for (unsigned char c : text)
            h = (h ^ AsciiLower(c)) * 1099511628211ULL;
        return static_cast<std::size_t>(h);
    }
};
struct CaseEqual
{
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return EqualsIgnoreCase(a, b); }
};

class GroupIndex
{
public:
    // Brings the index up to date with the list: new groups at the end are
    // added; removed or replaced groups make it start again.
    void Sync(const MyCObArray& list);
    // A part enters group `group` (as an element or a duplicate): its name,
    // full subject and place in the input become keys, and the group is
    // filed again under its subject (RefreshSubject). Its other names are
    // those of parts already filed, or were filed by RefreshGroup.
    void Note(const MyCObArray& list, int group, const CFInfo& part);
    // Files group `group` again under its subject when that changed, and
    // under every output name it now holds.
    void RefreshGroup(const MyCObArray& list, int group);
    // Files group `group` again under its subject when that changed.
    void RefreshSubject(const MyCObArray& list, int group);
    void Clear();

    // Groups (ascending) whose subject equals `subject` ignoring case, those
    // with an empty subject and, when `fullSubject` is not empty, those with an
    // element of that full subject.
    std::vector<int> Candidates(std::string_view subject, std::string_view fullSubject) const;
    // Groups (ascending) that may hold the output name `name`; null for none.
    const std::vector<int>* GroupsNamed(std::string_view name) const;
    // Groups (ascending) that may hold a part of input `path` covering `pos`.
    std::vector<int> GroupsAt(const std::string& path, std::int64_t pos) const;

private:
    using Keys = std::unordered_map<std::string, std::vector<int>, CaseHash, CaseEqual>;
    struct Span
    {
        std::int64_t start;
        std::int64_t end;
        int group;
    };
    // The sections of one input file, filed under every 1 MB window they touch.
    struct InputSpans
    {
        std::unordered_map<std::int64_t, std::vector<Span>> byWindow;
        std::vector<Span> huge; // too long to file by window
    };

    void AddGroup(const CSortInfo& group, int index);
    void AddSpan(const CFInfo& part, int group);
    void AddNames(const CSortInfo& group, int index);
    static void AddKey(Keys& keys, std::string_view key, int group);
    static void InsertSorted(std::vector<int>& list, int value);
    static void EraseValue(std::vector<int>& list, int value);

    std::vector<const CSortInfo*> m_Groups; // as indexed, to notice removals
    std::vector<std::string> m_Subject;     // the subject each group is filed under
    Keys m_BySubject;
    Keys m_ByFullSubject;
    Keys m_ByName;
    std::unordered_map<std::string, InputSpans> m_ByInput; // input paths compare exactly
};

} // namespace zarvex
