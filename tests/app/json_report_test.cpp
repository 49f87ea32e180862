// The run report for scripts (--report-json), message dates on outputs
// (--keep-dates) and the progress line on a terminal, through the built program.
#include "app/json_report.h"
#include "io/sha256.h"
#include "program_run.h"
#include "support/binhex_writer.h"
#include "support/yenc_posting.h"

#include <nlohmann/json.hpp>

#ifdef ZARVEX_BINARY

namespace zarvex {
namespace {

using nlohmann::json;
using test::UuPosting;

// `report` holds each value of `expected` at its JSON pointer.
void ExpectAt(const json& report, const json& expected)
{
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        const json::json_pointer at(it.key());
        EXPECT_EQ(report.contains(at) ? report[at] : json(), it.value())
            << it.key() << " in " << report.dump(1);
    }
}

class JsonReportRun : public test::ProgramRun
{
protected:
    std::string Read(const std::string& name) { return test::ReadFile(dir / name); }
    json ReportOf(const std::string& name)
    {
        const std::string path = dir / name;
        const std::string check =
            "python3 -c 'import json,sys; json.load(sys.stdin)' <" + test::ShellQuote(path);
        EXPECT_EQ(std::system(check.c_str()), 0) << "a JSON parser reads the report";
        return json::parse(test::ReadFile(path));
    }
    static const json& OutputNamed(const json& report, const std::string& name)
    {
        for (const json& out : report["outputs"])
            if (out["name"] == name) return out;
        static const json none;
        ADD_FAILURE() << "no output " << name;
        return none;
    }

