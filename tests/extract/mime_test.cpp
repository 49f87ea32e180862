// MIME mail from input file to output files through the real scanner,
// grouping and engine: messages made by Python's email package and by mpack
// (both written by others), and hand-written ones in the shapes other mail
// programs send.
#include "extract_fixture.h"

#include "model/list_dump.h"

namespace zarvex::test {
namespace {

using Files = std::map<std::string, Bytes>; // output name -> content

class MimeMail : public ExtractTest {
protected:
    MimeMail()
    {
        settings.MimeText = false; // text parts are not what these tests look at
        for (int i = 1; i <= 3; ++i) payload[i] = RandomBytes(3000 + 1140 * static_cast<std::size_t>(i), 400 + i);
        payload[4] = RandomBytes(57 * 20, 404); // 20 full lines, no "=" padding
    }

    // Runs a Python script whose `out` is the message; data(i) is payload i.
    Bytes PyMail(const std::string& code)
    {
        for (const auto& [i, bytes] : payload) dir.Write("p" + std::to_string(i) + ".bin", bytes);
        return Python("import sys\n"
                      "from email.mime.multipart import MIMEMultipart\n"
                      "from email.mime.application import MIMEApplication\n"
                      "from email.mime.image import MIMEImage\n"
                      "from email.mime.text import MIMEText\n"
                      "from email.mime.message import MIMEMessage\n"
                      "def data(i): return open('" + dir.Path().string() + "/p%d.bin' % i, 'rb').read()\n"
                      "def att(i, name, sub='octet-stream'):\n"
                      "    a = MIMEApplication(data(i), sub)\n"
                      "    a.add_header('Content-Disposition', 'attachment', filename=name)\n"
                      "    return a\n"
                      "def mail(subject, *parts, sub='mixed'):\n"
                      "    m = MIMEMultipart(sub)\n"
                      "    m['Subject'] = subject\n"
                      "    m['From'] = 'ann@example.org'\n"
                      "    for p in parts: m.attach(p)\n"
                      "    return m\n" +
                          code + "\nsys.stdout.write(out.as_string())\n",
                      "", dir);
    }

    // Every output of the grouping against the payloads it was to hold.
    void ExpectFiles(int written, const std::map<std::string, int>& expected)
    {
        const Files files = Written();
        EXPECT_EQ(written, static_cast<int>(expected.size()));
        EXPECT_EQ(files.size(), expected.size()) << host.PlainLog() << ListDumpText(&list);
        for (const auto& [name, index] : expected) {
            ASSERT_EQ(files.count(name), 1u) << name << "\n" << host.PlainLog() << ListDumpText(&list);
            EXPECT_BYTES_EQ(payload[index], files.at(name));
        }
        EXPECT_EQ(host.CountInLog("Possible short file"), 0) << host.PlainLog() << ListDumpText(&list);
    }

