#include "app/command_line.h"

#include "text/ascii.h"

#include <algorithm>
#include <array>
#include <span>

namespace zarvex {
namespace {

struct SwitchName
{
    std::string_view name; // ends with "=" when the switch takes a value
    ArgCode code;
};

// The order is that of the token codes 0 to 6.
constexpr std::array kSlashSwitches = {
    SwitchName{"/outdir=", ArgCode::OutDir},      SwitchName{"/extract", ArgCode::Extract},
    SwitchName{"/uninstall", ArgCode::Uninstall}, SwitchName{"/readclipboard", ArgCode::ReadClipboard},
    SwitchName{"/report=", ArgCode::Report},      SwitchName{"/listdump=", ArgCode::ListDump},
    SwitchName{"/logfile=", ArgCode::LogFile},    SwitchName{"/Silent", ArgCode::Silent},
    SwitchName{"/follow", ArgCode::Follow},
};
static_assert(kSlashSwitches[4].code == ArgCode::Report && static_cast<int>(kSlashSwitches[6].code) == 6);

constexpr std::array kGnuSwitches = {
    SwitchName{"--outdir=", ArgCode::OutDir},      SwitchName{"--extract", ArgCode::Extract},
    SwitchName{"--uninstall", ArgCode::Uninstall}, SwitchName{"--readclipboard", ArgCode::ReadClipboard},
    SwitchName{"--report=", ArgCode::Report},      SwitchName{"--listdump=", ArgCode::ListDump},
    SwitchName{"--logfile=", ArgCode::LogFile},    SwitchName{"--silent", ArgCode::Silent},
    SwitchName{"--help", ArgCode::Help},           SwitchName{"--version", ArgCode::Version},
    SwitchName{"--report-json=", ArgCode::ReportJson}, SwitchName{"--keep-dates", ArgCode::KeepDates},
    SwitchName{"--dde=", ArgCode::Dde},
    SwitchName{"--save-raw", ArgCode::SaveRaw},
    SwitchName{"--follow", ArgCode::Follow},
};

bool TakesValue(std::string_view name)
{
    return name.back() == '=';
}

// Finds `token` in `table`: a "name=" switch matches when the token begins
// with it, any other switch only when the whole token is its name.
const SwitchName* FindSwitch(std::string_view token, const auto& table)
{
    for (const SwitchName& s : table) {
        const bool hit =
            TakesValue(s.name) ? StartsWithIgnoreCase(token, s.name) : EqualsIgnoreCase(token, s.name);
        if (hit) return &s;
    }
    return nullptr;
}

bool IsValueSwitch(ArgCode code)
{
    return code == ArgCode::OutDir || code == ArgCode::Report || code == ArgCode::ListDump ||
           code == ArgCode::LogFile || code == ArgCode::ReportJson || code == ArgCode::Dde;
}

// The switches that name a file the run writes: their value must follow
// "=", so that no spelling takes the next argument (perhaps an input) as a
// file to replace.
bool NamesAnOutputFile(ArgCode code)
{
    return code == ArgCode::Report || code == ArgCode::ListDump || code == ArgCode::LogFile ||
           code == ArgCode::ReportJson;
}

bool IsBlank(char c)
{
    return IsAsciiSpace(static_cast<unsigned char>(c));
}

// A plain value at the front of `rest`: quoted up to the next double quote
// (or the end), else up to the next blank. `rest` continues behind it.
std::string TakePlainValue(std::string_view& rest)
{
    std::size_t end;
    std::string value;
    if (!rest.empty() && rest.front() == '"') {
        end = rest.find('"', 1);
        value = std::string(rest.substr(1, end == std::string_view::npos ? end : end - 1));
        if (end != std::string_view::npos) ++end;
    } else {
        end = 0;
        while (end < rest.size() && !IsBlank(rest[end]))
            ++end;
        value = std::string(rest.substr(0, end));
    }
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : std::min(end, rest.size()));
    return value;
}

void TrimFront(std::string_view& s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
}

void Apply(CommandLine& cl, ArgCode code, std::string value, std::string_view original)
{
    switch (code) {
    case ArgCode::OutDir:
        if (!value.empty()) {
            cl.outDir = std::move(value);
            cl.hasOutDir = true;
        }
        break;
    case ArgCode::Extract:
        cl.extract = true;
        break;
    case ArgCode::Uninstall:
        cl.uninstall = true;
        break;
    case ArgCode::ReadClipboard:
        cl.readClipboard = true;
        break;
    case ArgCode::Report:
        cl.report = std::move(value);
        break;
    case ArgCode::ListDump:
        cl.listDump = std::move(value);
        break;
    case ArgCode::LogFile:
        cl.logFile = std::move(value);
        break;
    case ArgCode::Plain:
        cl.files.push_back(std::move(value));
        break;
    case ArgCode::End:
        cl.unknown.emplace_back(original);
        break;
    case ArgCode::Silent:
        cl.silent = true;
        break;
    case ArgCode::Help:
        cl.help = true;
        break;
    case ArgCode::Version:
        cl.version = true;
        break;
    case ArgCode::ReportJson:
        cl.reportJson = std::move(value);
        break;
    case ArgCode::KeepDates:
        cl.keepDates = true;
        break;
    case ArgCode::Dde:
        cl.dde = std::move(value);
        cl.hasDde = true;
        break;
    case ArgCode::SaveRaw:
        cl.saveRaw = true;
        break;
    case ArgCode::Follow:
        cl.follow = true;
        break;
    }
}

} // namespace

