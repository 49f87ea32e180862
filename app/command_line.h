// The command line: switches and input file names.
//
// Switches are "/outdir=", "/extract", "/follow", "/uninstall", "/readclipboard",
// "/report=", "/listdump=", "/logfile=" and "/Silent", in any letter case,
// and their GNU spellings ("--extract", "--outdir=DIR", ...). A token that
// begins with "/" is a switch only when it is one of these names (for a
// "name=" switch: when it begins with the name); any other such token is a
// file path, so "/extracted/x.txt" names a file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zarvex {

// The token codes; 0 to 8 are those the program has always used.
enum class ArgCode : int
{
    OutDir = 0,
    Extract = 1,
    Uninstall = 2,
    ReadClipboard = 3,
    Report = 4,
    ListDump = 5,
    LogFile = 6,
    Plain = 7, // a file name or wildcard pattern
    End = 8,   // end of the line, or an unknown switch (skipped)
    Silent = 9,
    Help = 10,
    Version = 11,
    ReportJson = 12, // GNU spelling only, like those after it
    KeepDates = 13,
    Dde = 14, // a command string for the running program
    SaveRaw = 15,
    Follow = 16, // keep following the inputs and write outputs as they complete
};

// Takes one token from the front of a command line held as one text (the
// form used by desktop launchers and by commands sent to a running program).
// Values may be quoted: "/outdir="my folder"" and "my file.txt".
ArgCode NextToken(std::string_view& rest, std::string& value);

// Classifies one argument of an argument list (quotes were removed by the
// shell). A switch without "=" that needs a value, such as "--outdir", is
// returned with `needsValue` set so that the caller takes the next argument
// (ParseArguments does so only for switches that name no file to write:
// "--report FILE" is a switch without its value).
ArgCode ClassifyArgument(std::string_view arg, std::string& value, bool& needsValue);

struct CommandLine
{
    bool extract = false; // extract everything and exit
    bool uninstall = false;
    bool readClipboard = false;
    bool silent = false;
    bool help = false;
    bool version = false;
    bool hasOutDir = false;
    std::string outDir; // "*" means the folder of each input file
    std::string report;
    std::string listDump;
    std::string logFile;                    // "-" means standard error
    std::string reportJson;                 // "-" means standard output
    bool keepDates = false;                 // outputs get their message's date
    bool hasDde = false;
    std::string dde;                        // "--dde=COMMANDS": sent to the running program
    bool saveRaw = false;                   // outputs are written undecoded (".uu")
    bool follow = false;                    // follow growing inputs until stopped
    std::vector<std::string> files;         // file names and patterns, in order
    std::vector<std::string> unknown;       // switches that were skipped
    std::vector<std::string> missingValues; // switches given without their value (or "--report F")
};

// Parses an argument list (without the program name). After "--" every
// argument is a file name.
CommandLine ParseArguments(const std::vector<std::string>& args);

// Parses a command line held as one text.
CommandLine ParseCommandLineText(std::string_view line);

// The text printed by --help.
std::string UsageText();

} // namespace zarvex
