#include "scan/line_tests.h"

#include "codec/tables.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>

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

bool UU(const std::string& s, bool strict)
{
    return IsUULine(s.c_str(), static_cast<int>(s.size()), strict);
}
bool XX(const std::string& s)
{
    return IsXXLine(s.c_str(), static_cast<int>(s.size()));
}
bool B64(const std::string& s)
{
    return IsBase64Line(s.c_str(), static_cast<int>(s.size()));
}
bool Hqx(const std::string& s)
{
    return IsBinHexLine(s.c_str(), static_cast<int>(s.size()));
}
std::uint32_t Kind(const std::string& s)
{
    return ClassifyDataLine(s.c_str(), static_cast<int>(s.size()));
}
int Quote(const std::string& s)
{
    return QuotePrefixLength(s.c_str(), static_cast<int>(s.size()));
}

TEST(IsUULine, FullLineIsStrictWithSixtyOneToSixtyFourBytes)
{
    const std::string full = "M" + Cycle(kUUAndBase64, 60);
    EXPECT_TRUE(UU(full + "\n", true));
    EXPECT_TRUE(UU(full + "\r\n", true));
    EXPECT_TRUE(UU(full + "ABC\n", true));
    EXPECT_FALSE(UU(full + "ABCD\n", true));
    EXPECT_TRUE(UU(full + "ABCD\n", false));
    EXPECT_FALSE(UU(full.substr(0, 60) + "\n", true));
    EXPECT_FALSE(UU(full.substr(0, 60) + "\n", false));
}

TEST(IsUULine, LowerCaseLetterPassesOnlyLoose)
{
    std::string line = "M" + Cycle(kUUAndBase64, 60) + "\n";
    line[10] = 'q';
    EXPECT_FALSE(UU(line, true));
    EXPECT_TRUE(UU(line, false));
}

TEST(IsUULine, RejectsBytesOutsideTheAlphabet)
{
    std::string line = "M" + Cycle(kUUAndBase64, 60) + "\n";
    for (int bad : {9, 0, 0x80, 0xFF}) {
        std::string copy = line;
        copy[30] = static_cast<char>(bad);
        EXPECT_FALSE(UU(copy, false)) << int(bad);
    }
    EXPECT_FALSE(UU("\n", false));
    EXPECT_FALSE(UU("", false));
    EXPECT_FALSE(UU("\tabc\n", false));
}

TEST(IsUULine, ShortCountLinesAndGraveAccent)
{
    EXPECT_TRUE(UU("`\n", true));
    EXPECT_TRUE(UU(" \n", true));
    EXPECT_TRUE(UU("#0V%T\n", true)); // "Cat"
    EXPECT_FALSE(UU("#0V%\n", true)); // needs more than 4 bytes
}

TEST(IsXXLine, CountAnnouncesMinimumLength)
{
    const std::string full = "h" + Cycle(kXXAlphabet, 60);
    EXPECT_TRUE(XX(full + "\n"));
    EXPECT_TRUE(XX(full.substr(0, 60) + "\n")); // at least n*4/3 bytes, count included
    EXPECT_FALSE(XX(full.substr(0, 59) + "\n"));
    EXPECT_FALSE(XX(full + "=\n"));
    EXPECT_FALSE(XX("\n"));
    EXPECT_TRUE(XX("+\n"));
}

TEST(IsBase64Line, PaddingOnlyNearTheEnd)
{
    EXPECT_TRUE(B64("QUJ=\n"));
    EXPECT_TRUE(B64("QQ==\r\n"));
    EXPECT_FALSE(B64("QU=JDEFG\n")); // "=" followed by five more characters
    EXPECT_TRUE(B64("QU=JDEF\n"));
    EXPECT_TRUE(B64("QUJD  \t\n")); // trailing white space is dropped
    EXPECT_FALSE(B64("QU JD\n"));
    EXPECT_FALSE(B64("\n"));
    EXPECT_FALSE(B64(""));
    EXPECT_FALSE(B64("QUJD-\n"));
    EXPECT_TRUE(B64("=\n"));
    EXPECT_FALSE(B64("\r\n")); // a blank line with CR LF holds no data
    EXPECT_FALSE(B64("\r"));
}

