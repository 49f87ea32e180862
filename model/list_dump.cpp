// The list dump (every group and part with every field) and the report (one
// block per output entry), as plain 8-bit text with CR LF line ends.
#include "model/list_dump.h"

#include "model/records.h"
#include "model/settings.h"
#include "text/ascii.h"
#include "text/display_text.h"
#include "text/messages.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <vector>

namespace zarvex {
namespace {

constexpr int kMaxIndent = 16;

void AppendFormat(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

void AppendFormat(std::string& out, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (n > 0) {
        const std::size_t at = out.size();
        out.resize(at + static_cast<std::size_t>(n) + 1);
        std::vsnprintf(out.data() + at, static_cast<std::size_t>(n) + 1, format, again);
        out.resize(at + static_cast<std::size_t>(n));
    }
    va_end(again);
}

std::string LocalTime(std::int64_t seconds)
{
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return std::string();
    char text[64];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return std::string(text, n);
}

// Names and subjects as the user sees them: UTF-8 (8-bit text read as
// Windows-1252), control characters escaped.
std::string Shown(const std::string& text)
{
    return ToShownText(text);
}

unsigned long Low32(std::int64_t value)
{
    return static_cast<std::uint32_t>(value);
}

void AppendPart(std::string& out, const CFInfo& part, int indent)
{
    const std::string p(static_cast<std::size_t>(std::clamp(indent, 0, kMaxIndent)), '\t');
    AppendFormat(out, "%s        File:%s\r\n", p.c_str(), Shown(part.m_File).c_str());
    AppendFormat(out, "%s        Subject: \"%s\"\r\n", p.c_str(), Shown(part.m_Subject).c_str());
    AppendFormat(out, "%s        FullSubj:\"%s\"\r\n", p.c_str(), Shown(part.m_FullSubj).c_str());
    AppendFormat(out, "%s        DestFile:%s ---> %s\r\n", p.c_str(), Shown(part.m_OrigName).c_str(),
                 Shown(part.m_DestFile).c_str());
    AppendFormat(
        out,
        "%s        Msg:%d of %d, Group:%d of %d, Starts:%d, Ends:%d, Indent:%d, DataType:%s\tTime:%s\r\n",
        p.c_str(), part.m_Part, part.m_Total, part.m_Group, part.m_GroupTotal, part.m_Starts, part.m_Ends,
        part.m_Indent, std::string(DataTypeName(part.m_DataType)).c_str(), LocalTime(part.m_Time).c_str());
    AppendFormat(out, "%s        SPos:%" PRId64 ", EPos:%" PRId64, p.c_str(), part.m_SPos, part.m_EPos);
    AppendFormat(
        out, ", Sl#:%lu, El#:%lu, MsgType:%s\tByteStart:%lu, Length:%lu, Status:%d, Flags:%#04lx ID:%d\r\n",
        Low32(part.m_StartLine), Low32(part.m_EndLine), std::string(MsgTypeName(part.m_MsgType)).c_str(),
        part.m_ByteStart == -1 ? 0UL : Low32(part.m_ByteStart), Low32(part.m_Length), part.m_Status,
        static_cast<unsigned long>(part.m_Flags), part.m_ID);
}

// --------------------------------------------------------------- report

// One line of the output list: a group and the named part it shows.
struct Entry
{
    const CSortInfo* group;
    const CFInfo* named; // null for a group without named parts
    std::string name;
};

std::string EntryName(const CSortInfo& group, const CFInfo& named)
{
    if (!named.m_DestFile.empty()) return named.m_DestFile;
    const CFInfo& first = *group.GetAt(0);
    if (first.m_Starts != 0 && first.m_Ends != 0 && !first.m_Subject.empty()) return first.m_Subject;
    return "undefined";
}

std::vector<Entry> OutputEntries(const MyCObArray& list)
{
    std::vector<Entry> entries;
    for (int g = 0; g < list.GetSize(); ++g) {
        const CSortInfo& group = *list.GetAt(g);
        if (group.GetSize() == 0) continue;
        if (group.m_Named.empty()) {
            const std::string& shown =
                group.GetAt(0)->m_DestFile.empty() ? group.m_Subject : group.GetAt(0)->m_DestFile;
            if (!shown.empty()) entries.push_back({&group, nullptr, shown});
            continue;
        }
        for (const CFInfo* named : group.m_Named)
            entries.push_back({&group, named, EntryName(group, *named)});
    }
    if (list.GetSettings().SortFiles)
        std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            return CompareIgnoreCase(a.name, b.name) < 0;
        });
    return entries;
}

// The index of the part that describes an entry.
int ChosenPart(const Entry& entry)
{
    const CSortInfo& group = *entry.group;
    int index = entry.named ? group.IndexOfPart(entry.named) : -1;
    if (index < 0 && entry.named) index = group.IndexOfName(entry.named->m_DestFile);
    if (index < 0) index = group.GetAt(0)->m_Part == 0 && group.GetSize() > 1 ? 1 : 0;
    const CFInfo& chosen = *group.GetAt(index);
    if (chosen.m_Part == 0 && chosen.m_MsgType != MT_TXT && chosen.m_MsgType != MT_QP &&
        index + 1 < group.GetSize())
        ++index;
    return index;
}

// The parts of the entry's output: from the chosen part up to the next part
// that starts another named output.
std::vector<const CFInfo*> EntryParts(const CSortInfo& group, int from)
{
    std::vector<const CFInfo*> parts;
    for (int i = from; i < group.GetSize(); ++i) {
        const CFInfo* part = group.GetAt(i);
        if (i > from && group.IndexOfNamed(part) >= 0) break;
        parts.push_back(part);
    }
    return parts;
}

std::string Range(std::int64_t first, std::int64_t last)
{
    if (first == last) return std::to_string(first);
    return std::to_string(first) + (last == first + 1 ? "," : "-") + std::to_string(last);
}

} // namespace

