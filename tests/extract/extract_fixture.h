// Shared pieces of the extraction tests: a host that answers from a script
// and records what it was asked, whole encoded files from the test
// encoders, Python's email package for MIME shapes nobody here wrote, and
// hand-built records over input files the tests write.
#pragma once

#include "extract/engine.h"
#include "model/records.h"
#include "model/run_context.h"
#include "model/settings.h"
#include "platform/host.h"
#include "scan/scanner.h"
#include "support/encoders.h"
#include "support/test_support.h"
#include "text/messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace zarvex::test {

inline int CountOf(const std::string& text, std::string_view what)
{
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Answers questions with the buttons it was given, in order (then No), and
// records what it was asked and told.
class ScriptedHost : public Host {
public:
    void SetProgress(double percent) override { lastProgress = percent; }
    bool PumpMessages() override
    {
        ++pumps;
        if (onPump) onPump();
        return !quit;
    }
    bool AbortRequested() const override { return abort; }
    void RequestAbort() override { abort = true; }
    void ClearAbort() override { abort = false; }
    bool HasLog() const override { return true; }
    void Log(std::string_view text) override { log += text; }
    void SetStatus(std::string_view text) override { status = text; }
    bool Silent() const override { return silent; }
    bool ShiftKeyDown() const override { return shift; }
    void Beep() override { ++beeps; }
    int Ask(Prompt prompt, std::string_view subject) override
    {
        asked.emplace_back(prompt, std::string(subject));
        if (answers.empty()) return fallback;
        const int b = answers.front();
        answers.pop_front();
        return b;
    }
    void OutputCreated(std::string_view writePath) override
    {
        if (onOutputCreated) onOutputCreated(std::string(writePath));
    }
    int ChooseDuplicatePart(const std::vector<const CFInfo*>& parts) override
    {
        duplicateChoices.push_back(static_cast<int>(parts.size()));
        return chooseDuplicate;
    }
    std::string ChooseAppendTarget(std::string_view suggested) override
    {
        suggestions.emplace_back(suggested);
        return appendTarget;
    }

    std::string PlainLog() const { return StripColourMarkers(log); }
    int CountInLog(std::string_view what) const { return CountOf(PlainLog(), what); }
    int Asked(Prompt prompt) const
    {
        return static_cast<int>(std::count_if(asked.begin(), asked.end(), [&](auto& a) { return a.first == prompt; }));
    }

    std::deque<int> answers; // the buttons to answer with, in order; then `fallback`
    int fallback = button::No;
    std::function<void(const std::string&)> onOutputCreated; // runs inside OutputCreated
    std::function<void()> onPump;                             // runs inside PumpMessages
    bool silent = false, abort = false, quit = false, shift = false;
    std::string appendTarget, log, status;
    double lastProgress = 0;
    int pumps = 0, beeps = 0, chooseDuplicate = 0;
    std::vector<std::pair<Prompt, std::string>> asked;
    std::vector<std::string> suggestions;
    std::vector<int> duplicateChoices; // the number of candidates of each question
};

// Output of a shell command fed with `input` on its standard input (empty if it failed).
inline Bytes RunFilter(const std::string& command, const Bytes& input, const TempDir& dir)
{
    std::FILE* p = ::popen((command + " < '" + dir.Write("filter-input.bin", input) + "'").c_str(), "r");
    if (!p) return {};
    Bytes output;
    char buf[65536];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) output.append(buf, n);
    return ::pclose(p) == 0 ? output : Bytes();
}

inline bool HaveProgram(const char* path) { return ::access(path, X_OK) == 0; }
// The output of a Python script (empty when there is no python3).
inline Bytes Python(const std::string& script, const Bytes& input, const TempDir& dir)
{
    return RunFilter("python3 '" + dir.Write("script.py", script) + "'", input, dir);
}

// Lines joined, each with its LF.
inline std::string Text(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

// Whole encoded files: "begin", the data lines, the line of zero bytes and "end".
inline Bytes UuFile(const Bytes& payload, const std::string& name)
{
    return "begin 644 " + name + "\n" + Text(UuLines(payload)) + "end\n";
}
inline Bytes XxFile(const Bytes& payload, const std::string& name)
{
    return "begin 644 " + name + "\n" + Text(EncodeSixBitLines(payload, kXXAlphabetText)) + "+\nend\n";
}

inline std::string Join(const std::vector<std::string>& lines, std::size_t from, std::size_t to)
{
    std::string out;
    for (std::size_t i = from; i < to && i < lines.size(); ++i) out += lines[i];
    return out;
}

// The files in `folder` named as the engine names its temporary files, sorted.
inline std::vector<std::string> TemporaryFilesIn(const std::string& folder)
{
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename().string().starts_with("~ZRV")) found.push_back(e.path().string());
    std::sort(found.begin(), found.end());
    return found;
}

