#include "codec/uuxx.h"

#include "codec/tables.h"
#include "tests/codec/codec_helpers.h"

#include <gtest/gtest.h>


namespace zarvex {
namespace {

using test::Bytes;
using test::EncodeSixBitLine;
using test::LineBuffer;

struct Decoded
{
    int status;
    Bytes bytes;
};

Decoded DecodeXX(std::string_view line, bool raw = false)
{
    test::OutputCapture capture;
    LineBuffer buffer(line);
    const int status = DecodeXXLine(buffer.Data(), buffer.Size(), capture.File(), raw);
    return {status, capture.Take()};
}

std::string XXLine(std::string_view data)
{
    return EncodeSixBitLine(data, test::kXXAlphabetText);
}

TEST(XXDecodeReference, OnlyAMatchingChecksumIsTolerated)
{
    const Bytes data = test::RandomBytes(45, 2);
    const std::string line = XXLine(data);
    unsigned byteSum = 0, valueSum = 0;
    for (unsigned char c : data)
        byteSum += c;
    for (std::size_t i = 1; i < line.size(); ++i)
        valueSum += kXXDecode[static_cast<unsigned char>(line[i])];
    EXPECT_EQ(DecodeXX(line + kXXAlphabet[byteSum % 64] + "\n").status, 0);
    EXPECT_EQ(DecodeXX(line + kXXAlphabet[valueSum % 64] + "\n").status, 0);
    EXPECT_EQ(DecodeXX(line + " \n").status, LS_LONG) << "no blank or lower-case tolerance as in UU";
    for (char extra : std::string_view("+-0Aaz")) {
        const unsigned v = kXXDecode[static_cast<unsigned char>(extra)];
        if (v == byteSum % 64 || v == valueSum % 64) continue;
        const Decoded d = DecodeXX(line + extra + "\n");
        EXPECT_EQ(d.status, LS_LONG) << extra;
        EXPECT_BYTES_EQ(data, d.bytes);
    }
}

TEST(XXDecodeReference, ShortPartialMissingAndEmptyLines)
{
    const Bytes data = test::RandomBytes(45, 3);
    Decoded d = DecodeXX(XXLine(data).substr(0, 41) + "\n");
    EXPECT_EQ(d.status, LS_SHORT) << "whole groups only";
    EXPECT_BYTES_EQ(data.substr(0, 30), d.bytes);
    d = DecodeXX(XXLine(data).substr(0, 60) + "\n");
    EXPECT_EQ(d.status, LS_INVALID) << "the fourth character is missing";
    EXPECT_EQ(d.bytes.size(), 45u);
    EXPECT_BYTES_EQ(data.substr(0, 44), d.bytes.substr(0, 44));
    d = DecodeXX(XXLine(data.substr(0, 10)) + "++++++\n");
    EXPECT_EQ(d.status, 0) << "partial lines are never long";
    EXPECT_BYTES_EQ(data.substr(0, 10), d.bytes);
    for (std::string_view line : {"+\n", "+", "\n", ""}) {
        d = DecodeXX(line);
        EXPECT_EQ(d.status, 0);
        EXPECT_TRUE(d.bytes.empty());
    }
}

TEST(XXDecodeJoined, TwoFullLinesWithoutJoinedBitKeepFirstLineFlags)
{
    const Bytes data = test::RandomBytes(90, 6);
    std::string first = XXLine(data.substr(0, 45));
    Decoded d = DecodeXX(first + XXLine(data.substr(45)) + "\n");
    EXPECT_EQ(d.status, 0);
    EXPECT_BYTES_EQ(data, d.bytes);
    first[9] = '*';
    d = DecodeXX(first + XXLine(data.substr(45)) + "\n");
    EXPECT_EQ(d.status, LS_INVALID);
    EXPECT_BYTES_EQ(data.substr(45), d.bytes.substr(45));
}

TEST(XXPeek, DecodesTheStartOfALine)
{
    const Bytes data = test::RandomBytes(45, 11);
    const std::string line = XXLine(data) + "\n";
    unsigned char dest[64];
    EXPECT_EQ(PeekDecodeXX(line.c_str(), dest, 0, 0), 45);
    EXPECT_BYTES_EQ(data, test::AsBytes(dest, 45));
    EXPECT_EQ(PeekDecodeXX(line.c_str(), dest, static_cast<int>(line.size()), 16), 16);
    EXPECT_EQ(PeekDecodeXX(nullptr, dest, 0, 0), -1);
    EXPECT_EQ(PeekDecodeXX("i++++", dest, 0, 0), -1); // 46
    EXPECT_EQ(PeekDecodeXX("=++++", dest, 0, 0), -1);
    EXPECT_EQ(PeekDecodeXX("h+++ +++", dest, 0, 0), 2);
}

} // namespace
} // namespace zarvex
