// Where encoded data starts and ends: the first line after "begin", the end
// rules inside an open part (BinHex end line, the Base64 line-length rule,
// two header lines in a row) and the detection of data lines inside and
// outside parts.
#include "codec/line_tests.h"
#include "model/file_types.h"
#include "model/run_context.h"
#include "model/settings.h"
#include "scan/scan_state.h"
#include "text/text_utils.h"

namespace zarvex::scan {

namespace {

// The next line, after `skip` bytes.
std::string_view NextLine(ScanState& s, int skip)
{
    return PeekNext(s, kLineMax, skip);
}

int Size(std::string_view text)
{
    return static_cast<int>(text.size());
}

// Clean-up after the end of a Base64 body.
void ResetAfterBase64(ScanState& s)
{
    s.inMimeHeader = false;
    s.mime.m_FileName.clear();
    s.mime.m_MsgType = 0;
    s.bodyKind = 0;
    s.mimeDataType = 0;
    s.b64LineLength = 0;
    s.b64FullLines = 0;
}

// A blank line before the boundary of the MIME body: the boundary ends the
// part, so that the part holds the line that tells its data are complete.
bool BoundaryFollows(const ScanState& s, std::string_view next)
{
    if (!s.inMimeHeader || s.mime.m_Boundary.empty() || !next.starts_with("--")) return false;
    const std::string_view b = s.mime.m_Boundary;
    return next.substr(2).starts_with(b) && TrimLineEnd(next).size() <= b.size() + 4;
}

// The Base64 line-length rule: the body ends at its padding, or at a short
// header or blank line after at least six full lines. Returns true when it ended.
bool Base64LengthRule(ScanState& s)
{
    const bool blank = IsBlank(s);
    if (s.b64LineLength == 0) {
        if (blank) {
            s.b64AfterBlank = true;
        } else if (s.b64AfterBlank && s.len > 45 && s.len < 80) {
            s.b64LineLength = s.len;
            s.b64FullLines = 0;
            s.b64AfterBlank = false;
        }
        return false;
    }
    if (s.len == s.b64LineLength) ++s.b64FullLines;
    CFInfo& part = *s.current;
    if (LastNonBlankOf(s.line, s.len) == '=') {
        ++part.m_Ends;
        EndAfterLine(s);
        FinishPart(s);
        ResetAfterBase64(s);
        return true;
    }
    if (s.len < s.b64LineLength && s.b64FullLines >= 6 && (blank || IsHeaderLine(s))) {
        const std::string_view next = NextLine(s, s.indent);
        if (!IsBase64Line(next.data(), Size(next)) && !(blank && BoundaryFollows(s, next))) {
            ++part.m_Ends;
            EndBeforeLine(s, s.lineNo - 1);
            if ((part.m_Total == 1 || part.m_Total == -1) && part.m_Part == 1) ++part.m_Ends;
            FinishPart(s);
            ResetAfterBase64(s);
            return true;
        }
    }
    if (blank) {
        s.b64LineLength = 0;
        s.b64FullLines = 0;
    }
    return false;
}

bool IsHeaderAt(const char* text, int len, int skip)
{
    if (skip <= 0) return IsHeaderOrSeparator(text, len, true);
    if (skip >= len) return false;
    return IsHeaderOrSeparator(text + skip, len - skip, true);
}

// Two header lines in a row: a new message began without anything else
// telling so.
void TwoHeaderLinesRule(ScanState& s)
{
    const CFInfo& part = *s.current;
    if (s.mimeParamsContinue || s.run.AssumeSortedOrder) return;
    if (s.PartAge() <= 20 || part.m_MsgType == MT_QP) return;
    const int skip = part.m_Indent;
    if (skip == 0 ? !IsHeaderLine(s) : !IsHeaderAt(s.line, s.len, skip)) return;
    if (s.len > 30 && ClassifyDataLine(s.line, s.len) != 0) return;
    const std::string_view next = NextLine(s, 0);
    if (!IsHeaderAt(next.data(), Size(next), skip)) return;
    EndBeforeLine(s, s.lineNo - 1);
    FinishPart(s);
}

// The next line, classified, must share a bit with `kind` (and a shared UU
// or XX bit needs the line to start as a full line does).
std::uint32_t ConfirmWithNextLine(ScanState& s, std::uint32_t kind)
{
    const std::string_view next = NextLine(s, s.indentRun != 0 ? s.indent : 0);
    const std::uint32_t shared = kind & ClassifyDataLine(next.data(), Size(next));
    if (shared == 0) return 0;
    if ((shared & MT_UU) != 0 && s.line[0] != 'M') return 0;
    if ((shared & MT_XX) != 0 && s.line[0] != 'h') return 0;
    return kind;
}

// The file type from the first data line; a MIME type that the data contradicts is dropped.
void TakeDataType(ScanState& s, std::uint32_t kind)
{
    CFInfo& part = *s.current;
    const int type = DetectDataType(s.line, s.len, kind);
    if (s.mimeDataType != 0 && type != 0 && type != s.mimeDataType && s.mimeDataType != DT_APL) {
        part.m_DataType = 0;
        s.mimeDataType = 0;
    }
    if (s.settings.AutoIndentDetect && s.indentRun > 4) part.m_Indent = s.indent;
    if (type != 0) {
        s.mimeDataType = type;
        part.m_DataType = type;
    }
}

// Data lines inside an open part that has not seen data yet.
void DataInsidePart(ScanState& s)
{
    CFInfo& part = *s.current;
    std::uint32_t kind = 0;
    if (part.m_MsgType == MT_YENC) {
        kind = s.line[0] != '=' ? std::uint32_t{MT_YENC} : 0u;
    } else {
        kind = ClassifyDataLine(s.line, s.len);
        if (kind != 0) kind = ConfirmWithNextLine(s, kind);
        // Base64-shaped lines (an XX line looks the same) where the headers
        // or an armour say the body is text are text.
        if ((kind & MT_B64) && s.TextLooksLikeBase64()) {
            kind = 0;
            s.dataSeen = true;
            s.mime.m_bPartial = 0;
        }
    }
    if ((s.bodyKind == 0 || s.bodyKind == MT_TXT) && kind != 0) {
        if (kind & MT_UU) s.bodyKind = MT_UU;
        if (kind & MT_XX) s.bodyKind = MT_XX;
        if (kind & MT_B64) {
            if (MimeTextInEffect(s.settings, s.run) && s.mime.m_MsgType == MT_TXT) {
                s.dataSeen = true; // Base64-looking text in a text part
                s.mime.m_bPartial = 0;
            } else {
                s.bodyKind = MT_B64;
                if (s.b64LineLength == 0) s.b64LineLength = s.len;
            }
        }
        if (kind & MT_HQX) s.bodyKind = MT_HQX;
        part.m_MsgType = s.bodyKind;
    }
    if (s.bodyKind <= MT_TXT || kind == 0) return;
    s.dataSeen = true;
    TakeDataType(s, kind);
    if (part.m_Starts == 0) {
        if (!(part.m_MsgType == MT_UU && part.m_DataType == 0)) {
            MoveStartHere(s);
            if (part.m_Part < 2) ++part.m_Starts;
        }
    } else if (part.m_SPos == 0 && part.m_DataType == 0 && part.m_MsgType == MT_UU) {
        MoveStartHere(s);
    }
}

// Encoded lines without any header: two UU or Base64 lines in a row open a part.
void HeaderlessData(ScanState& s)
{
    std::uint32_t kind = ClassifyDataLine(s.line, s.len);
    if ((kind & MT_B64) && s.TextLooksLikeBase64()) return; // text, as above
    if (kind == 0) return;
    if (s.binHexState == 0) {
        const std::string_view next = TrimLineEnd(NextLine(s, s.indentRun != 0 ? s.indent : 0));
        if (next.empty() || (kind & ClassifyDataLine(next.data(), Size(next))) == 0) return;
    }
    if ((kind & (MT_UU | MT_B64)) == 0) return;

    CFInfo& part = OpenPart(s);
    s.dataSeen = true;
    s.mime.m_bPartial = 0;
    s.bodyKind = (kind & MT_B64) ? MT_B64 : MT_UU;
    s.mime.m_MsgType = s.bodyKind;
    part.SetFromMime(s.mime);
    if (!s.inMimeHeader) {
        // Without a MIME header the data itself is where the part starts.
        MoveStartHere(s);
    }
    part.m_File = s.path;
    part.m_Subject = s.mime.m_FileName;
    part.m_FullSubj = s.mime.m_FullSubj;
    s.b64LineLength = s.len;
    s.b64FullLines = 0;
    if ((!s.inMimeHeader && s.mime.m_Part < 1) || (part.m_MsgType == MT_B64 && s.mime.m_Part <= 1)) {
        const int type = DetectDataType(s.line, s.len, kind);
        if (type != 0) {
            s.mimeDataType = type;
            part.m_DataType = type;
        }
        part.m_Starts = 1;
    }
}

} // namespace

void CheckFirstDataLine(ScanState& s)
{
    CFInfo* part = s.current.get();
    if (part && part->m_MsgType == MT_QP && IsBlank(s)) {
        const std::string_view next = NextLine(s, 0);
        if (!IsHeaderOrSeparator(next.data(), Size(next), true)) s.dataSeen = true;
    }
    const bool uuPart = part && part->m_MsgType == MT_UU;
    const bool strictUU = IsUULine(s.line, s.len, true);
    auto makeType = [&](std::uint32_t type) {
        s.bodyKind = type;
        if (part) part->m_MsgType = type;
    };
    if (s.line[0] == 'h' && s.len > 60) {
        makeType(MT_XX);
    } else if (uuPart && !strictUU && IsXXLine(s.line, s.len)) {
        makeType(MT_XX);
    } else if (s.len > 60) {
        if (!strictUU && uuPart && IsBase64Line(s.line, s.len)) {
            makeType(MT_B64);
            s.run.MimeTextOffForRun = true; // for the rest of this run only
        } else if (strictUU) {
            s.bodyKind = MT_UU;
        }
    }
    s.checkFirstDataLine = false;
    s.inHeader = false;
}

Next EndInsidePart(ScanState& s)
{
    CFInfo& part = *s.current;
    if (part.m_MsgType == MT_HQX) {
        const std::string_view text = TrimLineEnd(View(s));
        // The closing ":" on a line of its own, or ending the last data line
        // (the characters before it are BinHex).
        if (!text.empty() && text.back() == ':' &&
            (IsBinHexLine(s.line, s.len) || IsBinHexLine(s.line, static_cast<int>(text.size())))) {
            ++part.m_Ends;
            EndAfterLine(s);
            FinishPart(s);
            s.inMimeHeader = false;
            s.mime.m_FileName.clear();
            return Next::Continue;
        }
    } else if (part.m_MsgType == MT_B64) {
        if (Base64LengthRule(s)) return Next::EndCycle;
    }
    if (!s.current || !s.dataSeen) return Next::Continue;
    if (s.current->m_MsgType == MT_BNEWS && BpstEndBySize(s)) return Next::Continue;
    if (s.current) TwoHeaderLinesRule(s);
    return Next::Continue;
}

void DataDetection(ScanState& s)
{
    if (s.current) {
        if (!s.dataSeen && !s.inHeader && s.binHexState == 0 && s.current->m_MsgType != MT_QP)
            DataInsidePart(s);
    } else if (!s.inHeader && s.len > 60 && s.len < 81) {
        HeaderlessData(s);
    }
}

} // namespace zarvex::scan
