#include "app/output_entries.h"

#include "model/data_types.h"
#include "model/list_dump.h"
#include "model/records.h"
#include "text/ascii.h"
#include "text/messages.h"
#include "text/wild_match.h"

#include <algorithm>
#include <ctime>
#include <unordered_map>

namespace zarvex {
namespace {

// A group without named parts is listed under its first part's output name,
// else its subject.
std::string DisplayName(const CSortInfo& group)
{
    if (group.GetSize() > 0 && !group.GetAt(0)->m_DestFile.empty()) return group.GetAt(0)->m_DestFile;
    return group.m_Subject;
}

std::string Cut100(const std::string& s)
{
    return s.size() > 100 ? s.substr(0, 100) + "..." : s;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The last run of digits that does not start the name: [begin, end).
std::optional<std::pair<std::size_t, std::size_t>> NumberRun(std::string_view name)
{
    std::size_t end = name.size();
    while (end > 0) {
        while (end > 0 && !IsDigit(name[end - 1])) --end;
        std::size_t begin = end;
        while (begin > 0 && IsDigit(name[begin - 1])) --begin;
        if (end == 0 || begin == 0) return std::nullopt;
        return std::make_pair(begin, end);
    }
    return std::nullopt;
}

std::pair<std::string, std::string> SplitExtension(std::string_view name)
{
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos) return {std::string(name), {}};
    return {std::string(name.substr(0, dot)), std::string(name.substr(dot + 1))};
}

// The pattern one side of the names (stems or extensions) shares.
std::string CommonPattern(const std::vector<std::string>& parts)
{
    if (parts.empty()) return {};
    std::string pattern = parts[0];
    for (std::size_t n = 1; n < parts.size(); ++n) {
        const std::string& s = parts[n];
        std::size_t i = 0;
        for (; i < pattern.size() && pattern[i] != '*'; ++i) {
            if (i >= s.size()) {
                pattern.resize(i);
                pattern += '*';
                break;
            }
            if (AsciiLower(static_cast<unsigned char>(pattern[i])) != AsciiLower(static_cast<unsigned char>(s[i])))
                pattern[i] = '?';
        }
        if (i == pattern.size() && s.size() > pattern.size()) pattern += '*';
    }
    // Runs of more than three "?" become one "*".
    std::string out;
    for (std::size_t i = 0; i < pattern.size();) {
        std::size_t j = i;
        while (j < pattern.size() && pattern[j] == '?') ++j;
        if (j - i > 3) {
            if (out.empty() || out.back() != '*') out += '*';
            i = j;
        } else if (j > i) {
            out.append(j - i, '?');
            i = j;
        } else {
            // "**" matches what "*" does; a doubled star would only confuse the rename.
            if (pattern[i] != '*' || out.empty() || out.back() != '*') out += pattern[i];
            ++i;
        }
    }
    return out;
}

std::string WildcardsOf(std::string_view s)
{
    std::string w;
    for (char c : s)
        if (c == '?' || c == '*' || c == '\\') w += c;
    return w;
}

// Matches `name` against `pattern` ignoring case and collects what each
// wildcard took, in order.
bool Capture(std::string_view name, std::string_view pattern, std::vector<std::string>& taken)
{
    if (pattern.empty()) return name.empty();
    const char p = pattern[0];
    if (p == '*') {
        for (std::size_t k = 0; k <= name.size(); ++k) {
            taken.emplace_back(name.substr(0, k));
            if (Capture(name.substr(k), pattern.substr(1), taken)) return true;
            taken.pop_back();
        }
        return false;
    }
    if (name.empty()) return false;
    if (p == '?') {
        taken.emplace_back(name.substr(0, 1));
        if (Capture(name.substr(1), pattern.substr(1), taken)) return true;
        taken.pop_back();
        return false;
    }
    if (AsciiLower(static_cast<unsigned char>(p)) != AsciiLower(static_cast<unsigned char>(name[0]))) return false;
    return Capture(name.substr(1), pattern.substr(1), taken);
}

std::string Trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return std::string(s);
}

} // namespace