    const std::string outDir = MakeFolder("out");
};

TEST(Sha256, GivesTheFipsDigests)
{
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex(std::string(1'000'000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST_F(JsonReportRun, SaysWhatEachOutputAndInputCameTo)
{
    const std::string picture = test::RandomBytes(3'000, 1), movie = test::RandomBytes(9'000, 2),
                      repaired = test::RandomBytes(4'500, 3);
    std::string mbox = UuPosting("picture.dat", picture, 1) + UuPosting("repaired.dat", repaired, 3, 2);
    const std::vector<std::string> articles = test::YencArticles(movie, "movie.bin", 3'000);
    mbox += articles[0] + "\n" + articles[2] + "\n";
    // A yEnc posting whose first part comes first with one data character changed.
    const std::string clip = test::RandomBytes(4'000, 4);
    const std::vector<std::string> clipArticles = test::YencArticles(clip, "clip.bin", 2'000);
    std::string changed = clipArticles[0];
    char& c = changed[changed.find('\n', changed.find("=ypart")) + 5];
    c = c == 'a' ? 'b' : 'a';
    mbox += changed + "\n" + clipArticles[0] + "\n" + clipArticles[1] + "\n";
    dir.Write("mail.mbox", mbox);
    EXPECT_EQ(Run({"--extract", "--outdir=out", "--report-json=report.json", "mail.mbox", "missing.mbox"}).status, 255);
    const json report = ReportOf("report.json");
    ExpectAt(report, {{"/exitStatus", 255}, {"/counts/outputs", 4}, {"/counts/inputsNotRead", 1}});
    ExpectAt(OutputNamed(report, "picture.dat"),
             {{"/result", "written"}, {"/encoding", "UU"}, {"/size", picture.size()},
              {"/sha256", Sha256Hex(picture)}, {"/status/complete", true},
              {"/partList/0/date", "2024-01-01T10:00:00Z"}, {"/partList/0/newsgroups", "alt.binaries.test"}});
    const json& mov = OutputNamed(report, "movie.bin");
    ExpectAt(mov, {{"/encoding", "yEnc"}, {"/parts/expected", 3}, {"/parts/found", 2}, {"/missingParts", {2}},
                   {"/status/complete", false}});
    EXPECT_NE(mov["status"]["state"], "complete");
    // The second part of "repaired.dat" came from its good duplicate.
    const json& rep = OutputNamed(report, "repaired.dat");
    ExpectAt(rep, {{"/result", "written"}, {"/sha256", Sha256Hex(repaired)},
                   {"/partList/0/duplicateUsed", false}, {"/partList/1/duplicateUsed", true},
                   {"/partList/1/checks/damaged", true}, {"/partList/1/checks/crc", "not checked"}});
    const json& messages = rep["partList"][1]["checks"]["messages"];
    ASSERT_EQ(messages.size(), 1u) << rep.dump(2);
    EXPECT_NE(messages[0].get<std::string>().find("short line"), std::string::npos);
    ExpectAt(OutputNamed(report, "clip.bin"),
             {{"/sha256", Sha256Hex(clip)}, {"/status/complete", true}, {"/partList/0/duplicateUsed", true},
              {"/partList/0/checks/crc", "failed"}, {"/partList/0/duplicate/checks/crc", "passed"},
              {"/partList/1/checks/crc", "passed"}, {"/partList/1/checks/size", "passed"}});

    bool missingNoted = false;
    for (const json& in : report["inputs"])
        missingNoted |= in["path"] == "missing.mbox" && in["read"] == false && !in["reason"].get<std::string>().empty();
    EXPECT_TRUE(missingNoted) << report["inputs"].dump();
}

// Outputs that lack what their posting announces are written but never
// called complete: the list dump, the text report, the JSON report, the log
// and the exit status say so; whole single files are complete.
TEST_F(JsonReportRun, IncompleteOutputsAreFlaggedEverywhereAndWholeOnesAreComplete)
{
    const std::string data = test::RandomBytes(40'000, 6);
    std::vector<std::string> uu = test::UuMails("uu.dat", data, 5), yenc = test::YencArticles(data, "y.bin", 10'000);
    uu.erase(uu.begin() + 3);
    const auto without = [](std::string text, const std::string& cut) { return text.erase(text.find(cut), cut.size()); };
    const auto yencWith = [&](const std::string& from, const std::string& to) {
        std::string all;
        for (std::string a : yenc) all += a.replace(a.find(from), from.size(), to) + "\n";
        return all;
    };
    // Cut after a whole data line: the last (padded) line and the boundary are gone.
    const std::string mime = test::MimeMail("cut.dat", data), endless = mime.substr(0, mime.rfind('\n', mime.rfind("--B--") - 2) + 1);
    const std::string partial = "From: p@example.org\nSubject: part.dat\nMIME-Version: 1.0\nContent-Type: message/partial; "
                                "id=\"p@x\"; number=1; total=1000000\n\nContent-Type: application/octet-stream; "
                                "name=\"part.dat\"\nContent-Transfer-Encoding: base64\n\n" +
                                test::Text(test::Base64Lines(data.substr(0, 3'000)));
    test::BinHexFile hqx;
    hqx.name = "mac.bin", hqx.data = data.substr(0, 2'000);
    struct Case { std::string name, input, dump, result, reason; };
    const Case cases[] = {
        {"uu.dat", test::Join(uu, 0, 4), "Found:4, Expected:5, Status:129", "incomplete", "part 4 of 5 missing"},
        {"y.bin", yenc[0] + yenc[1] + yenc[3], "Found:3, Expected:4, Status:129", "incomplete", "part 3 of 4 missing"},
        {"part.dat", partial, "Expected:1000000, Status:129", "incomplete", "parts 2-1000000 of 1000000 missing"},
        {"cut.dat", endless + test::Mail("next", "plain words\n"), "Status:162", "damaged", "its data end before"},
        {"y.bin", yenc[0] + yenc[1] + yenc[2] + without(yenc[3], "=yend"), "Status:161", "damaged", "its data end before"},
        {"y.bin", yencWith("size=40000 ", "size=40500 "), "Status:130", "incomplete", "40000 of the 40500 bytes"},
        {"plain.dat", test::UuFile(data, "plain.dat"), "Found:1, Expected:-1, Status:2", "written", ""},
        {"mac.bin", "(This file must be converted with BinHex 4.0)\n" + test::Text(test::BinHexLines(hqx)),
         "Expected:-1, Status:2", "written", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dump);
        dir.Write("in.mbox", c.input);
        const std::string out = MakeFolder("out" + std::to_string(&c - cases));
        const Result r = Extract(out, {"--report-json=r.json", "--listdump=d.txt", "--report=r.txt", "--logfile=l.txt", "in.mbox"});
        EXPECT_EQ(r.status, c.reason.empty() ? 1 : 255) << r.err;
        EXPECT_NE(Read("d.txt").find(c.dump), std::string::npos) << Read("d.txt");
        const json report = ReportOf("r.json");
        const json& o = OutputNamed(report, c.name);
        ExpectAt(o, {{"/result", c.result}, {"/status/complete", c.reason.empty()}});
        EXPECT_EQ(o["status"]["incomplete"].is_null() ? "" : o["status"]["incomplete"].get<std::string>().substr(0, c.reason.size()), c.reason);
        const std::string said = c.name + " is incomplete: " + c.reason;
        EXPECT_EQ(Read("l.txt").find(said) != std::string::npos, !c.reason.empty()) << Read("l.txt");
        EXPECT_EQ(Read("r.txt").find("Incomplete: " + c.reason) != std::string::npos, !c.reason.empty()) << Read("r.txt");
    }
}

// Source postings ("v02i045: zap - a file zapper, Part01/03"): the parts
// join under the begin line's name, also when that line ends its article;
// without the first part the output is reported as missing it.
TEST_F(JsonReportRun, SourcePostingsJoinAndAnAbsentFirstPartIsReported)
{
    const std::string data = test::RandomBytes(9'000, 7);
    std::vector<std::string> parts = test::UuMails("zap.tar.Z", data, 3);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        parts[i].replace(parts[i].find("zap.tar.Z ("), 15, "v02i04" + n + ": zap - a file zapper, Part0" + n + "/03");
    }
    struct Case { std::string input, name, dump, result; json missing; };
    const Case cases[] = {
        {parts[0] + parts[1] + parts[2], "zap.tar.Z", "Found:3, Expected:3, Status:2", "written", json::array()},
        {test::Mail("v02i045: zap - a file zapper, Part01/02", "The source follows.\n\nbegin 644 zap.tar.Z") +
             test::Mail("v02i046: zap - a file zapper, Part02/02", test::Text(test::UuLines(data)) + "`\nend"),
         "zap.tar.Z", "Found:2, Expected:2, Status:2", "written", json::array()},
        {parts[1] + parts[2], "zap - a file zapper,", "Found:2, Expected:3, Status:68", "not written", {1}},
    };
    for (const Case& c : cases) {
        dir.Write("in.mbox", c.input);
        const std::string out = MakeFolder("news" + std::to_string(&c - cases));
        Extract(out, {"--report-json=r.json", "--listdump=d.txt", "in.mbox"});
        EXPECT_NE(Read("d.txt").find(c.dump), std::string::npos) << Read("d.txt");
        ExpectAt(OutputNamed(ReportOf("r.json"), c.name), {{"/result", c.result}, {"/missingParts", c.missing}});
        if (c.result == "written") EXPECT_BYTES_EQ(data, test::ReadFile(out + "/zap.tar.Z"));
    }
}

TEST_F(JsonReportRun, NamesWithInvalidUtf8AndControlCharactersComeOutEscaped)
{
    EXPECT_EQ(JsonSafeText("caf\xc3\xa9 \xff\xc3("), "caf\xc3\xa9 \\xff\\xc3(");
    dir.Write("mail.mbox", UuPosting("bad\x01\xff\x1bname.dat", test::RandomBytes(500, 4), 1));
    Run({"--extract", "--outdir=out", "--report-json=report.json", "mail.mbox"});
    const std::string text = Read("report.json");
    EXPECT_NE(text.find("bad\\u0001\\\\xff\\u001bname.dat"), std::string::npos) << text;
    EXPECT_EQ(ReportOf("report.json")["counts"]["outputs"], 1);
}

TEST_F(JsonReportRun, MissingPartsOfTheLargestTotalAreCountedNotAllListed)
{
    std::string article = test::YencArticles(test::RandomBytes(4'000, 5), "huge.bin", 2'000)[0];
    article.replace(article.find("(1/2)"), 5, "(1/2147483647)");
    article.replace(article.find("total=2 "), 8, "total=2147483647 ");
    dir.Write("mail.mbox", article);
    Run({"--extract", "--outdir=out", "--report-json=report.json", "mail.mbox"});
    const json report = ReportOf("report.json");
    ExpectAt(report, {{"/outputs/0/parts/missing", 2147483646}, {"/outputs/0/missingParts/0", 2}});
    EXPECT_EQ(report["outputs"][0]["missingParts"].size(), 1000u);
}

TEST_F(JsonReportRun, ReportGoesToStandardOutputAndKeepDatesGivesTheMessageTime)
{
    dir.Write("mail.mbox", UuPosting("a.dat", "data", 1));
    const Result keep =
        Run({"--extract", "--keep-dates", "--outdir=out", "--report-json=-", "mail.mbox"}, "report.json");
    EXPECT_EQ(keep.status, 1);
    EXPECT_EQ(ReportOf("report.json")["outputs"][0]["sha256"], Sha256Hex("data"));
    EXPECT_EQ(Extract(MakeFolder("plain"), {"mail.mbox"}).status, 1);
    struct stat kept{}, plain{};
    ASSERT_EQ(::stat((outDir + "/a.dat").c_str(), &kept), 0);
    ASSERT_EQ(::stat((dir / "plain/a.dat").c_str(), &plain), 0);
    EXPECT_EQ(kept.st_mtime, 1704103200); // 2024-01-01T10:00:00Z
    EXPECT_NE(plain.st_mtime, 1704103200);
}

TEST_F(JsonReportRun, ProgressLineOnlyOnATerminal)
{
    dir.Write("mail.mbox", UuPosting("big.dat", test::RandomBytes(200'000, 5), 2));
    const Result r = Extract("out", {"mail.mbox"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    // Under a pseudo-terminal: the line shows the input, then the output, and is erased.
    MakeFolder("out2");
    const std::string script =
        "script -q -e -c " + test::ShellQuote(Command({"--extract", "--outdir=out2", "mail.mbox"}));
    EXPECT_EQ(Run({}, "tty.txt", script + " /dev/null </dev/null").status, 1);
    const std::string tty = Read("tty.txt");
    EXPECT_NE(tty.find("\rscanning mail.mbox"), std::string::npos) << tty;
    EXPECT_NE(tty.find("MB/s"), std::string::npos) << tty;
    EXPECT_NE(tty.find("\rwriting output 1 of 1: big.dat"), std::string::npos) << tty;
    EXPECT_EQ(tty.substr(tty.size() - 4), "\r\x1b[K") << tty;
}

} // namespace
} // namespace zarvex

#endif
