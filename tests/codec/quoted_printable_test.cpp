#include "codec/quoted_printable.h"

#include "tests/codec/codec_helpers.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace zarvex {
namespace {

using test::Bytes;

// Decodes each line (with its line feed) into one output.
std::pair<std::vector<int>, Bytes> DecodeLines(const std::vector<std::string>& lines, bool crlf)
{
    test::OutputCapture capture;
    std::vector<int> results;
    for (const auto& l : lines) {
        test::LineBuffer buffer(l);
        results.push_back(DecodeQPLine(buffer.Data(), buffer.Size(), capture.File(), crlf));
    }
    return {results, capture.Take()};
}

TEST(QPLines, Decode)
{
    const std::string kLong(80, 'a');
    // clang-format off
    const struct { const char* label; std::vector<std::string> lines; bool crlf; Bytes expected;
                   std::vector<int> results; } cases[] = {
        {"escape", {"caf=E9\n"}, true, "caf\xE9\r\n", {0}},
        {"escape in lower case", {"=3d=e9\n"}, false, "=\xE9\n", {0}},
        {"soft break joins", {"soft=\n", "break\n"}, true, "softbreak\r\n", {0, 0}},
        {"soft break with blanks after", {"a = \t\n", "b\n"}, false, "a b\n", {0, 0}},
        {"double equals is no break", {"x==\n"}, false, "x==\n", {1}},
        {"trailing blanks go", {"abc  \t\n"}, true, "abc\r\n", {0}},
        {"no line end conversion", {"a\n", "\n"}, false, "a\n\n", {0, 0}},
        {"bad escape written on a short line", {"=G1 and =4\n"}, false, "=G1 and =4\n", {1}},
        {"bad escape kept on a long line, a blank after it goes", {kLong + "=G1= x\n"}, false, kLong + "=G1x\n", {1}},
        {"header line not decoded", {"content-type: text/plain\n", "Article 12\n"}, true, "", {2, 2}},
        {"last line without break", {"end=41"}, true, "endA", {0}}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const auto [results, bytes] = DecodeLines(c.lines, c.crlf);
        EXPECT_BYTES_EQ(c.expected, bytes);
        EXPECT_EQ(results, c.results);
    }
}

TEST(QPPeek, EscapesOnlyAndLimit)
{
    unsigned char dest[8] = {};
    EXPECT_EQ(PeekDecodeQP("=41=4G=", dest, 0, 0), 5);
    EXPECT_EQ(test::AsBytes(dest, 5), "A=4G=");
    EXPECT_EQ(PeekDecodeQP("=41=42=43", dest, 0, 2), 2);
}

// Every byte value as an escape, in upper- and lower-case hex digits, on
// lines joined by soft breaks.
TEST(QPLines, EveryByteValueEscaped)
{
    for (const char* format : {"=%02X", "=%02x"}) {
        SCOPED_TRACE(format);
        std::vector<std::string> lines(16);
        for (int c = 0; c < 256; ++c) {
            char escape[4];
            std::snprintf(escape, sizeof escape, format, c);
            lines[static_cast<std::size_t>(c / 16)] += escape + std::string(c % 16 == 15 ? "=\n" : "");
        }
        lines.back().replace(lines.back().size() - 2, 2, "\n");
        EXPECT_BYTES_EQ(test::AllBytesFrom(0) + "\n", DecodeLines(lines, false).second);
    }
}

} // namespace
} // namespace zarvex