std::vector<OutputEntry> EntriesFor(CSortInfo& group)
{
    std::vector<OutputEntry> entries;
    if (group.m_Named.empty()) {
        const std::string name = DisplayName(group);
        group.m_Status = GS_MISSING | (group.m_Status & ~0xF);
        if (!name.empty()) entries.push_back({name + SizeColumn(EstimatedSize(group, nullptr)), &group, nullptr});
        return entries;
    }
    for (CFInfo* named : group.m_Named) {
        std::string name = named->m_DestFile;
        if (name.empty() && group.GetSize() > 0) {
            CFInfo* first = group.GetAt(0);
            if (first->m_Starts > 0 && first->m_Ends > 0 && !first->m_Subject.empty()) {
                name = first->m_Subject;
                first->m_DestFile = name;
            }
        }
        if (name.empty()) name = "undefined";
        entries.push_back({name + SizeColumn(EstimatedSize(group, named)), &group, named});
    }
    return entries;
}

std::vector<OutputEntry> EntriesFor(MyCObArray& list)
{
    std::vector<OutputEntry> all;
    for (int i = 0; i < list.GetSize(); ++i) {
        auto entries = EntriesFor(*list.GetAt(i));
        all.insert(all.end(), std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()));
    }
    return all;
}

int IndexOfGroup(const MyCObArray& list, const CSortInfo* group)
{
    for (int g = 0; g < list.GetSize(); ++g)
        if (list.GetAt(g) == group) return g;
    return -1;
}

std::string_view EntryName(std::string_view text)
{
    return text.substr(0, text.find('\t'));
}

std::int64_t EstimatedSize(const CSortInfo& group, const CFInfo* named)
{
    int from = named ? group.IndexOfPart(named) : 0;
    if (from < 0 || from >= group.GetSize()) return 0;
    const CFInfo* first = group.GetAt(from);
    if (first->m_MsgType == MT_YENC && first->m_ySize > 0) return first->m_ySize;
    std::int64_t total = 0;
    std::vector<int> counted; // part numbers: a kept copy of one is not counted twice
    for (int i = from; i < group.GetSize(); ++i) {
        const CFInfo* part = group.GetAt(i);
        // As the extraction: the output runs on through the parts without a
        // name of their own (the later parts of a UU posting) up to the next
        // output's named part.
        if (i > from && group.IndexOfNamed(part) >= 0 && !EqualsIgnoreCase(part->m_DestFile, first->m_DestFile)) break;
        if (part->m_Part > 0 && std::find(counted.begin(), counted.end(), part->m_Part) != counted.end()) continue;
        counted.push_back(part->m_Part);
        const std::int64_t bytes = std::max<std::int64_t>(part->m_EPos - part->m_SPos, 0);
        switch (part->m_MsgType) {
        case MT_UU:
        case MT_XX:
        case MT_B64:
        case MT_HQX:
        case MT_BNEWS: total += bytes / 4 * 3; break;
        default: total += bytes;
        }
    }
    return total;
}

std::string SizeColumn(std::int64_t bytes)
{
    const std::int64_t k = bytes / 1024;
    return k < 1 ? std::string("\t< 1K") : "\t" + std::to_string(k) + "K";
}

