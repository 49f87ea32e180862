#include "codec/uuxx.h"

#include "codec/tables.h"
#include "tests/codec/codec_helpers.h"

#include <gtest/gtest.h>

namespace zarvex {
namespace {

using test::Bytes;
using test::Decoded;
using test::EncodeSixBitLine;
using test::kUUAlphabetBackquote;
using test::kUUAlphabetSpace;
using test::LineBuffer;

Decoded DecodeUU(std::string_view line, int previousLength = 0, bool raw = false)
{
    static test::OutputCapture capture; // one file for the many decodes of the exhaustive tests
    LineBuffer buffer(line);
    return {DecodeUULine(buffer.Data(), buffer.Size(), capture.File(), previousLength, raw), capture.Take()};
}

Decoded DecodeXX(std::string_view line, bool raw = false)
{
    static test::OutputCapture capture;
    LineBuffer buffer(line);
    return {DecodeXXLine(buffer.Data(), buffer.Size(), capture.File(), raw), capture.Take()};
}

const auto XXLine = [](std::string_view data) { return EncodeSixBitLine(data, test::kXXAlphabetText); };
const auto UULine = [](std::string_view data) { return EncodeSixBitLine(data, kUUAlphabetBackquote); };
const auto StatusWithoutOutput = [](std::string_view line) {
    LineBuffer buffer(line);
    return DecodeUULine(buffer.Data(), buffer.Size(), nullptr, 0, false);
};

// A full line of 45 bytes whose encoding holds no ".." (so that no dot
// repair applies); with `dot`, one "." that doubled in `doubled` makes a
// line a decode without output finds faulty (its last character is no checksum).
Bytes Payload(std::uint32_t seed, std::string& line, std::string* doubled = nullptr)
{
    for (std::uint32_t s = seed;; ++s) {
        Bytes data = test::RandomBytes(45, s);
        line = UULine(data);
        if (line.find("..") != std::string::npos) continue;
        if (!doubled) return data;
        if (line.find('.') == std::string::npos) continue;
        *doubled = line;
        doubled->insert(doubled->find('.'), ".");
        if (StatusWithoutOutput(*doubled + "\n") != 0) return data;
    }
}

// The two checksum characters a full line may end with: of the data bytes and
// of the character values.
std::pair<unsigned, unsigned> Checksums(const Bytes& data, const std::string& line,
                                        decltype(kUUDecode)& table = kUUDecode)
{
    unsigned byteSum = 0, valueSum = 0;
    for (unsigned char c : data)
        byteSum += c;
    for (std::size_t i = 1; i < line.size(); ++i)
        valueSum += table[static_cast<unsigned char>(line[i])];
    return {byteSum % 64, valueSum % 64};
}

TEST(UUDecodeReference, ChecksumOrBlankAfterAFullLineIsNoErrorOtherCharactersAreLong)
{
    std::string line;
    const Bytes data = Payload(3, line);
    const auto [byteSum, valueSum] = Checksums(data, line);
    for (const char extra : {kUUAlphabetSpace[byteSum], kUUAlphabetSpace[valueSum], ' ', '\t', 'x', '\r'})
        EXPECT_EQ(DecodeUU(line + extra + "\n"), (Decoded{0, data})) << "extra " << extra;
    for (char extra : std::string_view("!#%&*+<>?@[]^_")) {
        const unsigned v = kUUDecode[static_cast<unsigned char>(extra)];
        if (v == byteSum || v == valueSum) continue;
        EXPECT_EQ(DecodeUU(line + extra + "\n"), (Decoded{LS_LONG, data})) << extra;
    }
}

TEST(UUDecodeReference, EmptyAndLowerCaseLines)
{
    for (std::string_view line : {"`\n", " \n", "`", "\n", ""})
        EXPECT_EQ(DecodeUU(line), (Decoded{0, ""})) << line;
    // "a" (0x61) is 1 like "!"; "~" is 30 like ">".
    EXPECT_EQ(DecodeUU("#a~a~\n"), (Decoded{0, "\x05\xE0\x5E"}));
    EXPECT_EQ(DecodeUU("#!>!>\n"), (Decoded{0, "\x05\xE0\x5E"}));
}

// Repaired in place, but not without output or when the previous line was long too.
TEST(UUDecodeDotRepair, DoubledDotIsRemoved)
{
    std::string line, doubled;
    const Bytes data = Payload(10, line, &doubled);
    LineBuffer buffer(doubled + "\n");
    test::OutputCapture capture;
    EXPECT_EQ(DecodeUULine(buffer.Data(), buffer.Size(), capture.File(), 0, false), LS_DOT_FIXED);
    EXPECT_BYTES_EQ(data, capture.Take());
    EXPECT_EQ(std::string(buffer.Data(), 61), line);

    Payload(20, line, &doubled);
    doubled += "\n";
    EXPECT_EQ(StatusWithoutOutput(doubled) & LS_DOT_FIXED, 0);
    const Decoded d = DecodeUU(doubled, static_cast<int>(doubled.size()));
    EXPECT_EQ(d.result & LS_DOT_FIXED, 0);
    EXPECT_NE(d.result & LS_LONG, 0);
    EXPECT_EQ(d.bytes.size(), 45u);
}

// Two or three full lines run together decode whole; the second line's flags
// and an invalid character in the first are reported.
TEST(UUDecodeJoined, FullLinesRunTogether)
{
    for (std::size_t count : {2u, 3u}) {
        const Bytes data = test::RandomBytes(45 * count, static_cast<std::uint32_t>(count));
        std::string joined;
        for (const auto& l : test::EncodeSixBitLines(data, kUUAlphabetBackquote))
            joined += l;
        EXPECT_EQ(DecodeUU(joined + "\n"), (Decoded{LS_JOINED, data})) << count;
    }
    const Bytes data = test::RandomBytes(90, 8);
    std::string first = UULine(data.substr(0, 45));
    first[7] = '\x01';
    const Decoded d = DecodeUU(first + UULine(data.substr(45)) + "!!\n");
    EXPECT_EQ(d.result, LS_JOINED | LS_INVALID | LS_LONG);
    EXPECT_EQ(d.bytes.size(), 90u);
    EXPECT_BYTES_EQ(data.substr(45), d.bytes.substr(45));
}

TEST(UUDecodeCorruption, EveryTruncationAndExtension)
{
    const Bytes data = test::RandomBytes(45, 10);
    const std::string line = UULine(data);
    for (std::size_t n = 0; n <= line.size(); ++n) {
        const Decoded d = DecodeUU(line.substr(0, n) + "\n");
        // A full line, or one that lost up to three trailing blanks: the missing end reads as blanks.
        if (n >= 58) {
            EXPECT_EQ(d.result, 0) << n;
            EXPECT_EQ(d.bytes, DecodeUU(line.substr(0, n) + std::string(61 - n, ' ') + "\n").bytes) << n;
            if (n == 61) EXPECT_BYTES_EQ(data, d.bytes);
        } else if (n > 0) { // whole groups only
            EXPECT_EQ(d.result, LS_SHORT) << n;
            EXPECT_EQ(d.bytes.size(), n / 4 * 3) << n;
            // When n is a multiple of 4 the last group lacks its fourth character.
            const std::size_t sure = n % 4 == 0 && n > 0 ? d.bytes.size() - 1 : d.bytes.size();
            EXPECT_BYTES_EQ(data.substr(0, sure), d.bytes.substr(0, sure));
        }
    }
    for (std::size_t extra = 2; extra < 60; ++extra) {
        const Decoded d = DecodeUU(line + std::string(extra, '!') + "\n");
        EXPECT_NE(d.result & LS_LONG, 0) << extra;
        EXPECT_BYTES_EQ(data, d.bytes);
    }
}

TEST(XXDecodeReference, OnlyAMatchingChecksumIsTolerated)
{
    const Bytes data = test::RandomBytes(45, 2);
    const std::string line = XXLine(data);
    const auto [byteSum, valueSum] = Checksums(data, line, kXXDecode);
    EXPECT_EQ(DecodeXX(line + kXXAlphabet[byteSum] + "\n").result, 0);
    EXPECT_EQ(DecodeXX(line + kXXAlphabet[valueSum] + "\n").result, 0);
    EXPECT_EQ(DecodeXX(line + " \n").result, LS_LONG) << "no blank or lower-case tolerance as in UU";
    for (char extra : std::string_view("+-0Aaz")) {
        const unsigned v = kXXDecode[static_cast<unsigned char>(extra)];
        if (v == byteSum || v == valueSum) continue;
        EXPECT_EQ(DecodeXX(line + extra + "\n"), (Decoded{LS_LONG, data})) << extra;
    }
}

TEST(XXDecodeReference, ShortPartialMissingAndEmptyLines)
{
    const Bytes data = test::RandomBytes(45, 3);
    EXPECT_EQ(DecodeXX(XXLine(data).substr(0, 41) + "\n"), (Decoded{LS_SHORT, data.substr(0, 30)}))
        << "whole groups";
    const Decoded d = DecodeXX(XXLine(data).substr(0, 60) + "\n");
    EXPECT_EQ(d.result, 0) << "a lost last character counts as zero bits";
    EXPECT_EQ(d.bytes.size(), 45u);
    EXPECT_BYTES_EQ(data.substr(0, 44), d.bytes.substr(0, 44));
    EXPECT_EQ(DecodeXX(XXLine(data.substr(0, 10)) + "++++++\n"), (Decoded{0, data.substr(0, 10)}))
        << "never long";
    for (std::string_view line : {"+\n", "+", "\n", ""})
        EXPECT_EQ(DecodeXX(line), (Decoded{0, ""})) << line;
}

TEST(XXDecodeJoined, TwoFullLinesWithoutJoinedBitKeepFirstLineFlags)
{
    const Bytes data = test::RandomBytes(90, 6);
    std::string first = XXLine(data.substr(0, 45));
    EXPECT_EQ(DecodeXX(first + XXLine(data.substr(45)) + "\n"), (Decoded{0, data}));
    first[9] = '*';
    const Decoded d = DecodeXX(first + XXLine(data.substr(45)) + "\n");
    EXPECT_EQ(d.result, LS_INVALID);
    EXPECT_BYTES_EQ(data.substr(45), d.bytes.substr(45));
}

// Both peeks: a full line, a limit, a partial line, refused arguments and
// counts, and a stop at the first invalid character.
TEST(SixBitPeek, DecodesTheStartOfALineAndRefusesBadCounts)
{
    // clang-format off
    const struct { int (*peek)(const char*, unsigned char*, int, int); std::string_view alphabet;
                   const char *tooLong, *badCount, *invalidAt4; } cases[] = {
        {&PeekDecodeUU, kUUAlphabetBackquote, "N!!!!!!!!", "\tABCD", "M!!!!!!\x01!!!!!"},
        {&PeekDecodeXX, test::kXXAlphabetText, "i++++", "=++++", "h++++++ ++++"}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tooLong);
        const Bytes data = test::RandomBytes(45, 14);
        const std::string line = EncodeSixBitLine(data, c.alphabet) + "\n";
        unsigned char dest[64];
        EXPECT_EQ(c.peek(line.c_str(), dest, static_cast<int>(line.size()), 0), 45);
        EXPECT_BYTES_EQ(data, test::AsBytes(dest, 45));
        EXPECT_EQ(c.peek(line.c_str(), dest, 0, 0), 45);
        EXPECT_EQ(c.peek(line.c_str(), dest, -1, 10), 10);
        EXPECT_BYTES_EQ(data.substr(0, 10), test::AsBytes(dest, 10));
        EXPECT_EQ(c.peek(EncodeSixBitLine(data.substr(0, 7), c.alphabet).c_str(), dest, 0, 0), 7);
        EXPECT_BYTES_EQ(data.substr(0, 7), test::AsBytes(dest, 7));
        EXPECT_EQ(c.peek(nullptr, dest, 0, 0), -1);
        EXPECT_EQ(c.peek(line.c_str(), nullptr, 0, 0), -1);
        EXPECT_EQ(c.peek(c.tooLong, dest, 0, 0), -1); // 46 bytes is over a full line
        EXPECT_EQ(c.peek(c.badCount, dest, 0, 0), -1);
        EXPECT_EQ(c.peek(c.invalidAt4, dest, 0, 0), 4);
    }
    unsigned char dest[4];
    EXPECT_EQ(PeekDecodeUU("`\n", dest, 0, 0), 0);
}

} // namespace
} // namespace zarvex
