#include "model/records.h"
#include "model/settings.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace zarvex {
namespace {

std::vector<int> Numbers(const CFInfo& p)
{
    return {p.m_Part, p.m_Total, p.m_Group, p.m_GroupTotal};
}

TEST(CFInfo, SerialNumbersRiseAndCopiesTakeANewOne)
{
    const std::int32_t next = CFInfo::PeekNextSerial();
    CFInfo a;
    CFInfo b;
    EXPECT_EQ(std::tie(a.m_ID, b.m_ID), std::make_tuple(next, next + 1));
    a.m_MsgType = MT_UU;
    a.m_Flags = PF_RENAME;
    a.m_DestFile = "x.zip";
    CFInfo copy(a);
    EXPECT_EQ(copy.m_ID, next + 2);
    EXPECT_EQ(copy.m_DestFile, "x.zip");
    EXPECT_EQ(copy.m_MsgType, 0u) << "a copy does not take the encoding";
    EXPECT_EQ(copy.m_Flags, 0u);
}

TEST(CFInfo, DataEndNeedsAnOutputStart)
{
    CFInfo part;
    EXPECT_FALSE(part.SetDataEnd(100));
    part.m_ByteStart = 40;
    EXPECT_TRUE(part.SetDataEnd(100));
    EXPECT_EQ(part.m_Length, 60);
}

TEST(CFInfo, SwapNumbersTogglesTheMark)
{
    CFInfo part;
    part.m_Part = 2;
    part.m_Total = 5;
    part.m_Group = 1;
    part.m_GroupTotal = 3;
    part.SwapNumbers();
    EXPECT_EQ(Numbers(part), (std::vector<int>{1, 3, 2, 5}));
    EXPECT_EQ(part.m_Swapped, 1);
    part.SwapNumbers();
    EXPECT_EQ(part.m_Swapped, 0);
}

TEST(CFInfo, SameFileAcceptsUnknownTotals)
{
    CFInfo a, b;
    a.m_OrigName = b.m_OrigName = "f.rar";
    a.m_MsgType = b.m_MsgType = MT_YENC;
    a.m_Total = 5;
    for (int total : {-1, 0, 5, 6}) {
        b.m_Total = total;
        EXPECT_EQ(a.IsSameFile(b), total != 6) << total;
    }
}

// Numbers in the data that the subject also gives make the subject's pair
// the file numbers, and are cut from the subject. Leading zeros compare by
// value; numbers inside longer runs do not count.
TEST(CFInfo, FixNumbersFromDataTakesOnlyWholeSubjectNumbers)
{
    const std::tuple<const char*, const char*, std::vector<int>> cases[] = {
        {"(3/10) pics.rar (2/4)", "() pics.rar (2/4) (2/4)", {3, 10, 2, 4}},
        {"pics [03/10] (2/4)", "pics [] (2/4) (2/4)", {3, 10, 2, 4}},
        {"pics (2/4)", nullptr, {}},
        {"x 13/10 y (1/2)", nullptr, {}},
        {"x 3/100 y (1/2)", nullptr, {}},
        {"", nullptr, {}}};
    for (const auto& [subject, fixed, numbers] : cases) {
        CFInfo info;
        info.m_FullSubj = subject;
        info.m_Part = 2;
        info.m_Total = 4;
        EXPECT_EQ(info.FixNumbersFromData(3, 10), fixed != nullptr) << subject;
        EXPECT_EQ(info.m_FullSubj, fixed ? fixed : subject);
        EXPECT_EQ(Numbers(info), fixed ? numbers : std::vector<int>({2, 4, -1, -1})) << subject;
        EXPECT_EQ(info.m_Swapped, fixed ? 1 : 0);
    }
}

TEST(CSortInfo, FullSubjectLookupTellsNoneFromOthers)
{
    CSortInfo group;
    auto* part = new CFInfo;
    group.Init(part);
    EXPECT_EQ(group.IndexOfFullSubj("x"), -2);
    part->m_FullSubj = "Pics (1/2)";
    EXPECT_EQ(group.IndexOfFullSubj("pics (1/2)"), 0);
    EXPECT_EQ(group.IndexOfFullSubj("other"), -1);
    EXPECT_EQ(group.IndexOfFullSubj(""), -1);
}

TEST(MyCObArray, InputNamesCompareExactly)
{
    Settings settings;
    MyCObArray list(settings);
    EXPECT_EQ(list.AddInputFile("/tmp/Mail.txt"), 0);
    EXPECT_EQ(list.AddInputFile("/tmp/mail.txt"), 0) << "Linux paths differ by case";
    EXPECT_EQ(list.AddInputFile("/tmp/Mail.txt"), -1);
    list.RemoveAll();
    EXPECT_TRUE(list.m_InputNames.empty());
    EXPECT_EQ(list.m_NextFileNumber, 1);
}

TEST(MsgTypeName, LowestNamedBitWins)
{
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0x22, "UU"}, {0x400, "Multi"}, {0, "?"}, {MT_FACE, "Face"}};
    for (const auto& [type, name] : cases)
        EXPECT_EQ(MsgTypeName(type), name) << type;
}

} // namespace
} // namespace zarvex
