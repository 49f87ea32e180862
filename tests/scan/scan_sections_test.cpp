// Sections announced by a line of their own: BinHex after its note, "<<BPST"
// sections that end by their size, and the X-Face and Face header images.
#include "scan_fixture.h"

#include "model/data_types.h"
#include "support/binhex_writer.h"
#include "support/bnews_writer.h"

#include <tuple>

namespace zarvex::test {
namespace {

constexpr const char* kNote = "(This file must be converted with BinHex 4.0)";

class ScanSections : public ScanTest
{
protected:
    Doc doc;
};

TEST_F(ScanSections, BinHexNameFromItsHeaderAndColonLineEndsIt)
{
    BinHexFile f;
    f.name = "photo.jpg";
    f.data = "\xFF\xD8\xFF\xE0" + RandomBytes(600, 5);
    auto lines = BinHexLines(f);
    lines.back().pop_back(); // the closing ":" on a line of its own
    AddHeaders(doc, "a picture");
    doc.Add(kNote).Mark("note").Add("");
    doc.AddAll(lines);
    doc.Add(":").Mark("end").Add("").Add("Thanks.");
    const CFInfo* p = One(doc);

    EXPECT_EQ(std::tie(p->m_MsgType, p->m_DestFile, p->m_DataType, p->m_Starts, p->m_Ends),
              std::make_tuple(MT_HQX, "photo.jpg", DT_JPG, 1, 1));
    EXPECT_EQ(Where(p), doc.Span("note", "end"));
}

// An encoder's own note after the standard one stays in the same section.
TEST_F(ScanSections, BinHexOneLineBodyAfterTwoNotesEndsOnItsLine)
{
    BinHexFile f;
    f.name = "tiny.txt", f.data = "hi";
    const auto lines = BinHexLines(f);
    ASSERT_EQ(lines.size(), 1u);
    doc.Add(kNote).Mark("note").Add("").Add("(This file must be converted; you knew that already.)").Add("");
    doc.Add(lines[0] + std::string(" ")).Mark("end").Add("more text");
    const CFInfo* p = One(doc);
    EXPECT_EQ(std::tie(p->m_DestFile, p->m_StartLine), std::make_tuple("tiny.txt", doc.Line("note")));
}

struct BpstCase { const char* label; std::string opener; bool found; std::int64_t size; };

class BpstOpeners : public ScanTest, public ::testing::WithParamInterface<BpstCase> {};

// A section of 1,000 bytes: four full lines and one short line, then text.
TEST_P(BpstOpeners, SectionEndsAtItsShortLastLine)
{
    const BpstCase& c = GetParam();
    Doc doc;
    doc.Add("Subject: pictures").Add("").Add(c.opener).Mark("open");
    doc.AddAll(BNewsLines(RandomBytes(1000, 3)));
    doc.Mark("end").Add("That was it, bye");
    const auto parts = ScanDoc(doc);
    if (!c.found) {
        for (const CFInfo* p : parts)
            EXPECT_NE(p->m_MsgType, MT_BNEWS);
        return;
    }
    ASSERT_EQ(parts.size(), 1u);
    const CFInfo* p = parts[0];
    EXPECT_EQ(std::tie(p->m_MsgType, p->m_yEndSize, p->m_Subject, p->m_DestFile),
              std::make_tuple(MT_BNEWS, c.size, "pic.gif", "pic.gif"));
    EXPECT_EQ(Where(p), doc.Span("open", "end"));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BpstOpeners,
    ::testing::Values(BpstCase{"Sized", "<<BPST Size=1000 File=[pic.gif] !BPST>>", true, 1000},
                      BpstCase{"SizeOutOfRange", "<<BPST Size=99999999999999999999 File=[pic.gif] !BPST>>", true, 0},
                      BpstCase{"NoClosingMark", "<<BPST Size=1000 File=[pic.gif]", false, 0},
                      BpstCase{"MarkBeforeSize", "<<BPST !BPST>> Size=1000 File=[pic.gif]", false, 0}),
    [](const auto& p) { return std::string(p.param.label); });

TEST_F(ScanSections, BpstHeaderLineEndsTheSectionEarly)
{
    doc.Add("<<BPST Size=100000 File=[big.bin] !BPST>>").Mark("open");
    doc.AddAll(BNewsLines(RandomBytes(800, 4)));
    doc.Add("From: someone@example.org").Mark("end").Add("Subject: next").Add("");
    const auto parts = ScanDoc(doc);
    ASSERT_GE(parts.size(), 1u);
    EXPECT_EQ(parts[0]->m_MsgType, MT_BNEWS);
    EXPECT_EQ(Where(parts[0]), doc.Span("open", "end"));
}

// `more` continuation lines in the message, `covered` of them in the part.
struct FaceCase { const char* label; const char* header; int more, covered; std::uint32_t type; int dataType; };

class FaceHeaders : public ScanTest, public ::testing::WithParamInterface<FaceCase> {};

TEST_P(FaceHeaders, PartCoversTheHeaderAndItsContinuation)
{
    const FaceCase& c = GetParam();
    Doc doc;
    doc.Add("From: Ann <ann@example.org>").Add("Subject: hello");
    doc.Add(std::string(c.header) + std::string(70, 'A')).Mark("face");
    for (int i = 0; i < c.more; ++i)
        doc.Add(" " + std::string(78, 'B')).Mark("line" + std::to_string(i + 1));
    doc.Add("Date: Mon, 7 Dec 2026 10:00:00 +0000").Add("").Add("Body text.");
    const CFInfo* p = One(doc);

    EXPECT_EQ(std::tie(p->m_MsgType, p->m_DataType, p->m_Subject),
              std::make_tuple(c.type, c.dataType, "ann@example.org"));
    const std::string last = c.covered ? "line" + std::to_string(c.covered) : "face";
    EXPECT_EQ(std::tie(p->m_SPos, p->m_EPos, p->m_EndLine),
              std::make_tuple(doc.Pos("face"), doc.PosAfter(last), doc.Line("face") + std::max(1, c.covered)));
}

INSTANTIATE_TEST_SUITE_P(Headers, FaceHeaders,
                         ::testing::Values(FaceCase{"XFaceFiveLines", "X-Face: ", 5, 4, MT_XFACE, DT_BMP},
                                           FaceCase{"XFaceAnyCase", "x-face: ", 2, 2, MT_XFACE, DT_BMP},
                                           FaceCase{"FaceAlone", "Face: ", 0, 0, MT_FACE, DT_PNG},
                                           FaceCase{"FaceManyLines", "Face: ", 22, 20, MT_FACE, DT_PNG}),
                         [](const auto& p) { return std::string(p.param.label); });

TEST_F(ScanSections, XFaceOffLeavesAnOrdinaryHeaderLine)
{
    settings.EnableXFace = false;
    doc.Add("From: Ann <ann@example.org>").Add("X-Face: " + std::string(70, 'A')).Add("Subject: hello").Add("");
    doc.Add("Body text.");
    for (const CFInfo* p : ScanDoc(doc))
        EXPECT_EQ(p->m_MsgType & (MT_XFACE | MT_FACE), 0u);
}

} // namespace
} // namespace zarvex::test
