// From input files to output files: scanned, grouped and extracted by the
// real scanner, grouping and engine, compared with the originals.
#include "extract_fixture.h"

#include "scan/scanner.h"

namespace zarvex::test {
namespace {

class EndToEnd : public ExtractTest {
protected:
    // Scans every input, evaluates the groups and extracts them all.
    int ScanAndExtractAll(const std::vector<std::string>& inputs)
    {
        for (const std::string& in : inputs) {
            list.AddInputFile(in);
            ScanFile(in, list, settings, host);
        }
        list.Evaluate();
        int written = 0;
        int state = 0;
        for (int i = 0; i < list.GetSize(); ++i)
            written += engine.ExtractOutputFile(i, outDir, &state, false) == extract_result::Written;
        return written;
    }
    std::string Mail(const std::string& subject, const std::string& body) const
    {
        return "From: poster@example.org\nNewsgroups: alt.binaries.test\nSubject: " + subject +
               "\nDate: Mon, 1 Jan 2024 10:00:00 +0000\n\n" + body + "\n";
    }
};

TEST_F(EndToEnd, SinglePartUUMail)
{
    if (!HaveProgram("/usr/bin/uuencode")) GTEST_SKIP() << "GNU uuencode is not installed";
    const Bytes payload = RandomBytes(40'000, 101);
    const std::string in = dir.Write("one.eml", Mail("holiday picture", "See attached.\n\n" +
                                                                             GnuUuencode(payload, "beach.jpg", dir)));
    EXPECT_EQ(ScanAndExtractAll({in}), 1) << host.PlainLog();
    EXPECT_BYTES_EQ(payload, ReadFile(Out("beach.jpg")));
}

TEST_F(EndToEnd, ThreePartUUPostingInOneMailbox)
{
    if (!HaveProgram("/usr/bin/uuencode")) GTEST_SKIP() << "GNU uuencode is not installed";
    const Bytes payload = RandomBytes(60'000, 102);
    const std::vector<std::string> lines = Lines(GnuUuencode(payload, "song.mp3", dir));
    const std::size_t third = lines.size() / 3;
    std::string mbox;
    for (int i = 0; i < 3; ++i) {
        const std::size_t to = i == 2 ? lines.size() : (i + 1) * third;
        mbox += "From poster@example.org Mon Jan  1 10:00:00 2024\n" +
                Mail("song.mp3 (" + std::to_string(i + 1) + "/3)", Join(lines, i * third, to));
    }
    const std::string in = dir.Write("posting.mbox", mbox);
    EXPECT_EQ(ScanAndExtractAll({in}), 1) << host.PlainLog();
    EXPECT_BYTES_EQ(payload, ReadFile(Out("song.mp3")));
}

TEST_F(EndToEnd, XXMail)
{
    if (!HavePython()) GTEST_SKIP() << "python3 is not installed";
    const Bytes payload = RandomBytes(20'000, 103);
    const std::string in = dir.Write("xx.eml", Mail("an xx file", PythonXxencode(payload, "data.zip", dir)));
    EXPECT_EQ(ScanAndExtractAll({in}), 1) << host.PlainLog();
    EXPECT_BYTES_EQ(payload, ReadFile(Out("data.zip")));
}

TEST_F(EndToEnd, MimeMailWithBase64Attachment)
{
    if (!HavePython()) GTEST_SKIP() << "python3 is not installed";
    const Bytes payload = RandomBytes(50'000, 104);
    const std::string in = dir.Write("mime.eml", PythonMimeMail(payload, "report.pdf", dir));
    EXPECT_GE(ScanAndExtractAll({in}), 1) << host.PlainLog();
    // The attachment is one of the outputs, whatever name the scan gave it.
    int matches = 0;
    for (const auto& entry : std::filesystem::directory_iterator(outDir)) matches += ReadFile(entry.path()) == payload;
    EXPECT_EQ(matches, 1) << host.PlainLog();
}

} // namespace
} // namespace zarvex::test
