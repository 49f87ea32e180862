// Runs the installed program on generated mail files and checks what it
// writes, its report and its exit status.
#include "support/test_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#ifdef ZARVEX_BINARY

namespace zarvex {
namespace {

using Args = std::vector<std::string>;

std::string ShellQuote(const std::string& s)
{
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// UUencoded lines of `data` (61-character lines, "`" for zero).
std::vector<std::string> UuLines(const std::string& data)
{
    auto enc = [](unsigned v) { return static_cast<char>(v ? (v & 63) + 32 : '`'); };
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < data.size(); i += 45) {
        const std::string chunk = data.substr(i, 45);
        std::string line(1, enc(static_cast<unsigned>(chunk.size())));
        for (std::size_t j = 0; j < chunk.size(); j += 3) {
            unsigned char b[3] = {0, 0, 0};
            for (std::size_t k = 0; k < 3 && j + k < chunk.size(); ++k) b[k] = static_cast<unsigned char>(chunk[j + k]);
            line += enc(b[0] >> 2);
            line += enc(((b[0] & 3) << 4) | (b[1] >> 4));
            line += enc(((b[1] & 15) << 2) | (b[2] >> 6));
            line += enc(b[2] & 63);
        }
        lines.push_back(line);
    }
    return lines;
}

std::string Base64(const std::string& data)
{
    static const char* abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out, line;
    for (std::size_t i = 0; i < data.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(data[i]) << 16;
        if (i + 1 < data.size()) v |= static_cast<unsigned char>(data[i + 1]) << 8;
        if (i + 2 < data.size()) v |= static_cast<unsigned char>(data[i + 2]);
        line += abc[(v >> 18) & 63];
        line += abc[(v >> 12) & 63];
        line += i + 1 < data.size() ? abc[(v >> 6) & 63] : '=';
        line += i + 2 < data.size() ? abc[v & 63] : '=';
        if (line.size() == 76) out += line + "\n", line.clear();
    }
    return out + (line.empty() ? "" : line + "\n");
}

std::vector<std::string> RegularFiles(const std::string& folder)
{
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.is_regular_file()) files.push_back(e.path().string());
    return files;
}

std::string Message(const std::string& subject, const std::string& body)
{
    return "From: poster@example.org\nNewsgroups: alt.test\nSubject: " + subject +
           "\nDate: Fri, 2 Jan 2026 03:04:05 +0000\n\n" + body + "\n";
}

// A two-part UU posting of `data` as two messages.
std::string UuPosting(const std::string& name, const std::string& data)
{
    const std::vector<std::string> lines = UuLines(data);
    const std::size_t half = lines.size() / 2;
    std::string one = "begin 644 " + name + "\n", two;
    for (std::size_t i = 0; i < lines.size(); ++i) (i < half ? one : two) += lines[i] + "\n";
    two += "`\nend\n";
    return Message(name + " (1/2)", one) + Message(name + " (2/2)", two);
}

std::string MimeMessage(const std::string& name, const std::string& data)
{
    return "From: sender@example.org\nSubject: attachment\nMIME-Version: 1.0\n"
           "Content-Type: multipart/mixed; boundary=\"BOUNDARY\"\n\n--BOUNDARY\n"
           "Content-Type: application/octet-stream; name=\"" + name + "\"\n"
           "Content-Transfer-Encoding: base64\nContent-Disposition: attachment; filename=\"" + name + "\"\n\n" +
           Base64(data) + "--BOUNDARY--\n";
}

class EndToEnd : public ::testing::Test {
protected:
    struct Result {
        int status = -1;
        std::string out, err;
    };

    Result Run(const Args& args)
    {
        std::string cmd = "cd " + ShellQuote(dir.Path().string()) + " && ZARVEX_INI=" + ShellQuote(ini) + " " +
                          ShellQuote(ZARVEX_BINARY);
        for (const std::string& a : args) cmd += " " + ShellQuote(a);
        cmd += " >" + ShellQuote(dir / "stdout.txt") + " 2>" + ShellQuote(dir / "stderr.txt");
        const int w = std::system(cmd.c_str());
        Result r;
        r.status = WIFEXITED(w) ? WEXITSTATUS(w) : -1;
        r.out = test::ReadFile(dir / "stdout.txt");
        r.err = test::ReadFile(dir / "stderr.txt");
        return r;
    }
    std::string MakeFolder(const std::string& name)
    {
        ::mkdir((dir / name).c_str(), 0755);
        return dir / name;
    }

