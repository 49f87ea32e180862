// The quiet-line shortcut. Long runs of encoded lines make up most of a
// typical input, and each of them would otherwise pass through every rule of
// the cycle only to be left alone. A line qualifies when the scan is in the
// plain middle of a UU, XX, Base64 or yEnc body (data seen, no header block,
// continued MIME parameters, BinHex header, first line after "begin" or
// skipped quoted message pending; the fields of a pending MIME header are
// read only from "Co..." lines and its boundaries from "--" lines, which
// never qualify) and the line cannot start anything:
//  - it holds no blank: every keyword ("begin ", "=ybegin ", "<<BPST ",
//    "Article ", "section ", "From: ", "Subject: ", "X-Face: ", ...), every
//    "From " separator and the quoted "Original Message" marker need one,
//    and so does a header line that ends in a line break;
//  - it is at least 6 bytes long ("end" lines are shorter), ends in a line
//    break, and its first bytes start neither a MIME header field ("Mi..."
//    or "Co..." in any case), nor a MIME boundary, nor a quoting prefix,
//    nor a blank line;
//  - the part has no indent (the header test of an indented line looks past
//    the indent and skips the line-break shortcut);
//  - in a Base64 body, it has exactly the body's line length and does not
//    end in "=" padding, so the line-length rule only counts it;
//  - in a yEnc body, where data lines may hold blanks, the line holds no
//    blank or its first byte is no ASCII letter (every keyword and header
//    name starts with one), and the first byte is none of the other leads
//    above, nor the "=" of "=yend", nor the "(" and "<" of the BinHex and
//    BPST openers.
#include "model/data_types.h"
#include "model/run_context.h"
#include "model/settings.h"
#include "scan/scan_state.h"
#include "text/ascii.h"

#include <cstring>

namespace zarvex::scan {

namespace {

inline constexpr int kShortest = 6;

// The scan states in which no rule but the end rules of the body reads a line.
bool QuietState(const ScanState& s)
{
    return s.current && s.dataSeen && !s.inHeader && !s.mimeParamsContinue &&
           !s.checkFirstDataLine && s.binHexState == 0 && !s.skipOriginalMessage && s.current->m_Indent == 0;
}

// With indent detection on, a line without a quoting prefix only counts the
// indent run; that is all it does once the run is past its fifth line and
// no prefix is in use.
bool IndentQuiet(const ScanState& s)
{
    return !s.settings.AutoIndentDetect || (s.indent == 0 && s.indentRun >= 5);
}

bool QuietLead(const char* line)
{
    const auto first = static_cast<unsigned char>(line[0]);
    if (IsAsciiSpace(first) || first == '-' || first == '>' || first == ':') return false;
    const unsigned char a = AsciiUpper(first);
    const unsigned char b = AsciiUpper(static_cast<unsigned char>(line[1]));
    return !((a == 'M' && b == 'I') || (a == 'C' && b == 'O'));
}

// `text` is the line without its break (k bytes, the folded line k + 1).
bool QuietForType(const ScanState& s, const char* text, int k)
{
    const auto blank = [&] { return std::memchr(text, ' ', static_cast<std::size_t>(k)) != nullptr; };
    switch (s.current->m_MsgType) {
    case MT_UU:
    case MT_XX:
        return !blank();
    case MT_YENC: {
        const auto first = static_cast<unsigned char>(text[0]);
        if (first == '=' || first == '(' || first == '<') return false;
        return !IsAsciiAlpha(first) || !blank();
    }
    case MT_B64: {
        const auto last = static_cast<unsigned char>(text[k - 1]);
        return s.b64LineLength != 0 && k + 1 == s.b64LineLength && last != '=' && !IsAsciiSpace(last) && !blank();
    }
    default:
        return false;
    }
}

} // namespace

bool QuietLinesMayFollow(const ScanState& s)
{
    return !s.run.ScanFullRulesOnly && QuietState(s) && IndentQuiet(s);
}

bool QuietText(const ScanState& s, const char* text, int k)
{
    return k + 1 >= kShortest && QuietLead(text) && QuietForType(s, text, k);
}

void CountQuietLine(ScanState& s)
{
    // The bookkeeping the skipped rules would have done.
    if (s.settings.AutoIndentDetect && s.indentRun < kIndentRunCap) ++s.indentRun;
    if (s.current->m_MsgType == MT_B64) ++s.b64FullLines;
}

bool TakeQuietDataLine(ScanState& s)
{
    if (!QuietLinesMayFollow(s) || s.len < 1 || s.line[s.len - 1] != '\n') return false;
    if (!QuietText(s, s.line, s.len - 1)) return false;
    CountQuietLine(s);
    return true;
}

} // namespace zarvex::scan