ArgCode NextToken(std::string_view& rest, std::string& value)
{
    value.clear();
    TrimFront(rest);
    if (rest.empty()) return ArgCode::End;
    if (rest.front() != '/') {
        value = TakePlainValue(rest);
        return ArgCode::Plain;
    }
    // A switch: its name ends at "=", a blank, a double quote or the end.
    std::size_t i = 1;
    while (i < rest.size() && rest[i] != '=' && rest[i] != '"' && !IsBlank(rest[i]))
        ++i;
    const std::string_view token = rest.substr(0, i < rest.size() && rest[i] == '=' ? i + 1 : i);
    const SwitchName* known = FindSwitch(token, kSlashSwitches);
    if (!known) {
        // Not one of our switches: a path that begins with "/".
        value = TakePlainValue(rest);
        return ArgCode::Plain;
    }
    rest.remove_prefix(token.size());
    if (TakesValue(known->name)) {
        value = TakePlainValue(rest);
    } else if (!rest.empty() && rest.front() == '"') {
        rest = {}; // a quote glued to a switch name drops the rest of the line
    }
    return known->code;
}

ArgCode ClassifyArgument(std::string_view arg, std::string& value, bool& needsValue)
{
    value.clear();
    needsValue = false;
    const bool gnu = arg.size() > 2 && arg.substr(0, 2) == "--";
    if (!gnu && (arg.empty() || arg.front() != '/')) {
        value = std::string(arg);
        return ArgCode::Plain;
    }
    const SwitchName* known = FindSwitch(arg, gnu ? std::span<const SwitchName>(kGnuSwitches)
                                                  : std::span<const SwitchName>(kSlashSwitches));
    if (!known && gnu) {
        // "--outdir DIR": the value follows as the next argument.
        for (const SwitchName& s : kGnuSwitches) {
            if (TakesValue(s.name) && EqualsIgnoreCase(arg, s.name.substr(0, s.name.size() - 1))) {
                needsValue = true;
                return s.code;
            }
        }
        return ArgCode::End;
    }
    if (!known) {
        value = std::string(arg);
        return ArgCode::Plain;
    }
    if (TakesValue(known->name)) value = std::string(arg.substr(known->name.size()));
    return known->code;
}

CommandLine ParseArguments(const std::vector<std::string>& args)
{
    CommandLine cl;
    bool filesOnly = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (filesOnly) {
            cl.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            filesOnly = true;
            continue;
        }
        std::string value;
        bool needsValue = false;
        const ArgCode code = ClassifyArgument(arg, value, needsValue);
        if (needsValue) {
            if (i + 1 >= args.size() || NamesAnOutputFile(code)) {
                cl.missingValues.push_back(arg);
                continue;
            }
            value = args[++i];
        }
        if (IsValueSwitch(code) && value.empty()) {
            cl.missingValues.push_back(arg);
            continue;
        }
        Apply(cl, code, std::move(value), arg);
    }
    return cl;
}

CommandLine ParseCommandLineText(std::string_view line)
{
    CommandLine cl;
    std::string value;
    for (;;) {
        TrimFront(line);
        if (line.empty()) break;
        const std::string_view before = line;
        const ArgCode code = NextToken(line, value);
        Apply(cl, code, value, before.substr(0, before.size() - line.size()));
    }
    return cl;
}

