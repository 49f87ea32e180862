#include "codec/binhex.h"

#include "support/binhex_writer.h"
#include "tests/codec/codec_helpers.h"
#include "text/text_utils.h"

#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace zarvex {
namespace {

using test::BinHexFile;
using test::Bytes;
using test::Decoded;

// The characters of `f`, without line ends.
std::string Chars(const BinHexFile& f)
{
    std::string chars;
    for (const auto& l : test::BinHexLines(f))
        chars += l;
    return chars;
}

// Feeds the characters after the opening ":" in pieces of `piece` characters.
Decoded Decode(const BinHexFile& f, std::size_t piece = 1 << 20)
{
    const std::string chars = Chars(f);
    test::OutputCapture capture;
    BinHexDecoder decoder(capture.File());
    for (std::size_t i = 1; i < chars.size(); i += piece)
        decoder.Feed(chars.data() + i, std::min(piece, chars.size() - i));
    const int result = decoder.Finish();
    return {result, capture.Take()};
}

// The larger fork is written, the resource fork when both are the same size.
TEST(BinHexDecode, LargerForkIsWritten)
{
    // clang-format off
    const struct { std::size_t dataSize, resourceSize; int result; } cases[] = {
        {3000, 0, HQX_DATA_FORK}, {1000, 2000, HQX_RESOURCE_FORK}, {500, 500, HQX_RESOURCE_FORK},
        {0, 0, HQX_RESOURCE_FORK}};
    // clang-format on
    for (const auto& [dataSize, resourceSize, result] : cases) {
        SCOPED_TRACE(dataSize);
        BinHexFile f;
        f.data = test::RandomBytes(dataSize, 1);
        f.resource = test::RandomBytes(resourceSize, 2);
        EXPECT_EQ(Decode(f), (Decoded{result, result == HQX_RESOURCE_FORK ? f.resource : f.data}));
    }
}

TEST(BinHexDecode, ByteExactAtEverySplit)
{
    const std::pair<Bytes, bool> payloads[] = {
        {test::AllBytesFrom(0) + test::AllBytesFrom(7), true},
        {Bytes(300, 'A') + "B" + Bytes(4, '\x90') + "\x90" + Bytes(3, '\0'), true}, // runs
        {Bytes("x\x90y", 3), true},                                                 // the run marker alone
        {test::RandomBytes(777, 9), false}};
    for (const auto& [data, runLength] : payloads) {
        BinHexFile f;
        f.data = data;
        f.runLength = runLength;
        for (std::size_t piece : {1u, 2u, 3u, 5u, 64u, 1000u})
            EXPECT_EQ(Decode(f, piece), (Decoded{HQX_DATA_FORK, f.data}))
                << data.size() << " piece " << piece;
    }
}

// A clear result and only real bytes of the data fork; `trailing` bytes after
// them that the stream still carried (CRCs read as data).
TEST(BinHexDecode, DamageGivesAClearResultAndOnlyRealBytes)
{
    // clang-format off
    const struct { const char* label; void (*change)(BinHexFile&); int result; std::size_t kept, trailing; } cases[] = {
        {"header CRC", [](BinHexFile& f) { f.headerCrcDelta = 1; }, HQX_BAD_HEADER, 0, 0},
        {"data CRC", [](BinHexFile& f) { f.dataCrcDelta = 1; }, HQX_BAD_CRC, 2000, 0},
        {"cut in data", [](BinHexFile& f) { f.cutAfterBytes = 1000; }, HQX_END_OF_FILE, 1000 - 30, 0},
        {"cut in header", [](BinHexFile& f) { f.cutAfterBytes = 12; }, HQX_BAD_HEADER, 0, 0},
        {"length beyond data", [](BinHexFile& f) { f.dataLengthDelta = 4'000'000'000; }, HQX_END_OF_FILE,
         2000, 4}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        BinHexFile f;
        f.data = test::RandomBytes(2000, 4);
        c.change(f);
        const Decoded d = Decode(f);
        EXPECT_EQ(d.result, c.result);
        EXPECT_EQ(d.bytes.size(), c.kept + c.trailing);
        EXPECT_BYTES_EQ(f.data.substr(0, c.kept), d.bytes.substr(0, c.kept));
    }
}

TEST(BinHexFileDecode, CollectedCharactersAreReadThroughTheDescriptor)
{
    test::TempDir dir;
    for (const int delta : {0, 1}) {
        BinHexFile f;
        f.data = "hello";
        f.headerCrcDelta = delta;
        const std::string chars = Chars(f);
        int fd = -1;
        const std::string path = OpenTempFile(dir.Path().string(), fd);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, chars.data(), chars.size()), static_cast<ssize_t>(chars.size()));
        // Someone swaps another file in under the name: the decoder never sees it.
        std::remove(path.c_str());
        test::WriteFile(path, ":not the collected characters");
        test::OutputCapture capture;
        EXPECT_EQ(DecodeBinHexFile(fd, *capture.File()), delta ? HQX_BAD_HEADER : HQX_DATA_FORK);
        EXPECT_EQ(capture.Take(), delta ? "" : "hello");
        ::close(fd);
    }
    const int plain = ::open(dir.Write("plain.txt", "no colon here").c_str(), O_RDONLY);
    test::OutputCapture capture;
    EXPECT_EQ(DecodeBinHexFile(plain, *capture.File()), HQX_BAD_HEADER);
    ::close(plain);
}

TEST(BinHexHeader, NameAndSampleFromTheFirstLines)
{
    BinHexFile f;
    f.name = "picture.gif  ";
    f.data = "GIF89a" + test::RandomBytes(500, 3);
    const auto lines = test::BinHexLines(f);
    std::string text = lines[0] + "\n" + lines[1] + "\n";
    unsigned char sample[64] = {};
    EXPECT_EQ(PeekDecodeBinHex(text.data(), static_cast<int>(text.size()), sample, 6), 6);
    EXPECT_EQ(test::AsBytes(sample, 6), "GIF89a");
    EXPECT_TRUE(BinHexHeaderName(text));
    EXPECT_EQ(text, "picture.gif");

    std::string hash = "#" + lines[0].substr(1);
    EXPECT_FALSE(BinHexHeaderName(hash));
    EXPECT_EQ(hash, "");
    std::string tooShort = ":";
    EXPECT_FALSE(BinHexHeaderName(tooShort));
}

} // namespace
} // namespace zarvex
