#include "codec/yenc.h"

#include "codec/crc32.h"
#include "codec/yenc_kernels.h"
#include "io/line_break.h"
#include "support/yenc_posting.h"
#include "tests/codec/codec_helpers.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

namespace zarvex::test {
namespace {

using detail::YencKernel;

// Decodes `lines` (no line ends) one after the other into a fresh file.
struct Decoded
{
    Bytes bytes;
    std::vector<int> results;
    std::uint32_t crc = kCrc32Preset;
    bool pending = false;
};
Decoded DecodeLines(const std::vector<std::string>& lines, bool strict, int lineLength = 0, bool raw = false)
{
    OutputCapture out;
    Decoded d;
    YencLineState state;
    for (const std::string& text : lines) {
        zarvex::test::LineBuffer line(text);
        d.results.push_back(
            DecodeYencLine(line.Data(), line.Size(), out.File(), &d.crc, nullptr, lineLength, raw, strict, state));
    }
    d.bytes = out.Take();
    d.pending = state.pendingEscape;
    return d;
}

// An escape at a line end joins the next line when lenient; strict, it
// returns YL_LONE_ESCAPE and the byte is lost.
TEST(YencLine, EscapePairsAndEscapesAtTheLineEnd)
{
    // clang-format off
    const struct { std::vector<std::string> lines; bool strict; Bytes bytes; std::vector<int> results;
                   bool pending; } cases[] = {
        {{"=@=J=}*"}, false, Bytes("\xD6\xE0\x13\x00", 4), {0}, false},
        {{"abc=", "}def"}, false, "\x37\x38\x39\x13\x3A\x3B\x3C", {0, 0}, false},
        {{"abc="}, false, "\x37\x38\x39", {0}, true},
        {{"abc=", "}def"}, true, "\x37\x38\x39\x53\x3A\x3B\x3C", {YL_LONE_ESCAPE, 0}, false}};
    // clang-format on
    for (const auto& c : cases) {
        const Decoded d = DecodeLines(c.lines, c.strict);
        EXPECT_EQ(std::tie(d.bytes, d.results, d.pending), std::tie(c.bytes, c.results, c.pending))
            << c.lines[0];
    }
}

// Strict decoding stops after the header's line length (a pair that starts at
// the last character is finished); lenient decoding reads the whole line.
TEST(YencLine, StrictStopsAfterTheHeaderLineLength)
{
    // clang-format off
    const struct { std::string line; int lineLength, result; std::size_t bytes; } cases[] = {
        {std::string(130, 'a'), 128, YL_LONG, 128}, {std::string(128, 'a'), 128, 0, 128},
        {std::string(127, 'a') + "=}", 128, 0, 128}, {std::string(127, 'a') + "=}b", 128, YL_LONG, 128},
        {std::string(40, 'a'), 0, 0, 40}, {std::string(10, 'a') + "\r\n", 10, 0, 10}};
    // clang-format on
    for (const auto& c : cases) {
        const Decoded d = DecodeLines({c.line}, true, c.lineLength);
        EXPECT_EQ(std::pair(d.results, d.bytes.size()), std::pair(std::vector<int>{c.result}, c.bytes))
            << c.line;
        EXPECT_EQ(DecodeLines({c.line}, false, c.lineLength).results, std::vector<int>{0}) << c.line;
    }
}

TEST(YencLine, MissingArgumentsAndRawCopies)
{
    std::uint32_t crc = kCrc32Preset;
    YencLineState state;
    OutputCapture out;
    EXPECT_EQ(DecodeYencLine(nullptr, 0, out.File(), &crc, nullptr, 0, false, false, state), -1);
    EXPECT_EQ(DecodeYencLine("a", 1, nullptr, &crc, nullptr, 0, false, false, state), -1);
    EXPECT_EQ(DecodeYencLine("a", 1, out.File(), nullptr, nullptr, 0, false, false, state), -1);
    std::uint32_t file = kCrc32Preset;
    EXPECT_EQ(DecodeYencLine("\x8B\x8C\x8D\n", 4, out.File(), &crc, &file, 0, true, false, state), 0);
    EXPECT_BYTES_EQ("\x8B\x8C\x8D\r\n", out.Take());
    EXPECT_EQ(~crc, 0x352441C2u) << "raw copies still feed the CRC";
    EXPECT_EQ(file, crc);
}

TEST(YencPeek, UnescapesUpToTheLineEndAndTheLimit)
{
    unsigned char dest[16] = {};
    EXPECT_EQ(PeekDecodeYenc("\x8B=}\x8C\n\x8D", dest, 0, 0), 3);
    EXPECT_BYTES_EQ("\x61\x13\x62", AsBytes(dest, 3));
    EXPECT_EQ(PeekDecodeYenc("\x8B\x8C\x8D", dest, 0, 2), 2);
    EXPECT_EQ(PeekDecodeYenc("\x8B=", dest, 2, 0), 1);
    EXPECT_EQ(PeekDecodeYenc(nullptr, dest, 0, 0), -1);
    EXPECT_EQ(PeekDecodeYenc("a", nullptr, 0, 0), -1);
}

// Every kernel against the plain decoder.
class YencKernels : public ::testing::TestWithParam<YencKernel> {
protected:
    void SetUp() override
    {
        if (!detail::YencKernelAvailable(GetParam())) GTEST_SKIP() << "this CPU lacks the kernel";
    }
    // Plain and kernel decodes of `line` agree in every respect, in every mode.
    void ExpectSameAllModes(const std::string& line)
    {
        const auto* s = reinterpret_cast<const unsigned char*>(line.data());
        const int n = static_cast<int>(line.size());
        std::vector<unsigned char> a(line.size() + 64), b(line.size() + 64);
        for (bool strict : {false, true})
            for (bool pending : {false, !strict})
                for (int budget : {n, n / 2, 128, 127}) {
                    bool pa = pending, pb = pending;
                    const auto ra = detail::DecodeYencPlain(s, n, budget, strict, pa, a.data());
                    const auto rb = detail::DecodeYencWith(GetParam(), s, n, budget, strict, pb, b.data());
                    ASSERT_EQ(std::tuple(ra.taken, ra.loneEscape, pa, AsBytes(a.data(), ra.produced)),
                              std::tuple(rb.taken, rb.loneEscape, pb, AsBytes(b.data(), rb.produced)))
                        << "length " << n << " budget " << budget << " strict " << strict << " pending "
                        << pending;
                }
    }
    std::mt19937 rng{20260101};
    // A character no escape or line end: '*' ... 0xFF and 1 ... 60.
    char Plain()
    {
        for (;;) {
            const auto c = static_cast<unsigned char>(rng());
            if (c != 0 && c != '\n' && c != '\r' && c != '=') return static_cast<char>(c);
        }
    }
};

TEST_P(YencKernels, EveryEscapePositionInRandomLines)
{
    for (int len = 1; len <= 140; ++len) {
        for (int at = 0; at < len; ++at) {
            std::string line;
            for (int i = 0; i < len; ++i) line += Plain();
            line[static_cast<std::size_t>(at)] = '=';
            ASSERT_NO_FATAL_FAILURE(ExpectSameAllModes(line));
            // A second escape right after the pair, and an escaped "=".
            if (at + 2 < len) {
                line[static_cast<std::size_t>(at) + 2] = '=';
                ASSERT_NO_FATAL_FAILURE(ExpectSameAllModes(line));
                line[static_cast<std::size_t>(at) + 1] = '=';
                ASSERT_NO_FATAL_FAILURE(ExpectSameAllModes(line));
            }
        }
    }
}

TEST_P(YencKernels, RandomLinesWithEscapesLineEndsAndNuls)
{
    static constexpr char kSpecial[] = {'=', '=', '=', '\0', '\r', '\n'};
    for (int round = 0; round < 3000; ++round) {
        const int len = static_cast<int>(rng() % 300);
        std::string line;
        for (int i = 0; i < len; ++i)
            line += rng() % 20 == 0 ? kSpecial[rng() % (round % 2 == 0 ? 3 : 6)] : Plain();
        ASSERT_NO_FATAL_FAILURE(ExpectSameAllModes(line));
    }
}

// Lines taken from a buffer, their end found by the decoding: the same as
// searching the break first and decoding the line. Half the buffers hold one
// break at a random place, the others escapes, NULs and breaks anywhere.
TEST(YencBufferedLine, SameAsSearchingTheBreakFirst)
{
    std::mt19937 rng{20261208};
    static constexpr char kSpecial[] = {'=', '=', '\0', '\r', '\n', '\x03'};
    for (int round = 0; round < 3000; ++round) {
        std::string text(rng() % 400 + 1, ' ');
        for (char& c : text) {
            c = static_cast<char>(rng());
            if (round % 2 == 0 && (c == '\r' || c == '\n')) c = '=';
            if (round % 2 == 1 && rng() % 24 == 0) c = kSpecial[rng() % 6];
        }
        if (round % 2 == 0) text[rng() % text.size()] = round % 4 == 0 ? '\n' : '\r';
        const auto* s = reinterpret_cast<const unsigned char*>(text.data());
        const int span = static_cast<int>(text.size());
        std::int64_t wantBinary = 0;
        const int k = static_cast<int>(FindLineBreakPlain(s, text.size(), wantBinary));
        for (bool strict : {false, true})
            for (int lineLength : {0, 128, 61})
                for (bool pending : {false, true}) {
                    std::vector<unsigned char> want(text.size() + kYencDecodeSlack), got(want.size());
                    YencLineState a{pending}, b{pending};
                    int producedA = 0, producedB = 0, end = 0;
                    std::int64_t binary = 0;
                    const int ra = DecodeYencText(s, k, want.data(), lineLength, strict, a, producedA);
                    const int rb = DecodeYencBufferedLine(s, span, got.data(), lineLength, strict, b, producedB, end,
                                                          binary);
                    ASSERT_EQ(std::tie(ra, producedA, a.pendingEscape, k, wantBinary),
                              std::tie(rb, producedB, b.pendingEscape, end, binary))
                        << "round " << round;
                    ASSERT_EQ(AsBytes(want.data(), producedA), AsBytes(got.data(), producedB)) << "round " << round;
                }
    }
}

INSTANTIATE_TEST_SUITE_P(AllKernels, YencKernels,
                         ::testing::Values(YencKernel::Scalar, YencKernel::Sse2, YencKernel::Ssse3, YencKernel::Avx2,
                                           YencKernel::Avx512));

// Round trips through the encoder of the tests (outside encoders are run
// through the program in peer_formats_test.cpp): every byte value at every
// line start and end, strict and lenient.
TEST(YencRoundTrip, EveryByteValueAtEveryLineOffset)
{
    Bytes data;
    for (int offset = 0; offset < 256; offset += 7) data += AllBytesFrom(offset);
    for (bool strict : {false, true})
        for (int width : {1, 2, 61, 128}) {
            const Decoded d = DecodeLines(YencLines(data, width), strict, width);
            EXPECT_BYTES_EQ(data, d.bytes);
            EXPECT_EQ(~d.crc, Crc32Of(data.data(), data.size())) << width << strict;
        }
}

} // namespace
} // namespace zarvex::test
