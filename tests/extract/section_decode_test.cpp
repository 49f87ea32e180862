// Decoding UU, XX and Base64 sections through the engine, compared byte for
// byte with the originals.
#include "extract_fixture.h"

#include <set>

namespace zarvex::test {
namespace {

const std::string kHeaders = "From: someone@example.org\nSubject: test posting\n\nHere comes the file.\n\n";

std::string Damage(const std::string& line) { return line.substr(0, 10) + '\x01' + line.substr(11); }

class UUDecode : public ExtractTest {
protected:
    std::vector<std::string> Encoded(const std::string& name) { return Lines(UuFile(payload, name)); }

    // Two parts whose second one is damaged, with a good duplicate of it.
    CFInfo* AddDamagedWithDuplicate(const std::string& name, const std::string& before)
    {
        const std::vector<std::string> lines = Encoded(name);
        const std::size_t half = lines.size() / 2;
        std::vector<std::string> damaged(lines.begin() + half, lines.end());
        damaged[4] = Damage(damaged[4]);
        auto part = [&](const std::string& file, const std::string& head, const std::string& text, int number) {
            return MakePart(WriteSection(dir, name + file, head, text, "", MT_UU, number, 2), number == 1 ? name : "");
        };
        CFInfo* p2 = part(".bad", before, Join(damaged, 0, damaged.size()), 2);
        p2->m_pNextDup.reset(part(".good", "Subject: again\n\n", Join(lines, half, lines.size()), 2));
        AddRecord({part(".1", before, Join(lines, 0, half), 1), p2});
        return p2;
    }
    const Bytes payload = RandomBytes(20'000, 7);
};

TEST_F(UUDecode, SinglePartsEqualTheOriginalDespiteDisturbances)
{
    using Edit = std::function<void(std::vector<std::string>&)>;
    struct Case {
        const char* what;
        Edit edit;
        int endNotFound;
        std::string logged = ""; // a note the log holds once
        bool errors = false;     // line errors are reported, yet the data decoded
    };
    const std::string twoLines = "\tPossible missing End Of Line @ " + std::to_string(CountLines(kHeaders) + 11) +
                                 " of " + dir / "in-d6.bin" + ", correcting...\r\n";
    const std::vector<Case> cases = {
        {"as encoded", [](auto&) {}, 0},
        {"no begin line", [](auto& l) { l.erase(l.begin()); }, 0},
        {"quote prefix", [](auto& l) { l[5] = "> " + l[5]; }, 0, "", true},
        {"message line",
         [](auto& l) { l.insert(l.begin() + 20, "\nMessage 2 of 2 follows, with its text here\n"); }, 0},
        {"missing end: data kept", [](auto& l) { l.pop_back(); }, 1},
        {"stray text between full lines", [](auto& l) { l.insert(l.begin() + 30, "some stray text in the middle\n"); },
         0, "\tunexpected data --file probably corrupted.", true},
        {"two lines run together: split", [](auto& l) { l[10].pop_back(), l[10] += l[11], l.erase(l.begin() + 11); },
         0, twoLines},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        host.log.clear();
        const std::string name = "d" + std::to_string(i) + ".bin";
        std::vector<std::string> lines = Encoded(name);
        cases[i].edit(lines);
        AddSingle(name, Join(lines, 0, lines.size()), MT_UU, kHeaders, i == 0 ? "-- \nbye\n" : "");
        EXPECT_EQ(Extract(static_cast<int>(i)), extract_result::Written);
        EXPECT_BYTES_EQ(payload, ReadFile(Out(name)));
        EXPECT_EQ(host.CountInLog("Extracting UUencoded data as file " + name), 1);
        EXPECT_EQ(host.CountInLog("Error decoding") > 0, cases[i].errors) << host.PlainLog();
        if (!cases[i].logged.empty()) {
            EXPECT_EQ(host.CountInLog(cases[i].logged), 1) << host.PlainLog();
        }
        EXPECT_EQ(host.CountInLog("\tEnd not found, short file.\r\n"), cases[i].endNotFound) << host.PlainLog();
    }
    const CFInfo* first = list[0]->GetAt(0);
    EXPECT_TRUE(first->TestFlag(PF_WRITTEN));
    EXPECT_EQ(first->m_ByteStart, 0);
    EXPECT_EQ(first->m_Length, static_cast<std::int64_t>(payload.size()));
}

TEST_F(UUDecode, ShortLastLineBeforeBackquoteAndEndIsDecoded)
{
    // The last line lost its trailing blank in transport, so it does not look
    // like a UU line any more; only the end handling can decode it.
    const Bytes data = RandomBytes(450, 3) + "ab@";
    const std::vector<std::string> lines = Lines(UuFile(data, "tail.bin"));
    ASSERT_GE(lines.size(), 4u);
    AddSingle("tail.bin", Join(lines, 0, lines.size() - 3) + "#86)\n`\nend\n", MT_UU, kHeaders);
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_BYTES_EQ(data, ReadFile(Out("tail.bin")));
    EXPECT_EQ(host.CountInLog("End not found"), 0) << host.PlainLog();
}

TEST_F(UUDecode, FiveDamagedLinesAreReportedThenOnlyCounted)
{
    for (int damaged : {5, 6}) {
        SCOPED_TRACE(damaged);
        host.log.clear();
        const std::string name = "bad" + std::to_string(damaged) + ".bin";
        std::vector<std::string> lines = Encoded(name);
        for (int i = 3; i < 3 + damaged; ++i) lines[i] = Damage(lines[i]);
        CSortInfo* record = AddSingle(name, Join(lines, 0, lines.size()), MT_UU, kHeaders);
        EXPECT_EQ(Extract(list.GetSize() - 1), extract_result::Written);
        EXPECT_EQ(host.CountInLog("*Error decoding line"), 5) << host.PlainLog();
        EXPECT_EQ(host.CountInLog(" invalid characters "), 5);
        EXPECT_EQ(host.CountInLog("(1 more errors.)\r\n"), damaged - 5) << host.PlainLog();
        EXPECT_EQ(host.CountInLog("more errors"), damaged - 5);
        // The line number counts from the start of the input file.
        EXPECT_EQ(host.CountInLog("*Error decoding line " + std::to_string(CountLines(kHeaders) + 4) + " of "), 1);
        EXPECT_NE(record->m_Status & ST_DATAERROR, 0);
        EXPECT_EQ(ReadFile(Out(name)).size(), payload.size()) << "damaged lines keep the output length";
    }
}

TEST_F(UUDecode, UserChosenDuplicateIsUsedAsChosen)
{
    run.YouChooseDuplicate = true;
    struct Case { int choice, result, errors; bool aborts; };
    const Case cases[] = {
        {1, extract_result::Written, 0, false},        // the good copy
        {0, extract_result::Written, 1, false},        // the damaged one: reported, not switched
        {-1, extract_result::NothingWritten, 0, true}, // abort removes the output
    };
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const Case& c = cases[i];
        host.log.clear();
        host.duplicateChoices.clear();
        host.chooseDuplicate = c.choice;
        const std::string name = "dup" + std::to_string(i) + ".bin";
        AddDamagedWithDuplicate(name, "");
        EXPECT_EQ(Extract(i), c.result);
        EXPECT_EQ(host.duplicateChoices, std::vector<int>{2}) << "asked once, for the part that has a duplicate";
        EXPECT_EQ(host.CountInLog("Error decoding"), c.errors);
        EXPECT_EQ(host.CountInLog("Trying next duplicate"), 0);
        EXPECT_EQ(host.abort, c.aborts);
        EXPECT_EQ(FileExists(Out(name)), !c.aborts);
        if (c.choice == 1) EXPECT_BYTES_EQ(payload, ReadFile(Out(name)));
    }
}

TEST_F(UUDecode, EmptyOrAbortedDecodeRemovesTheNewFileButKeepsAnOldOne)
{
    int oldFiles = 0;
    for (int i = 0; i < 4; ++i) {
        const bool abort = i >= 2, hadOld = i % 2 == 1;
        SCOPED_TRACE(i);
        host.log.clear();
        const std::string name = "e" + std::to_string(i) + ".bin";
        if (hadOld) WriteFile(Out(name), "old content"), ++oldFiles;
        AddSingle(name, abort ? UuFile(payload, name) : "begin 644 " + name + "\n`\nend\n", MT_UU, kHeaders);
        host.abort = abort;
        host.answers = {button::Yes};
        int state = answer::Ask;
        EXPECT_EQ(Extract(i, &state), extract_result::NothingWritten);
        EXPECT_EQ(host.CountInLog(abort ? "Operation Aborted!" : "\tNo data written, empty file removed.\r\n"), 1)
            << host.PlainLog();
        EXPECT_EQ(FileExists(Out(name)), hadOld);
        if (hadOld) {
            EXPECT_EQ(ReadFile(Out(name)), "old content");
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outDir), {}), oldFiles) << "no temporary file left";
    }
}