std::string MissingPartList(const std::vector<int>& present, int expected)
{
    std::vector<int> numbers;
    for (int n : present)
        if (n > 0) numbers.push_back(n);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    std::string out;
    // 64-bit: the part after the largest 32-bit part number is one more.
    auto gap = [&](std::int64_t first, std::int64_t last) {
        if (first > last) return;
        if (!out.empty()) out += ',';
        out += Range(first, last);
    };
    // A missing first part is a gap too; with no numbered part at all every
    // expected part is missing (one expected part is the unnumbered one there is).
    if (numbers.empty()) return expected > 1 ? Range(1, expected) : std::string();
    std::int64_t previous = 0;
    for (int n : numbers) {
        gap(previous + 1, n - 1);
        previous = n;
    }
    gap(previous + 1, expected);
    return out;
}

std::string IncompleteReason(const CSortInfo& group, const std::vector<const CFInfo*>& parts)
{
    if (parts.empty()) return {};
    std::vector<int> present;
    std::int64_t written = 0;
    bool allWritten = true, cut = false;
    for (const CFInfo* part : parts) {
        present.push_back(part->m_Part);
        allWritten &= part->TestFlag(PF_WRITTEN);
        written += part->m_Length;
        cut |= part->TestFlag(PF_CUTOFF);
    }
    const int expected = group.m_Expected;
    if (expected > 1) {
        const std::string missing = MissingPartList(present, expected);
        if (!missing.empty()) {
            const bool one = missing.find_first_of(",-") == std::string::npos;
            return (one ? "part " : "parts ") + missing + " of " + std::to_string(expected) + " missing";
        }
    }
    if (cut) return "its data end before the end of the file";
    const CFInfo& first = *parts.front();
    if ((first.m_MsgType & MT_YENC) && first.m_ySize > 0 && allWritten && written < first.m_ySize)
        return std::to_string(written) + " of the " + std::to_string(first.m_ySize) + " bytes its header gives";
    return {};
}

