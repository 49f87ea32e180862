// Runs the installed program on generated mail files and checks what it
// writes, its report and its exit status.
#include "app/core_engine.h"
#include "app/interrupts.h"
#include "app/program.h"
#include "platform/headless_host.h"
#include "program_run.h"

#include <csignal>
#include <sstream>
#include <unistd.h>

#ifdef ZARVEX_BINARY

namespace zarvex {
namespace {

using Args = std::vector<std::string>;
using test::MimeMail;
using test::ReadFile;
using test::RegularFiles;
using test::UuPosting;

class EndToEnd : public test::ProgramRun
{
protected:
    const std::string picture = test::RandomBytes(5000, 11);
    const std::string archive = test::RandomBytes(3000, 12);
};

TEST_F(EndToEnd, MailboxWithUuAndBase64IsDecodedWithoutADisplay)
{
    // A run that tried to reach a display would fail here.
    envPrefix = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb ";
    const std::string in =
        dir.Write("mail.txt", UuPosting("picture.dat", picture) + MimeMail("archive.dat", archive));
    const std::string out = MakeFolder("out");
    const Result r = Extract(out, {"--report=report.txt", in});
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_BYTES_EQ(picture, ReadFile(out + "/picture.dat"));
    EXPECT_BYTES_EQ(archive, ReadFile(out + "/archive.dat"));
    const std::string report = ReadFile(dir / "report.txt");
    EXPECT_NE(report.find("picture.dat"), std::string::npos) << report;
    EXPECT_NE(report.find("Encoding: B64"), std::string::npos) << report;
    EXPECT_TRUE(test::FileExists(ini)) << "the settings are written at exit";
    // Asking for the window without a display is refused with a message, not a crash.
    envPrefix = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";
    const Result w = Run({in});
    EXPECT_EQ(w.status, 2);
    EXPECT_NE(w.err.find("--extract"), std::string::npos) << w.err;
}

TEST_F(EndToEnd, BeginBeforeBase64SwitchesMimeTextOffForTheRunOnly)
{
    const std::string mime = MimeMail("archive.dat", archive, "Hello there, this is the body of the mail.");
    const std::string b64 = "begin 644 picture.dat\n" + test::Text(test::Base64Lines(picture));
    const std::string both = dir.Write("both.txt", test::Mail("one", b64) + mime);
    test::WriteFile(ini, "[Preferences]\nMimeText=1\n");
    const std::string out = MakeFolder("out");
    EXPECT_EQ(Extract(out, {both}).status, 2) << "no text part after the switch-off";
    EXPECT_BYTES_EQ(picture, ReadFile(out + "/picture.dat"));
    EXPECT_NE(ReadFile(ini).find("MimeText=1"), std::string::npos) << "the preference is saved as chosen";
    // The next run starts with "MimeText" on again: the text part is written.
    const std::string next = MakeFolder("next");
    EXPECT_EQ(Extract(next, {dir.Write("mime.txt", mime)}).status, 2);
    EXPECT_EQ(RegularFiles(next).size(), 2u);
}

// That the copy decodes again is RawSave.CopyDecodesAgainToTheSameBytes's business.
TEST_F(EndToEnd, SaveRawWritesOnlyTheUndecodedFile)
{
    const std::string in = dir.Write("mail.txt", UuPosting("picture.dat", picture));
    const std::string out = MakeFolder("out");
    EXPECT_EQ(Extract(out, {"--save-raw", in}).status, 1);
    EXPECT_EQ(RegularFiles(out), std::vector<std::string>{out + "/picture.dat.uu"});
}

TEST_F(EndToEnd, QuotedNameWithBlanksAndOutdirStar)
{
    MakeFolder("my mail");
    dir.Write("my mail/in box.txt", UuPosting("picture.dat", picture));
    const Result r = Run({"my mail/in box.txt", "/Extract", "/Outdir=*"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_BYTES_EQ(picture, ReadFile(dir / "my mail/picture.dat"));
}

TEST_F(EndToEnd, BadFoldersInputsAndSettingsFiles)
{
    const std::string out = MakeFolder("out");
    std::string ro = MakeFolder("ro");
    ::chmod(ro.c_str(), 0555);
    if (::access(ro.c_str(), W_OK) == 0) ro = "/proc/sys"; // root writes anywhere; this one stays read-only
    const std::string in = dir.Write("mail.txt", UuPosting("picture.dat", picture));
    struct Case { std::string outDir, extra, iniPath; int status; const char* message; bool written; };
    const Case cases[] = {
        {dir / "missing", "", ini, 255, "does not exist", false},
        {ro, "", ini, 255, "not writable", false},
        {out, "--logfile=" + (dir / "no/such/x.log"), ini, 255, "the folder of the log file", false},
        {out, dir / "nope.txt", ini, 255, "nope.txt", true},
        {out, "", MakeFolder("ini-is-a-folder"), 1, "settings file", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        if (c.outDir == ro && ::access(ro.c_str(), W_OK) == 0) continue; // no read-only folder available
        ini = c.iniPath;
        std::remove((out + "/picture.dat").c_str());
        const Result r = Extract(c.outDir, c.extra.empty() ? Args{in} : Args{c.extra, in});
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        if (c.written) EXPECT_BYTES_EQ(picture, ReadFile(out + "/picture.dat"));
        else EXPECT_FALSE(test::FileExists(out + "/picture.dat") || test::FileExists(ini)) << "nothing done";
    }
    EXPECT_FALSE(test::FileExists(dir / "missing"));
}

TEST_F(EndToEnd, UnreadableInputIsAnError)
{
    if (::geteuid() == 0) {
        // Root reads any file: run the program without that power.
        if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv is not installed";
        envPrefix = "/usr/bin/setpriv --bounding-set=-dac_override,-dac_read_search env ";
    }
    const std::string locked = dir.Write("locked.txt", UuPosting("secret.dat", archive));
    ::chmod(locked.c_str(), 0);
    const std::string in = dir.Write("mail.txt", UuPosting("picture.dat", picture));
    const std::string out = MakeFolder("out");
    for (const std::string& log : {std::string("-"), dir.Write("run.log", "old text\n")}) {
        const Result r = Extract(out, {"--logfile=" + log, locked, in});
        const std::string text = log == "-" ? r.err : ReadFile(log);
        EXPECT_EQ(r.status, 255) << r.err;
        EXPECT_EQ(text.find("old text"), std::string::npos) << "the log file is truncated";
        EXPECT_NE(text.find("Cannot read locked.txt: Access denied."), std::string::npos) << text;
        EXPECT_EQ(text.find("No recognized encoded data"), std::string::npos) << text;
        if (log != "-") {
            EXPECT_NE(r.err.find("cannot read '" + locked + "': Permission denied"), std::string::npos) << r.err;
        }
        EXPECT_BYTES_EQ(picture, ReadFile(out + "/picture.dat")); // the other inputs are read
        std::remove((out + "/picture.dat").c_str());
    }
}

TEST_F(EndToEnd, LeftoverTemporaryFileIsNeitherInputNorOutput)
{
    // A killed run left "~ZRV17.TMP" in a folder that is input and output;
    // it happens to hold a posting, and another posting is named like it:
    // that output gets a "_" in front.
    const std::string spool = MakeFolder("spool"), leftover = spool + "/~ZRV17.TMP";
    test::WriteFile(leftover, UuPosting("inside.dat", archive));
    test::WriteFile(spool + "/mail.txt",
                    UuPosting("picture.dat", picture) + UuPosting("~ZRV17.TMP", archive));
    Overwrite();
    const Result r = Extract(spool, {"--logfile=-", spool});
    EXPECT_BYTES_EQ(picture, ReadFile(spool + "/picture.dat"));
    EXPECT_FALSE(test::FileExists(spool + "/inside.dat")) << "the leftover was scanned";
    EXPECT_EQ(ReadFile(leftover), UuPosting("inside.dat", archive));
    EXPECT_BYTES_EQ(archive, ReadFile(spool + "/_~ZRV17.TMP"));
    EXPECT_EQ(r.status, 2) << r.err;
}

TEST_F(EndToEnd, ShortOutputIsKeptButNeverReplacesAndFailsTheRun)
{
    // A "begin" line with one of its three data lines and no "end".
    const std::string data = test::RandomBytes(135, 15);
    const std::string in =
        dir.Write("mail.txt", test::Mail("short.dat", "begin 644 short.dat\n" + test::UuLines(data)[0] + "\n"));
    Overwrite();
    for (const bool existing : {false, true}) {
        SCOPED_TRACE(existing);
        const std::string out = MakeFolder(existing ? "old" : "new");
        if (existing) test::WriteFile(out + "/short.dat", "good");
        const Result r = Extract(out, {"--logfile=-", "--report=" + out + ".report", in});
        EXPECT_EQ(r.status, 255) << r.err;
        EXPECT_NE(r.err.find("End not found, short file."), std::string::npos) << r.err;
        // Beside the file it would have replaced, under a name of its own.
        const std::string beside = out + "/short_2.dat";
        const std::string notReplaced = "short.dat was not replaced: the new output is damaged. It is written as " + beside;
        EXPECT_EQ(r.err.find(notReplaced) != std::string::npos, existing) << r.err;
        EXPECT_BYTES_EQ(existing ? "good" : data.substr(0, 45), ReadFile(out + "/short.dat"));
        EXPECT_EQ(RegularFiles(out).size(), existing ? 2u : 1u);
        if (existing) EXPECT_BYTES_EQ(data.substr(0, 45), ReadFile(beside));
        const std::string report = ReadFile(out + ".report");
        const std::size_t at = report.find("Extract Status: ");
        ASSERT_NE(at, std::string::npos) << report;
        EXPECT_NE(std::stoi(report.substr(at + 16)) & 0x20, 0) << report;
    }
    // Without the log on standard error, one line says that something failed and where to look.
    const Result quiet = Extract(MakeFolder("quiet"), {in});
    EXPECT_EQ(quiet.status, 255);
    EXPECT_NE(quiet.err.find("zarvex: 1 output file was not written, is damaged or is incomplete; --logfile=- shows why"),
              std::string::npos)
        << quiet.err;
}

TEST_F(EndToEnd, NoSpellingOfTheCommandLineDestroysAFileOrWritesElsewhere)
{
    MakeFolder("box");
    const std::string mail = UuPosting("picture.dat", picture);
    const std::string in = dir.Write("box/mail.txt", mail);
    const std::string other = dir.Write("box/notes.txt", "no findings here\n");
    const std::string out = MakeFolder("out"), remembered = MakeFolder("remembered");
    const std::string settings = "[Recent Dir List]\nDir1=" + remembered + "\n";
    test::WriteFile(ini, settings);
    const std::string to = "--outdir=" + out;
    struct Case { Args args; int status; const char* message; };
    const Case cases[] = {
        {{"--extract", to, "--report", in}, 2, "'--report' needs a value"},
        {{"--extract", to}, 2, "--extract needs at least one input file"},
        {{"--extract", "--outdri=" + out, in}, 2, "unknown switch '--outdri="},
        {{"--extract", "--outdir=", in}, 2, "'--outdir=' needs a value"},
        {{"--extract", to, "--logfile=" + in, in}, 255, "is one of the input files"},
        {{"--extract", to, "--report=" + in, in}, 255, "is one of the input files"},
        {{"--extract", to, "--report-json=" + in, in}, 255, "is one of the input files"},
        {{"--extract", to, "--listdump=" + other, dir / "box"}, 255, "is one of the input files"},
        {{"--extract", to, "--report=" + out, in}, 255, "is not a plain file"},
        {{"--extract", to, "--report=r.txt", "--listdump=./r.txt", in}, 255, "are the same file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const Result r = Run(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(ReadFile(in), mail);
        EXPECT_EQ(ReadFile(other), "no findings here\n");
        EXPECT_TRUE(RegularFiles(out).empty() && RegularFiles(remembered).empty() && RegularFiles(dir / "box").size() == 2);
        EXPECT_EQ(ReadFile(ini), settings);
    }
    // An input without findings, named like another input's attachment, with "Overwrite" on.
    const std::string same = dir.Write("box/picture.dat", "no findings either\n");
    Overwrite();
    const Result r = Extract("*", {"--logfile=-", same, in});
    EXPECT_EQ(r.status, 255);
    EXPECT_NE(r.err.find("picture.dat skipped: it is one of the input files."), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(same), "no findings either\n");
}

TEST_F(EndToEnd, TwoOutputsOfOneRunNeverReplaceEachOther)
{
    // Two mails with an attachment of the same name; "Overwrite" on.
    const std::string in = dir.Write("mail.txt", MimeMail("same.dat", picture) + MimeMail("same.dat", archive));
    const std::string out = MakeFolder("out");
    Overwrite();
    const Result r = Extract(out, {"--logfile=-", "--report-json=r.json", in});
    EXPECT_EQ(r.status, 255) << r.err;
    EXPECT_BYTES_EQ(picture, ReadFile(out + "/same.dat"));
    EXPECT_EQ(RegularFiles(out).size(), 1u);
    EXPECT_NE(r.err.find("same.dat skipped: an earlier output of this run has that name."), std::string::npos) << r.err;
    EXPECT_NE(ReadFile(dir / "r.json").find("\"written\": 1,"), std::string::npos);
}

TEST_F(EndToEnd, NamesReachTerminalsAndLogsEscapedAndDiskWithoutDirectionControls)
{
    const std::string bad = "bad\x1b[31m\a\xe2\x80\xaename\xc2\x9b.txt"; // ESC, BEL, U+202E, U+009B
    const std::string in = dir.Write("mail.txt", UuPosting("fdp\xe2\x80\xae.exe", picture, 1));
    const std::string out = MakeFolder("out");
    const Result r = Extract(out, {"--logfile=run.log", bad, dir / "*.txt"});
    for (const std::string& text : {r.err, ReadFile(dir / "run.log")})
        for (const char* raw : {"\x1b", "\a", "\xe2\x80\xae", "\xc2\x9b"}) EXPECT_EQ(text.find(raw), std::string::npos) << text;
    EXPECT_NE(r.err.find("skipped 'bad\\x1b[31m\\x07\\u202ename\\u009b.txt'"), std::string::npos) << r.err;
    EXPECT_BYTES_EQ(picture, ReadFile(out + "/fdp_.exe"));
}

TEST_F(EndToEnd, ALogFileThatCannotBeWrittenInFullIsSaid)
{
    std::string many;
    for (int i = 0; i < 3000; ++i) many += test::UuFile("data", "f" + std::to_string(i) + ".bin");
    const std::string in = dir.Write("mail.txt", test::Mail("many", many));
    envPrefix = "ulimit -f 128 && "; // 64 or 128 KB, by the shell's block size
    const Result r = Extract(MakeFolder("out"), {"--logfile=run.log", in});
    EXPECT_EQ(r.status, 255) << r.err;
    EXPECT_NE(r.err.find("the log file 'run.log' was not written: File too large"), std::string::npos) << r.err;
}

// The real core, whose extraction sends a signal to the process at its first
// look at the user interface (after 256 lines of data): a deterministic "Ctrl-C mid-write".
class SignalInsideExtraction final : public Engine, HeadlessHost
{
public:
    SignalInsideExtraction(int signo, std::string folder) : m_Signal(signo), m_Folder(std::move(folder))
    {
        WatchStopFlag(InterruptFlag());
    }
    int Scan(const std::string& p, MyCObArray& l, const Settings& s, RunContext& r, Host& h) override
    {
        return m_Core.Scan(p, l, s, r, h);
    }
    void Evaluate(MyCObArray& l) override { m_Core.Evaluate(l); }
    int Extract(MyCObArray& l, int g, CFInfo* part, const std::string& folder, int& answer, const Settings& s,
                RunContext& r, Host&) override
    {
        return m_Core.Extract(l, g, part, folder, answer, s, r, *this);
    }
    bool WriteReport(const MyCObArray&, const std::string&) override { return false; }
    bool WriteListDump(const MyCObArray&, const std::string&) override { return false; }
    bool PumpMessages() override
    {
        if (filesWhenSignalled < 0) {
            filesWhenSignalled = static_cast<int>(RegularFiles(m_Folder).size());
            ::raise(m_Signal);
        }
        return true;
    }

    int filesWhenSignalled = -1; // files in the output folder when the signal went

private:
    int m_Signal;
    std::string m_Folder;
    CoreEngine m_Core;
};

TEST_F(EndToEnd, InterruptRemovesTheOutputBeingWritten)
{
    const std::string big = test::RandomBytes(200'000, 13);
    const std::string in = dir.Write("mail.txt", UuPosting("big.dat", big));
    for (int signo : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signo);
        const std::string out = MakeFolder("out" + std::to_string(signo));
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            InstallInterruptHandlers();
            SignalInsideExtraction engine(signo, out);
            std::ostringstream o, e;
            const int status = RunProgram({"--extract", "--outdir=" + out, in}, engine, {}, o, e);
            ::_exit(engine.filesWhenSignalled == 1 ? status : 100 + engine.filesWhenSignalled);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << "the signal ended the process before it cleaned up";
        EXPECT_EQ(WEXITSTATUS(status), 254) << "100 + n: n files in the output folder at the signal";
        EXPECT_TRUE(RegularFiles(out).empty()) << RegularFiles(out).front();
    }
}

TEST_F(EndToEnd, ThousandsOfFileArguments)
{
    const std::string out = MakeFolder("out");
    const std::string single = test::RandomBytes(100, 5);
    Args args{"--extract", "--outdir=" + out};
    for (int i = 0; i < 2000; ++i) {
        const std::string name = "f" + std::to_string(i) + ".dat";
        args.push_back(dir.Write("in" + std::to_string(i) + ".txt", test::Mail(name, test::UuFile(single, name))));
    }
    const Result r = Run(args);
    EXPECT_EQ(r.status, 253) << r.err;
    EXPECT_BYTES_EQ(single, ReadFile(out + "/f0.dat"));
    EXPECT_BYTES_EQ(single, ReadFile(out + "/f1999.dat"));
}

} // namespace
} // namespace zarvex

#endif // ZARVEX_BINARY
