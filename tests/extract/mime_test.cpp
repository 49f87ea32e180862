// MIME mail from input file to output files through the real scanner,
// grouping and engine: messages made by Python's email package (written by
// others), hand-written ones in the shapes other mail programs send, and
// hostile ones: names that try to leave the output folder or carry control
// characters (plain, as encoded words and as RFC 2231 parameters), and bodies
// whose boundaries never close, are very long or nest very deep.
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
        payload[4] = RandomBytes(57 * 20, 404);     // 20 full lines, no "=" padding
        payload[5] = RandomBytes(57 * 30 + 1, 1313); // the hostile mails' attachment
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

std::string Multipart(const std::string& body, const std::string& boundary = "b")
{
    return kTop + "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\n\n" + body;
}

std::string Attachment(const std::string& disposition)
{
    return "--b\nContent-Type: application/octet-stream\nContent-Transfer-Encoding: base64\n"
           "Content-Disposition: attachment; " + disposition + "\n\n@@5\n--b--\n";
}

std::string Part(const std::string& name)
{
    return "Content-Type: application/octet-stream; name=\"" + name + "\"\nContent-Transfer-Encoding: base64\n\n@@5\n";
}

std::string Nested(int depth)
{
    std::string text = kTop;
    for (int i = 0; i < depth; ++i)
        text += "Content-Type: multipart/mixed; boundary=\"n" + std::to_string(i) + "\"\n\n--n" + std::to_string(i) + "\n";
    text += Part("deep.bin");
    for (int i = depth - 1; i >= 0; --i) text += "--n" + std::to_string(i) + "--\n";
    return text;
}

struct HostileCase
{
    const char* label;
    std::string text;     // the mail
    std::string expected; // the output name of the attachment; empty: any plain name
};

std::vector<HostileCase> HostileCases()
{
    const std::string longBoundary(2000, 'B'), mega(1 << 20, 'q');
    return {
        {"DotDotSlashOnly", Multipart(Attachment("filename=\"../\"")), ""},
        {"ParentFolders", Multipart(Attachment("filename=\"../../x\"")), "x"},
        {"ControlCharacters", Multipart(Attachment("filename=\"a\x01" "b\x1b" "c\x7f.bin\"")), "abc.bin"},
        {"EncodedWordParentFolders", Multipart(Attachment("filename=\"=?utf-8?q?=2E=2E=2F=2E=2E=2Fx?=\"")), "x"},
        {"EncodedWordAbsolutePath", Multipart(Attachment("filename=\"=?utf-8?b?L2V0Yy94?=\"")), "x"},
        {"EncodedWordControlCharacters", Multipart(Attachment("filename=\"=?utf-8?q?a=0Ab=00c.bin?=\"")),
         "abc.bin"},
        {"Rfc2231Utf8Name", Multipart(Attachment("filename*=UTF-8''na%C3%AFve.txt")), "na\xC3\xAFve.txt"},
        {"Rfc2231ContinuedUtf8Name",
         Multipart(Attachment("\n filename*0*=UTF-8''na%C3%AFve-;\n filename*1*=long%20name.txt")),
         "na\xC3\xAFve-long name.txt"},
        {"Rfc2231AbsolutePath", Multipart(Attachment("filename*=UTF-8''%2Fetc%2Fx")), "x"},
        {"Rfc2231ControlCharacters", Multipart(Attachment("filename*=UTF-8''a%00b%0Ac.bin")), "abc.bin"},
        {"BoundaryNeverCloses", Multipart("--b\n" + Part("u.bin") + "\n"), "u.bin"},
        {"BoundaryOf2000Characters",
         Multipart("--" + longBoundary + "\n" + Part("lb.bin") + "--" + longBoundary + "--\n", longBoundary),
         "lb.bin"},
        {"TenThousandNestedParts", Nested(10'000), "deep.bin"},
        {"HeaderLineOf1MB", "From: bob@example.org\nSubject: h\nX-Long: " + mega + "\nMIME-Version: 1.0\n" +
                                Part("h.bin"), "h.bin"},
        {"NameOf1MB", "Subject: h\nMIME-Version: 1.0\n" + Part(mega + ".bin"), ""},
        {"BoundaryOf1MB", Multipart("--" + mega + "\n" + Part("q.bin"), mega), ""},
    };
}

class HostileMail : public MimeMail, public ::testing::WithParamInterface<HostileCase> {};

// Nothing crashes or lands outside the output folder, and the attachment
// still comes out under a plain name.
TEST_P(HostileMail, GivesPlainNamesInsideTheOutputFolder)
{
    ScanAndExtract({dir.Write("mail.eml", Expand(GetParam().text, payload, "\n"))});
    Files files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(outDir)) {
        ASSERT_TRUE(e.is_regular_file()) << e.path();
        const std::string name = e.path().filename().string();
        EXPECT_EQ(e.path().parent_path(), std::filesystem::path(outDir));
        EXPECT_FALSE(name.starts_with("."));
        EXPECT_TRUE(std::none_of(name.begin(), name.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; }))
            << name;
        files[name] = ReadFile(e.path().string());
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2) << "mail.eml and out only";
    if (GetParam().expected.empty()) return;
    ASSERT_EQ(files.count(GetParam().expected), 1u) << host.PlainLog();
    EXPECT_BYTES_EQ(payload[5], files[GetParam().expected]);
    EXPECT_EQ(host.CountInLog("Possible short file"), 0) << host.PlainLog();
}

INSTANTIATE_TEST_SUITE_P(Mails, HostileMail, ::testing::ValuesIn(HostileCases()),
                         [](const auto& p) { return std::string(p.param.label); });

// A text attachment named only by an RFC 2231 parameter is as complete as
// one named by "filename=": the name gives the part its begin marker.
TEST_F(ExtractTest, Rfc2231NamedTextAttachmentIsComplete)
{
    const Bytes text = "Gr\xC3\xBC\xC3\x9F" "e\n";
    const std::string mail = Multipart("--b\nContent-Type: text/plain\n\nHello.\n\n--b\nContent-Type: text/plain\n"
                                       "Content-Transfer-Encoding: base64\n"
                                       "Content-Disposition: attachment; filename*=utf-8''%C3%BCber.txt\n\n" +
                                       Text(Base64Lines(text)) + "\n--b--\n");
    EXPECT_GE(ScanAndExtract({dir.Write("mail.eml", mail)}), 1) << host.PlainLog();
    EXPECT_BYTES_EQ(text, ReadFile(Out("\xC3\xBC" "ber.txt")));
    for (int g = 0; g < list.GetSize(); ++g) EXPECT_EQ(list[g]->m_Status & GS_MASK, 2) << g;
}

} // namespace
} // namespace zarvex::test
