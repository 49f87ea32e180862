// The scan driver on UU sections: begin and end lines, subjects with part
// numbers, wrapped and blank-holding names; and single rules driven on a
// scan state directly.
#include "scan_fixture.h"

#include "model/data_types.h"
#include "model/list_dump.h"
#include "scan/scan_state.h"

#include <cstring>
#include <memory>
#include <tuple>

namespace zarvex::test {
namespace {

const std::string kPayload = RandomBytes(2000, 11);

using UuSection = ScanTest;

TEST_F(UuSection, BeginToEndIsOnePartWithLfOrCrLf)
{
    for (const std::string eol : {"\n", "\r\n"}) {
        SCOPED_TRACE(eol.size());
        Doc doc;
        for (const std::string n : {"1", "2"}) {
            AddHeaders(doc, "picture " + n);
            doc.Add("begin 644 " + n + ".bin", eol).Mark("begin" + n);
            doc.AddAll(UuLines(RandomBytes(n == "1" ? 500 : 700, n[0])), "", eol);
            doc.Add("end", eol).Mark("end" + n).Add("", eol);
        }
        const auto parts = ScanDoc(doc);
        EXPECT_EQ(result, 2);
        ASSERT_EQ(parts.size(), 2u);
        for (int k = 0; k < 2; ++k) {
            const std::string n = std::to_string(k + 1);
            const CFInfo& p = *parts[k];
            EXPECT_EQ(std::tie(p.m_MsgType, p.m_Starts, p.m_Ends, p.m_DestFile, p.m_From),
                      std::make_tuple(MT_UU, 1, 1, n + ".bin", "ann@example.org"));
            EXPECT_EQ(Where(&p), doc.Span("begin" + n, "end" + n));
        }
    }
}

TEST_F(UuSection, NamesWithBlanksWrappedOrWithFolders)
{
    const std::string wrapped = "begin 644 a_rather_long_file_name_that_wraps_over_the_edge";
    const struct { std::vector<std::string> beginLines; std::string name; } cases[] = {
        {{"begin 644 my file.zip"}, "my file.zip"},
        {{wrapped, "of_the_line.zip"}, "a_rather_long_file_name_that_wraps_over_the_edgeof_the_line.zip"},
        {{"begin 644 ", "short.zip"}, "short.zip"}, // 11 bytes with its LF
        {{"begin 644 ../../etc/passwd"}, "passwd"}, // folders are dropped
        {{"begin 644 " + Repeat("\xC3\xA9", 200) + ".bin"}, Repeat("\xC3\xA9", 125) + ".bin"}, // cut whole
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Doc doc;
        doc.AddAll(c.beginLines).AddAll(UuLines(kPayload)).Add("end").Mark("end");
        const CFInfo* p = One(doc);
        // The joined line is read again as an ordinary line: numbering stays right.
        EXPECT_EQ(std::tie(p->m_DestFile, p->m_MsgType, p->m_EndLine, p->m_EPos),
                  std::make_tuple(c.name, MT_UU, doc.Line("end"), doc.PosAfter("end")));
    }
    // Without a mode it is ordinary text.
    EXPECT_TRUE(ScanDoc(Doc().Add("begin here and read on").Add("end")).empty());
    EXPECT_EQ(result, 0);
}

TEST_F(UuSection, FileEndingInsideThePartEndsItAtTheEndOfFile)
{
    Doc doc;
    doc.Add("begin 644 cut.bin").AddAll(Slice(UuLines(kPayload), 0, 10));
    const CFInfo* p = One(doc);
    EXPECT_EQ(std::tie(p->m_EPos, p->m_EndLine, p->m_Ends, p->m_Starts),
              std::make_tuple(doc.Size(), doc.LineCount(), 0, 1));
}

using MultiPartSubjects = ScanTest;

TEST_F(MultiPartSubjects, EachSubjectWithNumbersStartsAPart)
{
    const auto lines = UuLines(RandomBytes(45 * 90, 5));
    Doc doc;
    for (std::size_t k = 0; k < 3; ++k) {
        const std::string n = std::to_string(k + 1);
        doc.Add("From news@example.org Mon Dec  7 10:00:00 2026").Mark("sep" + n);
        AddHeaders(doc, "holiday.zip (" + n + "/3)");
        if (k == 0) doc.Add("begin 644 holiday.zip").Mark("begin");
        doc.AddAll(Slice(lines, k * 30, k == 2 ? lines.size() : k * 30 + 30));
        if (k == 2) doc.Add("end").Mark("end");
        doc.Add("");
    }
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(result, 3);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(std::tie(parts[k]->m_Part, parts[k]->m_Total, parts[k]->m_MsgType), std::make_tuple(k + 1, 3, MT_UU));
    EXPECT_EQ(std::tie(parts[0]->m_SPos, parts[0]->m_DestFile, parts[0]->m_Starts),
              std::make_tuple(doc.Pos("begin"), "holiday.zip", 1));
    // Parts 2 and 3 start at their subject line; a UU part without a type keeps that start.
    // Two header lines in a row (the mailbox separator and "From:") end the part before them.
    const std::string s2 = "subject:holiday.zip (2/3)";
    EXPECT_EQ(Where(parts[1]), Where(doc.Pos(s2), doc.Pos("sep3"), doc.Line(s2), doc.Line("sep3") - 1));
    EXPECT_EQ(std::tie(parts[2]->m_Ends, parts[2]->m_EPos), std::make_tuple(1, doc.PosAfter("end")));
    EXPECT_EQ(parts[1]->m_FullSubj, parts[2]->m_FullSubj);
}

// "set.zip (1/2)" with a begin line, 30 data lines, a break line, "set.zip (2/2)" and the rest.
Doc TwoPartSet(const std::string& breakLine)
{
    const auto lines = UuLines(RandomBytes(45 * 60, 7));
    Doc doc;
    doc.Add("Subject: set.zip (1/2)").Add("");
    doc.Add("begin 644 set.zip").Mark("begin").AddAll(Slice(lines, 0, 30));
    doc.Add(breakLine).Mark("break");
    doc.Add("Subject: set.zip (2/2)").Mark("s2").Add("");
    doc.AddAll(Slice(lines, 30, lines.size())).Add("end").Mark("end");
    return doc;
}

// The next subject closes the part at the blank line after its data; with
// sorted order assumed, subjects and header pairs end nothing.
TEST_F(MultiPartSubjects, NextSubjectClosesThePartUnlessSortedOrderIsAssumed)
{
    Doc doc = TwoPartSet("");
    auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(Where(parts[0]), Where(doc.Pos("begin"), doc.Pos("break"), doc.Line("begin"), doc.Line("break")));
    EXPECT_EQ(Where(parts[1]), doc.Span("s2", "end"));
    EXPECT_EQ(parts[1]->m_Part, 2);
    run.AssumeSortedOrder = true;
    doc = TwoPartSet("From: Ann <ann@example.org>");
    EXPECT_EQ(Where(One(doc)), doc.Span("begin", "end"));
}

TEST_F(MultiPartSubjects, SubjectWithinNineLinesRenumbersThePart)
{
    Doc doc;
    doc.Add("Subject: report.zip (1/2)").Add("").Add("Some words about it.");
    doc.Add("Subject: report.zip (2/2)").Mark("s2").Add("");
    doc.AddAll(UuLines(RandomBytes(900, 3))).Add("end").Mark("end");
    const CFInfo* p = One(doc);
    EXPECT_EQ(std::tie(p->m_Part, p->m_Total), std::make_tuple(2, 2));
    EXPECT_EQ(Where(p), doc.Span("s2", "end"));
}

// A part that already holds data lines is closed by the next numbered
// subject however few lines it has (a tiny posting loses no part).
TEST_F(MultiPartSubjects, TinyPartsWithDataAreClosedByTheNextSubject)
{
    const auto lines = UuLines(RandomBytes(45 * 15, 9));
    Doc doc;
    for (int n = 1; n <= 3; ++n) {
        AddHeaders(doc, "big.bin (" + std::to_string(n) + "/3)");
        if (n == 1) doc.Add("begin 644 big.bin");
        doc.AddAll(Slice(lines, 5 * (n - 1), 5 * n));
        if (n == 3) doc.Add("`").Add("end").Mark("end");
    }
    const auto parts = ScanDoc(doc);
    ASSERT_EQ(parts.size(), 3u);
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(std::tie(parts[n - 1]->m_Part, parts[n - 1]->m_Total), std::make_tuple(n, 3));
    EXPECT_EQ(std::tie(parts[0]->m_EPos, parts[1]->m_EPos, parts[2]->m_EndLine),
              std::make_tuple(doc.Pos("subject:big.bin (2/3)"), doc.Pos("subject:big.bin (3/3)"), doc.Line("end")));
}

TEST_F(MultiPartSubjects, EndInPartOfUnknownEncodingWithPartEqualToTotalMakesItUu)
{
    Doc doc;
    doc.Add("Subject: notes (1/1)").Add("").Add("Plain words that are not encoded data at all.");
    doc.Add("end").Mark("end");
    const CFInfo* p = One(doc);
    EXPECT_EQ(std::tie(p->m_MsgType, p->m_Ends, p->m_EPos), std::make_tuple(MT_UU, 1, doc.PosAfter("end")));
}

TEST_F(MultiPartSubjects, FoldedSubjectIsUnfoldedAndLongFoldsStopAtTheLineLimit)
{
    Doc doc;
    doc.Add("Subject: holiday.zip").Add("   (1/2)").Add("");
    doc.Add("begin 644 holiday.zip").AddAll(UuLines(RandomBytes(600, 8))).Add("end").Mark("end");
    const CFInfo* p = One(doc);
    EXPECT_EQ(std::tie(p->m_Part, p->m_Total, p->m_EndLine), std::make_tuple(1, 2, doc.Line("end")));
    Doc longer;
    longer.Add("Subject: many words (1/2)").AddAll(std::vector<std::string>(40, "  " + std::string(100, 'w')));
    longer.Add("").Add("begin 644 x.bin").AddAll(UuLines(RandomBytes(300, 9))).Add("end").Mark("end");
    EXPECT_EQ(One(longer)->m_EndLine, longer.Line("end"));
}

// Control bytes in a decoded subject or name cannot add a line of their own
// or reach a terminal: the report, the list dump and the log escape them.
TEST_F(ScanTest, ControlCharactersAreShownEscaped)
{
    Doc doc;
    AddHeaders(doc, "=?utf-8?q?x=0D=0AOutFile:_fake=1B]0;t=07?=");
    doc.Add(std::string("begin 644 a\x1b[2J\xC2\x9B") + ".bin").AddAll(UuLines(kPayload)).Add("end");
    ASSERT_EQ(ScanDoc(doc).size(), 1u);
    for (const std::string& text : {ReportText(list), ListDumpText(&list), host.LogText()}) {
        EXPECT_EQ(text.find("\nOutFile: fake"), std::string::npos) << text;
        EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
        EXPECT_NE(text.find("x\\x0d\\x0aOutFile: fake\\x1b]0;t\\x07"), std::string::npos) << text;
    }
    EXPECT_NE(ReportText(list).find("OutFile: a[2J\\u009b.bin\r\n"), std::string::npos) << ReportText(list);
}

// ------------------------------------------------------------ single rules

class ScanRules : public ScanTest
{
protected:
    ScanRules() : state(inputPath, list, settings, run, host) {}

