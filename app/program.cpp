#include "app/program.h"

#include "app/command_line.h"
#include "app/desktop/desktop_files.h"
#include "app/desktop/uninstall.h"
#include "app/server/command_client.h"
#include "app/server/command_string.h"
#include "app/engine.h"
#include "app/follow/follow_run.h"
#include "app/interrupts.h"
#include "app/json_report.h"
#include "app/output_entries.h"
#include "app/par2_repair.h"
#include "app/replacing_file.h"
#include "app/settings_ini.h"
#include "app/unattended.h"
#include "app/wildcards.h"
#include "extract/output_path.h"
#include "io/file_identity.h"
#include "io/sha256.h"
#include "model/records.h"
#include "model/unpacked_inputs.h"
#include "model/run_context.h"
#include "platform/headless_host.h"
#include "scan/input_sources.h"
#include "text/display_text.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <ostream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace zarvex {
namespace {

// A name or path inside a message: escaped, so that no control character or
// direction override of it reaches the terminal.
std::string Quoted(const std::string& s)
{
    return "'" + ToShownText(s) + "'";
}

// One unattended run from the parsed command line to the exit status.
class UnattendedRun : private OutputWatcher
{
public:
    UnattendedRun(const CommandLine& cl, Engine& engine, const std::string& iniPath, std::ostream& err)
        : m_Cl(cl), m_Engine(engine), m_IniPath(iniPath), m_Err(err), m_List(m_App.core, &m_Host)
    {
    }

    int Run()
    {
        LoadSettingsFile();
        // Everything is checked before the first file is opened for writing.
        if (!ChooseOutputFolder() || !CheckRunFiles() || !OpenLogFile()) return kExitCannotStart;
        m_Host.SetOverwriteAll(m_App.core.Overwrite);
        m_Host.WatchStopFlag(InterruptFlag());
        StartReporting();
        m_Run.SaveRaw = m_Cl.saveRaw;
        m_Run.KeepDates = m_Cl.keepDates;
        m_Run.HashOutputs = m_Json != nullptr;
        if (m_Cl.readClipboard) RefuseClipboard();
        const bool inputsOk = AddInputs();
        m_Par2Possible = m_App.Par2Repair && !Par2Bases(m_List, m_OutDir).empty();
        int result = RunUnattendedExtraction(m_List, m_App.core, m_Run, m_Host, m_Engine, m_OutDir, this,
                                             {.workers = ExtractionWorkers()});
        m_Host.EndProgressLine();
        if (m_Host.StopFlagged()) {
            // Interrupted: the output being written was removed; nothing more is written.
            Fail("interrupted; the output file being written was removed");
            FlushDeferred();
            CloseLogFile();
            WriteJsonReport(ExitStatusFor(-2));
            return ExitStatusFor(-2);
        }
        if (m_Par2Possible) result = RepairWithPar2(result);
        FlushDeferred();
        ReportFailedOutputs();
        if (!WriteDumps() || !inputsOk) result = result >= 0 ? -1 : result;
        SaveSettingsFile();
        if (!CloseLogFile()) result = result >= 0 ? -1 : result;
        if (!WriteJsonReport(ExitStatusFor(result))) result = -1;
        return ExitStatusFor(result);
    }

private:
    // The JSON report collects the log of each output; the progress line
    // shows only on a terminal that the run writes nothing else to.
    void StartReporting()
    {
        if (!m_Cl.reportJson.empty()) {
            m_Json = std::make_unique<JsonReport>();
            m_Json->SetOutputFolder(m_OutDir);
            m_Host.KeepLog(true);
        }
        if (&m_Err == &std::cerr && !m_Cl.silent && m_Cl.logFile != "-" && ::isatty(STDERR_FILENO))
            m_Host.ShowProgressOn(stderr);
    }

    void Starting(const CFInfo& named, int number, int count) override
    {
        if (m_Json) m_Host.TakeLogText(); // what came before belongs to no output
        m_Host.SetProgressTask("writing output " + std::to_string(number) + " of " + std::to_string(count) + ": " +
                                   ShortName(named.m_DestFile),
                               0);
        m_Host.SetProgress(0);
    }

