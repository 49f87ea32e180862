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
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <immintrin.h>
#endif

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

// "--" b or "--" b "--" exactly (trailing white space allowed).
bool IsDelimiterOf(std::string_view boundary, std::string_view line)
{
    line = TrimRight(line);
    if (boundary.empty() || line.size() < boundary.size() + 2 || !line.starts_with("--") ||
        line.substr(2, boundary.size()) != boundary)
        return false;
    const std::string_view rest = line.substr(2 + boundary.size());
    return rest.empty() || rest == "--";
}

// A delimiter of an enclosing multipart ends every body nested in it: that
// boundary is in force again. True when the line is one.
bool ReturnToEnclosingBoundary(ScanState& s, std::string_view line)
{
    std::vector<std::string>& outer = s.outerBoundaries;
    for (std::size_t i = outer.size(); i-- > 0;) {
        if (!IsDelimiterOf(outer[i], line)) continue;
        s.mime.m_Boundary = std::move(outer[i]);
        outer.resize(i);
        return true;
    }
    return false;
}

// After the closing delimiter of a nested body, the enclosing boundary holds.
void LeaveClosedBody(ScanState& s, std::string_view line)
{
    if (!s.outerBoundaries.empty() && IsClosingBoundary(s.mime, line)) {
        s.mime.m_Boundary = std::move(s.outerBoundaries.back());
        s.outerBoundaries.pop_back();
    }
}

// The open part now starts on the line after this one (its data have not begun).
void MoveStartPastLine(ScanState& s)
{
    s.current->m_SPos = s.pos + s.consumed;
    s.current->m_StartLine = s.LastLineNo() + 1;
}

// Clean-up after a boundary finished a part.
void AfterBoundaryEnd(ScanState& s, bool textPart)
{
    s.mime.m_FileName.clear();
    s.mime.m_MsgType = 0;
    s.mimeDataType = 0;
    s.ForgetBodyEncoding();
    if (!textPart) s.bodyKind = 0;
}

// Case 1: a "--" line while a MIME header is pending and a part is open.
Next BoundaryInPart(ScanState& s)
{
    CFInfo& part = *s.current;
    const std::string_view line = View(s);
    const bool isBoundary = s.mime.IsBoundary(line) || ReturnToEnclosingBoundary(s, line);
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

// A known delimiter (not the closing one) followed by a blank line: a body
// part without a header, plain text by default. True when it was one.
bool HeaderlessBodyPart(ScanState& s)
{
    const std::string_view line = View(s);
    const bool known = s.mime.IsBoundary(line) || ReturnToEnclosingBoundary(s, line);
    if (!known || LastNonBlankOf(s.line, s.len) == '-') return false;
    // A digest's parts are messages by default: their own headers follow.
    if (s.mime.m_Boundary == s.digestBoundary) return false;
    const std::string_view next = PeekNext(s, kLineMax, s.indentRun != 0 ? s.indent : 0);
    if (!IsBlankLine(next.data(), static_cast<int>(next.size()))) return false;
    if (MimeTextInEffect(s.settings, s.run)) OpenHeaderlessTextPart(s);
    return true;
}

// Case 3: no header pending, no part open: a "--" line followed by a
// Content- line defines the boundary of a multipart body.
Next BoundaryDefinition(ScanState& s)
{
    if (LastNonBlankOf(s.line, s.len) == '-') return Next::LateRules; // a closing boundary
    if (HeaderlessBodyPart(s)) return Next::LateRules;
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
    // A new body part: the character set and name source of the one before are not its own.
    s.mime.m_Charset.clear();
    s.nameFromFilename = false;
    s.ForgetBodyEncoding();
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
    Next next = Next::Continue;
    if (s.inMimeHeader && s.current) {
        next = BoundaryInPart(s);
        if (!s.current) HeaderlessBodyPart(s); // the delimiter that ended it opens the next part
    } else if (s.inMimeHeader) {
        s.inMimeHeader = false;
        HeaderlessBodyPart(s);
        next = Next::LateRules;
    } else if (!s.current && s.binHexState == 0) {
        next = BoundaryDefinition(s);
    }
    LeaveClosedBody(s, View(s));
    return next;
}

void EncloseBoundary(ScanState& s, const std::string& enclosing)
{
    // Deeper nesting than this is not followed (a hostile message may nest
    // thousands of bodies); the innermost boundaries are kept.
    constexpr std::size_t kDeepest = 64;
    if (enclosing.empty() || enclosing == s.mime.m_Boundary) return;
    std::vector<std::string>& outer = s.outerBoundaries;
    if (std::find(outer.begin(), outer.end(), enclosing) != outer.end()) return;
    if (outer.size() == kDeepest) outer.erase(outer.begin());
    outer.push_back(enclosing);
}

void MimeHeaderStartRule(ScanState& s)
{
    // Inside the body of a text part of a multipart message, header lines
    // are text (a part of Content-Type text/rfc822-headers, a quoted mail).
    if (s.current && s.current->m_MsgType == MT_TXT && s.bodyStart >= 0 && !s.mime.m_Boundary.empty()) return;
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
    enum class Field { Other, Disposition, Encoding, Type };
    Field field = Field::Other;
    if (StartsWith(s.line, s.len, "Content-Disposition:"))
        field = Field::Disposition;
    else if (StartsWithNoCase(s.line, s.len, "Content-Transfer-Encoding:"))
        field = Field::Encoding;
    else if (StartsWithNoCase(s.line, s.len, "Content-Type:"))
        field = Field::Type;
    // The header's continuation lines belong to it, whatever they hold.
    if (field != Field::Other)
        UnfoldField(s);
    else
        s.field.assign(TrimLineEnd(View(s)));
    if (field == Field::Disposition)
        OnContentDisposition(s);
    else if (field == Field::Encoding)
        OnContentTransferEncoding(s);
    else if (field == Field::Type)
        OnContentType(s);
    if (s.mimeParamsContinue) return OnContentParameters(s);
    return Next::Continue;
}

namespace {

// Index of the first CR or LF in data[0, n), or n.
inline std::size_t FindBreak(const unsigned char* data, std::size_t n)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const auto hits = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
        if (hits) return i + static_cast<std::size_t>(__builtin_ctz(hits));
    }
#endif
    for (; i < n; ++i)
        if (data[i] == '\r' || data[i] == '\n') break;
    return i;
}