// XX data end at "end" only after the line of zero bytes ("+").
TEST_F(UUDecode, XXFileWithoutItsZeroLineEndsShort)
{
    std::vector<std::string> lines = Lines(XxFile(payload, "x.bin"));
    lines.erase(lines.end() - 2);
    AddSingle("x.bin", Join(lines, 0, lines.size()), MT_XX, kHeaders, "\nbye\n");
    EXPECT_EQ(Extract(0), extract_result::Written);
    const Bytes got = ReadFile(Out("x.bin"));
    EXPECT_BYTES_EQ(payload.substr(0, got.size()), got);
    EXPECT_EQ(host.CountInLog("End not found, short file."), 1) << host.PlainLog();
}

class Base64Decode : public ExtractTest {
protected:
    const Bytes payload = RandomBytes(30'000, 5);
    const Bytes encoded = Text(Base64Lines(payload));
    const std::string kPartHead = "Content-Type: application/octet-stream\nContent-Transfer-Encoding: base64\n\n";
};

TEST_F(Base64Decode, MimeAndHeaderlessSectionsGiveTheOriginal)
{
    const Bytes mail = "From: a@example.org\nSubject: a file\nMIME-Version: 1.0\nContent-Type: multipart/mixed; "
                       "boundary=\"b\"\n\n--b\nContent-Type: text/plain\n\nHere it is.\n--b\n"
                       "Content-Type: application/pdf; name=\"doc.pdf\"\nContent-Transfer-Encoding: base64\n\n" + encoded +
                       "--b--\n";
    std::vector<std::string> broken = Lines(encoded);
    const std::string whole = broken[10];
    broken[10] = whole.substr(0, 40) + "\n";
    broken.insert(broken.begin() + 11, whole.substr(40));
    const std::string cases[] = {
        // The section starts at the message headers; the reader finds the body.
        mail,
        encoded, // headerless
        "Subject: x\n" + kPartHead + Join(broken, 0, broken.size()), // a line broken in two is joined
        "Content-Type: multipart/mixed; boundary=\"XyZ\"\n\n--XyZ\n" + kPartHead + encoded +
            "--XyZ--\nQUJDRA==\nmore text\n", // the closing boundary ends it, whatever follows
    };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        host.log.clear();
        const std::string name = i == 0 ? "doc.pdf" : "b" + std::to_string(i) + ".bin";
        AddSingle(name, cases[i], MT_B64, "", i == 0 ? "\nText after the mail.\nMore text\n" : "");
        EXPECT_EQ(Extract(i), extract_result::Written);
        EXPECT_BYTES_EQ(payload, ReadFile(Out(name)));
        EXPECT_EQ(host.CountInLog("Extracting Base64 encoded data as file " + name), 1);
        EXPECT_EQ(host.CountInLog("Error decoding"), 0) << host.PlainLog();
        if (i == 0) {
            EXPECT_EQ(host.CountInLog("short file"), 0) << host.PlainLog();
        }
    }
}

