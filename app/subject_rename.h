// Rename from Subject: a new output name built from the subject of the
// file's message by removal rules, a character range and a substitution
// format. The rules are kept in the INI section "SubjectRename".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zarvex {

class IniFile;
struct Settings;

struct SubjectRenameRules
{
    bool removeAngleBrackets = false;
    bool removeSquareBrackets = false;
    bool removeCurlyBrackets = false;
    bool removeParens = false;
    bool removeSpaces = false;
    bool addFilename = false;
    bool removeFilename = false;
    bool removeTrailingDigits = false;
    std::string range;         // "StartingPosition": "1-10,20-"
    std::string removeChars;   // characters to drop
    std::string removePattern; // a number pattern whose last match is cut out
    std::string format = "%s"; // "%s %f %a %# %d %m %y %h %n %c"
};

SubjectRenameRules LoadSubjectRename(const IniFile& ini);
void StoreSubjectRename(const SubjectRenameRules& rules, IniFile& ini);

// The pieces of `text` the range names ("a-b", "a", "a-", separated by ","),
// in the order given; empty or "1": the whole text.
std::string ApplyRange(std::string_view text, std::string_view range);

// What a format's "%" sequences stand for; `number` counts the "%#" used.
struct SubjectFields
{
    std::string_view subject, fileName, author;
    std::int64_t time = 0; // the message date (seconds since 1970)
    int* number = nullptr;
};
std::string FormatSubject(std::string_view format, const SubjectFields& fields);

// The removal rules, in their order, and the final cleaning to a file name.
std::string ApplyRules(std::string_view text, std::string_view fileName, const SubjectRenameRules& rules,
                       const Settings& settings);

// The new name of one file: ApplyRules(Format(ApplyRange(subject))).
std::string BuildSubjectName(const SubjectFields& fields, const SubjectRenameRules& rules,
                             const Settings& settings);

} // namespace zarvex
