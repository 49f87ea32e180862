#include "app/command_line.h"

#include <gtest/gtest.h>

namespace zarvex {
namespace {

using Args = std::vector<std::string>;

TEST(CommandLineTokens, SwitchesMatchInAnyLetterCase)
{
    std::string value;
    for (const char* text : {"/extract", "/EXTRACT", "/Extract", "/eXtRaCt"}) {
        std::string_view rest = text;
        EXPECT_EQ(NextToken(rest, value), ArgCode::Extract) << text;
    }
    std::string_view rest = "/OutDir=/tmp/x /REPORT=r.txt /ListDump=d.txt /LOGFILE=- /UnInstall /ReadClipboard";
    EXPECT_EQ(NextToken(rest, value), ArgCode::OutDir);
    EXPECT_EQ(value, "/tmp/x");
    EXPECT_EQ(NextToken(rest, value), ArgCode::Report);
    EXPECT_EQ(value, "r.txt");
    EXPECT_EQ(NextToken(rest, value), ArgCode::ListDump);
    EXPECT_EQ(NextToken(rest, value), ArgCode::LogFile);
    EXPECT_EQ(value, "-");
    EXPECT_EQ(NextToken(rest, value), ArgCode::Uninstall);
    EXPECT_EQ(NextToken(rest, value), ArgCode::ReadClipboard);
    EXPECT_EQ(NextToken(rest, value), ArgCode::End);
}

TEST(CommandLineTokens, QuotedNamesKeepTheirBlanks)
{
    std::string value;
    std::string_view rest = "  \"my mail.txt\" /outdir=\"C D/out dir\" plain.txt";
    EXPECT_EQ(NextToken(rest, value), ArgCode::Plain);
    EXPECT_EQ(value, "my mail.txt");
    EXPECT_EQ(NextToken(rest, value), ArgCode::OutDir);
    EXPECT_EQ(value, "C D/out dir");
    EXPECT_EQ(NextToken(rest, value), ArgCode::Plain);
    EXPECT_EQ(value, "plain.txt");
    EXPECT_EQ(NextToken(rest, value), ArgCode::End);
}

TEST(CommandLineTokens, UnclosedQuoteRunsToTheEnd)
{
    std::string value;
    std::string_view rest = "\"open ended name";
    EXPECT_EQ(NextToken(rest, value), ArgCode::Plain);
    EXPECT_EQ(value, "open ended name");
    EXPECT_TRUE(rest.empty());
}

TEST(CommandLineTokens, QuoteGluedToASwitchDropsTheRest)
{
    std::string value;
    std::string_view rest = "/extract\"junk\" more.txt";
    EXPECT_EQ(NextToken(rest, value), ArgCode::Extract);
    EXPECT_EQ(NextToken(rest, value), ArgCode::End);
}

TEST(CommandLineTokens, PathsThatBeginWithSlashAreFiles)
{
    const CommandLine cl = ParseCommandLineText("/home/me/mail.txt /extracted/x.txt /extract /outdir=/o");
    EXPECT_EQ(cl.files, (Args{"/home/me/mail.txt", "/extracted/x.txt"}));
    EXPECT_TRUE(cl.extract);
    EXPECT_EQ(cl.outDir, "/o");
}

TEST(CommandLineText, ExtractVerbLine)
{
    const CommandLine cl = ParseCommandLineText("\"/home/me/My Mail/inbox.txt\" /Extract /Outdir=*");
    EXPECT_EQ(cl.files, Args{"/home/me/My Mail/inbox.txt"});
    EXPECT_TRUE(cl.extract);
    EXPECT_TRUE(cl.hasOutDir);
    EXPECT_EQ(cl.outDir, "*");
}

TEST(CommandLineText, LineThatIsOnlyExtract)
{
    const CommandLine cl = ParseCommandLineText("/extract");
    EXPECT_TRUE(cl.extract);
    EXPECT_TRUE(cl.files.empty());
}

TEST(CommandLineArgs, EachArgumentIsOneToken)
{
    const CommandLine cl = ParseArguments({"my mail.txt", "/EXTRACT", "/OutDir=out dir", "/Silent"});
    EXPECT_EQ(cl.files, Args{"my mail.txt"});
    EXPECT_TRUE(cl.extract);
    EXPECT_EQ(cl.outDir, "out dir");
    EXPECT_TRUE(cl.silent);
}

TEST(CommandLineArgs, FlagsComeFromWholeArgumentsOnly)
{
    const CommandLine cl = ParseArguments({"/extracted/x.txt", "/home/me/mail.txt", "/silentnight.txt", "/"});
    EXPECT_FALSE(cl.extract);
    EXPECT_FALSE(cl.silent);
    EXPECT_EQ(cl.files, (Args{"/extracted/x.txt", "/home/me/mail.txt", "/silentnight.txt", "/"}));
}

TEST(CommandLineArgs, GnuSpellings)
{
    const CommandLine cl = ParseArguments({"--extract", "--outdir=o", "--report=r", "--listdump=d", "--logfile=-",
                                           "--readclipboard", "--uninstall", "--silent", "--help", "--version",
                                           "in.txt"});
    EXPECT_TRUE(cl.extract && cl.readClipboard && cl.uninstall && cl.silent && cl.help && cl.version);
    EXPECT_EQ(cl.outDir, "o");
    EXPECT_EQ(cl.report, "r");
    EXPECT_EQ(cl.listDump, "d");
    EXPECT_EQ(cl.logFile, "-");
    EXPECT_EQ(cl.files, Args{"in.txt"});
}

TEST(CommandLineArgs, GnuValueMayFollowAsTheNextArgument)
{
    const CommandLine cl = ParseArguments({"--outdir", "my out", "--report", "r.txt", "a.txt", "--logfile"});
    EXPECT_EQ(cl.outDir, "my out");
    EXPECT_EQ(cl.report, "r.txt");
    EXPECT_EQ(cl.files, Args{"a.txt"});
    EXPECT_EQ(cl.missingValues, Args{"--logfile"});
}

TEST(CommandLineArgs, UnknownSwitchesAreSkipped)
{
    const CommandLine cl = ParseArguments({"--frobnicate", "--extract", "a.txt"});
    EXPECT_EQ(cl.unknown, Args{"--frobnicate"});
    EXPECT_TRUE(cl.extract);
    EXPECT_EQ(cl.files, Args{"a.txt"});
}

TEST(CommandLineArgs, EmptyValuesAreReported)
{
    const CommandLine cl = ParseArguments({"/outdir=", "--report="});
    EXPECT_FALSE(cl.hasOutDir);
    EXPECT_EQ(cl.missingValues, (Args{"/outdir=", "--report="}));
}

TEST(CommandLineArgs, DoubleDashEndsTheSwitches)
{
    const CommandLine cl = ParseArguments({"--extract", "--", "--extract", "/Silent", "-"});
    EXPECT_TRUE(cl.extract);
    EXPECT_FALSE(cl.silent);
    EXPECT_EQ(cl.files, (Args{"--extract", "/Silent", "-"}));
}

TEST(CommandLineArgs, ThousandsOfFiles)
{
    Args args{"--extract"};
    for (int i = 0; i < 5000; ++i) args.push_back("file" + std::to_string(i) + ".txt");
    const CommandLine cl = ParseArguments(args);
    ASSERT_EQ(cl.files.size(), 5000u);
    EXPECT_EQ(cl.files.back(), "file4999.txt");
}

} // namespace
} // namespace zarvex
