// Plain-text views of the records: the list dump and the report.
#pragma once

#include <string>
#include <vector>

namespace zarvex {

class MyCObArray;

bool WriteListDump(const MyCObArray* list, const std::string& path);
bool WriteReport(const MyCObArray& list, const std::string& path);
// The same texts in memory.
std::string ListDumpText(const MyCObArray* list);
std::string ReportText(const MyCObArray& list);
// The missing-part text of an output ("2,3,5-9"): every gap among the part
// numbers present, from part 1 up to `expected`; empty when none is missing.
std::string MissingPartList(const std::vector<int>& present, int expected);

} // namespace zarvex
