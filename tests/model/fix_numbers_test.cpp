#include "model/records.h"

#include <gtest/gtest.h>

namespace zarvex {
namespace {

CFInfo PartWith(const char* fullSubject, int part, int total)
{
    CFInfo info;
    info.m_FullSubj = fullSubject;
    info.m_Part = part;
    info.m_Total = total;
    return info;
}

TEST(FixNumbersFromData, SubjectNumbersBecomeGroupNumbers)
{
    CFInfo info = PartWith("(3/10) pics.rar (2/4)", 2, 4);
    ASSERT_TRUE(info.FixNumbersFromData(3, 10));
    EXPECT_EQ(info.m_Part, 3);
    EXPECT_EQ(info.m_Total, 10);
    EXPECT_EQ(info.m_Group, 2);
    EXPECT_EQ(info.m_GroupTotal, 4);
    EXPECT_EQ(info.m_Swapped, 1);
    EXPECT_EQ(info.m_FullSubj, "() pics.rar (2/4) (2/4)");
}

// Leading zeros compare by value; numbers inside longer runs do not count.
TEST(FixNumbersFromData, OnlyWholeNumbersMatch)
{
    CFInfo zeros = PartWith("pics [03/10] (1/2)", 1, 2);
    ASSERT_TRUE(zeros.FixNumbersFromData(3, 10));
    EXPECT_EQ(zeros.m_FullSubj, "pics [] (1/2) (1/2)");
    for (const char* subject : {"pics (2/4)", "x 13/10 y (1/2)", "x 3/100 y (1/2)", ""}) {
        CFInfo info = PartWith(subject, 2, 4);
        EXPECT_FALSE(info.FixNumbersFromData(3, 10)) << subject;
        EXPECT_EQ(info.m_FullSubj, subject);
        EXPECT_EQ(info.m_Part, 2);
        EXPECT_EQ(info.m_Group, -1);
        EXPECT_EQ(info.m_Swapped, 0);
    }
}

} // namespace
} // namespace zarvex
