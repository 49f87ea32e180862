#include "model/group_index.h"

#include "model/records.h"
#include "text/ascii.h"

#include <algorithm>

namespace zarvex {

void GroupIndex::Clear()
{
    m_Groups.clear();
    m_SubjectKey.clear();
    m_BySubject.clear();
    m_ByFullSubject.clear();
    m_ByInput.clear();
}

void GroupIndex::Sync(const MyCObArray& list)
{
    const int known = static_cast<int>(m_Groups.size());
    // Groups are only ever appended by the grouping itself; anything else
    // (removal, replacement) shows in the count or at the two ends.
    if (list.GetSize() < known ||
        (known > 0 && (list.GetAt(0) != m_Groups.front() || list.GetAt(known - 1) != m_Groups.back())))
        Clear();
    for (int g = static_cast<int>(m_Groups.size()); g < list.GetSize(); ++g) AddGroup(*list.GetAt(g), g);
}

void GroupIndex::AddGroup(const CSortInfo& group, int index)
{
    m_Groups.push_back(&group);
    m_SubjectKey.push_back(ToLowerAscii(group.m_Subject));
    InsertSorted(m_BySubject[m_SubjectKey.back()], index);
    for (int i = 0; i < group.GetSize(); ++i) {
        const CFInfo* part = group.GetAt(i);
        if (!part->m_FullSubj.empty()) InsertSorted(m_ByFullSubject[ToLowerAscii(part->m_FullSubj)], index);
        for (; part; part = part->m_pNextDup.get()) AddSpan(*part, index);
    }
}

void GroupIndex::AddSpan(const CFInfo& part, int group)
{
    Spans& spans = m_ByInput[part.m_File];
    spans.byStart.emplace(part.m_SPos, Span{part.m_EPos, group});
    spans.longest = std::max(spans.longest, part.m_EPos - part.m_SPos);
}

void GroupIndex::Note(const MyCObArray& list, int group, const CFInfo& part)
{
    Sync(list);
    if (group < 0 || group >= static_cast<int>(m_Groups.size())) return;
    RefreshSubject(list, group);
    if (!part.m_FullSubj.empty()) InsertSorted(m_ByFullSubject[ToLowerAscii(part.m_FullSubj)], group);
    AddSpan(part, group);
}

void GroupIndex::RefreshSubject(const MyCObArray& list, int group)
{
    if (group < 0 || group >= static_cast<int>(m_Groups.size())) return;
    std::string& known = m_SubjectKey[static_cast<std::size_t>(group)];
    std::string key = ToLowerAscii(list.GetAt(group)->m_Subject);
    if (key == known) return;
    EraseValue(m_BySubject[known], group);
    InsertSorted(m_BySubject[key], group);
    known = std::move(key);
}

std::vector<int> GroupIndex::Candidates(std::string_view subject, std::string_view fullSubject) const
{
    std::vector<int> out;
    auto add = [&](const Buckets& buckets, const std::string& key) {
        auto it = buckets.find(key);
        if (it != buckets.end()) out.insert(out.end(), it->second.begin(), it->second.end());
    };
    add(m_BySubject, ToLowerAscii(subject));
    if (!subject.empty()) add(m_BySubject, std::string());
    if (!fullSubject.empty()) add(m_ByFullSubject, ToLowerAscii(fullSubject));
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::vector<int> GroupIndex::GroupsAt(const std::string& path, std::int64_t pos) const
{
    std::vector<int> out;
    auto spans = m_ByInput.find(path);
    if (spans == m_ByInput.end()) return out;
    const auto& byStart = spans->second.byStart;
    // Spans that start at or before pos; none longer than `longest`, so the
    // walk back ends once a start lies that far before pos.
    for (auto it = byStart.upper_bound(pos); it != byStart.begin();) {
        --it;
        if (it->first < pos - spans->second.longest) break;
        if (it->second.end > pos) out.push_back(it->second.group);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

void GroupIndex::InsertSorted(std::vector<int>& list, int value)
{
    if (!list.empty() && list.back() < value) {
        list.push_back(value);
        return;
    }
    auto it = std::lower_bound(list.begin(), list.end(), value);
    if (it == list.end() || *it != value) list.insert(it, value);
}

void GroupIndex::EraseValue(std::vector<int>& list, int value)
{
    auto it = std::lower_bound(list.begin(), list.end(), value);
    if (it != list.end() && *it == value) list.erase(it);
}

} // namespace zarvex
