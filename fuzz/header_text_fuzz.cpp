// Header text: encoded words (RFC 2047, UTF-7 words included), subjects,
// dates, header-line tests and the display form of names. The first byte
// chooses how the rest is wrapped and which settings apply.
#include "fuzz_support.h"

#include "text/display_text.h"
#include "text/subject.h"
#include "text/text_utils.h"

#include <string>
#include <string_view>

namespace {

using namespace zarvex;
using fuzz::Check;

// The input as an encoded word of a charset the first byte picks.
std::string Wrapped(std::string_view text, std::uint8_t how)
{
    static constexpr std::string_view kCharsets[] = {"utf-7", "utf-8", "iso-8859-1", "windows-1252", "koi8-r"};
    if ((how & 7) >= 5) return std::string(text);
    std::string word = "=?" + std::string(kCharsets[how & 7]) + ((how & 8) ? "?B?" : "?Q?");
    for (char c : text) word += c == '?' ? '_' : c;
    return word + "?= tail";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const std::uint8_t how = data[0];
    const std::string_view raw(reinterpret_cast<const char*>(data + 1), size - 1);
    const bool utf8 = IsValidUtf8(raw);

    const std::string decoded = DecodeHeaderText(Wrapped(raw, how));
    if (utf8) Check(IsValidUtf8(decoded));
    LooksLikeUtf8(decoded);
    UnescapeName(raw);

    SubjectInfo info;
    const bool numbers = ParseSubject(raw, SubjectRules{(how & 32) != 0}, info);
    Check(info.name.size() <= 255 && info.subjectWithoutNumbers.size() <= 1023);
    Check(!numbers || info.total != 0);
    // Names are cut between characters and encoded words decode to UTF-8:
    // UTF-8 in, UTF-8 out.
    if (utf8) Check(IsValidUtf8(info.name) && IsValidUtf8(info.subjectWithoutNumbers));
    int group = 0, groupTotal = 0;
    FindGroupNumbers(info.subjectWithoutNumbers, &group, &groupTotal);

    Check(ParseDate(raw) >= 0);
    const std::string line(raw.substr(0, 1023));
    IsHeaderOrSeparator(line.c_str(), static_cast<int>(line.size()), (how & 64) != 0);

    const std::string shown = ToShownText(raw);
    Check(IsValidUtf8(shown));
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const auto c = static_cast<unsigned char>(shown[i]);
        Check((c >= 0x20 || c == '\t') && c != 0x7F && c != 0xFD);
        if (c == 0xC2 && i + 1 < shown.size()) Check(static_cast<unsigned char>(shown[i + 1]) >= 0xA0);
    }
    const std::string capped = CapName(raw, how);
    Check(capped.size() <= how || raw.size() <= how);
    if (utf8) Check(IsValidUtf8(capped));
    return 0;
}
