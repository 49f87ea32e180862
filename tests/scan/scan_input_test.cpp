// The scan over data without headers, quoted data, digests and
// multi-section postings, and over input that is not mail at all.
#include "scan_fixture.h"

#include "model/data_types.h"

#include <fstream>
#include <random>

namespace zarvex::test {
namespace {

using HeaderlessData = ScanTest;

TEST_F(HeaderlessData, UuRunWithoutBeginIsFoundWhereItStarts)
{
    Doc doc;
    doc.Add("Here is the rest of the file you asked for.");
    doc.Add("");
    const auto lines = UuLines(RandomBytes(45 * 40, 21));
    doc.Add(lines[0]).Mark("first");
    doc.AddAll(std::vector<std::string>(lines.begin() + 1, lines.end()));
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].msgType, MT_UU);
    EXPECT_EQ(parts[0].sPos, doc.Pos("first"));
    EXPECT_EQ(parts[0].startLine, doc.Line("first"));
    EXPECT_EQ(parts[0].starts, 1);
}

TEST_F(HeaderlessData, Base64RunEndsAtItsPadding)
{
    Doc doc;
    doc.Add("Some text first.");
    doc.Add("");
    auto lines = Base64Lines(RandomBytes(57 * 20 + 10, 22));
    doc.Add(lines[0]).Mark("first");
    for (std::size_t i = 1; i < lines.size(); ++i)
        doc.Add(lines[i]);
    doc.Mark("last");
    doc.Add("");
    doc.Add("Bye.");
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].msgType, MT_B64);
    EXPECT_EQ(parts[0].sPos, doc.Pos("first"));
    EXPECT_EQ(parts[0].ePos, doc.PosAfter("last"));
    EXPECT_EQ(parts[0].ends, 1);
}

TEST_F(HeaderlessData, SingleDataLikeLineOpensNothing)
{
    Doc doc;
    doc.Add("text");
    doc.Add(UuLines(RandomBytes(45, 23))[0]);
    doc.Add("more text");
    EXPECT_TRUE(ScanDoc(doc).empty());
}

using QuotedData = ScanTest;

TEST_F(QuotedData, QuotedUuIsFoundWithAutoIndentDetect)
{
    settings.AutoIndentDetect = true;
    Doc doc;
    doc.Add("Ann wrote:");
    doc.Add("> begin 644 q.bin").Mark("begin");
    for (const auto& l : UuLines(RandomBytes(45 * 12, 31)))
        doc.Add("> " + l);
    doc.Add("> end").Mark("end");
    doc.Add("> Ann"); // a prefix counts only when the next line shares it
    doc.Add("");
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].msgType, MT_UU);
    EXPECT_EQ(parts[0].destFile, "q.bin");
    EXPECT_EQ(parts[0].indent, 2);
    EXPECT_EQ(parts[0].sPos, doc.Pos("begin"));
    EXPECT_EQ(parts[0].ePos, doc.PosAfter("end"));
    EXPECT_EQ(parts[0].ends, 1);
}

TEST_F(QuotedData, QuotedUuIsNotASectionWithoutAutoIndentDetect)
{
    Doc doc;
    doc.Add("> begin 644 q.bin");
    for (const auto& l : UuLines(RandomBytes(45 * 12, 31)))
        doc.Add("> " + l);
    doc.Add("> end");
    EXPECT_TRUE(ScanDoc(doc).empty());
}

using DigestLines = ScanTest;

TEST_F(DigestLines, ArticleLineEndsTheOpenPart)
{
    Doc doc;
    doc.Add("begin 644 a.bin").Mark("begin");
    const auto lines = UuLines(RandomBytes(45 * 8, 41));
    doc.AddAll(std::vector<std::string>(lines.begin(), lines.begin() + 5));
    doc.Add("Article 12 of alt.binaries.test").Mark("article");
    doc.Add("more text");
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].ePos, doc.Pos("article"));
    EXPECT_EQ(parts[0].endLine, doc.Line("article"));
}

TEST_F(DigestLines, SectionLineNamesThePartAndGivesItsNumbers)
{
    Doc doc;
    doc.Add("Subject: stuff (1/3)");
    doc.Add("");
    doc.Add("section 2/3 of file pictures.zip  -={ tool }=-");
    const auto lines = UuLines(RandomBytes(45 * 8, 42));
    doc.AddAll(lines);
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].destFile, "pictures.zip");
    EXPECT_EQ(parts[0].subject, "pictures.zip");
    // "2/3" after the first eight characters; its total matches the part's, so it renumbers the part.
    EXPECT_EQ(parts[0].part, 2);
    EXPECT_EQ(parts[0].total, 3);
}

using BadInput = ScanTest;

TEST_F(BadInput, EmptyFileScansToNothing)
{
    path = dir.Write("empty.txt", "");
    std::int64_t startPos = 0, startLine = 0;
    EXPECT_EQ(Scan(path, &startPos, &startLine), 0);
    EXPECT_EQ(startPos, 0);
    EXPECT_EQ(startLine, 0);
    EXPECT_EQ(list.GetSize(), 0);
}

