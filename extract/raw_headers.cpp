// Save Raw: the undecoded lines of an output file, without the text between
// its parts, with header lines in front of each part, so that the file reads
// as a clean sequence of postings that this or another decoder takes again.
// The codecs' raw mode writes the data lines; this file writes the rest.
#include "extract/engine.h"

#include "io/buf_file.h"
#include "model/records.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace zarvex {
namespace {

// The host part of a message/partial id ("<hex>.<label>").
constexpr std::string_view kHostLabel = "zarvex";

int TotalOf(const CFInfo& part)
{
    return part.m_Total > 0 ? part.m_Total : part.m_yTotal;
}

std::string PartialHeader(const CFInfo& part, std::uint32_t id)
{
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(id));
    return "Content-Type: message/partial; number=" + std::to_string(std::max(1, part.m_Part)) +
           "; total=" + std::to_string(TotalOf(part)) + "; id=" + hex + "." + std::string(kHostLabel);
}

} // namespace

void Extractor::RawWrite(std::string_view text)
{
    m_Out->File().Write(text.data(), text.size());
}

void Extractor::RawLine(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    RawWrite(line);
    RawWrite("\r\n");
}

void Extractor::RawSubject(std::string_view subject, const CFInfo& part, bool leadingBreak)
{
    m_Call.rawHeaderPart = &part;
    const int total = TotalOf(part);
    if (total <= 1) return;
    RawWrite(std::string(leadingBreak ? "\r\n" : "") + "Subject: " + std::string(subject) + " (" +
             std::to_string(std::max(1, part.m_Part)) + "/" + std::to_string(total) + ")\r\n\r\n");
}

// UU and XX: the subject in front of each part and the "begin" line the
// data start at. UU keeps the lines it was given: no "begin" or line of zero
// bytes is made up; the held last data line is followed by the "end" line.
// XX also gets the "begin" and "end" lines it lacks, and its line of zero
// bytes: without them no decoder takes XX data again.
void Extractor::RawSixBitStart(bool uu, bool atBeginLine)
{
    // A later part restarted from its duplicate resumes; it has no "begin".
    if (m_Call.element != m_Call.first) return;
    RawSubject(m_Call.outputName, *m_Call.part, false);
    if (atBeginLine || !uu) RawLine(atBeginLine ? m_Call.line.View() : "begin 644 " + m_Call.outputName);
}

void Extractor::RawSixBitResume()
{
    if (m_Call.rawHeaderPart == m_Call.part) return;
    RawSubject(m_Call.outputName, *m_Call.part, true);
}

void Extractor::RawSixBitEnd(bool uu, const LineBuffer& zeroLine)
{
    if (!zeroLine.Empty() || !uu) RawLine(!zeroLine.Empty() ? zeroLine.View() : "+");
    // The "end" line keeps a line end: decoders that read lines want one.
    RawLine(m_Call.line.View());
}

// Base64: a Content-Type with the name for a file of one part; message/partial
// headers with one id for the parts of a file of several.
void Extractor::RawBase64Start()
{
    if (m_Call.rawId == 0)
        m_Call.rawId = static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                      std::chrono::steady_clock::now().time_since_epoch())
                                                      .count()) |
                       1u;
    if (m_Call.element != m_Call.first) {
        RawBase64Resume();
        return;
    }
    const CFInfo& part = *m_Call.part;
    m_Call.rawHeaderPart = &part;
    const std::string name = "name=\"" + m_Call.outputName + "\"\r\n";
    if (TotalOf(part) < 2)
        RawWrite("Content-Type: " + name);
    else
        RawWrite(PartialHeader(part, m_Call.rawId) + ";\r\n " + name);
    RawWrite("Content-Transfer-Encoding: base64\r\n\r\n");
}

void Extractor::RawBase64Resume()
{
    const CFInfo& part = *m_Call.part;
    if (m_Call.rawHeaderPart == &part || TotalOf(part) < 2 || part.m_Part > TotalOf(part)) return;
    m_Call.rawHeaderPart = &part;
    RawWrite("\r\n" + PartialHeader(part, m_Call.rawId) + "\r\nContent-Transfer-Encoding: base64\r\n\r\n");
}

// yEnc: a subject in front of each part's "=ybegin" line.
void Extractor::RawYencBegin()
{
    const CFInfo& part = *m_Call.part;
    const std::string& full = part.m_FullSubj;
    const bool named = !full.empty() && full.find(m_Call.outputName) != std::string::npos;
    RawSubject(named ? full : "yEnc " + m_Call.outputName, part, m_Call.element != m_Call.first);
    RawLine(m_Call.line.View());
}

void Extractor::RawBNewsStart()
{
    const CFInfo& part = *m_Call.part;
    if (TotalOf(part) > 1)
        RawWrite("Subject: BNEWS " + m_Call.outputName + " (1/" + std::to_string(TotalOf(part)) +
                 ")\r\n\r\n");
    RawLine(m_Call.line.View());
}

// The marker after the data of a part that is not the file's last.
void Extractor::RawPartEnd(const CFInfo& part, std::int64_t partStart)
{
    if ((part.m_MsgType & (MT_UU | MT_XX | MT_B64)) == 0 || m_Call.state == DecodeState::Finished) return;
    if (part.m_Part < 1 || part.m_Part >= part.m_Total || m_Out->File().GetPosition() <= partStart) return;
    RawWrite("\r\n_{ end part " + std::to_string(part.m_Part) + "}\r\n\r\n");
}

} // namespace zarvex
