#include "codec/base64.h"

#include "codec/tables.h"
#include "tests/codec/codec_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace zarvex {
namespace {

using test::Bytes;
using test::Decoded;

Decoded DecodeB64(std::string_view line, std::string_view boundary = "", bool raw = false)
{
    static test::OutputCapture capture; // one file for the many decodes of the exhaustive tests
    test::LineBuffer buffer(line);
    return {DecodeBase64Line(capture.File(), buffer.Data(), buffer.Size(), boundary, raw), capture.Take()};
}

// `bytes` null: the output is not looked at.
TEST(Base64DecodeReference, GroupsPaddingBoundariesAndForeignCharacters)
{
    // clang-format off
    const struct { std::string_view line, boundary; int result; const char* bytes; } cases[] = {
        {"QUJD\n", "", B64_OK, "ABC"}, {"QUJD", "", B64_OK, "ABC"}, {"QQ==\n", "", B64_END, "A"},
        {"QUI=\n", "", B64_END, "AB"}, {"QUJ\n", "", B64_BROKEN_GROUP, ""},
        {" Q U\tJ D \r\n", "", B64_OK, "ABC"}, // foreign characters are skipped
        {"QQ==QUJD\n", "", B64_END, "A"}, // data after padding ends the body
        {"QQ=\n", "", B64_END, nullptr}, // the pad ended the data though the group broke
        {"\n", "", B64_NOTHING, nullptr}, {"\nQUJD", "", B64_NOTHING, nullptr},
        {"QU\n", "", B64_NOTHING, nullptr}, {"QUJ", "", B64_NOTHING, nullptr}, {"", "", B64_NOTHING, nullptr},
        {"--\n", "", B64_NOTHING, nullptr}, {"--xyz\n", "xyz", B64_END, nullptr},
        {"--xyz--\n", "xyz", B64_CLOSING, nullptr}, {"--abc\n", "xyz", B64_NOTHING, nullptr},
        {"--xyz\n", "", B64_NOTHING, nullptr}, {"--xy", "xyz", B64_NOTHING, nullptr},
        {"--xyz-\n", "xyz", B64_END, nullptr},
    };
    // clang-format on
    for (const auto& c : cases) {
        const Decoded d = DecodeB64(c.line, c.boundary);
        EXPECT_EQ(d.result, c.result) << c.line;
        EXPECT_TRUE(!c.bytes || d.bytes == c.bytes) << c.line;
    }
    EXPECT_EQ(DecodeB64("--xyz\n", "xyz", true).result, B64_END); // boundaries count in raw mode too
}

// The decode of a line written down from the description, character by
// character, to check the fast group loop against.
Decoded PlainDecode(std::string_view line)
{
    auto significant = [](unsigned char c) { return c == '\n' || c == '=' || kBase64Decode[c] != kInvalid; };
    Decoded r{B64_OK, {}};
    bool pad = false;
    std::size_t pos = 0;
    // True at the line's end, else on the next significant character.
    auto atEnd = [&] {
        while (pos < line.size() && !significant(line[pos]))
            ++pos;
        return pos >= line.size() || line[pos] == '\n';
    };
    for (;;) {
        if (atEnd()) return r.result = pad ? B64_END : B64_OK, r;
        if (pad) return r.result = B64_END, r;
        unsigned char g[4];
        for (int k = 0; k < 4; ++k) {
            if (atEnd()) {
                pad = std::find(g, g + k, '=') != g + k;
                return r.result = pad ? B64_END : B64_BROKEN_GROUP, r;
            }
            g[k] = line[pos++];
        }
        const int k = static_cast<int>(std::find(g, g + 4, '=') - g);
        unsigned bits = 0;
        for (int i = 0; i < 4; ++i)
            bits = (bits << 6) | (i < k ? kBase64Decode[g[i]] : 0);
        for (int i = 0; i + 1 < k; ++i)
            r.bytes += static_cast<char>((bits >> (16 - 8 * i)) & 0xFF);
        pad = k < 4;
    }
}

// Foreign characters among the groups force the character-by-character path.
TEST(Base64DecodeFastPath, MatchesPlainDecodeOnRandomLines)
{
    static constexpr std::string_view kOther = "= *\n= *\n\t!.\x01\x80";
    std::mt19937 rng(4);
    for (int round = 0; round < 1500; ++round) {
        // One line in ten is long and nearly clean: longer than the output block of one line.
        const bool longLine = round % 10 == 0;
        std::string line;
        const std::size_t n = 4 + rng() % (longLine ? 1100 : 90);
        for (std::size_t i = 0; i < n; ++i)
            line += rng() % (longLine ? 600 : 12) ? test::kBase64AlphabetText[rng() % 64]
                                                  : kOther[rng() % kOther.size()];
        if (line.rfind("--", 0) == 0 || line[0] == '\n') continue;
        EXPECT_EQ(PlainDecode(line), DecodeB64(line));
    }
}

// The bulk decode of whole-group lines: every byte value at every position
// of lines of 4 to 80 characters either gives the line decoder's bytes or
// leaves the line to it.
TEST(Base64DecodeGroups, EqualsTheLineDecoderOrDeclines)
{
    std::mt19937 rng(7);
    for (int len = 4; len <= 80; len += 4) {
        std::string clean;
        for (int i = 0; i < len; ++i) clean += test::kBase64AlphabetText[rng() % 64];
        for (int at = 0; at < len; ++at) {
            for (int c = 0; c < 256; ++c) {
                std::string line = clean;
                line[static_cast<std::size_t>(at)] = static_cast<char>(c);
                unsigned char out[64] = {};
                const bool taken =
                    DecodeBase64Groups(reinterpret_cast<const unsigned char*>(line.data()), len, out);
                ASSERT_EQ(taken, kBase64Decode[static_cast<unsigned char>(c)] != kInvalid)
                    << len << ' ' << at << ' ' << c;
                if (!taken) continue;
                ASSERT_EQ(DecodeB64(line), (Decoded{B64_OK, Bytes(out, out + len / 4 * 3)}))
                    << len << ' ' << at << ' ' << c;
            }
        }
    }
}

TEST(Base64Peek, DecodesTheStartOfALine)
{
    unsigned char dest[64];
    EXPECT_EQ(PeekDecodeBase64("QUJD", dest, 0, 0, false), 3);
    EXPECT_BYTES_EQ("ABC", test::AsBytes(dest, 3));
    EXPECT_EQ(PeekDecodeBase64("QQ==\n", dest, 5, 0, false), 1);
    EXPECT_EQ(PeekDecodeBase64("QUJDQUJD", dest, 0, 4, false), 4);
    EXPECT_EQ(PeekDecodeBase64("  QUJD", dest, 0, 0, false), 3);
    EXPECT_EQ(PeekDecodeBase64("  QUJD", dest, 0, 0, true), 0);
    EXPECT_EQ(PeekDecodeBase64("QU JD", dest, 0, 0, false), 1); // a foreign character inside a group ends it
    EXPECT_EQ(PeekDecodeBase64(nullptr, dest, 0, 0, false), -1);
    EXPECT_EQ(PeekDecodeBase64("QUJD", nullptr, 0, 0, false), -1);
    const Bytes data = test::RandomBytes(48, 7);
    const std::string line = test::Base64Encode(data) + "\n";
    EXPECT_EQ(PeekDecodeBase64(line.c_str(), dest, 0, 0, true), 48);
    EXPECT_BYTES_EQ(data, test::AsBytes(dest, 48));
}

} // namespace
} // namespace zarvex
