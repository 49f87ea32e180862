// Wildcard matching: "*" any run, "?" any character, "/" quotes the next one.
#pragma once

namespace zarvex {

// 1 match, 0 mismatch, -1 the text ended before the pattern. Both zero-terminated.
int WildMatch(const char* text, const char* pattern, bool ignoreCase);

} // namespace zarvex