TEST_F(Base64Decode, SecondPartResumesOnlyAtAFullLengthLine)
{
    const std::vector<std::string> lines = Lines(encoded);
    const std::size_t half = lines.size() / 2;
    PartRange a = WriteSection(dir, "a", "Subject: x 1/2\n", kPartHead + Join(lines, 0, half), "", MT_B64, 1, 2);
    PartRange b = WriteSection(dir, "b", "",
                               "Subject: x 2/2\nshort\nline of text that is not base64\n\n" +
                                   Join(lines, half, lines.size()),
                               "", MT_B64, 2, 2);
    AddRecord({MakePart(a, "two.bin"), MakePart(b, "")});
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_BYTES_EQ(payload, ReadFile(Out("two.bin")));
}

// From input files to output files: scanned, grouped and extracted by the
// real scanner, grouping and engine, compared with the originals.
using EndToEnd = ExtractTest;

// `file` cut into `total` mails of one mailbox, subjects numbered "(i/total)".
std::string Posting(const std::string& name, const Bytes& file, int total, int repeated = -1, bool damaged = false)
{
    const std::vector<std::string> lines = Lines(file);
    const std::size_t each = lines.size() / total;
    std::string mbox;
    for (int i = 0; i < total; ++i) {
        const std::size_t to = i + 1 == total ? lines.size() : (i + 1) * each;
        const std::string subject = total == 1 ? name : name + " (" + std::to_string(i + 1) + "/" +
                                                            std::to_string(total) + ")";
        const std::string mail = "From poster@example.org Mon Jan  1 10:00:00 2024\n" +
                                 Mail(subject, Join(lines, i * each, to));
        std::string copy = mail;
        if (i == repeated && damaged) copy.erase(copy.find("\nM", copy.find("\nM") + 1) + 30, 10);
        mbox += copy + (i == repeated ? mail : "");
    }
    return mbox;
}

