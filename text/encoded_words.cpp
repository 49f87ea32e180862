// RFC 2047 encoded words in header text ("=?charset?B?...?=" and
// "=?charset?Q?...?="). Decoded words leave here as UTF-8: UTF-8 and UTF-7
// words are converted, words in other character sets are read as
// Windows-1252 unless their bytes already form valid UTF-8.
#include "text/text_utils.h"

#include "text/ascii.h"
#include "text/charsets.h"
#include "text/display_text.h"
#include "text/unicode.h"

#include <array>
#include <cstdint>
#include <optional>

namespace zarvex {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Base64 alphabet values; -1 for every other byte.
constexpr std::array<std::int8_t, 256> kBase64Values = [] {
    std::array<std::int8_t, 256> t{};
    t.fill(-1);
    constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < alphabet.size(); ++i)
        t[static_cast<unsigned char>(alphabet[i])] = static_cast<std::int8_t>(i);
    return t;
}();
static_assert(kBase64Values['A'] == 0 && kBase64Values['/'] == 63 && kBase64Values['='] == -1);

int HexValue(unsigned char c)
{
    if (IsAsciiDigit(c)) return c - '0';
    if (IsAsciiXDigit(c)) return (c | 0x20) - 'a' + 10;
    return -1;
}

// Base64 of a "B" word: characters outside the alphabet are skipped, the pad
// character ends the data, and a trailing partial group still gives its bytes.
std::string DecodeBase64Word(std::string_view text)
{
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    for (unsigned char c : text) {
        if (c == '=') break;
        const int v = kBase64Values[c];
        if (v < 0) continue;
        bits = (bits << 6) | static_cast<std::uint32_t>(v);
        if (++count == 4) {
            out += static_cast<char>(bits >> 16);
            out += static_cast<char>(bits >> 8);
            out += static_cast<char>(bits);
            bits = 0;
            count = 0;
        }
    }
    if (count >= 2) out += static_cast<char>(bits >> (count == 2 ? 4 : 10));
    if (count == 3) out += static_cast<char>(bits >> 2);
    return out;
}

// The Quoted-Printable form of headers: "_" is a blank, "=XX" a byte.
std::string DecodeQWord(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = text[i];
        if (c == '_') {
            out += ' ';
        } else if (c == '=' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// UTF-7 (RFC 2152) to UTF-8. A "+" run of Base64 carries 16-bit units;
// surrogate pairs are joined, lone surrogates become "?". UTF-7 is 7-bit:
// an 8-bit byte (a mislabelled or broken word) becomes U+FFFD, so the
// result is always valid UTF-8.
std::string Utf7ToUtf8(std::string_view text)
{
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = text[i++];
        if (c >= 0x80) {
            AppendCodePoint(out, 0xFFFD);
            continue;
        }
        if (c != '+') {
            out += static_cast<char>(c);
            continue;
        }
        if (i < text.size() && text[i] == '-') {
            out += '+';
            ++i;
            continue;
        }
        std::uint32_t bits = 0, high = 0;
        int nbits = 0;
        while (i < text.size() && kBase64Values[static_cast<unsigned char>(text[i])] >= 0) {
            bits = (bits << 6) |
                   static_cast<std::uint32_t>(kBase64Values[static_cast<unsigned char>(text[i++])]);
            nbits += 6;
            if (nbits < 16) continue;
            nbits -= 16;
            const std::uint32_t unit = (bits >> nbits) & 0xFFFF;
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                if (high) out += '?';
                high = unit;
            } else if (unit >= 0xDC00 && unit <= 0xDFFF && high) {
                AppendCodePoint(out, 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
                high = 0;
            } else {
                if (high) out += '?';
                high = 0;
                AppendCodePoint(out, unit);
            }
        }
        if (high) out += '?';
        if (i < text.size() && text[i] == '-') ++i; // the run's explicit end is consumed
    }
    return out;
}

std::string DropBoms(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text.substr(i, kBom.size()) == kBom) {
            i += kBom.size();
        } else {
            out += text[i++];
        }
    }
    return out;
}

struct EncodedWord
{
    std::string_view charset;
    char encoding = 'B';
    std::string_view payload;
    std::size_t length = 0; // from "=?" through "?="
};

