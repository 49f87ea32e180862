// Subject lines: part numbers, the part count, a file name, and the subject
// with the numbers taken out (the key on which parts are grouped).
#include "text/subject.h"

#include "text/ascii.h"
#include "text/display_text.h"
#include "text/text_utils.h"

#include <algorithm>
#include <array>

namespace zarvex {
namespace {

constexpr std::size_t kLineCap = 1023; // fixed line buffers hold 1,023 bytes of text
constexpr std::size_t kNameCap = 255;  // longest file name

struct Span
{
    int start = -1;
    int length = 0;
    bool Found() const { return start >= 0; }
    int End() const { return start + length; }
};

struct QuotedName
{
    bool kept = false;     // exactly two quotes, and no "(n/m)" between them
    std::string_view text; // between the quotes
};

struct NumberMatch
{
    int part = -1;
    int total = -1;
    int start = -1;
    int end = -1;
    std::string_view pattern;
    bool Found() const { return start >= 0; }
};

int Size(std::string_view s)
{
    return static_cast<int>(s.size());
}
unsigned char At(std::string_view s, int i)
{
    return static_cast<unsigned char>(s[static_cast<std::size_t>(i)]);
}

// Bytes of 0x80 and above count as letters, so UTF-8 names stay whole words.
bool IsLetterOrDigit(unsigned char c)
{
    return IsAsciiAlnum(c) || c >= 0x80;
}
bool IsNameChar(unsigned char c)
{
    return IsLetterOrDigit(c) ||
           std::string_view("-+&_.!~#%").find(static_cast<char>(c)) != std::string_view::npos;
}

std::string Capped(std::string_view s, std::size_t cap)
{
    return std::string(CapText(s, cap));
}

// Step 1 and the leading blanks, tabs and dashes of step 2.
std::string WorkText(std::string_view subject)
{
    std::string text(subject);
    if (IsEncodedWord(subject)) {
        std::string decoded = DecodeHeaderText(subject);
        if (!decoded.empty() && decoded.size() <= kLineCap) text = std::move(decoded);
    }
    const std::size_t skip = text.find_first_not_of(" \t-");
    text.erase(0, skip == std::string::npos ? text.size() : skip);
    if (text.size() > kLineCap) text.resize(kLineCap);
    return text;
}

int SkipPrefix(std::string_view w, int pos, std::string_view prefix)
{
    if (!StartsWithIgnoreCase(w.substr(static_cast<std::size_t>(pos)), prefix)) return pos;
    pos += Size(prefix);
    while (pos < Size(w) &&
           std::string_view(" \t:-").find(w[static_cast<std::size_t>(pos)]) != std::string_view::npos)
        ++pos;
    return pos;
}

// Where the name search starts: after "repost" and "re:".
int BodyStart(std::string_view w)
{
    return SkipPrefix(w, SkipPrefix(w, 0, "repost"), "re:");
}

// Step 3: a name between exactly two double quotes.
Span FindQuotedName(std::string_view w, int body, QuotedName& quoted)
{
    const std::string_view rest = w.substr(static_cast<std::size_t>(body));
    if (std::count(rest.begin(), rest.end(), '"') != 2) return {};
    const int q1 = body + static_cast<int>(rest.find('"'));
    const int q2 = static_cast<int>(w.find('"', static_cast<std::size_t>(q1) + 1));
    quoted.text = w.substr(static_cast<std::size_t>(q1) + 1, static_cast<std::size_t>(q2 - q1 - 1));
    quoted.kept = true;
    int a = 0, b = 0;
    if (MatchNumbers(quoted.text, NumberPattern::kParen, &a, &b, -1, 0)) {
        quoted.kept = false;
        return {};
    }
    if (quoted.text.size() >= 3 && quoted.text.find('.') != std::string_view::npos)
        return {q1 + 1, Size(quoted.text)};
    return {};
}

// A word with one or two inner dots, not starting or ending with a dot.
bool LooksLikeFileName(std::string_view word)
{
    if (word.empty() || word.front() == '.' || word.back() == '.') return false;
    int dots = 0;
    for (std::size_t k = 1; k + 1 < word.size(); ++k)
        if (word[k] == '.' && word[k - 1] != '.' && word[k + 1] != '.') ++dots;
    return dots == 1 || dots == 2;
}

// Step 4: the last word of the subject that looks like a file name; web
// addresses ("http://host.tld", "/www.host.tld") are no names.
Span FindWordName(std::string_view w, int body)
{
    int end = Size(w) - 1;
    while (end >= body && IsAsciiSpace(At(w, end)))
        --end;
    while (end >= body) {
        int stop = end;
        while (stop >= body && IsNameChar(At(w, stop)))
            --stop;
        const int first = stop + 1;
        const std::string_view word =
            w.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(end - first + 1));
        int resume = stop; // the scan goes on before this offset
        if (LooksLikeFileName(word)) {
            const bool slash = stop >= body && w[static_cast<std::size_t>(stop)] == '/';
            if (slash && stop >= 6 &&
                EqualsIgnoreCase(w.substr(static_cast<std::size_t>(stop) - 6, 7), "http://"))
                resume = stop - 6;
            else if (!(slash && StartsWithIgnoreCase(word, "www.")))
                return {first, Size(word)};
        }
        end = resume - 1;
        while (end >= body && !IsLetterOrDigit(At(w, end)))
            --end;
    }
    return {};
}

// The date guard: " 12/24/" is a date, not part 12 of 24. The tail of a full
// date ("12/24/03" read as 24/03) is a date as well.
bool IsDate(std::string_view w, const NumberMatch& m)
{
    int a = -1, b = -1, start = -1, end = -1;
    if (!MatchNumbers(w, NumberPattern::kDateGuard, &a, &b, -1, 0, &start, &end)) return false;
    const bool sameNumbers = a == m.part && b == m.total;
    const bool overlaps = start < m.end && m.start < end;
    return sameNumbers || overlaps;
}

// Step 5: the first pattern that matches, in order of trust.
NumberMatch FindNumbers(std::string_view w, const Span& excl)
{
    // "part#/#" comes before "part#": otherwise "Part04/10" is read as part 4
    // of an unknown count, fails, and the slash pair is never looked at.
    static constexpr std::array<std::string_view, 11> kPatterns = {
        NumberPattern::kParen,          NumberPattern::kBracketed,         NumberPattern::kOddBracketed,
        NumberPattern::kPartSlash,      NumberPattern::kPartSlashNoBlank,  NumberPattern::kPartNumberOnly,
        NumberPattern::kUnderscored,    NumberPattern::kPartOf,            NumberPattern::kBareSlash,
        NumberPattern::kPartOfNoBlanks, NumberPattern::kDash};
    const int exclStart = excl.Found() ? excl.start : -1;
    const int exclLen = excl.Found() ? excl.length - 1 : 0;
    for (const std::string_view pattern : kPatterns) {
        NumberMatch m;
        if (!MatchNumbers(w, pattern, &m.part, &m.total, exclStart, exclLen, &m.start, &m.end)) continue;
        m.pattern = pattern;
        if (pattern == NumberPattern::kBareSlash && IsDate(w, m)) return {};
        return m;
    }
    return {};
}

// Step 6: another, different pair before the last "(n/m)".
int SecondPairFlag(std::string_view w, const Span& excl, const NumberMatch& m)
{
    std::string copy(w);
    std::fill(copy.begin() + m.start, copy.begin() + m.end, ' ');
    const int exclStart = excl.Found() ? excl.start : -1;
    const int exclLen = excl.Found() ? excl.length - 1 : 0;
    int a = -1, b = -1;
    if (MatchNumbers(copy, NumberPattern::kParen, &a, &b, exclStart, exclLen))
        return (a != m.part || b != m.total) && b != 1 && a <= b ? 1 : 0;
    if (MatchNumbers(copy, NumberPattern::kSpacedBracketed, &a, &b, exclStart, exclLen))
        return a != m.part || b != m.total ? 1 : 0;
    return 0;
}

// Drops a leading "v..." word ("Vol 3 pictures" gives "3 pictures").
std::string DropVolumeWord(std::string name)
{
    if (name.empty() || AsciiUpper(name[0]) != 'V') return name;
    std::size_t k = 0;
    while (k < name.size() && !IsAsciiSpace(name[k]))
        ++k;
    while (k < name.size() && IsAsciiSpace(name[k]))
        ++k;
    if (k < name.size()) name.erase(0, k);
    return name;
}

// Step 8: without a file name, the name is the subject's text around the numbers.
std::string NameFromSubject(std::string_view w, int body, int textEnd, const NumberMatch& m)
{
    std::string name;
    if (m.start <= 1) {
        // The character after the numbers is passed over: in UTF-8 text all of it.
        int k = m.end + 1;
        if (IsValidUtf8(w))
            while (k < textEnd && (static_cast<unsigned char>(At(w, k)) & 0xC0) == 0x80)
                ++k;
        while (k < textEnd && IsAsciiSpace(At(w, k)))
            ++k;
        if (k < textEnd) name = w.substr(static_cast<std::size_t>(k), static_cast<std::size_t>(textEnd - k));
    } else {
        int k = m.start - 1;
        while (k >= body && IsAsciiSpace(At(w, k)))
            --k;
        if (k >= body)
            name = w.substr(static_cast<std::size_t>(body), static_cast<std::size_t>(k - body + 1));
    }
    return CapName(DropVolumeWord(std::move(name)), kNameCap);
}

// Step 9: the subject without the matched numbers.
std::string WithoutNumbers(std::string_view w, const NumberMatch& m, const Span& name)
{
    std::string out;
    if (!m.Found()) {
        out = w;
    } else {
        out = w.substr(0, static_cast<std::size_t>(m.start));
        const int tailEnd = name.Found() && name.start >= m.end ? name.End() : Size(w);
        out +=
            w.substr(static_cast<std::size_t>(m.end), static_cast<std::size_t>(std::max(0, tailEnd - m.end)));
    }
    // "v2: name" loses its version prefix.
    if (out.size() > 1 && AsciiUpper(out[0]) == 'V' && IsAsciiDigit(out[1])) {
        const std::size_t k = out.find_first_of(": \t\r\n\v\f", 1);
        if (k != std::string::npos && out[k] == ':' && k + 1 < out.size() && out[k + 1] == ' ')
            out.erase(0, k + 2);
    }
    return Capped(out, kLineCap - 1);
}

bool ParseAtDepth(std::string_view subject, const SubjectRules& rules, SubjectInfo& out, int depth)
{
    out = SubjectInfo{};
    const std::string work = WorkText(subject);
    const std::string_view w = work;
    const int body = BodyStart(w);

    QuotedName quoted;
    Span name = FindQuotedName(w, body, quoted);
    if (!name.Found()) name = FindWordName(w, body);
    if (name.Found())
        out.name = CapName(
            w.substr(static_cast<std::size_t>(name.start), static_cast<std::size_t>(name.length)), kNameCap);

    NumberMatch m = FindNumbers(w, name);
    if (m.Found() && m.pattern == NumberPattern::kParen && !rules.OnlyUseLastParen)
        out.altFlag = SecondPairFlag(w, name, m);

    int textEnd = Size(w);
    while (textEnd > 0 && (w[static_cast<std::size_t>(textEnd) - 1] == '\r' ||
                           w[static_cast<std::size_t>(textEnd) - 1] == '\n'))
        --textEnd;
    NumberMatch span = m;
    if (!span.Found()) span.start = span.end = textEnd;
    if (!name.Found()) out.name = NameFromSubject(w, body, textEnd, span);
    out.subjectWithoutNumbers = WithoutNumbers(w, m, name);

    if (m.Found() && m.part != -1 && m.total != 0 && m.part <= m.total + 1) {
        out.part = m.part;
        out.total = m.total;
        return true;
    }

    // The numbers may hide inside a quoted name: parse it once more, one level deep.
    if (!quoted.kept || depth > 0) return false;
    SubjectInfo inner;
    if (!ParseAtDepth(quoted.text, rules, inner, depth + 1)) return false;
    out.part = inner.part;
    out.total = inner.total;
    out.name = CapName(inner.subjectWithoutNumbers, kNameCap);
    const std::size_t at = w.find(quoted.text);
    if (at != std::string_view::npos) {
        std::string key(w.substr(0, at));
        key += inner.subjectWithoutNumbers;
        key += w.substr(at + quoted.text.size());
        out.subjectWithoutNumbers = Capped(key, kLineCap - 1);
    }
    return true;
}

} // namespace

bool ParseSubject(std::string_view subject, const SubjectRules& rules, SubjectInfo& out)
{
    return ParseAtDepth(subject, rules, out, 0);
}

} // namespace zarvex
