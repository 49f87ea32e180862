#include "app/subject_rename.h"

#include "app/ini_file.h"
#include "model/naming.h"
#include "text/ascii.h"
#include "text/subject.h"

#include <algorithm>
#include <array>
#include <ctime>

namespace zarvex {
namespace {

constexpr std::string_view kSection = "SubjectRename";
constexpr std::string_view kForbidden = "\"/\\:*?<>|";

struct FlagKey
{
    const char* key;
    bool SubjectRenameRules::*flag;
};
constexpr std::array<FlagKey, 8> kFlags = {{
    {"RemoveAngleBrackets", &SubjectRenameRules::removeAngleBrackets},
    {"RemoveSquareBrackets", &SubjectRenameRules::removeSquareBrackets},
    {"RemoveCurlyBrackets", &SubjectRenameRules::removeCurlyBrackets},
    {"RemoveSquareParens", &SubjectRenameRules::removeParens},
    {"RemoveSpaces", &SubjectRenameRules::removeSpaces},
    {"AddFilename", &SubjectRenameRules::addFilename},
    {"RemoveFilename", &SubjectRenameRules::removeFilename},
    {"RemoveTrailingDigits", &SubjectRenameRules::removeTrailingDigits},
}};

struct TextKey
{
    const char* key;
    std::string SubjectRenameRules::*text;
};
constexpr std::array<TextKey, 4> kTexts = {{
    {"StartingPosition", &SubjectRenameRules::range},
    {"RemoveChars", &SubjectRenameRules::removeChars},
    {"RemovePattern", &SubjectRenameRules::removePattern},
    {"NameFormat", &SubjectRenameRules::format},
}};

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool EndsWithNoCase(std::string_view text, std::string_view end)
{
    if (text.size() < end.size()) return false;
    text.remove_prefix(text.size() - end.size());
    for (std::size_t i = 0; i < end.size(); ++i)
        if (AsciiLower(static_cast<unsigned char>(text[i])) != AsciiLower(static_cast<unsigned char>(end[i])))
            return false;
    return true;
}

std::size_t FindNoCase(std::string_view text, std::string_view word)
{
    for (std::size_t i = 0; i + word.size() <= text.size(); ++i)
        if (EndsWithNoCase(text.substr(0, i + word.size()), word)) return i;
    return std::string_view::npos;
}

void TrimEnd(std::string& s, std::string_view chars)
{
    while (!s.empty() && chars.find(s.back()) != std::string_view::npos)
        s.pop_back();
}

// Brackets of the enabled kinds with what they hold go; of the rest only
// characters allowed in file names and not listed to drop stay.
std::string DropBracketsAndChars(std::string_view text, const SubjectRenameRules& r)
{
    const std::string open = std::string(r.removeAngleBrackets ? "<" : "") +
                             (r.removeSquareBrackets ? "[" : "") + (r.removeCurlyBrackets ? "{" : "") +
                             (r.removeParens ? "(" : "");
    std::string close;
    for (char c : open)
        close += c == '<' ? '>' : c == '[' ? ']' : c == '{' ? '}' : ')';
    std::string out;
    int depth = 0;
    for (char c : text) {
        if (open.find(c) != std::string::npos) {
            ++depth;
            continue;
        }
        if (depth > 0 && close.find(c) != std::string::npos) {
            --depth;
            continue;
        }
        const auto u = static_cast<unsigned char>(c);
        if (depth == 0 && u >= 32 && u != 127 && kForbidden.find(c) == std::string_view::npos &&
            r.removeChars.find(c) == std::string::npos)
            out += c;
    }
    return out;
}

// Size words ("123 Kbytes") and a separate trailing number go.
void DropTrailingNumbers(std::string& s)
{
    static constexpr std::array<std::string_view, 7> kSizeWords = {" k", "Kbytes", "Mbytes", "bytes",
                                                                   "Kb", "Mb",     " M"};
    for (;;) {
        TrimEnd(s, " \t\r\n");
        if (s.size() >= 2 && (s.back() == 'k' || s.back() == 'K') && IsDigit(s[s.size() - 2])) s.pop_back();
        const auto word = std::find_if(kSizeWords.begin(), kSizeWords.end(),
                                       [&](std::string_view w) { return EndsWithNoCase(s, w); });
        if (word == kSizeWords.end()) break;
        s.resize(s.size() - word->size());
        TrimEnd(s, " ,-");
        std::size_t start = s.size();
        while (start > 0 &&
               (IsDigit(s[start - 1]) || (s[start - 1] == '.' && start >= 2 && IsDigit(s[start - 2]) &&
                                          start < s.size() && IsDigit(s[start]))))
            --start;
        s.resize(start);
        TrimEnd(s, " ,-");
    }
    std::size_t start = s.size();
    while (start > 0 && (IsDigit(s[start - 1]) || s[start - 1] == '.'))
        --start;
    if (start < s.size() && start > 0 && IsBlank(s[start - 1])) s.resize(start);
}

// The file name and a double quote (straight or curly) on either side of it.
void DropFileName(std::string& s, std::string_view name)
{
    if (name.empty()) return;
    for (std::size_t at = s.find(name); at != std::string::npos; at = s.find(name, at)) {
        std::size_t from = at, to = at + name.size();
        if (from >= 1 && s[from - 1] == '"')
            from -= 1;
        else if (from >= 3 && s.compare(from - 3, 3, "\xE2\x80\x9C") == 0)
            from -= 3;
        if (to < s.size() && s[to] == '"')
            to += 1;
        else if (s.compare(to, 3, "\xE2\x80\x9D") == 0)
            to += 3;
        s.erase(from, to - from);
        at = from;
    }
}

std::string Clean(std::string_view text, const Settings& settings)
{
    return CleanName(text, false, false, settings);
}

} // namespace

SubjectRenameRules LoadSubjectRename(const IniFile& ini)
{
    SubjectRenameRules r;
    for (const FlagKey& f : kFlags)
        r.*f.flag = ini.GetInt(kSection, f.key, 0) != 0;
    for (const TextKey& t : kTexts)
        r.*t.text = ini.GetString(kSection, t.key, r.*t.text);
    return r;
}

void StoreSubjectRename(const SubjectRenameRules& r, IniFile& ini)
{
    for (const FlagKey& f : kFlags)
        ini.SetInt(kSection, f.key, r.*f.flag ? 1 : 0);
    for (const TextKey& t : kTexts)
        ini.Set(kSection, t.key, r.*t.text);
}

std::string ApplyRange(std::string_view text, std::string_view range)
{
    std::string spec;
    for (char c : range) {
        if (c == ' ' || c == '\t') continue;
        if (!IsDigit(c) && c != '-' && c != ',') break;
        spec += c;
    }
    if (spec.empty() || spec == "1") return std::string(text);
    std::string out;
    std::size_t i = 0;
    auto number = [&] {
        std::size_t n = 0;
        while (i < spec.size() && IsDigit(spec[i]))
            n = std::min<std::size_t>(n * 10 + (spec[i++] - '0'), 1u << 30);
        return n;
    };
    while (i < spec.size()) {
        const std::size_t a = number();
        std::size_t b = a;
        if (i < spec.size() && spec[i] == '-') {
            ++i;
            b = i < spec.size() && IsDigit(spec[i]) ? number() : text.size();
        }
        if (a >= 1 && a <= text.size() && b >= a)
            out.append(text.substr(a - 1, std::min(b, text.size()) - a + 1));
        while (i < spec.size() && !IsDigit(spec[i]))
            ++i;
    }
    return out;
}

std::string FormatSubject(std::string_view format, const SubjectFields& f)
{
    std::tm tm{};
    const std::time_t t = static_cast<std::time_t>(f.time);
    localtime_r(&t, &tm);
    auto two = [](int v) { return std::string(v < 10 ? "0" : "") + std::to_string(v); };
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            out += format[i];
            continue;
        }
        const char c = format[++i];
        switch (c) {
        case 's':
            out += f.subject;
            break;
        case 'f':
            out += f.fileName;
            break;
        case 'a':
            out += f.author;
            break;
        case '#':
            out += two(f.number ? (*f.number)++ : 1);
            break;
        case 'd':
            out += two(tm.tm_mday);
            break;
        case 'm':
            out += two(tm.tm_mon + 1);
            break;
        case 'h':
            out += two(tm.tm_hour);
            break;
        case 'n':
            out += two(tm.tm_min);
            break;
        case 'c':
            out += two(tm.tm_sec);
            break;
        case 'y':
            out += std::to_string(tm.tm_year + 1900);
            break;
        case '%':
            out += '%';
            break;
        default:
            out += '%', out += c;
        }
    }
    return out;
}

