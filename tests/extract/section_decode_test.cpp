// Decoding UU, XX and Base64 sections through the engine, compared byte for
// byte with the originals that independent encoders turned into text.
#include "extract_fixture.h"

namespace zarvex::test {
namespace {

const std::string kHeaders = "From: someone@example.org\nSubject: test posting\n\nHere comes the file.\n\n";

class UUDecode : public ExtractTest {
protected:
    void SetUp() override
    {
        if (!HaveProgram("/usr/bin/uuencode")) GTEST_SKIP() << "GNU uuencode is not installed";
    }
    const Bytes payload = RandomBytes(20'000, 7);
};

TEST_F(UUDecode, SinglePartEqualsOriginal)
{
    const Bytes text = GnuUuencode(payload, "pic.bin", dir);
    ASSERT_FALSE(text.empty());
    AddRecord({MakePart(WriteSection(dir, "in.txt", kHeaders, text, "-- \nbye\n", MT_UU), "pic.bin")});
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_BYTES_EQ(payload, ReadFile(Out("pic.bin")));
    EXPECT_EQ(host.CountInLog("Extracting UUencoded data as file pic.bin"), 1);
    EXPECT_EQ(host.CountInLog("Error decoding"), 0) << host.PlainLog();
    EXPECT_TRUE(list[0]->GetAt(0)->TestFlag(PF_WRITTEN));
    EXPECT_EQ(list[0]->GetAt(0)->m_ByteStart, 0);
    EXPECT_EQ(list[0]->GetAt(0)->m_Length, static_cast<std::int64_t>(payload.size()));
}

TEST_F(UUDecode, ThreePartsInThreeFilesJoinInOrder)
{
    const std::vector<std::string> lines = Lines(GnuUuencode(payload, "pic.bin", dir));
    const std::size_t third = lines.size() / 3;
    std::vector<CFInfo*> parts;
    for (int i = 0; i < 3; ++i) {
        const std::size_t to = i == 2 ? lines.size() : (i + 1) * third;
        PartSpec spec = WriteSection(dir, "part" + std::to_string(i), kHeaders, Join(lines, i * third, to),
                                     "\n-- \nsignature\n", MT_UU);
        spec.part = i + 1;
        spec.total = 3;
        parts.push_back(MakePart(spec, i == 0 ? "pic.bin" : ""));
    }
    AddRecord(parts);
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_BYTES_EQ(payload, ReadFile(Out("pic.bin")));
    EXPECT_EQ(list[0]->GetAt(1)->m_ByteStart, list[0]->GetAt(0)->m_Length);
}

TEST_F(UUDecode, ShortLastLineBeforeBackquoteAndEndIsDecoded)
{
    // The last line lost its trailing blank in transport, so it does not look
    // like a UU line any more; only the end handling can decode it.
    Bytes data = RandomBytes(450, 3) + "ab@";
    const std::vector<std::string> lines = Lines(GnuUuencode(data, "tail.bin", dir));
    ASSERT_GE(lines.size(), 4u);
    std::string text = Join(lines, 0, lines.size() - 3);
    text += "#86)\n`\nend\n";
    AddRecord({MakePart(WriteSection(dir, "in.txt", kHeaders, text, "", MT_UU), "tail.bin")});
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_BYTES_EQ(data, ReadFile(Out("tail.bin")));
    EXPECT_EQ(host.CountInLog("End not found"), 0) << host.PlainLog();
}

TEST_F(UUDecode, MissingEndKeepsDataAndSaysShortFile)
{
    const std::vector<std::string> lines = Lines(GnuUuencode(payload, "cut.bin", dir));
    const std::string text = Join(lines, 0, lines.size() - 1); // without "end"
    AddRecord({MakePart(WriteSection(dir, "in.txt", kHeaders, text, "", MT_UU), "cut.bin")});
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_EQ(host.CountInLog("\tEnd not found, short file.\r\n"), 1) << host.PlainLog();
    EXPECT_BYTES_EQ(payload, ReadFile(Out("cut.bin")));
}

TEST_F(UUDecode, SectionWithoutBeginStartsAtFirstFullLine)
{
    const std::vector<std::string> lines = Lines(GnuUuencode(payload, "nobegin.bin", dir));
    const std::string text = Join(lines, 1, lines.size());
    AddRecord({MakePart(WriteSection(dir, "in.txt", kHeaders, text, "", MT_UU), "nobegin.bin")});
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_BYTES_EQ(payload, ReadFile(Out("nobegin.bin")));
}

TEST_F(UUDecode, QuotePrefixLeftInLinesIsFoundAgain)
{
    std::vector<std::string> lines = Lines(GnuUuencode(payload, "quoted.bin", dir));
    lines[5] = "> " + lines[5];
    AddRecord({MakePart(WriteSection(dir, "in.txt", kHeaders, Join(lines, 0, lines.size()), "", MT_UU),
                        "quoted.bin")});
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_BYTES_EQ(payload, ReadFile(Out("quoted.bin")));
}

TEST_F(UUDecode, MessageLineBetweenPartsDoesNotResumeData)
{
    const std::vector<std::string> lines = Lines(GnuUuencode(payload, "msg.bin", dir));
    std::string text = Join(lines, 0, 20) + "\nMessage 2 of 2 follows, with its text here\n" +
                       Join(lines, 20, lines.size());
    AddRecord({MakePart(WriteSection(dir, "in.txt", kHeaders, text, "", MT_UU), "msg.bin")});
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_BYTES_EQ(payload, ReadFile(Out("msg.bin")));
}

// Damages line `index` of the encoded text with a control character.
std::string Damage(const std::string& line) { return line.substr(0, 10) + '\x01' + line.substr(11); }

TEST_F(UUDecode, SixDamagedLinesGiveFiveReportsAndOneMore)
{
    std::vector<std::string> lines = Lines(GnuUuencode(payload, "bad.bin", dir));
    for (int i = 3; i < 9; ++i) lines[i] = Damage(lines[i]);
    AddRecord({MakePart(WriteSection(dir, "in.txt", kHeaders, Join(lines, 0, lines.size()), "", MT_UU),
                        "bad.bin")});
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_EQ(host.CountInLog("*Error decoding line"), 5) << host.PlainLog();
    EXPECT_EQ(host.CountInLog("(1 more errors.)\r\n"), 1) << host.PlainLog();
    EXPECT_EQ(host.CountInLog(" invalid characters "), 5);
    EXPECT_NE(list[0]->m_Status & ST_DATAERROR, 0);
    EXPECT_EQ(ReadFile(Out("bad.bin")).size(), payload.size()) << "damaged lines keep the output length";
}

TEST_F(UUDecode, FiveDamagedLinesGiveFiveReportsAndNoSummary)
{
    std::vector<std::string> lines = Lines(GnuUuencode(payload, "bad.bin", dir));
    for (int i = 3; i < 8; ++i) lines[i] = Damage(lines[i]);
    AddRecord({MakePart(WriteSection(dir, "in.txt", kHeaders, Join(lines, 0, lines.size()), "", MT_UU),
                        "bad.bin")});
    Extract(0);
    EXPECT_EQ(host.CountInLog("*Error decoding line"), 5);
    EXPECT_EQ(host.CountInLog("more errors"), 0);
    // The line number counts from the start of the input file.
    EXPECT_EQ(host.CountInLog("*Error decoding line " + std::to_string(CountLines(kHeaders) + 4) + " of "), 1)
        << host.PlainLog();
}

TEST_F(UUDecode, DamagedPartIsReplacedByItsDuplicateAtTheSameOffset)
{
    const std::vector<std::string> lines = Lines(GnuUuencode(payload, "dup.bin", dir));
    const std::size_t half = lines.size() / 2;
    PartSpec first = WriteSection(dir, "p1", kHeaders, Join(lines, 0, half), "", MT_UU);
    first.total = 2;
    std::vector<std::string> damaged(lines.begin() + half, lines.end());
    damaged[4] = Damage(damaged[4]);
    PartSpec second = WriteSection(dir, "p2bad", kHeaders, Join(damaged, 0, damaged.size()), "", MT_UU);
    second.part = 2;
    second.total = 2;
    PartSpec good = WriteSection(dir, "p2good", "Subject: again\n\n", Join(lines, half, lines.size()), "", MT_UU);
    good.part = 2;
    good.total = 2;
    CFInfo* p2 = MakePart(second, "");
    p2->m_pNextDup.reset(MakePart(good, ""));
    AddRecord({MakePart(first, "dup.bin"), p2});
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_EQ(host.CountInLog("Trying next duplicate part to correct errors..."), 1) << host.PlainLog();
    EXPECT_BYTES_EQ(payload, ReadFile(Out("dup.bin")));
    EXPECT_EQ(p2->m_pNextDup->m_ByteStart, list[0]->GetAt(0)->m_Length);
}

class UUChosenDuplicate : public UUDecode {
protected:
    void SetUp() override
    {
        UUDecode::SetUp();
        if (IsSkipped()) return;
        settings.YouChooseDuplicate = true;
        const std::vector<std::string> lines = Lines(GnuUuencode(payload, "dup.bin", dir));
        const std::size_t half = lines.size() / 2;
        PartSpec first = WriteSection(dir, "p1", "", Join(lines, 0, half), "", MT_UU);
        std::vector<std::string> damaged(lines.begin() + half, lines.end());
        damaged[4] = Damage(damaged[4]);
        PartSpec bad = WriteSection(dir, "p2bad", "", Join(damaged, 0, damaged.size()), "", MT_UU);
        PartSpec good = WriteSection(dir, "p2good", "", Join(lines, half, lines.size()), "", MT_UU);
        first.total = bad.total = good.total = 2;
        bad.part = good.part = 2;
        CFInfo* p2 = MakePart(bad, "");
        p2->m_pNextDup.reset(MakePart(good, ""));
        AddRecord({MakePart(first, "dup.bin"), p2});
    }
};

TEST_F(UUChosenDuplicate, TheUserPicksTheGoodCopy)
{
    host.chooseDuplicate = 1;
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_EQ(host.duplicateChoices, std::vector<int>{2}) << "asked once, for the part that has a duplicate";
    EXPECT_EQ(host.CountInLog("Trying next duplicate"), 0);
    EXPECT_EQ(host.CountInLog("Error decoding"), 0);
    EXPECT_BYTES_EQ(payload, ReadFile(Out("dup.bin")));
}

TEST_F(UUChosenDuplicate, ADamagedChoiceIsReportedNotSwitched)
{
    host.chooseDuplicate = 0;
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_EQ(host.CountInLog("Error decoding"), 1);
    EXPECT_EQ(host.CountInLog("Trying next duplicate"), 0);
}

TEST_F(UUChosenDuplicate, AbortRemovesTheOutput)
{
    host.chooseDuplicate = -1;
    EXPECT_EQ(Extract(0), extract_result::NothingWritten);
    EXPECT_TRUE(host.abort);
    EXPECT_FALSE(FileExists(Out("dup.bin")));
}

TEST_F(UUDecode, EmptyDecodeRemovesTheFile)
{
    const std::string text = "begin 644 empty.bin\n`\nend\n";
    AddRecord({MakePart(WriteSection(dir, "in.txt", kHeaders, text, "", MT_UU), "empty.bin")});
    EXPECT_EQ(Extract(0), extract_result::NothingWritten);
    EXPECT_EQ(host.CountInLog("\tNo data written, empty file removed.\r\n"), 1) << host.PlainLog();
    EXPECT_FALSE(FileExists(Out("empty.bin")));
}

TEST_F(UUDecode, AbortRemovesTheOutputAndSaysSo)
{
    const Bytes text = GnuUuencode(payload, "stop.bin", dir);
    AddRecord({MakePart(WriteSection(dir, "in.txt", kHeaders, text, "", MT_UU), "stop.bin")});
    host.abort = true;
    EXPECT_EQ(Extract(0), extract_result::NothingWritten);
    EXPECT_EQ(host.CountInLog("Operation Aborted!"), 1);
    EXPECT_FALSE(FileExists(Out("stop.bin")));
}

class XXDecode : public ExtractTest {
protected:
    void SetUp() override
    {
        if (!HavePython()) GTEST_SKIP() << "python3 is not installed";
    }
    const Bytes payload = RandomBytes(9'999, 11);
};

TEST_F(XXDecode, SinglePartEqualsOriginal)
{
    const Bytes text = PythonXxencode(payload, "x.bin", dir);
    ASSERT_FALSE(text.empty());
    AddRecord({MakePart(WriteSection(dir, "in.txt", kHeaders, text, "\nbye\n", MT_XX), "x.bin")});
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_BYTES_EQ(payload, ReadFile(Out("x.bin")));
    EXPECT_EQ(host.CountInLog("Extracting XXencoded data as file x.bin"), 1);
    EXPECT_EQ(host.CountInLog("End not found"), 0) << host.PlainLog();
}

TEST_F(XXDecode, TwoPartsJoinAndEndAfterThePlusLine)
{
    const std::vector<std::string> lines = Lines(PythonXxencode(payload, "x.bin", dir));
    const std::size_t half = lines.size() / 2;
    PartSpec a = WriteSection(dir, "a", kHeaders, Join(lines, 0, half), "\n", MT_XX);
    PartSpec b = WriteSection(dir, "b", kHeaders, Join(lines, half, lines.size()), "", MT_XX);
    a.total = b.total = 2;
    b.part = 2;
    AddRecord({MakePart(a, "x.bin"), MakePart(b, "")});
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_BYTES_EQ(payload, ReadFile(Out("x.bin")));
}

TEST_F(XXDecode, EndWithoutPlusLineIsNotTheEnd)
{
    std::vector<std::string> lines = Lines(PythonXxencode(payload, "x.bin", dir));
    lines.erase(lines.end() - 2); // drop "+"
    AddRecord({MakePart(WriteSection(dir, "in.txt", kHeaders, Join(lines, 0, lines.size()), "", MT_XX), "x.bin")});
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_EQ(host.CountInLog("End not found, short file."), 1) << host.PlainLog();
}

class Base64Decode : public ExtractTest {
protected:
    void SetUp() override
    {
        if (!HavePython()) GTEST_SKIP() << "python3 is not installed";
    }
    const Bytes payload = RandomBytes(30'000, 5);
};

TEST_F(Base64Decode, MimeAttachmentWithBoundaryEqualsOriginal)
{
    const Bytes mail = PythonMimeMail(payload, "doc.pdf", dir);
    ASSERT_FALSE(mail.empty());
    // The section starts at the message headers; the reader finds the body.
    AddRecord({MakePart(WriteSection(dir, "mail.eml", "", mail, "\nText after the mail.\nMore text\n", MT_B64),
                        "doc.pdf")});
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_BYTES_EQ(payload, ReadFile(Out("doc.pdf")));
    EXPECT_EQ(host.CountInLog("Extracting Base64 encoded data as file doc.pdf"), 1);
    EXPECT_EQ(host.CountInLog("short file"), 0) << host.PlainLog();
}

TEST_F(Base64Decode, HeaderlessLinesEqualOriginal)
{
    const Bytes lines = PythonBase64Lines(payload, dir);
    ASSERT_FALSE(lines.empty());
    AddRecord({MakePart(WriteSection(dir, "in.txt", "", lines, "", MT_B64), "raw.bin")});
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_BYTES_EQ(payload, ReadFile(Out("raw.bin")));
}

TEST_F(Base64Decode, LineBrokenInTwoIsJoined)
{
    std::vector<std::string> lines = Lines(PythonBase64Lines(payload, dir));
    const std::string whole = lines[10];
    lines[10] = whole.substr(0, 40) + "\n";
    lines.insert(lines.begin() + 11, whole.substr(40));
    const std::string body = "Content-Type: application/octet-stream\nContent-Transfer-Encoding: base64\n\n" +
                             Join(lines, 0, lines.size());
    AddRecord({MakePart(WriteSection(dir, "in.txt", "Subject: x\n", body, "", MT_B64), "joined.bin")});
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_BYTES_EQ(payload, ReadFile(Out("joined.bin")));
    EXPECT_EQ(host.CountInLog("Error decoding"), 0) << host.PlainLog();
}

TEST_F(Base64Decode, SecondPartResumesOnlyAtAFullLengthLine)
{
    const std::vector<std::string> lines = Lines(PythonBase64Lines(payload, dir));
    const std::size_t half = lines.size() / 2;
    const std::string head = "Content-Type: application/octet-stream\nContent-Transfer-Encoding: base64\n\n";
    PartSpec a = WriteSection(dir, "a", "Subject: x 1/2\n", head + Join(lines, 0, half), "", MT_B64);
    PartSpec b = WriteSection(dir, "b", "",
                              "Subject: x 2/2\nshort\nline of text that is not base64\n\n" +
                                  Join(lines, half, lines.size()),
                              "", MT_B64);
    a.total = b.total = 2;
    b.part = 2;
    AddRecord({MakePart(a, "two.bin"), MakePart(b, "")});
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_BYTES_EQ(payload, ReadFile(Out("two.bin")));
}

TEST_F(Base64Decode, ClosingBoundaryFinishesEvenWithTextAfterIt)
{
    const Bytes lines = PythonBase64Lines(payload, dir);
    const std::string body = "Content-Type: multipart/mixed; boundary=\"XyZ\"\n\n--XyZ\n"
                             "Content-Type: application/octet-stream\nContent-Transfer-Encoding: base64\n\n" +
                             lines + "--XyZ--\nQUJDRA==\nmore text\n";
    AddRecord({MakePart(WriteSection(dir, "in.txt", "", body, "", MT_B64), "b.bin")});
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_BYTES_EQ(payload, ReadFile(Out("b.bin")));
}

TEST_F(Base64Decode, BrokenGroupIsAShortLine)
{
    std::vector<std::string> lines = Lines(PythonBase64Lines(payload, dir));
    lines[3] = lines[3].substr(0, 74) + "\n"; // 74 characters: ends inside a group
    AddRecord({MakePart(WriteSection(dir, "in.txt", "", Join(lines, 0, lines.size()), "", MT_B64), "s.bin")});
    Extract(0);
    EXPECT_EQ(host.CountInLog(" short line"), 1) << host.PlainLog();
    EXPECT_NE(list[0]->GetAt(0)->m_Status & ST_DATAERROR, 0);
}

} // namespace
} // namespace zarvex::test
