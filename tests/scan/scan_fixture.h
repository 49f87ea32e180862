// Helpers for the scanner tests: messages built line by line (remembering
// each line's offset and number), small UU and Base64 encoders, and a
// fixture that scans a file and collects every part the sort list received.
#pragma once

#include "model/records.h"
#include "model/settings.h"
#include "platform/headless_host.h"
#include "scan/scanner.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zarvex::test {

// A text file assembled line by line; marks name lines to look their place up later.
class Doc
{
public:
    // Appends `line` and its terminator ("\n" unless given).
    Doc& Add(const std::string& line, const std::string& eol = "\n")
    {
        m_Lines.push_back({static_cast<std::int64_t>(m_Text.size()), ++m_Count});
        m_Text += line + eol;
        return *this;
    }
    Doc& Mark(const std::string& name)
    {
        m_Marks[name] = m_Lines.back();
        return *this;
    }
    Doc& AddAll(const std::vector<std::string>& lines, const std::string& prefix = "",
               const std::string& eol = "\n")
    {
        for (const auto& l : lines)
            Add(prefix + l, eol);
        return *this;
    }
    // Offset of the first byte of a marked line, offset after it, and its number.
    std::int64_t Pos(const std::string& name) const { return m_Marks.at(name).pos; }
    std::int64_t PosAfter(const std::string& name) const
    {
        const auto& m = m_Marks.at(name);
        const std::size_t i = static_cast<std::size_t>(m.line);
        return i < m_Lines.size() ? m_Lines[i].pos : static_cast<std::int64_t>(m_Text.size());
    }
    std::int64_t Line(const std::string& name) const { return m_Marks.at(name).line; }
    std::int64_t LineCount() const { return m_Count; }
    const std::string& Text() const { return m_Text; }

private:
    struct Place
    {
        std::int64_t pos;
        std::int64_t line;
    };
    std::string m_Text;
    std::vector<Place> m_Lines;
    std::map<std::string, Place> m_Marks;
    std::int64_t m_Count = 0;
};

inline std::vector<std::string> Slice(const std::vector<std::string>& v, std::size_t from, std::size_t to)
{
    return {v.begin() + static_cast<std::ptrdiff_t>(from), v.begin() + static_cast<std::ptrdiff_t>(std::min(to, v.size()))};
}

inline char UuChar(unsigned v)
{
    return v == 0 ? '`' : static_cast<char>((v & 0x3F) + 32);
}

// UU data lines of `data` (45 bytes a line), followed by the "`" line.
inline std::vector<std::string> UuLines(const std::string& data)
{
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < data.size(); at += 45) {
        const std::size_t n = std::min<std::size_t>(45, data.size() - at);
        std::string l(1, UuChar(static_cast<unsigned>(n)));
        for (std::size_t i = 0; i < n; i += 3) {
            unsigned char b[3] = {0, 0, 0};
            for (std::size_t k = 0; k < 3 && i + k < n; ++k)
                b[k] = static_cast<unsigned char>(data[at + i + k]);
            l += UuChar(b[0] >> 2);
            l += UuChar(((b[0] & 3) << 4) | (b[1] >> 4));
            l += UuChar(((b[1] & 15) << 2) | (b[2] >> 6));
            l += UuChar(b[2] & 63);
        }
        lines.push_back(l);
    }
    lines.push_back("`");
    return lines;
}

inline std::vector<std::string> Base64Lines(const std::string& data, std::size_t width = 76)
{
    static const char* abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string all;
    for (std::size_t i = 0; i < data.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, data.size() - i);
        unsigned v = 0;
        for (std::size_t k = 0; k < 3; ++k)
            v = (v << 8) | (k < n ? static_cast<unsigned char>(data[i + k]) : 0u);
        all += abc[(v >> 18) & 63];
        all += abc[(v >> 12) & 63];
        all += n > 1 ? abc[(v >> 6) & 63] : '=';
        all += n > 2 ? abc[v & 63] : '=';
    }
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < all.size(); at += width)
        lines.push_back(all.substr(at, width));
    return lines;
}

// Every part of every group, duplicates included, in file order.
inline std::vector<const CFInfo*> AllParts(const MyCObArray& list)
{
    std::vector<const CFInfo*> parts;
    for (int g = 0; g < list.GetSize(); ++g)
        for (int i = 0; i < list.GetAt(g)->GetSize(); ++i)
            for (const CFInfo* p = list.GetAt(g)->GetAt(i); p; p = p->m_pNextDup.get())
                parts.push_back(p);
    std::sort(parts.begin(), parts.end(), [](const CFInfo* a, const CFInfo* b) { return a->m_SPos < b->m_SPos; });
    return parts;
}

class ScanTest : public ::testing::Test
{
protected:
    ScanTest() { host.KeepLog(true); }

    int Scan(const std::string& file, std::int64_t* startPos = nullptr, std::int64_t* startLine = nullptr,
             std::uint64_t stopPos = 0)
    {
        return ScanFile(file, list, settings, host, startPos, startLine, stopPos);
    }
    // Writes `doc` to a file, scans it and returns the parts found.
    std::vector<const CFInfo*> ScanDoc(const Doc& doc, const std::string& name = "in.txt")
    {
        path = dir.Write(name, doc.Text());
        result = Scan(path);
        return AllParts(list);
    }

    TempDir dir;
    Settings settings;
    HeadlessHost host;
    MyCObArray list{settings, &host};
    std::string path;
    int result = 0;
};

// A short header block of one message.
inline void AddHeaders(Doc& doc, const std::string& subject,
                       const std::string& from = "Ann <ann@example.org>")
{
    doc.Add("From: " + from);
    doc.Add("Subject: " + subject).Mark("subject:" + subject);
    doc.Add("Date: Mon, 7 Dec 2026 10:00:00 +0000");
    doc.Add("");
}

} // namespace zarvex::test
