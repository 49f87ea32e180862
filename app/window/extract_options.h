// The choices of the Extract dialog and the rules behind them, kept free of
// the toolkit so they can be checked without a window.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace zarvex {

// Which output entries an extraction covers.
enum class ExtractWhich { Selected = 0, All = 1, Pattern = 2 };

struct ExtractOptions
{
    ExtractWhich which = ExtractWhich::All;
    std::string pattern;           // for ExtractWhich::Pattern: "*" and "?" wildcards
    bool skipIncomplete = false;   // "IgnoreIncomplete"
    bool overwrite = false;        // "Overwrite"
    bool appendAll = false;        // for this extraction only
    bool chooseDuplicate = false;  // kept for the program run
    std::string folder;            // "*" is the folder of each input file
    bool raw = false;              // undecoded data is saved
};

// The recent extraction folders after `folder` was chosen: it becomes the
// first, the former ones follow in their order without empty entries and
// without `folder` itself; entries beyond those written keep their values.
void PutFolderFirst(std::array<std::string, 9>& dirs, const std::string& folder);

// The rows of `names` that match `pattern` (case ignored), in order.
std::vector<int> MatchingRows(const std::vector<std::string>& names, const std::string& pattern);

// The folder typed into "&Extract to:" as the extractor takes it: "*" and
// "*/" both mean the folder of each input file; trailing slashes go
// (except for the root folder).
std::string ChosenFolder(const std::string& text);

// Whether `folder` can be extracted into without creating it: "*" or an existing folder.
bool FolderExists(const std::string& folder);

// Creates `folder` with its missing parents; false on failure.
bool CreateFolder(const std::string& folder);

} // namespace zarvex
