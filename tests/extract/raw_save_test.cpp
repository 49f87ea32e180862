// Save Raw: the undecoded copy of an output file decodes again, by this
// program and, where the format allows, by the common command-line decoders,
// to the bytes a normal extraction gives.
#include "extract_fixture.h"
#include "support/yenc_posting.h"

namespace zarvex::test {
namespace {

const Bytes kPayload = RandomBytes(3000, 15);

std::vector<std::string> UuTwoParts()
{
    const std::vector<std::string> lines = Lines(UuFile(kPayload, "pay.bin"));
    const std::size_t half = lines.size() / 2;
    return {Mail("pay.bin (1/2)", Join(lines, 0, half)),
            Mail("pay.bin (2/2)", Join(lines, half, lines.size()))};
}

std::string Base64Mail()
{
    return "From: poster@example.org\nSubject: pay.bin\nMIME-Version: 1.0\n"
           "Content-Type: application/octet-stream; name=\"pay.bin\"\nContent-Transfer-Encoding: base64\n\n" +
           Text(Base64Lines(kPayload)) + "\n";
}

struct RawCase
{
    const char* name;
    std::vector<std::string> articles;
    std::string startsWith;  // the first bytes of the raw copy
    std::string tool = "";   // a decoder that reads the raw copy on its standard input
    const char* needs = "";  // the program it runs
    std::string holds = "";  // a run of bytes the copy holds once
    const char* ends = "";   // the last bytes of the copy
};

const RawCase kCases[] = {
    {"Uu", {Mail("pay.bin", UuFile(kPayload, "pay.bin"))}, "begin 644 pay.bin\r\nM", "uudecode -o /dev/stdout",
     "/usr/bin/uudecode"},
    // The parts are separated by the end marker and the next subject.
    {"UuTwoParts", UuTwoParts(), "Subject: pay.bin (1/2)\r\n\r\nbegin 644 pay.bin\r\nM", "", "",
     "\r\n_{ end part 1}\r\n\r\n\r\nSubject: pay.bin (2/2)\r\n\r\nM", "\r\n`\r\nend\r\n"},
    {"Xx", {Mail("pay.bin", XxFile(kPayload, "pay.bin"))}, "begin 644 pay.bin\r\nh"},
    {"Base64", {Base64Mail()}, "Content-Type: name=\"pay.bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"},
    {"YencThreeParts", YencArticles(kPayload, "pay.bin", 1100), "Subject: "},
};

class RawSave : public ExtractTest, public ::testing::WithParamInterface<RawCase> {};

TEST_P(RawSave, CopyDecodesAgainToTheSameBytes)
{
    const RawCase& c = GetParam();
    std::vector<std::string> inputs;
    for (std::size_t i = 0; i < c.articles.size(); ++i)
        inputs.push_back(dir.Write("in" + std::to_string(i), c.articles[i]));
    run.SaveRaw = true;
    ASSERT_EQ(ScanAndExtract(inputs), 1) << host.PlainLog();
    const Bytes raw = ReadFile(Out("pay.bin.uu"));
    EXPECT_EQ(raw.substr(0, c.startsWith.size()), c.startsWith) << raw.substr(0, 200);
    EXPECT_TRUE(raw.ends_with(c.ends)) << raw.substr(raw.size() - 40);
    if (!c.holds.empty()) {
        EXPECT_EQ(CountOf(raw, c.holds), 1) << raw;
    }
    EXPECT_EQ(host.CountInLog("rror"), 0) << host.PlainLog();

    Restart();
    run.SaveRaw = false;
    ASSERT_EQ(ScanAndExtract({dir.Write("saved.uu", raw)}), 1) << host.PlainLog();
    EXPECT_BYTES_EQ(kPayload, ReadFile(Out("pay.bin")));
    // Another decoder, when it is installed.
    if (!c.tool.empty() && HaveProgram(c.needs)) EXPECT_BYTES_EQ(kPayload, RunFilter(c.tool, raw, dir));
}

// Text, Quoted-Printable and BinHex are decoded even here, but the file is still the raw save's.
TEST_F(RawSave, DecodedSectionsAreNamedAsRawSavesToo)
{
    run.SaveRaw = true;
    ScanAndExtract({dir.Write("in", "From: a@b\nSubject: s\nMIME-Version: 1.0\nContent-Type: text/plain; name=\"n.txt\"\n"
                                    "Content-Transfer-Encoding: quoted-printable\n\ncaf=E9\n")});
    EXPECT_EQ(ReadFile(Out("n.txt.uu")), "caf\xE9");
}

INSTANTIATE_TEST_SUITE_P(Formats, RawSave, ::testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace zarvex::test