inline std::int64_t CountLines(std::string_view text) { return std::count(text.begin(), text.end(), '\n'); }

// A news article with `body`.
inline std::string Mail(const std::string& subject, const std::string& body)
{
    return "From: poster@example.org\nNewsgroups: alt.binaries.test\nSubject: " + subject +
           "\nDate: Mon, 1 Jan 2024 10:00:00 +0000\n\n" + body + "\n";
}

// Where one section of an input file the test wrote lies.
struct PartRange {
    std::string file;
    std::int64_t start = 0; // byte offset of the section
    std::int64_t end = 0;   // byte offset after it
    std::int64_t startLine = 1;
    std::uint32_t type = MT_UU;
    int part = 1;
    int total = 1;
};

// A part record over `range` with the output name `name`.
inline CFInfo* MakePart(const PartRange& range, const std::string& name)
{
    auto* p = new CFInfo;
    p->m_File = range.file, p->m_SPos = range.start, p->m_EPos = range.end;
    p->m_StartLine = range.startLine, p->m_EndLine = range.startLine + 1, p->m_MsgType = range.type;
    p->m_DestFile = p->m_OrigName = name, p->m_Part = range.part, p->m_Total = range.total;
    p->m_Subject = "test posting";
    return p;
}

// An input file holding `before` + `section` + `after`, and where the section lies in it.
inline PartRange WriteSection(const TempDir& dir, const std::string& fileName, const std::string& before,
                              const std::string& section, const std::string& after, std::uint32_t type,
                              int part = 1, int total = 1)
{
    const auto start = static_cast<std::int64_t>(before.size());
    return {dir.Write(fileName, before + section + after), start, start + static_cast<std::int64_t>(section.size()),
            CountLines(before) + 1, type, part, total};
}

// One sort list, its settings, a scripted host and the engine over them.
class ExtractTest : public ::testing::Test {
protected:
    ExtractTest() : list(settings, &host), engine(list, settings, run, host)
    {
        std::filesystem::create_directory(outDir);
    }

    // A complete record of the given parts (the first one gives the name).
    CSortInfo* AddRecord(const std::vector<CFInfo*>& parts)
    {
        CSortInfo* record = list.NewGroup();
        for (CFInfo* p : parts) record->Append(p);
        record->m_Expected = parts.front()->m_Total;
        record->m_Found = static_cast<int>(parts.size());
        record->m_Status = GS_COMPLETE;
        for (CFInfo* p : parts) list.AddInputFile(p->m_File);
        return record;
    }

    // A one-part record over `text` written to its own input file.
    CSortInfo* AddSingle(const std::string& name, const std::string& text, std::uint32_t type = MT_UU,
                         const std::string& before = "", const std::string& after = "")
    {
        return AddRecord({MakePart(WriteSection(dir, "in-" + name, before, text, after, type), name)});
    }

    int Extract(int index, int* answerState = nullptr, const std::string& folder = {})
    {
        int local = 0;
        const std::string& to = folder.empty() ? outDir : folder;
        return engine.ExtractOutputFile({.index = index, .outDir = to, .answerState = answerState ? answerState : &local});
    }

    // Scans every input, evaluates the groups and extracts the output of
    // every named part (of a record without one, its first element), as the
    // Extract command does. The number of files written.
    int ScanAndExtract(const std::vector<std::string>& inputs)
    {
        for (const std::string& in : inputs) {
            list.AddInputFile(in);
            ScanFile(in, list, settings, run, host);
        }
        list.Evaluate();
        int written = 0, state = 0;
        for (int g = 0; g < list.GetSize(); ++g) {
            std::vector<CFInfo*> named = list[g]->m_Named;
            if (named.empty()) named.push_back(nullptr);
            for (CFInfo* part : named)
                written += engine.ExtractOutputFile({.part = part, .index = g, .outDir = outDir, .answerState = &state,
                                                     .saveRaw = run.SaveRaw}) == extract_result::Written;
        }
        return written;
    }
    // A new list, log and output folder.
    void Restart()
    {
        list.RemoveAll();
        list.m_InputNames.clear();
        host.log.clear();
        std::filesystem::remove_all(outDir);
        std::filesystem::create_directory(outDir);
    }
    // The output files by name.
    std::map<std::string, Bytes> Written() const
    {
        std::map<std::string, Bytes> files;
        for (const auto& e : std::filesystem::directory_iterator(outDir))
            files[e.path().filename().string()] = ReadFile(e.path().string());
        return files;
    }
    std::string Out(const std::string& name) const { return outDir + "/" + name; }

    TempDir dir;
    std::string outDir = dir / "out";
    Settings settings;
    RunContext run;
    ScriptedHost host;
    MyCObArray list;
    Extractor engine;
};

} // namespace zarvex::test
