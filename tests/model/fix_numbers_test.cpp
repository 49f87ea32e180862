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

TEST(FixNumbersFromData, LeadingZerosCompareByValue)
{
    CFInfo info = PartWith("pics [03/10] (1/2)", 1, 2);
    ASSERT_TRUE(info.FixNumbersFromData(3, 10));
    EXPECT_EQ(info.m_FullSubj, "pics [] (1/2) (1/2)");
}

TEST(FixNumbersFromData, NoMatchChangesNothing)
{
    CFInfo info = PartWith("pics (2/4)", 2, 4);
    EXPECT_FALSE(info.FixNumbersFromData(3, 10));
    EXPECT_EQ(info.m_FullSubj, "pics (2/4)");
    EXPECT_EQ(info.m_Part, 2);
    EXPECT_EQ(info.m_Group, -1);
    EXPECT_EQ(info.m_Swapped, 0);
}

TEST(FixNumbersFromData, NumbersInsideLongerRunsDoNotCount)
{
    CFInfo info = PartWith("x 13/10 y (1/2)", 1, 2);
    EXPECT_FALSE(info.FixNumbersFromData(3, 10));
    CFInfo other = PartWith("x 3/100 y (1/2)", 1, 2);
    EXPECT_FALSE(other.FixNumbersFromData(3, 10));
}

TEST(FixNumbersFromData, EmptySubject)
{
    CFInfo info = PartWith("", 1, 2);
    EXPECT_FALSE(info.FixNumbersFromData(1, 5));
}

} // namespace
} // namespace zarvex
