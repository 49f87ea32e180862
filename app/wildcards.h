// File arguments with "*" or "?" that the shell left alone (quoted, or
// passed by a desktop launcher) are expanded here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zarvex {

// True when the file name part (after the last "/") holds "*" or "?".
bool HasWildcards(std::string_view arg);

// The regular files whose names match the pattern in the last component of
// `arg`, in byte order, with the folder part kept as given (none: the current
// folder). Names beginning with "." match only a pattern that begins with
// ".", as in the shell. Nothing matches when the folder cannot be read.
std::vector<std::string> ExpandWildcards(const std::string& arg);

} // namespace zarvex
