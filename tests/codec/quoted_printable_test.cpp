#include "codec/quoted_printable.h"

#include "tests/codec/codec_helpers.h"
#include "tests/extract/extract_fixture.h"

#include <gtest/gtest.h>

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
    const struct
    {
        const char* label;
        std::vector<std::string> lines;
        bool crlf;
        Bytes expected;
        std::vector<int> results;
    } cases[] = {
        {"escape", {"caf=E9\n"}, true, "caf\xE9\r\n", {0}},
        {"escape in lower case", {"=3d=e9\n"}, false, "=\xE9\n", {0}},
        {"soft break joins", {"soft=\n", "break\n"}, true, "softbreak\r\n", {0, 0}},
        {"soft break with blanks after", {"a = \t\n", "b\n"}, false, "a b\n", {0, 0}},
        {"double equals is no break", {"x==\n"}, false, "x==\n", {1}},
        {"trailing blanks go", {"abc  \t\n"}, true, "abc\r\n", {0}},
        {"no line end conversion", {"a\n", "\n"}, false, "a\n\n", {0, 0}},
        {"bad escape written on a short line", {"=G1 and =4\n"}, false, "=G1 and =4\n", {1}},
        {"bad escape dropped on a long line", {kLong + "=G1= x\n"}, false, kLong + "G1x\n", {1}},
        {"header line not decoded", {"content-type: text/plain\n", "Article 12\n"}, true, "", {2, 2}},
        {"last line without break", {"end=41"}, true, "endA", {0}}};
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

// Python's quopri decodes the same text to the same bytes.
TEST(QPPython, MatchesQuopri)
{
    if (!test::HavePython()) GTEST_SKIP() << "python3 is not installed";
    test::TempDir dir;
    Bytes text;
    const Bytes random = test::RandomBytes(6000, 5);
    for (std::size_t i = 0; i < random.size(); ++i)
        text += (i % 61 == 60) ? '\n' : random[i];
    text += '\n';
    const Bytes encoded =
        test::Python("import sys, quopri\n"
                     "sys.stdout.buffer.write(quopri.encodestring(sys.stdin.buffer.read()))\n",
                     text, dir);
    const Bytes expected =
        test::Python("import sys, quopri\n"
                     "sys.stdout.buffer.write(quopri.decodestring(sys.stdin.buffer.read()))\n",
                     encoded, dir);
    ASSERT_FALSE(expected.empty());
    const auto [results, bytes] = DecodeLines(test::SplitLines(encoded), false);
    EXPECT_BYTES_EQ(expected, bytes);
}

} // namespace
} // namespace zarvex