// UU in three parts, XX in two, and XX in two whose second part opens with a
// line that holds no "-" (valid Base64 characters only).
TEST_F(EndToEnd, PostingsGiveTheOriginalWithEachPartAtItsOffset)
{
    const struct { bool xx; int parts; std::size_t size; std::uint32_t seed; } cases[] = {
        {false, 3, 60'000, 102}, {true, 2, 30'000, 105}, {true, 2, 40'000, 101}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seed);
        Restart();
        const Bytes payload = RandomBytes(c.size, c.seed);
        const Bytes file = c.xx ? XxFile(payload, "data.zip") : UuFile(payload, "data.zip");
        EXPECT_EQ(ScanAndExtract({dir.Write("in.mbox", Posting("data.zip", file, c.parts))}), 1) << host.PlainLog();
        EXPECT_BYTES_EQ(payload, ReadFile(Out("data.zip")));
        EXPECT_EQ(host.CountInLog(c.xx ? "XXencoded data" : "UUencoded data"), 1) << host.PlainLog();
        EXPECT_EQ(host.CountInLog("Error decoding"), 0) << host.PlainLog();
        if (c.parts > 1) {
            EXPECT_EQ(list[0]->GetAt(1)->m_ByteStart, list[0]->GetAt(0)->m_Length);
        }
    }
}

// Two messages that each carry one Base64 section without a name are two
// files: bare lines without any header, or MIME bodies without a file name
// under one subject.
TEST_F(EndToEnd, NamelessSectionsStayApart)
{
    const Bytes a = RandomBytes(5'700, 108), b = RandomBytes(5'700, 109);
    for (const bool mime : {false, true}) {
        SCOPED_TRACE(mime);
        Restart();
        auto message = [&](const Bytes& data) {
            const std::string head = "Subject: pictures\nMIME-Version: 1.0\nContent-Type: application/octet-stream\n"
                                     "Content-Transfer-Encoding: base64\n\n";
            return (mime ? head : "") + Text(Base64Lines(data));
        };
        EXPECT_EQ(ScanAndExtract({dir.Write("a.txt", message(a)), dir.Write("b.txt", message(b))}), 2)
            << host.PlainLog();
        std::multiset<Bytes> outputs;
        for (const auto& [name, bytes] : Written()) outputs.insert(bytes);
        EXPECT_TRUE(outputs == (std::multiset<Bytes>{a, b})) << "each message once";
    }
}

// A part posted twice and kept ("AutoMultipartDupeRemoval" off) gives its
// data once: part 2 twice, the first copy intact or damaged (the other
// replaces it), or part 1 twice (its copy is a named output of its own).
TEST_F(EndToEnd, KeptDuplicateContributesItsDataOnce)
{
    settings.AutoMultipartDupeRemoval = false;
    const Bytes payload = RandomBytes(4'500, 110);
    // The index of the part posted twice, and whether its first copy has a short line.
    for (const auto& [repeated, damaged] : {std::pair{1, false}, {1, true}, {0, false}}) {
        SCOPED_TRACE(testing::Message() << repeated << damaged);
        Restart();
        const std::string mbox = Posting("dup.bin", UuFile(payload, "dup.bin"), 3, repeated, damaged);
        EXPECT_EQ(ScanAndExtract({dir.Write("posting.mbox", mbox)}), 1) << host.PlainLog();
        EXPECT_BYTES_EQ(payload, ReadFile(Out("dup.bin")));
        EXPECT_EQ(host.CountInLog("Trying next duplicate part to correct errors..."), damaged ? 1 : 0);
    }
}

} // namespace
} // namespace zarvex::test