    void Finished(const CSortInfo& group, const CFInfo& named, int result) override
    {
        // What the extraction told of the file it wrote (its first output:
        // recursive decoding may have written more).
        const std::vector<HeadlessHost::WrittenOutput> written = m_Host.TakeWrittenOutputs();
        const std::string path = written.empty() ? OutputPath(named) : written.front().path;
        const bool failed = result <= 0 || (group.m_Status & (ST_DATAERROR | ST_INCOMPLETE));
        // The JSON objects wait for par2, which may mend the outputs.
        if (m_Json && !m_Par2Possible)
            m_Json->AddOutputObject(OutputJson(group, named, path, m_Host.TakeLogText(), result,
                                               written.empty() || result <= 0 ? nullptr : &written.front()));
        else if (m_Par2Possible)
            m_Deferred.push_back({&group, &named, path, result, failed,
                                  m_Json ? OutputJson(group, named, path, m_Host.TakeLogText(), result,
                                                      written.empty() || result <= 0 ? nullptr : &written.front())
                                         : nlohmann::ordered_json()});
        if (failed)
            ++m_FailedOutputs;
        else
            ++m_WholeOutputs;
    }

    void FlushDeferred()
    {
        if (m_Json)
            for (const Deferred& d : m_Deferred) m_Json->AddOutputObject(d.json);
        m_Deferred.clear();
    }

    // An output as it was extracted, held until par2 had its say.
    struct Deferred
    {
        const CSortInfo* group;
        const CFInfo* named;
        std::string path;
        int result;
        bool failed;
        nlohmann::ordered_json json;
    };

    // The recovery sets that concern the outputs written are verified, and
    // repaired where they can be; a repaired output counts as written whole.
    int RepairWithPar2(int result)
    {
        if (m_App.core.IgnoreIncomplete) ExtractPar2Members(Par2Bases(m_List, m_OutDir));
        std::map<std::string, std::vector<std::string>> byFolder;
        for (const Deferred& d : m_Deferred)
            if (d.result > 0) byFolder[FolderOf(d.path)].push_back(d.path);
        for (const auto& [folder, paths] : byFolder) {
            for (const Par2Checked& c : VerifyAndRepair(folder, paths, m_Host)) {
                const std::string line = Par2PlainLine(c.set, c.result);
                m_Par2Report += line + "\r\n";
                if (c.result.outcome == Par2Result::Outcome::NotRepairable ||
                    c.result.outcome == Par2Result::Outcome::Failed)
                    SayOnTerminal(line); // the log has it already
                if (m_Json) m_Json->AddPar2(Par2Json(c));
                for (const std::string& name : c.result.repaired) Repaired(folder + "/" + name);
            }
        }
        if (m_FailedOutputs == 0 && result < 0 && result != -2) result = m_WholeOutputs;
        return result;
    }

    static nlohmann::ordered_json Par2Json(const Par2Checked& c)
    {
        static constexpr const char* kWords[] = {"verified", "repaired", "not repairable", "not checked"};
        return {{"set", c.set.base + ".par2"},
                {"folder", c.set.folder},
                {"result", kWords[static_cast<int>(c.result.outcome)]},
                {"files", c.set.names},
                {"repaired", c.result.repaired},
                {"blocksMissing", c.result.blocksMissing},
                {"reason", c.result.why.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(c.result.why)}};
    }

    // The output at `path` was mended: its record is whole again.
    void Repaired(const std::string& path)
    {
        for (Deferred& d : m_Deferred) {
            if (d.path != path || d.result <= 0) continue;
            const_cast<CSortInfo*>(d.group)->m_Status &= ~(ST_DATAERROR | ST_INCOMPLETE);
            if (d.failed) {
                d.failed = false;
                --m_FailedOutputs;
                ++m_WholeOutputs;
            }
            if (d.json.is_null()) continue;
            std::int64_t size = 0;
            const std::optional<std::string> digest = Sha256OfFile(path, &size);
            MarkRepairedOutput(d.json, size, digest.value_or(std::string()));
        }
    }

