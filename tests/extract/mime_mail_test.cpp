// Hostile and malformed MIME mail through the real scanner, grouping and
// engine: names that try to leave the output folder or carry control
// characters (plain, as encoded words and as RFC 2231 parameters), and
// bodies whose boundaries never close, are very long or nest very deep.
// Nothing may crash or land outside the output folder, and the attachment
// still comes out under a plain name.
#include "extract_fixture.h"

#include "scan/scan_fixture.h"
#include "scan/scanner.h"

#include <filesystem>
#include <map>

namespace zarvex::test {
namespace {

struct MailCase
{
    const char* label;
    std::string text;     // the mail; a line "@@" stands for the attachment as Base64 lines
    std::string expected; // the output name of the attachment; empty: any plain name
};

std::string Attachment(const std::string& disposition)
{
    return "--b\nContent-Type: application/octet-stream\nContent-Transfer-Encoding: base64\n"
           "Content-Disposition: attachment; " +
           disposition + "\n\n@@\n--b--\n";
}

std::string Mail(const std::string& body, const std::string& boundary = "b")
{
    return "From: bob@example.org\nSubject: hostile\nMIME-Version: 1.0\n"
           "Content-Type: multipart/mixed; boundary=\"" +
           boundary + "\"\n\n" + body;
}

std::string Part(const std::string& name)
{
    return "Content-Type: application/octet-stream; name=\"" + name +
           "\"\nContent-Transfer-Encoding: base64\n\n@@\n";
}

std::string Nested(int depth)
{
    std::string text = "From: bob@example.org\nSubject: deep\nMIME-Version: 1.0\n";
    for (int i = 0; i < depth; ++i)
        text += "Content-Type: multipart/mixed; boundary=\"n" + std::to_string(i) + "\"\n\n--n" +
                std::to_string(i) + "\n";
    text += Part("deep.bin");
    for (int i = depth - 1; i >= 0; --i)
        text += "--n" + std::to_string(i) + "--\n";
    return text;
}

std::vector<MailCase> Cases()
{
    const std::string longBoundary(2000, 'B');
    return {
        {"DotDotSlashOnly", Mail(Attachment("filename=\"../\"")), ""},
        {"ParentFolders", Mail(Attachment("filename=\"../../x\"")), "x"},
        {"ControlCharacters",
         Mail(Attachment("filename=\"a\x01"
                         "b\x1b"
                         "c\x7f.bin\"")),
         "abc.bin"},
        {"EncodedWordParentFolders", Mail(Attachment("filename=\"=?utf-8?q?=2E=2E=2F=2E=2E=2Fx?=\"")), "x"},
        {"EncodedWordAbsolutePath", Mail(Attachment("filename=\"=?utf-8?b?L2V0Yy94?=\"")), "x"},
        {"EncodedWordControlCharacters", Mail(Attachment("filename=\"=?utf-8?q?a=0Ab=00c.bin?=\"")),
         "abc.bin"},
        {"Rfc2231Utf8Name", Mail(Attachment("filename*=UTF-8''na%C3%AFve.txt")), "na\xC3\xAFve.txt"},
        {"Rfc2231ContinuedUtf8Name",
         Mail(Attachment("\n filename*0*=UTF-8''na%C3%AFve-;\n filename*1*=long%20name.txt")),
         "na\xC3\xAFve-long name.txt"},
        {"Rfc2231AbsolutePath", Mail(Attachment("filename*=UTF-8''%2Fetc%2Fx")), "x"},
        {"Rfc2231ControlCharacters", Mail(Attachment("filename*=UTF-8''a%00b%0Ac.bin")), "abc.bin"},
        {"BoundaryNeverCloses", Mail("--b\n" + Part("u.bin") + "\n"), "u.bin"},
        {"BoundaryOf2000Characters",
         Mail("--" + longBoundary + "\n" + Part("lb.bin") + "--" + longBoundary + "--\n", longBoundary),
         "lb.bin"},
        {"TenThousandNestedParts", Nested(10'000), "deep.bin"},
        {"HeaderLineOf1MB",
         "From: bob@example.org\nSubject: h\nX-Long: " + std::string(1 << 20, 'y') + "\nMIME-Version: 1.0\n" +
             Part("h.bin"),
         "h.bin"},
        {"NameOf1MB", "Subject: h\nMIME-Version: 1.0\n" + Part(std::string(1 << 20, 'z') + ".bin"), ""},
        {"BoundaryOf1MB",
         Mail("--" + std::string(1 << 20, 'q') + "\n" + Part("q.bin"), std::string(1 << 20, 'q')), ""},
    };
}

class HostileMail : public ExtractTest, public ::testing::WithParamInterface<MailCase>
{
protected:
    HostileMail() { settings.MimeText = false; }

    // Scans `text` (with "@@" made the attachment) and extracts every output as the unattended run does.
    void ScanAndExtract(const std::string& text)
    {
        std::string mail;
        for (const std::string& line : Lines(text)) {
            if (line != "@@\n") {
                mail += line;
                continue;
            }
            for (const std::string& l : Base64Lines(payload))
                mail += l + "\n";
        }
        ExtractTest::ScanAndExtract({dir.Write("mail.eml", mail)});
    }

    const Bytes payload = RandomBytes(57 * 30 + 1, 1313);
};

TEST_P(HostileMail, GivesPlainNamesInsideTheOutputFolder)
{
    ScanAndExtract(GetParam().text);
    std::map<std::string, Bytes> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(outDir)) {
        ASSERT_TRUE(e.is_regular_file()) << e.path();
        const std::string name = e.path().filename().string();
        EXPECT_EQ(e.path().parent_path(), std::filesystem::path(outDir));
        EXPECT_FALSE(name.starts_with("."));
        EXPECT_TRUE(std::none_of(name.begin(), name.end(), [](unsigned char c) {
            return c < 0x20 || c == 0x7F;
        })) << name;
        files[name] = ReadFile(e.path().string());
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2)
        << "mail.eml and out only";
    if (GetParam().expected.empty()) return;
    ASSERT_EQ(files.count(GetParam().expected), 1u) << host.PlainLog();
    EXPECT_BYTES_EQ(payload, files[GetParam().expected]);
    EXPECT_EQ(host.CountInLog("Possible short file"), 0) << host.PlainLog();
}

INSTANTIATE_TEST_SUITE_P(Mails, HostileMail, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<MailCase>& p) {
                             return std::string(p.param.label);
                         });

// A text attachment named only by an RFC 2231 parameter is as complete as
// one named by "filename=": the name gives the part its begin marker.
TEST_F(ExtractTest, Rfc2231NamedTextAttachmentIsComplete)
{
    const Bytes text = "Gr\xC3\xBC\xC3\x9F" "e\n";
    std::string mail = Mail("--b\nContent-Type: text/plain\n\nHello.\n\n--b\nContent-Type: text/plain\n"
                            "Content-Transfer-Encoding: base64\n"
                            "Content-Disposition: attachment; filename*=utf-8''%C3%BCber.txt\n\n");
    for (const std::string& line : Base64Lines(text)) mail += line + "\n";
    EXPECT_GE(ScanAndExtract({dir.Write("mail.eml", mail + "\n--b--\n")}), 1) << host.PlainLog();
    EXPECT_BYTES_EQ(text, ReadFile(Out("\xC3\xBC" "ber.txt")));
    for (int g = 0; g < list.GetSize(); ++g) {
        SCOPED_TRACE(list[g]->GetAt(0)->m_DestFile);
        EXPECT_EQ(list[g]->m_Status & GS_MASK, 2);
    }
}

} // namespace
} // namespace zarvex::test
