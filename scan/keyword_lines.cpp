// Lines recognised by their first word: "begin " and "end" of UU and XX
// sections, the openers of BinHex, yEnc and BPST sections, MIME boundaries
// and headers, and the "section "/"Article " lines of digests and
// multi-section postings.
#include "codec/line_tests.h"
#include "model/settings.h"
#include "scan/scan_state.h"
#include "text/display_text.h"
#include "text/subject.h"
#include "text/text_utils.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zarvex::scan {

namespace {

// The note that opens a BinHex 4.0 section: "(This file must be converted
// with BinHex 4.0)". Encoders word its end differently (one writes "(This
// file must be converted; you knew that already.)"), so only the words they
// share are compared.
inline constexpr std::string_view kBinHexNote = "(This file must be converted";
inline constexpr std::size_t kMaxNameLength = 255;

bool IsOctal(char c)
{
    return c >= '0' && c <= '7';
}
bool IsScanSpace(char c)
{
    return IsAsciiSpace(static_cast<unsigned char>(c));
}

// The format "begin %o %s" (or "begin-base64 %o %s"): an octal mode and a
// name. Returns the offset of the name, or -1 when either field is missing.
int ScanBeginFields(const char* line, int len, int keywordLength)
{
    int i = keywordLength;
    while (i < len && IsScanSpace(line[i]))
        ++i;
    if (i < len && (line[i] == '+' || line[i] == '-')) ++i;
    if (i >= len || !IsOctal(line[i])) return -1;
    while (i < len && IsOctal(line[i]))
        ++i;
    while (i < len && IsScanSpace(line[i]))
        ++i;
    if (i >= len || line[i] == '\0') return -1;
    return i;
}

// Appends `more` to the line after taking the line's CR/LF off (1,023 bytes at most).
void AppendToLine(ScanState& s, std::string_view more)
{
    const int base = static_cast<int>(TrimLineEnd(View(s)).size());
    const int take = std::min(static_cast<int>(more.size()), kLineMax - 1 - base);
    std::memcpy(s.line + base, more.data(), static_cast<std::size_t>(std::max(take, 0)));
    s.SetLength(base + std::max(take, 0));
    s.SetLength(static_cast<int>(TrimLineEnd(View(s)).size()));
}

// A begin line cut short or too long may carry its name on up to two short
// following lines. They are joined to the line here and read again later as
// ordinary lines.
void JoinWrappedName(ScanState& s)
{
    const std::int64_t after = s.file.GetPosition();
    for (int k = 0; k < 2; ++k) {
        int n = 0;
        bool complete = false;
        if (!s.file.ReadLine(s.peek.text, kLineMax, &n, &complete)) break;
        const char lead = s.indent < n ? s.peek.text[s.indent] : '\0';
        if (s.len + 60 >= kLineMax || n >= 83 || lead == 'M' || lead == 'h') break;
        AppendToLine(s, {s.peek.text, static_cast<std::size_t>(n)});
    }
    s.file.Seek(after, 0);
}

// A "begin " line: opens a UU section (the first data line may still make it
// XX or Base64). A "begin-base64 " line, as uuencode -m writes it, opens a
// Base64 section that ends with a "====" line.
void BeginLine(ScanState& s, bool base64)
{
    if (s.len > 55 || s.len < 12) JoinWrappedName(s);
    const int nameAt = ScanBeginFields(s.line, s.len, base64 ? 12 : 5);
    if (nameAt < 0) return;
    // The name runs to the end of the line, so names with blanks stay whole
    // (a NUL byte ends it).
    std::string_view rest = View(s).substr(static_cast<std::size_t>(nameAt));
    rest = TrimLineEnd(rest.substr(0, rest.find('\0')));
    const std::string name = CapName(rest, kMaxNameLength);

    if (s.current) {
        const CFInfo& part = *s.current;
        const bool complete = part.m_Starts != 0 && !part.m_DestFile.empty() && part.m_MsgType != 0;
        if (complete && (s.dataSeen || (s.inMimeHeader && s.PartAge() > 6))) {
            EndBeforeLine(s, s.lineNo);
            FinishPart(s);
        }
    }
    if (s.current) {
        // A "Subject:" line or a MIME header opened the part: this is its section.
        CFInfo& part = *s.current;
        part.m_MsgType = MT_UU;
        s.inMimeHeader = false;
        s.mimeDataType = 0;
        s.mime.m_DataType = 0;
        s.mime.m_FileName.clear();
        part.m_DataType = 0;
        if (s.indentRun > 4) part.m_Indent = s.indent;
        MoveStartHere(s);
        s.checkFirstDataLine = true;
        if (part.m_DestFile != name) part.m_DestFile = name;
    } else {
        CFInfo& part = OpenPart(s);
        if (s.inMimeHeader && s.mime.m_MsgType == MT_UU)
            part.SetFromMime(s.mime);
        else
            s.checkFirstDataLine = true;
        part.m_DestFile = name;
        part.m_Subject = name;
        part.m_Part = s.subjPart == 0 ? 1 : s.subjPart;
        part.m_Total = s.subjTotal;
        part.m_Starts = 0;
        part.m_Ends = 0;
        part.m_MsgType = MT_UU;
        if (!s.mime.m_Subject.empty()) {
            part.m_Subject = s.mime.m_Subject;
            if (s.mime.m_Part > 0 && s.mime.m_Total > 0) {
                part.m_Part = s.mime.m_Part;
                part.m_Total = s.mime.m_Total;
            }
        }
        part.m_Group = s.mime.m_Group;
        part.m_GroupTotal = s.mime.m_GroupTotal;
        part.m_FullSubj = s.mime.m_FullSubj;
        s.inMimeHeader = false;
    }
    s.current->m_Starts = 1;
    if (base64) {
        // Known to be Base64 already: the first data line decides nothing.
        s.current->m_MsgType = MT_B64;
        s.bodyKind = MT_B64;
        s.checkFirstDataLine = false;
    }
}

// An "end" line closes a UU or XX section (or one whose encoding is still
// unknown); in a Quoted-Printable part it counts only after a UU data line.
void EndLine(ScanState& s)
{
    CFInfo& part = *s.current;
    std::uint32_t type = part.m_MsgType;
    if (type == 0) type = s.sortList.GuessEncoding(part);
    if (type == MT_QP) {
        if (!IsUULine(s.prev2->text, s.prev2->len, true)) return;
        part.m_MsgType = MT_UU;
        part.m_Starts = 0;
        part.m_DataType = 0;
        type = MT_UU;
    }
    if (type == 0 && part.m_Total == part.m_Part) type = MT_UU;
    if (type != MT_UU && type != MT_XX && type != 0) return;
    if (part.m_MsgType == 0) part.m_MsgType = type;
    ++part.m_Ends;
    EndAfterLine(s);
    FinishPart(s);
    s.mime.m_FileName.clear();
    s.mime.m_MsgType = 0;
    s.bodyKind = 0;
    s.mimeDataType = 0;
}

bool HasBpstSize(std::string_view text)
{
    const std::size_t size = text.find("Size=");
    return size != std::string_view::npos && text.find("!BPST>>", size) != std::string_view::npos;
}

// The MIME rules take every line that no keyword claimed.
Next MimeLines(ScanState& s)
{
    if (IsMimeBoundaryCandidate(s)) {
        const Next next = MimeBoundaryRule(s);
        if (next != Next::Continue) return next;
    }
    if (!s.inMimeHeader) MimeHeaderStartRule(s);
    return Next::Continue;
}

// "Article " ends one message of a digest.
void ArticleLine(ScanState& s)
{
    EndBeforeLine(s, s.lineNo);
    FinishPart(s);
    s.inHeader = true;
    if (!s.inMimeHeader) return;
    s.mime.m_FileName.clear();
    s.mime.m_SPos = 0;
    s.mime.m_StartLine = 0;
    s.mime.m_MsgType = 0;
    s.bodyKind = 0;
    s.mimeDataType = 0;
}

// "section N of M of file NAME": one section of a multi-section posting.
void SectionLine(ScanState& s)
{
    CFInfo& part = *s.current;
    const std::string_view text = View(s);
    if (text.find("Wincode") != std::string_view::npos && part.m_MsgType == MT_TXT) {
        part.m_MsgType = 0;
        if (part.m_DataType == DT_TXT) part.m_DataType = 0;
    }
    const std::size_t file = FindIgnoreCase(text, "file", 7);
    if (file != std::string_view::npos) {
        std::size_t from = file + 4;
        while (from < text.size() && IsScanSpace(text[from]))
            ++from;
        std::size_t to = from;
        while (to < text.size() && !IsScanSpace(text[to]))
            ++to;
        if (to > from) {
            const std::string name = CapName(text.substr(from, to - from), kMaxNameLength);
            part.m_Subject = name;
            part.m_FullSubj = name;
            part.m_DestFile = name;
        }
    }
    int first = -1, second = -1;
    if (MatchNumbers(text, "#/#", &first, &second, 0, 7) ||
        MatchNumbers(text, "#of#", &first, &second, 0, 7)) {
        s.subjPart = first;
        s.subjTotal = second;
        if (s.subjTotal == part.m_Total) part.m_Part = s.subjPart;
    }
}

} // namespace

