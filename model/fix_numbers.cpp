// Reconciling the numbers of a subject with the numbers the encoded data
// states: "file 2 of 4 - pics (3/10)" whose yEnc header says part 3 of 10
// keeps 3/10 as part numbers and 2/4 as group numbers.
#include "model/records.h"

#include "text/ascii.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace zarvex {
namespace {

constexpr std::size_t kSubjectCap = 1023;

// Just after the last occurrence of `number` that no digit follows; npos when none.
std::size_t AfterLastNumber(std::string_view text, std::string_view number)
{
    std::size_t at = text.rfind(number);
    while (at != std::string_view::npos) {
        const std::size_t end = at + number.size();
        if (end >= text.size() || !IsAsciiDigit(text[end])) return end;
        if (at == 0) break;
        at = text.rfind(number, at - 1);
    }
    return std::string_view::npos;
}

// True when `text` begins with the numbers and letters of `wanted` (other
// characters and white space skipped on both sides, digit runs by value).
bool StartsWithNumbers(std::string_view text, std::string_view wanted)
{
    std::size_t i = 0, k = 0;
    auto skip = [](std::string_view s, std::size_t& p) {
        while (p < s.size() && !IsAsciiAlnum(s[p]))
            ++p;
    };
    auto number = [](std::string_view s, std::size_t& p) {
        long long v = 0;
        for (; p < s.size() && IsAsciiDigit(s[p]); ++p)
            v = std::min<long long>(v * 10 + (s[p] - '0'), 1LL << 40);
        return v;
    };
    for (;;) {
        skip(wanted, k);
        if (k >= wanted.size()) return true;
        skip(text, i);
        if (i >= text.size()) return false;
        if (IsAsciiDigit(wanted[k]) && IsAsciiDigit(text[i])) {
            if (number(wanted, k) != number(text, i)) return false;
        } else if (wanted[k++] != text[i++]) {
            return false;
        }
    }
}

} // namespace

bool CFInfo::FixNumbersFromData(int dataPart, int dataTotal)
{
    const std::string_view subject = m_FullSubj;
    const std::string totalText = std::to_string(dataTotal);
    const std::size_t tail = AfterLastNumber(subject, totalText);
    if (tail == std::string_view::npos) return false;

    const std::string wanted = std::to_string(dataPart) + "/" + totalText;
    for (std::size_t at = 0; at < subject.size(); ++at) {
        // Only whole digit runs: "13/10" does not hold "3/10".
        if (!IsAsciiDigit(subject[at]) || (at > 0 && IsAsciiDigit(subject[at - 1]))) continue;
        if (!StartsWithNumbers(subject.substr(at), wanted)) continue;

        std::string fixed(subject.substr(0, at));
        fixed += subject.substr(std::max(tail, at));
        SwapNumbers();
        m_Part = dataPart;
        m_Total = dataTotal;
        char former[40];
        std::snprintf(former, sizeof former, " (%d/%d)", m_Group, m_GroupTotal);
        fixed += former;
        m_FullSubj = fixed.substr(0, kSubjectCap);
        return true;
    }
    return false;
}

} // namespace zarvex
