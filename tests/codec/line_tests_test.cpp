#include "codec/line_tests.h"
#include "text/wild_match.h"

#include "codec/tables.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace zarvex {
namespace {

// A string of `n` characters cycling through `alphabet`.
std::string Cycle(std::string_view alphabet, int n, int start = 0)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += alphabet[(start + i) % alphabet.size()];
    return s;
}

// Characters that are in both the UU and the Base64 alphabet, upper case only.
constexpr std::string_view kUUAndBase64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+/";

const auto Len = [](const std::string& s) { return static_cast<int>(s.size()); };

TEST(IsUULine, LengthCountAlphabetAndStrictness)
{
    const std::string full = "M" + Cycle(kUUAndBase64, 60);
    std::string lower = full + "\n";
    lower[10] = 'q'; // lower case passes only the loose test
    // clang-format off
    const struct { std::string line; bool strict, loose; } cases[] = {
        {full + "\n", true, true}, {full + "\r\n", true, true}, {full + "ABC\n", true, true},
        {full + "ABCD\n", false, true}, {full.substr(0, 58) + "\n", true, true}, // three blanks stripped
        {full.substr(0, 57) + "\n", false, false}, {lower, false, true},
        {"`\n", true, true}, {" \n", true, true}, {"#0V%T\n", true, true}, {"#0\n", true, true}, {"#\n", false, false},
        {"\n", false, false}, {"", false, false}, {"\tabc\n", false, false}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(std::pair(IsUULine(c.line.c_str(), Len(c.line), true),
                            IsUULine(c.line.c_str(), Len(c.line), false)),
                  std::pair(c.strict, c.loose))
            << c.line;
    for (int bad : {9, 0, 0x80, 0xFF}) {
        std::string copy = full + "\n";
        copy[30] = static_cast<char>(bad);
        EXPECT_FALSE(IsUULine(copy.c_str(), Len(copy), false)) << bad;
    }
}

// XX: the count announces at least n*4/3 bytes, count included. Base64: "="
// may be followed by at most four characters, trailing white space is
// dropped, a blank line with CR LF holds no data, and there is no length
// condition. BinHex: a line of 65 allows blanks.
TEST(LineTests, XXBase64AndBinHexLines)
{
    const std::string xx = "h" + Cycle(kXXAlphabet, 60), hqx = Cycle(kBinHexAlphabet, 70);
    std::string blank = hqx.substr(0, 64) + "\n";
    blank[10] = ' ';
    using LineTest = bool (*)(const char*, int);
    const LineTest isXX = &IsXXLine, isB64 = &IsBase64Line, isHqx = &IsBinHexLine;
    // clang-format off
    const struct { LineTest test; std::string line; bool want; } cases[] = {
        {isXX, xx + "\n", true}, {isXX, xx.substr(0, 60) + "\n", true}, {isXX, xx.substr(0, 59) + "\n", false},
        {isXX, xx + "=\n", false}, {isXX, "\n", false}, {isXX, "+\n", true},
        {isB64, "QUJ=\n", true}, {isB64, "QQ==\r\n", true}, {isB64, "QU=JDEFG\n", false}, {isB64, "QU=JDEF\n", true},
        {isB64, "QUJD  \t\n", true}, {isB64, "QU JD\n", false}, {isB64, "\n", false}, {isB64, "", false},
        {isB64, "QUJD-\n", false}, {isB64, "=\n", true}, {isB64, "\r\n", false}, {isB64, "\r", false},
        {isB64, "Q\n", true}, {isB64, Cycle(kBase64Alphabet, 500) + "\n", true},
        {isHqx, hqx.substr(0, 64) + "\n", true}, {isHqx, ":" + hqx.substr(0, 63) + "\n", true}, {isHqx, ":\n", true},
        {isHqx, "abc:\n", false}, {isHqx, hqx.substr(0, 30) + ":\n", false}, {isHqx, "\n", false},
        {isHqx, hqx.substr(0, 65) + "\n", true}, {isHqx, hqx.substr(0, 66) + "\n", false},
        {isHqx, ":" + hqx + "\n", true}, {isHqx, blank, true}, {isHqx, blank.substr(0, 20) + "\n", false},
        {isHqx, "ABCO\n", false}, {isHqx, std::string("AB\0??\n", 6), true}, {isHqx, "AB\r\n", true}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(c.test(c.line.c_str(), Len(c.line)), c.want)
            << (c.test == isXX ? "XX: " : c.test == isB64 ? "Base64: " : "BinHex: ") << c.line;
}

TEST(ClassifyDataLine, KindsAndTheirPrecedence)
{
    const std::string uu = "M" + Cycle(kUUAndBase64, 60) + "\n";
    std::string uuLower = uu;
    uuLower[5] = 'k'; // not strict UU any more
    const std::string lostBlanks = "M" + Cycle("!\"#$%&'()*,-.;<>?@[\\]^_", 58);
    std::string bnewsCtrl = Cycle("{|}~ ", 82) + "\n";
    bnewsCtrl[3] = '\x01';
    // "!" to "-" are BinHex characters but neither XX nor Base64; "Z" is no count. "j" announces 47
    // bytes, 64 XX characters: an XX line is not BinHex as well. A line without its line end counts
    // as ended.
    // clang-format off
    const std::pair<std::string, std::uint32_t> cases[] = {
        {uu, MT_UU}, {uuLower, MT_B64}, {"M" + Cycle("!\"#$%&'()*,-.;<>?@[\\]^_ ", 60) + "\n", MT_UU},
        {lostBlanks + "\n", MT_UU}, {lostBlanks, MT_UU}, {"M" + Cycle("!\"#$%&'()", 56) + "\n", 0u},
        {"Z" + Cycle("!\"#$%&'()*+,-", 63) + "\n", MT_HQX}, {"j" + Cycle("ABCDEF012345", 63) + "\n", MT_XX | MT_B64},
        {"Z" + Cycle("ABCDEF012345", 63) + "\n", MT_HQX | MT_B64}, {Cycle("{|}~ ", 82) + "\n", MT_BNEWS},
        {bnewsCtrl, 0u}, {"\n", 0u}, {"", 0u}, {Cycle("abcdefghijklmnopqrstuvwxyz", 76) + "\n", MT_B64}};
    // clang-format on
    for (const auto& [line, kind] : cases)
        EXPECT_EQ(ClassifyDataLine(line.c_str(), Len(line)), kind) << line;
    const std::string xx = "h" + Cycle(kXXAlphabet, 60, 7) + "\n";
    EXPECT_NE(ClassifyDataLine(xx.c_str(), Len(xx)) & MT_XX, 0u);
}

TEST(LineHelpers, QuotePrefixAndLastNonBlank)
{
    for (const auto& [line, want] : std::initializer_list<std::pair<std::string, int>>{
             {"> > text\n", 4}, {"    text\n", 4}, {"    \n", 0}, {"\ttext\n", 0}, {"\t> text\n", 3},
             {"text\n", 0}, {":-)\n", 2}, {">>>", 3}, {"", 0}})
        EXPECT_EQ(QuotePrefixLength(line.c_str(), Len(line)), want) << line;
    EXPECT_EQ(QuotePrefixLength(">>>>", 2), 2);
    EXPECT_EQ(LastNonBlank("abc=  \r\n"), '=');
    EXPECT_EQ(LastNonBlank(" \t\r\n"), 0);
    EXPECT_EQ(LastNonBlank(""), 0);
    EXPECT_EQ(LastNonBlank("\xE4\n"), 0xE4);
}

TEST(WildMatch, StarsQuestionMarksEscapesAndCase)
{
    // clang-format off
    const struct { const char *text, *pattern; bool ignoreCase; int want; } cases[] = {
        {"-----Original Message-----\n", "*--*Original Message*--*", false, 1},
        {"-----original message-----\n", "*--*Original Message*--*", true, 1},
        {"-----original message-----\n", "*--*Original Message*--*", false, -1},
        {"abc", "abc", false, 1},   {"abc", "a?c", false, 1},   {"abc", "a***c", false, 1},
        {"abc", "*", false, 1},     {"", "*", false, 1},        {"", "", false, 1},
        {"abcd", "abc", false, 0},  {"abd", "abc", false, 0},   {"ab", "abc", false, -1},
        {"ab", "ab?", false, -1},   {"a*c", "a/*c", false, 1},  {"abc", "a/*c", false, 0},
        {"a?", "A/?", true, 1},
        {"ax", "a/X", true, 0}, // an escaped byte matches exactly
        {"a/", "a/", false, 1}, // a trailing "/" stands for itself
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(WildMatch(c.text, c.pattern, c.ignoreCase), c.want) << c.text << " ~ " << c.pattern;
}

// The bytes after the length differ between two copies of each line: a test
// that read past the length would tell them apart.
TEST(LineTestsRobustness, BytesPastTheLengthChangeNothing)
{
    std::mt19937 rng(11);
    for (int round = 0; round < 3000; ++round) {
        const int n = static_cast<int>(rng() % 130);
        std::string mixed = test::RandomBytes(static_cast<std::size_t>(n), rng());
        for (auto& c : mixed)
            if (rng() % 2) c = kUUAndBase64[rng() % kUUAndBase64.size()];
        const auto results = [&](const std::string& tail) {
            const std::string s = mixed + tail;
            return std::vector<long>{IsUULine(s.data(), n, true), IsXXLine(s.data(), n), IsBase64Line(s.data(), n),
                                     IsBinHexLine(s.data(), n), static_cast<long>(ClassifyDataLine(s.data(), n)),
                                     QuotePrefixLength(s.data(), n)};
        };
        EXPECT_EQ(results("\nMMMM===="), results(std::string(9, '\0'))) << round;
    }
}

} // namespace
} // namespace zarvex
