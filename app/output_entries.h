// What the main window shows and the rules of its small commands, kept free
// of Qt so that they can be checked without a display: the texts and colours
// of the list entries, the extractable test, the splitter rule, Pad Part
// Numbers, the wildcard multifile rename and Find & Select.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarvex {

class CFInfo;
class CSortInfo;
class MyCObArray;
struct Settings;

// One line of the output list: a named part of a group, or a group without
// named parts (`named` null).
struct OutputEntry
{
    std::string text; // output name, a tab and the size column
    CSortInfo* group = nullptr;
    CFInfo* named = nullptr;
};

// The entries of one group in m_Named order (a group without named parts
// gets one entry with its display name, and status 4). An empty output name
// takes the first part's subject when that part has a begin and an end
// marker (it then becomes the part's output name), else "undefined".
std::vector<OutputEntry> EntriesFor(CSortInfo& group);
// All entries of the sort list, group by group.
std::vector<OutputEntry> EntriesFor(MyCObArray& list);

// The output name of an entry: its text up to the tab.
std::string_view EntryName(std::string_view text);

// Where `group` stands in `list` now; -1 when it is not there.
int IndexOfGroup(const MyCObArray& list, const CSortInfo* group);
// The estimated decoded size of the output that starts at `named` (the first
// part when null), in bytes: never negative, the same for the same parts.
std::int64_t EstimatedSize(const CSortInfo& group, const CFInfo* named);
// "\t12K", or "\t< 1K" below 1,024 bytes.
std::string SizeColumn(std::int64_t bytes);

// The list colour of a group as 0xRRGGBB: by status (low four bits), teal
// when a part holds an open stream output, purple when one also failed its check.
std::uint32_t EntryColour(const CSortInfo& group);

// The input list text: the name after the last "/", ">" in front when
// monitored, and the scanned size (" M" from 0xA000001 bytes, " " up to 1,024
// bytes, " K" between).
std::string InputEntryText(std::string_view path, std::int64_t size, bool monitored);

// Extract and Save Raw: status 1 to 3, or 4 and above with a part found and
// more than one expected.
bool IsExtractable(const CSortInfo& group);

// The splitter as saved: x of `width` in percent, 47 to 53 counted as centred (0).
int SplitterPercent(int x, int width);
// The split position for a percentage (0: the middle), keeping at least
// `minSide` pixels on either side.
int SplitPosition(int percent, int width, int minSide);

// Pad Part Numbers: for each name the new name, or nothing when it stays.
// A name's number is its last run of digits that does not start the name;
// names sharing the text around it get as many digits as the longest.
std::vector<std::optional<std::string>> PaddedNames(const std::vector<std::string>& names);

// The From pattern of the multifile rename, built from the selected names.
std::string WildcardPattern(const std::vector<std::string>& names);
// True when `to` holds the same sequence of "?", "*" and "\" as `from`.
bool WildcardsAgree(std::string_view from, std::string_view to);
// The new name of `name` (a "." added when it has none) under From/To, or
// nothing when it does not match From.
std::optional<std::string> WildcardRename(std::string_view name, std::string_view from, std::string_view to);
// The text the Rename dialog refuses mismatched wildcards with.
inline constexpr std::string_view kWildcardMismatch = "Wildcard characters must match beween source and destination.";

// Find & Select: true when `text` contains `find` (wildcards "*" "?"),
// ignoring letter case unless `matchCase`.
bool FindMatches(std::string_view text, std::string_view find, bool matchCase);

// Removes one output entry from its group: the parts from its named part on
// that carry its name (a description part just before one goes with it), or,
// when none did, the parts whose subject is the name. A group left empty is
// taken out of the sort list. No file on disk is touched.
void RemoveOutput(MyCObArray& list, CSortInfo& group, const CFInfo* named, std::string_view name);

// The information lines of the properties menu of a group (the subject line
// first); `named` is the focused entry's named part or null.
struct PropertyLine
{
    int itemId; // 40021 subject, 40022 newsgroups, 40028 original name, others do nothing
    std::string text;
};
std::vector<PropertyLine> PropertyLines(const CSortInfo& group, const CFInfo* named);
// The value a property line puts on the clipboard (empty: none).
std::string PropertyClipboardText(const CSortInfo& group, const CFInfo* named, int itemId);

} // namespace zarvex
