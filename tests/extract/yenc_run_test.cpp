// The engine's runs of yEnc, Base64 and UU data lines (taken straight from the
// read buffer) against reading every line on its own (ScanFullRulesOnly):
// the same output, log, progress calls and stop points, for postings and
// mails of every shape the runs must step aside for.
#include "extract_fixture.h"

#include "support/yenc_posting.h"

#include <random>
#include <span>
#include <string_view>

namespace zarvex::test {
namespace {

struct RunCase {
    const char* name;
    int width = 128;
    const char* eol = "\n";
    bool dotStuffed = false;
    bool strict = false;
    int damage = 0;       // bytes of the data changed (a CRC failure), or:
    bool oddLines = false; // lone "=" at line ends, "=y" and NUL data, CR CR LF, LF CR, empty lines
    int abortAtPump = 0;  // the host asks for a stop at this pump
    int headerLine = 0;   // a "line=" value other than the width
    bool base64 = false;  // a mail with a Base64 attachment instead
    bool uu = false;      // a UU-encoded file instead
};
void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

struct Outcome { int result = 0; Bytes output; std::string log, status; int pumps = 0; double progress = 0; };
// All but the output, as text.
std::string Summary(const Outcome& o)
{
    return std::to_string(o.result) + " " + std::to_string(o.pumps) + " " + std::to_string(o.progress) + "\n" +
           o.log + "\n" + o.status;
}

// `c.damage` bytes after `body` changed to one of `marks` in turn (never a
// line end or one of `spare`), and 400 lines of `odd` inserted after lines.
void Disturb(std::string& text, std::size_t body, const RunCase& c, std::string_view marks,
             std::string_view spare = "", std::span<const std::string_view> odd = {})
{
    std::mt19937 rng(5);
    for (int i = 0; i < c.damage; ++i) {
        const std::size_t at = body + 200 + rng() % (text.size() - body - 400);
        if (text[at] != '\n' && text[at] != '\r' && spare.find(text[at]) == std::string_view::npos)
            text[at] = marks[static_cast<std::size_t>(i) % marks.size()];
    }
    for (int i = 0; c.oddLines && !odd.empty() && i < 400; ++i) {
        const std::size_t at = text.find('\n', body + 100 + rng() % (text.size() - body - 300));
        text.insert(at + 1, std::string(odd[rng() % odd.size()]) + c.eol);
    }
}

class YencRuns : public ::testing::TestWithParam<RunCase> {
protected:
    // Base64 lines of `c.width`; damage puts foreign characters and pads
    // into the data, odd lines go between them.
    static std::string Mail(const RunCase& c)
    {
        std::string text = std::string("From: a@b.example\nSubject: mail\nMIME-Version: 1.0\n") +
                           "Content-Type: multipart/mixed; boundary=\"sep\"\n\n--sep\n" +
                           "Content-Type: application/octet-stream; name=\"run.bin\"\n" +
                           "Content-Transfer-Encoding: base64\n\n";
        for (std::string& line : Base64Lines(RandomBytes(300'000, 12), static_cast<std::size_t>(c.width)))
            text += line + c.eol;
        text += std::string("--sep--") + c.eol;
        using namespace std::string_view_literals;
        const std::string_view odd[] = {""sv, "--"sv, "QUJD"sv, "QUJD="sv, "\r\r\n"sv, "\n\r"sv,
                                        "QQ=="sv, "QU JDRA"sv, "--sepx"sv, "QUJDR"sv, "\0AAA"sv};
        Disturb(text, text.find("base64\n\n") + 8, c, "*=-", "", odd);
        return text;
    }

    // A UU file; damage as for Base64, and odd lines: lines with a doubled
    // dot, a checksum character or a blank at their end.
    static std::string UuText(const RunCase& c)
    {
        std::string text = "Subject: file\n\nbegin 644 run.bin\n";
        for (const std::string& line : UuLines(RandomBytes(300'000, 12))) text += line + c.eol;
        const std::size_t body = text.find("run.bin\n") + 8;
        text += std::string("end") + c.eol;
        Disturb(text, body, c, "\x01\x1f\x80");
        std::mt19937 rng(5);
        for (int i = 0; c.oddLines && i < 400; ++i) {
            std::size_t at = text.find('\n', body + 100 + rng() % (text.size() - body - 300));
            const std::size_t next = text.find('\n', at + 1);
            if (text[at + 1] != 'M' || next - at < 62) continue;
            const std::size_t dataEnd = text[next - 1] == '\r' ? next - 1 : next;
            const char* tails[] = {"", ".", "a", " ", "\r", "MMMM"};
            if (i % 7 == 0) text.insert(at + 10, ".");
            else text.insert(dataEnd, tails[rng() % std::size(tails)]);
        }
        return text;
    }

    static std::string Article(const RunCase& c)
    {
        if (c.base64) return Mail(c);
        if (c.uu) return UuText(c);
        YencPostingOptions o;
        o.width = c.width, o.eol = c.eol, o.dotStuffed = c.dotStuffed;
        const Bytes payload = RandomBytes(300'000, 12);
        std::string text = YencArticles(payload, "run.bin", payload.size(), o).front();
        if (c.headerLine > 0) {
            const std::string from = "line=" + std::to_string(c.width);
            text.replace(text.find(from), from.size(), "line=" + std::to_string(c.headerLine));
        }
        using namespace std::string_view_literals;
        const std::string_view odd[] = {"="sv, "=y"sv, "=yx\x01"sv, "abc="sv, "\r\r\n"sv,
                                        "\n\r"sv, "\0x\0"sv, ""sv, "."sv, "=ypart x"sv};
        Disturb(text, text.find("=ybegin"), c, "k", "=", odd);
        return text;
    }

    Outcome Extract(const std::string& in, const RunCase& c, bool linesOnly)
    {
        Settings settings;
        settings.StrictYenc = c.strict;
        ScriptedHost host;
        host.onPump = [&] {
            if (host.pumps == c.abortAtPump) host.abort = true;
        };
        RunContext run;
        MyCObArray list{settings, &host};
        Extractor engine(list, settings, run, host);
        list.AddInputFile(in);
        ScanFile(in, list, settings, run, host);
        list.Evaluate();
        run.ScanFullRulesOnly = linesOnly; // the engine's switch only: both scans are the same
        const std::string outDir = dir / (linesOnly ? "lines" : "runs");
        std::filesystem::create_directory(outDir);
        int state = 0;
        const int result = engine.ExtractOutputFile({.index = 0, .outDir = outDir, .answerState = &state});
        Bytes output;
        for (const auto& entry : std::filesystem::directory_iterator(outDir)) output += ReadFile(entry.path().string());
        return {result, output, host.log, host.status, host.pumps, host.lastProgress};
    }

    TempDir dir;
};

TEST_P(YencRuns, GiveWhatReadingLineByLineGives)
{
    const RunCase& c = GetParam();
    const std::string in = dir.Write("in.ntx", Article(c));
    const Outcome lines = Extract(in, c, true), runs = Extract(in, c, false);
    EXPECT_EQ(Summary(runs), Summary(lines));
    EXPECT_EQ(runs.progress, lines.progress);
    EXPECT_BYTES_EQ(lines.output, runs.output);
    EXPECT_GT(lines.pumps, 0) << "the posting spans several pumps";
}

// A disk that fills up after 65,000 bytes (a file size limit in a child
// process): the output's buffer must go out, and fail, at the same line both
// ways, and the file is given up the same way.
TEST_P(YencRuns, MeetAFullDiskWhereReadingLineByLineDoes)
{
    const RunCase& c = GetParam();
    if (c.abortAtPump != 0) return;
    const std::string in = dir.Write("in.ntx", Article(c));
    const std::string report = dir / "child.txt";
    const int status = InChild([&] {
        LimitFileSize(65000);
        const Outcome lines = Extract(in, c, true), runs = Extract(in, c, false);
        LimitFileSize(RLIM_INFINITY);
        WriteFile(report, Summary(lines) == Summary(runs) ? "same" : Summary(lines) + "\n----\n" + Summary(runs));
        return 0;
    });
    ASSERT_TRUE(WIFEXITED(status)) << "the child crashed";
    EXPECT_EQ(ReadFile(report), "same");
}

RunCase AsUu(RunCase c) { c.uu = true; return c; }
RunCase AsBase64(RunCase c) { c.base64 = true; return c; }

INSTANTIATE_TEST_SUITE_P(
    Cases, YencRuns,
    ::testing::Values(
        RunCase{"Lf"}, RunCase{"CrLf", 128, "\r\n"}, RunCase{"Strict", 128, "\r\n", false, true},
        RunCase{"DotStuffed", 128, "\r\n", true}, RunCase{"ShortLines", 61},
        RunCase{"LinesLongerThanTheLineBuffer", 1500}, RunCase{"Damaged", 128, "\n", false, false, 3},
        RunCase{"StrictDamaged", 128, "\n", false, true, 3}, RunCase{"OddLines", 128, "\n", false, false, 0, true},
        RunCase{"StrictOddLines", 128, "\r\n", false, true, 0, true},
        RunCase{"StopRequested", 128, "\r\n", false, false, 0, false, 3},
        RunCase{"StrictLinesLongerThanAnnounced", 128, "\n", false, true, 0, false, 0, 100},
        AsUu({.name = "UuLf"}), AsUu({.name = "UuCrLf", .eol = "\r\n"}), AsUu({.name = "UuDamaged", .damage = 6}),
        AsUu({.name = "UuOddLines", .oddLines = true}),
        AsUu({.name = "UuCrLfOddLines", .eol = "\r\n", .oddLines = true}),
        AsUu({.name = "UuStopRequested", .eol = "\r\n", .abortAtPump = 3}),
        AsBase64({.name = "Base64Lf", .width = 76}), AsBase64({.name = "Base64CrLf", .width = 76, .eol = "\r\n"}),
        AsBase64({.name = "Base64OddWidth", .width = 61}),
        AsBase64({.name = "Base64ShortLines", .width = 16, .eol = "\r\n"}),
        AsBase64({.name = "Base64LinesLongerThanTheLineBuffer", .width = 1500}),
        AsBase64({.name = "Base64Damaged", .width = 76, .damage = 6}),
        AsBase64({.name = "Base64OddLines", .width = 76, .oddLines = true}),
        AsBase64({.name = "Base64CrLfOddLines", .width = 72, .eol = "\r\n", .oddLines = true}),
        AsBase64({.name = "Base64StopRequested", .width = 76, .eol = "\r\n", .abortAtPump = 3})),
    [](const auto& p) { return std::string(p.param.name); });

// What follows the trailer decides whether the article doubled its leading
// dots: the first of the next three lines that is not empty is ".", with
// every form of line break.
using YencArticleEnd = ExtractTest;

TEST_F(YencArticleEnd, TellsWhetherLeadingDotsWereDoubled)
{
    Bytes payload = RandomBytes(300'000, 12);
    payload[0] = payload[1] = '.' - 42; // a first line starting ".." (doubled: "...")
    for (const auto& [tail, stuffed] :
         {std::pair{".\n", true}, {".\r\n", true}, {".", true}, {"\n\n.\n", true}, {"\r\n\n\r.\r\n", true},
          {"\r\r\n.\n", true}, {"\r\r.\n", true}, {"\n\n\n.\n", false}, {".x\n", false}, {"", false},
          {"\n", false}, {"x\n.\n", false}}) {
        SCOPED_TRACE(::testing::PrintToString(std::string(tail)));
        Restart();
        YencPostingOptions o;
        o.dotStuffed = stuffed;
        std::string text = YencArticles(payload, "end.bin", payload.size(), o).front();
        if (o.dotStuffed) text.resize(text.size() - 2); // the generated ".\n"
        ScanAndExtract({dir.Write("in.ntx", text + tail)});
        EXPECT_BYTES_EQ(payload, ReadFile(Out("end.bin")));
    }
}

} // namespace
} // namespace zarvex::test
