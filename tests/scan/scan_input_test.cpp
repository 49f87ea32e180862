// The scan over data without headers, quoted data, digests and
// multi-section postings, and over input that is not mail at all.
#include "scan_fixture.h"

#include "model/data_types.h"

#include <tuple>

#include <random>
#include <sstream>

namespace zarvex::test {
namespace {

using HeaderlessData = ScanTest;

TEST_F(HeaderlessData, UuRunWithoutBeginIsFoundWhereItStarts)
{
    const auto lines = UuLines(RandomBytes(45 * 40, 21));
    Doc doc;
    doc.Add("Here is the rest of the file you asked for.").Add("");
    doc.Add(lines[0]).Mark("first").AddAll(Slice(lines, 1, lines.size()));
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0]->m_MsgType, MT_UU);
    EXPECT_EQ(parts[0]->m_SPos, doc.Pos("first"));
    EXPECT_EQ(parts[0]->m_StartLine, doc.Line("first"));
    EXPECT_EQ(parts[0]->m_Starts, 1);
}

TEST_F(HeaderlessData, Base64RunEndsAtItsPadding)
{
    const auto lines = Base64Lines(RandomBytes(57 * 20 + 10, 22));
    Doc doc;
    doc.Add("Some text first.").Add("");
    doc.Add(lines[0]).Mark("first").AddAll(Slice(lines, 1, lines.size())).Mark("last");
    doc.Add("").Add("Bye.");
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0]->m_MsgType, MT_B64);
    EXPECT_EQ(Where(parts[0]), doc.Span("first", "last"));
    EXPECT_EQ(parts[0]->m_Ends, 1);
}

TEST_F(HeaderlessData, SingleDataLikeLineOpensNothing)
{
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
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0]->m_MsgType, MT_UU);
    EXPECT_EQ(parts[0]->m_DestFile, "q.bin");
    EXPECT_EQ(parts[0]->m_Indent, 2);
    EXPECT_EQ(Where(parts[0]), doc.Span("begin", "end"));
    EXPECT_EQ(parts[0]->m_Ends, 1);
}

using DigestLines = ScanTest;

TEST_F(DigestLines, ArticleLineEndsTheOpenPart)
{
    Doc doc;
    doc.Add("begin 644 a.bin").AddAll(Slice(UuLines(RandomBytes(45 * 8, 41)), 0, 5));
    doc.Add("Article 12 of alt.binaries.test").Mark("article").Add("more text");
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0]->m_EPos, doc.Pos("article"));
    EXPECT_EQ(parts[0]->m_EndLine, doc.Line("article"));
}

TEST_F(DigestLines, SectionLineNamesThePartAndGivesItsNumbers)
{
    Doc doc;
    doc.Add("Subject: stuff (1/3)").Add("").Add("section 2/3 of file pictures.zip  -={ tool }=-");
    doc.AddAll(UuLines(RandomBytes(45 * 8, 42)));
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0]->m_DestFile, "pictures.zip");
    EXPECT_EQ(parts[0]->m_Subject, "pictures.zip");
    // "2/3" after the first eight characters; its total matches the part's, so it renumbers the part.
    EXPECT_EQ(std::tie(parts[0]->m_Part, parts[0]->m_Total), std::make_tuple(2, 3));
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
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0]->m_DestFile, "a"); // the name ends at the NUL byte
    EXPECT_EQ(parts[0]->m_EPos, doc.PosAfter("end"));
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
    EXPECT_EQ(startLine, doc.LineCount());
    EXPECT_EQ(startPos, static_cast<std::int64_t>(doc.Text().size()));
    int found = 0;
    for (const CFInfo* p : AllParts(list))
        if (p->m_DestFile == "a.bin") {
            ++found;
            EXPECT_EQ(p->m_EndLine, doc.Line("end"));
        }
    EXPECT_GE(found, 1);
}

// Lines that trigger every rule, shuffled: no hang, positions stay inside the file.
std::string KeywordSoup(std::uint32_t seed)
{
    const auto uu = UuLines(RandomBytes(45 * 4, seed));
    const auto b64 = Base64Lines(RandomBytes(57 * 4, seed + 1));
    std::vector<std::string> words = {uu[0],  uu[1],  uu[4], b64[0],
                                      b64[1], b64[3], "",    "h" + std::string(61, 'h')};
    std::istringstream keywords(
        "begin 644 a.bin\nbegin 644 \nbegin\nend\nend \nSubject: x (1/2)\n"
        "Subject: y (2/2)\nSubject: z\nFrom: a <b@c>\nFrom a@b Mon Dec  7 10:00:00 2026\n"
        "Date: Mon, 7 Dec 2026 10:00:00\nNewsgroups: a.b\nMime-Version: 1.0\n"
        "Content-Type: text/plain\n--boundary\n--\n> quoted\n>\n"
        "=ybegin line=128 size=100 name=y.bin\n=ypart begin=1 end=50\n=yend size=100\n"
        "=ybegin part=2 line=128 size=1000 name=\n"
        "(This file must be converted with BinHex 4.0)\n<<BPST Size=100 File=[x] !BPST>>\n"
        "section 1/2 of file a.zip\nArticle 5 of x\nX-Face: abc\nFace: abc\n"
        "-----Original Message-----\n=\n  folded\n\t\nM");
    for (std::string line; std::getline(keywords, line);)
        words.push_back(line);
    std::mt19937 rng(seed);
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += words[rng() % words.size()] + ((rng() % 7 == 0) ? "\r\n" : "\n");
    return text;
}

TEST_F(BadInput, ShuffledKeywordLinesKeepPartsInsideTheFile)
{
    for (std::uint32_t seed = 1; seed <= 8; ++seed) {
        SCOPED_TRACE(seed);
        settings.AutoIndentDetect = seed % 2 == 0;
        run.AssumeSortedOrder = seed % 3 == 0;
        MyCObArray soup(settings, &host);
        const std::string text = KeywordSoup(seed);
        EXPECT_GE(ScanFile(dir.Write("soup" + std::to_string(seed), text), soup, settings, run, host), 0);
        for (const CFInfo* part : AllParts(soup)) {
            EXPECT_GE(part->m_SPos, 0);
            EXPECT_LE(part->m_SPos, part->m_EPos);
            EXPECT_LE(part->m_EPos, static_cast<std::int64_t>(text.size()));
            EXPECT_LE(part->m_StartLine, part->m_EndLine);
        }
    }
}

} // namespace
} // namespace zarvex::test
