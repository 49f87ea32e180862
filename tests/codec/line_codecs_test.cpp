// The checks every line codec of the family (UU, XX, Base64) must pass:
// all byte values, raw mode and corruption (lines of outside encoders are
// run through the program in peer_formats_test.cpp). Codec-specific rules
// stay in uuxx_test and base64_test.
#include "codec/base64.h"
#include "codec/uuxx.h"

#include "tests/codec/codec_helpers.h"

#include <gtest/gtest.h>

#include <array>

namespace zarvex {
namespace {

using test::Bytes;
using test::LineBuffer;

struct LineCodec
{
    const char* name;
    std::vector<std::string> (*encode)(std::string_view data); // lines without line ends
    // Decodes one line; 0 when the line was clean.
    int (*decode)(char* line, int len, CBufFile* out, int previousLength, bool raw);
    bool rawAddsCrLf;
    std::array<int, 7> badBytes; // bytes no position of a full line may hold (six-bit codecs)
};

// clang-format off
constexpr auto kUUDecodeLine = [](char* l, int n, CBufFile* out, int previous, bool raw) {
    return DecodeUULine(l, n, out, previous, raw); };
constexpr auto kXXDecodeLine = [](char* l, int n, CBufFile* out, int, bool raw) {
    return DecodeXXLine(l, n, out, raw); };
// Ends of the body count as clean; only a broken group is a fault here.
constexpr auto kB64DecodeLine = [](char* l, int n, CBufFile* out, int, bool raw) {
    return DecodeBase64Line(out, l, n, "", raw) == B64_BROKEN_GROUP ? B64_BROKEN_GROUP : 0; };
constexpr std::array<int, 7> kUUBad = {0x00, 0x01, 0x09, 0x0D, 0x1F, 0x80, 0xFF};
const LineCodec kUU = {"UU", [](std::string_view d) { return test::EncodeSixBitLines(d, test::kUUAlphabetBackquote); },
                       kUUDecodeLine, true, kUUBad};
const LineCodec kUUSpace = {"UUSpace",
    [](std::string_view d) { return test::EncodeSixBitLines(d, test::kUUAlphabetSpace); }, kUUDecodeLine, true, kUUBad};
const LineCodec kXX = {"XX", [](std::string_view d) { return test::EncodeSixBitLines(d, test::kXXAlphabetText); },
                       kXXDecodeLine, false, {0x00, 0x0D, 0x20, 0x3D, 0x60, 0x7F, 0xFF}};
const LineCodec kBase64 = {"Base64", [](std::string_view d) { return test::Base64Lines(d); }, kB64DecodeLine, true, {}};
const LineCodec kBase64Width4 = {"Base64Width4", [](std::string_view d) { return test::Base64Lines(d, 4); },
                                 kB64DecodeLine, true, {}};
// clang-format on

// Decodes `lines` (without their LF) into one output; returns the ORed status.
int DecodeAll(const LineCodec& codec, const std::vector<std::string>& lines, CBufFile* out)
{
    int status = 0, previous = 0;
    for (const std::string& l : lines) {
        LineBuffer buffer(l + "\n");
        status |= codec.decode(buffer.Data(), buffer.Size(), out, previous, false);
        previous = buffer.Size();
    }
    return status;
}

class LineCodecs : public ::testing::TestWithParam<LineCodec>
{
};
class SixBitCodecs : public LineCodecs
{
};
const auto Name = [](const ::testing::TestParamInfo<LineCodec>& info) {
    return std::string(info.param.name);
};

TEST_P(LineCodecs, EveryByteValueFromEveryOffsetAndLength)
{
    const LineCodec& codec = GetParam();
    for (int offset = 0; offset < 256; offset += 5) {
        // Lengths vary so that every padding and short last line turns up.
        const Bytes data = test::AllBytesFrom(offset).substr(0, static_cast<std::size_t>(256 - offset % 7));
        test::OutputCapture capture;
        EXPECT_EQ(DecodeAll(codec, codec.encode(data), capture.File()), 0) << offset;
        EXPECT_BYTES_EQ(data, capture.Take());
    }
}

TEST_P(LineCodecs, RawModeCopiesTheLine)
{
    const LineCodec& codec = GetParam();
    const std::string line = codec.encode("raw")[0];
    for (const std::string& input : {line + "\r\n", line + "\n", line}) {
        test::OutputCapture capture;
        LineBuffer buffer(input);
        EXPECT_EQ(codec.decode(buffer.Data(), buffer.Size(), capture.File(), 0, true), 0);
        EXPECT_BYTES_EQ(codec.rawAddsCrLf ? line + "\r\n" : input, capture.Take());
    }
}

TEST_P(SixBitCodecs, EveryPositionOfAFullLineIsInvalidButGivesItsBytes)
{
    const LineCodec& codec = GetParam();
    const std::string line = codec.encode(test::RandomBytes(45, 9))[0] + "\n";
    test::OutputCapture capture;
    std::size_t lines = 0;
    for (std::size_t pos = 0; pos + 1 < line.size(); ++pos) {
        for (int bad : codec.badBytes) {
            LineBuffer broken(line);
            broken.Data()[pos] = static_cast<char>(bad);
            const int status = codec.decode(broken.Data(), broken.Size(), capture.File(), 0, false);
            EXPECT_NE(status & LS_INVALID, 0) << "pos " << pos << " byte " << bad;
            ++lines;
        }
    }
    EXPECT_EQ(capture.Take().size(), lines * 45);
}

INSTANTIATE_TEST_SUITE_P(Codecs, LineCodecs, ::testing::Values(kUU, kUUSpace, kXX, kBase64, kBase64Width4),
                         Name);
INSTANTIATE_TEST_SUITE_P(Codecs, SixBitCodecs, ::testing::Values(kUU, kUUSpace, kXX), Name);

} // namespace
} // namespace zarvex
