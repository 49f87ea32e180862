// Output file names: cleaning, made-up names, extensions, unique names.
#pragma once

#include "model/group_index.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zarvex {

class CFInfo;
class CSortInfo;
class MyCObArray;
struct Settings;

// One plain file name, valid UTF-8 (8-bit text read as Windows-1252), at
// most 255 bytes, never holding "/" or NUL, never starting with ".". A name
// left without a stem becomes "file01" (plus its extension); a device name
// ("CON", "LPT1", ...) gives an empty result, which callers replace.
std::string CleanName(std::string_view name, bool force83, bool keepEscapes, const Settings& settings);
// A name from `baseName` (made up when empty) with the type's extension,
// unique among all output names unless "NoAutoRename" is on.
std::string MakeName(MyCObArray& list, int dataType, std::string_view baseName, CFInfo* part);
// The steps of MyCObArray::AddPart that set m_DestFile.
void NameTextMessage(MyCObArray& list, CFInfo& part, CSortInfo* group);
void NameFaceImage(CFInfo& part, const Settings& settings);
// Returns true when the name changed by getting an extension; `beforeExtension`
// (when given) receives the cleaned name as it was before that.
bool FixExtension(MyCObArray& list, CFInfo& part, std::string* beforeExtension = nullptr);
// What MakeName keeps while MyCObArray::m_RenameMemo points here: where
// each search for a free suffix stopped (the suffixes before it are taken
// and stay so), and the elements of every stem of a first-given name in
// list order with the extensions of their current names (made on first
// use, kept up to date by RenameDuplicate), so that a name's siblings are
// found without a walk over every part.
struct RenameMemo
{
    struct Stem
    {
        std::vector<const CFInfo*> parts;
        std::unordered_map<std::string, int, CaseHash, CaseEqual> extensions;
    };
    std::unordered_map<std::string, int> suffixSearches;
    std::unordered_map<std::string, Stem, CaseHash, CaseEqual> byOrigStem;
    bool indexed = false;
};

// The renaming step of Evaluate for an element with PF_RENAME.
void RenameDuplicate(MyCObArray& list, CSortInfo& group, int index);
// `name` with the extension of `dataType`, cleaned again.
std::string TypedName(std::string_view name, int dataType);

} // namespace zarvex
