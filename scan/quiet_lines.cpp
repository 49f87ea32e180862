// The quiet-line shortcut. Long runs of encoded lines make up most of a
// typical input, and each of them would otherwise pass through every rule of
// the cycle only to be left alone. A line qualifies when the scan is in the
// plain middle of a UU, XX, Base64, yEnc, BinHex or Quoted-Printable body
// (data seen, or a Quoted-Printable part, whose data no rule looks for; no
// header block, continued MIME parameters, BinHex header, first line after
// "begin" or skipped quoted message pending; the fields of a pending MIME
// header are read only from "Content-" lines and its boundaries from "--"
// lines, which never qualify) and the line cannot start anything:
//  - it is at least 6 bytes long ("end" lines are shorter), ends in a line
//    break, and its first bytes start neither a MIME header field
//    ("Mime-Version:" or "Content-" in any case), nor a MIME boundary, nor a
//    quoting prefix, nor a blank line;
//  - a line without a blank starts nothing else: every keyword ("begin ",
//    "=ybegin ", "<<BPST ", "Article ", "section ", "From: ", "Subject: ",
//    "X-Face: ", ...), every "From " separator and the quoted "Original
//    Message" marker need one, and so does a header line that ends in a
//    line break;
//  - a line with a blank is no header line (its first blank follows no
//    colon; "From: ", "Subject: ", "X-Face: ", "Face: " and every known
//    header need their first white space to be a blank right after a
//    colon) and starts with none of the keywords and separators that take
//    a blank: "begin", "(This", "=y", "<<", "Article ", "section ", "From ";
//  - the part has no indent (the header test of an indented line looks past
//    the indent and skips the line-break shortcut);
//  - in a Base64 body, it has exactly the body's line length, holds no blank
//    and does not end in "=" padding, so the line-length rule only counts it;
//  - in a yEnc body its first byte is none of the "=" of "=yend", nor the "("
//    and "<" of the BinHex and BPST openers;
//  - in a BinHex body it does not end in the ":" that may close the data;
//  - in a Quoted-Printable body its last byte that is no white space is no
//    "-" (the quoted "Original Message" marker ends in one).
#include "model/data_types.h"
#include "model/run_context.h"
#include "model/settings.h"
#include "scan/quiet_text.h"
#include "scan/scan_state.h"

#include <algorithm>
#include <cstring>

namespace zarvex::scan {

namespace {

// The scan states in which no rule but the end rules of the body reads a line.
bool QuietState(const ScanState& s)
{
    return s.current && (s.dataSeen || s.current->m_MsgType == MT_QP) && !s.inHeader && !s.mimeParamsContinue &&
           !s.checkFirstDataLine && s.binHexState == 0 && !s.skipOriginalMessage && s.current->m_Indent == 0;
}

// With indent detection on, a line without a quoting prefix only counts the
// indent run; that is all it does once the run is past its fifth line and
// no prefix is in use.
bool IndentQuiet(const ScanState& s)
{
    return !s.settings.AutoIndentDetect || (s.indent == 0 && s.indentRun >= 5);
}

} // namespace

bool QuietLinesMayFollow(const ScanState& s)
{
    return !s.run.ScanFullRulesOnly && QuietState(s) && IndentQuiet(s);
}

void CountQuietLines(ScanState& s, int lines, std::uint32_t type)
{
    // The bookkeeping the skipped rules would have done.
    if (s.settings.AutoIndentDetect && s.indentRun < kIndentRunCap)
        s.indentRun = std::min(s.indentRun + lines, kIndentRunCap);
    if (type == MT_B64) s.b64FullLines += lines;
}

bool TakeQuietDataLine(ScanState& s)
{
    if (!QuietLinesMayFollow(s) || s.len < 1 || s.line[s.len - 1] != '\n') return false;
    const int k = s.len - 1;
    const void* blank = std::memchr(s.line, ' ', static_cast<std::size_t>(k));
    const QuietLineTest quiet(s);
    if (!quiet(s.line, k, blank ? static_cast<int>(static_cast<const char*>(blank) - s.line) : k)) return false;
    CountQuietLines(s, 1, s.current->m_MsgType);
    if (s.bodyStart >= 0 && s.bodyText < 0) s.bodyText = s.pos;
    return true;
}

} // namespace zarvex::scan
