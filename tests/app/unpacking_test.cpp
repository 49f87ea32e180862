// Whole runs on inputs that must be unpacked: compressed mailboxes,
// archives of mail folders (also hostile ones), and winmail.dat (TNEF)
// attachments, made in the test with the system's tools and the TNEF writer.
#include "extract/tnef.h"
#include "program_run.h"
#include "support/tnef_writer.h"

#include <cctype>
#include <unistd.h>

#ifdef ZARVEX_BINARY

namespace zarvex {
namespace {

using test::MimeMail;
using test::ReadFile;

bool Found(const std::string& text, const std::string& what)
{
    return text.find(what) != std::string::npos;
}

class Unpacking : public test::ProgramRun
{
protected:
    // Two mails in "in/": one with a small attachment in a subfolder, then a
    // larger mailbox (so that the first member is let go, and unpacked
    // again, to stay within the disk budget).
    const std::string small = test::RandomBytes(2000, 21), large = test::RandomBytes(40000, 22);
    Unpacking()
    {
        MakeFolder("in");
        MakeFolder("in/cur");
        MakeFolder("work");
        dir.Write("in/cur/a.eml", MimeMail("small.bin", small));
        dir.Write("in/box.mbox", "From x@y Mon Jan  1 10:00:00 2024\n" + test::UuPosting("large.bin", large));
    }
    // Runs `make` (a shell command in the test folder) and extracts `input`
    // with the preferences `prefs`; the log text.
    std::string Unpack(const std::string& make, const std::string& input, const std::string& prefs = "")
    {
        EXPECT_EQ(std::system(("cd " + test::ShellQuote(dir.Path().string()) + " && " + make).c_str()), 0)
            << make;
        test::WriteFile(ini, "[Preferences]\nWorkingDir=" + (dir / "work") + "\n" + prefs);
        Extract(MakeFolder("out"), {"--logfile=log.txt", "--report=report.txt", "--keep-dates", input});
        EXPECT_TRUE(test::RegularFiles(dir / "work").empty()) << "every temporary file is wiped and deleted";
        return ReadFile(dir / "log.txt");
    }
    void ExpectOutputs(bool withSmall, bool withLarge)
    {
        EXPECT_EQ(test::FileExists(dir / "out/small.bin"), withSmall);
        if (withSmall) EXPECT_BYTES_EQ(small, ReadFile(dir / "out/small.bin"));
        EXPECT_EQ(test::FileExists(dir / "out/large.bin"), withLarge);
        if (withLarge) EXPECT_BYTES_EQ(large, ReadFile(dir / "out/large.bin"));
    }
};

// Compressed single files (the mailbox, named without a telling extension)
// and archives (every member an input of its own, named ARCHIVE/PATH), also
// hostile ones: what the archive claims never leaves the working folder and
// one bad member does not cost the others.
struct Container
{
    std::string name, make; // `make` makes "x" in the test folder
    bool small, large;
    std::vector<std::string> reported; // the inputs the report names, in the test folder
    const char* logged = "";
    const char* prefs = "";
};

std::vector<Container> ContainerCases()
{
    std::vector<Container> cases;
    for (const std::string tool : {"gzip -c", "bzip2 -c", "xz -c", "zstd -q -c", "lz4 -q -c"})
        cases.push_back({tool, tool + " <in/box.mbox >x", false, true, {"x"}});
    for (const std::string tool : {"tar -cf", "tar -czf", "tar --zstd -cf", "zip -qr - >", "bsdtar --format 7zip -cf"})
        cases.push_back({tool, "cd in && " + tool + " ../x cur box.mbox", true, true, {"x/cur/a.eml", "x/box.mbox"}});
    cases.push_back({"PathsLeavingTheFolder",
                     "bsdtar -P -cf x -s ,^in/cur,../..,  -s ,^in/box,/tmp/zarvex-box, in/cur/a.eml in/box.mbox",
                     true, true, {}, "/x/a.eml..."});
    cases.push_back({"Bomb", "yes 'the same line over and over' | head -c 3000000 | gzip >x", false, false, {},
                     "unpacking stopped at the limit of 1 MB", "ArchiveLimitMB=1\n"});
    cases.push_back({"EncryptedMember",
                     "cd in && zip -q -P secret ../x.zip cur/a.eml && zip -q ../x.zip box.mbox && mv ../x.zip ../x",
                     false, true, {}, "x/cur/a.eml skipped: it is encrypted"});
    cases.push_back({"CutShort", "tar -cf t -C in cur box.mbox && head -c 30000 t >x", true, false, {},
                     "cannot be read further"});
    return cases;
}

class Containers : public Unpacking, public ::testing::WithParamInterface<Container> {};

TEST_P(Containers, AreReadSafelyAndEveryMemberDecodes)
{
    const Container& c = GetParam();
    const std::string log = Unpack(c.make, "x", c.prefs), report = ReadFile(dir / "report.txt");
    ExpectOutputs(c.small, c.large);
    EXPECT_TRUE(Found(log, c.logged)) << log;
    for (const std::string& input : c.reported)
        EXPECT_TRUE(Found(report, "InFile: " + (dir / input))) << report;
    EXPECT_FALSE(test::FileExists(dir.Path().parent_path().parent_path() / "a.eml"));
    EXPECT_FALSE(test::FileExists("/tmp/zarvex-box.mbox"));
}

INSTANTIATE_TEST_SUITE_P(Cases, Containers, ::testing::ValuesIn(ContainerCases()), [](const auto& p) {
    std::string name = p.param.name;
    std::erase_if(name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); });
    return name;
});

