// The number-pattern matcher shared by subject parsing, group numbers and
// renaming from subjects.
#include "text/subject.h"

#include "text/ascii.h"

#include <algorithm>
#include <array>

namespace zarvex {
namespace {

constexpr int kNumberCap = 999'999'999; // digit runs saturate here

struct Window
{
    int first = -1;
    int last = -1;
    bool Contains(int i) const { return first >= 0 && i >= first && i <= last; }
};

constexpr bool IsOpening(unsigned char c)
{
    return c == '(' || c == '[' || c == '{' || c == '<';
}
constexpr bool IsClosing(unsigned char c)
{
    return c == ')' || c == ']' || c == '}' || c == '>';
}

bool CanStartAt(unsigned char textChar, unsigned char patternChar)
{
    return patternChar == '#' || patternChar == '?' || patternChar == '<' || patternChar == '>' ||
           AsciiUpper(textChar) == AsciiUpper(patternChar);
}

// Matches the pattern at `pos`. Returns the offset after the match, or -1.
int MatchAt(std::string_view text, std::string_view pattern, int pos, const Window& excl,
            std::array<int, 2>& numbers, int& count)
{
    const int size = static_cast<int>(text.size());
    count = 0;
    int i = pos;
    for (const char pc : pattern) {
        if (i >= size || excl.Contains(i)) return -1;
        const unsigned char c = text[static_cast<std::size_t>(i)];
        auto before = [&] {
            return i > 0 ? static_cast<unsigned char>(text[static_cast<std::size_t>(i - 1)]) : 0;
        };
        if (pc == '#') {
            if (!IsAsciiDigit(c) || (i > 0 && IsAsciiDigit(before()))) return -1;
            long long value = 0;
            while (i < size && IsAsciiDigit(text[static_cast<std::size_t>(i)])) {
                if (excl.Contains(i)) return -1;
                value =
                    std::min<long long>(kNumberCap, value * 10 + (text[static_cast<std::size_t>(i)] - '0'));
                ++i;
            }
            if (count < 2) numbers[static_cast<std::size_t>(count)] = static_cast<int>(value);
            ++count;
        } else if (pc == '\t') {
            if (!IsAsciiSpace(c) || (i > 0 && IsAsciiSpace(before()))) return -1;
            while (i < size && IsAsciiSpace(text[static_cast<std::size_t>(i)])) {
                if (excl.Contains(i)) return -1;
                ++i;
            }
        } else {
            const bool ok = pc == '?' || (pc == '<' && IsOpening(c)) || (pc == '>' && IsClosing(c)) ||
                            (pc != '<' && pc != '>' && AsciiUpper(c) == AsciiUpper(pc));
            if (!ok) return -1;
            ++i;
        }
    }
    return i;
}

} // namespace

bool MatchNumbers(std::string_view text, std::string_view pattern, int* first, int* second, int exclStart,
                  int exclLen, int* matchStart, int* matchEnd)
{
    if (!first || !second || pattern.empty() || text.empty()) return false;
    const int hashes = static_cast<int>(std::count(pattern.begin(), pattern.end(), '#'));
    Window excl;
    if (exclStart >= 0 && exclLen >= 1) excl = {exclStart, exclStart + exclLen};
    for (int pos = static_cast<int>(text.size()) - 1; pos >= 0; --pos) {
        if (excl.Contains(pos) || !CanStartAt(text[static_cast<std::size_t>(pos)], pattern[0])) continue;
        std::array<int, 2> numbers{-1, -1};
        int count = 0;
        const int end = MatchAt(text, pattern, pos, excl, numbers, count);
        if (end < 0) continue;
        const bool complete = count == 2 || (count == 0 && hashes == 0) || (count == 1 && hashes == 1);
        if (!complete) continue;
        *first = numbers[0];
        *second = count == 2 ? numbers[1] : -1;
        if (matchStart) *matchStart = pos;
        if (matchEnd) *matchEnd = end;
        return true;
    }
    return false;
}

bool FindGroupNumbers(std::string_view subjectWithoutNumbers, int* group, int* groupTotal)
{
    static constexpr std::array<std::string_view, 4> kGroupPatterns = {
        NumberPattern::kBracketed, NumberPattern::kGroupFileOf, NumberPattern::kGroupFileSlash,
        NumberPattern::kGroupOf};
    if (!group || !groupTotal) return false;
    *group = *groupTotal = -1;
    for (const std::string_view pattern : kGroupPatterns) {
        int g = -1, t = -1;
        if (!MatchNumbers(subjectWithoutNumbers, pattern, &g, &t, -1, 0)) continue;
        if (g > 499 || t > 499) return false;
        *group = g;
        *groupTotal = t;
        return true;
    }
    return false;
}

} // namespace zarvex