    std::map<int, Bytes> payload;
};

// A hand-written message: a line "@@N" stands for payload N as Base64 lines.
struct HandCase {
    const char* name;
    std::string text;
    std::map<std::string, int> expected; // output name -> payload
};

class HandWritten : public MimeMail, public ::testing::WithParamInterface<HandCase> {};

std::string Expand(const std::string& text, const std::map<int, Bytes>& payload, const std::string& eol)
{
    std::string out;
    for (const std::string& line : Lines(text)) {
        const std::string body = line.substr(0, line.size() - (line.back() == '\n'));
        if (body.starts_with("@@")) {
            for (const std::string& l : Base64Lines(payload.at(std::stoi(body.substr(2))))) out += l + eol;
        } else {
            out += body + (line.back() == '\n' ? eol : "");
        }
    }
    return out;
}

const std::string kTop = "From: bob@example.org\nSubject: files for you\nMIME-Version: 1.0\n";

const HandCase kHandCases[] = {
    {"MuttBoundaryOnTheNextLineAndOddCharacters",
     kTop + "Content-Type: multipart/mixed;\n\tboundary=\"'()+_,-./:=? x\"\n\n"
            "--'()+_,-./:=? x\nContent-Type: text/plain; charset=us-ascii\nContent-Disposition: inline\n\nHi.\n\n"
            "--'()+_,-./:=? x\nContent-Type: application/x-gzip\nContent-Disposition: attachment; filename=\"a.tar.gz\"\n"
            "Content-Transfer-Encoding: base64\n\n@@1\n--'()+_,-./:=? x--\n",
     {{"a.tar.gz", 1}}},
    {"NameSplitAcrossLinesAndContentLocation",
     kTop + "Content-Type: multipart/mixed; boundary=b1\n\n--b1\nContent-Location: http://example.org/x\n"
            "Content-Type: application/octet-stream; name=\"split\n  name.bin\"\nContent-Transfer-Encoding: base64\n\n"
            "@@2\n--b1--\n",
     {{"splitname.bin", 2}}},
    {"Rfc2231ContinuedName",
     kTop + "Content-Type: multipart/mixed; boundary=\"=_b=\"\n\n--=_b=\nContent-Type: application/octet-stream\n"
            "Content-Transfer-Encoding: base64\nContent-Disposition: attachment;\n filename*0*=iso-8859-1''caf%E9;\n"
            " filename*1=\"-menu.dat\"\n\n@@3\n--=_b=--\n",
     {{"caf\xC3\xA9-menu.dat", 3}}},
    {"BoundaryRightAfterUnpaddedDataAndAForeignDashLine",
     kTop + "Content-Type: multipart/mixed; boundary=\"XyZ\"\n\n--XyZ\nContent-Type: application/zip; name=\"n.zip\"\n"
            "Content-Transfer-Encoding: base64\n\n--not-the-boundary\n@@4\n--XyZ--\n",
     {{"n.zip", 4}}},
    {"SingleBase64MailWithoutMultipart",
     kTop + "Content-Type: application/octet-stream; name=\"solo.bin\"\nContent-Transfer-Encoding: base64\n\n@@1\n",
     {{"solo.bin", 1}}},
    {"EncodedWordAndRaw8BitNames",
     kTop + "Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\nContent-Type: application/zip;\n"
            " name=\"=?utf-8?q?caf=C3=A9.zip?=\"\nContent-Transfer-Encoding: base64\n\n@@1\n--b\n"
            "Content-Type: application/octet-stream; charset=koi8-r; name=\"\xF0\xD2\xC9.bin\"\n"
            "Content-Transfer-Encoding: base64\n\n@@2\n--b\nContent-Type: application/octet-stream; name=\"d\xE9j\xE0.bin\"\n"
            "Content-Transfer-Encoding: base64\n\n@@3\n--b--\n",
     {{"caf\xC3\xA9.zip", 1}, {"\xD0\x9F\xD1\x80\xD0\xB8.bin", 2}, {"d\xC3\xA9j\xC3\xA0.bin", 3}}},
};

TEST_P(HandWritten, AttachmentsGetTheirOwnNames)
{
    for (const std::string eol : {"\n", "\r\n"}) {
        SCOPED_TRACE(eol.size() == 1 ? "LF" : "CR LF");
        Restart();
        ExpectFiles(ScanAndExtract({dir.Write("hand.eml", Expand(GetParam().text, payload, eol))}),
                    GetParam().expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, HandWritten, ::testing::ValuesIn(kHandCases),
                         [](const ::testing::TestParamInfo<HandCase>& p) { return std::string(p.param.name); });

struct PyCase {
    const char* name;
    const char* code;
    std::map<std::string, int> expected;
};

class PythonMail : public MimeMail, public ::testing::WithParamInterface<PyCase> {};

const PyCase kPyCases[] = {
    {"NestedMixedWithTextHtmlAndAttachments",
     "alt = MIMEMultipart('alternative')\nalt.attach(MIMEText('Hello'))\nalt.attach(MIMEText('<p>Hi</p>', 'html'))\n"
     "img = MIMEImage(data(2), 'png')\nimg.add_header('Content-Disposition', 'attachment', filename='pic.png')\n"
     "inner = MIMEMultipart('mixed')\ninner.attach(att(3, 'inner.dat'))\n"
     "out = mail('files', alt, att(1, 'notes.zip', 'zip'), img, inner)",
     {{"notes.zip", 1}, {"pic.png", 2}, {"inner.dat", 3}}},
    {"QuotedNameWithBlanksAndUnpaddedBody", "out = mail('x', att(4, 'my holiday notes.zip', 'zip'))",
     {{"my holiday notes.zip", 4}}},
    {"DigestOfMessagesEachWithAnAttachment",
     "out = mail('digest', MIMEMessage(mail('first', att(1, 'first.zip', 'zip'))), MIMEMessage(mail('second', "
     "att(2, 'second.zip', 'zip'))), sub='digest')",
     {{"first.zip", 1}, {"second.zip", 2}}},
};

TEST_P(PythonMail, AttachmentsGetTheirOwnNames)
{
    const Bytes text = PyMail(GetParam().code);
    if (text.empty()) GTEST_SKIP() << "python3 is not installed";
    ExpectFiles(ScanAndExtract({dir.Write("py.eml", text)}), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Shapes, PythonMail, ::testing::ValuesIn(kPyCases),
                         [](const ::testing::TestParamInfo<PyCase>& p) { return std::string(p.param.name); });

// Split files from mpack are decoded by the program in outside_encoders_test.cpp;
// here they arrive in one mailbox.
TEST_F(MimeMail, MpackPartialMessagesInOneMailboxMakeOneFile)
{
    if (!HaveProgram("/usr/bin/mpack")) GTEST_SKIP() << "mpack is not installed";
    const Bytes data = RandomBytes(9000, 410);
    dir.Write("photo.jpg", data);
    ASSERT_EQ(std::system(("cd '" + dir.Path().string() + "' && mpack -s holiday -m 4000 -o split photo.jpg "
                           ">/dev/null 2>&1").c_str()),
              0);
    std::string mailbox;
    int parts = 0;
    for (; std::filesystem::exists(dir / ("split.0" + std::to_string(parts + 1))); ++parts)
        mailbox += "From mpack@example.org Mon Dec  7 10:00:00 2026\n" +
                   ReadFile(dir / ("split.0" + std::to_string(parts + 1))) + "\n";
    ASSERT_GE(parts, 3);
    EXPECT_EQ(ScanAndExtract({dir.Write("all.mbox", mailbox)}), 1) << host.PlainLog() << ListDumpText(&list);
    EXPECT_BYTES_EQ(data, ReadFile(Out("photo.jpg")));
}

class SameName : public MimeMail, public ::testing::WithParamInterface<bool> {};

TEST_P(SameName, TwoMailsWithTheSameAttachmentName)
{
    settings.NoAutoRename = GetParam();
    std::string mbox;
    for (int i = 1; i <= 2; ++i)
        mbox += "From bob@example.org Mon Dec  7 10:00:00 2026\n" +
                Expand("From: bob@example.org\nSubject: mail " + std::to_string(i) +
                           "\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"b\"\n\n--b\n"
                           "Content-Type: application/zip; name=\"same.zip\"\nContent-Transfer-Encoding: base64\n\n@@" +
                           std::to_string(i) + "\n--b--\n",
                       payload, "\n");
    const int written = ScanAndExtract({dir.Write("same.mbox", mbox)});
    Files files = Written();
    EXPECT_BYTES_EQ(payload[1], files["same.zip"]);
    if (!GetParam()) {
        EXPECT_EQ(written, 2) << host.PlainLog() << ListDumpText(&list);
        EXPECT_BYTES_EQ(payload[2], files["same01.zip"]);
    } else {
        // The second is not written over the first, and says why.
        EXPECT_EQ(written, 1) << host.PlainLog() << ListDumpText(&list);
        EXPECT_EQ(files.size(), 1u);
        EXPECT_EQ(list.GetSize(), 2);
        EXPECT_EQ(host.Asked(Prompt::Overwrite), 1) << host.PlainLog() << ListDumpText(&list);
    }
}

INSTANTIATE_TEST_SUITE_P(NoAutoRename, SameName, ::testing::Bool());

} // namespace
} // namespace zarvex::test
