// The one-pass scanner: reads one input file and hands every section it
// finds to the sort list as a part record.
#pragma once

#include <cstdint>
#include <string>

namespace zarvex {

class Host;
class MyCObArray;
struct RunContext;
struct Settings;

// Returns the number of parts the sort list accepted (0 when the file cannot
// be opened or holds nothing); after a failure, minus that number or -1.
// `startPos`/`startLine` (may be null): where to resume; on return, where the
// scan stopped. `stopPos` (0 = none): no line reaching past it is processed.
int ScanFile(const std::string& path, MyCObArray& sortList, const Settings& settings, RunContext& run, Host& host,
             std::int64_t* startPos = nullptr, std::int64_t* startLine = nullptr, std::uint64_t stopPos = 0);

} // namespace zarvex
