#include "text/charsets.h"

#include "text/ascii.h"
#include "text/display_text.h"
#include "text/unicode.h"

#include <algorithm>
#include <array>
#include <iconv.h>

namespace zarvex {
namespace {

struct Alias
{
    std::string_view mail;  // as mail programs write it
    std::string_view iconv; // as the converter knows it
};

// Names real mail uses that the converter does not know, or knows only as
// a smaller set than the one the senders' programs really used (mail
// labelled "gb2312" is GBK, "shift_jis" and "euc-kr" come from Windows).
constexpr std::array<Alias, 22> kAliases = {{
    {"ks_c_5601-1987", "CP949"},   {"ks_c_5601", "CP949"},       {"ks_c_5601-1989", "CP949"},
    {"ksc5601", "CP949"},          {"ksc_5601", "CP949"},        {"euc-kr", "CP949"},
    {"x-windows-949", "CP949"},    {"gb2312", "GB18030"},        {"gb_2312-80", "GB18030"},
    {"x-gbk", "GB18030"},          {"gbk", "GB18030"},           {"x-sjis", "CP932"},
    {"shift_jis", "CP932"},        {"shift-jis", "CP932"},       {"sjis", "CP932"},
    {"windows-31j", "CP932"},      {"x-euc-jp", "EUC-JP"},       {"x-mac-roman", "MACINTOSH"},
    {"iso-8859-8-i", "ISO-8859-8"}, {"iso-8859-8-e", "ISO-8859-8"}, {"unicode-1-1-utf-7", "UTF-7"},
    {"x-x-big5", "BIG5"},
}};

// Names that say nothing: the bytes decide.
constexpr std::array<std::string_view, 5> kUnknown = {"x-unknown", "unknown", "unknown-8bit", "x-user-defined",
                                                       "default"};

bool IsOneOf(std::string_view charset, std::initializer_list<std::string_view> names)
{
    return std::any_of(names.begin(), names.end(), [&](std::string_view n) { return EqualsIgnoreCase(charset, n); });
}

// The system's converter; empty when it does not know the character set or
// the bytes do not convert.
std::string IconvToUtf8(std::string_view bytes, const std::string& charset)
{
    iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string out(bytes.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* dst = out.data();
    std::size_t outLeft = out.size();
    std::size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
    // Stateful sets (ISO-2022-JP) return to their initial state at the end.
    if (r != static_cast<std::size_t>(-1)) r = iconv(cd, nullptr, nullptr, &dst, &outLeft);
    iconv_close(cd);
    if (r == static_cast<std::size_t>(-1) || inLeft != 0) return {};
    out.resize(out.size() - outLeft);
    return IsValidUtf8(out) ? out : std::string();
}

std::string ConverterName(std::string_view charset)
{
    for (const Alias& alias : kAliases)
        if (EqualsIgnoreCase(charset, alias.mail)) return std::string(alias.iconv);
    return std::string(charset.substr(0, 64));
}

} // namespace

std::string CharsetToUtf8(std::string_view bytes, std::string_view charset)
{
    const bool unknown = charset.empty() || std::any_of(kUnknown.begin(), kUnknown.end(), [&](std::string_view n) {
                             return EqualsIgnoreCase(charset, n);
                         });
    if (unknown || IsOneOf(charset, {"utf-8", "utf8", "us-ascii", "ascii"}))
        return IsValidUtf8(bytes) ? std::string(bytes) : ToDisplayUtf8(bytes);
    if (IsOneOf(charset, {"iso-8859-1", "iso8859-1", "latin1", "l1"})) {
        std::string out;
        for (const char c : bytes)
            AppendCodePoint(out, static_cast<unsigned char>(c));
        return out;
    }
    if (!IsOneOf(charset, {"windows-1252", "cp1252"})) {
        std::string converted = IconvToUtf8(bytes, ConverterName(charset));
        if (!converted.empty() || bytes.empty()) return converted;
    }
    return IsValidUtf8(bytes) ? std::string(bytes) : ToDisplayUtf8(bytes);
}

} // namespace zarvex