    test::TempDir dir;
    std::string ini = dir / "Zarvex.ini";
    const std::string picture = test::RandomBytes(5000, 11);
    const std::string archive = test::RandomBytes(3000, 12);
};

TEST_F(EndToEnd, MailboxWithUuAndBase64IsDecoded)
{
    const std::string in = dir.Write("mail.txt", UuPosting("picture.dat", picture) + MimeMessage("archive.dat", archive));
    const std::string out = MakeFolder("out");
    const Result r = Run({"--extract", "--outdir=" + out, "--report=" + (dir / "report.txt"), in});
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_BYTES_EQ(picture, test::ReadFile(out + "/picture.dat"));
    // The attachment's bytes, under whatever name the naming rules gave it.
    bool archiveFound = false;
    for (const std::string& f : RegularFiles(out)) archiveFound |= test::ReadFile(f) == archive;
    EXPECT_TRUE(archiveFound);
    const std::string report = test::ReadFile(dir / "report.txt");
    EXPECT_NE(report.find("picture.dat"), std::string::npos) << report;
    EXPECT_NE(report.find("Encoding: B64"), std::string::npos) << report;
    EXPECT_TRUE(test::FileExists(ini)) << "the settings are written at exit";
}

TEST_F(EndToEnd, QuotedNameWithBlanksAndOutdirStar)
{
    MakeFolder("my mail");
    dir.Write("my mail/in box.txt", UuPosting("picture.dat", picture));
    const Result r = Run({"my mail/in box.txt", "/Extract", "/Outdir=*"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_BYTES_EQ(picture, test::ReadFile(dir / "my mail/picture.dat"));
}

TEST_F(EndToEnd, OutputFolderThatDoesNotExist)
{
    const std::string in = dir.Write("mail.txt", UuPosting("picture.dat", picture));
    const Result r = Run({"--extract", "--outdir=" + (dir / "missing"), in});
    EXPECT_EQ(r.status, 255);
    EXPECT_NE(r.err.find("does not exist"), std::string::npos) << r.err;
    EXPECT_FALSE(test::FileExists(dir / "missing"));
}

TEST_F(EndToEnd, MissingInputIsReportedAndTheRestExtracted)
{
    const std::string in = dir.Write("mail.txt", UuPosting("picture.dat", picture));
    const std::string out = MakeFolder("out");
    const Result r = Run({"--extract", "--outdir=" + out, dir / "nope.txt", in});
    EXPECT_EQ(r.status, 255);
    EXPECT_NE(r.err.find("nope.txt"), std::string::npos);
    EXPECT_BYTES_EQ(picture, test::ReadFile(out + "/picture.dat"));
}

TEST_F(EndToEnd, FileWithoutFindingsWritesNothing)
{
    const std::string out = MakeFolder("out");
    const Result r = Run({"--extract", "--outdir=" + out, "--logfile=-", dir.Write("plain.txt", "Hello.\nJust text.\n")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("No recognized encoded data or messages found in plain.txt"), std::string::npos) << r.err;
}

TEST_F(EndToEnd, ExistingOutputIsKeptWithoutOverwrite)
{
    const std::string in = dir.Write("mail.txt", UuPosting("picture.dat", picture));
    const std::string out = MakeFolder("out");
    test::WriteFile(out + "/picture.dat", "precious");
    const Result r = Run({"--extract", "--outdir=" + out, in});
    EXPECT_NE(r.status, 0) << "the file was not written";
    EXPECT_EQ(test::ReadFile(out + "/picture.dat"), "precious");
}

TEST_F(EndToEnd, ExistingOutputIsReplacedWithOverwrite)
{
    const std::string in = dir.Write("mail.txt", UuPosting("picture.dat", picture));
    const std::string out = MakeFolder("out");
    test::WriteFile(out + "/picture.dat", "old");
    test::WriteFile(ini, "[Preferences]\nOverwrite=1\n");
    const Result r = Run({"--extract", "--outdir=" + out, in});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_BYTES_EQ(picture, test::ReadFile(out + "/picture.dat"));
}

TEST_F(EndToEnd, HostileNamesStayInsideTheOutputFolder)
{
    const std::string out = MakeFolder("out");
    const std::string in = dir.Write("mail.txt", UuPosting("../escape.dat", picture));
    const Result r = Run({"--extract", "--outdir=" + out, in});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_FALSE(test::FileExists(dir / "escape.dat"));
}

TEST_F(EndToEnd, UnreadableSettingsFileIsReportedAndLeftAlone)
{
    ini = MakeFolder("ini-is-a-folder");
    const std::string out = MakeFolder("out");
    const Result r = Run({"--extract", "--outdir=" + out, dir.Write("mail.txt", UuPosting("p.dat", picture))});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("settings file"), std::string::npos) << r.err;
}

TEST_F(EndToEnd, WithoutExtractAndHelp)
{
    const Result r = Run({dir.Write("mail.txt", "x\n")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--extract"), std::string::npos);
    const Result help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: zarvex"), std::string::npos);
    EXPECT_FALSE(test::FileExists(ini)) << "--help touches no settings";
}

} // namespace
} // namespace zarvex

#endif // ZARVEX_BINARY
