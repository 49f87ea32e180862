// The scan driver on UU sections: begin and end lines, subjects with part
// numbers, wrapped and blank-holding names, and the first data line deciding
// the encoding.
#include "scan_fixture.h"

#include "model/data_types.h"

namespace zarvex::test {
namespace {

const std::string kPayload = RandomBytes(2000, 11);

Doc SingleUu(const std::string& beginLine)
{
    Doc doc;
    AddHeaders(doc, "a picture");
    doc.Add(beginLine).Mark("begin");
    doc.AddAll(UuLines(kPayload));
    doc.Add("end").Mark("end");
    doc.Add("");
    return doc;
}

using UuSection = ScanTest;

TEST_F(UuSection, BeginToEndIsOnePart)
{
    const Doc doc = SingleUu("begin 644 a.bin");
    const auto parts = ScanDoc(doc);
    EXPECT_EQ(result, 1);
    ASSERT_EQ(parts.size(), 1u);
    const PartView& p = parts[0];
    EXPECT_EQ(p.msgType, MT_UU);
    EXPECT_EQ(p.destFile, "a.bin");
    EXPECT_EQ(p.sPos, doc.Pos("begin"));
    EXPECT_EQ(p.startLine, doc.Line("begin"));
    EXPECT_EQ(p.ePos, doc.PosAfter("end"));
    EXPECT_EQ(p.endLine, doc.Line("end"));
    EXPECT_EQ(p.starts, 1);
    EXPECT_EQ(p.ends, 1);
    EXPECT_EQ(p.from, "ann@example.org");
}

TEST_F(UuSection, CrLfLinesGiveTheSamePartsAndPositions)
{
    Doc doc;
    AddHeaders(doc, "a picture");
    doc.Add("begin 644 a.bin", "\r\n").Mark("begin");
    for (const auto& l : UuLines(kPayload))
        doc.Add(l, "\r\n");
    doc.Add("end", "\r\n").Mark("end");
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].msgType, MT_UU);
    EXPECT_EQ(parts[0].sPos, doc.Pos("begin"));
    EXPECT_EQ(parts[0].ePos, doc.PosAfter("end"));
    EXPECT_EQ(parts[0].endLine, doc.Line("end"));
}

TEST_F(UuSection, NameWithBlanksIsKeptWhole)
{
    const auto parts = ScanDoc(SingleUu("begin 644 my file.zip"));
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].destFile, "my file.zip");
}

TEST_F(UuSection, LongBeginLineTakesItsWrappedNameFromTheNextLine)
{
    Doc doc;
    AddHeaders(doc, "a picture");
    const std::string head = "begin 644 a_rather_long_file_name_that_wraps_over_the_";
    doc.Add(head + "edge").Mark("begin");
    doc.Add("of_the_line.zip");
    doc.AddAll(UuLines(kPayload));
    doc.Add("end").Mark("end");
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].destFile, "a_rather_long_file_name_that_wraps_over_the_edgeof_the_line.zip");
    EXPECT_EQ(parts[0].msgType, MT_UU);
    // The joined line is read again as an ordinary line: numbering stays right.
    EXPECT_EQ(parts[0].endLine, doc.Line("end"));
    EXPECT_EQ(parts[0].ePos, doc.PosAfter("end"));
}

TEST_F(UuSection, ShortBeginLineTakesItsNameFromTheNextLine)
{
    Doc doc;
    doc.Add("begin 644 ").Mark("begin"); // 11 bytes with its LF
    doc.Add("short.zip");
    doc.AddAll(UuLines(kPayload));
    doc.Add("end").Mark("end");
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].destFile, "short.zip");
    EXPECT_EQ(parts[0].endLine, doc.Line("end"));
}

TEST_F(UuSection, BeginWithoutModeIsOrdinaryText)
{
    Doc doc;
    doc.Add("begin here and read on");
    doc.Add("end");
    const auto parts = ScanDoc(doc);
    EXPECT_TRUE(parts.empty());
    EXPECT_EQ(result, 0);
}

TEST_F(UuSection, FileEndingInsideThePartEndsItAtTheEndOfFile)
{
    Doc doc;
    doc.Add("begin 644 cut.bin").Mark("begin");
    const auto lines = UuLines(kPayload);
    doc.AddAll(std::vector<std::string>(lines.begin(), lines.begin() + 10));
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].ePos, static_cast<std::int64_t>(doc.Text().size()));
    EXPECT_EQ(parts[0].endLine, doc.LineCount());
    EXPECT_EQ(parts[0].ends, 0);
    EXPECT_EQ(parts[0].starts, 1);
}

