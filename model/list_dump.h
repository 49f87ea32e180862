// Plain-text views of the records: the list dump and the report.
#pragma once

#include <string>

namespace zarvex {

class MyCObArray;

bool WriteListDump(const MyCObArray* list, const std::string& path);
bool WriteReport(const MyCObArray& list, const std::string& path);
// The same texts in memory.
std::string ListDumpText(const MyCObArray* list);
std::string ReportText(const MyCObArray& list);

} // namespace zarvex