// Whether the line at `line` (`left` bytes readable from there) may meet a
// test of the read-ahead: it starts with "Subject:", "From " or "--", or is
// too near the end of the readable bytes to tell.
inline bool MayMatter(const unsigned char* line, std::size_t left)
{
    const auto starts = [&](std::string_view prefix) {
        return left < prefix.size() || std::memcmp(line, prefix.data(), prefix.size()) == 0;
    };
    switch (line[0]) {
    case 'S':
        return starts("Subject:");
    case 'F':
        return starts("From ");
    case '-':
        return starts("--");
    default:
        return false;
    }
}

#if defined(__SSE2__)
constexpr std::size_t kBlock = 64;
// Lines up to this length are surely passed over one by one (a line buffer
// takes up to kLineMax - 2 bytes before the break).
constexpr std::size_t kLongLine = 960;
static_assert(kLongLine + 1 < kLineMax - 2);

constexpr std::size_t kBlocksAtOnce = 8;

// Bit per byte of each block of data (`count` blocks of kBlock bytes): CR or LF.
void BreakMasks(const unsigned char* data, std::size_t count, std::uint64_t* masks)
{
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (std::size_t b = 0; b < count; ++b, data += kBlock) {
        std::uint64_t breaks = 0;
        for (unsigned j = 0; j < kBlock / 16; ++j) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * j));
            const auto hits = static_cast<std::uint16_t>(
                _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr))));
            breaks |= std::uint64_t{hits} << (16 * j);
        }
        masks[b] = breaks;
    }
}

__attribute__((target("avx2"))) void BreakMasksAvx2(const unsigned char* data, std::size_t count, std::uint64_t* masks)
{
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i cr = _mm256_set1_epi8('\r');
    for (std::size_t b = 0; b < count; ++b, data += kBlock) {
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + 32));
        const auto lowHits = static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(low, lf), _mm256_cmpeq_epi8(low, cr))));
        const auto highHits = static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(high, lf), _mm256_cmpeq_epi8(high, cr))));
        masks[b] = std::uint64_t{lowHits} | (std::uint64_t{highHits} << 32);
    }
}

// The end of the run of unremarkable lines that starts at `from` (a line
// start): the start of the first line that may matter (MayMatter),
// has a break other than LF or CR LF as it stands, or may be too long for a
// line buffer; or the start of the first line that does not end, break and
// the byte after it included, before `end`. Adds the lines passed to `lines`.
std::size_t RunEnd(const unsigned char* src, std::size_t from, std::size_t end, bool wide, std::int64_t& lines)
{
    std::uint64_t masks[kBlocksAtOnce];
    std::size_t lineStart = from;
    for (std::size_t i = from; end > i + kBlock;) {
        const std::size_t count = std::min(kBlocksAtOnce, (end - i - 1) / kBlock);
        if (wide)
            BreakMasksAvx2(src + i, count, masks);
        else
            BreakMasks(src + i, count, masks);
        for (std::size_t b = 0; b < count; ++b, i += kBlock) {
            if (i + kBlock - lineStart > kLongLine) return lineStart;
            for (std::uint64_t breaks = masks[b]; breaks != 0; breaks &= breaks - 1) {
                const std::size_t at = i + static_cast<std::size_t>(__builtin_ctzll(breaks));
                const unsigned char next = src[at + 1];
                if (src[at] == '\r') {
                    if (next == '\n') continue; // a CR LF break: its LF ends the line
                    return lineStart;
                }
                if (next == '\r') return lineStart; // LF CR
                lineStart = at + 1;
                ++lines;
                if ((next == 'S' || next == '-' || next == 'F') && MayMatter(src + lineStart, end - lineStart))
                    return lineStart;
            }
        }
    }
    return lineStart;
}
#endif

