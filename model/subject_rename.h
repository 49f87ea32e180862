// New output names built from message subjects: a character range, a
// substitution format and a set of removal rules, as the Rename from Subject
// dialog applies them to each selected output file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zarvex {

struct Settings;

// The dialog's options (INI section "SubjectRename").
struct SubjectRenameOptions
{
    bool RemoveAngleBrackets = false;
    bool RemoveSquareBrackets = false;
    bool RemoveCurlyBrackets = false;
    bool RemoveSquareParens = false;
    bool RemoveSpaces = false;
    bool AddFilename = false;
    bool RemoveFilename = false;
    bool RemoveTrailingDigits = false;
    std::string StartingPosition; // "1-10,20-"
    std::string RemoveChars;
    std::string RemovePattern; // a number pattern ("#", "<", ">", "?", tab)
    std::string NameFormat = "%s";
};

// One row of the dialog: what the new name is built from.
struct RenameSource
{
    std::string fileName; // the output file's current name
    std::string subject;  // the full subject of its first part, else its subject
    std::string from;     // the sender of that part
    std::int64_t time = 0; // the message date (seconds since the epoch), 0 when unknown
};

// The pieces of `text` that `range` selects ("a-b", "a", "a-", 1-based,
// separated by ","); an empty range or "1" keeps the text.
std::string ApplyRange(std::string_view text, std::string_view range);

// `format` with "%s %f %a %# %d %m %y %h %n %c %%" replaced; `number` is the
// running number of "%#", incremented at each use.
std::string Format(std::string_view format, const RenameSource& source, int& number);

// The removal rules, then trimming and cleaning into a file name. Returns an
// empty text when nothing usable is left.
std::string ApplyRules(std::string_view text, std::string_view fileName, const SubjectRenameOptions& options,
                       const Settings& settings);

// The new name of one row: ApplyRules(Format(ApplyRange(subject))), the
// format skipped when it is empty or "%s".
std::string BuildName(const RenameSource& source, const SubjectRenameOptions& options, const Settings& settings,
                      int& number);

} // namespace zarvex