TEST(IsBase64Line, HasNoLengthCondition)
{
    EXPECT_TRUE(B64("Q\n"));
    EXPECT_TRUE(B64(Cycle(kBase64Alphabet, 500) + "\n"));
}

TEST(IsBinHexLine, ColonOnlyAtTheStart)
{
    const std::string body = Cycle(kBinHexAlphabet, 64);
    EXPECT_TRUE(Hqx(body + "\n"));
    EXPECT_TRUE(Hqx(":" + body.substr(0, 63) + "\n"));
    EXPECT_TRUE(Hqx(":\n"));
    EXPECT_FALSE(Hqx("abc:\n"));
    EXPECT_FALSE(Hqx(body.substr(0, 30) + ":\n"));
    EXPECT_FALSE(Hqx("\n")); // too short
}

TEST(IsBinHexLine, LengthLimitsAndBlanks)
{
    const std::string body = Cycle(kBinHexAlphabet, 70);
    EXPECT_TRUE(Hqx(body.substr(0, 65) + "\n"));  // len 66
    EXPECT_FALSE(Hqx(body.substr(0, 66) + "\n")); // len 67 without ":"
    EXPECT_TRUE(Hqx(":" + body + "\n"));
    std::string blank = body.substr(0, 64) + "\n";
    blank[10] = ' ';
    EXPECT_TRUE(Hqx(blank)); // len 65 allows blanks
    EXPECT_FALSE(Hqx(blank.substr(0, 20) + "\n"));
    EXPECT_FALSE(Hqx("ABCO\n")); // "O" is not in the alphabet
}

TEST(IsBinHexLine, LineEndStopsTheExamination)
{
    EXPECT_TRUE(Hqx(std::string("AB\0??\n", 6)));
    EXPECT_TRUE(Hqx("AB\r\n"));
}

TEST(ClassifyDataLine, StrictUUBeatsBase64)
{
    const std::string line = "M" + Cycle(kUUAndBase64, 60) + "\n";
    EXPECT_EQ(Kind(line), LK_UU);
    std::string lower = line;
    lower[5] = 'k';
    EXPECT_EQ(Kind(lower), LK_BASE64);
}

TEST(ClassifyDataLine, XXLineWithFullCount)
{
    std::string line = "h" + Cycle(kXXAlphabet, 60, 7) + "\n";
    EXPECT_NE(Kind(line) & LK_XX, 0u);
}

TEST(ClassifyDataLine, UULineWithPunctuationIsOnlyUU)
{
    const std::string line = "M" + Cycle("!\"#$%&'()*,-.;<>?@[\\]^_ ", 60) + "\n";
    EXPECT_EQ(Kind(line), LK_UU);
}

TEST(ClassifyDataLine, UULineThatLostTrailingBlanks)
{
    const std::string line = "M" + Cycle("!\"#$%&'()*,-.;<>?@[\\]^_", 58);
    EXPECT_EQ(Kind(line + "\n"), LK_UU);
    EXPECT_EQ(Kind(line), LK_UU); // no line end at all: the line's end counts as one
    EXPECT_EQ(Kind("M" + Cycle("!\"#$%&'()", 56) + "\n"), 0u);
}

TEST(ClassifyDataLine, BinHexOnlyWhenNotUUOrXX)
{
    // "!" to "-" are BinHex characters but neither XX nor Base64; "Z" is no count.
    const std::string hqx = "Z" + Cycle("!\"#$%&'()*+,-", 63) + "\n";
    EXPECT_EQ(Kind(hqx), LK_BINHEX);
    // "j" announces 47 bytes, 64 XX characters: an XX line is not BinHex as well.
    const std::string xxToo = "j" + Cycle("ABCDEF012345", 63) + "\n";
    EXPECT_EQ(Kind(xxToo), LK_XX | LK_BASE64);
    EXPECT_EQ(Kind("Z" + Cycle("ABCDEF012345", 63) + "\n"), LK_BINHEX | LK_BASE64);
}

TEST(ClassifyDataLine, BNewsLengthWithoutControlBytes)
{
    const std::string line = Cycle("{|}~ ", 82) + "\n";
    EXPECT_EQ(Kind(line), LK_BNEWS);
    std::string ctrl = line;
    ctrl[3] = '\x01';
    EXPECT_EQ(Kind(ctrl), 0u);
    EXPECT_EQ(Kind("\n"), 0u); // an empty line is not a data line
    EXPECT_EQ(Kind(""), 0u);
}