    // Puts `text` into the current line buffer, or into the one two lines back.
    void SetLine(const std::string& text, bool twoBefore = false)
    {
        scan::LineBuf& buf = twoBefore ? *state.prev2 : *state.cur;
        std::memcpy(buf.text, text.data(), text.size());
        buf.text[text.size()] = '\0';
        buf.len = static_cast<int>(text.size());
        if (!twoBefore) state.SetLength(buf.len);
    }
    void OpenPartOfType(std::uint32_t type)
    {
        state.current = std::make_unique<CFInfo>();
        state.current->m_MsgType = type;
        state.current->m_Starts = 1;
    }

    std::string inputPath = "input.txt";
    scan::ScanState state;
};

// In a text or Quoted-Printable part the separator makes the quoted subject
// renumber nothing; a plain text line clears the mark; elsewhere the
// separator is an ordinary line.
TEST_F(ScanRules, OriginalMessageSeparatorSkipsTheQuotedSubjectOfATextPart)
{
    OpenPartOfType(MT_UU);
    SetLine("-----Original Message-----\n");
    scan::QuotedReply(state);
    EXPECT_FALSE(state.skipOriginalMessage);
    OpenPartOfType(MT_QP);
    scan::QuotedReply(state);
    ASSERT_TRUE(state.skipOriginalMessage);
    SetLine("Thanks for the pictures.\n");
    scan::QuotedReply(state);
    EXPECT_FALSE(state.skipOriginalMessage);

    OpenPartOfType(MT_TXT);
    SetLine("-----Original Message-----\n");
    scan::QuotedReply(state);
    EXPECT_TRUE(state.skipOriginalMessage);
    SetLine("Subject: old (1/2)\n");
    EXPECT_EQ(scan::SubjectLine(state), scan::Next::SkipLine);
    EXPECT_FALSE(state.skipOriginalMessage);
    EXPECT_EQ(state.current->m_Part, -1);
}

// An "end" line closes a Quoted-Printable part as UU only after a UU line;
// after text, or in a Base64 part, it is text.
TEST_F(ScanRules, EndLineInQuotedPrintableOrBase64Part)
{
    const std::string uu = UuLines(RandomBytes(45, 71))[0] + "\n";
    for (const auto& [type, before] : {std::pair{MT_QP, "See you soon.\n"},
                                       {MT_B64, "See you soon.\n"},
                                       {MT_B64, uu.c_str()},
                                       {MT_QP, uu.c_str()}}) {
        SCOPED_TRACE(before);
        OpenPartOfType(type);
        SetLine(before, true);
        SetLine("end\n");
        scan::KeywordLines(state);
        if (type != MT_QP || before != uu) {
            ASSERT_NE(state.current, nullptr);
            EXPECT_EQ(std::tie(state.current->m_MsgType, state.found), std::make_tuple(type, 0));
            continue;
        }
        EXPECT_EQ(std::make_tuple(state.current.get(), state.found), std::make_tuple(nullptr, 1));
        const auto parts = AllParts(list);
        ASSERT_EQ(parts.size(), 1u);
        EXPECT_EQ(std::tie(parts[0]->m_MsgType, parts[0]->m_Ends, parts[0]->m_Starts), std::make_tuple(MT_UU, 1, 0));
    }
}

} // namespace
} // namespace zarvex::test
