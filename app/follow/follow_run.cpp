#include "app/follow/follow_run.h"

#include "app/command_line.h"
#include "app/engine.h"
#include "app/follow/follow_events.h"
#include "app/follow/monitor.h"
#include "app/follow/par2_watch.h"
#include "app/follow/stream_step.h"
#include "app/interrupts.h"
#include "app/json_report.h"
#include "app/output_entries.h"
#include "app/par2_repair.h"
#include "app/program.h"
#include "app/settings_ini.h"
#include "extract/output_path.h"
#include "io/sha256.h"
#include "model/records.h"
#include "model/run_context.h"
#include "platform/headless_host.h"
#include "scan/input_sources.h"
#include "text/display_text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <malloc.h>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace zarvex {
namespace {

std::string Quoted(const std::string& s)
{
    return "'" + ToShownText(s) + "'";
}

std::string Absolute(const std::string& path)
{
    if (!path.empty() && path.front() == '/') return path;
    char* cwd = ::getcwd(nullptr, 0);
    if (!cwd) return path;
    std::string full = std::string(cwd) + "/" + path;
    std::free(cwd);
    return full;
}

// The same folder, however named.
bool SameFolder(const std::string& a, const std::string& b)
{
    struct stat sa
    {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// The engine as the run uses it, with every stream extraction told to the
// run as it ends (the log line and the JSON line of a finished output).
class ObservedEngine final : public Engine
{
public:
    using Observer = std::function<void(MyCObArray&, int groupIndex, CFInfo* part, int result)>;
    ObservedEngine(Engine& inner, Observer observer) : m_Inner(inner), m_Observer(std::move(observer)) {}

    int Scan(const std::string& path, MyCObArray& list, const Settings& s, RunContext& r, Host& h) override
    {
        return m_Inner.Scan(path, list, s, r, h);
    }
    int ScanFrom(const std::string& path, MyCObArray& list, const Settings& s, RunContext& r, Host& h,
                 std::int64_t& pos, std::int64_t& line) override
    {
        return m_Inner.ScanFrom(path, list, s, r, h, pos, line);
    }
    void Evaluate(MyCObArray& list) override { m_Inner.Evaluate(list); }
    int Extract(MyCObArray& list, int g, CFInfo* part, const std::string& folder, int& answer, const Settings& s,
                RunContext& r, Host& h) override
    {
        return m_Inner.Extract(list, g, part, folder, answer, s, r, h);
    }
    int ExtractStream(MyCObArray& list, int g, CFInfo* part, const std::string& folder, const Settings& s,
                      RunContext& r, Host& h) override
    {
        const int result = m_Inner.ExtractStream(list, g, part, folder, s, r, h);
        m_Observer(list, g, part, result);
        return result;
    }
    void ReleaseStreamOutputs(MyCObArray& list) override { m_Inner.ReleaseStreamOutputs(list); }
    void EndExtractCommand() override { m_Inner.EndExtractCommand(); }
    bool WriteReport(const MyCObArray& list, const std::string& path) override
    {
        return m_Inner.WriteReport(list, path);
    }
    bool WriteListDump(const MyCObArray& list, const std::string& path) override
    {
        return m_Inner.WriteListDump(list, path);
    }

private:
    Engine& m_Inner;
    Observer m_Observer;
};

// What par2 did to an output that was checked as soon as it was written.
enum class Par2Verdict
{
    NotMended,
    Mended,
};

struct FileId
{
    dev_t dev = 0;
    ino_t ino = 0;
    bool operator==(const FileId&) const = default;
};

// What was named on the command line: a folder to watch, or a file (its
// folder is watched, so that a file that is replaced or made again is seen).
struct Target
{
    std::string path;
    bool folder = false;
};

class FollowRun
{
public:
    FollowRun(const CommandLine& cl, Engine& engine, const std::string& iniPath, std::ostream& err)
        : m_Cl(cl), m_IniPath(iniPath), m_Err(err),
          m_Engine(engine, [this](MyCObArray& list, int g, CFInfo* part, int result) { Finished(list, g, part, result); }),
          m_List(m_App.core, &m_Host)
    {
    }
    ~FollowRun()
    {
        m_Host.SetLogStream(nullptr);
        if (m_LogFile) std::fclose(m_LogFile);
        if (m_Json && m_Json != stdout) std::fclose(m_Json);
    }

    int Run()
    {
        InstallInterruptHandlers();
        LoadSettingsFile();
        if (!m_Events.Ready()) return Fail("cannot watch the inputs: " + std::string(std::strerror(m_Events.Error())));
        if (!ChooseOutputFolder() || !ChooseTargets() || !OpenRunFiles()) return kExitCannotStart;
        // Every written output is told with its path, size and checksum.
        m_Run.HashOutputs = true;
        m_Run.KeepDates = m_Cl.keepDates;
        m_Host.SetOverwriteAll(m_App.core.Overwrite);
        m_Host.KeepLog(m_Json != nullptr);
        Say("following " + std::to_string(m_Targets.size()) + (m_Targets.size() == 1 ? " input" : " inputs") +
            "; output files go to " + Quoted(m_OutDir));
        m_Par2.Start(Par2Bases(m_List, m_OutDir));
        int signo = 0;
        for (;;) {
            Reconcile();
            Tick();
            if (*InterruptFlag() != 0) {
                signo = *InterruptFlag();
                break;
            }
            // The records of what was written were freed, but scattered
            // among live ones; the run may sleep for hours, so it hands
            // the free pages back rather than keep its high-water mark.
            ::malloc_trim(0);
            const FollowEvents::Wake wake =
                m_Events.Wait(&signo, m_Par2.MillisecondsToNext(Par2Watch::Clock::now(), Par2Quiet()));
            if (wake == FollowEvents::Wake::Stop) break;
            if (wake == FollowEvents::Wake::Reload) Reload();
            if (wake == FollowEvents::Wake::Failed) {
                Stop("waiting for changes failed: " + std::string(std::strerror(m_Events.Error())));
                return kExitCannotStart;
            }
        }
        Stop(std::string("stopped by ") + (signo == SIGINT ? "SIGINT" : "SIGTERM"));
        return 0;
    }

private:
    int Fail(const std::string& text)
    {
        m_Err << "zarvex: " << text << "; nothing was done\n";
        return kExitCannotStart;
    }

    // A note of the run: standard error (unless silent), and the log file
    // when it is not standard error already.
    void Say(const std::string& text)
    {
        if (!m_Cl.silent) m_Err << "zarvex: " << text << std::endl;
        if (m_LogFile) m_Host.Log(text + "\r\n");
    }

    void LoadSettingsFile()
    {
        IniFile ini;
        if (!m_IniPath.empty()) {
            if (const int e = ini.Load(m_IniPath); e != 0 && e != ENOENT)
                m_Err << "zarvex: cannot read the settings file " << Quoted(m_IniPath) << ": " << std::strerror(e)
                      << "; using the defaults\n";
        }
        // The sort list and the extractor keep a reference to these settings:
        // assigned in place, a reload reaches them.
        m_App = LoadSettings(ini);
    }

    void Reload()
    {
        const std::string streamDir = m_App.StreamDir;
        LoadSettingsFile();
        m_App.StreamDir = streamDir;
        m_Host.SetOverwriteAll(m_App.core.Overwrite);
        Say("SIGHUP: settings read again" + (m_IniPath.empty() ? std::string() : " from " + Quoted(m_IniPath)));
    }

    // --outdir, else the stream folder, else the extraction folder, else the current one.
    bool ChooseOutputFolder()
    {
        m_OutDir = m_Cl.hasOutDir            ? m_Cl.outDir
                   : !m_App.StreamDir.empty() ? m_App.StreamDir
                   : !m_App.Dirs[0].empty()   ? m_App.Dirs[0]
                                              : ".";
        if (m_OutDir == "*") {
            Fail("--follow needs one output folder (--outdir=DIR), not \"*\"");
            return false;
        }
        if (FolderState(m_OutDir) != 2) {
            Fail("the output folder " + Quoted(m_OutDir) + " does not exist or is not writable");
            return false;
        }
        m_OutDir = Absolute(m_OutDir);
        return true;
    }

    // Every named input: a folder that exists, or a file in a folder that
    // does (the file itself may come later). The output folder is not
    // followed: the run would read what it writes.
    bool ChooseTargets()
    {
        for (const std::string& named : m_Cl.files) {
            Target t{Absolute(named), false};
            struct stat st
            {
            };
            t.folder = ::stat(t.path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
            const std::string folder = t.folder ? t.path : FolderOf(t.path);
            if (FolderState(folder) == 0) {
                Fail("the folder of " + Quoted(named) + " does not exist");
                return false;
            }
            if (SameFolder(folder, m_OutDir)) {
                Fail("the output folder " + Quoted(m_OutDir) + " holds the input " + Quoted(named) +
                     "; follow a folder other than the output folder");
                return false;
            }
            m_Targets.push_back(std::move(t));
        }
        return true;
    }

    // The log and the JSON lines are appended as the run goes: a service's
    // log must be readable while it runs.
    bool OpenRunFiles()
    {
        if (m_Cl.logFile == "-") {
            m_Host.OpenLogFile("-");
        } else if (!m_Cl.logFile.empty()) {
            m_LogFile = std::fopen(m_Cl.logFile.c_str(), "ae");
            if (!m_LogFile) {
                Fail("cannot open the log file " + Quoted(m_Cl.logFile) + ": " + std::strerror(errno));
                return false;
            }
            std::setvbuf(m_LogFile, nullptr, _IOLBF, 0);
            m_Host.SetLogStream(m_LogFile);
        }
        if (m_Cl.reportJson == "-") {
            m_Json = stdout;
        } else if (!m_Cl.reportJson.empty()) {
            m_Json = std::fopen(m_Cl.reportJson.c_str(), "ae");
            if (!m_Json) {
                Fail("cannot open the JSON report " + Quoted(m_Cl.reportJson) + ": " + std::strerror(errno));
                return false;
            }
        }
        return true;
    }

    void JsonLine(const nlohmann::ordered_json& line)
    {
        if (!m_Json) return;
        std::fprintf(m_Json, "%s\n", line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
        std::fflush(m_Json);
    }

    // Brings the input list in line with the disk: files that appeared (and
    // are not empty) are added, files replaced by another (log rotation) are
    // read anew; files that are gone are the monitor tick's.
    void Reconcile()
    {
        // A folder may hold many files: each is looked up, not searched for.
        m_EntryAt.clear();
        for (std::size_t i = 0; i < m_Entries.size(); ++i) m_EntryAt.emplace(m_Entries[i].path, i);
        for (const Target& t : m_Targets) {
            const std::string folder = t.folder ? t.path : FolderOf(t.path);
            const bool watched = m_Events.WatchFolder(folder);
            if (watched != m_Watched[folder])
                Say(watched ? "watching " + Quoted(folder) : "the folder " + Quoted(folder) + " is gone; waiting for it");
            m_Watched[folder] = watched;
            if (t.folder) {
                for (const std::string& file : RegularFilesIn(t.path)) Consider(file);
            } else {
                Consider(t.path);
            }
        }
    }

    void Consider(const std::string& path)
    {
        struct stat st
        {
        };
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
        const FileId id{st.st_dev, st.st_ino};
        const auto known = m_EntryAt.find(path);
        if (known != m_EntryAt.end()) {
            InputEntry& entry = m_Entries[known->second];
            if (m_Ids[path] == id) {
                if (st.st_size > 0 && st.st_size < entry.size)
                    Say(Quoted(path) + " was truncated; it is read again from its last message");
                return;
            }
            // Another file under the same name: read from its start.
            Say(Quoted(path) + " was replaced; it is read anew");
            m_List.RemovePartsOf(path);
            entry.size = entry.scanPos = entry.scanLine = 0;
            m_Ids[path] = id;
            return;
        }
        if (st.st_size == 0) return;
        if (::access(path.c_str(), R_OK) != 0) {
            if (m_Unreadable.insert(path).second) Say("cannot read " + Quoted(path) + ": " + std::strerror(errno));
            return;
        }
        m_Unreadable.erase(path);
        InputEntry added;
        added.path = path;
        added.SetMonitored(true);
        m_EntryAt.emplace(path, m_Entries.size());
        m_Entries.push_back(std::move(added));
        m_Ids[path] = id;
        m_List.AddInputFile(path);
    }

    // What changed is scanned, and what can be written now is.
    void Tick()
    {
        bool inTick = false;
        // A scan of a large input may take long: a stop asked for meanwhile
        // ends it at the next line. Outputs are written with the signals
        // held, so that one begun is finished.
        m_Host.WatchStopFlag(InterruptFlag());
        m_Events.LetStopSignalsThrough(true);
        const MonitorOutcome out =
            MonitorTick({m_Entries, m_List, m_Engine, m_App.core, m_Run, m_Host}, {}, inTick);
        m_Events.LetStopSignalsThrough(false);
        m_Host.WatchStopFlag(nullptr);
        if (*InterruptFlag() != 0) return;
        for (const std::string& path : out.gone) {
            Say(Quoted(path) + " is gone or empty; its parts were dropped");
            m_Ids.erase(path);
        }
        if (!out.rebuild) {
            if (m_Par2.Waiting()) WriteQuietPar2Members(); // woken by the time, not by a change
            return;
        }
        m_Engine.Evaluate(m_List);
        const std::vector<OutputEntry> entries = EntriesFor(m_List);
        MarkListed(m_List, true);
        m_Host.TakeLogText(); // what the scan logged belongs to no output
        StreamStep(entries, {m_Engine, m_List, m_App.core, m_Run, m_Host, m_OutDir});
        if (m_Host.AbortRequested()) return; // stopping: the rest waits for no one
        CheckPar2();
        WriteQuietPar2Members();
        DropWrittenOutputs(m_List);
    }

    Par2Watch::Clock::duration Par2Quiet() const { return std::chrono::seconds(m_App.Par2WaitSeconds); }

    // A posting whose par2 files are in but some of whose parts are not
    // waits for them as any other; once no part of it has arrived for
    // "Par2WaitSeconds" it is written with zeros in its gaps, which par2
    // then mends where its recovery blocks reach.
    void WriteQuietPar2Members()
    {
        // With Par2Repair turned off (SIGHUP) nothing waits any more.
        const std::vector<OutputEntry> due = m_Par2.QuietPostings(
            m_App.Par2Repair ? EntriesFor(m_List) : std::vector<OutputEntry>(), Par2Watch::Clock::now(), Par2Quiet());
        if (due.empty()) return;
        // The outputs stream decoding holds belong to the extractor that
        // other settings replace: given up now, they are decoded anew from
        // their first part at the next step.
        m_Engine.ReleaseStreamOutputs(m_List);
        m_GapSettings = m_App.core;
        m_GapSettings.IgnoreIncomplete = false;
        for (const OutputEntry& e : due) WriteWithGaps(*e.group, *e.named);
        m_Engine.EndExtractCommand();
    }

    void WriteWithGaps(CSortInfo& group, CFInfo& named)
    {
        named.ClearFlag(PF_STREAM_WAITING);
        named.SetFlag(PF_STREAM_EXCLUDED); // one attempt: what comes later is par2's to mend
        const int index = IndexOfGroup(m_List, &group);
        int answer = m_App.core.Overwrite ? 2 : 0;
        m_Host.TakeLogText();
        const int result = m_Engine.Extract(m_List, index, &named, m_OutDir, answer, m_GapSettings, m_Run, m_Host);
        std::vector<HeadlessHost::WrittenOutput> written = m_Host.TakeWrittenOutputs();
        const std::string log = m_Host.TakeLogText();
        Par2Verdict verdict = Par2Verdict::NotMended;
        if (result > 0 && !written.empty()) {
            const std::string& path = written.front().path;
            for (const Par2Checked& c : VerifyAndRepair(m_OutDir, {path}, m_Host)) {
                TellPar2(c);
                for (const std::string& name : c.result.repaired)
                    if (name == path.substr(path.rfind('/') + 1)) verdict = Par2Verdict::Mended;
            }
            if (verdict == Par2Verdict::Mended) {
                MarkMended(group);
                HeadlessHost::WrittenOutput& out = written.front();
                out.sha256 = Sha256OfFile(out.path, &out.size).value_or(std::string());
            }
            m_Host.TakeLogText();
        }
        Tell(group, named, result, written, log, verdict);
    }

    // The recovery sets that concern what this step wrote.
    void CheckPar2()
    {
        std::vector<std::string> written = std::exchange(m_JustWritten, {});
        // Looking for the sets means reading the output folder, which a
        // long run fills: only outputs that a known set may cover go there.
        std::erase_if(written, [&](const std::string& path) { return !m_Par2.Covers(path); });
        if (!m_App.Par2Repair || written.empty()) return;
        for (const Par2Checked& c : VerifyAndRepair(m_OutDir, written, m_Host)) TellPar2(c);
        m_Host.TakeLogText(); // par2's lines belong to no output
    }

    void TellPar2(const Par2Checked& c)
    {
        const std::string line = Par2PlainLine(c.set, c.result);
        if (!m_LogFile && m_Cl.logFile != "-" && !m_Cl.silent) m_Err << "zarvex: " << line << std::endl;
        JsonLine({{"par2", c.set.base + ".par2"},
                  {"repaired", c.result.repaired},
                  {"blocksMissing", c.result.blocksMissing},
                  {"summary", line}});
    }

    // One stream extraction ended: a finished output is told.
    void Finished(MyCObArray& list, int groupIndex, CFInfo* part, int result)
    {
        std::vector<HeadlessHost::WrittenOutput> written = m_Host.TakeWrittenOutputs();
        const std::string log = m_Host.TakeLogText();
        // A stop asked for while this output was written ends the step here.
        if (FollowEvents::StopPending()) m_Host.RequestAbort();
        if (result == -2 || !part) return; // waits for more data
        if (result > 0 && !written.empty()) m_Par2.NoteWritten(written.front().path);
        Tell(*list.GetAt(groupIndex), *part, result, written, log);
    }

    // A finished output is told: a line in the log and one in the JSON report.
    // `par2` is what par2 did to it when it was checked already.
    void Tell(const CSortInfo& group, const CFInfo& named, int result,
              const std::vector<HeadlessHost::WrittenOutput>& written, const std::string& log,
              std::optional<Par2Verdict> par2 = std::nullopt)
    {
        const std::string name = written.empty() ? named.m_DestFile : written.front().path;
        if (result > 0 && !written.empty()) {
            ++m_WrittenCount;
            if (!par2) m_JustWritten.push_back(written.front().path);
            std::string note = "wrote " + Quoted(name) + " (" + std::to_string(written.front().size) + " bytes";
            if (par2 == Par2Verdict::Mended) note += ", repaired by par2";
            if (group.m_Status & ST_DATAERROR) note += ", damaged";
            if (group.m_Status & ST_INCOMPLETE) note += ", incomplete";
            Say(note + ")");
        } else {
            Say("did not write " + Quoted(name) +
                (m_LogFile || m_Cl.logFile == "-" ? "; the log says why" : "; --logfile=- shows why"));
        }
        nlohmann::ordered_json line = OutputJson(group, named, written.empty() ? std::string() : written.front().path,
                                                 log, result, written.empty() ? nullptr : &written.front());
        if (par2 == Par2Verdict::Mended) MarkRepairedOutput(line, written.front().size, written.front().sha256);
        JsonLine(line);
    }

    // Outputs still waiting for parts are given up (their temporary files
    // deleted), and the reports are written.
    void Stop(const std::string& why)
    {
        m_Engine.ReleaseStreamOutputs(m_List);
        if (!m_Cl.report.empty() && !m_Engine.WriteReport(m_List, m_Cl.report))
            Say("cannot write the report " + Quoted(m_Cl.report));
        if (!m_Cl.listDump.empty() && !m_Engine.WriteListDump(m_List, m_Cl.listDump))
            Say("cannot write the list dump " + Quoted(m_Cl.listDump));
        Say(why + "; " + std::to_string(m_WrittenCount) + " output files written");
        JsonLine({{"stopped", why}, {"outputsWritten", m_WrittenCount}, {"version", std::string(kVersion)}});
    }

    const CommandLine& m_Cl;
    std::string m_IniPath;
    std::ostream& m_Err;
    AppSettings m_App;
    RunContext m_Run;
    HeadlessHost m_Host;
    ObservedEngine m_Engine;
    MyCObArray m_List;
    FollowEvents m_Events;
    std::string m_OutDir;
    std::vector<Target> m_Targets;
    std::vector<InputEntry> m_Entries;
    std::unordered_map<std::string, std::size_t> m_EntryAt; // path to entry, during Reconcile
    std::unordered_map<std::string, FileId> m_Ids;
    std::map<std::string, bool> m_Watched;
    std::set<std::string> m_Unreadable;
    std::FILE* m_LogFile = nullptr;
    std::FILE* m_Json = nullptr;
    int m_WrittenCount = 0;
    std::vector<std::string> m_JustWritten; // by the current stream step
    Par2Watch m_Par2;
    Settings m_GapSettings; // the run's settings with "IgnoreIncomplete" off
};

} // namespace

int DropWrittenOutputs(MyCObArray& list)
{
    std::unordered_map<std::string, std::int64_t> lastStart;
    const auto eachPart = [&](const CSortInfo& group, auto visit) {
        for (int i = 0; i < group.GetSize(); ++i)
            for (CFInfo* part = group.GetAt(i); part; part = part->m_pNextDup.get()) visit(*part);
    };
    for (int g = 0; g < list.GetSize(); ++g)
        eachPart(*list.GetAt(g), [&](const CFInfo& part) {
            std::int64_t& last = lastStart.try_emplace(part.m_File, part.m_SPos).first->second;
            last = std::max(last, part.m_SPos);
        });
    int dropped = 0;
    for (int g = list.GetSize() - 1; g >= 0; --g) {
        CSortInfo* group = list.GetAt(g);
        if (group->m_ExtractMark != listing::Shown) continue;
        bool keep = false;
        eachPart(*group, [&](const CFInfo& part) {
            keep = keep || part.TestFlag(PF_OPENBUF | PF_STREAM_WAITING) || part.m_EPos > lastStart[part.m_File];
        });
        if (keep) continue;
        group->Clear();
        list.RemoveGroupAt(g);
        ++dropped;
    }
    if (dropped) list.InvalidateGroupIndex();
    return dropped;
}

int RunFollow(const CommandLine& cl, Engine& engine, const std::string& iniPath, std::ostream& err)
{
    FollowRun run(cl, engine, iniPath, err);
    return run.Run();
}

} // namespace zarvex