TEST(ClassifyDataLine, Base64LineOfAnyLength)
{
    EXPECT_EQ(Kind(Cycle("abcdefghijklmnopqrstuvwxyz", 76) + "\n"), LK_BASE64);
}

TEST(QuotePrefixLength, MarksBlanksAndTabs)
{
    EXPECT_EQ(Quote("> > text\n"), 4);
    EXPECT_EQ(Quote("    text\n"), 4);
    EXPECT_EQ(Quote("    \n"), 0);
    EXPECT_EQ(Quote("\ttext\n"), 0);
    EXPECT_EQ(Quote("\t> text\n"), 3);
    EXPECT_EQ(Quote("text\n"), 0);
    EXPECT_EQ(Quote(":-)\n"), 2);
    EXPECT_EQ(Quote(">>>"), 3);
    EXPECT_EQ(Quote(""), 0);
    EXPECT_EQ(QuotePrefixLength(">>>>", 2), 2);
}

TEST(LastNonBlank, SkipsTrailingWhiteSpace)
{
    EXPECT_EQ(LastNonBlank("abc=  \r\n"), '=');
    EXPECT_EQ(LastNonBlank(" \t\r\n"), 0);
    EXPECT_EQ(LastNonBlank(""), 0);
    EXPECT_EQ(LastNonBlank("\xE4\n"), 0xE4);
}

TEST(WildMatch, OriginalMessageSeparator)
{
    EXPECT_EQ(WildMatch("-----Original Message-----\n", "*--*Original Message*--*", false), 1);
    EXPECT_EQ(WildMatch("-----original message-----\n", "*--*Original Message*--*", true), 1);
    EXPECT_EQ(WildMatch("-----original message-----\n", "*--*Original Message*--*", false), -1);
}

TEST(WildMatch, StarsQuestionMarksAndEscapes)
{
    EXPECT_EQ(WildMatch("abc", "abc", false), 1);
    EXPECT_EQ(WildMatch("abc", "a?c", false), 1);
    EXPECT_EQ(WildMatch("abc", "a***c", false), 1);
    EXPECT_EQ(WildMatch("abc", "*", false), 1);
    EXPECT_EQ(WildMatch("", "*", false), 1);
    EXPECT_EQ(WildMatch("", "", false), 1);
    EXPECT_EQ(WildMatch("abcd", "abc", false), 0);
    EXPECT_EQ(WildMatch("abd", "abc", false), 0);
    EXPECT_EQ(WildMatch("ab", "abc", false), -1);
    EXPECT_EQ(WildMatch("ab", "ab?", false), -1);
    EXPECT_EQ(WildMatch("a*c", "a/*c", false), 1);
    EXPECT_EQ(WildMatch("abc", "a/*c", false), 0);
    EXPECT_EQ(WildMatch("a?", "A/?", true), 1);
    EXPECT_EQ(WildMatch("ax", "a/X", true), 0); // an escaped byte matches exactly
    EXPECT_EQ(WildMatch("a/", "a/", false), 1); // a trailing "/" stands for itself
}

TEST(LineTestsRobustness, RandomBytesNeverReadPastTheLength)
{
    // Lines are copied into exact-size heap blocks so ASan sees any overread.
    std::mt19937 rng(11);
    for (int round = 0; round < 3000; ++round) {
        const int n = static_cast<int>(rng() % 130);
        const std::string bytes = test::RandomBytes(static_cast<std::size_t>(n), rng());
        std::string mixed = bytes;
        for (auto& c : mixed)
            if (rng() % 2) c = kUUAndBase64[rng() % kUUAndBase64.size()];
        for (const std::string& s : {bytes, mixed}) {
            auto block = std::make_unique<char[]>(static_cast<std::size_t>(n));
            std::copy(s.begin(), s.end(), block.get());
            (void)IsUULine(block.get(), n, true);
            (void)IsXXLine(block.get(), n);
            (void)IsBase64Line(block.get(), n);
            (void)IsBinHexLine(block.get(), n);
            (void)ClassifyDataLine(block.get(), n);
            (void)QuotePrefixLength(block.get(), n);
        }
    }
}

} // namespace
} // namespace zarvex