std::string ListDumpText(const MyCObArray* list)
{
    if (!list) return "Invalid parameter to DumpList";
    std::string out;
    AppendFormat(out, "There are %d total sortnodes.\r\n", list->GetSize());
    for (int g = 0; g < list->GetSize(); ++g) {
        const CSortInfo& group = *list->GetAt(g);
        AppendFormat(out, "SortNode:%d\r\n", g);
        AppendFormat(out, "    Subject:%s\r\n", Shown(group.m_Subject).c_str());
        AppendFormat(out, "    Found:%d, Expected:%d, Status:%d\r\n", group.m_Found, group.m_Expected,
                     group.m_Status);
        for (int i = 0; i < group.GetSize(); ++i) {
            const CFInfo& part = *group.GetAt(i);
            AppendFormat(out, "    FileNode:%d ID=%d\r\n", i, part.m_ID);
            AppendPart(out, part, 0);
            if (!part.m_pNextDup) continue;
            out += "    \t(Inactive duplicate parts)\r\n";
            int depth = 1;
            for (const CFInfo* dup = part.m_pNextDup.get(); dup; dup = dup->m_pNextDup.get())
                AppendPart(out, *dup, depth++);
        }
    }
    return out;
}

std::string ReportText(const MyCObArray& list)
{
    std::string out;
    for (const Entry& entry : OutputEntries(list)) {
        const CSortInfo& group = *entry.group;
        const int chosenIndex = ChosenPart(entry);
        const CFInfo& chosen = *group.GetAt(chosenIndex);
        const std::vector<const CFInfo*> parts = EntryParts(group, chosenIndex);
        std::uint32_t encoding = 0;
        int dataType = 0, status = 0;
        std::vector<int> numbers;
        for (const CFInfo* part : parts) {
            if (!encoding) encoding = part->m_MsgType;
            if (!dataType) dataType = part->m_DataType;
            if (!status || (part->m_Status & ~GS_MASK) != 0) status = part->m_Status ? part->m_Status : status;
            numbers.push_back(part->m_Part);
        }
        out += Message(msg::SubjectLabel);
        out += Shown(chosen.m_FullSubj.empty() ? chosen.m_Subject : chosen.m_FullSubj);
        out += "\r\n";
        AppendFormat(out, "InFile: %s\r\n", Shown(chosen.m_File).c_str());
        AppendFormat(out, "OutFile: %s\r\n", Shown(entry.name).c_str());
        if (!chosen.m_OrigName.empty() && !EqualsIgnoreCase(chosen.m_OrigName, entry.name))
            AppendFormat(out, "OriginalName: %s\r\n", Shown(chosen.m_OrigName).c_str());
        AppendFormat(out, "Encoding: %s\r\n", std::string(MsgTypeName(encoding)).c_str());
        AppendFormat(out, "DataType: %s\r\n",
                     dataType ? std::string(DataTypeName(dataType)).c_str() : "unknown");
        AppendFormat(out, "Parts: %d found, %d expected ", group.m_Found, group.m_Expected);
        if (chosen.m_GroupTotal > 1 && chosen.m_Group > 0)
            out += FormatMessage(msg::GroupOf, std::to_string(chosen.m_Group), std::to_string(chosen.m_GroupTotal));
        out += "\r\n";
        const std::string missing = MissingPartList(numbers, group.m_Expected);
        out += Message(msg::MissingPartsLabel);
        out += missing.empty() ? std::string(Message(msg::None)) : missing;
        out += "\r\n";
        // Only an output written without all its posting announces has this line.
        if (status & ST_INCOMPLETE) {
            const std::string reason = IncompleteReason(group, parts);
            if (!reason.empty()) out += "Incomplete: " + reason + "\r\n";
        }
        AppendFormat(out, "Extract Status: %d\r\n\r\n", status);
    }
    return out;
}

namespace {

bool WriteWhole(const std::string& path, const std::string& text)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

} // namespace

bool WriteListDump(const MyCObArray* list, const std::string& path)
{
    return WriteWhole(path, ListDumpText(list));
}

bool WriteReport(const MyCObArray& list, const std::string& path)
{
    return WriteWhole(path, ReportText(list));
}

} // namespace zarvex
