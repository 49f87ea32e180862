// Rename from Subject: the character range, the substitution format and the
// removal rules that turn a message subject into a file name.
#include "model/subject_rename.h"

#include "model/naming.h"
#include "model/naming_internal.h"
#include "text/ascii.h"
#include "text/subject.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <limits>

namespace zarvex {
namespace {

// Size words cut from the end by "RemoveTrailingDigits", tried in this order.
constexpr std::array<std::string_view, 7> kSizeWords = {" k", "Kbytes", "Mbytes", "bytes", "Kb", "Mb", " M"};

// Typographic double quotes (UTF-8) count as quotes around a file name too.
constexpr std::array<std::string_view, 3> kQuotes = {"\"", "\xE2\x80\x9C", "\xE2\x80\x9D"};

bool EndsWithIgnoreCase(std::string_view text, std::string_view ending)
{
    return text.size() >= ending.size() && EqualsIgnoreCase(text.substr(text.size() - ending.size()), ending);
}

void TrimRight(std::string& text, std::string_view chars)
{
    while (!text.empty() && chars.find(text.back()) != std::string_view::npos)
        text.pop_back();
}

void TrimSpaceRight(std::string& text)
{
    while (!text.empty() && IsAsciiSpace(text.back()))
        text.pop_back();
}

std::string TrimSpace(std::string_view text)
{
    while (!text.empty() && IsAsciiSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsAsciiSpace(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

// Reads a decimal number at `i`; -1 when there is none. Saturates.
long long ReadNumber(std::string_view text, std::size_t& i)
{
    if (i >= text.size() || !IsAsciiDigit(text[i])) return -1;
    long long value = 0;
    for (; i < text.size() && IsAsciiDigit(text[i]); ++i)
        value = std::min<long long>(std::numeric_limits<int>::max(), value * 10 + (text[i] - '0'));
    return value;
}

void SkipBlanks(std::string_view text, std::size_t& i)
{
    while (i < text.size() && text[i] == ' ')
        ++i;
}

// The length of the UTF-8 sequence that starts at `i` (1 for stray bytes).
std::size_t SequenceLength(std::string_view text, std::size_t i)
{
    std::size_t n = 1;
    while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80)
        ++n;
    return n;
}

// `text` without the characters listed in `chars` (whole UTF-8 sequences).
std::string DropChars(std::string_view text, std::string_view chars)
{
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = SequenceLength(text, i);
        const std::string_view one = text.substr(i, n);
        bool listed = false;
        for (std::size_t j = 0; j < chars.size() && !listed; j += SequenceLength(chars, j))
            listed = chars.substr(j, SequenceLength(chars, j)) == one;
        if (!listed) out += one;
        i += n;
    }
    return out;
}

void CutPattern(std::string& text, std::string_view pattern)
{
    if (pattern.empty()) return;
    int first = -1, second = -1, start = -1, end = -1;
    if (MatchNumbers(text, pattern, &first, &second, -1, 0, &start, &end) && start >= 0 && end > start)
        text.erase(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

// Drops the text inside the enabled kinds of brackets (one nesting depth for
// all of them) and every character a file name may not hold.
std::string DropBracketed(std::string_view text, const SubjectRenameOptions& options)
{
    std::string openers, closers;
    const auto enable = [&](bool on, char open, char close) {
        if (!on) return;
        openers += open;
        closers += close;
    };
    enable(options.RemoveAngleBrackets, '<', '>');
    enable(options.RemoveSquareBrackets, '[', ']');
    enable(options.RemoveCurlyBrackets, '{', '}');
    enable(options.RemoveSquareParens, '(', ')');

    std::string kept;
    int depth = 0;
    for (const char c : text) {
        if (openers.find(c) != std::string::npos) {
            ++depth;
            continue;
        }
        if (depth > 0 && closers.find(c) != std::string::npos) {
            --depth;
            continue;
        }
        if (depth == 0) kept += c;
    }
    return kept;
}

// A file name's characters only; `RemoveChars` dropped too.
std::string KeepNameChars(std::string_view text, std::string_view removeChars)
{
    std::string kept = KeepAllowed(text, false);
    return removeChars.empty() ? kept : DropChars(kept, removeChars);
}

void RemoveYenc(std::string& text, const Settings& settings)
{
    for (std::size_t p; (p = FindIgnoreCase(text, "yenc")) != std::string::npos;) {
        text.erase(p, 4);
        if (!TrimSpace(text).empty()) text = CleanName(text, false, false, settings);
    }
}

// Cuts a number ending the text: digits, and dots standing between digits.
void CutTrailingNumber(std::string& text)
{
    std::size_t n = text.size();
    while (n > 0) {
        const char c = text[n - 1];
        const bool dotInNumber = c == '.' && n >= 2 && IsAsciiDigit(text[n - 2]) && n < text.size() &&
                                 IsAsciiDigit(text[n]);
        if (!IsAsciiDigit(c) && !dotInNumber) break;
        --n;
    }
    text.resize(n);
}

void RemoveTrailingSize(std::string& text)
{
    for (;;) {
        TrimSpaceRight(text);
        if (text.size() >= 2 && AsciiLower(text.back()) == 'k' && IsAsciiDigit(text[text.size() - 2]))
            text.pop_back();
        bool cutWord = false;
        for (const std::string_view word : kSizeWords) {
            if (!EndsWithIgnoreCase(text, word)) continue;
            text.resize(text.size() - word.size());
            TrimRight(text, " ,-");
            CutTrailingNumber(text);
            TrimRight(text, " ,-");
            cutWord = true;
            break;
        }
        if (cutWord) continue;
        // A separate number ends the text ("Trip 2006"): only then is it cut.
        std::size_t n = text.size();
        while (n > 0 && (IsAsciiDigit(text[n - 1]) || text[n - 1] == '.'))
            --n;
        if (n < text.size() && n > 0 && IsAsciiSpace(text[n - 1])) text.resize(n);
        return;
    }
}

void RemoveFileName(std::string& text, std::string_view fileName)
{
    if (fileName.empty()) return;
    for (std::size_t p; (p = text.find(fileName)) != std::string::npos;) {
        std::size_t start = p, end = p + fileName.size();
        for (const std::string_view q : kQuotes)
            if (start >= q.size() && std::string_view(text).substr(start - q.size(), q.size()) == q) {
                start -= q.size();
                break;
            }
        for (const std::string_view q : kQuotes)
            if (std::string_view(text).substr(end, q.size()) == q) {
                end += q.size();
                break;
            }
        text.erase(start, end - start);
    }
}

void CollapseSpaces(std::string& text)
{
    for (std::size_t p; (p = text.find("  ")) != std::string::npos;)
        text.erase(p, 1);
}

} // namespace

std::string ApplyRange(std::string_view text, std::string_view range)
{
    if (range.empty() || range == "1") return std::string(text);
    const long long size = static_cast<long long>(text.size());
    std::string out;
    std::size_t i = 0;
    while (i < range.size()) {
        SkipBlanks(range, i);
        if (i < range.size() && range[i] == ',') {
            ++i;
            continue;
        }
        const long long first = ReadNumber(range, i);
        if (first < 0) break; // neither digit, "-", "," nor blank: parsing stops
        long long last = first;
        SkipBlanks(range, i);
        if (i < range.size() && range[i] == '-') {
            ++i;
            SkipBlanks(range, i);
            last = ReadNumber(range, i);
            if (last < 0) last = size;
        }
        const long long from = std::max(1LL, first);
        const long long to = std::min(size, last);
        if (from <= to) out.append(text.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(to - from + 1)));
        SkipBlanks(range, i);
        if (i < range.size() && range[i] != ',') break;
    }
    return out;
}

std::string Format(std::string_view format, const RenameSource& source, int& number)
{
    std::tm tm{};
    const std::time_t t = static_cast<std::time_t>(source.time);
    localtime_r(&t, &tm);
    const auto twoDigits = [](int value) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%02d", value);
        return std::string(buf);
    };

    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            out += format[i];
            continue;
        }
        const char code = format[++i];
        switch (code) {
        case 's': out += source.subject; break;
        case 'f': out += source.fileName; break;
        case 'a': out += source.from; break;
        case '#': out += twoDigits(number++); break;
        case 'd': out += twoDigits(tm.tm_mday); break;
        case 'm': out += twoDigits(tm.tm_mon + 1); break;
        case 'h': out += twoDigits(tm.tm_hour); break;
        case 'n': out += twoDigits(tm.tm_min); break;
        case 'c': out += twoDigits(tm.tm_sec); break;
        case 'y': out += std::to_string(tm.tm_year + 1900); break;
        case '%': out += '%'; break;
        default:
            out += '%';
            out += code;
        }
    }
    return out;
}

