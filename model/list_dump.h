// Plain-text views of the records: the list dump and the report.
#pragma once

#include <string>
#include <vector>

namespace zarvex {

class CFInfo;
class CSortInfo;
class MyCObArray;

bool WriteListDump(const MyCObArray* list, const std::string& path);
bool WriteReport(const MyCObArray& list, const std::string& path);
// The same texts in memory.
std::string ListDumpText(const MyCObArray* list);
std::string ReportText(const MyCObArray& list);
// The missing-part text of an output ("2,3,5-9"): every gap among the part
// numbers present, from part 1 up to `expected`; empty when none is missing.
std::string MissingPartList(const std::vector<int>& present, int expected);
// Why the output written from `parts` (those of one output of `group`) lacks
// what its posting announces: parts missing, data cut off before their end,
// fewer bytes than its yEnc header gives; "" when nothing is known missing.
std::string IncompleteReason(const CSortInfo& group, const std::vector<const CFInfo*>& parts);

} // namespace zarvex