std::string UsageText()
{
    return "Usage: zarvex [OPTION]... [FILE]...\n"
           "Find, assemble and decode binary files sent as text in mail and news\n"
           "(UUencode, XXencode, Base64, yEnc, BinHex, Quoted-Printable, ...).\n"
           "\n"
           "Options:\n"
           "  --extract, /extract        extract every output file found in FILEs and exit\n"
           "  --follow, /follow          keep reading FILEs as they grow, and the files\n"
           "                             that appear in FOLDERs, and write each output\n"
           "                             file as soon as its last part arrives, until\n"
           "                             stopped (see Follow mode below)\n"
           "  --outdir=DIR, /outdir=DIR  write the output files into DIR;\n"
           "                             \"*\" means the folder of each input file\n"
           "  --report=F, /report=F      write a report of the output list to F\n"
           "  --listdump=F, /listdump=F  write the list dump (diagnostics) to F\n"
           "  --logfile=F, /logfile=F    write the log to F (\"-\": standard error)\n"
           "  --report-json=F            write a JSON report of the run to F (\"-\":\n"
           "                             standard output)\n"
           "  --keep-dates               give each output file the date of its first\n"
           "                             part's message\n"
           "  --save-raw                 write the encoded data undecoded, cleaned of the\n"
           "                             text around them, as NAME.uu for decoding later\n"
           "  --silent, /Silent          no warnings about inputs that were skipped, and\n"
           "                             no progress line on a terminal\n"
           "  --readclipboard            read the clipboard as an input (desktop only)\n"
           "  --uninstall                give the file associations back to their\n"
           "                             previous programs, remove the program's menu\n"
           "                             entry and delete the settings file\n"
           "  --dde=COMMANDS             send COMMANDS to the running program and print\n"
           "                             its answer (ok, busy or error); for example\n"
           "                             --dde='[open(\"/tmp/a.uue\")]' or\n"
           "                             --dde='[extract(\"/tmp/out\")][quit]'\n"
           "  --help                     show this text and exit\n"
           "  --version                  show the version and exit\n"
           "\n"
           "FILE may be a file, a folder (its files are read, not its subfolders), a\n"
           "symbolic link or a .desktop link, or a pattern with * and ?. The files the\n"
           "run writes about itself are named after \"=\" only; they are checked before\n"
           "anything is written and appear whole at the end of the run.\n"
           "\n"
           "Compressed files and archives:\n"
           "  A FILE compressed with gzip, bzip2, xz, zstd or lz4, or a tar, zip or 7z\n"
           "  archive (known by its content, not its name), is unpacked into the working\n"
           "  folder and read like the file it holds; each file inside an archive is an\n"
           "  input of its own, shown as ARCHIVE/PATH/IN/ARCHIVE. At most ArchiveLimitMB\n"
           "  megabytes (16384) are unpacked from one FILE.\n"
           "\n"
           "winmail.dat:\n"
           "  An output in Microsoft's TNEF format (winmail.dat) is unpacked into the\n"
           "  files it holds, and a body held only as compressed RTF into message.rtf\n"
           "  (preference UnpackTnef, default 1); the winmail.dat itself is kept\n"
           "  unless TnefKeepContainer is 0. With --keep-dates the files take their\n"
           "  attachments' dates. Preferences live in section [Preferences] of\n"
           "  Zarvex.ini.\n"
           "\n"
           "Follow mode:\n"
           "  zarvex --follow --outdir=DIR FILE|FOLDER... runs without a display, as a\n"
           "  service: a FILE is read again from its last message whenever it grows; a\n"
           "  FOLDER is watched for files that appear or grow. Each finished output is\n"
           "  logged on standard error, in the --logfile, and with --report-json as one\n"
           "  JSON object per line. A FILE that is truncated, replaced or deleted is said\n"
           "  so in the log and read anew when it is back. SIGTERM or SIGINT finishes the\n"
           "  output being written, removes outputs still waiting for parts, writes\n"
           "  --report and --listdump and exits 0; SIGHUP reads Zarvex.ini again. The\n"
           "  systemd user unit zarvex-follow@.service follows the folder named by its\n"
           "  instance, for example: systemctl --user enable --now\n"
           "  zarvex-follow@$(systemd-escape ~/spool).service (outputs go to\n"
           "  ~/Downloads/zarvex).\n"
           "\n"
           "par2:\n"
           "  After an extraction (also in follow mode and in the window), the .par2\n"
           "  recovery sets in the output folder that concern the outputs written are\n"
           "  checked with \"par2 verify\" and, when their recovery blocks suffice,\n"
           "  mended with \"par2 repair\" (Debian package par2). The log, the report and\n"
           "  the JSON report say \"verified\", \"repaired N files\" or \"not repairable:\n"
           "  N blocks missing\"; a repaired output counts as written whole. An output\n"
           "  of a par2 posting that lacks parts is written even with IgnoreIncomplete=1;\n"
           "  in follow mode once its .par2 files are in and none of its parts has come\n"
           "  for Par2WaitSeconds (default 300). Preference Par2Repair=0 turns this off.\n"
           "\n"
           "Exit status:\n"
           "  An extraction: the number of files written whole (253 for 253 or more),\n"
           "  255 when an output file was not written, is damaged or is incomplete, or\n"
           "  the run could not start, 254 when it was aborted; 2 for a command line\n"
           "  that is wrong (nothing is done) or a run that needs the desktop window.\n"
           "  --dde: 0 for ok, 1 for busy or error, 2 when no program is running.\n"
           "  --follow: 0 when stopped by a signal, 255 when it could not start.\n";
}

} // namespace zarvex