    // With "IgnoreIncomplete", an output that lacks parts was skipped; one
    // that belongs to a par2 posting is written all the same (gaps and
    // all), since the repair needs it.
    void ExtractPar2Members(const std::vector<std::string>& bases)
    {
        m_Par2Settings = m_App.core;
        m_Par2Settings.IgnoreIncomplete = false;
        std::vector<std::pair<CSortInfo*, CFInfo*>> members;
        std::erase_if(m_Deferred, [&](const Deferred& d) {
            const bool member = d.result < 0 && (d.group->m_Status & GS_MASK) != GS_COMPLETE &&
                                InPar2Posting(d.named->m_DestFile, bases);
            if (member) {
                members.emplace_back(const_cast<CSortInfo*>(d.group), const_cast<CFInfo*>(d.named));
                --m_FailedOutputs;
            }
            return member;
        });
        for (const auto& [group, named] : members) {
            int answer = m_App.core.Overwrite ? 2 : 0;
            if (m_Json) m_Host.TakeLogText();
            const int g = IndexOfGroup(m_List, group);
            const int r = g < 0 ? -1
                                : m_Engine.Extract(m_List, g, named, m_OutDir, answer, m_Par2Settings, m_Run, m_Host);
            Finished(*group, *named, SettleOutputStatus(*group, r) > 0 ? 1 : r);
        }
    }

    // The exit status alone does not say which outputs failed: point to the
    // log, which does, unless it already goes to standard error.
    void ReportFailedOutputs()
    {
        if (m_FailedOutputs == 0 || m_Cl.logFile == "-") return;
        const std::string count = std::to_string(m_FailedOutputs);
        Warn(count + (m_FailedOutputs == 1 ? " output file was not written, is damaged or is incomplete; "
                                           : " output files were not written, are damaged or are incomplete; ") +
             (m_Cl.logFile.empty() ? "--logfile=- shows why" : "the log file " + Quoted(m_Cl.logFile) + " says why"));
    }

    // Where the output of `named` was written (as the extraction builds it).
    std::string OutputPath(const CFInfo& named) const
    {
        return BuildOutputPath(ResolveOutputFolder(m_OutDir, InputLocation(m_List, named.m_File)),
                               named.m_DestFile, OutputSuffix(m_Run.SaveRaw));
    }

    // Output files are extracted on two threads where the machine has two
    // cores or more (the machines this is made for have two).
    static int ExtractionWorkers()
    {
        const unsigned cores = std::thread::hardware_concurrency();
        return cores >= 2 ? 2 : 1;
    }

    static std::string ShortName(const std::string& path)
    {
        const std::size_t slash = path.rfind('/');
        return ToShownText(CapText(slash == std::string::npos ? path : path.substr(slash + 1), 48));
    }

    bool WriteJsonReport(int exitStatus)
    {
        if (!m_Json) return true;
        for (const auto& [path, why] : m_NotRead)
            m_Json->AddInput(path, false, why);
        bool ok;
        if (m_Cl.reportJson == "-") {
            std::cout << std::flush;
            ok = m_Json->Write(stdout, kVersion, exitStatus) && std::fflush(stdout) == 0;
        } else {
            ReplacingFile file;
            ok = file.Open(m_Cl.reportJson) == 0 && m_Json->Write(file.Stream(), kVersion, exitStatus) &&
                 file.Commit() == 0;
        }
        if (ok) return true;
        Fail("cannot write the JSON report " + Quoted(m_Cl.reportJson));
        return false;
    }

    void Warn(const std::string& text)
    {
        m_Host.EndProgressLine();
        if (!m_Cl.silent) m_Err << "zarvex: " << text << '\n';
        if (m_Host.HasLog() && m_Cl.logFile != "-") m_Host.Log(text + "\r\n");
    }
    void SayOnTerminal(const std::string& text)
    {
        m_Host.EndProgressLine();
        if (!m_Cl.silent && m_Cl.logFile != "-") m_Err << "zarvex: " << text << '\n';
    }
    void Fail(const std::string& text)
    {
        m_Host.EndProgressLine();
        m_Err << "zarvex: " << text << '\n';
    }

    // Without a settings file the defaults apply, checked like loaded values.
    void LoadSettingsFile()
    {
        if (const int e = m_IniPath.empty() ? 0 : m_Ini.Load(m_IniPath); e != 0) {
            // Keep the file as it is: saving defaults over it would lose the user's settings.
            m_CanSave = false;
            m_Err << "zarvex: cannot read the settings file " << Quoted(m_IniPath) << ": " << std::strerror(e)
                  << "; using the defaults, the file is left unchanged\n";
        }
        m_App = LoadSettings(m_Ini);
    }

    void SaveSettingsFile()
    {
        if (m_IniPath.empty() || !m_CanSave) return;
        StoreSettings(m_App, true, m_Ini);
        if (const int e = m_Ini.Save(m_IniPath); e != 0)
            m_Err << "zarvex: cannot save the settings file " << Quoted(m_IniPath) << ": " << std::strerror(e)
                  << '\n';
    }

