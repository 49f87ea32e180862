// Plain-text sections: the part's own MIME headers are passed over and the
// body after the first blank line is written. A message's text is written
// with CR LF line ends, UTF-7 and (with "DecodeUTF8") UTF-8 bodies as UTF-8
// text; an attachment whose headers declare no encoding (a named text file,
// an image or program sent as 8-bit data) is copied byte for byte. Either
// way the line break before a closing MIME boundary belongs to the
// boundary, not to the body.
#include "extract/engine.h"

#include "codec/line_tests.h"
#include "codec/text_lines.h"
#include "io/buf_file.h"
#include "model/records.h"
#include "model/settings.h"
#include "text/ascii.h"

#include <array>

namespace zarvex {
namespace {

constexpr std::size_t kCopyChunk = 64 * 1024;

// The part ends where a MIME boundary line ("--" ...) or the separator of
// the next message of a mailbox ("From ") begins: the line break before it
// is theirs.
bool BoundaryFollows(CBufFile& in, std::int64_t endPos)
{
    char next[5] = {};
    const std::size_t n = endPos > 0 ? in.ReadAt(endPos, next, sizeof next) : 0;
    const std::string_view text(next, n);
    return text.starts_with("--") || text == "From ";
}

// A line in the part's header section that cannot be a header line (no
// colon, no leading blank): a part whose header is not followed by the
// blank line begins its body here.
bool IsBodyLine(const LineBuffer& line)
{
    return line.len > 0 && line.text[0] != ' ' && line.text[0] != '\t' && line.text[0] != '\n' &&
           line.View().find(':') == std::string_view::npos;
}

// The length of the line break at the end of data[0, n) (LF, CR LF or CR).
std::size_t TrailingBreak(const char* data, std::size_t n)
{
    if (n >= 2 && data[n - 2] == '\r' && data[n - 1] == '\n') return 2;
    if (n >= 1 && (data[n - 1] == '\n' || data[n - 1] == '\r')) return 1;
    return 0;
}

} // namespace

void Extractor::CopyVerbatimBody(std::int64_t from)
{
    CBufFile& out = m_Out->File();
    const std::int64_t end = m_Call.endPos > 0 ? m_Call.endPos : m_In->GetLength();
    const bool boundaryFollows = BoundaryFollows(*m_In, end);
    std::array<char, kCopyChunk> chunk;
    for (std::int64_t at = from; at < end;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(end - at, kCopyChunk));
        std::size_t got = m_In->ReadAt(at, chunk.data(), want);
        if (got == 0) break;
        at += static_cast<std::int64_t>(got);
        if (at >= end && boundaryFollows) got -= TrailingBreak(chunk.data(), got);
        if (got > 0) {
            out.Write(chunk.data(), got);
            m_Call.dataWritten = true;
        }
    }
    m_In->Seek(end, 0);
    m_Call.pos = end;
}

void Extractor::HandleTextLine()
{
    LineBuffer& line = m_Call.line;
    if (m_Call.state == DecodeState::SeekingStart || m_Call.state == DecodeState::Paused) {
        // The part's own header lines, folded or not, up to the blank line
        // (or up to the first line that is no header line).
        const bool blank = LastNonBlank(line.text) == 0;
        if (blank || IsBodyLine(line)) {
            m_Call.state = DecodeState::InData;
            m_Call.textBreakPending = false;
            Announce(msg::TextData);
            if (m_Call.part->m_Verbatim) CopyVerbatimBody(blank ? m_Call.pos : m_Call.lineStart);
        }
        if (blank || m_Call.state != DecodeState::InData || m_Call.part->m_Verbatim) {
            if (!BeforePartEnd()) m_Call.state = DecodeState::Finished;
            return;
        }
    }
    switch (m_Call.state) {
    case DecodeState::InData: {
        const bool hadLineFeed = line.EndsWithLF();
        line.StripLineEnd();
        const CFInfo& part = *m_Call.part;
        CBufFile& out = m_Out->File();
        // A line break is written once the next line shows it is not the boundary's.
        if (m_Call.textBreakPending) out.Write("\r\n", 2);
        if (part.IsUtf7())
            DecodeUTF7Line(line.text, line.len, &out);
        else if (part.IsUtf8() && m_Settings.DecodeUTF8)
            WriteUTF8AsAnsi(line.text, line.len, &out);
        else
            out.Write(line.text, static_cast<std::size_t>(line.len));
        m_Call.textBreakPending = hadLineFeed;
        m_Call.dataWritten = true;
        break;
    }
    default:
        return;
    }
    // The output stays open for the checks after the part loop.
    if (!BeforePartEnd()) {
        if (m_Call.textBreakPending && !BoundaryFollows(*m_In, m_Call.endPos)) m_Out->File().Write("\r\n", 2);
        m_Call.textBreakPending = false;
        m_Call.state = DecodeState::Finished;
    }
}

} // namespace zarvex
