// The line state machine of Base64 sections, with the MIME header reader
// that finds the body, its boundary and the length of its data lines, and
// the joining of data lines that a transport broke in two.
#include "extract/engine.h"

#include "codec/base64.h"
#include "codec/line_tests.h"
#include "io/buf_file.h"
#include "model/records.h"
#include "platform/host.h"
#include "text/ascii.h"
#include "text/text_utils.h"

#include <algorithm>
#include <cstring>

namespace zarvex {
namespace {

constexpr int kJoinLimit = 80; // a broken-off rest is shorter than this
constexpr int kMimeLine = 76;  // the longest line MIME allows

bool IsBlank(std::string_view text)
{
    for (char c : text)
        if (!IsAsciiSpace(static_cast<unsigned char>(c))) return false;
    return true;
}

bool IsBase64(const LineBuffer& line) { return IsBase64Line(line.text, line.len); }

// "--" + boundary, the separator before another body part or the closing one.
bool IsBoundaryLine(std::string_view line, std::string_view boundary)
{
    return !boundary.empty() && line.size() >= boundary.size() + 2 && line.starts_with("--") &&
           line.substr(2, boundary.size()) == boundary;
}

} // namespace

void Extractor::TakeCarry(LineBuffer& line)
{
    if (m_Call.carry.empty()) return;
    const std::size_t n = std::min(m_Call.carry.size(), static_cast<std::size_t>(kMaxLineText + 3 - line.len));
    std::memmove(line.text + n, line.text, static_cast<std::size_t>(line.len) + 1);
    std::memcpy(line.text, m_Call.carry.data(), n);
    line.len += static_cast<int>(n);
    m_Call.carry.clear();
}

void Extractor::KeepCarry(LineBuffer& line, int keep)
{
    if (!m_Call.midLine || keep >= line.len) return;
    m_Call.carry.assign(line.text + keep, static_cast<std::size_t>(line.len - keep));
    line.len = keep;
    line.text[keep] = '\0';
}

bool Extractor::DelimiterAfterPart() const
{
    char ahead[256];
    const std::size_t n = m_Call.endPos > 0 ? m_In->ReadAt(m_Call.endPos, ahead, sizeof ahead) : 0;
    std::size_t i = 0;
    while (i < n && IsAsciiSpace(static_cast<unsigned char>(ahead[i])))
        ++i;
    return i + 1 < n && ahead[i] == '-' && ahead[i + 1] == '-';
}

bool Extractor::EndsItsFile() const
{
    // The output ends with this part when no part of the same file follows
    // it: it is the record's last element, or the next one carries a name
    // of its own.
    const CSortInfo& record = *m_Call.record;
    const auto endsAt = [&record](int i) {
        return i + 1 == record.GetSize() || record.IndexOfNamed(record.GetAt(i + 1)) >= 0;
    };
    const auto holds = [&record, this](int i) {
        for (const CFInfo* p = record.GetAt(i); p; p = p->m_pNextDup.get())
            if (p == m_Call.part) return true;
        return false;
    };
    // A part is held once: the element being decoded is looked at first, so
    // that a record of thousands of files is not walked for each of them.
    const int element = m_Call.element;
    if (element >= 0 && element < record.GetSize() && holds(element)) return endsAt(element);
    for (int i = 0; i < record.GetSize(); ++i)
        if (holds(i)) return endsAt(i);
    return false;
}

bool Extractor::AtBoundaryEndingTheFile(const LineBuffer& line) const
{
    const std::string_view text = line.View();
    if (!m_Call.boundary.empty()) return IsBoundaryLine(text, m_Call.boundary);
    // The body's boundary was given in a header outside the part: a "--"
    // line that closes the part ends the data.
    return text.size() >= 3 && text.starts_with("--") && !BeforePartEnd() && m_Call.record && EndsItsFile();
}

bool Extractor::JoinBrokenBase64Line(LineBuffer& line, bool wholeLineInPart)
{
    LineBuffer next;
    int rawLength = 0;
    if (!PeekNextLine(next, &rawLength)) return false;
    next.StripLineEnd();
    if (next.len == 0 || next.len >= kJoinLimit || !IsBase64(next)) return false;
    if (wholeLineInPart && m_Call.endPos > 0 && m_Call.pos + rawLength > m_Call.endPos) return false;
    if (!ReadNextLine(next)) return false;
    next.StripLineEnd();
    line.Append(next.View());
    return true;
}

void Extractor::ParseBoundary(std::string_view line)
{
    const std::size_t at = FindIgnoreCase(line, "oundary=");
    if (at == std::string_view::npos) return;
    std::string_view value = line.substr(at + 8);
    std::size_t end = 0;
    if (!value.empty() && value.front() == '"') {
        value.remove_prefix(1);
        end = value.find('"');
    } else {
        while (end < value.size() && !IsAsciiSpace(static_cast<unsigned char>(value[end]))) ++end;
    }
    value = value.substr(0, std::min(end, value.size()));
    m_Call.boundary.assign(value.substr(0, std::min<std::size_t>(value.size(), kMaxLineText)));
}

int Extractor::ReadMimeHeaders()
{
    LineBuffer& line = m_Call.line;
    line.StripLineEnd();
    bool typeSeen = false;
    // A Base64 part that starts at a MIME header line (its own header,
    // whose transfer encoding may stand before the part's start) has its
    // body after the first blank line.
    bool base64Seen = StartsWithIgnoreCase(line.View(), "Content-") &&
                      FindIgnoreCase(line.View(), "multipart/") == std::string_view::npos;
    bool inBody = false;
    for (bool firstLine = true;; firstLine = false) {
        const std::string_view text = line.View();
        bool found = false;
        // A data line right away: a message that is nothing but Base64 (some
        // mailers write a whole attachment as one line).
        if (IsBase64(line) && (line.len >= 46 || (line.len > 0 && text.back() == '=')) &&
            !IsHeaderOrSeparator(line.text, line.len, false) && (firstLine || !(typeSeen || base64Seen)))
            found = true;
        if (!found && line.len > 0 && (text[0] == 'C' || text[0] == 'c')) {
            const std::string_view rest = text.substr(1);
            if (StartsWithIgnoreCase(rest, "ontent-Type:"))
                typeSeen = true;
            else if (StartsWithIgnoreCase(rest, "ontent-Transfer-Encoding:") &&
                     FindIgnoreCase(rest.substr(25), "base64") != std::string_view::npos)
                base64Seen = true;
        }
        if (!found && !inBody) {
            if (base64Seen && IsBlank(text))
                inBody = true;
            else if ((typeSeen || base64Seen) && line.len >= 60 && IsBase64(line))
                found = true;
        } else if (!found && line.len >= 4 && !text.starts_with("--")) {
            found = true; // (a "--" line is a delimiter, never Base64)
        }
        if (!found && line.len > 10) ParseBoundary(text);
        if (found) break;
        if (m_Host.AbortRequested() || !BeforePartEnd() || !ReadNextLine(line)) return -1;
        line.StripLineEnd();
    }
    if (line.len % 4 != 0 && !m_Call.midLine) JoinBrokenBase64Line(line, true);
    return line.len;
}

void Extractor::DecodeBase64Data()
{
    LineBuffer& line = m_Call.line;
    const bool firstLine = !m_Call.dataWritten;
    // The codec takes the line with its line feed.
    line.text[line.len] = '\n';
    line.text[line.len + 1] = '\0';
    int result = DecodeBase64Line(&m_Out->File(), line.text, line.len + 1, m_Call.boundary, m_Call.saveRaw);
    line.text[line.len] = '\0';
    // A raw copy decodes nothing: the padding tells where the data end.
    if (m_Call.saveRaw && result == B64_OK && line.View().find('=') != std::string_view::npos) result = B64_END;
    // A body of one line shorter than MIME's longest is short too: it is its own last line.
    if (result == B64_OK)
        m_Call.shortDataLine = line.len < m_Call.expectedLength || (firstLine && line.len < kMimeLine);
    switch (result) {
    case B64_BROKEN_GROUP:
        DamagedLine(msg::ShortLine);
        if (m_Call.state == DecodeState::SwitchToDuplicate && m_Call.errorCount <= 5) ReportLineError(msg::TryingAlternate);
        break;
    case B64_END:
        m_Call.dataWritten = true;
        FinishFile();
        break;
    case B64_CLOSING:
        FinishFile();
        break;
    case B64_NOTHING:
        // A blank line pauses the body; the bytes go out with the next
        // write or the close (no sync per line).
        m_Call.state = DecodeState::Paused;
        break;
    default:
        m_Call.dataWritten = true;
        break;
    }
}

void Extractor::HandleBase64Line()
{
    LineBuffer& line = m_Call.line;
    DecodeState& state = m_Call.state;
    line.StripLineEnd();
    // The bare line break after a piece that filled a whole line buffer ends
    // that line; it is no blank line of its own.
    if (m_Call.continuesLine && line.len == 0) return;
    TakeCarry(line);
    if (state != DecodeState::SeekingStart && !m_Call.midLine && line.len % 4 != 0 && BeforePartEnd())
        JoinBrokenBase64Line(line, false);

    if (state == DecodeState::SeekingStart) {
        const int firstLength = ReadMimeHeaders();
        if (firstLength < 0) {
            if (m_Host.AbortRequested()) return; // the part loop ends the file
            FinishFile();
            return;
        }
        m_Call.expectedLength = firstLength;
        state = DecodeState::InData;
        Announce(msg::Base64Data);
        if (m_Call.saveRaw) RawBase64Start();
    } else if (state == DecodeState::Paused) {
        if (line.len == m_Call.expectedLength && IsBase64(line)) {
            state = DecodeState::InData;
            if (m_Call.saveRaw) RawBase64Resume();
        } else if (AtBoundaryEndingTheFile(line)) {
            // The body ended with a blank line before its boundary: the
            // data are complete, not short.
            FinishFile();
            return;
        }
    }
    if (state == DecodeState::InData && m_Call.boundary.empty() && AtBoundaryEndingTheFile(line)) {
        FinishFile();
        return;
    }
    // A piece of a long line decodes in whole groups; the rest waits for the next piece.
    if (state == DecodeState::InData) KeepCarry(line, line.len - line.len % 4);
    if (state == DecodeState::InData) DecodeBase64Data();
    // The part ends after a short data line (an encoder writes full lines
    // up to the last one), or blank lines and a MIME delimiter follow its
    // end: the data are complete even without "=" padding to tell so.
    if (!m_Call.finished && m_Call.dataWritten && !BeforePartEnd() && EndsItsFile() &&
        (m_Call.shortDataLine || DelimiterAfterPart())) {
        // In a body with a boundary, that boundary should have come: the
        // data may have been cut off at a line end.
        if (!m_Call.boundary.empty() && !DelimiterAfterPart()) m_Call.part->SetFlag(PF_CUTOFF);
        FinishFile();
    }
}

} // namespace zarvex