    // The folder named by --outdir, else the last extraction folder, else the current one.
    bool ChooseOutputFolder()
    {
        if (m_Cl.hasOutDir) {
            m_OutDir = m_Cl.outDir;
            m_App.Dirs[0] = m_OutDir;
            m_App.StreamDir = m_OutDir;
        } else {
            m_OutDir = m_App.Dirs[0].empty() ? "." : m_App.Dirs[0];
        }
        if (m_OutDir == "*") return true;
        switch (FolderState(m_OutDir)) {
        case 0:
            Fail("the output folder " + Quoted(m_OutDir) +
                 " does not exist (or is not a folder); nothing was done");
            return false;
        case 1:
            Fail("the output folder " + Quoted(m_OutDir) + " is not writable; nothing was done");
            return false;
        default:
            return true;
        }
    }

    // The log, report and list dump files are plain files (or new ones) in
    // folders that exist, no two of them the same, and never one of the
    // inputs: writing them would destroy what the run reads.
    bool CheckRunFiles()
    {
        FileIdentitySet inputs;
        CollectInputFiles(inputs);
        std::vector<std::pair<std::string, std::string>> seen; // where each one goes, and what it is
        for (const auto& [what, path] : RunFiles()) {
            const std::string where = Whereabouts(path);
            struct stat st
            {
            };
            if (where.empty()) {
                Fail("the folder of the " + what + " " + Quoted(path) + " does not exist; nothing was done");
                return false;
            }
            if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
                Fail("the " + what + " " + Quoted(path) + " exists and is not a plain file; nothing was done");
                return false;
            }
            if (inputs.Contains(path)) {
                Fail("the " + what + " " + Quoted(path) + " is one of the input files; nothing was done");
                return false;
            }
            for (const auto& [other, otherWhat] : seen) {
                if (other == where) {
                    Fail("the " + otherWhat + " and the " + what + " are the same file " + Quoted(path) +
                         "; nothing was done");
                    return false;
                }
            }
            seen.emplace_back(where, what);
        }
        return true;
    }

    // `path` with its folder resolved ("" when the folder does not exist).
    static std::string Whereabouts(const std::string& path)
    {
        const std::string folder = FolderOf(path);
        char* real = ::realpath(folder.empty() ? "." : folder.c_str(), nullptr);
        if (!real) return {};
        std::string where = real;
        std::free(real);
        return where + "/" + path.substr(path.rfind('/') + 1);
    }

    // The files the run writes about itself, by what they are.
    std::vector<std::pair<std::string, std::string>> RunFiles() const
    {
        std::vector<std::pair<std::string, std::string>> files;
        if (!m_Cl.logFile.empty() && m_Cl.logFile != "-") files.emplace_back("log file", m_Cl.logFile);
        if (!m_Cl.report.empty()) files.emplace_back("report", m_Cl.report);
        if (!m_Cl.listDump.empty()) files.emplace_back("list dump", m_Cl.listDump);
        if (!m_Cl.reportJson.empty() && m_Cl.reportJson != "-") files.emplace_back("JSON report", m_Cl.reportJson);
        return files;
    }

    // Every file the named inputs stand for: the files, the targets of link
    // files, and the files directly inside folders (what a walk reads).
    void CollectInputFiles(FileIdentitySet& into) const
    {
        std::vector<std::string> paths;
        for (const std::string& arg : m_Cl.files) {
            if (HasWildcards(arg) && !Exists(arg)) {
                for (const std::string& match : ExpandWildcards(arg)) paths.push_back(match);
            } else {
                paths.push_back(arg);
            }
        }
        for (std::string path : paths) {
            into.Add(path);
            if (auto target = DesktopLinkTarget(path)) {
                path = *target;
                into.Add(path);
            }
            for (const std::string& entry : RegularFilesIn(path)) into.Add(entry);
        }
    }

    // The log file is written under a temporary name and takes its own at the end.
    bool OpenLogFile()
    {
        if (m_Cl.logFile.empty()) return true;
        if (m_Cl.logFile == "-") return m_Host.OpenLogFile("-") == 0;
        if (const int e = m_LogFile.Open(m_Cl.logFile); e != 0) {
            Fail("cannot open the log file " + Quoted(m_Cl.logFile) + ": " + std::strerror(e) +
                 "; nothing was done");
            return false;
        }
        m_Host.SetLogStream(m_LogFile.Stream());
        return true;
    }

