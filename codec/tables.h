// The decode tables of the 6-bit encodings: 256 entries each, kInvalid marks
// a byte outside the alphabet.
#pragma once

#include <array>
#include <string_view>

namespace zarvex {

inline constexpr unsigned char kInvalid = 0x7F;

namespace detail {
constexpr std::array<unsigned char, 256> TableFromAlphabet(std::string_view alphabet)
{
    std::array<unsigned char, 256> t{};
    t.fill(kInvalid);
    for (std::size_t i = 0; i < alphabet.size(); ++i)
        t[static_cast<unsigned char>(alphabet[i])] = static_cast<unsigned char>(i);
    return t;
}
constexpr std::array<unsigned char, 256> UpperTable()
{
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[c] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return t;
}
constexpr std::array<unsigned char, 256> UUTable()
{
    std::array<unsigned char, 256> t{};
    t.fill(kInvalid);
    for (int c = 32; c <= 127; ++c)
        t[c] = static_cast<unsigned char>((c - 32) & 63);
    return t;
}
} // namespace detail

inline constexpr std::string_view kXXAlphabet =
    "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
inline constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
inline constexpr std::string_view kBinHexAlphabet =
    "!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr";

inline constexpr auto kUUDecode = detail::UUTable();
inline constexpr auto kXXDecode = detail::TableFromAlphabet(kXXAlphabet);
inline constexpr auto kBase64Decode = detail::TableFromAlphabet(kBase64Alphabet);
inline constexpr auto kBinHexDecode = detail::TableFromAlphabet(kBinHexAlphabet);
// Every byte mapped to its ASCII upper-case form; only a..z change.
inline constexpr auto kUpperCase = detail::UpperTable();

static_assert(kUUDecode[' '] == 0 && kUUDecode['`'] == 0 && kUUDecode['!'] == 1 && kUUDecode['_'] == 63);
static_assert(kUUDecode['a'] == 1 && kUUDecode['~'] == 30 && kUUDecode[127] == 31 &&
              kUUDecode[31] == kInvalid);
static_assert(kXXDecode['+'] == 0 && kXXDecode['h'] == 45 && kXXDecode['z'] == 63);
static_assert(kBase64Decode['A'] == 0 && kBase64Decode['/'] == 63 && kBase64Decode['='] == kInvalid);
static_assert(kBinHexAlphabet.size() == 64 && kBinHexDecode['!'] == 0 && kBinHexDecode['r'] == 63);
static_assert(kBinHexDecode['-'] == 12 && kBinHexDecode['0'] == 13 && kBinHexDecode['7'] == kInvalid &&
              kBinHexDecode['8'] == 20);
static_assert(kBinHexDecode['@'] == 22 && kBinHexDecode['O'] == kInvalid && kBinHexDecode['['] == 47 &&
              kBinHexDecode['`'] == 48);
static_assert(kBinHexDecode['g'] == kInvalid && kBinHexDecode['n'] == kInvalid &&
              kBinHexDecode[':'] == kInvalid);
static_assert(kUpperCase['a'] == 'A' && kUpperCase['z'] == 'Z' && kUpperCase['{'] == '{' &&
              kUpperCase[0xE4] == 0xE4);

} // namespace zarvex
