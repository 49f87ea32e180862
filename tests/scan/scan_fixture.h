// Helpers for the scanner tests: messages built line by line (remembering
// each line's offset and number) and a fixture that scans a file and
// collects every part the sort list received.
#pragma once

#include "model/records.h"
#include "model/run_context.h"
#include "model/settings.h"
#include "platform/headless_host.h"
#include "scan/scanner.h"
#include "support/encoders.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <new>
#include <string>
#include <vector>

namespace zarvex::test {

// Where a part lies, "sPos-ePos @ startLine-endLine", to compare in one go.
inline std::string Where(std::int64_t sPos, std::int64_t ePos, std::int64_t startLine, std::int64_t endLine)
{
    return std::to_string(sPos) + "-" + std::to_string(ePos) + " @ " + std::to_string(startLine) + "-" +
           std::to_string(endLine);
}
inline std::string Where(const CFInfo* p)
{
    return Where(p->m_SPos, p->m_EPos, p->m_StartLine, p->m_EndLine);
}

// A text file assembled line by line; marked lines can be looked up later.
class Doc
{
public:
    // Appends `line` (each of `lines`, after `prefix`) and its terminator.
    Doc& Add(const std::string& line, const std::string& eol = "\n")
    {
        m_Starts.push_back(Size());
        m_Text += line + eol;
        return *this;
    }
    Doc& AddAll(const std::vector<std::string>& lines, const std::string& prefix = "", const std::string& eol = "\n")
    {
        for (const auto& l : lines)
            Add(prefix + l, eol);
        return *this;
    }
    // Names the last line added.
    Doc& Mark(const std::string& name) { return m_Marks[name] = LineCount(), *this; }
    // Offset of the first byte of a marked line, offset after it, and its number (from 1).
    std::int64_t Pos(const std::string& name) const { return m_Starts[static_cast<std::size_t>(Line(name) - 1)]; }
    std::int64_t PosAfter(const std::string& name) const
    {
        const auto next = static_cast<std::size_t>(Line(name));
        return next < m_Starts.size() ? m_Starts[next] : Size();
    }
    std::int64_t Line(const std::string& name) const { return m_Marks.at(name); }
    // Where a part from the start of line `from` to the end of line `to` lies.
    std::string Span(const std::string& from, const std::string& to) const
    {
        return Where(Pos(from), PosAfter(to), Line(from), Line(to));
    }
    std::int64_t LineCount() const { return static_cast<std::int64_t>(m_Starts.size()); }
    std::int64_t Size() const { return static_cast<std::int64_t>(m_Text.size()); }
    const std::string& Text() const { return m_Text; }

private:
    std::string m_Text;
    std::vector<std::int64_t> m_Starts;
    std::map<std::string, std::int64_t> m_Marks;
};

inline std::string Repeat(std::string_view text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

inline std::vector<std::string> Slice(const std::vector<std::string>& v, std::size_t from, std::size_t to)
{
    return {v.begin() + static_cast<std::ptrdiff_t>(from),
            v.begin() + static_cast<std::ptrdiff_t>(std::min(to, v.size()))};
}

// Every part of every group, duplicates included, in file order.
inline std::vector<CFInfo*> AllParts(const MyCObArray& list)
{
    std::vector<CFInfo*> parts;
    for (int g = 0; g < list.GetSize(); ++g)
        for (int i = 0; i < list.GetAt(g)->GetSize(); ++i)
            for (CFInfo* p = list.GetAt(g)->GetAt(i); p; p = p->m_pNextDup.get())
                parts.push_back(p);
    std::sort(parts.begin(), parts.end(), [](const CFInfo* a, const CFInfo* b) { return a->m_SPos < b->m_SPos; });
    return parts;
}

// A host that counts progress calls and can quit, fail or cut the file short on cue.
class CountingHost : public HeadlessHost
{
public:
    void SetProgress(double percent) override
    {
        ++progressCalls;
        lastPercent = percent;
    }
    bool PumpMessages() override
    {
        if (++pumps == truncateAtPump) std::filesystem::resize_file(truncatePath, 100'000);
        if (pumps == abortAtPump) RequestAbort();
        return pumps <= quitAfterPumps;
    }
    bool Silent() const override { return silent; }
    void Beep() override { ++beeps; }
    int Ask(Prompt prompt, std::string_view subject) override
    {
        asked = static_cast<int>(prompt);
        askedText = subject;
        return button::Ok;
    }
    void RefreshOutputEntry(std::string_view) override
    {
        if (++refreshes == failOnRefresh) throw std::bad_alloc();
    }
    int progressCalls = 0, pumps = 0, quitAfterPumps = 1 << 30, refreshes = 0, failOnRefresh = -1;
    int beeps = 0, asked = 0, truncateAtPump = -1, abortAtPump = -1;
    double lastPercent = 0;
    bool silent = true;
    std::string askedText, truncatePath;
};

class ScanTest : public ::testing::Test
{
protected:
    ScanTest() { host.KeepLog(true); }

    int Scan(const std::string& file, std::int64_t* startPos = nullptr, std::int64_t* startLine = nullptr)
    {
        return ScanFile(file, list, settings, run, host, startPos, startLine);
    }
    // Writes `doc` to a file, scans it into a fresh list and returns the parts found.
    std::vector<CFInfo*> ScanDoc(const Doc& doc, const std::string& name = "in.txt")
    {
        path = dir.Write(name, doc.Text());
        list.RemoveAll();
        result = Scan(path);
        return AllParts(list);
    }

    // Scans `doc` and returns its one part: a blank record, after a failure, when there is not exactly one.
    const CFInfo* One(const Doc& doc)
    {
        static const CFInfo none;
        const auto parts = ScanDoc(doc);
        EXPECT_EQ(parts.size(), 1u);
        return parts.size() == 1 ? parts[0] : &none;
    }

    TempDir dir;
    Settings settings;
    RunContext run;
    CountingHost host;
    MyCObArray list{settings, &host};
    std::string path;
    int result = 0;
};

// A short header block of one message.
inline void AddHeaders(Doc& doc, const std::string& subject)
{
    doc.Add("From: Ann <ann@example.org>");
    doc.Add("Subject: " + subject).Mark("subject:" + subject);
    doc.Add("Date: Mon, 7 Dec 2026 10:00:00 +0000").Add("");
}

} // namespace zarvex::test
