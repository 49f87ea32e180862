// Message dates ("Date:" headers and "From " lines) to local time.
#include "text/text_utils.h"

#include "text/ascii.h"

#include <ctime>
#include <limits>

namespace zarvex {
namespace {

constexpr std::string_view kMonths = "janfebmaraprmayjunjulaugsepoctnovdec";
constexpr std::size_t kMonthTextMax = 10;

// A small scanner with the habits of "%d", "%s" and literal characters of a
// scanf format: numbers and words skip leading white space, numbers saturate.
class DateScanner
{
public:
    explicit DateScanner(std::string_view text) : m_Text(text) {}

    bool Number(int& value)
    {
        SkipSpace();
        std::size_t i = m_Pos;
        bool negative = false;
        if (i < m_Text.size() && (m_Text[i] == '+' || m_Text[i] == '-')) negative = m_Text[i++] == '-';
        if (i >= m_Text.size() || !IsAsciiDigit(m_Text[i])) return false;
        long long v = 0;
        for (; i < m_Text.size() && IsAsciiDigit(m_Text[i]); ++i)
            v = std::min<long long>(std::numeric_limits<int>::max(), v * 10 + (m_Text[i] - '0'));
        value = static_cast<int>(negative ? -v : v);
        m_Pos = i;
        return true;
    }
    bool Word(std::string_view& word)
    {
        SkipSpace();
        const std::size_t start = m_Pos;
        while (m_Pos < m_Text.size() && !IsAsciiSpace(m_Text[m_Pos]))
            ++m_Pos;
        word = m_Text.substr(start, m_Pos - start);
        return !word.empty();
    }
    bool Literal(char c)
    {
        if (m_Pos >= m_Text.size() || m_Text[m_Pos] != c) return false;
        ++m_Pos;
        return true;
    }

private:
    void SkipSpace()
    {
        while (m_Pos < m_Text.size() && IsAsciiSpace(m_Text[m_Pos]))
            ++m_Pos;
    }
    std::string_view m_Text;
    std::size_t m_Pos = 0;
};

struct DateFields
{
    int day = 0, year = -1, hour = 0, minute = 0, second = 0;
    std::string_view month;
};

// "h:m:s"; missing later fields stay 0.
void ReadTime(DateScanner& s, DateFields& f)
{
    if (s.Number(f.hour) && s.Literal(':') && s.Number(f.minute) && s.Literal(':')) s.Number(f.second);
}

// Month index 0..11 from the month text; January when unknown. Full names
// ("December") count by their first three letters.
int MonthIndex(std::string_view month)
{
    const std::string lower = ToLowerAscii(month.substr(0, 3));
    if (lower.size() == 3) {
        for (std::size_t i = 0; i < kMonths.size(); i += 3)
            if (kMonths.substr(i, 3) == lower) return static_cast<int>(i / 3);
        return 0;
    }
    const std::size_t at = kMonths.find(lower);
    return at == std::string_view::npos ? 0 : static_cast<int>(at / 3);
}

bool IsValid(const DateFields& f)
{
    return f.day >= 1 && f.day <= 31 && f.year >= 1980 && f.year <= 2050 && !f.month.empty() &&
           f.month.size() <= kMonthTextMax && f.hour >= 0 && f.hour <= 23 && f.minute >= 0 &&
           f.minute <= 59 && f.second >= 0 && f.second <= 59;
}

} // namespace

std::int64_t ParseDate(std::string_view text)
{
    const std::size_t comma = text.find(',');
    if (comma != std::string_view::npos) text.remove_prefix(comma + 1);
    while (!text.empty() && (text[0] == ' ' || text[0] == '\t'))
        text.remove_prefix(1);
    if (text.size() <= 3) return 0;

    DateFields f;
    DateScanner s(text);
    if (IsAsciiDigit(text[0])) {
        // "5 Dec 2006 10:20:30 +0100" (the zone is ignored)
        if (s.Number(f.day) && s.Word(f.month) && s.Number(f.year)) ReadTime(s, f);
    } else {
        // "Dec 5 10:20:30 2006"
        if (s.Word(f.month) && s.Number(f.day)) {
            ReadTime(s, f);
            s.Number(f.year);
        }
    }
    if (f.year >= 0 && f.year < 100) f.year += f.year >= 50 ? 1900 : 2000;
    if (!IsValid(f)) return 0;

    std::tm tm{};
    tm.tm_mday = f.day;
    tm.tm_mon = MonthIndex(f.month);
    tm.tm_year = f.year - 1900;
    tm.tm_hour = f.hour;
    tm.tm_min = f.minute;
    tm.tm_sec = f.second;
    tm.tm_isdst = -1; // the system decides daylight saving
    const std::time_t t = std::mktime(&tm);
    return t == static_cast<std::time_t>(-1) ? 0 : static_cast<std::int64_t>(t);
}

} // namespace zarvex
