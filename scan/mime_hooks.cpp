// MIME boundaries and the start of MIME header blocks met while scanning,
// and the read-ahead to a closing boundary that tells a digest of messages
// from an ordinary multipart body. The Content- header fields themselves are
// read in mime_fields.cpp.
#include "codec/line_tests.h"
#include "io/line_break.h"
#include "io/line_break_wide.h"
#include "model/run_context.h"
#include "model/settings.h"
#include "platform/host.h"
#include "scan/mime_rules.h"
#include "text/text_utils.h"

#include <algorithm>
#include <array>

namespace zarvex::scan {

namespace {

std::string_view TrimRight(std::string_view text)
{
    while (!text.empty() && IsAsciiSpace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// "--" boundary, or the closing form "--" boundary "--".
bool IsKnownBoundaryLine(const CMimeInfo& mime, std::string_view line)
{
    const std::string& b = mime.m_Boundary;
    line = TrimRight(line);
    if (b.empty() || line.size() < b.size() + 2 || !line.starts_with("--") || line.substr(2, b.size()) != b)
        return false;
    const std::string_view rest = line.substr(2 + b.size());
    return rest.empty() || rest == "--";
}

// The open part now starts on the line after this one (its data have not begun).
void MoveStartPastLine(ScanState& s)
{
    s.current->m_SPos = s.pos + s.consumed;
    s.current->m_StartLine = s.lineNo + 1;
}

// Clean-up after a boundary finished a part.
void AfterBoundaryEnd(ScanState& s, bool textPart)
{
    s.mime.m_FileName.clear();
    s.mime.m_MsgType = 0;
    s.mimeDataType = 0;
    if (!textPart) s.bodyKind = 0;
}

// Case 1: a "--" line while a MIME header is pending and a part is open.
Next BoundaryInPart(ScanState& s)
{
    CFInfo& part = *s.current;
    const std::string_view line = View(s);
    const bool isBoundary = s.mime.IsBoundary(line);
    const std::uint32_t type = part.m_MsgType;
    const bool mimeText = MimeTextInEffect(s.settings, s.run);
    const bool textOrQp = type == MT_TXT || type == MT_QP;

    // Another boundary (of an enclosing or enclosed body): skipped; a part
    // without data starts after it.
    if (!s.mime.m_Boundary.empty() && !isBoundary) {
        if (!s.dataSeen && !textOrQp) MoveStartPastLine(s);
        return Next::EndCycle;
    }
    // The closing boundary of a partial message ends it. A Base64 part keeps
    // the closing line, so that its decoding sees where the data end.
    if (s.mime.m_bPartial && IsClosingBoundary(s.mime, line)) {
        s.mime.Reset();
        if (type == MT_B64)
            EndAfterLine(s);
        else
            EndBeforeLine(s, s.lineNo);
        FinishPart(s);
        s.mimeDataType = 0;
        return Next::EndCycle;
    }
    if (mimeText && s.mime.m_bMultipart && (type == MT_TXT || type == MT_B64) && !isBoundary) {
        if (type == MT_B64 && !s.dataSeen) MoveStartPastLine(s);
        return Next::EndCycle;
    }
    if (type == MT_HQX && IsBinHexLine(s.line, s.len)) return Next::EndCycle;
    if (((!mimeText && type == MT_QP) || (mimeText && textOrQp)) && !isBoundary) {
        if (!s.mime.m_Boundary.empty()) return Next::EndCycle;
        const std::string_view next = PeekNext(s);
        if (!IsHeaderOrSeparator(next.data(), static_cast<int>(next.size()), true)) return Next::EndCycle;
    }

    // The boundary closes the part.
    s.inMimeHeader = false;
    if (textOrQp && !s.mime.m_Boundary.empty()) {
        EndBeforeLine(s, s.lineNo - 1);
        ++part.m_Ends;
        if (part.m_Starts < 1) part.m_Starts = 1;
        FinishPart(s);
        AfterBoundaryEnd(s, true);
        return Next::EndCycle;
    }
    EndAfterLine(s);
    ++part.m_Ends;
    if (type != 0) {
        FinishPart(s);
        AfterBoundaryEnd(s, false);
    }
    return Next::EndCycle;
}

// Case 3: no header pending, no part open: a "--" line followed by a
// Content- line defines the boundary of a multipart body.
Next BoundaryDefinition(ScanState& s)
{
    if (LastNonBlankOf(s.line, s.len) == '-') return Next::LateRules; // a closing boundary
    const std::string_view next = PeekNext(s, kLineMax, s.indentRun != 0 ? s.indent : 0);
    if (!StartsWithIgnoreCase(next, "Content-")) return Next::Continue;
    const std::string_view text = TrimRight(View(s));
    s.mime.SetBoundary(text.substr(2));
    s.mime.m_bMultipart = 1;
    return Next::LateRules;
}

void OnMimeHeaderStart(ScanState& s, bool mimeVersion)
{
    s.inMimeHeader = true;
    s.mime.m_SPos = s.pos;
    s.mime.m_StartLine = s.lineNo;
    s.b64LineLength = 0;
    s.b64FullLines = 0;
    s.b64AfterBlank = false;
    // A new body part: the character set of the one before is not its own.
    s.mime.m_Charset.clear();
    if (mimeVersion) {
        s.mime.m_bMultipart = 0;
    } else if (s.current && s.current->m_MsgType == MT_TXT) {
        EndBeforeLine(s, s.lineNo);
        FinishPart(s);
    }
}

} // namespace

bool IsClosingBoundary(const CMimeInfo& mime, std::string_view line)
{
    const std::string& b = mime.m_Boundary;
    line = TrimRight(line);
    return !b.empty() && line.size() == b.size() + 4 && line.starts_with("--") && line.ends_with("--") &&
           line.substr(2, b.size()) == b;
}

bool IsMimeBoundaryCandidate(const ScanState& s)
{
    if (s.len <= 2 || s.line[0] != '-' || s.line[1] != '-') return false;
    // A "--" line ending in "=" is a Quoted-Printable soft break, unless it
    // is the known boundary itself (many mail programs end theirs in "=").
    return LastNonBlankOf(s.line, s.len) != '=' || IsKnownBoundaryLine(s.mime, View(s));
}

Next MimeBoundaryRule(ScanState& s)
{
    if (s.inMimeHeader && s.current) return BoundaryInPart(s);
    if (s.inMimeHeader) {
        s.inMimeHeader = false;
        return Next::LateRules;
    }
    if (s.current || s.binHexState != 0) return Next::Continue;
    return BoundaryDefinition(s);
}

void MimeHeaderStartRule(ScanState& s)
{
    static constexpr std::array<std::string_view, 5> kStarts = {
        "Mime-Version:", "Content-Type:", "Content-Disposition:", "Content-Location:",
        "Content-Transfer-Encoding:"};
    // All five begin with "Mi" or "Co" (any case).
    if (s.len < 13) return;
    const unsigned char first = AsciiUpper(static_cast<unsigned char>(s.line[0]));
    const unsigned char second = AsciiUpper(static_cast<unsigned char>(s.line[1]));
    if (!((first == 'M' && second == 'I') || (first == 'C' && second == 'O'))) return;
    for (std::size_t i = 0; i < kStarts.size(); ++i) {
        if (StartsWithNoCase(s.line, s.len, kStarts[i])) {
            OnMimeHeaderStart(s, i == 0);
            return;
        }
    }
}

Next MimeHeaderFieldRule(ScanState& s)
{
    if (StartsWith(s.line, s.len, "Content-Disposition:"))
        OnContentDisposition(s);
    else if (StartsWithNoCase(s.line, s.len, "Content-Transfer-Encoding:"))
        OnContentTransferEncoding(s);
    else if (StartsWithNoCase(s.line, s.len, "Content-Type:"))
        OnContentType(s);
    if (s.mimeParamsContinue) return OnContentParameters(s);
    return Next::Continue;
}

namespace {

// Most lines of the read-ahead are data lines that none of its tests can
// match: they start with none of "S", "-" and "F". Such a line is passed
// over straight in the read buffer, without ReadLine's copy, when ReadLine
// would return it as it stands there (a break that stays as it is, LF or
// CR LF, inside the buffered bytes; no longer than a line buffer). The
// counts of the file change as ReadLine changes them. Returns the bytes
// passed over, 0 when the line is left to ReadLine.
int PassUnremarkableLine(CBufFile& file, bool wide)
{
    std::size_t available = 0;
    const unsigned char* src = file.BufferedInput(available);
    if (!src) return 0;
    const unsigned char first = src[0];
    if (first == 'S' || first == '-' || first == 'F') return 0;
    const std::size_t span = std::min<std::size_t>(available, kLineMax - 1);
    std::int64_t binary = 0;
    const std::size_t k = wide ? FindLineBreakWide(src, span, binary) : FindLineBreak(src, span, binary);
    if (k >= span || k + 1 >= available) return 0;
    const std::size_t lineBreak = PlainLineBreak(src, k);
    if (lineBreak == 0) return 0;
    file.ConsumeBuffered(k + lineBreak, binary);
    return static_cast<int>(k + lineBreak);
}

} // namespace

std::int32_t MimeBoundaryScan(ScanState& s, std::int64_t& closingOffset)
{
    closingOffset = -1;
    const std::int64_t start = s.file.GetPosition();
    const bool wide = HaveWideLineBreak();
    std::int32_t subjects = 0;
    std::int64_t read = 0;
    LineBuf& buf = s.peek;
    for (std::int64_t lines = 1; s.readAheadLeft > 0; ++lines) {
        int n = PassUnremarkableLine(s.file, wide);
        if (n > 0) {
            s.readAheadLeft -= n;
        } else {
            bool complete = false;
            if (!s.file.ReadLine(buf.text, kLineMax, &n, &complete)) break;
            s.readAheadLeft -= n;
            const std::string_view text(buf.text, static_cast<std::size_t>(n));
            if (text.starts_with("Subject:")) {
                ++subjects;
            } else if (IsClosingBoundary(s.mime, text)) {
                closingOffset = read;
                break;
            } else if (text.starts_with("From ") && IsHeaderOrSeparator(buf.text, n, true)) {
                break; // the next message of a mailbox
            }
        }
        read += n;
        if ((lines & 0xFF) == 0 && !s.host.PumpMessages()) {
            s.done = true;
            break;
        }
    }
    s.file.Seek(start, 0);
    return subjects;
}

} // namespace zarvex::scan