// winmail.dat: the files it holds, with their long names and dates, the
// body held only as compressed RTF, a TNEF file inside it, and a damaged one.
const std::string kRtf = "{\\rtf1\\ansi A body held only as compressed RTF.}";
const test::TnefAttachment kReport{
    "REPORT~1.PDF", "Report for 2024.pdf", test::RandomBytes(7000, 31), {2024, 3, 5, 10, 20, 30}};
const test::TnefAttachment kData{"DATA.BIN", "", test::RandomBytes(300, 32), {}};

struct TnefCase
{
    const char* name;
    std::string tnef;
    const char* prefs;
    std::vector<std::string> files; // besides the container
    bool containerKept;
    const char* logged;
};

class Tnef : public Unpacking, public ::testing::WithParamInterface<TnefCase> {};

// The container by its signature: its name is the naming rules' business.
bool ContainerIn(const std::vector<std::string>& files)
{
    for (const std::string& f : files) if (HasTnefSignature(ReadFile(f))) return true;
    return false;
}

TEST_P(Tnef, WinmailDatComesOutAsItsFiles)
{
    const TnefCase& c = GetParam();
    dir.Write("mail.eml", MimeMail("winmail.dat", c.tnef));
    EXPECT_TRUE(Found(Unpack("true", "mail.eml", c.prefs), c.logged));
    std::vector<std::string> files = test::RegularFiles(dir / "out");
    EXPECT_EQ(ContainerIn(files), c.containerKept);
    std::erase_if(files, [](const std::string& f) { return HasTnefSignature(ReadFile(f)); });
    EXPECT_EQ(files.size(), c.files.size());
    for (const std::string& name : c.files) EXPECT_TRUE(test::FileExists(dir / ("out/" + name))) << name;
    if (c.files.empty() || c.files[0] != "Report for 2024.pdf") return;
    EXPECT_BYTES_EQ(kReport.data, ReadFile(dir / "out/Report for 2024.pdf"));
    struct stat st
    {
    };
    ::stat((dir / "out/Report for 2024.pdf").c_str(), &st);
    EXPECT_EQ(st.st_mtime, 1709634030) << "--keep-dates gives the attachment's date, 2024-03-05 10:20:30 UTC";
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, Tnef, ::testing::Values(
    TnefCase{"Default", test::TnefStream({kReport, kData}, kRtf), "", {"Report for 2024.pdf", "DATA.BIN", "message.rtf"}, true, ""},
    TnefCase{"ContainerNotKept", test::TnefStream({kReport, kData}), "TnefKeepContainer=0\n", {"Report for 2024.pdf", "DATA.BIN"}, false, "removed"},
    TnefCase{"Off", test::TnefStream({kReport}), "UnpackTnef=0\n", {}, true, ""},
    TnefCase{"Nested", test::TnefStream({{"INNER.DAT", "", test::TnefStream({kData}), {}}}), "", {"DATA.BIN"}, true, ""},
    TnefCase{"CutShort", test::TnefStream({kReport, kData}).substr(0, 7500), "", {"Report for 2024.pdf"}, true, "damaged TNEF"}),
    [](const auto& param) { return std::string(param.param.name); });
// clang-format on

// The same files with the same bytes as the tnef program writes.
TEST_F(Unpacking, TnefAgreesWithThePeerProgram)
{
    if (::access("/usr/bin/tnef", X_OK) != 0)
        GTEST_SKIP() << "tnef is not installed (scripts/install-deps.sh)";
    const std::string tnef = test::TnefStream({kReport, kData}, kRtf);
    dir.Write("winmail.dat", tnef);
    dir.Write("mail.eml", MimeMail("winmail.dat", tnef));
    Unpack("mkdir peer && tnef -f winmail.dat -C peer --save-body --body-pref=r", "mail.eml");
    const std::vector<std::string> peer = test::RegularFiles(dir / "peer");
    EXPECT_EQ(peer.size(), 3u);
    for (const std::string& f : peer)
        EXPECT_BYTES_EQ(ReadFile(f), ReadFile(dir / ("out/" + std::filesystem::path(f).filename().string())));
}

} // namespace
} // namespace zarvex

#endif // ZARVEX_BINARY