    // False when the log file could not be written in full (said on standard error).
    bool CloseLogFile()
    {
        if (!m_LogFile.Stream()) return true;
        m_Host.SetLogStream(nullptr);
        int e = m_Host.LogWriteError();
        const int committed = m_LogFile.Commit();
        if (e == 0) e = committed;
        if (e == 0) return true;
        Fail("the log file " + Quoted(m_Cl.logFile) + (committed == 0 ? " is incomplete: " : " was not written: ") +
             std::strerror(e));
        return false;
    }

    void RefuseClipboard()
    {
        const std::string text =
            "--readclipboard is for the window (started without --extract); "
            "the clipboard was not read";
        m_Err << "zarvex: " << text << '\n';
        if (m_Host.HasLog() && m_Cl.logFile != "-") m_Host.Log(text + "\r\n");
        m_InputsOk = false;
    }

    // Scans every file argument in order; false when one could not be read.
    bool AddInputs()
    {
        InputContext ctx(m_List, m_App.core, m_Run, m_Host,
                         [this](const std::string& path, MyCObArray& list, const Settings& s, RunContext& r,
                                Host& h) { return ScanOne(path, list, s, r, h); });
        ctx.quiet = true;
        if (m_Cl.files.empty()) Warn("no input files were named");
        for (const std::string& arg : m_Cl.files) {
            if (HasWildcards(arg) && !Exists(arg)) {
                for (const std::string& match : ExpandWildcards(arg))
                    if (!AddOne(match, ctx)) break;
            } else {
                AddOne(arg, ctx);
            }
        }
        for (const auto& [path, err] : ctx.unreadable) {
            m_NotRead.emplace_back(path, std::strerror(err));
            if (m_Cl.logFile != "-") m_Err << "zarvex: cannot read " << Quoted(path) << ": " << std::strerror(err) << '\n';
            m_InputsOk = false;
        }
        return m_InputsOk;
    }

    // Scans one file, with the progress line showing it and the report noting it.
    int ScanOne(const std::string& path, MyCObArray& list, const Settings& s, RunContext& r, Host& h)
    {
        struct stat st
        {
        };
        const std::int64_t size = ::stat(path.c_str(), &st) == 0 ? st.st_size : 0;
        m_Host.SetProgressTask("scanning " + ShortName(path), size);
        m_Host.SetProgress(0);
        const int found = m_Engine.Scan(path, list, s, r, h);
        m_Host.EndProgressLine();
        if (m_Json) m_Json->AddInput(path, found >= 0, "the scan failed");
        return found;
    }

    bool AddOne(const std::string& path, InputContext& ctx)
    {
        struct stat st
        {
        };
        if (::stat(path.c_str(), &st) != 0) {
            const int e = errno;
            Warn("skipped " + Quoted(path) + ": " + std::strerror(e));
            m_NotRead.emplace_back(path, std::strerror(e));
            m_InputsOk = false;
            return true;
        }
        if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
            Warn("skipped " + Quoted(path) + ": not a regular file or folder");
            m_NotRead.emplace_back(path, "not a regular file or folder");
            m_InputsOk = false;
            return true;
        }
        if (AddInputFile(path, false, ctx) < 0) {
            Warn("reading " + Quoted(path) + " failed; its parts were dropped");
            m_InputsOk = false;
            return false;
        }
        return true;
    }

    static bool Exists(const std::string& path)
    {
        struct stat st
        {
        };
        return ::stat(path.c_str(), &st) == 0;
    }

    bool WriteDumps()
    {
        bool ok = true;
        for (const auto& [what, path] : RunFiles()) {
            if (what != "log file" && m_List.m_RunInputs.Contains(path)) {
                Fail("the " + what + " " + Quoted(path) + " is one of the input files; it was not written");
                return false;
            }
        }
        const auto write = [&](const std::string& path, const std::string& what, auto writer) {
            ReplacingFile file;
            if (file.Open(path) == 0) {
                file.CloseStream(); // the writer writes it by name
                if ((m_Engine.*writer)(m_List, file.TemporaryPath()) && file.Commit() == 0) return;
            }
            Fail("cannot write the " + what + " " + Quoted(path));
            ok = false;
        };
        if (!m_Cl.report.empty()) write(m_Cl.report, "report", &Engine::WriteReport);
        if (!m_Cl.report.empty() && !m_Par2Report.empty() && ok) {
            // The par2 outcomes close the report.
            if (std::FILE* f = std::fopen(m_Cl.report.c_str(), "ae")) {
                ok = std::fputs(m_Par2Report.c_str(), f) >= 0;
                ok = std::fclose(f) == 0 && ok;
            }
        }
        if (!m_Cl.listDump.empty()) write(m_Cl.listDump, "list dump", &Engine::WriteListDump);
        return ok;
    }

    const CommandLine& m_Cl;
    Engine& m_Engine;
    std::string m_IniPath;
    std::ostream& m_Err;
    IniFile m_Ini;
    AppSettings m_App;
    RunContext m_Run; // what this run learns and chooses; never saved
    bool m_CanSave = true;
    bool m_InputsOk = true;
    int m_FailedOutputs = 0;
    int m_WholeOutputs = 0;
    bool m_Par2Possible = false; // a par2 set is among the outputs or in the output folder
    std::vector<Deferred> m_Deferred;
    std::string m_Par2Report; // the par2 lines of the report
    Settings m_Par2Settings;  // the settings of the par2 members' second chance
    std::string m_OutDir;
    HeadlessHost m_Host;
    MyCObArray m_List;
    std::unique_ptr<JsonReport> m_Json;
    ReplacingFile m_LogFile;
    std::vector<std::pair<std::string, std::string>> m_NotRead; // inputs not read, and why
};

