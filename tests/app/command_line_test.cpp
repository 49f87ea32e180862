#include "app/command_line.h"

#include <gtest/gtest.h>

namespace zarvex {
namespace {

using Args = std::vector<std::string>;
using Tokens = std::vector<std::pair<ArgCode, std::string>>;

// Every token of `line` with its value (empty for switches without one).
Tokens AllTokens(std::string_view rest)
{
    Tokens tokens;
    std::string value;
    for (ArgCode code; (code = NextToken(rest, value)) != ArgCode::End;) {
        const bool hasValue = code == ArgCode::Plain || code == ArgCode::OutDir || code == ArgCode::Report ||
                              code == ArgCode::ListDump || code == ArgCode::LogFile;
        tokens.emplace_back(code, hasValue ? value : "");
    }
    return tokens;
}

TEST(CommandLineTokens, LinesSplitIntoSwitchesAndNames)
{
    const std::vector<std::pair<const char*, Tokens>> cases = {
        {"/extract /EXTRACT /Extract /eXtRaCt", Tokens(4, {ArgCode::Extract, ""})},
        {"/OutDir=/tmp/x /REPORT=r.txt /ListDump=d.txt /LOGFILE=- /UnInstall /ReadClipboard",
         {{ArgCode::OutDir, "/tmp/x"}, {ArgCode::Report, "r.txt"}, {ArgCode::ListDump, "d.txt"},
          {ArgCode::LogFile, "-"}, {ArgCode::Uninstall, ""}, {ArgCode::ReadClipboard, ""}}},
        {"  \"my mail.txt\" /outdir=\"C D/out dir\" plain.txt",
         {{ArgCode::Plain, "my mail.txt"}, {ArgCode::OutDir, "C D/out dir"}, {ArgCode::Plain, "plain.txt"}}},
        {"\"open ended name", {{ArgCode::Plain, "open ended name"}}},
        {"/extract\"junk\" more.txt", {{ArgCode::Extract, ""}}}, // a quote glued to a switch drops the rest
    };
    for (const auto& [line, expected] : cases) EXPECT_EQ(AllTokens(line), expected) << line;
}

TEST(CommandLineText, PathsThatBeginWithSlashAreFilesAndQuotesKeepBlanks)
{
    CommandLine cl = ParseCommandLineText("/home/me/mail.txt /extracted/x.txt /extract /outdir=/o");
    EXPECT_EQ(cl.files, (Args{"/home/me/mail.txt", "/extracted/x.txt"}));
    EXPECT_TRUE(cl.extract);
    EXPECT_EQ(cl.outDir, "/o");
    cl = ParseCommandLineText("\"/home/me/My Mail/inbox.txt\" /Extract /Outdir=*");
    EXPECT_EQ(cl.files, Args{"/home/me/My Mail/inbox.txt"});
    EXPECT_TRUE(cl.extract && cl.hasOutDir);
    EXPECT_EQ(cl.outDir, "*");
    cl = ParseCommandLineText("/extract");
    EXPECT_TRUE(cl.extract);
    EXPECT_TRUE(cl.files.empty());
}

TEST(CommandLineArgs, EachArgumentIsOneTokenAndFlagsAreWholeArguments)
{
    CommandLine cl = ParseArguments({"my mail.txt", "/EXTRACT", "/OutDir=out dir", "/Silent"});
    EXPECT_EQ(cl.files, Args{"my mail.txt"});
    EXPECT_TRUE(cl.extract && cl.silent);
    EXPECT_EQ(cl.outDir, "out dir");
    cl = ParseArguments({"/extracted/x.txt", "/home/me/mail.txt", "/silentnight.txt", "/"});
    EXPECT_FALSE(cl.extract || cl.silent);
    EXPECT_EQ(cl.files, (Args{"/extracted/x.txt", "/home/me/mail.txt", "/silentnight.txt", "/"}));
}

TEST(CommandLineArgs, GnuSpellingsWithValuesInOrAfterTheArgument)
{
    CommandLine cl = ParseArguments({"--extract", "--outdir=o", "--report=r", "--listdump=d", "--logfile=-",
                                     "--readclipboard", "--uninstall", "--silent", "--help", "--version", "in.txt"});
    EXPECT_TRUE(cl.extract && cl.readClipboard && cl.uninstall && cl.silent && cl.help && cl.version);
    EXPECT_EQ(cl.outDir + cl.report + cl.listDump + cl.logFile, "ord-");
    EXPECT_EQ(cl.files, Args{"in.txt"});
    cl = ParseArguments({"--outdir", "my out", "--report", "r.txt", "a.txt", "--logfile"});
    EXPECT_EQ(cl.outDir, "my out");
    EXPECT_EQ(cl.report, "r.txt");
    EXPECT_EQ(cl.files, Args{"a.txt"});
    EXPECT_EQ(cl.missingValues, Args{"--logfile"});
}

TEST(CommandLineArgs, UnknownSwitchesEmptyValuesAndDoubleDash)
{
    CommandLine cl = ParseArguments({"--frobnicate", "--extract", "a.txt"});
    EXPECT_EQ(cl.unknown, Args{"--frobnicate"});
    EXPECT_TRUE(cl.extract);
    EXPECT_EQ(cl.files, Args{"a.txt"});
    cl = ParseArguments({"/outdir=", "--report="});
    EXPECT_FALSE(cl.hasOutDir);
    EXPECT_EQ(cl.missingValues, (Args{"/outdir=", "--report="}));
    cl = ParseArguments({"--extract", "--", "--extract", "/Silent", "-"});
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
