// A comparison that reads digit runs as numbers ("part2" < "part10"), and
// fixed-width decimal text.
#include "text/text_utils.h"

#include "text/ascii.h"

namespace zarvex {
namespace {

struct Cursor
{
    std::string_view text;
    std::size_t pos = 0;
    bool AtEnd() const { return pos >= text.size(); }
    unsigned char Peek() const { return static_cast<unsigned char>(text[pos]); }
};

void SkipIgnored(Cursor& c, bool skipSpaces, bool alnumOnly)
{
    while (!c.AtEnd() && ((alnumOnly && !IsAsciiAlnum(c.Peek())) || (skipSpaces && IsAsciiSpace(c.Peek()))))
        ++c.pos;
}

// The digit run at the cursor without its leading zeros; the cursor moves past it.
std::string_view TakeDigits(Cursor& c)
{
    while (!c.AtEnd() && c.Peek() == '0')
        ++c.pos;
    const std::size_t start = c.pos;
    while (!c.AtEnd() && IsAsciiDigit(c.Peek()))
        ++c.pos;
    return c.text.substr(start, c.pos - start);
}

// Runs of any length compare by value: longer (without leading zeros) is larger.
int CompareDigitRuns(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int r = a.compare(b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

} // namespace

int NumericCompare(std::string_view a, std::string_view b, std::size_t n, bool ignoreCase, bool skipSpaces,
                   bool alnumOnly)
{
    Cursor x{a.substr(0, n)}, y{b.substr(0, n)};
    for (;;) {
        SkipIgnored(x, skipSpaces, alnumOnly);
        SkipIgnored(y, skipSpaces, alnumOnly);
        if (x.AtEnd() || y.AtEnd()) return x.AtEnd() == y.AtEnd() ? 0 : (x.AtEnd() ? -1 : 1);
        if (IsAsciiDigit(x.Peek()) && IsAsciiDigit(y.Peek())) {
            const int r = CompareDigitRuns(TakeDigits(x), TakeDigits(y));
            if (r != 0) return r;
            continue;
        }
        unsigned char cx = x.Peek(), cy = y.Peek();
        if (ignoreCase) {
            cx = AsciiLower(cx);
            cy = AsciiLower(cy);
        }
        if (cx != cy) return cx < cy ? -1 : 1;
        ++x.pos;
        ++y.pos;
    }
}

std::string IntToString(long long n, int minWidth)
{
    if (minWidth < 0 || minWidth > 16) minWidth = 0;
    unsigned long long magnitude =
        n < 0 ? 0ULL - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude);
    if (digits.size() < static_cast<std::size_t>(minWidth))
        digits.insert(0, static_cast<std::size_t>(minWidth) - digits.size(), '0');
    return n < 0 ? "-" + digits : digits;
}

} // namespace zarvex
