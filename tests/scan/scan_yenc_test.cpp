// yEnc sections: the fields of the "=ybegin", "=ypart" and "=yend" lines
// and the number of parts worked out from the part's byte range.
#include "scan_fixture.h"

#include "model/data_types.h"

#include <tuple>

namespace zarvex::test {
namespace {

class YencHeaders : public ScanTest
{
protected:
    // Scans the header lines around stand-in data lines (the scanner does not
    // decode them) and returns the one part found, or null.
    const CFInfo* ScanYenc(const std::vector<std::string>& head, const std::string& tail, int dataLines = 4)
    {
        doc.AddAll(head);
        for (int i = 0; i < dataLines; ++i)
            doc.Add(std::string(128, static_cast<char>('a' + i % 20)));
        doc.Add(tail).Mark("end");
        const auto parts = ScanDoc(doc);
        return parts.size() == 1 ? parts[0] : nullptr;
    }
    Doc doc;
};

TEST_F(YencHeaders, SinglePartHeaderGivesNumbersSizeAndName)
{
    const CFInfo* p =
        ScanYenc({"=ybegin line=128 size=1000 name=a.bin"}, "=yend size=1000 crc32=1234abcd", 8);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::tie(result, p->m_MsgType, p->m_yLine, p->m_DestFile), std::make_tuple(1, MT_YENC, 128, "a.bin"));
    EXPECT_EQ(std::tie(p->m_Part, p->m_Total, p->m_Starts, p->m_Ends), std::make_tuple(1, 1, 2, 1));
    EXPECT_EQ(std::tie(p->m_ySize, p->m_yEndSize, p->m_yPartCrc), std::make_tuple(1000, 1000, 0x1234abcdu));
    EXPECT_EQ(Where(p), Where(0, doc.PosAfter("end"), 1, doc.Line("end")));
}

// The fields of a part as "part/total size=... range=begin-end yend=... crc=...".
std::string Fields(const CFInfo& p)
{
    char crc[16];
    std::snprintf(crc, sizeof crc, "%x", p.m_yPartCrc);
    return std::to_string(p.m_Part) + "/" + std::to_string(p.m_Total) + " size=" + std::to_string(p.m_ySize) +
           " range=" + std::to_string(p.m_yBegin) + "-" + std::to_string(p.m_yEnd) +
           " yend=" + std::to_string(p.m_yEndSize) + " crc=" + crc;
}

// The header lines, the closing line and the fields they give (empty: no part at all).
struct FieldCase { const char* label; std::vector<std::string> head; std::string tail, fields; };
class YencFields : public YencHeaders, public ::testing::WithParamInterface<FieldCase> {};

// A missing total comes from the first part's range and the size; the
// pcrc32 keeps its last eight digits; numbers out of range are not taken;
// keywords after the name belong to the name.
TEST_P(YencFields, HeaderLinesGiveTheFields)
{
    const CFInfo* p = ScanYenc(GetParam().head, GetParam().tail, 1);
    if (GetParam().fields.empty())
        EXPECT_EQ(std::make_tuple(p, list.GetSize()), std::make_tuple(nullptr, 0));
    else
        EXPECT_EQ(p ? Fields(*p) : "no part", GetParam().fields);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Headers, YencFields, ::testing::Values(
    FieldCase{"PartLine",
              {"=ybegin part=2 total=5 line=128 size=500000 name=big.bin", "=ypart begin=100001 end=200000"},
              "=yend size=100000 part=2 pcrc32=0000000011112222",
              "2/5 size=500000 range=100001-200000 yend=100000 crc=11112222"},
    FieldCase{"TotalFromFirstPart", {"=ybegin part=1 line=128 size=250000 name=c.bin", "=ypart begin=1 end=100000"},
              "=yend size=100000 part=1", "1/3 size=250000 range=1-100000 yend=100000 crc=0"},
    FieldCase{"NoTotalFromALaterPart",
              {"=ybegin part=3 line=128 size=250000 name=c.bin", "=ypart begin=200001 end=250000"},
              "=yend size=50000 part=3", "3/-1 size=250000 range=200001-250000 yend=50000 crc=0"},
    FieldCase{"RangeOnTheHeaderLine", {"=ybegin part=1 line=128 size=300 name=r.bin =ypart begin=1 end=100"},
              "=yend size=100 part=1", "1/3 size=300 range=1-100 yend=100 crc=0"},
    FieldCase{"BeyondFourGigabytes",
              {"=ybegin part=1 total=2 line=128 size=6000000000 name=big.iso", "=ypart begin=1 end=3000000000"},
              "=yend size=3000000000 part=1", "1/2 size=6000000000 range=1-3000000000 yend=3000000000 crc=0"},
    FieldCase{"HugeNumbersSaturate",
              {"=ybegin part=99999999999999999999 total=1 line=128 size=99999999999999999999999 name=x.bin",
               "=ypart begin=-5 end=99999999999999999999999"},
              "=yend size=99999999999999999999 crc32=zz",
              "2147483647/1 size=0 range=-5-9223372036854775807 yend=9223372036854775807 crc=0"},
    FieldCase{"KeywordsAfterTheName", {"=ybegin line=128 name=filesize=2 part=3.bin"}, "=yend size=10",
              "1/1 size=0 range=-1--1 yend=10 crc=0"},
    FieldCase{"NoLineKeyword", {"=ybegin size=10 name=x.bin"}, "=yend size=10", ""}),
    [](const auto& p) { return std::string(p.param.label); });
// clang-format on

TEST_F(YencHeaders, YbeginClosesAUuPartBeforeIt)
{
    doc.Add("begin 644 u.bin").AddAll(UuLines(RandomBytes(450, 61)));
    doc.Add("=ybegin line=128 size=10 name=y.bin").Mark("ybegin");
    doc.Add(std::string(128, 'a')).Add("=yend size=10");
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(std::tie(parts[0]->m_MsgType, parts[0]->m_EPos, parts[1]->m_MsgType, parts[1]->m_DestFile),
              std::make_tuple(MT_UU, doc.Pos("ybegin"), MT_YENC, "y.bin"));
}

// The "=ybegin" line and the output name it gives.
struct NameCase { std::string header, name; };
class YencNames : public YencHeaders, public ::testing::WithParamInterface<NameCase> {};

TEST_P(YencNames, NameIsUtf8AndEndsWhereItShould)
{
    doc.Add("Subject: the subject line");
    const CFInfo* p = ScanYenc({GetParam().header}, "=yend size=10", 1);
    EXPECT_EQ(p ? p->m_DestFile : "no part", GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, YencNames,
    ::testing::Values(NameCase{"=ybegin line=128 size=10 name=caf\xC3\xA9.txt", "caf\xC3\xA9.txt"},
                      NameCase{"=ybegin line=128 size=10 name=caf\xE9 \x80.txt",
                               "caf\xC3\xA9 \xE2\x82\xAC.txt"},
                      NameCase{"=ybegin line=128 size=10 name=   spaced name.txt   ", "spaced name.txt"},
                      NameCase{"=ybegin line=128 size=10 name=(null)", "the subject line"},
                      NameCase{"=ybegin line=128 size=10 name=a.bin =ypart begin=1 end=10", "a.bin"},
                      NameCase{"=ybegin name=part=3 size=7.bin line=128", "part=3 size=7.bin line=128"},
                      NameCase{"=ybegin line=128 size=10 name=" + Repeat("\xC3\xA9", 200) + ".bin",
                               Repeat("\xC3\xA9", 125) + ".bin"})); // long names are cut between characters

} // namespace
} // namespace zarvex::test
