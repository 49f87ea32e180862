#include "model/settings.h"
#include "model/subject_rename.h"

#include <gtest/gtest.h>

#include <ctime>

namespace zarvex {
namespace {

struct RuleCase
{
    const char* subject;
    const char* fileName;
    SubjectRenameOptions options;
    const char* expected;
};

SubjectRenameOptions With(void (*set)(SubjectRenameOptions&))
{
    SubjectRenameOptions o;
    set(o);
    return o;
}

const SubjectRenameOptions kAllRules = With([](SubjectRenameOptions& o) {
    o.RemoveSquareBrackets = o.RemoveSquareParens = o.RemoveFilename = o.RemoveTrailingDigits = true;
});

class SubjectRules : public ::testing::TestWithParam<RuleCase>
{
};

TEST_P(SubjectRules, BuildTheName)
{
    const RuleCase& c = GetParam();
    int number = 1;
    EXPECT_EQ(BuildName({c.fileName, c.subject, "", 0}, c.options, Settings(), number), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    RealSubjects, SubjectRules,
    ::testing::Values(
        RuleCase{"Holiday [1/5] \xE2\x80\x9C" "dsc0042.jpg\xE2\x80\x9D yEnc (123 Kbytes)", "dsc0042.jpg", kAllRules,
                 "Holiday"},
        RuleCase{"Holiday [1/5] \"dsc0042.jpg\" yEnc (123 Kbytes)", "dsc0042.jpg", kAllRules, "Holiday"},
        // Nesting counts every enabled kind; a closing bracket at depth 0 is text.
        RuleCase{"a [b (c] d) e] f", "x", With([](SubjectRenameOptions& o) {
                     o.RemoveSquareBrackets = o.RemoveSquareParens = true;
                 }),
                 "a  e] f"},
        RuleCase{"a [b (c] d) e] f", "x", With([](SubjectRenameOptions& o) { o.RemoveSquareBrackets = true; }),
                 "a  d) e] f"},
        RuleCase{"unclosed [rest of it", "x", kAllRules, "unclosed"},
        // "yEnc" goes wherever it stands, in any case.
        RuleCase{"YENCpics yenc of Trip", "x", SubjectRenameOptions(), "pics  of Trip"},
        // Size words and trailing numbers.
        RuleCase{"Trip video 1.4 Mbytes", "x", kAllRules, "Trip video"},
        RuleCase{"Trip video 700k", "x", kAllRules, "Trip video"},
        RuleCase{"Trip 2006", "x", kAllRules, "Trip"},
        RuleCase{"Trip2006", "x", kAllRules, "Trip2006"},
        RuleCase{"Trip 12, 345 bytes 5 Kb", "x", kAllRules, "Trip"},
        // Patterns: the last match is cut.
        RuleCase{"a (1/2) b (3/4) c", "x", With([](SubjectRenameOptions& o) { o.RemovePattern = "(#/#)"; }),
                 "a (12) b  c"},
        RuleCase{"keep this", "x", With([](SubjectRenameOptions& o) { o.RemovePattern = "zz"; }), "keep this"},
        // Dropped characters, whole UTF-8 characters included.
        RuleCase{"na\xC3\xAFve_file-x", "x", With([](SubjectRenameOptions& o) { o.RemoveChars = "_\xC3\xAF"; }),
                 "navefile-x"},
        RuleCase{"a  b   c", "x", With([](SubjectRenameOptions& o) { o.RemoveSpaces = true; }), "a b c"},
        RuleCase{"photo.jpg from Bob", "photo.jpg", With([](SubjectRenameOptions& o) { o.AddFilename = true; }),
                 "photo.jpg from Bob"},
        RuleCase{"from Bob", "photo.jpg", With([](SubjectRenameOptions& o) { o.AddFilename = true; }),
                 "from Bob_photo.jpg"},
        // A subject that cleans down to nothing gives no name.
        RuleCase{"[1/5] yEnc (12 Kbytes)", "x", kAllRules, ""},
        // The result is one plain name.
        RuleCase{"../../etc/passwd", "x", SubjectRenameOptions(), "_....etcpasswd"}));

TEST(SubjectRename, RangesPickCharactersInTheOrderGiven)
{
    EXPECT_EQ(ApplyRange("abcdefghijklmn", "1-4,10-"), "abcdjklmn");
    EXPECT_EQ(ApplyRange("abcdefghijklmn", "1"), "abcdefghijklmn");
    EXPECT_EQ(ApplyRange("abcdefghijklmn", ""), "abcdefghijklmn");
    EXPECT_EQ(ApplyRange("abcdefghijklmn", " 3 , 1 - 2 "), "cab");
    EXPECT_EQ(ApplyRange("abc", "2-99,7"), "bc");
    EXPECT_EQ(ApplyRange("abcdef", "2-3;5"), "bc");
    EXPECT_EQ(ApplyRange("abcdef", "99999999999-"), "");
}

TEST(SubjectRename, FormatsDatesNumbersAndAuthors)
{
    std::tm tm{};
    tm.tm_year = 2006 - 1900;
    tm.tm_mon = 2;
    tm.tm_mday = 5;
    tm.tm_hour = 7;
    tm.tm_min = 8;
    tm.tm_sec = 9;
    tm.tm_isdst = -1;
    const RenameSource source{"f.jpg", "Trip", "bob@example.org", static_cast<std::int64_t>(std::mktime(&tm))};
    SubjectRenameOptions options;
    options.NameFormat = "%y-%m-%d %s";
    int number = 1;
    EXPECT_EQ(BuildName(source, options, Settings(), number), "2006-03-05 Trip");
    EXPECT_EQ(Format("%h%n%c %a %f 100%% %q %", source, number), "070809 bob@example.org f.jpg 100% %q %");

    options.NameFormat = "%s %#";
    for (const char* expected : {"Trip 01", "Trip 02", "Trip 03"})
        EXPECT_EQ(BuildName(source, options, Settings(), number), expected);
}

} // namespace
} // namespace zarvex