// Most lines of the read-ahead are data lines that none of its tests can
// match: they start with none of "Subject:", "--" and "From ". Such lines
// are passed over straight in the read buffer, without ReadLine's copy, when
// ReadLine would return them as they stand there (a break that stays as it
// is, LF or CR LF, inside the buffered bytes; no longer than a line buffer).
// The bytes passed over are consumed from the file in one step before any
// other read or seek. They are not told apart as text or binary: the scan
// seeks back over everything the read-ahead read, and nothing reads the
// byte counts of the scanned file.
class UnremarkableLines
{
public:
    // `enabled` false: every line is left to ReadLine.
    UnremarkableLines(CBufFile& file, bool enabled) : m_File(file), m_Wide(HaveWideLineBreak()), m_Enabled(enabled) {}

    // The length of the next line when it is passed over; 0 when it is
    // left to ReadLine (everything passed over is consumed then).
    int Next()
    {
        if (!m_Enabled) return 0;
        if (!m_Src || m_At == m_Available) {
            Consume();
            m_Src = m_File.BufferedInput(m_Available);
            if (!m_Src) return 0;
        }
        const unsigned char* line = m_Src + m_At;
        const std::size_t left = m_Available - m_At;
        if (MayMatter(line, left)) return Decline();
        const std::size_t span = std::min<std::size_t>(left, kLineMax - 1);
        const std::size_t k = FindBreak(line, span);
        if (k >= span || k + 1 >= left) return Decline();
        const std::size_t lineBreak = PlainLineBreak(line, k);
        if (lineBreak == 0) return Decline();
        m_At += k + lineBreak;
        return static_cast<int>(k + lineBreak);
    }

    // Passes over a run of unremarkable lines at once, at most `budget`
    // bytes; returns their bytes and adds their number to `lines` (0 when
    // the next line is left to Next). The run is exactly the lines Next
    // would pass over one by one: it ends before a line that starts with
    // "Subject:", "--" or "From ", before a line whose break is not LF or CR LF as it
    // stands, and before a line that may be too long for a line buffer
    // (a generous margin is kept); the last line's break and the byte
    // after it lie inside the buffered bytes.
    std::size_t PassOver(std::int64_t budget, std::int64_t& lines)
    {
#if defined(__SSE2__)
        if (!m_Enabled || budget <= 0) return 0;
        if (!m_Src || m_At == m_Available) {
            Consume();
            m_Src = m_File.BufferedInput(m_Available);
            if (!m_Src) return 0;
        }
        if (MayMatter(m_Src + m_At, m_Available - m_At)) return 0;
        const std::size_t end = m_At + static_cast<std::size_t>(std::min<std::int64_t>(
                                           budget, static_cast<std::int64_t>(m_Available - m_At)));
        const std::size_t lineStart = RunEnd(m_Src, m_At, end, m_Wide, lines);
        const std::size_t passed = lineStart - m_At;
        m_At = lineStart;
        return passed;
#else
        (void)budget;
        (void)lines;
        return 0;
#endif
    }

    // Consumes what was passed over from the file.
    void Consume()
    {
        if (m_Src && m_At > 0) m_File.ConsumeBuffered(m_At, 0);
        m_Src = nullptr;
        m_At = m_Available = 0;
    }

private:
    int Decline()
    {
        Consume();
        return 0;
    }

    CBufFile& m_File;
    const bool m_Wide;
    const bool m_Enabled;
    const unsigned char* m_Src = nullptr;
    std::size_t m_Available = 0;
    std::size_t m_At = 0;
};

} // namespace

std::int32_t MimeBoundaryScan(ScanState& s, std::int64_t& closingOffset)
{
    closingOffset = -1;
    const std::int64_t start = s.file.GetPosition();
    std::int32_t subjects = 0;
    std::int64_t read = 0;
    LineBuf& buf = s.peek;
    UnremarkableLines quick(s.file, !s.run.ScanFullRulesOnly);
    // Lines read so far; window messages are dispatched after every 256th.
    std::int64_t lines = 0;
    while (s.readAheadLeft > 0) {
        const std::int64_t before = lines;
        std::int64_t n = static_cast<std::int64_t>(quick.PassOver(s.readAheadLeft, lines));
        if (n == 0) {
            n = quick.Next();
            ++lines;
        }
        if (n == 0) {
            int length = 0;
            bool complete = false;
            if (!s.file.ReadLine(buf.text, kLineMax, &length, &complete)) break;
            n = length;
            s.readAheadLeft -= n;
            const std::string_view text(buf.text, static_cast<std::size_t>(length));
            if (text.starts_with("Subject:")) {
                ++subjects;
            } else if (IsClosingBoundary(s.mime, text)) {
                closingOffset = read;
                break;
            } else if (text.starts_with("From ") && IsHeaderOrSeparator(buf.text, length, true)) {
                break; // the next message of a mailbox
            }
        } else {
            s.readAheadLeft -= n;
        }
        read += n;
        if ((before >> 8) != (lines >> 8) && !s.host.PumpMessages()) {
            s.done = true;
            break;
        }
    }
    quick.Consume();
    s.file.Seek(start, 0);
    return subjects;
}

} // namespace zarvex::scan
