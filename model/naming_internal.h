// Helpers shared by the naming files.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zarvex {

struct Settings;

// A name split at its last "."; the extension keeps its ".".
struct NameParts
{
    std::string stem;
    std::string ext;
};
NameParts SplitName(std::string_view name);

// `stem` cut to `limit` bytes, keeping its trailing digits.
std::string CutKeepingDigits(std::string_view stem, std::size_t limit);
// A name within the file system's limits: at most 255 bytes (the extension
// kept) and never starting with "." (a "_" goes in front).
std::string FitName(std::string name);
// `text` without the characters a file name may not hold.
std::string KeepAllowed(std::string_view text, bool force83);
// `text` with its folder separators removed (a subject is not a path).
std::string WithoutSeparators(std::string_view text);
// The cleaning steps up to the stem/extension split; the stem may be empty.
NameParts CleanNameParts(std::string_view name, bool force83, bool keepEscapes, const Settings& settings);

} // namespace zarvex
