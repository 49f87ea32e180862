// Part numbers, totals and file names from subject lines.
#pragma once

#include <string>
#include <string_view>

namespace zarvex {

struct Settings;

// Finds the last place in `text` where the number pattern matches ("#" a
// number, tab a white-space run, "?" any character, "<" and ">" brackets).
// The window [exclStart, exclStart + exclLen] (both ends included) is excluded
// when exclStart >= 0 and exclLen >= 1.
bool MatchNumbers(std::string_view text, std::string_view pattern, int* first, int* second, int exclStart,
                  int exclLen, int* matchStart = nullptr, int* matchEnd = nullptr);

struct SubjectInfo {
    std::string name;                  // a file name found in the subject
    int part = -1;
    int total = -1;
    int altFlag = 0;                   // a second, different number pair is present
    std::string subjectWithoutNumbers; // the grouping key
};

// Returns true when the subject carries part numbers.
bool ParseSubject(std::string_view subject, const Settings& settings, SubjectInfo& out);

} // namespace zarvex
