// The test programs' one set of encoders: UU, XX and Base64 lines of any
// bytes, written from the formats' descriptions with their own alphabets so
// that a wrong decoding table in the product shows.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zarvex::test {

inline constexpr std::string_view kUUAlphabetBackquote =
    "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_";
inline constexpr std::string_view kUUAlphabetSpace =
    " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_";
inline constexpr std::string_view kXXAlphabetText =
    "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
inline constexpr std::string_view kBase64AlphabetText =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The four characters of the (up to) three bytes at `at`; missing bytes count as zero.
inline std::string EncodeGroup(std::string_view data, std::size_t at, std::string_view alphabet)
{
    unsigned v = 0;
    for (std::size_t k = at; k < at + 3; ++k)
        v = v << 8 | (k < data.size() ? static_cast<unsigned char>(data[k]) : 0u);
    return {alphabet[v >> 18 & 63], alphabet[v >> 12 & 63], alphabet[v >> 6 & 63], alphabet[v & 63]};
}

// One UU or XX line of at most 45 bytes: the count character, then groups
// of 4; the last group is padded with zero bits. No line end.
inline std::string EncodeSixBitLine(std::string_view data, std::string_view alphabet)
{
    std::string line(1, alphabet[data.size()]);
    for (std::size_t i = 0; i < data.size(); i += 3)
        line += EncodeGroup(data, i, alphabet);
    return line;
}

// `data` in lines of 45 bytes, each encoded (without line ends).
inline std::vector<std::string> EncodeSixBitLines(std::string_view data, std::string_view alphabet)
{
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < data.size(); i += 45)
        lines.push_back(EncodeSixBitLine(data.substr(i, 45), alphabet));
    return lines;
}

// UU data lines ("`" for zero) followed by the "`" line that closes the data.
inline std::vector<std::string> UuLines(std::string_view data)
{
    std::vector<std::string> lines = EncodeSixBitLines(data, kUUAlphabetBackquote);
    lines.emplace_back("`");
    return lines;
}

// Base64 of `data` in one piece, padded with "=".
inline std::string Base64Encode(std::string_view data)
{
    std::string out;
    for (std::size_t i = 0; i < data.size(); i += 3) {
        out += EncodeGroup(data, i, kBase64AlphabetText);
        const std::size_t missing = i + 3 > data.size() ? i + 3 - data.size() : 0;
        out.replace(out.size() - missing, missing, missing, '=');
    }
    return out;
}

// Base64 of `data` cut into lines of `width` characters (without line ends).
inline std::vector<std::string> Base64Lines(std::string_view data, std::size_t width = 76)
{
    const std::string all = Base64Encode(data);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < all.size(); at += width)
        lines.push_back(all.substr(at, width));
    return lines;
}

} // namespace zarvex::test
