#include "model/group_index.h"

#include "model/records.h"

#include <algorithm>

namespace zarvex {
namespace {

constexpr int kWindowBits = 20;             // 1 MB windows of an input file
constexpr std::int64_t kMostWindows = 4096; // a longer section is kept apart

} // namespace

void GroupIndex::Clear()
{
    m_Groups.clear();
    m_Subject.clear();
    m_BySubject.clear();
    m_ByFullSubject.clear();
    m_ByName.clear();
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
    for (int g = static_cast<int>(m_Groups.size()); g < list.GetSize(); ++g)
        AddGroup(*list.GetAt(g), g);
}

void GroupIndex::AddGroup(const CSortInfo& group, int index)
{
    m_Groups.push_back(&group);
    m_Subject.push_back(group.m_Subject);
    AddKey(m_BySubject, group.m_Subject, index);
    AddNames(group, index);
    for (int i = 0; i < group.GetSize(); ++i) {
        const CFInfo* part = group.GetAt(i);
        if (!part->m_FullSubj.empty()) AddKey(m_ByFullSubject, part->m_FullSubj, index);
        for (; part; part = part->m_pNextDup.get())
            AddSpan(*part, index);
    }
}

void GroupIndex::AddNames(const CSortInfo& group, int index)
{
    // Each distinct name once: a group may hold thousands of equal names.
    const auto& names = group.m_Names;
    for (auto it = names.begin(); it != names.end(); it = names.upper_bound(*it))
        AddKey(m_ByName, *it, index);
}

void GroupIndex::AddSpan(const CFInfo& part, int group)
{
    InputSpans& spans = m_ByInput[part.m_File];
    const Span span{part.m_SPos, part.m_EPos, group};
    if (part.m_EPos <= part.m_SPos) return; // covers no position
    const std::int64_t first = part.m_SPos >> kWindowBits, last = (part.m_EPos - 1) >> kWindowBits;
    if (last - first >= kMostWindows) {
        spans.huge.push_back(span);
        return;
    }
    for (std::int64_t w = first; w <= last; ++w)
        spans.byWindow[w].push_back(span);
}

void GroupIndex::Note(const MyCObArray& list, int group, const CFInfo& part)
{
    Sync(list);
    if (group < 0 || group >= static_cast<int>(m_Groups.size())) return;
    // Only the arriving part's name is new: walking every name of the group
    // for each part would make a group of many names quadratic.
    RefreshSubject(list, group);
    if (!part.m_DestFile.empty()) AddKey(m_ByName, part.m_DestFile, group);
    if (!part.m_FullSubj.empty()) AddKey(m_ByFullSubject, part.m_FullSubj, group);
    AddSpan(part, group);
}

void GroupIndex::RefreshGroup(const MyCObArray& list, int group)
{
    if (group < 0 || group >= static_cast<int>(m_Groups.size())) return;
    AddNames(*list.GetAt(group), group);
    RefreshSubject(list, group);
}

void GroupIndex::RefreshSubject(const MyCObArray& list, int group)
{
    if (group < 0 || group >= static_cast<int>(m_Groups.size())) return;
    const CSortInfo& sort = *list.GetAt(group);
    std::string& known = m_Subject[static_cast<std::size_t>(group)];
    if (EqualsIgnoreCase(known, sort.m_Subject)) return;
    auto old = m_BySubject.find(std::string_view(known));
    if (old != m_BySubject.end()) EraseValue(old->second, group);
    AddKey(m_BySubject, sort.m_Subject, group);
    known = sort.m_Subject;
}

std::vector<int> GroupIndex::Candidates(std::string_view subject, std::string_view fullSubject) const
{
    std::vector<int> out;
    auto add = [&](const Keys& keys, std::string_view key) {
        auto it = keys.find(key);
        if (it != keys.end()) out.insert(out.end(), it->second.begin(), it->second.end());
    };
    add(m_BySubject, subject);
    if (!subject.empty()) add(m_BySubject, std::string_view());
    if (!fullSubject.empty()) add(m_ByFullSubject, fullSubject);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

const std::vector<int>* GroupIndex::GroupsNamed(std::string_view name) const
{
    auto it = m_ByName.find(name);
    return it == m_ByName.end() ? nullptr : &it->second;
}

std::vector<int> GroupIndex::GroupsAt(const std::string& path, std::int64_t pos) const
{
    std::vector<int> out;
    auto input = m_ByInput.find(path);
    if (input == m_ByInput.end()) return out;
    auto take = [&](const std::vector<Span>& spans) {
        for (const Span& span : spans)
            if (span.start <= pos && pos < span.end) out.push_back(span.group);
    };
    auto window = input->second.byWindow.find(pos >> kWindowBits);
    if (window != input->second.byWindow.end()) take(window->second);
    take(input->second.huge);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

void GroupIndex::AddKey(Keys& keys, std::string_view key, int group)
{
    auto it = keys.find(key);
    if (it == keys.end()) it = keys.emplace(std::string(key), std::vector<int>()).first;
    InsertSorted(it->second, group);
}

void GroupIndex::InsertSorted(std::vector<int>& list, int value)
{
    if (list.empty() || list.back() < value) {
        list.push_back(value);
        return;
    }
    auto it = std::lower_bound(list.begin(), list.end(), value);
    if (*it != value) list.insert(it, value);
}

void GroupIndex::EraseValue(std::vector<int>& list, int value)
{
    auto it = std::lower_bound(list.begin(), list.end(), value);
    if (it != list.end() && *it == value) list.erase(it);
}

} // namespace zarvex
