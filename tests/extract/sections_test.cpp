// BinHex, BPST, Quoted-Printable, text and face-image sections decoded by the
// engine: from generated messages through the real scanner where the
// scanner finds them by itself, from hand-built records for the parts that
// MIME headers announce. The comparisons with tools no one here wrote are
// in peer_formats_test.cpp.
#include "extract_fixture.h"

#include "scan/scanner.h"
#include "support/binhex_writer.h"
#include "support/bnews_writer.h"

namespace zarvex::test {
namespace {

constexpr const char* kNote = "(This file must be converted with BinHex 4.0)";

class Sections : public ExtractTest {
protected:
    Sections()
    {
        settings.WorkingDir = work;
        std::filesystem::create_directory(work);
    }
    int ScanMail(const std::string& mail) { return ScanAndExtract({dir.Write("in.eml", mail)}); }
    // The output files' contents.
    std::vector<Bytes> Outputs() const
    {
        std::vector<Bytes> all;
        for (const auto& [name, bytes] : Written()) all.push_back(bytes);
        return all;
    }
    bool WorkEmpty() const { return std::filesystem::is_empty(work); }
    static std::string Article(const std::string& body)
    {
        return "From: Ann <ann@example.org>\nSubject: a file\nDate: Mon, 7 Dec 2026 10:00:00 +0000\n\n" + body;
    }
    static std::string BinHexBody(const std::vector<std::string>& lines, const std::string& after = "\nThanks.\n")
    {
        std::string body = std::string(kNote) + "\n\n";
        for (const auto& l : lines) body += l + "\n";
        return body + after;
    }
    std::string work = dir / "work";
};

struct BinHexCase {
    const char* label;
    BinHexFile file;
    int written;        // the output is kept with the data that came through
    const char* logged; // a message the log holds
    bool resource = false;
    bool damaged = false; // the record is marked as having data errors
};

BinHexFile MakeFile(void (*change)(BinHexFile&))
{
    BinHexFile f;
    f.name = "archive.sit";
    f.data = Bytes(500, '\x90') + RandomBytes(20'000, 21) + Bytes(300, 'q');
    change(f);
    return f;
}

class BinHexSections : public Sections, public ::testing::WithParamInterface<BinHexCase> {};

TEST_P(BinHexSections, DecodedWithTheirOutcome)
{
    const BinHexCase& c = GetParam();
    EXPECT_EQ(ScanMail(Article(BinHexBody(BinHexLines(c.file)))), c.written) << host.PlainLog();
    EXPECT_NE(host.PlainLog().find(c.logged), std::string::npos) << host.PlainLog();
    const auto out = Outputs();
    ASSERT_EQ(out.size(), static_cast<std::size_t>(c.written));
    if (c.written) {
        const Bytes& fork = c.resource ? c.file.resource : c.file.data;
        EXPECT_BYTES_EQ(fork, out[0].substr(0, fork.size()));
        EXPECT_TRUE(FileExists(Out("archive.sit")));
    }
    EXPECT_EQ((list.GetAt(0)->m_Status & ST_DATAERROR) != 0, c.damaged);
    EXPECT_TRUE(WorkEmpty()); // the collected characters never outlive the decode
}

INSTANTIATE_TEST_SUITE_P(
    Files, BinHexSections,
    ::testing::Values(BinHexCase{"DataFork", MakeFile([](BinHexFile&) {}), 1, "BinHex4 encoded data"},
                      BinHexCase{"ResourceFork", MakeFile([](BinHexFile& f) { f.resource = RandomBytes(30'000, 3); }),
                                 1, "BinHex4 encoded data", true},
                      BinHexCase{"DamagedCrc", MakeFile([](BinHexFile& f) { f.dataCrcDelta = 7; }), 1,
                                 "Invalid CRC, file corrupt!", false, true},
                      BinHexCase{"DamagedHeader", MakeFile([](BinHexFile& f) { f.headerCrcDelta = 1; }), 0,
                                 "Error extracting file!", false, true},
                      BinHexCase{"LengthBeyondData",
                                 MakeFile([](BinHexFile& f) { f.dataLengthDelta = 3'000'000'000; }), 1,
                                 "Unexpected End Of File.", false, true}),
    [](const auto& p) { return std::string(p.param.label); });

TEST_F(Sections, BinHexKeepsWhatCameBeforeTheStreamEnded)
{
    BinHexFile f = MakeFile([](BinHexFile& g) { g.cutAfterBytes = 10'000; });
    auto lines = BinHexLines(f);
    lines.back().pop_back(); // no closing ":": the parts end first
    ScanMail(Article(BinHexBody(lines, "")));
    EXPECT_EQ(host.CountInLog("Unexpected End Of File."), 1) << host.PlainLog();
    const auto out = Outputs();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_BYTES_EQ(f.data.substr(0, out[0].size()), out[0]);
    EXPECT_GT(out[0].size(), 9'000u);
    EXPECT_TRUE(WorkEmpty());
}

// A BPST section ends after its size; one announcing more than it holds is a short file.
TEST_F(Sections, BpstSectionDecodesItsSize)
{
    for (const bool huge : {false, true}) {
        SCOPED_TRACE(huge);
        Restart();
        const Bytes data = huge ? RandomBytes(2'000, 10) : RandomBytes(5'000, 9);
        const std::string head = "<<BPST Size=" + std::string(huge ? "9000000000000000000" : "5000") + " File=[pic.gif] !BPST>>\n";
        EXPECT_EQ(ScanMail(Article(head + Text(BNewsLines(data)) + (huge ? "" : "Bye\n"))), 1) << host.PlainLog();
        const Bytes got = ReadFile(Out("pic.gif"));
        EXPECT_BYTES_EQ(huge ? data.substr(0, got.size()) : data, got);
        EXPECT_EQ(host.CountInLog("Short file"), huge ? 1 : 0) << host.PlainLog();
        EXPECT_NE(host.PlainLog().find("BNews encoded data"), std::string::npos);
    }
}

TEST_F(Sections, FaceHeaderGivesItsPng)
{
    const Bytes png = "\x89PNG\r\n\x1a\n" + RandomBytes(300, 12);
    const std::string b64 = Base64Encode(png);
    std::string mail = "From: Ann <ann@example.org>\nFace: " + b64.substr(0, 70) + "\n";
    for (std::size_t i = 70; i < b64.size(); i += 76) mail += " " + b64.substr(i, 76) + "\n";
    EXPECT_EQ(ScanMail(mail + "Subject: hello\n\nHi.\n"), 1) << host.PlainLog();
    const auto out = Outputs();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_BYTES_EQ(png, out[0]);
}

// Quoted-Printable and text parts arrive through MIME headers; their
// records are built here as the scanner would leave them. The last line of
// a Quoted-Printable part is written without its line end.
struct BodyCase {
    const char* label;
    std::uint32_t type;
    const char* charset;
    bool crlf, decodeUtf8;
    std::string section;
    Bytes expected;
};

class MimeBodies : public ExtractTest, public ::testing::WithParamInterface<BodyCase> {};

TEST_P(MimeBodies, Decoded)
{
    const BodyCase& c = GetParam();
    settings.EOLConversion = c.crlf;
    settings.DecodeUTF8 = c.decodeUtf8;
    CSortInfo* record = AddSingle("body.txt", c.section, c.type, "", "From: x@y\n\n");
    record->GetAt(0)->SetCharset(c.charset);
    EXPECT_EQ(Extract(0), extract_result::Written) << host.PlainLog();
    EXPECT_BYTES_EQ(c.expected, ReadFile(Out("body.txt")));
}

INSTANTIATE_TEST_SUITE_P(
    Parts, MimeBodies,
    ::testing::Values(
        BodyCase{"QuotedPrintable", MT_QP, "", true, false,
                 "Content-Transfer-Encoding: quoted-printable\n\ncaf=E9 soft=\nbreak  \n=3D\n", "caf\xE9 softbreak\r\n="},
        BodyCase{"QuotedPrintableLf", MT_QP, "", false, false, "Content-Type: text/plain\n\nx=41\ny\n", "xA\ny"},
        BodyCase{"Utf7Text", MT_TXT, "utf-7", true, false,
                 "Content-Type: text/plain;\n charset=utf-7\n\ncaf+AOk-\n", "caf\xC3\xA9\r\n"},
        BodyCase{"Utf8TextCleaned", MT_TXT, "utf-8", true, true, "Content-Type: text/plain\n\nok \xC3\xA9 \xE9\n",
                 "ok \xC3\xA9 ?\r\n"},
        BodyCase{"PlainText", MT_TXT, "", true, false, "Content-Type: text/plain\n\nline one\nline two\n",
                 "line one\r\nline two\r\n"}),
    [](const auto& p) { return std::string(p.param.label); });

} // namespace
} // namespace zarvex::test
