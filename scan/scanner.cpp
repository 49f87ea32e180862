// The scan driver: start, the cycle run once per line, and the finish. The
// cycle applies the rules in a fixed order; each rule family lives in its
// own file and is called here by its name.
#include "scan/scanner.h"

#include "codec/line_tests.h"
#include "io/file_error.h"
#include "model/run_context.h"
#include "io/line_break.h"
#include "model/settings.h"
#include "model/unpacked_inputs.h"
#include "platform/host.h"
#include "scan/break_search.h"
#include "scan/quiet_text.h"
#include "scan/scan_state.h"
#include "text/display_text.h"
#include "text/messages.h"
#include "text/text_utils.h"
#include "text/wild_match.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace zarvex {
namespace scan {

// ---- Line helpers -------------------------------------------------------------

bool IsBlankLine(const char* line, int len)
{
    for (int i = 0; i < len; ++i)
        if (!IsAsciiSpace(static_cast<unsigned char>(line[i]))) return false;
    return true;
}

std::string_view TrimLineEnd(std::string_view text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::string_view PeekNext(ScanState& s, int max, int skip)
{
    int n = 0;
    if (!s.file.PeekLine(s.peek.text, max, &n)) n = 0;
    s.peek.len = n;
    s.peek.text[n] = '\0';
    if (skip < 0) skip = 0;
    if (skip > n) skip = n;
    return {s.peek.text + skip, static_cast<std::size_t>(n - skip)};
}

bool TestHeaderLine(ScanState& s)
{
    // A header line ending in a line break has a blank after its name;
    // encoded data lines have none, and skip the full test.
    const bool noBlank = s.len > 0 && s.line[s.len - 1] == '\n' &&
                         std::memchr(s.line, ' ', static_cast<std::size_t>(s.len)) == nullptr;
    s.headerLine = !noBlank && IsHeaderOrSeparator(s.line, s.len, true) ? 1 : 0;
    return s.headerLine != 0;
}

bool TestBlankLine(ScanState& s)
{
    s.blankLine = IsBlankLine(s.line, s.len) ? 1 : 0;
    return s.blankLine != 0;
}

// ---- Common procedures --------------------------------------------------------

CFInfo& OpenPart(ScanState& s)
{
    s.current = std::make_unique<CFInfo>();
    CFInfo& part = *s.current;
    part.m_File = s.path;
    part.m_From = s.mime.m_From;
    part.m_Time = s.mime.m_Time;
    part.m_Newsgroups = s.mime.m_Newsgroups;
    part.m_SPos = s.pos;
    part.m_StartLine = s.lineNo;
    if (s.indentRun > 4) part.m_Indent = s.indent;
    s.bodyStart = s.bodyText = -1;
    return part;
}

void MoveStartHere(ScanState& s)
{
    CFInfo& part = *s.current;
    part.m_SPos = s.pos;
    part.m_StartLine = s.lineNo;
    s.bodyStart = s.bodyText = -1;
    // An end set before the new start (at this very line or earlier) no longer holds.
    if (part.m_EPos <= part.m_SPos || part.m_EndLine < part.m_StartLine) {
        part.m_EPos = 0;
        part.m_EndLine = 0;
    }
}

void EndBeforeLine(ScanState& s, std::int64_t endLine)
{
    s.current->m_EPos = s.pos;
    s.current->m_EndLine = endLine;
}

void EndAfterLine(ScanState& s)
{
    s.current->m_EPos = s.pos + s.consumed;
    s.current->m_EndLine = s.LastLineNo();
}

void HandOver(ScanState& s, std::unique_ptr<CFInfo> part)
{
    s.host.RefreshOutputEntry(part->m_DestFile);
    if (s.sortList.AddPart(part.release()) != 0) ++s.found;
}

void FinishPart(ScanState& s)
{
    // An empty body (a part of headers only, a blank preamble, an empty
    // attachment) is no output. A named text part is an attachment: it
    // keeps its own bytes.
    CFInfo& part = *s.current;
    if (part.m_MsgType == MT_TXT && !part.m_DestFile.empty()) part.m_Verbatim = true;
    const bool bodyEmpty = s.bodyText < 0 || s.bodyText >= part.m_EPos;
    const bool headersOnly = s.bodyStart >= 0 && bodyEmpty &&
                             (part.m_MsgType == MT_QP || (part.m_MsgType == MT_B64 && !s.dataSeen));
    if ((part.m_MsgType == MT_TXT && bodyEmpty) || headersOnly)
        DiscardPart(s);
    else
        HandOver(s, std::move(s.current));
    s.dataSeen = false;
    s.progressDue = true;
}

void DiscardPart(ScanState& s)
{
    s.current.reset();
}

void FinishAtEnd(ScanState& s)
{
    CFInfo& part = *s.current;
    if (part.m_MsgType == MT_QP && part.m_Starts != 0 && part.m_Ends == 0) part.m_Ends = 1;
    part.m_EPos = s.pos;
    part.m_EndLine = s.lineNo;
    FinishPart(s);
}

void CloseBeforeNewSection(ScanState& s)
{
    if (!s.current) return;
    const CFInfo& part = *s.current;
    const bool begun = !s.inMimeHeader && part.m_Starts != 0;
    if (begun || part.m_MsgType == MT_UU || part.m_MsgType == MT_B64) {
        EndBeforeLine(s, s.lineNo);
        FinishPart(s);
    }
}

// A quoted reply inside a text part; its "Subject:" is not a new message.
void QuotedReply(ScanState& s)
{
    if (s.skipOriginalMessage && !IsHeaderLine(s)) s.skipOriginalMessage = false;
    const std::uint32_t type = s.CurrentType();
    if ((type == MT_TXT || type == MT_QP) && LastNonBlankOf(s.line, s.len) == '-' &&
        WildMatch(s.line, "*--*Original Message*--*", false) == 1)
        s.skipOriginalMessage = true;
}

namespace {

// ---- Start and finish -----------------------------------------------------------

void Start(ScanState& s, std::int64_t* startPos, std::int64_t* startLine)
{
    s.mime.Reset();
    FileError error;
    const bool opened = OpenInputFile(s.sortList, s.path, s.file,
                                      CBufFile::typeBinary | CBufFile::shareDenyNone, &error, &s.lease);
    if (!opened) s.done = true;

    std::int64_t size = opened ? s.file.GetLength() : 0;
    if (size <= 0) size = 1;
    s.scale = size / 1000 + 1;
    // The boundary read-ahead may read the file four times over, plus 16 MB.
    s.readAheadLeft = 4 * size + (std::int64_t{16} << 20);

    if (startPos && *startPos != 0) {
        // A file that shrank below the saved position cannot be continued.
        if (!opened || *startPos > size || s.file.Seek(*startPos, 0) != *startPos) {
            s.done = true;
            return;
        }
        s.pos = *startPos;
        if (startLine && *startLine != 0) s.lineNo = *startLine;
        if (s.host.HasLog()) s.host.Log(FormatMessage(msg::ContinueProcessing, ToDisplayUtf8(s.path)));
        return;
    }
    s.pos = 0;
    s.lineNo = 0;
    if (s.host.HasLog()) s.host.Log(FormatMessage(msg::ProcessingLog, ToDisplayUtf8(s.path)));
}

void Finish(ScanState& s, std::int64_t* startPos, std::int64_t* startLine)
{
    if (s.current) FinishAtEnd(s);
    s.mime.m_FileName.clear();
    if (startPos) *startPos = s.pos;
    if (startLine) *startLine = s.lineNo;
    s.host.SetProgress(-1.0);
    s.file.Close();
}

// ---- The steps of one cycle ---------------------------------------------------------

void UpdateProgress(ScanState& s, std::int64_t& lastProgressLine)
{
    lastProgressLine = s.lineNo;
    s.host.SetProgress(
        static_cast<double>(static_cast<float>(static_cast<double>(s.pos / s.scale) * 0.1 + 1.0)));
    if (!s.host.PumpMessages()) s.done = true;
    s.progressDue = false;
}

// Progress and message dispatching every 256 lines and after each part.
inline void ShowProgress(ScanState& s, std::int64_t& lastProgressLine)
{
    const bool lineDue = (s.lineNo & 0xFF) == 0 && s.lineNo != lastProgressLine;
    if (s.progressDue || lineDue) [[unlikely]]
        UpdateProgress(s, lastProgressLine);
}

// The current line becomes the previous one.
void RotateLines(ScanState& s)
{
    LineBuf* oldest = s.prev2;
    s.prev2 = s.prev;
    s.prev = s.cur;
    s.cur = oldest;
    s.line = s.cur->text;
}

// Count the line and fold "\r\n" and "\r\r\n" endings to "\n".
void CountAndFoldLineEnd(ScanState& s, bool complete)
{
    if (complete) ++s.lineNo;
    int n = s.len;
    while (n > 1 && s.line[n - 2] == '\r') {
        s.line[n - 2] = '\n';
        --n;
    }
    if (n != s.len) s.SetLength(n);
}

void CountIndentRun(ScanState& s)
{
    if (s.indentRun < kIndentRunCap) ++s.indentRun;
}

void RemovePrefix(ScanState& s, int n)
{
    std::memmove(s.line, s.line + n, static_cast<std::size_t>(s.len - n));
    s.SetLength(s.len - n);
}

// A quoting prefix shared with the next line is taken off the line.
void QuotePrefix(ScanState& s)
{
    int q = QuotePrefixLength(s.line, s.len);
    if (q > 0) {
        const std::string_view next = PeekNext(s, 256);
        if (QuotePrefixLength(next.data(), static_cast<int>(next.size())) != q) q = 0;
    }
    const bool recentPart = s.current && s.PartAge() < 25;
    if (q > 0 && q != s.indent) {
        s.indent = q;
        s.indentRun = 1;
        RemovePrefix(s, q);
    } else if (q > 0) {
        CountIndentRun(s);
        if (s.indentRun == 5 && recentPart && s.current->m_MsgType != MT_YENC) s.current->m_Indent = s.indent;
        RemovePrefix(s, q);
    } else {
        if (s.indent != 0 && !IsBlank(s)) s.indent = 0;
        CountIndentRun(s);
        if (s.indentRun == 5 && recentPart) s.current->m_Indent = s.indent;
    }
}

// Where message header blocks begin and end.
void HeaderBlock(ScanState& s)
{
    if (s.inHeader && !IsBlank(s) && !IsHeaderLine(s)) {
        const bool continued =
            (s.line[0] == ' ' || s.line[0] == '\t') && LastNonBlankOf(s.prev->text, s.prev->len) == ';';
        if (!continued) s.inHeader = false;
    }
    if (s.inHeader) return;
    if (StartsWithNoCase(s.line, s.len, "Mime-Version:"))
        s.inHeader = true;
    else if (!s.current && !s.dataSeen && s.line[0] != 'C' && IsHeaderLine(s))
        s.inHeader = true;
    // A new message: what the last one's headers said about its body is gone.
    if (s.inHeader) s.ForgetBodyEncoding();
}

// A mailbox separator: "From " at the start of a line and a known header
// line after it. Mailboxes that count lengths put no blank line before it,
// Netscape's "From - " carries no address, and a body's "From Russia with
// love" is followed by no header.
bool IsMailboxSeparator(ScanState& s)
{
    if (s.len < 5 || s.line[0] != 'F' || !StartsWith(s.line, s.len, "From ")) return false;
    const std::string_view next = PeekNext(s);
    return IsHeaderOrSeparator(next.data(), static_cast<int>(next.size()), true);
}

// A new message of a mailbox: whatever the last one left open ends before
// its separator, and nothing its headers said holds any more.
void NewMessage(ScanState& s)
{
    if (s.current) {
        s.lineNo -= 1; // the part's last line is the one before the separator
        FinishAtEnd(s);
        s.lineNo += 1;
    }
    s.mime.Reset();
    s.outerBoundaries.clear();
    s.ForgetBodyEncoding();
    s.rfc2231.Clear();
    s.nameFromFilename = false;
    s.inMimeHeader = s.mimeParamsContinue = s.dataSeen = s.checkFirstDataLine = false;
    s.skipOriginalMessage = false;
    s.binHexState = 0;
    s.binHexBuffer.clear();
    s.bodyKind = 0;
    s.mimeDataType = 0;
    s.b64LineLength = s.b64FullLines = 0;
    s.b64AfterBlank = false;
    s.subjPart = s.subjTotal = 0;
    s.inHeader = true;
}

// OpenPGP (and other) armour: "-----BEGIN PGP SIGNATURE-----" to "-----END ...".
void ArmourLine(ScanState& s)
{
    if (s.len < 10 || s.line[0] != '-' || !StartsWith(s.line, s.len, "-----")) return;
    if (StartsWith(s.line, s.len, "-----BEGIN "))
        s.inArmour = true;
    else if (StartsWith(s.line, s.len, "-----END "))
        s.inArmour = false;
}

// "--" and the current boundary.
bool IsDelimiterLine(const ScanState& s)
{
    const std::string& b = s.mime.m_Boundary;
    return !b.empty() && s.len >= static_cast<int>(b.size()) + 2 && s.line[0] == '-' && s.line[1] == '-' &&
           std::memcmp(s.line + 2, b.data(), b.size()) == 0;
}

// A blank line after the data marks where the part ends.
void EndAtBlankLine(ScanState& s)
{
    if (!IsBlank(s)) {
        // A text part whose header is not followed by a blank line: its
        // body begins at the first line that cannot be a header line.
        if (s.bodyStart < 0 && s.current && s.current->m_MsgType == MT_TXT && s.PartAge() > 0 &&
            s.line[0] != ' ' && s.line[0] != '\t' && std::memchr(s.line, ':', static_cast<std::size_t>(s.len)) == nullptr)
            s.bodyStart = s.pos;
        // A delimiter line is the body's end, not its text.
        if (s.bodyStart >= 0 && s.bodyText < 0 && !IsDelimiterLine(s)) s.bodyText = s.pos;
        return;
    }
    if (s.current && s.bodyStart < 0) s.bodyStart = s.pos + s.consumed;
    s.lastBlankLine = s.lineNo;
    if (s.dataSeen && s.current) EndBeforeLine(s, s.lineNo);
}

// The blank-line part of the BinHex header collection.
void BinHexCollection(ScanState& s)
{
    if (IsBlank(s)) {
        if (s.binHexState == 2) s.binHexState = 0;
        return;
    }
    BinHexHeaderCollection(s);
}

// "X-Face: " (any case) and "Face: " (exact) header lines.
bool IsFaceHeader(ScanState& s)
{
    return (StartsWithNoCase(s.line, s.len, "X-Face: ") || StartsWith(s.line, s.len, "Face: ")) &&
           IsHeaderLine(s);
}

void StopOnRequest(ScanState& s)
{
    DiscardPart(s);
    s.host.Log(std::string(Message(msg::Aborted)) + "\r\n");
    s.done = true;
}

// The line is done; the user's stop request ends the scan.
inline void EndOfCycle(ScanState& s, bool testAbort)
{
    s.pos += s.consumed;
    s.lineNo += s.joinedLines;
    s.joinedLines = 0;
    if (testAbort && s.host.AbortRequested()) [[unlikely]]
        StopOnRequest(s);
}

// The rules every line reaches that was not taken by a subject or keyword
// rule: header values, the end of the open part, MIME header fields,
// digest and section lines, and the detection of data lines.
void LateSteps(ScanState& s)
{
    if (s.inHeader) DateAndNewsgroups(s);
    if (s.current && EndInsidePart(s) != Next::Continue) return;
    if (s.inMimeHeader && MimeHeaderFieldRule(s) != Next::Continue) return;
    if (s.current && SectionOrArticleLine(s) != Next::Continue) return;
    if (s.len > 20) DataDetection(s);
}

// A quiet run looks at the user's stop request every this many lines (and
// after each progress call), not after every line as a cycle does: the
// request still ends the scan within microseconds, the same way.
constexpr std::int64_t kStopPollLines = 32;

// The first line number, from `lineNo` on, at whose start ShowProgress
// would update the progress.
std::int64_t NextProgressLine(const ScanState& s, std::int64_t lineNo, std::int64_t lastProgressLine)
{
    if (s.progressDue) return lineNo;
    std::int64_t due = (lineNo + 0xFF) & ~std::int64_t{0xFF};
    if (due == lastProgressLine) due += 0x100;
    return due;
}

// The run loop for a part of one type (MT_UU stands for XX too). Returns
// the bytes taken; `taken` gets the number of lines. The position, line
// count and consumed bytes of `s` are brought up to date before every host
// call and at the end.
template <std::uint32_t kType>
std::size_t QuietRunOf(ScanState& s, std::int64_t& lastProgressLine, const unsigned char* src, std::size_t available,
                       int& taken)
{
    const QuietLineTest quiet(s);
    LineBreaks lines(src, available);
    // Bytes the run may take before the stop position.
    const std::size_t room = s.stopPos == 0 ? ~std::size_t{0}
                             : s.stopPos > static_cast<std::uint64_t>(s.pos)
                                 ? static_cast<std::size_t>(s.stopPos - static_cast<std::uint64_t>(s.pos))
                                 : 0;
    std::int64_t lineNo = s.lineNo;
    std::int64_t progressLine = NextProgressLine(s, lineNo, lastProgressLine);
    // The next line at whose start progress is due or after which the stop
    // request is looked at (its number a multiple of kStopPollLines).
    const auto nextEvent = [&progressLine](std::int64_t from) {
        return std::min(progressLine, (from + kStopPollLines - 1) & ~(kStopPollLines - 1));
    };
    std::int64_t eventLine = nextEvent(lineNo);
    const std::int64_t startPos = s.pos;
    std::size_t at = 0;
    int consumed = 0;
    int count = 0;
    for (;;) {
        std::size_t k = 0, blank = 0;
        if (!lines.Next(at, kLineMax - 1, k, blank)) break;
        const unsigned char* text = src + at;
        const std::size_t lineBreak = PlainLineBreak(text, k);
        if (lineBreak == 0 ||
            !quiet.template For<kType>(reinterpret_cast<const char*>(text), static_cast<int>(k), static_cast<int>(blank)))
            break;
        const std::size_t end = at + k + lineBreak;
        if (end > room) break;
        const bool event = lineNo == eventLine;
        if (event && lineNo == progressLine) [[unlikely]] {
            s.lineNo = lineNo;
            s.pos = startPos + static_cast<std::int64_t>(at);
            ShowProgress(s, lastProgressLine);
            progressLine = NextProgressLine(s, lineNo + 1, lastProgressLine);
        }
        consumed = static_cast<int>(end - at);
        ++lineNo;
        ++count;
        at = end;
        if (event) [[unlikely]] {
            s.pos = startPos + static_cast<std::int64_t>(at);
            if (s.host.AbortRequested()) StopOnRequest(s);
            if (s.done) break;
            eventLine = nextEvent(lineNo);
        }
    }
    s.lineNo = lineNo;
    s.pos = startPos + static_cast<std::int64_t>(at);
    if (count > 0) s.consumed = consumed;
    taken = count;
    return at;
}

// The last `n` lines (n <= 3) of a run of quiet lines ending at src[end]
// become the current and previous lines, as their cycles would have left
// them: folded to one LF. Every break of the run is LF or CR LF, and no
// line holds a CR or LF in its text.
void KeepLastLines(ScanState& s, const unsigned char* src, std::size_t end, int n)
{
    LineBuf* const slots[3] = {s.cur, s.prev, s.prev2};
    for (int back = 0; back < n; ++back) {
        std::size_t textEnd = end - 1;
        if (textEnd > 0 && src[textEnd - 1] == '\r') --textEnd;
        const void* lf = memrchr(src, '\n', textEnd);
        const std::size_t start = lf ? static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - src) + 1 : 0;
        LineBuf& slot = *slots[back];
        const std::size_t len = textEnd - start;
        std::memcpy(slot.text, src + start, len);
        slot.text[len] = '\n';
        slot.text[len + 1] = '\0';
        slot.len = static_cast<int>(len) + 1;
        end = start;
    }
}

// The quiet lines that follow a quiet line in the read buffer, each taken
// as its own cycle would take it (progress at the same lines, position,
// line count; the stop request is looked at less often) but without
// copying it out. The last three stay as the current and previous lines. A
// line whose break or length needs ReadLine's care, that reaches past the
// stop position or is not quiet, and the end of the buffered bytes, end
// the run; the next cycle goes on from there. What no host call can see is
// done once for the whole run: the bytes are consumed from the file
// together (not told apart as text or binary: nothing reads those counts
// of a scanned file), the lines rotated and counted together.
void TakeQuietRun(ScanState& s, std::int64_t& lastProgressLine)
{
    if (s.done || !QuietLinesMayFollow(s)) return;
    std::size_t available = 0;
    const unsigned char* src = s.file.BufferedInput(available);
    if (!src) return;
    const std::uint32_t type = s.current->m_MsgType;
    int taken = 0;
    std::size_t at = 0;
    switch (type) {
    case MT_UU:
    case MT_XX:
        at = QuietRunOf<MT_UU>(s, lastProgressLine, src, available, taken);
        break;
    case MT_YENC:
        at = QuietRunOf<MT_YENC>(s, lastProgressLine, src, available, taken);
        break;
    case MT_HQX:
        at = QuietRunOf<MT_HQX>(s, lastProgressLine, src, available, taken);
        break;
    case MT_QP:
        at = QuietRunOf<MT_QP>(s, lastProgressLine, src, available, taken);
        break;
    case MT_B64:
        at = QuietRunOf<MT_B64>(s, lastProgressLine, src, available, taken);
        break;
    default:
        return;
    }
    if (taken == 0) return;
    s.file.ConsumeBuffered(at, 0);
    CountQuietLines(s, taken, type);
    for (int turn = 0; turn < taken % 3; ++turn)
        RotateLines(s);
    KeepLastLines(s, src, at, std::min(taken, 3));
    s.SetLength(s.cur->len);
}

// One line through every rule, in their fixed order.
void Cycle(ScanState& s, std::int64_t& lastProgressLine)
{
    ShowProgress(s, lastProgressLine);
    RotateLines(s);

    int n = 0;
    bool complete = false;
    if (!s.file.ReadLine(s.line, kLineMax, &n, &complete)) {
        s.done = true;
        s.consumed = 0;
        EndOfCycle(s, true);
        return;
    }
    s.consumed = n;
    s.SetLength(n);
    // A line reaching past the stop position is left for the next scan.
    if (s.stopPos != 0 && static_cast<std::uint64_t>(s.pos + s.consumed) > s.stopPos) {
        s.done = true;
        return;
    }
    CountAndFoldLineEnd(s, complete);
    if (TakeQuietDataLine(s)) {
        EndOfCycle(s, true);
        TakeQuietRun(s, lastProgressLine);
        return;
    }
    if (s.settings.AutoIndentDetect) QuotePrefix(s);
    if (s.checkFirstDataLine) CheckFirstDataLine(s);
    if (IsMailboxSeparator(s)) NewMessage(s);
    HeaderBlock(s);
    ArmourLine(s);
    EndAtBlankLine(s);
    if (s.binHexState != 0) BinHexCollection(s);
    QuotedReply(s);
    if (s.settings.EnableXFace && IsFaceHeader(s)) {
        OnFaceHeader(s); // a part of its own; the line needs nothing else
        EndOfCycle(s, false);
        return;
    }
    if (StartsWithNoCase(s.line, s.len, "From: ")) FromLine(s);

    Next next = Next::Continue;
    if (!s.run.AssumeSortedOrder && StartsWith(s.line, s.len, "Subject: ")) next = SubjectLine(s);
    if (next == Next::SkipLine) {
        EndOfCycle(s, false);
        return;
    }
    if (next == Next::Continue) next = KeywordLines(s);
    if (next != Next::EndCycle) LateSteps(s);
    EndOfCycle(s, true);
}

int FailedScan(ScanState& s)
{
    DiscardPart(s);
    s.host.RequestAbort();
    s.host.SetProgress(-1.0);
    return s.found > 0 ? -s.found : -1;
}

} // namespace
} // namespace scan

int ScanFile(const std::string& path, MyCObArray& sortList, const Settings& settings, RunContext& run, Host& host,
             std::int64_t* startPos, std::int64_t* startLine, std::uint64_t stopPos)
{
    auto state = std::make_unique<scan::ScanState>(path, sortList, settings, run, host);
    scan::ScanState& s = *state;
    s.stopPos = stopPos;
    try {
        scan::Start(s, startPos, startLine);
        std::int64_t lastProgressLine = -1;
        while (!s.done)
            scan::Cycle(s, lastProgressLine);
        scan::Finish(s, startPos, startLine);
        return s.found;
    } catch (const FileException& e) {
        if (!host.Silent()) {
            host.Beep();
            host.Ask(Prompt::FileError, FileErrorText(e.Error().cause));
        }
        return scan::FailedScan(s);
    } catch (const std::exception&) {
        // In practice memory exhaustion (std::bad_alloc and its kin).
        if (!host.Silent()) {
            host.Beep();
            host.Ask(Prompt::OutOfMemory, Message(msg::OutOfMemory));
        }
        return scan::FailedScan(s);
    }
}

} // namespace zarvex
