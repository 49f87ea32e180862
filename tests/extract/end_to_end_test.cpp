// From input files to output files: scanned, grouped and extracted by the
// real scanner, grouping and engine, compared with the originals.
#include "extract_fixture.h"

#include "scan/scanner.h"

namespace zarvex::test {
namespace {

class EndToEnd : public ExtractTest {
protected:
    // Scans every input, evaluates the groups and extracts the output of
    // every named part, as the Extract command and the unattended run do.
    int ScanAndExtractAll(const std::vector<std::string>& inputs)
    {
        for (const std::string& in : inputs) {
            list.AddInputFile(in);
            ScanFile(in, list, settings, run, host);
        }
        list.Evaluate();
        int written = 0;
        int state = 0;
        for (int i = 0; i < list.GetSize(); ++i)
            for (CFInfo* named : std::vector<CFInfo*>(list[i]->m_Named))
                written +=
                    engine.ExtractOutputFile({.part = named, .index = i, .outDir = outDir, .answerState = &state}) ==
                    extract_result::Written;
        return written;
    }
    std::string Mail(const std::string& subject, const std::string& body) const
    {
        return "From: poster@example.org\nNewsgroups: alt.binaries.test\nSubject: " + subject +
               "\nDate: Mon, 1 Jan 2024 10:00:00 +0000\n\n" + body + "\n";
    }
};

TEST_F(EndToEnd, SinglePartUUAndXXMails)
{
    const bool uu = HaveProgram("/usr/bin/uuencode"), xx = HavePython();
    if (!uu && !xx) GTEST_SKIP() << "neither GNU uuencode nor python3 is installed";
    const Bytes payload = RandomBytes(40'000, 101);
    std::vector<std::string> inputs;
    if (uu)
        inputs.push_back(
            dir.Write("uu.eml", Mail("holiday picture", "See attached.\n\n" + GnuUuencode(payload, "beach.jpg", dir))));
    if (xx) inputs.push_back(dir.Write("xx.eml", Mail("an xx file", PythonXxencode(payload, "data.zip", dir))));
    EXPECT_EQ(ScanAndExtractAll(inputs), static_cast<int>(inputs.size())) << host.PlainLog();
    if (uu) EXPECT_BYTES_EQ(payload, ReadFile(Out("beach.jpg")));
    if (xx) EXPECT_BYTES_EQ(payload, ReadFile(Out("data.zip")));
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

TEST_F(EndToEnd, MultiPartXXPosting)
{
    if (!HavePython()) GTEST_SKIP() << "python3 is not installed";
    const Bytes payload = RandomBytes(30'000, 105);
    const std::vector<std::string> lines = Lines(PythonXxencode(payload, "multi.zip", dir));
    const std::size_t half = lines.size() / 2;
    const std::string one = dir.Write("xx1.eml", Mail("multi.zip (1/2)", Join(lines, 0, half)));
    const std::string two = dir.Write("xx2.eml", Mail("multi.zip (2/2)", Join(lines, half, lines.size())));
    EXPECT_EQ(ScanAndExtractAll({one, two}), 1) << host.PlainLog();
    EXPECT_BYTES_EQ(payload, ReadFile(Out("multi.zip")));
}

// Every named part is an output file of its own: two "begin" sections in one
// mail, and a single part posted twice whose second copy is renamed.
TEST_F(EndToEnd, EachNamedPartIsWrittenUnderItsOwnName)
{
    if (!HaveProgram("/usr/bin/uuencode")) GTEST_SKIP() << "GNU uuencode is not installed";
    const Bytes one = RandomBytes(4'500, 106), two = RandomBytes(3'000, 107);
    const std::string both = dir.Write("two.eml", Mail("two files", GnuUuencode(one, "one.bin", dir) + "\n" +
                                                                        GnuUuencode(two, "two.bin", dir)));
    EXPECT_EQ(ScanAndExtractAll({both}), 2) << host.PlainLog();
    EXPECT_BYTES_EQ(one, ReadFile(Out("one.bin")));
    EXPECT_BYTES_EQ(two, ReadFile(Out("two.bin")));

    settings.NoAutoRename = false;
    const std::string posting = Mail("a picture", GnuUuencode(one, "pic.bin", dir));
    EXPECT_EQ(ScanAndExtractAll({dir.Write("pic1.eml", posting), dir.Write("pic2.eml", posting)}), 2)
        << host.PlainLog();
    EXPECT_BYTES_EQ(one, ReadFile(Out("pic.bin")));
    EXPECT_BYTES_EQ(one, ReadFile(Out("pic01.bin")));
}

// Two messages that each carry one Base64 section without a name are two
// files: bare lines without any header, or MIME bodies without a file name
// under one subject.
class NamelessSections : public EndToEnd, public ::testing::WithParamInterface<bool>
{
};

TEST_P(NamelessSections, StayApart)
{
    if (!HavePython()) GTEST_SKIP() << "python3 is not installed";
    const Bytes a = RandomBytes(5'700, 108), b = RandomBytes(5'700, 109);
    const bool subject = GetParam();
    auto message = [&](const Bytes& data) {
        const Bytes lines = PythonBase64Lines(data, dir);
        if (!subject) return lines;
        return "Subject: pictures\nMIME-Version: 1.0\nContent-Type: application/octet-stream\n"
               "Content-Transfer-Encoding: base64\n\n" +
               lines;
    };
    EXPECT_EQ(ScanAndExtractAll({dir.Write("a.txt", message(a)), dir.Write("b.txt", message(b))}), 2)
        << host.PlainLog();
    int matchA = 0, matchB = 0;
    for (const auto& entry : std::filesystem::directory_iterator(outDir)) {
        const Bytes got = ReadFile(entry.path());
        matchA += got == a;
        matchB += got == b;
    }
    EXPECT_EQ(matchA, 1);
    EXPECT_EQ(matchB, 1);
}

INSTANTIATE_TEST_SUITE_P(BareAndMime, NamelessSections, ::testing::Bool());

// A part posted twice and kept ("AutoMultipartDupeRemoval" off) gives its
// data once: part 2 twice, the first copy intact or damaged (the other
// replaces it), or part 1 twice (its copy is a named output of its own).
struct DuplicateCase
{
    const char* label;
    int repeated; // index of the part posted twice
    bool damaged; // the first copy has a short line
};

class KeptDuplicate : public EndToEnd, public ::testing::WithParamInterface<DuplicateCase>
{
};

TEST_P(KeptDuplicate, ContributesItsDataOnce)
{
    if (!HaveProgram("/usr/bin/uuencode")) GTEST_SKIP() << "GNU uuencode is not installed";
    const DuplicateCase& c = GetParam();
    settings.AutoMultipartDupeRemoval = false;
    const Bytes payload = RandomBytes(4'500, 110);
    const std::vector<std::string> lines = Lines(GnuUuencode(payload, "dup.bin", dir));
    const std::size_t third = lines.size() / 3;
    auto part = [&](int i) {
        const std::size_t to = i == 2 ? lines.size() : (i + 1) * third;
        return "From poster@example.org Mon Jan  1 10:00:00 2024\n" +
               Mail("dup.bin (" + std::to_string(i + 1) + "/3)", Join(lines, i * third, to));
    };
    std::string mbox;
    for (int i = 0; i < 3; ++i) {
        std::string copy = part(i);
        if (i == c.repeated && c.damaged) copy.erase(copy.find("\nM", copy.find("\nM") + 1) + 30, 10);
        mbox += copy;
        if (i == c.repeated) mbox += part(i);
    }
    EXPECT_EQ(ScanAndExtractAll({dir.Write("posting.mbox", mbox)}), 1) << host.PlainLog();
    EXPECT_BYTES_EQ(payload, ReadFile(Out("dup.bin")));
    EXPECT_EQ(host.CountInLog("Trying next duplicate part to correct errors..."), c.damaged ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Copies, KeptDuplicate,
                         ::testing::Values(DuplicateCase{"SecondPartTwice", 1, false},
                                           DuplicateCase{"SecondPartTwiceFirstCopyDamaged", 1, true},
                                           DuplicateCase{"FirstPartTwice", 0, false}),
                         [](const auto& p) { return std::string(p.param.label); });

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