// A well-formed encoded word starting at text[0] ("=?"), or nothing.
std::optional<EncodedWord> ParseEncodedWord(std::string_view text)
{
    if (text.substr(0, 2) != "=?") return std::nullopt;
    const std::size_t q1 = text.find('?', 2);
    if (q1 == std::string_view::npos || q1 + 2 >= text.size() || text[q1 + 2] != '?') return std::nullopt;
    for (std::size_t k = 2; k < q1; ++k)
        if (IsAsciiSpace(text[k])) return std::nullopt;
    const char enc = static_cast<char>(AsciiUpper(text[q1 + 1]));
    if (enc != 'B' && enc != 'Q') return std::nullopt;
    const std::size_t start = q1 + 3;
    const std::size_t end = text.find("?=", start);
    if (end == std::string_view::npos) return std::nullopt;
    EncodedWord w;
    w.charset = text.substr(2, q1 - 2);
    w.encoding = enc;
    w.payload = text.substr(start, end - start);
    w.length = end + 2;
    return w;
}

// The bytes of one word, as its encoding gives them.
std::string WordBytes(const EncodedWord& w)
{
    return w.encoding == 'B' ? DecodeBase64Word(w.payload) : DecodeQWord(w.payload);
}

// The bytes of adjacent words in one character set, made UTF-8 together (an
// encoder may split a character between two words).
std::string WordsToUtf8(const std::string& raw, std::string_view charset)
{
    if (StartsWithIgnoreCase(charset, "utf-7")) return Utf7ToUtf8(raw);
    const bool bom = std::string_view(raw).substr(0, kBom.size()) == kBom;
    if (StartsWithIgnoreCase(charset, "utf-8") || bom) {
        if (bom && raw.size() < 4) return {};
        return ToDisplayUtf8(bom ? std::string_view(raw).substr(kBom.size()) : std::string_view(raw));
    }
    return CharsetToUtf8(raw, charset);
}

} // namespace

bool LooksLikeUtf8(std::string_view text)
{
    if (text.find(kBom) != std::string_view::npos) return true;
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
        if (static_cast<unsigned char>(text[i]) == 0xE2 && static_cast<unsigned char>(text[i + 1]) >= 0x80)
            return true;
    return false;
}

bool IsEncodedWord(std::string_view text)
{
    const std::size_t open = text.find("=?");
    std::size_t close = open == std::string_view::npos ? open : text.find("?=", open + 2);
    if (open == std::string_view::npos || close == std::string_view::npos) return LooksLikeUtf8(text);
    // "?Q?=E9..." holds a "?=" that belongs to the encoded text.
    if (AsciiUpper(text[close - 1]) == 'Q' && text[close - 2] == '?') {
        close = text.find("?=", close + 2);
        if (close == std::string_view::npos) return false;
    }
    const std::size_t q1 = text.find('?', open + 2);
    if (q1 == std::string_view::npos || q1 + 2 > close) return false;
    const char enc = static_cast<char>(AsciiUpper(text[q1 + 1]));
    return (enc == 'B' || enc == 'Q') && text[q1 + 2] == '?';
}

std::string DecodeHeaderText(std::string_view src)
{
    std::string converted;
    if (LooksLikeUtf8(src)) {
        converted = ToDisplayUtf8(DropBoms(src));
        src = converted;
    }
    if (src.find("=?") == std::string_view::npos) return std::string(src);
    std::string out;
    out.reserve(src.size());
    // Words in one character set run together until another text comes.
    std::string pending;
    std::string_view pendingCharset;
    const auto flush = [&] {
        if (!pending.empty()) out += WordsToUtf8(pending, pendingCharset);
        pending.clear();
    };
    std::size_t i = 0;
    while (i < src.size()) {
        const auto word = src[i] == '=' && i + 1 < src.size() && src[i + 1] == '?' ? ParseEncodedWord(src.substr(i))
                                                                                    : std::nullopt;
        if (!word) {
            flush();
            out += src[i++];
            continue;
        }
        // "=?utf-8*en?..." names a language after the character set.
        const std::string_view charset = word->charset.substr(0, word->charset.find('*'));
        if (!EqualsIgnoreCase(charset, pendingCharset)) flush();
        pending += WordBytes(*word);
        pendingCharset = charset;
        i += word->length;
        // White space between two encoded words is no text of its own (RFC 2047, 6.2).
        std::size_t next = i;
        while (next < src.size() && IsAsciiSpace(static_cast<unsigned char>(src[next])))
            ++next;
        if (next > i && ParseEncodedWord(src.substr(next))) i = next;
    }
    flush();
    return out;
}

} // namespace zarvex
