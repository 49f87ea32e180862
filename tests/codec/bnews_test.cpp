#include "codec/bnews.h"

#include "support/bnews_writer.h"
#include "tests/codec/codec_helpers.h"

#include <gtest/gtest.h>

namespace zarvex {
namespace {

using test::Bytes;

struct Decoded
{
    std::vector<int> status;
    Bytes bytes;
};

Decoded DecodeAll(const std::vector<std::string>& lines, std::int64_t expected, bool raw = false)
{
    test::OutputCapture capture;
    BNewsState state;
    ResetBNews(state);
    state.expected = expected;
    Decoded run;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string line = lines[i] + "\n";
        run.status.push_back(DecodeBNewsLine(line.data(), static_cast<int>(line.size()), capture.File(),
                                             state, raw, i + 1 == lines.size()));
    }
    run.bytes = capture.Take();
    return run;
}

// Full lines and a short last one; only the expected bytes are written.
TEST(BNews, RoundTripOfEverySizeAroundALine)
{
    for (std::size_t size : {1u, 40u, 239u, 240u, 241u, 5000u}) {
        SCOPED_TRACE(size);
        const Bytes data = test::RandomBytes(size, static_cast<std::uint32_t>(size));
        const auto lines = test::BNewsLines(data);
        const Decoded run = DecodeAll(lines, static_cast<std::int64_t>(data.size()));
        EXPECT_BYTES_EQ(data, run.bytes);
        for (std::size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(run.status[i], lines[i].size() < 246 ? BN_SHORT : 0) << i;
    }
    EXPECT_EQ(DecodeAll({std::string(41, ' ')}, 100).bytes, Bytes(40, '\0')) << "spaces are zeros";
}

TEST(BNews, GroupCarriedToTheNextLine)
{
    const Bytes data = test::RandomBytes(400, 8);
    const auto lines = test::BNewsLines(data);
    const Decoded run = DecodeAll({lines[0].substr(0, 100), lines[0].substr(100), lines[1]}, 400);
    EXPECT_BYTES_EQ(data, run.bytes);
    EXPECT_EQ(run.status[0], BN_SHORT | BN_CARRY);
}

TEST(BNews, LongLineAndRawMode)
{
    const Decoded run = DecodeAll({std::string(250, '!')}, 0, true);
    EXPECT_EQ(std::pair(run.status, run.bytes),
              std::pair(std::vector<int>{BN_LONG}, std::string(250, '!') + "\r\n"));
}

TEST(BNews, PeekGivesTheFirstBytes)
{
    const Bytes data = "\x89PNG\r\n\x1a\n" + test::RandomBytes(100, 2);
    const std::string line = test::BNewsLines(data)[0];
    unsigned char sample[63] = {};
    EXPECT_EQ(PeekDecodeBNews(line.data(), static_cast<int>(line.size()), sample, 63), 63);
    EXPECT_EQ(test::AsBytes(sample, 63), data.substr(0, 63));
}

} // namespace
} // namespace zarvex