Next KeywordLines(ScanState& s)
{
    const char* line = s.line;
    const int len = s.len;
    // The keywords differ in their first byte, so one switch keeps their order.
    switch (line[0]) {
    case 'b':
        if (StartsWith(line, len, "begin ")) BeginLine(s, false);
        else if (StartsWith(line, len, "begin-base64 ")) BeginLine(s, true);
        else break;
        return Next::LateRules;
    case 'e':
        if (!StartsWith(line, len, "end") || len >= 6) break;
        if (s.current) EndLine(s);
        return Next::LateRules;
    case '(':
        if (!StartsWith(line, len, kBinHexNote)) break;
        // A second note before any data (an encoder's own note after the
        // standard one) belongs to the section the first one opened.
        if (s.binHexState == 1 && s.current && s.current->m_MsgType == MT_HQX) return Next::LateRules;
        CloseBeforeNewSection(s);
        OnBinHexNote(s);
        return Next::LateRules;
    case '=':
        if (StartsWith(line, len, "=ybegin ")) {
            const std::string_view text = View(s);
            if (text.find("name=") != std::string_view::npos &&
                text.find("line=") != std::string_view::npos) {
                CloseBeforeNewSection(s);
                s.inMimeHeader = false;
                OnYBegin(s);
            }
            return Next::LateRules;
        }
        if (!StartsWith(line, len, "=yend ")) break;
        if (s.current) OnYEnd(s);
        return Next::LateRules;
    case '<':
        if (!StartsWith(line, len, "<<BPST ")) break;
        if (HasBpstSize(View(s))) {
            CloseBeforeNewSection(s);
            OnBpstLine(s);
        }
        return Next::LateRules;
    default:
        break;
    }
    return MimeLines(s);
}

// A digest's "Article 12 of comp.misc:" is followed by the article's
// header; a text line that happens to begin "Article " is not.
bool ArticleHeaderFollows(ScanState& s)
{
    const std::string_view next = PeekNext(s);
    return IsHeaderOrSeparator(next.data(), static_cast<int>(next.size()), true);
}

Next SectionOrArticleLine(ScanState& s)
{
    if (StartsWith(s.line, s.len, "Article ") && ArticleHeaderFollows(s)) {
        ArticleLine(s);
        return Next::EndCycle;
    }
    if (StartsWith(s.line, s.len, "section ")) {
        SectionLine(s);
        return Next::EndCycle;
    }
    return Next::Continue;
}

} // namespace zarvex::scan
