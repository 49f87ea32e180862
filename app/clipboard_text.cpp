#include "app/clipboard_text.h"

#include "text/ascii.h"

#include <algorithm>

namespace zarvex {
namespace {

constexpr std::size_t kLookAt = 16384;
constexpr std::size_t kLongLine = 1023;
constexpr std::size_t kWidth = 88;
constexpr std::string_view kBinHexNote = "(This file must be converted with BinHex 4.0)";

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (AsciiLower(static_cast<unsigned char>(text[i])) !=
            AsciiLower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// Where a header or note that must start its own line begins inside
// `window` (after its first character), or npos.
std::size_t OwnLineStart(std::string_view window)
{
    for (std::size_t i = 1; i < window.size(); ++i)
        if (StartsWithNoCase(window.substr(i), "Content-") || window.substr(i).starts_with(kBinHexNote))
            return i;
    return std::string_view::npos;
}

} // namespace

bool HasLongLines(std::string_view text)
{
    std::size_t start = 0;
    while (start < std::min(text.size(), kLookAt)) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        if (end - start > kLongLine) return true;
        start = end + 1;
    }
    return false;
}

std::string RewrapLongLines(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    while (!text.empty()) {
        const std::size_t lf = text.substr(0, kWidth + 2).find('\n');
        const bool cr = lf != std::string_view::npos && lf > 0 && text[lf - 1] == '\r';
        if (lf != std::string_view::npos && lf - cr <= kWidth) {
            out.append(text.substr(0, lf + 1));
            text.remove_prefix(lf + 1);
            continue;
        }
        if (text.size() <= kWidth) {
            out.append(text);
            break;
        }
        // Cut before a header that needs its own line, else at the last blank, else hard.
        const std::string_view window = text.substr(0, kWidth + 1);
        std::size_t cut = OwnLineStart(window.substr(0, kWidth));
        std::size_t skip = 0;
        if (cut == std::string_view::npos) {
            const std::size_t blank = window.rfind(' ');
            cut = blank != std::string_view::npos && blank > 0 ? blank : kWidth;
            skip = cut == blank ? 1 : 0;
        }
        const std::string_view line = text.substr(0, cut);
        out.append(line.ends_with(' ') ? line.substr(0, line.size() - 1) : line);
        out += "\r\n";
        text.remove_prefix(cut + skip);
    }
    return out;
}

} // namespace zarvex
