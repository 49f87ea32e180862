#include "app/command_line.h"
#include "app/wildcards.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace zarvex {
namespace {

using Args = std::vector<std::string>;

// The parsed line in one text: the flags set, then every value and list.
std::string Summary(const CommandLine& cl)
{
    std::string s;
    const std::pair<bool, char> flags[] = {{cl.extract, 'x'}, {cl.uninstall, 'u'}, {cl.readClipboard, 'c'},
                                           {cl.silent, 's'},  {cl.help, 'h'},      {cl.version, 'v'},
                                           {cl.saveRaw, 'r'}};
    for (const auto& [on, c] : flags)
        if (on) s += c;
    if (cl.hasOutDir) s += " out=" + cl.outDir;
    for (const auto& [key, value] : {std::pair{" report=", cl.report}, {" dump=", cl.listDump}, {" log=", cl.logFile}})
        if (!value.empty()) s += key + value;
    for (const auto& [key, list] :
         {std::pair{" files:", cl.files}, {" unknown:", cl.unknown}, {" missing:", cl.missingValues}}) {
        if (!list.empty()) s += key;
        for (const std::string& v : list) s += "[" + v + "]";
    }
    return s;
}

TEST(CommandLineText, SwitchesIgnoreCaseQuotesKeepBlanksAndPathsThatBeginWithSlashAreFiles)
{
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"/home/me/mail.txt /extracted/x.txt /extract /outdir=/o", "x out=/o files:[/home/me/mail.txt][/extracted/x.txt]"},
        {"\"/home/me/My Mail/inbox.txt\" /Extract /Outdir=*", "x out=* files:[/home/me/My Mail/inbox.txt]"},
        {"/extract", "x"},
        {"/extract /EXTRACT /Extract /eXtRaCt", "x"},
        {"/OutDir=/tmp/x /REPORT=r.txt /ListDump=d.txt /LOGFILE=- /UnInstall /ReadClipboard",
         "uc out=/tmp/x report=r.txt dump=d.txt log=-"},
        {"  \"my mail.txt\" /outdir=\"C D/out dir\" plain.txt", " out=C D/out dir files:[my mail.txt][plain.txt]"},
        {"\"open ended name", " files:[open ended name]"},
        {"/extract\"junk\" more.txt", "x"}, // a quote glued to a switch drops the rest
    };
    // clang-format on
    for (const auto& [line, expected] : cases) EXPECT_EQ(Summary(ParseCommandLineText(line)), expected) << line;
}

TEST(CommandLineArgs, EachArgumentIsOneTokenWithGnuSpellingsUnknownsAndDoubleDash)
{
    // clang-format off
    const std::pair<Args, const char*> cases[] = {
        {{"my mail.txt", "/EXTRACT", "/OutDir=out dir", "/Silent"}, "xs out=out dir files:[my mail.txt]"},
        {{"/extracted/x.txt", "/silentnight.txt", "/"}, " files:[/extracted/x.txt][/silentnight.txt][/]"},
        {{"--extract", "--outdir=o", "--report=r", "--listdump=d", "--logfile=-", "--readclipboard", "--uninstall",
          "--silent", "--help", "--version", "--save-raw", "in.txt"}, "xucshvr out=o report=r dump=d log=- files:[in.txt]"},
        {{"/save-raw"}, " files:[/save-raw]"},
        // A file to write is named only after "=": "--report r.txt" leaves r.txt alone.
        {{"--outdir", "my out", "--report", "r.txt", "a.txt", "--logfile"}, " out=my out files:[r.txt][a.txt] missing:[--report][--logfile]"},
        {{"--frobnicate", "--extract", "a.txt"}, "x files:[a.txt] unknown:[--frobnicate]"},
        {{"/outdir=", "--report="}, " missing:[/outdir=][--report=]"},
        {{"--extract", "--", "--extract", "/Silent", "-"}, "x files:[--extract][/Silent][-]"},
    };
    // clang-format on
    for (const auto& [args, expected] : cases) EXPECT_EQ(Summary(ParseArguments(args)), expected) << args[0];
}

TEST(Wildcards, OnlyTheNamePartCountsAndMatchesRegularFilesInByteOrderWithHiddenOnesByALeadingDot)
{
    for (const auto& [path, has] : {std::pair{"*.txt", true}, {"/mail/part?.eml", true},
                                    {"/mail*/inbox.txt", false}, {"plain.txt", false}})
        EXPECT_EQ(HasWildcards(path), has) << path;
    test::TempDir dir;
    for (const char* name : {"b.txt", "a.txt", "B.TXT", "a.eml", ".hidden.txt"}) dir.Write(name, "");
    ASSERT_EQ(::mkdir((dir / "c.txt").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo((dir / "d.txt").c_str(), 0600), 0);
    const std::string base = dir.Path().string();
    EXPECT_EQ(ExpandWildcards(base + "/*.txt"), (Args{base + "/a.txt", base + "/b.txt"}));
    EXPECT_EQ(ExpandWildcards(base + "/?.*"),
              (Args{base + "/B.TXT", base + "/a.eml", base + "/a.txt", base + "/b.txt"}));
    EXPECT_EQ(ExpandWildcards(base + "/.*.txt"), Args{base + "/.hidden.txt"});
    EXPECT_TRUE(ExpandWildcards(dir / "*.none").empty() && ExpandWildcards(dir / "missing/*.txt").empty());
}

} // namespace
} // namespace zarvex
