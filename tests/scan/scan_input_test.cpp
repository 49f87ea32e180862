// The scan over data without headers, quoted data, digests and
// multi-section postings, and over input that is not mail at all.
#include "scan_fixture.h"

#include "model/data_types.h"

#include <tuple>

namespace zarvex::test {
namespace {

using HeaderlessData = ScanTest;

TEST_F(HeaderlessData, UuRunWithoutBeginIsFoundWhereItStarts)
{
    const auto lines = UuLines(RandomBytes(45 * 40, 21));
    Doc doc;
    doc.Add("Here is the rest of the file you asked for.").Add("");
    doc.Add(lines[0]).Mark("first").AddAll(Slice(lines, 1, lines.size()));
    const CFInfo* p = One(doc);
    EXPECT_EQ(std::tie(p->m_MsgType, p->m_SPos, p->m_StartLine, p->m_Starts),
              std::make_tuple(MT_UU, doc.Pos("first"), doc.Line("first"), 1));
}

TEST_F(HeaderlessData, Base64RunEndsAtItsPadding)
{
    const auto lines = Base64Lines(RandomBytes(57 * 20 + 10, 22));
    Doc doc;
    doc.Add("Some text first.").Add("");
    doc.Add(lines[0]).Mark("first").AddAll(Slice(lines, 1, lines.size())).Mark("last");
    doc.Add("").Add("Bye.");
    const CFInfo* p = One(doc);
    EXPECT_EQ(std::tie(p->m_MsgType, p->m_Ends), std::make_tuple(MT_B64, 1));
    EXPECT_EQ(Where(p), doc.Span("first", "last"));
    // A single data-like line opens nothing.
    EXPECT_TRUE(ScanDoc(Doc().Add("text").Add(UuLines(RandomBytes(45, 23))[0]).Add("more text")).empty());
}

using QuotedData = ScanTest;

TEST_F(QuotedData, QuotedUuIsASectionOnlyWithAutoIndentDetect)
{
    Doc doc;
    doc.Add("Ann wrote:").Add("> begin 644 q.bin").Mark("begin");
    doc.AddAll(UuLines(RandomBytes(45 * 12, 31)), "> ").Add("> end").Mark("end");
    doc.Add("> Ann"); // a prefix counts only when the next line shares it
    doc.Add("");
    EXPECT_TRUE(ScanDoc(doc).empty());

    settings.AutoIndentDetect = true;
    const CFInfo* p = One(doc);
    EXPECT_EQ(std::tie(p->m_MsgType, p->m_DestFile, p->m_Indent, p->m_Ends),
              std::make_tuple(MT_UU, "q.bin", 2, 1));
    EXPECT_EQ(Where(p), doc.Span("begin", "end"));
}

using DigestLines = ScanTest;

TEST_F(DigestLines, ArticleLineEndsTheOpenPart)
{
    Doc doc;
    doc.Add("begin 644 a.bin").AddAll(Slice(UuLines(RandomBytes(45 * 8, 41)), 0, 5));
    doc.Add("Article 12 of alt.binaries.test").Mark("article").Add("From: b@example.org");
    const CFInfo* p = One(doc);
    EXPECT_EQ(std::tie(p->m_EPos, p->m_EndLine), std::make_tuple(doc.Pos("article"), doc.Line("article")));
}

TEST_F(DigestLines, SectionLineNamesThePartAndGivesItsNumbers)
{
    Doc doc;
    doc.Add("Subject: stuff (1/3)").Add("").Add("section 2/3 of file pictures.zip  -={ tool }=-");
    doc.AddAll(UuLines(RandomBytes(45 * 8, 42)));
    const CFInfo* p = One(doc);
    // "2/3" after the first eight characters; its total matches the part's, so it renumbers the part.
    EXPECT_EQ(std::tie(p->m_DestFile, p->m_Subject, p->m_Part, p->m_Total),
              std::make_tuple("pictures.zip", "pictures.zip", 2, 3));
}

using BadInput = ScanTest;

TEST_F(BadInput, EmptyFileOrAFolderScansToNothing)
{
    for (const std::string& input : {dir.Write("empty.txt", ""), dir.Path().string()}) {
        std::int64_t startPos = 0, startLine = 0;
        EXPECT_EQ(Scan(input, &startPos, &startLine), 0);
        EXPECT_EQ(std::tie(startPos, startLine), std::make_tuple(0, 0));
    }
    EXPECT_EQ(list.GetSize(), 0);
}

TEST_F(BadInput, NulBytesInsideLinesAreHarmless)
{
    Doc doc;
    doc.Add(std::string("begin 644 a\0b.bin", 17)).AddAll(UuLines(RandomBytes(900, 51)));
    doc.Add(std::string("en\0d", 4)).Add("end").Mark("end");
    const CFInfo* p = One(doc);
    // The name ends at the NUL byte.
    EXPECT_EQ(std::tie(p->m_DestFile, p->m_EPos), std::make_tuple("a", doc.PosAfter("end")));
}

TEST_F(BadInput, HugeLinesArriveInPiecesAndKeepLineNumbersRight)
{
    Doc doc;
    doc.Add(std::string(100'000, 'M')).Add("Subject: " + std::string(100'000, 'x') + " (1/2)");
    doc.Add("begin 644 " + std::string(100'000, 'n'));
    doc.Add("begin 644 a.bin").AddAll(UuLines(RandomBytes(900, 52))).Add("end").Mark("end");
    std::int64_t startPos = 0, startLine = 0;
    path = dir.Write("huge.txt", doc.Text());
    Scan(path, &startPos, &startLine);
    EXPECT_EQ(std::tie(startLine, startPos), std::make_tuple(doc.LineCount(), doc.Size()));
    int found = 0;
    for (const CFInfo* p : AllParts(list))
        if (p->m_DestFile == "a.bin") {
            ++found;
            EXPECT_EQ(p->m_EndLine, doc.Line("end"));
        }
    EXPECT_GE(found, 1);
}

} // namespace
} // namespace zarvex::test
