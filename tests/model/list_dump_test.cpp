#include "model/list_dump.h"
#include "model/records.h"
#include "part_builder.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace zarvex {
namespace {

using test::ListFixture;
using test::MakePart;
using test::PartFields;
using test::UuPart;

class ListDump : public ::testing::Test, protected ListFixture
{
protected:
    test::UtcZone zone;
};

TEST_F(ListDump, GoldenTextOfAPostingWithDuplicates)
{
    settings.AutoDuplicateRemoval = true;
    PartFields one = UuPart("a.zip", 1, 2, 1), two = UuPart("a.zip", 2, 2, 2);
    one.time = 1700000000;
    ASSERT_EQ(Add(one), 1);
    ASSERT_EQ(Add(two), 1);
    two.file = "/in/b.txt";
    two.lines = 60;
    ASSERT_EQ(Add(two), 1);
    list.Evaluate();
    CFInfo *first = list.GetAt(0)->GetAt(0), *second = list.GetAt(0)->GetAt(1);
    // Serial numbers depend on what ran before: give every part a fixed one.
    first->m_ID = 100, second->m_ID = 101, second->m_pNextDup->m_ID = 102;
    first->m_ByteStart = 4096;
    first->m_Length = 5000000000LL; // the dump prints the low 32 bits
    second->m_Flags = PF_RENAME | PF_CHECKFAIL;
    const std::string expected =
        "There are 1 total sortnodes.\r\n"
        "SortNode:0\r\n"
        "    Subject:a.zip\r\n"
        "    Found:2, Expected:2, Status:2\r\n"
        "    FileNode:0 ID=100\r\n"
        "        File:/in/news.txt\r\n"
        "        Subject: \"a.zip\"\r\n"
        "        FullSubj:\"\"a.zip\" - my upload\"\r\n"
        "        DestFile:a.zip ---> a.zip\r\n"
        "        Msg:1 of 2, Group:-1 of -1, Starts:1, Ends:0, Indent:0, DataType:zip\tTime:2023-11-14 "
        "22:13:20\r\n"
        "        SPos:100000, EPos:106200, Sl#:1001, El#:1101, MsgType:UU\tByteStart:4096, Length:705032704, "
        "Status:0, Flags:0000 ID:100\r\n"
        "    FileNode:1 ID=101\r\n"
        "        File:/in/news.txt\r\n"
        "        Subject: \"a.zip\"\r\n"
        "        FullSubj:\"\"a.zip\" - my upload\"\r\n"
        "        DestFile: ---> \r\n"
        "        Msg:2 of 2, Group:-1 of -1, Starts:0, Ends:1, Indent:0, DataType:---\tTime:1970-01-01 "
        "00:00:00\r\n"
        "        SPos:200000, EPos:206200, Sl#:2001, El#:2101, MsgType:UU\tByteStart:0, Length:0, "
        "Status:0, Flags:0x21 ID:101\r\n"
        "    \t(Inactive duplicate parts)\r\n"
        "\t        File:/in/b.txt\r\n"
        "\t        Subject: \"a.zip\"\r\n"
        "\t        FullSubj:\"\"a.zip\" - my upload\"\r\n"
        "\t        DestFile: ---> \r\n"
        "\t        Msg:2 of 2, Group:-1 of -1, Starts:0, Ends:1, Indent:0, DataType:---\tTime:1970-01-01 "
        "00:00:00\r\n"
        "\t        SPos:200000, EPos:203720, Sl#:2001, El#:2061, MsgType:UU\tByteStart:0, Length:0, "
        "Status:0, Flags:0000 ID:102\r\n";
    EXPECT_BYTES_EQ(expected, ListDumpText(&list));
}

// Each copy deeper in a chain is indented by one more tab, up to sixteen.
TEST_F(ListDump, DeepChainsStopIndentingAtSixteenTabs)
{
    settings.AutoDuplicateRemoval = true;
    ASSERT_EQ(Add(UuPart("a.zip", 1, 1, 1)), 1);
    for (int copy = 0; copy < 20; ++copy) {
        PartFields s = UuPart("a.zip", 1, 1, 1);
        s.file = "/in/copy" + std::to_string(copy);
        s.lines = 50;
        ASSERT_EQ(Add(s), 1);
    }
    const std::string text = ListDumpText(&list);
    for (const auto& [copy, tabs] : {std::pair{1, 2}, {14, 15}, {15, 16}, {19, 16}}) {
        const std::string line = "\n" + std::string(tabs, '\t') + "        File:/in/copy" + std::to_string(copy);
        EXPECT_NE(text.find(line + "\r\n"), std::string::npos) << copy;
    }
    EXPECT_EQ(text.find(std::string(17, '\t')), std::string::npos);
}

TEST_F(ListDump, WrittenToAFile)
{
    test::TempDir dir;
    ASSERT_EQ(Add(UuPart("a.zip", 1, 1, 1)), 1);
    ASSERT_TRUE(WriteListDump(&list, dir / "dump.txt"));
    EXPECT_EQ(test::ReadFile(dir / "dump.txt"), ListDumpText(&list));
    EXPECT_FALSE(WriteListDump(&list, dir / "no/such/folder/dump.txt"));
    EXPECT_EQ(ListDumpText(nullptr), "Invalid parameter to DumpList");
}

// ---------------------------------------------------------------- report

TEST(MissingParts, GapsOfOneTwoAndMore)
{
    // A missing first part is named; with an unknown count there is no tail.
    const std::tuple<std::vector<int>, int, const char*> cases[] = {
        {{1, 2, 3}, 3, ""}, {{1, 3}, 3, "2"}, {{1, 4}, 4, "2,3"}, {{1, 5, 6}, 10, "2-4,7-10"}, {{2, 3}, 3, "1"},
        {{3, 3, 1}, -1, "2"}, {{1}, 2147483647, "2-2147483647"}, {{2147483647}, 2, "1-2147483646"},
        {{0, 0}, 3, "1-3"}, {{0}, 2, "1,2"}, {{0}, 1, ""}}; // only unnumbered parts: all expected ones are missing
    for (const auto& [found, total, expected] : cases)
        EXPECT_EQ(MissingPartList(found, total), expected) << total;
}

using Report = ListDump;

TEST_F(Report, CompletePostingHasNoMissingParts)
{
    for (int n : {2, 1})
        ASSERT_EQ(Add(UuPart("a.zip", n, 2, n)), 1);
    list.Evaluate();
    EXPECT_BYTES_EQ("Subject: \"a.zip\" - my upload\r\n"
                    "InFile: /in/news.txt\r\n"
                    "OutFile: a.zip\r\n"
                    "Encoding: UU\r\n"
                    "DataType: zip\r\n"
                    "Parts: 2 found, 2 expected \r\n"
                    "Missing Parts: (None)\r\n"
                    "Extract Status: 0\r\n\r\n",
                    ReportText(list));
}

// Without part 1 the name comes from the subject and the type is unknown;
// the extract status comes from the parts.
TEST_F(Report, MissingPartsAreListed)
{
    for (int n : {3, 2, 6})
        ASSERT_EQ(Add(UuPart("data.zip", n, 7, n)), 1);
    list.Evaluate();
    ASSERT_EQ(list.GetAt(0)->m_Status, GS_MISSING);
    list.GetAt(0)->GetAt(1)->m_Status = 2, list.GetAt(0)->GetAt(2)->m_Status = 0x41;
    const std::string report = ReportText(list);
    for (const char* line : {"OutFile: data.zip\r\n", "Missing Parts: 1,4,5,7\r\n", "DataType: unknown\r\n",
                             "Extract Status: 65\r\n"})
        EXPECT_NE(report.find(line), std::string::npos) << line << report;
}

TEST_F(Report, OriginalNameOnlyWhenItDiffersBeyondCase)
{
    PartFields s = UuPart("Pic.JPG", 1, 1, 1);
    s.dataType = DT_JPG;
    ASSERT_EQ(Add(s), 1);
    list.GetAt(0)->GetAt(0)->m_DestFile = "pic.jpg";
    list.Evaluate();
    EXPECT_EQ(ReportText(list).find("OriginalName:"), std::string::npos);
    list.GetAt(0)->GetAt(0)->m_DestFile = "holiday.jpg";
    list.GetAt(0)->m_Status = GS_CHANGED;
    list.Evaluate();
    EXPECT_NE(ReportText(list).find("OutFile: holiday.jpg\r\nOriginalName: Pic.JPG\r\n"), std::string::npos);
}

TEST_F(Report, EightBitSubjectAsUtf8AndTheFileNumberOfAMultiFilePosting)
{
    PartFields s = UuPart("a.zip", 1, 1, 1);
    s.fullSubject = "caf\xE9", s.group = 2, s.groupTotal = 3;
    ASSERT_EQ(Add(s), 1);
    list.Evaluate();
    const std::string report = ReportText(list);
    EXPECT_EQ(report.rfind("Subject: caf\xC3\xA9\r\n", 0), 0u);
    EXPECT_NE(report.find("Parts: 1 found, 1 expected     Group: 2 of 3\r\n"), std::string::npos);
    EXPECT_NE(ListDumpText(&list).find("FullSubj:\"caf\xC3\xA9\"\r\n"), std::string::npos);
}

} // namespace
} // namespace zarvex
