// Cleaning a name from a message into one plain file name.
#include "model/naming.h"

#include "codec/base64.h"
#include "model/naming_internal.h"
#include "model/settings.h"
#include "text/ascii.h"
#include "text/display_text.h"
#include "text/text_utils.h"

#include <array>

namespace zarvex {
namespace {

constexpr std::size_t kNameLimit = 255; // bytes in one file name
constexpr std::size_t kStemLimit = 256; // a stem longer than this ...
constexpr std::size_t kStemCut = 236;   // ... is cut to this

constexpr std::string_view kForbidden = "\"/\\:*?<>|";
constexpr std::string_view kForbidden83 = "\"*+,/:;<=>?[\\]|";

constexpr std::array<std::string_view, 4> kDevices = {"CON", "PRN", "AUX", "NUL"};

bool IsAllowed(unsigned char c, bool force83)
{
    if (force83)
        return c > 32 && c < 127 && kForbidden83.find(static_cast<char>(c)) == std::string_view::npos;
    return c >= 32 && c != 127 && kForbidden.find(static_cast<char>(c)) == std::string_view::npos;
}

bool IsDeviceName(std::string_view name)
{
    for (std::string_view device : kDevices)
        if (EqualsIgnoreCase(name, device)) return true;
    return name.size() == 4 && (StartsWithIgnoreCase(name, "COM") || StartsWithIgnoreCase(name, "LPT")) &&
           IsAsciiDigit(name[3]);
}

// Only the text after the last folder separator, unless that ends the name.
std::string_view StripFolders(std::string_view name)
{
    const std::size_t p = name.find_last_of("\\/");
    return p != std::string_view::npos && p + 1 < name.size() ? name.substr(p + 1) : name;
}

bool IsBase64Char(unsigned char c)
{
    return IsAsciiAlnum(c) || c == '+' || c == '/';
}

// A word ending in "==" that decodes to text replaces itself by that text.
std::string DecodeBase64Word(const std::string& stem)
{
    const std::size_t pad = stem.find("==", 1);
    if (pad == std::string::npos) return stem;
    std::size_t start = pad;
    while (start > 0 && !IsAsciiSpace(stem[start - 1]))
        --start;
    const std::size_t end = pad + 2;
    const std::string word = stem.substr(start, end - start);
    if (word.size() % 4 != 0 || word.size() < 4) return stem;
    for (std::size_t i = 0; i < pad - start; ++i)
        if (!IsBase64Char(word[i])) return stem;
    std::string bytes(word.size(), '\0');
    const int n = PeekDecodeBase64(word.c_str(), reinterpret_cast<unsigned char*>(bytes.data()),
                                   static_cast<int>(word.size()), static_cast<int>(bytes.size()), true);
    if (n <= 0) return stem;
    bytes.resize(static_cast<std::size_t>(n));
    for (unsigned char c : bytes)
        if (c < 32 || c == 127) return stem;
    return stem.substr(0, start) + bytes + stem.substr(end);
}

} // namespace

std::string CutKeepingDigits(std::string_view stem, std::size_t limit)
{
    if (stem.size() <= limit) return std::string(stem);
    std::size_t digits = 0;
    while (digits < stem.size() && digits < limit && IsAsciiDigit(stem[stem.size() - 1 - digits]))
        ++digits;
    const std::string_view head = stem.substr(0, stem.size() - digits);
    return std::string(head.substr(0, Utf8CutPoint(head, limit - digits))) +
           std::string(stem.substr(stem.size() - digits));
}

std::string KeepAllowed(std::string_view text, bool force83)
{
    std::string kept;
    for (unsigned char c : text)
        if (IsAllowed(c, force83)) kept += static_cast<char>(c);
    return kept;
}

std::string WithoutSeparators(std::string_view text)
{
    std::string out;
    for (char c : text)
        if (c != '/' && c != '\\') out += c;
    return out;
}

NameParts SplitName(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return {std::string(name), std::string()};
    return {std::string(name.substr(0, dot)), std::string(name.substr(dot))};
}

std::string FitName(std::string name)
{
    if (name.empty()) return name;
    if (name[0] == '.') name.insert(0, "_");
    if (name.size() <= kNameLimit) return name;
    NameParts parts = SplitName(name);
    if (parts.ext.size() > kNameLimit / 2) parts = {name, std::string()};
    return CutKeepingDigits(parts.stem, kNameLimit - parts.ext.size()) + parts.ext;
}

NameParts CleanNameParts(std::string_view name, bool force83, bool keepEscapes, const Settings& settings)
{
    force83 = force83 || settings.Force8;
    std::string text(StripFolders(name));
    if ((settings.DecodeUTF8 || settings.StripPercent) && !keepEscapes) text = UnescapeName(text);
    std::string kept = KeepAllowed(ToDisplayUtf8(text), force83);
    while (!kept.empty() && kept.back() == '.')
        kept.pop_back();
    if (force83) {
        const std::size_t last = kept.rfind('.');
        for (std::size_t i = 0; i < kept.size(); ++i)
            if (kept[i] == '.' && i != last) kept[i] = '_';
    }
    NameParts parts = SplitName(kept);
    if (settings.Force8) {
        parts.ext = parts.ext.substr(0, 4);
        if (parts.stem.size() >= 9) parts.stem = CutKeepingDigits(parts.stem, 8);
    } else if (parts.stem.size() > kStemLimit) {
        parts.stem = CutKeepingDigits(parts.stem, kStemCut);
    }
    return {parts.stem, parts.ext};
}

std::string CleanName(std::string_view name, bool force83, bool keepEscapes, const Settings& settings)
{
    NameParts parts = CleanNameParts(name, force83, keepEscapes, settings);
    if (parts.stem.empty()) parts.stem = "file01";
    if (parts.stem.find("==", 1) != std::string::npos) {
        const std::string decoded = DecodeBase64Word(parts.stem);
        // The decoded text is cleaned like any name (it may hold "/" or dots).
        if (decoded != parts.stem) return CleanName(decoded + parts.ext, force83, true, settings);
    }
    std::string result = parts.stem + parts.ext;
    if (IsDeviceName(result)) return std::string();
    return FitName(std::move(result));
}

} // namespace zarvex