std::string ApplyRules(std::string_view text, std::string_view fileName, const SubjectRenameOptions& options,
                       const Settings& settings)
{
    std::string result(text);
    CutPattern(result, options.RemovePattern);
    result = KeepNameChars(DropBracketed(result, options), options.RemoveChars);
    RemoveYenc(result, settings);
    if (options.RemoveTrailingDigits) RemoveTrailingSize(result);
    if (options.RemoveFilename) RemoveFileName(result, fileName);
    if (options.AddFilename && !fileName.empty() && result.find(fileName) == std::string::npos)
        result += "_" + std::string(fileName);
    if (options.RemoveSpaces) CollapseSpaces(result);
    result = TrimSpace(result);
    // A subject that cleans down to nothing gives no name rather than a made-up one.
    return result.empty() ? result : CleanName(result, false, false, settings);
}

std::string BuildName(const RenameSource& source, const SubjectRenameOptions& options, const Settings& settings,
                      int& number)
{
    std::string text = ApplyRange(source.subject, options.StartingPosition);
    if (!options.NameFormat.empty() && !EqualsIgnoreCase(options.NameFormat, "%s")) {
        RenameSource ranged = source;
        ranged.subject = text;
        text = Format(options.NameFormat, ranged, number);
    }
    return ApplyRules(text, source.fileName, options, settings);
}

} // namespace zarvex
