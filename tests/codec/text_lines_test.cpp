#include "codec/text_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace zarvex {
namespace {

using Conversion = std::pair<std::string, std::string>;

TEST(Utf7Lines, BecomeUtf8)
{
    const Conversion cases[] = {{"caf+AOk-.", "caf\xC3\xA9."},
                                {"1 +- 1", "1 + 1"},
                                {"+ZeVnLIqe-", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
                                {"+2D3eAA-", "\xF0\x9F\x98\x80"}, // a surrogate pair
                                {"+2D0-x", "?x"},                 // a lone surrogate
                                {"+AOk.", "\xC3\xA9."},           // the run ends without a dash
                                {"+AOk", "\xC3\xA9"}};            // or with the line
    for (const auto& [in, out] : cases)
        EXPECT_EQ(Utf7LineToUtf8(in), out) << in;
}

TEST(Utf8Lines, BrokenSequencesBecomeQuestionMarks)
{
    const Conversion cases[] = {
        {"gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80", "gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80"},
        {"caf\xE9!", "caf?!"},
        {"\xC0\xAF", "??"},      // overlong
        {"\xED\xA0\x80", "???"}, // a surrogate
        {"ab\xE6\x97", "ab??"}}; // cut at the end
    for (const auto& [in, out] : cases)
        EXPECT_EQ(CleanUtf8(in), out) << in;
}

} // namespace
} // namespace zarvex
