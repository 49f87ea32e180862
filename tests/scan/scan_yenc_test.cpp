// yEnc sections: the fields of the "=ybegin", "=ypart" and "=yend" lines
// and the number of parts worked out from the part's byte range.
#include "scan_fixture.h"

#include "model/data_types.h"

namespace zarvex::test {
namespace {

// Lines that stand in for yEnc data (the scanner does not decode them).
std::vector<std::string> YencData(int lines)
{
    std::vector<std::string> out;
    for (int i = 0; i < lines; ++i)
        out.push_back(std::string(128, static_cast<char>('a' + i % 20)));
    return out;
}

const CFInfo* OnlyPart(const MyCObArray& list)
{
    if (list.GetSize() != 1 || list.GetAt(0)->GetSize() != 1) return nullptr;
    return list.GetAt(0)->GetAt(0);
}

using YencHeaders = ScanTest;

TEST_F(YencHeaders, SinglePartHeaderGivesNumbersSizeAndName)
{
    Doc doc;
    doc.Add("=ybegin line=128 size=1000 name=a.bin").Mark("begin");
    doc.AddAll(YencData(8));
    doc.Add("=yend size=1000 crc32=1234abcd").Mark("end");
    ScanDoc(doc);
    const CFInfo* p = OnlyPart(list);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(p->m_MsgType, MT_YENC);
    EXPECT_EQ(p->m_Part, 1);
    EXPECT_EQ(p->m_Total, 1);
    EXPECT_EQ(p->m_ySize, 1000);
    EXPECT_EQ(p->m_yLine, 128);
    EXPECT_EQ(p->m_DestFile, "a.bin");
    EXPECT_EQ(p->m_Starts, 2);
    EXPECT_EQ(p->m_Ends, 1);
    EXPECT_EQ(p->m_yEndSize, 1000);
    EXPECT_EQ(p->m_yPartCrc, 0x1234abcdu);
    EXPECT_EQ(p->m_SPos, doc.Pos("begin"));
    EXPECT_EQ(p->m_EPos, doc.PosAfter("end"));
    EXPECT_EQ(p->m_EndLine, doc.Line("end"));
}

TEST_F(YencHeaders, PartLineGivesTheByteRange)
{
    Doc doc;
    doc.Add("=ybegin part=2 total=5 line=128 size=500000 name=big.bin");
    doc.Add("=ypart begin=100001 end=200000");
    doc.AddAll(YencData(4));
    doc.Add("=yend size=100000 part=2 pcrc32=0000000011112222");
    ScanDoc(doc);
    const CFInfo* p = OnlyPart(list);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->m_Part, 2);
    EXPECT_EQ(p->m_Total, 5);
    EXPECT_EQ(p->m_yBegin, 100001);
    EXPECT_EQ(p->m_yEnd, 200000);
    EXPECT_EQ(p->m_yPartCrc, 0x11112222u); // the last 8 of 16 digits
}

TEST_F(YencHeaders, LastPartWithoutTotalKeepsItUnknown)
{
    Doc doc;
    doc.Add("=ybegin part=3 line=128 size=250000 name=c.bin");
    doc.Add("=ypart begin=200001 end=250000");
    doc.AddAll(YencData(4));
    doc.Add("=yend size=50000 part=3");
    ScanDoc(doc);
    const CFInfo* p = OnlyPart(list);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->m_Part, 3);
    EXPECT_EQ(p->m_Total, -1);
}

TEST_F(YencHeaders, FirstPartWithoutTotalGetsTheCountFromItsSize)
{
    Doc doc;
    doc.Add("=ybegin part=1 line=128 size=250000 name=c.bin");
    doc.Add("=ypart begin=1 end=100000");
    doc.AddAll(YencData(4));
    doc.Add("=yend size=100000 part=1");
    ScanDoc(doc);
    const CFInfo* p = OnlyPart(list);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->m_Total, 3);
}

TEST_F(YencHeaders, NameLosesSurroundingBlanks)
{
    Doc doc;
    doc.Add("=ybegin line=128 size=10 name=   spaced name.txt   ");
    doc.AddAll(YencData(1));
    doc.Add("=yend size=10");
    ScanDoc(doc);
    const CFInfo* p = OnlyPart(list);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->m_DestFile, "spaced name.txt");
}

TEST_F(YencHeaders, HeaderWithoutLineKeywordIsOrdinaryText)
{
    Doc doc;
    doc.Add("=ybegin size=10 name=x.bin");
    doc.Add("=yend size=10");
    EXPECT_TRUE(ScanDoc(doc).empty());
}

TEST_F(YencHeaders, HugeNumbersSaturateInsteadOfOverflowing)
{
    Doc doc;
    doc.Add("=ybegin part=99999999999999999999 total=1 line=128 size=99999999999999999999999 name=x.bin");
    doc.Add("=ypart begin=-5 end=99999999999999999999999");
    doc.AddAll(YencData(2));
    doc.Add("=yend size=99999999999999999999 crc32=zz");
    ScanDoc(doc);
    EXPECT_EQ(result, 1);
    const CFInfo* p = OnlyPart(list);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->m_ySize, 0); // out of range: not taken
}

TEST_F(YencHeaders, YbeginClosesAUuPartBeforeIt)
{
    Doc doc;
    doc.Add("begin 644 u.bin");
    doc.AddAll(UuLines(RandomBytes(450, 61)));
    doc.Add("=ybegin line=128 size=10 name=y.bin").Mark("ybegin");
    doc.AddAll(YencData(1));
    doc.Add("=yend size=10");
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].msgType, MT_UU);
    EXPECT_EQ(parts[0].ePos, doc.Pos("ybegin"));
    EXPECT_EQ(parts[1].msgType, MT_YENC);
    EXPECT_EQ(parts[1].destFile, "y.bin");
}

} // namespace
} // namespace zarvex::test
