// Messages in the shapes other mail programs write, through the real
// scanner, grouping and engine: every attachment comes out byte for byte
// under its own name, nothing else is written, and nothing fails.
#include "extract_fixture.h"

#include "model/list_dump.h"

namespace zarvex::test {
namespace {

using Files = std::map<std::string, Bytes>;

const Bytes kData = RandomBytes(3000, 34);
const std::string kTop = "From: ann@example.org\nSubject: files\nMIME-Version: 1.0\n";

std::string Mixed(const std::string& body, const std::string& boundaryParameter = "boundary=\"b\"")
{
    return kTop + "Content-Type: multipart/mixed; " + boundaryParameter + "\n\n" + body;
}

std::string Base64Body(std::size_t width) { return Text(Base64Lines(kData, width)); }

std::string Attachment(const std::string& name, const std::string& body)
{
    return "--b\nContent-Type: application/octet-stream; name=\"" + name +
           "\"\nContent-Transfer-Encoding: base64\n\n" + body;
}

// UU lines whose trailing blanks a transport stripped (a blank is a zero).
std::string StrippedUu(std::string_view data)
{
    std::string text = "begin 644 z.bin\n";
    for (std::string line : EncodeSixBitLines(data, kUUAlphabetSpace))
        text += line.erase(line.find_last_not_of(' ') + 1) + "\n";
    return text + "`\nend\n";
}

// Four files in one news article of a posting of two: three whole, the last
// one going on in the next article.
const std::vector<Bytes> kFour = {RandomBytes(500, 61), RandomBytes(800, 62), RandomBytes(1100, 63), RandomBytes(1400, 64)};
std::string FourFiles()
{
    std::string first;
    for (int i = 0; i < 3; ++i) first += UuFile(kFour[i], "f" + std::to_string(i) + ".bin");
    const std::vector<std::string> last = Lines(UuFile(kFour[3], "f3.bin"));
    return Mail("pics (1/2)", first + Join(last, 0, 5)) + Mail("pics (2/2)", Join(last, 5, last.size()));
}
const std::string kBlankX = "X" + std::string(64, ' ') + "\n";
const std::string kShar = "#!/bin/sh\nsed 's/^X//' << 'SHAR_EOF' > README\n" + kBlankX + kBlankX + "XText of the file.\n" +
                          kBlankX + kBlankX + "SHAR_EOF\n";

struct RealCase {
    const char* name;
    std::string mail;
    Files expected;
};

const Bytes kZeroTails = [] {
    Bytes b = RandomBytes(450, 3);
    for (std::size_t i = 44; i < b.size(); i += 45) b[i] = b[i - 1] = 0; // lines end in one to three blanks
    return b;
}();

const RealCase kCases[] = {
    {"FoldedNameAndFilenameOnContinuationLines",
     Mixed("--b\nContent-Type: text/plain;\n\tname=\"note.txt\"\nContent-Disposition: attachment;\n"
           "\tfilename=\"note.txt\"\n\nThe note.\nLine two.\n\n--b--\n"),
     {{"note.txt", "The note.\nLine two.\n"}}},
    {"EscapedQuoteInsideAQuotedName", Mixed(Attachment(R"(say \"hi\".bin)", Base64Body(76)) + "--b--\n"),
     {{"say hi.bin", kData}}},
    {"OutlookFoldsAQuotedBoundary",
     kTop + "Content-Type: multipart/mixed;\n\tboundary=\"----=_NextPart_000_01C1\n\t2345.6789\"\n\n"
            "------=_NextPart_000_01C12345.6789\nContent-Type: application/zip; name=\"a.zip\"\n"
            "Content-Transfer-Encoding: base64\n\n" + Base64Body(76) + "------=_NextPart_000_01C12345.6789--\n",
     {{"a.zip", kData}}},
    {"Rfc2231BoundaryAndBlanksAfterTheDelimiters",
     Mixed("--b%20c  \n" + Attachment("r.bin", Base64Body(76)).substr(4) + "--b%20c--  \n",
           "boundary*=us-ascii''b%2520c"),
     {{"r.bin", kData}}},
    {"OneBase64LinePerAttachment", Mixed(Attachment("one.bin", Base64Body(100'000)) + "--b--\n"),
     {{"one.bin", kData}}},
    {"Base64LinesOfExactlyABufferEachAndLonger",
     Mixed(Attachment("a.bin", Base64Body(1023)) + Attachment("b.bin", Base64Body(1024)) + "--b--\n"),
     {{"a.bin", kData}, {"b.bin", kData}}},
    {"PgpSignatureIsText",
     kTop + "Content-Type: multipart/signed; protocol=\"application/pgp-signature\"; boundary=\"b\"\n\n"
            "--b\nContent-Type: application/pgp-signature; name=\"signature.asc\"\n\n"
            "-----BEGIN PGP SIGNATURE-----\n\niQEzBAEBCAAdFiEEabcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJ\n"
            "iD8DBQFG03voRhp6o4m9dFsRApSZAKCCAN3IkJlVRg6NvAiMHlvvIuMGPQCeLZtj\n=AbCd\n"
            "-----END PGP SIGNATURE-----\n\n--b--\n",
     {{"signature.asc", "-----BEGIN PGP SIGNATURE-----\n\niQEzBAEBCAAdFiEEabcdefghijklmnopqrstuvwxyz0123456789"
                        "ABCDEFGHIJ\niD8DBQFG03voRhp6o4m9dFsRApSZAKCCAN3IkJlVRg6NvAiMHlvvIuMGPQCeLZtj\n=AbCd\n"
                        "-----END PGP SIGNATURE-----\n"}}},
    {"SevenBitTextWithBase64LookingLinesStaysText",
     kTop + "Content-Type: text/plain\nContent-Transfer-Encoding: 7bit\n\n" + Base64Body(64) + "\nbegin 644 u.bin\n" +
         Text(UuLines("uu inside")) + "end\n",
     {{"u.bin", "uu inside"}}},
    {"NamelessBodiesOfTwoMessagesNeverMeet",
     "From a@b Mon Dec  7 10:00:00 2026\nFrom: a@b\nMIME-Version: 1.0\nContent-Type: text/html\n\n"
     "<p>first body, long enough to be kept</p>\n\nFrom a@b Mon Dec  7 10:00:00 2026\nFrom: a@b\n"
     "MIME-Version: 1.0\nContent-Type: text/html\n\n<p>second body, long enough to be kept</p>\n",
     {{"message1.htm", "<p>first body, long enough to be kept</p>\r\n"},
      {"message11.htm", "<p>second body, long enough to be kept</p>\r\n"}}},
    {"OuterDelimiterEndsAnUnclosedInnerBody",
     Mixed("--b\nContent-Type: multipart/alternative; boundary=\"inner\"\n\n--inner\n"
           "Content-Type: text/plain; name=\"t.txt\"\n\ninner text\n--b\n" + Attachment("z.bin", Base64Body(76)).substr(4) +
           "--b--\n"),
     {{"t.txt", "inner text"}, {"z.bin", kData}}},
    {"MissingClosingDelimiterEndsAtTheNextMessage",
     "From a@b Mon Dec  7 10:00:00 2026\n" + Mixed(Attachment("x.bin", Base64Body(76))) +
         "\nFrom a@b Mon Dec  7 10:00:01 2026\nFrom: a@b\nSubject: next\n\nhi\n",
     {{"x.bin", kData}}},
    {"BodyPartWithoutHeaderIsPlainText",
     Mixed("--b\n\nA body part without any header line at all.\nIt is plain text.\n--b--\n"),
     {{"message1-files.txt", "A body part without any header line at all.\r\nIt is plain text."}}},
    {"EncodedWordsOverThreeFoldedLines",
     Mixed("--b\nContent-Type: application/octet-stream\nContent-Transfer-Encoding: base64\n"
           "Content-Disposition: attachment;\n filename=\"=?utf-8?B?Y2Fmw6k=?=\n =?utf-8?Q?_menu?=\n"
           " =?utf-8?B?LnBkZg==?=\"\nContent-Type: application/pdf; name=\"other.pdf\"\n\n" + Base64Body(76) + "--b--\n"),
     {{"caf\xC3\xA9 menu.pdf", kData}}},
    {"UuLinesThatLostTrailingBlanks", kTop + "\n" + StrippedUu(kZeroTails), {{"z.bin", kZeroTails}}},
    {"UnencodedBinaryByteForByteAndEmptyPartsNoOutput",
     Mixed("--b\nContent-Type: text/plain\n\n\n--b\nContent-Type: image/png; name=\"empty.png\"\n\n\n--b\n"
           "Content-Type: application/octet-stream; name=\"d.bin\"\nContent-Transfer-Encoding: binary\n\n"
           "a\r\nb\x01\x02\nlast\n--b\nContent-Type: X-ZIP; name=\"x.zip\"\n\nPK\x03\x04z\n--b--\n"),
     {{"d.bin", "a\r\nb\x01\x02\nlast"}, {"x.zip", "PK\x03\x04z"}}},
    {"QuotedPrintableContentLineAfterASoftBreak",
     kTop + "Content-Type: text/html; name=\"q.htm\"\nContent-Transfer-Encoding: quoted-printable\n\n"
            "<meta http-equiv=3D\"=\nContent-Type\" content=3D\"x\"> xmlns:o=\"urn\"\n",
     {{"q.htm", "<meta http-equiv=\"Content-Type\" content=\"x\"> xmlns:o=\"urn\""}}},
    {"ExtensionsTheDataConfirm",
     Mixed(Attachment("report.docx", Text(Base64Lines("PK\x03\x04" + kData))) +
           "--b\nContent-Type: application/ms-tnef; name=\"winmail.dat\"\nContent-Transfer-Encoding: base64\n\n" +
           Text(Base64Lines("\x78\x9F\x3E\x22" + kData)) + "--b--\n"),
     {{"report.docx", "PK\x03\x04" + kData}, {"winmail.dat", "\x78\x9F\x3E\x22" + kData}}},
    // News postings, and text whose lines look like the start of something else.
    {"SeveralFilesInOneArticle", FourFiles(),
     {{"f0.bin", kFour[0]}, {"f1.bin", kFour[1]}, {"f2.bin", kFour[2]}, {"f3.bin", kFour[3]}}},
    {"SharBlankLinesAreNoBase64", Mail("readme as a shell archive", kShar), {}},
    {"Utf7PlusSignsStay", kTop + "Content-Type: text/plain; charset=utf-7\n\n1 + 1 = 2, caf+AOk-- and +-.\n",
     {{"message1-files.txt", "1 + 1 = 2, caf\xC3\xA9- and +.\r\n"}}},
    {"QuotedPrintableContentAndArticleWordsAreText",
     kTop + "Content-Type: text/plain; name=\"q.txt\"\nContent-Transfer-Encoding: quoted-printable\n\ncaf=E9\n"
            "Content-free lines are fine\nArticle 5 says so\nlast line\n",
     {{"q.txt", "caf\xE9\r\nContent-free lines are fine\r\nArticle 5 says so\r\nlast line"}}},
    {"TextArticleWordsAreText", kTop + "Content-Type: text/plain; name=\"t.txt\"\n\nfirst\nArticle 5 says so\nlast\n",
     {{"t.txt", "first\nArticle 5 says so\nlast\n"}}},
};

void PrintTo(const RealCase& c, std::ostream* os) { *os << c.name; }

class RealMail : public ExtractTest, public ::testing::WithParamInterface<RealCase> {};

TEST_P(RealMail, EveryAttachmentByteForByte)
{
    const int written = ScanAndExtract({dir.Write("mail.eml", GetParam().mail)});
    const Files files = Written();
    EXPECT_EQ(written, static_cast<int>(GetParam().expected.size())) << host.PlainLog() << ListDumpText(&list);
    EXPECT_EQ(files.size(), GetParam().expected.size()) << host.PlainLog() << ListDumpText(&list);
    for (const auto& [name, bytes] : GetParam().expected) {
        ASSERT_EQ(files.count(name), 1u) << name << "\n" << host.PlainLog() << ListDumpText(&list);
        EXPECT_BYTES_EQ(bytes, files.at(name));
    }
    for (const char* failure : {"No data written", "Error decoding", "skipped", "End not found"})
        EXPECT_EQ(host.CountInLog(failure), 0) << failure << "\n" << host.PlainLog();
    for (int g = 0; g < list.GetSize(); ++g)
        EXPECT_EQ(list[g]->m_Status & (ST_DATAERROR | ST_NOTEXTRACTED), 0) << ListDumpText(&list);
}

INSTANTIATE_TEST_SUITE_P(Shapes, RealMail, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<RealCase>& p) { return std::string(p.param.name); });

} // namespace
} // namespace zarvex::test