TEST_F(BadInput, BinaryGarbageGivesNoCrash)
{
    for (std::uint32_t seed = 1; seed <= 8; ++seed) {
        MyCObArray garbage(settings, &host);
        const std::string p = dir.Write("garbage" + std::to_string(seed), RandomBytes(200'000, seed));
        std::int64_t startPos = 0, startLine = 0;
        const int n = ScanFile(p, garbage, settings, host, &startPos, &startLine);
        EXPECT_GE(n, 0);
        EXPECT_EQ(startPos, 200'000);
    }
}

TEST_F(BadInput, NulBytesInsideLinesAreHarmless)
{
    Doc doc;
    doc.Add(std::string("begin 644 a\0b.bin", 17)).Mark("begin");
    doc.AddAll(UuLines(RandomBytes(900, 51)));
    doc.Add(std::string("en\0d", 4));
    doc.Add("end").Mark("end");
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].destFile, "a"); // the name ends at the NUL byte
    EXPECT_EQ(parts[0].ePos, doc.PosAfter("end"));
}

TEST_F(BadInput, HugeLinesArriveInPiecesAndKeepLineNumbersRight)
{
    Doc doc;
    doc.Add(std::string(100'000, 'M'));
    doc.Add("Subject: " + std::string(100'000, 'x') + " (1/2)");
    doc.Add("begin 644 " + std::string(100'000, 'n'));
    doc.Add("begin 644 a.bin").Mark("begin");
    doc.AddAll(UuLines(RandomBytes(900, 52)));
    doc.Add("end").Mark("end");
    std::int64_t startPos = 0, startLine = 0;
    path = dir.Write("huge.txt", doc.Text());
    Scan(path, &startPos, &startLine);
    EXPECT_EQ(startLine, doc.LineCount());
    EXPECT_EQ(startPos, static_cast<std::int64_t>(doc.Text().size()));
    bool found = false;
    for (const auto& p : AllParts(list))
        if (p.destFile == "a.bin") {
            found = true;
            EXPECT_EQ(p.endLine, doc.Line("end"));
        }
    EXPECT_TRUE(found);
}

// Lines that trigger every rule, shuffled: no crash, no hang, positions stay inside the file.
std::string KeywordSoup(std::uint32_t seed)
{
    const auto uu = UuLines(RandomBytes(45 * 4, seed));
    const auto b64 = Base64Lines(RandomBytes(57 * 4, seed + 1));
    const std::vector<std::string> vocabulary = {"begin 644 a.bin",
                                                 "begin 644 ",
                                                 "begin",
                                                 "end",
                                                 "end ",
                                                 "Subject: x (1/2)",
                                                 "Subject: y (2/2)",
                                                 "Subject: z",
                                                 "From: a <b@c>",
                                                 "From a@b Mon Dec  7 10:00:00 2026",
                                                 "Date: Mon, 7 Dec 2026 10:00:00",
                                                 "Newsgroups: a.b",
                                                 "Mime-Version: 1.0",
                                                 "Content-Type: text/plain",
                                                 "--boundary",
                                                 "--",
                                                 "",
                                                 "> quoted",
                                                 ">",
                                                 "=ybegin line=128 size=100 name=y.bin",
                                                 "=ypart begin=1 end=50",
                                                 "=yend size=100",
                                                 "=ybegin part=2 line=128 size=1000 name=",
                                                 "(This file must be converted with BinHex 4.0)",
                                                 "<<BPST Size=100 File=[x] !BPST>>",
                                                 "section 1/2 of file a.zip",
                                                 "Article 5 of x",
                                                 "X-Face: abc",
                                                 "Face: abc",
                                                 "-----Original Message-----",
                                                 uu[0],
                                                 uu[1],
                                                 uu[4],
                                                 b64[0],
                                                 b64[1],
                                                 b64[3],
                                                 "=",
                                                 "  folded",
                                                 "\t",
                                                 "M",
                                                 "h" + std::string(61, 'h')};
    std::mt19937 rng(seed);
    std::string text;
    for (int i = 0; i < 3000; ++i) {
        text += vocabulary[rng() % vocabulary.size()];
        text += (rng() % 7 == 0) ? "\r\n" : "\n";
    }
    return text;
}

TEST_F(BadInput, ShuffledKeywordLinesGiveNoCrash)
{
    for (std::uint32_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        settings.AutoIndentDetect = seed % 2 == 0;
        settings.AssumeSortedOrder = seed % 3 == 0;
        MyCObArray soup(settings, &host);
        const std::string text = KeywordSoup(seed);
        const std::string p = dir.Write("soup" + std::to_string(seed), text);
        EXPECT_GE(ScanFile(p, soup, settings, host), 0);
        for (const auto& part : AllParts(soup)) {
            EXPECT_LE(part.sPos, static_cast<std::int64_t>(text.size()));
            EXPECT_LE(part.ePos, static_cast<std::int64_t>(text.size()));
            EXPECT_GE(part.sPos, 0);
            EXPECT_LE(part.sPos, part.ePos);
            EXPECT_LE(part.startLine, part.endLine);
        }
    }
}

TEST_F(BadInput, FolderInsteadOfAFileGivesZero)
{
    EXPECT_EQ(Scan(dir.Path().string()), 0);
}

TEST_F(BadInput, HostileNamesAreRecordedNotUsed)
{
    Doc doc;
    doc.Add("begin 644 ../../etc/passwd");
    doc.AddAll(UuLines(RandomBytes(90, 53)));
    doc.Add("end");
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u); // naming and extraction clean the name later
}

} // namespace
} // namespace zarvex::test
