// A lookup index over the groups of the sort list, so that finding the group
// of a part does not walk every group. It only narrows the search: it yields
// the groups that could fit, in list order, and the caller applies the full
// rule to each, so the answer is the same as that of the plain walk.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zarvex {

class CFInfo;
class CSortInfo;
class MyCObArray;

class GroupIndex {
public:
    // Brings the index up to date with the list: new groups at the end are
    // added; removed or replaced groups make it start again.
    void Sync(const MyCObArray& list);
    // A part entered group `group` (as an element or a duplicate): its full
    // subject and its place in the input become keys, and the group's subject
    // is filed again when it changed.
    void Note(const MyCObArray& list, int group, const CFInfo& part);
    // Files group `group` again under its subject when that changed.
    void RefreshSubject(const MyCObArray& list, int group);
    void Clear();

    // Groups (ascending) whose subject equals `subject` ignoring case, those
    // with an empty subject and, when `fullSubject` is not empty, those with an
    // element of that full subject.
    std::vector<int> Candidates(std::string_view subject, std::string_view fullSubject) const;
    // Groups (ascending) that may hold a part of input `path` covering `pos`.
    std::vector<int> GroupsAt(const std::string& path, std::int64_t pos) const;

private:
    using Buckets = std::unordered_map<std::string, std::vector<int>>;
    struct Span {
        std::int64_t end;
        int group;
    };
    struct Spans {
        std::multimap<std::int64_t, Span> byStart;
        std::int64_t longest = 0;
    };
    void AddGroup(const CSortInfo& group, int index);
    void AddSpan(const CFInfo& part, int group);
    static void InsertSorted(std::vector<int>& list, int value);
    static void EraseValue(std::vector<int>& list, int value);

    std::vector<const CSortInfo*> m_Groups; // as indexed, to notice removals
    std::vector<std::string> m_SubjectKey;  // lower-case subject per group
    Buckets m_BySubject;
    Buckets m_ByFullSubject;
    std::map<std::string, Spans> m_ByInput; // input paths compare exactly
};

} // namespace zarvex
