#include "app/ini_file.h"
#include "app/subject_rename.h"
#include "model/settings.h"

#include <gtest/gtest.h>

namespace zarvex {
namespace {

std::string Build(std::string_view subject, std::string_view file, const SubjectRenameRules& rules,
                  std::int64_t time = 0, int* number = nullptr)
{
    return BuildSubjectName(
        {.subject = subject, .fileName = file, .author = {}, .time = time, .number = number}, rules,
        Settings{});
}

TEST(SubjectRename, RulesStripBracketsTheFileNameAndTheSize)
{
    SubjectRenameRules r;
    r.removeSquareBrackets = r.removeParens = r.removeFilename = r.removeTrailingDigits = true;
    EXPECT_EQ(Build("Holiday [1/5] \xE2\x80\x9C"
                    "dsc0042.jpg\xE2\x80\x9D yEnc (123 Kbytes)",
                    "dsc0042.jpg", r),
              "Holiday");
    EXPECT_EQ(Build("Trip 2006 - 1.5 Mb", "x.jpg", r), "Trip");
    SubjectRenameRules p;
    p.removePattern = "# of #";
    p.removeSpaces = true;
    EXPECT_EQ(Build("Trip 3 of 5  photos", "x", p), "Trip photos");
    p.addFilename = true;
    EXPECT_EQ(Build("see x.jpg here", "x.jpg", p), "see x.jpg here");
    EXPECT_EQ(Build("see", "x.jpg", p), "see_x.jpg");
}

TEST(SubjectRename, RangeAndFormat)
{
    EXPECT_EQ(ApplyRange("abcdefghijklmn", "1-4,10-"), "abcdjklmn");
    EXPECT_EQ(ApplyRange("abcdefghijklmn", "1"), "abcdefghijklmn");
    SubjectRenameRules r;
    r.format = "%y-%m-%d %s";
    EXPECT_EQ(Build("Trip", "x", r, 1141560000), "2006-03-05 Trip"); // noon, 5 March 2006
    r.format = "%s %#";
    int number = 1;
    EXPECT_EQ(Build("Trip", "x", r, 0, &number), "Trip 01");
    EXPECT_EQ(Build("Trip", "x", r, 0, &number), "Trip 02");
}

TEST(SubjectRename, RulesAreKeptInTheirSection)
{
    SubjectRenameRules r;
    r.removeParens = true;
    r.format = "%f";
    IniFile ini;
    StoreSubjectRename(r, ini);
    EXPECT_EQ(ini.GetInt("SubjectRename", "RemoveSquareParens", 0), 1);
    const SubjectRenameRules back = LoadSubjectRename(ini);
    EXPECT_TRUE(back.removeParens);
    EXPECT_EQ(back.format, "%f");
    EXPECT_EQ(LoadSubjectRename(IniFile()).format, "%s");
}

} // namespace
} // namespace zarvex
