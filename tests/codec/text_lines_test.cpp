#include "codec/text_lines.h"

#include <gtest/gtest.h>

#include <string>

namespace zarvex {
namespace {

// UTF-7 lines become UTF-8; broken UTF-8 sequences become question marks.
TEST(TextLines, Utf7BecomesUtf8AndBrokenUtf8BecomesQuestionMarks)
{
    // UTF-7: a surrogate pair, a lone surrogate, a run ended without a dash or
    // by the line. UTF-8: an overlong form, a surrogate, a sequence cut at the end.
    // clang-format off
    const struct { std::string (*convert)(std::string_view); std::string in, out; } cases[] = {
        {&Utf7LineToUtf8, "caf+AOk-.", "caf\xC3\xA9."}, {&Utf7LineToUtf8, "1 +- 1", "1 + 1"},
        {&Utf7LineToUtf8, "+ZeVnLIqe-", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
        {&Utf7LineToUtf8, "+2D3eAA-", "\xF0\x9F\x98\x80"}, {&Utf7LineToUtf8, "+2D0-x", "?x"},
        {&Utf7LineToUtf8, "+AOk.", "\xC3\xA9."}, {&Utf7LineToUtf8, "+AOk", "\xC3\xA9"},
        {&CleanUtf8, "gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80", "gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80"},
        {&CleanUtf8, "caf\xE9!", "caf?!"}, {&CleanUtf8, "\xC0\xAF", "??"}, {&CleanUtf8, "\xED\xA0\x80", "???"},
        {&CleanUtf8, "ab\xE6\x97", "ab??"}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(c.convert(c.in), c.out) << c.in;
}

} // namespace
} // namespace zarvex