// "--dde=COMMANDS": the running program's answer on `out`.
int SendDde(const std::string& commands, std::ostream& out, std::ostream& err)
{
    const auto answer = SendCommandString(CommandSocketPath(), commands);
    if (!answer) {
        err << "zarvex: no running zarvex program to send the commands to\n";
        return kExitNeedsDesktop;
    }
    if (*answer == kAnswerNone) {
        err << "zarvex: the running zarvex program does not answer; it may hang\n";
        return 1;
    }
    out << *answer << '\n';
    return *answer == kAnswerOk ? 0 : 1;
}

} // namespace

bool CheckUsage(const CommandLine& cl, std::ostream& err)
{
    for (const std::string& s : cl.unknown)
        err << "zarvex: unknown switch " << Quoted(s) << " (see --help)\n";
    for (const std::string& s : cl.missingValues) {
        std::string name = s;
        if (!name.empty() && name.back() == '=') name.pop_back();
        err << "zarvex: " << Quoted(s) << " needs a value: " << name << "=VALUE\n";
    }
    const bool noInput = cl.extract && cl.files.empty() && !cl.readClipboard && !cl.help && !cl.version;
    if (noInput) err << "zarvex: --extract needs at least one input file\n";
    const bool badFollow = cl.follow && (cl.files.empty() || cl.extract || cl.readClipboard) && !cl.help && !cl.version;
    if (badFollow)
        err << "zarvex: --follow needs at least one input file or folder, and goes without --extract and "
               "--readclipboard\n";
    if (cl.unknown.empty() && cl.missingValues.empty() && !noInput && !badFollow) return true;
    err << "zarvex: nothing was done\n";
    return false;
}

int RunProgram(const std::vector<std::string>& args, Engine& engine, const IniPathFunction& iniPath,
               std::ostream& out, std::ostream& err)
{
    const CommandLine cl = ParseArguments(args);
    if (cl.help) {
        out << UsageText();
        return 0;
    }
    if (cl.version) {
        out << "zarvex " << kVersion << '\n';
        return 0;
    }
    if (!CheckUsage(cl, err)) return kExitUsage;
    if (cl.hasDde) return SendDde(cl.dde, out, err);
    if (cl.uninstall)
        return RunUninstall(iniPath ? iniPath() : std::string(), DesktopPaths::FromProcess(), cl.silent, out, err);
    if (cl.follow) return RunFollow(cl, engine, iniPath ? iniPath() : std::string(), err);
    if (!cl.extract) {
        err << "zarvex: the desktop window is not available in this build; use --extract to extract the "
               "files "
               "named on the command line (see --help)\n";
        return kExitNeedsDesktop;
    }
    UnattendedRun run(cl, engine, iniPath ? iniPath() : std::string(), err);
    return run.Run();
}

} // namespace zarvex