TEST_F(UuSection, Base64AfterBeginTurnsThePartAndSwitchesMimeTextOffForTheRun)
{
    Doc doc;
    doc.Add("begin 644 b.bin").Mark("begin");
    doc.AddAll(Base64Lines(kPayload));
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].msgType, MT_B64);
    EXPECT_TRUE(settings.MimeTextOffForRun);
    EXPECT_TRUE(settings.MimeText); // the saved preference is untouched
    EXPECT_FALSE(settings.MimeTextInEffect());
}

TEST_F(UuSection, UuDataAfterBeginLeavesMimeTextOn)
{
    ScanDoc(SingleUu("begin 644 a.bin"));
    EXPECT_FALSE(settings.MimeTextOffForRun);
}

TEST_F(UuSection, TwoSectionsInOneFileGiveTwoParts)
{
    Doc doc;
    AddHeaders(doc, "first");
    doc.Add("begin 644 one.bin").Mark("b1");
    doc.AddAll(UuLines(RandomBytes(500, 1)));
    doc.Add("end").Mark("e1");
    doc.Add("");
    AddHeaders(doc, "second");
    doc.Add("begin 644 two.bin").Mark("b2");
    doc.AddAll(UuLines(RandomBytes(700, 2)));
    doc.Add("end").Mark("e2");
    const auto parts = ScanDoc(doc);
    EXPECT_EQ(result, 2);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].destFile, "one.bin");
    EXPECT_EQ(parts[0].ePos, doc.PosAfter("e1"));
    EXPECT_EQ(parts[1].destFile, "two.bin");
    EXPECT_EQ(parts[1].sPos, doc.Pos("b2"));
    EXPECT_EQ(parts[1].ePos, doc.PosAfter("e2"));
}

using MultiPartSubjects = ScanTest;

Doc ThreePartPosting()
{
    const auto lines = UuLines(RandomBytes(45 * 90, 5));
    Doc doc;
    for (int k = 0; k < 3; ++k) {
        const std::string n = std::to_string(k + 1);
        doc.Add("From news@example.org Mon Dec  7 10:00:00 2026").Mark("sep" + n);
        AddHeaders(doc, "holiday.zip (" + n + "/3)");
        if (k == 0) doc.Add("begin 644 holiday.zip").Mark("begin");
        const std::size_t from = static_cast<std::size_t>(k) * 30;
        const std::size_t to = k == 2 ? lines.size() : from + 30;
        for (std::size_t i = from; i < to; ++i) {
            doc.Add(lines[i]);
            if (i == from) doc.Mark("data" + n);
        }
        if (k == 2) doc.Add("end").Mark("end");
        doc.Add("").Mark("blank" + n);
    }
    return doc;
}

TEST_F(MultiPartSubjects, EachSubjectWithNumbersStartsAPart)
{
    const Doc doc = ThreePartPosting();
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(result, 3);
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(parts[k].part, k + 1);
        EXPECT_EQ(parts[k].total, 3);
        EXPECT_EQ(parts[k].msgType, MT_UU);
    }
    EXPECT_EQ(parts[0].sPos, doc.Pos("begin"));
    EXPECT_EQ(parts[0].destFile, "holiday.zip");
    EXPECT_EQ(parts[0].starts, 1);
    // Parts 2 and 3 start at their subject line; a UU part without a type keeps that start.
    EXPECT_EQ(parts[1].sPos, doc.Pos("subject:holiday.zip (2/3)"));
    EXPECT_EQ(parts[1].startLine, doc.Line("subject:holiday.zip (2/3)"));
    // Two header lines in a row (the mailbox separator and "From:") end the part before them.
    EXPECT_EQ(parts[1].ePos, doc.Pos("sep3"));
    EXPECT_EQ(parts[1].endLine, doc.Line("sep3") - 1);
    EXPECT_EQ(parts[2].ends, 1);
    EXPECT_EQ(parts[2].ePos, doc.PosAfter("end"));
    EXPECT_EQ(parts[1].fullSubj, parts[2].fullSubj);
}

TEST_F(MultiPartSubjects, NextSubjectClosesThePartAtTheBlankLineAfterItsData)
{
    const auto lines = UuLines(RandomBytes(45 * 40, 6));
    Doc doc;
    doc.Add("Subject: set.zip (1/2)");
    doc.Add("");
    doc.Add("begin 644 set.zip").Mark("begin");
    doc.AddAll(std::vector<std::string>(lines.begin(), lines.begin() + 20));
    doc.Add("").Mark("blank1");
    doc.Add("Subject: set.zip (2/2)").Mark("s2");
    doc.Add("");
    doc.AddAll(std::vector<std::string>(lines.begin() + 20, lines.end()));
    doc.Add("end").Mark("end");
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].ePos, doc.Pos("blank1"));
    EXPECT_EQ(parts[0].endLine, doc.Line("blank1"));
    EXPECT_EQ(parts[1].sPos, doc.Pos("s2"));
    EXPECT_EQ(parts[1].part, 2);
    EXPECT_EQ(parts[1].ePos, doc.PosAfter("end"));
}

