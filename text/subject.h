// Part numbers, totals and file names from subject lines.
#pragma once

#include <string>
#include <string_view>

namespace zarvex {

// The number patterns of subject lines ("\t" is a white-space run).
namespace NumberPattern {
inline constexpr std::string_view kParen = "(#/#)";
inline constexpr std::string_view kBracketed = "<#/#>";
inline constexpr std::string_view kSpacedBracketed = "<\t#/#\t>";
inline constexpr std::string_view kOddBracketed = "</t#/#/t)"; // slash and letter t, as seen in the wild
inline constexpr std::string_view kPartSlash = "part #/#";
inline constexpr std::string_view kPartSlashNoBlank = "part#/#"; // "Part04/10", the usual source-posting style
inline constexpr std::string_view kPartNumberOnly = "part#";
inline constexpr std::string_view kUnderscored = "_#/#_";
inline constexpr std::string_view kPartOf = "part # of #";
inline constexpr std::string_view kBareSlash = "#/#";
inline constexpr std::string_view kDateGuard = " #/#/";
inline constexpr std::string_view kPartOfNoBlanks = "part#of#";
inline constexpr std::string_view kDash = " #-#";
inline constexpr std::string_view kGroupFileOf = "file\t#of#";
inline constexpr std::string_view kGroupFileSlash = "file #/#";
inline constexpr std::string_view kGroupOf = "# of #";
} // namespace NumberPattern

// Finds the last place in `text` where the number pattern matches ("#" a
// number, tab a white-space run, "?" any character, "<" and ">" brackets).
// The window [exclStart, exclStart + exclLen] (both ends included) is excluded
// when exclStart >= 0 and exclLen >= 1: pass length - 1 for a span of length bytes.
// A pattern with one "#" gives `first` and sets `second` to -1.
bool MatchNumbers(std::string_view text, std::string_view pattern, int* first, int* second, int exclStart,
                  int exclLen, int* matchStart = nullptr, int* matchEnd = nullptr);

struct SubjectInfo
{
    std::string name; // a file name found in the subject (at most 255 bytes)
    int part = -1;
    int total = -1;                    // -1 when only a part number was given ("part0")
    int altFlag = 0;                   // a second, different number pair is present
    std::string subjectWithoutNumbers; // the grouping key (at most 1,023 bytes)
};

// What of the settings subject parsing follows: the "OnlyUseLastParen" switch.
struct SubjectRules
{
    bool OnlyUseLastParen = false;
};

// Returns true when the subject carries part numbers.
bool ParseSubject(std::string_view subject, const SubjectRules& rules, SubjectInfo& out);

// Group numbers ("file 2 of 4", "[2/4]") in a subject whose part numbers were
// already removed. Numbers above 499 are no group numbers: both become -1.
bool FindGroupNumbers(std::string_view subjectWithoutNumbers, int* group, int* groupTotal);

} // namespace zarvex