std::uint32_t EntryColour(const CSortInfo& group)
{
    const std::uint32_t bgr = group.StatusColour();
    return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

std::string InputEntryText(std::string_view path, std::int64_t size, bool monitored)
{
    const auto slash = path.rfind('/');
    std::string text = monitored ? ">" : "";
    text += slash == std::string_view::npos ? path : path.substr(slash + 1);
    text += ' ';
    if (size >= 0xA000001)
        text += std::to_string(size >> 20) + " M";
    else if (size <= 1024)
        text += std::to_string(size) + " ";
    else
        text += std::to_string(size >> 10) + " K";
    return text;
}

bool IsExtractable(const CSortInfo& group)
{
    const int status = group.m_Status & GS_MASK;
    if (status >= 1 && status <= 3) return true;
    return status >= 4 && group.m_Found > 0 && group.m_Expected > 1;
}

int SplitterPercent(int x, int width)
{
    if (width <= 0) return 0;
    const int p = static_cast<int>(static_cast<long long>(x) * 100 / width);
    return p >= 47 && p <= 53 ? 0 : p;
}

int SplitPosition(int percent, int width, int minSide)
{
    if (percent == 0) return width / 2;
    const int s = static_cast<int>(static_cast<long long>(percent) * width / 100);
    if (width < 2 * minSide) return width / 2;
    return std::clamp(s, minSide, width - minSide);
}

std::vector<std::optional<std::string>> PaddedNames(const std::vector<std::string>& names)
{
    struct Split
    {
        std::string stem; // text before and after the run, with a separator between
        std::string before, after;
        std::string number;
    };
    std::vector<std::optional<Split>> splits;
    std::unordered_map<std::string, std::size_t> widest;
    widest.reserve(200003);
    for (const std::string& name : names) {
        const auto run = NumberRun(name);
        if (!run) {
            splits.emplace_back();
            continue;
        }
        Split s{name.substr(0, run->first) + '\0' + name.substr(run->second), name.substr(0, run->first),
                name.substr(run->second), name.substr(run->first, run->second - run->first)};
        auto& w = widest[s.stem];
        w = std::max(w, s.number.size());
        splits.emplace_back(std::move(s));
    }
    std::vector<std::optional<std::string>> out;
    for (const auto& s : splits) {
        if (!s || s->number.size() >= widest[s->stem]) {
            out.emplace_back();
            continue;
        }
        out.emplace_back(s->before + std::string(widest[s->stem] - s->number.size(), '0') + s->number + s->after);
    }
    return out;
}

std::string WildcardPattern(const std::vector<std::string>& names)
{
    std::vector<std::string> stems, extensions;
    for (const std::string& n : names) {
        auto [stem, ext] = SplitExtension(n);
        stems.push_back(std::move(stem));
        extensions.push_back(std::move(ext));
    }
    return CommonPattern(stems) + "." + CommonPattern(extensions);
}

bool WildcardsAgree(std::string_view from, std::string_view to)
{
    return WildcardsOf(from) == WildcardsOf(to);
}

std::optional<std::string> WildcardRename(std::string_view name, std::string_view from, std::string_view to)
{
    std::string subject(name);
    if (subject.find('.') == std::string::npos) subject += '.';
    std::vector<std::string> taken;
    if (!Capture(subject, from, taken)) return std::nullopt;
    std::string out;
    std::size_t next = 0;
    for (char c : to) {
        if (c == '?' || c == '*') {
            if (next < taken.size()) out += taken[next++];
        } else if (c != '\\') {
            out += c;
        }
    }
    while (!out.empty() && out.back() == '.') out.pop_back();
    return Trimmed(out);
}

bool FindMatches(std::string_view text, std::string_view find, bool matchCase)
{
    const std::string pattern = "*" + std::string(find) + "*";
    const std::string subject(text);
    return WildMatch(subject.c_str(), pattern.c_str(), !matchCase) == 1;
}

void RemoveOutput(MyCObArray& list, CSortInfo& group, const CFInfo* named, std::string_view name)
{
    auto drop = [&](int i) {
        CFInfo* part = group.GetAt(i);
        if (part->m_Part > 0 && group.m_Found > 0) --group.m_Found;
        group.m_Status = GS_CHANGED;
        std::erase(group.m_Named, part);
        delete group.RemoveAt(i);
    };
    const int start = std::max(named ? group.IndexOfPart(named) : 0, 0);
    bool removed = false;
    for (int i = start; i < group.GetSize();) {
        const CFInfo* part = group.GetAt(i);
        if (i != start && group.IndexOfNamed(part) >= 0) break;
        if (part->m_DestFile != name && part->m_OrigName != name) {
            ++i;
            continue;
        }
        const bool description = i > 0 && group.GetAt(i - 1)->m_Part == 0 && group.IndexOfNamed(group.GetAt(i - 1)) < 0;
        drop(i);
        removed = true;
        if (description) drop(--i);
    }
    if (!removed) {
        for (int i = 0; i < group.GetSize();) {
            if (group.GetAt(i)->m_Subject == name)
                drop(i);
            else
                ++i;
        }
    }
    if (group.GetSize() == 0) {
        for (int g = 0; g < list.GetSize(); ++g)
            if (list.GetAt(g) == &group) {
                group.Clear();
                list.RemoveGroupAt(g);
                break;
            }
    } else {
        group.RebuildNames(list.GetSettings().NoAutoRename);
    }
    list.InvalidateGroupIndex();
}

std::vector<PropertyLine> PropertyLines(const CSortInfo& group, const CFInfo* named)
{
    std::vector<PropertyLine> lines;
    if (group.GetSize() == 0) return lines;
    const CFInfo* first = named ? named : group.GetAt(0);
    auto add = [&](int item, msg::Id id, const std::string& value) {
        lines.push_back({item, std::string(Message(id)) + value});
    };
    add(40021, msg::SubjectLabel, Cut100(first->m_Subject));
    add(40029, msg::FilenameLabel, Cut100(first->m_DestFile));
    add(40023, msg::EncodingLabel, std::string(MsgTypeName(first->m_MsgType)));
    if (!first->m_Newsgroups.empty()) add(40022, msg::NewsgroupsLabel, first->m_Newsgroups);
    if (first->m_Time > 0) {
        char date[64] = {};
        const std::time_t t = static_cast<std::time_t>(first->m_Time);
        std::tm tm{};
        if (gmtime_r(&t, &tm)) std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S GMT", &tm);
        add(40029, msg::PostedLabel, date);
    }
    add(40024, msg::MessageTypeLabel, first->m_DataType > 0 ? std::string(DataTypeName(first->m_DataType)) : std::string(Message(msg::Unknown)));
    lines.push_back({40025, FormatMessage(msg::PartsFound, std::to_string(group.m_Found), std::to_string(group.m_Expected))});
    if (group.m_GroupTotal > 1)
        lines.push_back({40025, FormatMessage(msg::GroupOf, std::to_string(group.m_Group), std::to_string(group.m_GroupTotal))});
    std::vector<int> present;
    for (int i = 0; i < group.GetSize(); ++i)
        if (group.GetAt(i)->m_Part > 0) present.push_back(group.GetAt(i)->m_Part);
    std::sort(present.begin(), present.end());
    const std::string missing = MissingPartList(present, group.m_Expected);
    add(40026, msg::MissingPartsLabel, missing.empty() ? std::string(Message(msg::None)) : missing);
    lines.push_back({40027, FormatMessage(msg::MessageSpan, std::to_string(group.GetAt(0)->m_StartLine),
                                          std::to_string(group.GetAt(group.GetSize() - 1)->m_EndLine))});
    if (!first->m_OrigName.empty()) add(40028, msg::OriginalFilename, Cut100(first->m_OrigName));
    return lines;
}

std::string PropertyClipboardText(const CSortInfo& group, const CFInfo* named, int itemId)
{
    if (group.GetSize() == 0) return {};
    const CFInfo* first = named ? named : group.GetAt(0);
    switch (itemId) {
    case 40021: return first->m_Subject;
    case 40022: return first->m_Newsgroups;
    case 40028: return first->m_OrigName;
    default: return {};
    }
}

} // namespace zarvex