TEST_F(MultiPartSubjects, AssumeSortedOrderIgnoresSubjectsAndHeaderPairs)
{
    settings.AssumeSortedOrder = true;
    const auto lines = UuLines(RandomBytes(45 * 60, 7));
    Doc doc;
    doc.Add("Subject: set.zip (1/2)");
    doc.Add("");
    doc.Add("begin 644 set.zip").Mark("begin");
    doc.AddAll(std::vector<std::string>(lines.begin(), lines.begin() + 30));
    doc.Add("From: Ann <ann@example.org>");
    doc.Add("Subject: set.zip (2/2)");
    doc.Add("");
    doc.AddAll(std::vector<std::string>(lines.begin() + 30, lines.end()));
    doc.Add("end").Mark("end");
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].sPos, doc.Pos("begin"));
    EXPECT_EQ(parts[0].ePos, doc.PosAfter("end"));
}

TEST_F(MultiPartSubjects, SubjectWithinNineLinesRenumbersThePart)
{
    Doc doc;
    doc.Add("Subject: report.zip (1/2)").Mark("s1");
    doc.Add("");
    doc.Add("Some words about it.");
    doc.Add("Subject: report.zip (2/2)").Mark("s2");
    doc.Add("");
    doc.AddAll(UuLines(RandomBytes(900, 3)));
    doc.Add("end").Mark("end");
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].part, 2);
    EXPECT_EQ(parts[0].total, 2);
    EXPECT_EQ(parts[0].sPos, doc.Pos("s2"));
    EXPECT_EQ(parts[0].ePos, doc.PosAfter("end"));
}

TEST_F(MultiPartSubjects, RenumberedPartForgetsAnEndRecordedBeforeItsNewStart)
{
    const auto lines = UuLines(RandomBytes(45 * 30, 9));
    Doc doc;
    doc.Add("Subject: set.zip (1/3)");
    doc.Add("");
    doc.AddAll(std::vector<std::string>(lines.begin(), lines.begin() + 3));
    doc.Add("");
    doc.Add("Subject: set.zip (2/3)").Mark("s2");
    doc.Add("");
    doc.AddAll(std::vector<std::string>(lines.begin() + 3, lines.begin() + 20));
    doc.Add("Subject: set.zip (3/3)").Mark("s3");
    doc.Add("");
    doc.AddAll(std::vector<std::string>(lines.begin() + 20, lines.end()));
    doc.Add("end");
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].part, 2);
    EXPECT_EQ(parts[0].sPos, doc.Pos("s2"));
    EXPECT_EQ(parts[0].ePos, doc.Pos("s3"));
    EXPECT_EQ(parts[0].endLine, doc.Line("s3"));
}

TEST_F(MultiPartSubjects, EndInPartOfUnknownEncodingWithPartEqualToTotalMakesItUu)
{
    Doc doc;
    doc.Add("Subject: notes (1/1)").Mark("s");
    doc.Add("");
    doc.Add("Plain words that are not encoded data at all.");
    doc.Add("end").Mark("end");
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].msgType, MT_UU);
    EXPECT_EQ(parts[0].ends, 1);
    EXPECT_EQ(parts[0].ePos, doc.PosAfter("end"));
}

TEST_F(MultiPartSubjects, FoldedSubjectIsUnfoldedAndCounted)
{
    Doc doc;
    doc.Add("Subject: holiday.zip").Mark("s");
    doc.Add("   (1/2)");
    doc.Add("");
    doc.Add("begin 644 holiday.zip").Mark("begin");
    doc.AddAll(UuLines(RandomBytes(600, 8)));
    doc.Add("end").Mark("end");
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].part, 1);
    EXPECT_EQ(parts[0].total, 2);
    EXPECT_EQ(parts[0].endLine, doc.Line("end"));
}

TEST_F(MultiPartSubjects, VeryLongFoldedSubjectStopsAtTheLineLimit)
{
    Doc doc;
    doc.Add("Subject: many words (1/2)");
    for (int i = 0; i < 40; ++i)
        doc.Add("  " + std::string(100, 'w'));
    doc.Add("");
    doc.Add("begin 644 x.bin");
    doc.AddAll(UuLines(RandomBytes(300, 9)));
    doc.Add("end").Mark("end");
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].endLine, doc.Line("end"));
}

} // namespace
} // namespace zarvex::test
