#include "codec/text_lines.h"

#include <gtest/gtest.h>

namespace zarvex {
namespace {

struct TextCase
{
    const char* label;
    std::string in, out;
};

class Utf7Lines : public ::testing::TestWithParam<TextCase>
{};

TEST_P(Utf7Lines, BecomeUtf8)
{
    EXPECT_EQ(Utf7LineToUtf8(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Cases, Utf7Lines,
                         ::testing::Values(TextCase{"Latin", "caf+AOk-.", "caf\xC3\xA9."},
                                           TextCase{"Plus", "1 +- 1", "1 + 1"},
                                           TextCase{"AboveLatin", "+ZeVnLIqe-", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
                                           TextCase{"SurrogatePair", "+2D3eAA-", "\xF0\x9F\x98\x80"},
                                           TextCase{"LoneSurrogate", "+2D0-x", "?x"},
                                           TextCase{"RunEndsWithoutDash", "+AOk.", "\xC3\xA9."},
                                           TextCase{"RunEndsWithLine", "+AOk", "\xC3\xA9"}),
                         [](const auto& p) { return std::string(p.param.label); });

class Utf8Lines : public ::testing::TestWithParam<TextCase>
{};

TEST_P(Utf8Lines, BrokenSequencesBecomeQuestionMarks)
{
    EXPECT_EQ(CleanUtf8(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Cases, Utf8Lines,
                         ::testing::Values(TextCase{"Valid", "gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80", "gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80"},
                                           TextCase{"Latin1Byte", "caf\xE9!", "caf?!"},
                                           TextCase{"Overlong", "\xC0\xAF", "??"},
                                           TextCase{"Surrogate", "\xED\xA0\x80", "???"},
                                           TextCase{"CutAtEnd", "ab\xE6\x97", "ab??"}),
                         [](const auto& p) { return std::string(p.param.label); });

} // namespace
} // namespace zarvex
