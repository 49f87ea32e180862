#include "app/subject_rename_ini.h"

#include <array>
#include <utility>

namespace zarvex {
namespace {

using Flag = bool SubjectRenameOptions::*;
using Text = std::string SubjectRenameOptions::*;

constexpr std::array<std::pair<std::string_view, Flag>, 8> kFlags = {{
    {"RemoveAngleBrackets", &SubjectRenameOptions::RemoveAngleBrackets},
    {"RemoveSquareBrackets", &SubjectRenameOptions::RemoveSquareBrackets},
    {"RemoveCurlyBrackets", &SubjectRenameOptions::RemoveCurlyBrackets},
    {"RemoveSquareParens", &SubjectRenameOptions::RemoveSquareParens},
    {"RemoveSpaces", &SubjectRenameOptions::RemoveSpaces},
    {"AddFilename", &SubjectRenameOptions::AddFilename},
    {"RemoveFilename", &SubjectRenameOptions::RemoveFilename},
    {"RemoveTrailingDigits", &SubjectRenameOptions::RemoveTrailingDigits},
}};

constexpr std::array<std::pair<std::string_view, Text>, 4> kTexts = {{
    {"StartingPosition", &SubjectRenameOptions::StartingPosition},
    {"RemoveChars", &SubjectRenameOptions::RemoveChars},
    {"RemovePattern", &SubjectRenameOptions::RemovePattern},
    {"NameFormat", &SubjectRenameOptions::NameFormat},
}};

} // namespace

SubjectRenameOptions LoadSubjectRename(const IniFile& ini)
{
    SubjectRenameOptions options;
    for (const auto& [key, flag] : kFlags)
        options.*flag = ini.GetInt(kSubjectRenameSection, key, 0) != 0;
    for (const auto& [key, text] : kTexts)
        options.*text = ini.GetString(kSubjectRenameSection, key, options.*text);
    return options;
}

void StoreSubjectRename(const SubjectRenameOptions& options, IniFile& ini)
{
    for (const auto& [key, flag] : kFlags)
        ini.SetInt(kSubjectRenameSection, key, options.*flag ? 1 : 0);
    for (const auto& [key, text] : kTexts)
        ini.Set(kSubjectRenameSection, key, options.*text);
}

} // namespace zarvex
