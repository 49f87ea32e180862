#include "text/subject.h"

#include "model/settings.h"

#include <gtest/gtest.h>

#include <ostream>

namespace zarvex {
namespace {

struct SubjectCase {
    const char* subject;
    bool ok;
    int part;
    int total;
    const char* name;
    const char* withoutNumbers;
    int altFlag;
};

std::ostream& operator<<(std::ostream& os, const SubjectCase& c) { return os << '\'' << c.subject << '\''; }

class SubjectTable : public ::testing::TestWithParam<SubjectCase> {};

TEST_P(SubjectTable, GivesNumbersNameAndKey)
{
    const SubjectCase& c = GetParam();
    Settings settings;
    SubjectInfo info;
    EXPECT_EQ(ParseSubject(c.subject, settings, info), c.ok);
    EXPECT_EQ(info.part, c.part);
    EXPECT_EQ(info.total, c.total);
    EXPECT_EQ(info.name, c.name);
    EXPECT_EQ(info.subjectWithoutNumbers, c.withoutNumbers);
    EXPECT_EQ(info.altFlag, c.altFlag);
}

const SubjectCase kSubjects[] = {
    {"Re: foo.zip (2/5)", true, 2, 5, "foo.zip", "Re: foo.zip ", 0},
    {"file.zip (01/12)", true, 1, 12, "file.zip", "file.zip ", 0},
    {"repost: pics (1/3) (2/10)", true, 2, 10, "pics (1/3)", "repost: pics (1/3) ", 1},
    {"news 12/24/03 pics", false, -1, -1, "news 12/24/03 pics", "news 12/24/03 pics", 0},
    {"part0", true, 0, -1, "", "", 0},
    {"part3", false, -1, -1, "", "", 0},
    {"part 3", false, -1, -1, "part 3", "part 3", 0},
    {"(6/5)", true, 6, 5, "", "", 0},
    {"(7/5)", false, -1, -1, "", "", 0},
};

INSTANTIATE_TEST_SUITE_P(RealSubjects, SubjectTable, ::testing::ValuesIn(kSubjects));

} // namespace
} // namespace zarvex