std::string ApplyRules(std::string_view text, std::string_view fileName, const SubjectRenameRules& r,
                       const Settings& settings)
{
    std::string s(text);
    int first = 0, second = 0, from = 0, to = 0;
    if (!r.removePattern.empty() && MatchNumbers(s, r.removePattern, &first, &second, -1, 0, &from, &to) &&
        from >= 0 && to >= from && static_cast<std::size_t>(from) < s.size())
        s.erase(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
    s = DropBracketsAndChars(s, r);
    for (std::size_t at = FindNoCase(s, "yenc"); at != std::string::npos; at = FindNoCase(s, "yenc"))
        s = Clean(s.erase(at, 4), settings);
    if (r.removeTrailingDigits) DropTrailingNumbers(s);
    if (r.removeFilename) DropFileName(s, fileName);
    if (r.addFilename && !fileName.empty() && s.find(fileName) == std::string::npos)
        s += "_" + std::string(fileName);
    if (r.removeSpaces)
        for (std::size_t at = s.find("  "); at != std::string::npos; at = s.find("  "))
            s.erase(at, 1);
    TrimEnd(s, " \t\r\n");
    s.erase(0, std::min(s.find_first_not_of(" \t\r\n"), s.size()));
    return Clean(s, settings);
}

std::string BuildSubjectName(const SubjectFields& fields, const SubjectRenameRules& rules,
                             const Settings& settings)
{
    std::string text = ApplyRange(fields.subject, rules.range);
    const bool plain =
        rules.format.empty() || (rules.format.size() == 2 && EndsWithNoCase(rules.format, "%s"));
    if (!plain) {
        SubjectFields f = fields;
        f.subject = text;
        text = FormatSubject(rules.format, f);
    }
    return ApplyRules(text, fields.fileName, rules, settings);
}

} // namespace zarvex
