#include "text/subject.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace zarvex {
namespace {

// subject, result, part, total, name, subject without numbers, altFlag
// clang-format off
const struct { const char* subject; bool ok; int part, total; const char *name, *withoutNumbers; int altFlag; }
kSubjects[] = {
    // The usual "(n/m)" after a file name; "Re: " only moves the name search.
    {"Re: foo.zip (2/5)", true, 2, 5, "foo.zip", "Re: foo.zip ", 0},
    {"file.zip (01/12)", true, 1, 12, "file.zip", "file.zip ", 0},
    {"Holiday pics - dsc001.jpg (1/3)", true, 1, 3, "dsc001.jpg", "Holiday pics - dsc001.jpg ", 0},
    {"file.tar.gz (1/2)", true, 1, 2, "file.tar.gz", "file.tar.gz ", 0},
    {"- - Repost - Re: stuff.rar [1/4]", true, 1, 4, "stuff.rar", "Repost - Re: stuff.rar ", 0},
    {"pics.zip {2/3}", true, 2, 3, "pics.zip", "pics.zip ", 0},
    // The last pair counts; a different earlier pair sets the flag unless its count is 1.
    {"repost: pics (1/3) (2/10)", true, 2, 10, "pics (1/3)", "repost: pics (1/3) ", 1},
    {"Image (1/2) -- x.jpeg (3/4)", true, 3, 4, "x.jpeg", "Image (1/2) -- x.jpeg ", 1},
    {"pics (3/1) file (1/1)", true, 1, 1, "pics (3/1) file", "pics (3/1) file ", 0},
    {"pics [ 1/4 ] (2/4)", true, 2, 4, "pics [ 1/4 ]", "pics [ 1/4 ] ", 1},
    {"pics (2/4) more (2/4)", true, 2, 4, "pics (2/4) more", "pics (2/4) more ", 0},
    // A quoted name; numbers before it cut the key at the name's end.
    {"[3/7] - \"x.rar\" yEnc (1/50)", true, 1, 50, "x.rar", "[3/7] - \"x.rar\" yEnc ", 0},
    {"[07/12] - \"holiday.jpg\" yEnc", true, 7, 12, "holiday.jpg", " - \"holiday.jpg", 0},
    {"(1/3) pics.zip yEnc", true, 1, 3, "pics.zip", " pics.zip", 0},
    // Numbers inside the quoted name: parsed once more from the name.
    {"Pics \"holiday [2/5].jpg\" yEnc", true, 2, 5, "holiday .jpg", "Pics \"holiday .jpg\" yEnc", 0},
    {"\"a (1/2) b\" more.zip", true, 1, 2, "more.zip", "\"a  b\" more.zip", 0},
    // Other number styles.
    {"Re: part 2 of 5", true, 2, 5, "", "Re: ", 0},
    {"My file part 2/3 here", true, 2, 3, "My file", "My file  here", 0},
    {"pics_3/7_ more", true, 3, 7, "pics", "pics more", 0},
    {"pics 3-7", true, 3, 7, "pics", "pics", 0}, {"pics (/t3/7/t)", true, 3, 7, "pics", "pics ", 0},
    {"Re: [ABC] 1/5", true, 1, 5, "[ABC]", "Re: [ABC] ", 0},
    {"stuff part2of5", false, -1, -1, "stuff", "stuff of5", 0},
    // "part#" alone: the count is unknown, so only part 0 passes.
    {"part0", true, 0, -1, "", "", 0}, {"pics part0", true, 0, -1, "pics", "pics ", 0},
    {"part3", false, -1, -1, "", "", 0}, {"part 3", false, -1, -1, "part 3", "part 3", 0},
    // "Part04/10" right after "part" is a part and a count (source postings).
    {"v02i045: zap - a file zapper, Part04/10", true, 4, 10, "zap - a file zapper,", "zap - a file zapper, ", 0},
    // One part beyond the count is accepted, two are not.
    {"(6/5)", true, 6, 5, "", "", 0}, {"(7/5)", false, -1, -1, "", "", 0},
    {"x.zip (0/0)", false, -1, -1, "x.zip", "x.zip ", 0},
    // Dates are no part numbers.
    {"news 12/24/03 pics", false, -1, -1, "news 12/24/03 pics", "news 12/24/03 pics", 0},
    {"news 12/04/03 pics", false, -1, -1, "news 12/04/03 pics", "news 12/04/03 pics", 0},
    {"party 12/24/ pics", false, -1, -1, "party 12/24/ pics", "party 12/24/ pics", 0},
    {"meeting 12/24/ (1/2)", true, 1, 2, "meeting 12/24/", "meeting 12/24/ ", 0},
    // Web addresses.
    {"http://www.example.com/x.jpg", false, -1, -1, "x.jpg", "http://www.example.com/x.jpg", 0},
    {"see http://www.example.com", false, -1, -1, "see http://www.example.com", "see http://www.example.com", 0},
    {"look at /www.site.org", false, -1, -1, "look at /www.site.org", "look at /www.site.org", 0},
    {"www.site.com/pic.gif (1/1)", true, 1, 1, "pic.gif", "www.site.com/pic.gif ", 0},
    // Words that are no file names.
    {"a.b.c.d (1/2)", true, 1, 2, "a.b.c.d", "a.b.c.d ", 0}, {"wait... (1/2)", true, 1, 2, "wait...", "wait... ", 0},
    {"dsc001.jpg - 3 of 10", false, -1, -1, "dsc001.jpg", "dsc001.jpg - 3 of 10", 0},
    // Volume words and version prefixes.
    {"Vol 3 pictures (1/2)", true, 1, 2, "3 pictures", "Vol 3 pictures ", 0},
    {"v2: holiday (1/2)", true, 1, 2, "holiday", "holiday ", 0},
    {"v2:holiday (1/2)", true, 1, 2, "v2:holiday", "v2:holiday ", 0},
    // Encoded words are decoded first; names come out as UTF-8.
    {"=?utf-8?B?w6kuanBnICgxLzIp?=", true, 1, 2, "\xC3\xA9.jpg", "\xC3\xA9.jpg ", 0},
    {"=?iso-8859-1?Q?caf=E9.jpg_(1/2)?=", true, 1, 2, "caf\xC3\xA9.jpg", "caf\xC3\xA9.jpg ", 0},
    {"(1/2)\xC3\xA9t\xC3\xA9", true, 1, 2, "t\xC3\xA9", "\xC3\xA9t\xC3\xA9", 0}, // not cut inside a character
    // Nothing to find.
    {"Subject with no numbers", false, -1, -1, "Subject with no numbers", "Subject with no numbers", 0},
    {"", false, -1, -1, "", "", 0}, {"   ", false, -1, -1, "", "", 0},
};
// clang-format on

TEST(SubjectTable, GivesNumbersNameAndKey)
{
    for (const auto& c : kSubjects) {
        SCOPED_TRACE(c.subject);
        SubjectInfo info;
        EXPECT_EQ(ParseSubject(c.subject, SubjectRules(), info), c.ok);
        EXPECT_EQ(std::tie(info.part, info.total, info.altFlag), std::tie(c.part, c.total, c.altFlag));
        EXPECT_EQ(info.name, c.name);
        EXPECT_EQ(info.subjectWithoutNumbers, c.withoutNumbers);
    }
}

TEST(SubjectSettings, OnlyUseLastParenLeavesTheFlagOff)
{
    SubjectRules rules;
    rules.OnlyUseLastParen = true;
    SubjectInfo info;
    ASSERT_TRUE(ParseSubject("repost: pics (1/3) (2/10)", rules, info));
    EXPECT_EQ(std::tie(info.part, info.total, info.altFlag), std::make_tuple(2, 10, 0));
}

TEST(SubjectLimits, HugeSubjectsAndNamesStayWithinTheirBuffers)
{
    SubjectInfo info;
    ParseSubject(std::string(5000, 'x') + ".zip (1/2)", SubjectRules(), info);
    EXPECT_TRUE(info.subjectWithoutNumbers.size() <= 1022 && info.name.size() <= 255);
    ASSERT_TRUE(ParseSubject("\"" + std::string(400, 'n') + ".jpg\" (1/2)", SubjectRules(), info));
    EXPECT_EQ(info.name, std::string(251, 'n') + ".jpg") << "the extension is kept";
}

TEST(NumberPatterns, LastMatchOutsideTheExclusionWindow)
{
    int a = 0, b = 0, start = 0, end = 0;
    ASSERT_TRUE(MatchNumbers("(1/2) x (3/4)", NumberPattern::kParen, &a, &b, -1, 0, &start, &end));
    EXPECT_EQ(std::tie(a, b, start, end), std::make_tuple(3, 4, 8, 13));
    // "(1/2)" spans offsets 4..8; the window (start, length) includes both ends, length 0 is none.
    EXPECT_TRUE(MatchNumbers("abc (1/2)", NumberPattern::kParen, &a, &b, 8, 0));
    EXPECT_FALSE(MatchNumbers("abc (1/2)", NumberPattern::kParen, &a, &b, 8, 1));
    EXPECT_FALSE(MatchNumbers("abc (1/2)", NumberPattern::kParen, &a, &b, 0, 4));
    EXPECT_TRUE(MatchNumbers("abc (1/2)", NumberPattern::kParen, &a, &b, 0, 3));
}

TEST(NumberPatterns, DigitRunsWhiteSpaceCaseAndHugeNumbers)
{
    int a = 0, b = 0;
    ASSERT_TRUE(MatchNumbers("x12/3", NumberPattern::kBareSlash, &a, &b, -1, 0));
    EXPECT_EQ(a, 12); // numbers do not start inside a digit run
    ASSERT_TRUE(MatchNumbers("FILE \t 2of4", NumberPattern::kGroupFileOf, &a, &b, -1, 0));
    EXPECT_EQ(std::tie(a, b), std::make_tuple(2, 4)); // a tab in the pattern matches a white-space run
    ASSERT_TRUE(MatchNumbers("(99999999999999999999/3)", NumberPattern::kParen, &a, &b, -1, 0));
    EXPECT_EQ(std::tie(a, b), std::make_tuple(999'999'999, 3));
    EXPECT_TRUE(MatchNumbers("some (text)", "<text>", &a, &b, -1, 0));
    EXPECT_FALSE(MatchNumbers("", "<text>", &a, &b, -1, 0));
    EXPECT_FALSE(MatchNumbers("x", "x", nullptr, &b, -1, 0));
}

TEST(GroupNumbers, PatternsInOrderUpTo499)
{
    // clang-format off
    const struct { const char* text; int group, total; } cases[] = {
        {"file 2 of 4 - pics ", 2, 4}, {"set <3/9> and 1 of 2", 3, 9}, {"File\t5of6 x", 5, 6}, {"file 7/8 x", 7, 8},
        {"file 499 of 499", 499, 499}, {"file 600 of 700", -1, -1}, {"nothing here", -1, -1}};
    // clang-format on
    for (const auto& c : cases) {
        int g = 0, t = 0;
        const bool found = FindGroupNumbers(c.text, &g, &t);
        EXPECT_EQ(std::tie(found, g, t), std::make_tuple(c.group != -1, c.group, c.total)) << c.text;
    }
}

} // namespace
} // namespace zarvex
