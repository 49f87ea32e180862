// "From: ", "Subject: ", "Date:" and "Newsgroups: " header lines. A
// "Subject: " line with part numbers closes the part being collected (unless
// it is only a few lines old) and starts the next one.
#include "model/settings.h"
#include "scan/scan_state.h"
#include "text/subject.h"
#include "text/text_utils.h"

#include <algorithm>
#include <cstring>

namespace zarvex::scan {

namespace {

inline constexpr int kSubjectPrefix = 8; // "Subject:"

std::string_view SubjectText(const ScanState& s)
{
    return View(s).substr(kSubjectPrefix);
}

// The part was opened moments ago by a header, or the line repeats the
// subject of the message: it closes nothing. Returns true when the line is
// to be skipped.
bool ClosePartForSubject(ScanState& s)
{
    CFInfo& part = *s.current;
    if (s.mime.m_bMultipart && part.m_MsgType == MT_TXT && !s.mime.m_Boundary.empty()) {
        s.mime.m_bPartial = 0;
        return true;
    }
    // A part opened by a header a few lines up takes the new subject; one
    // that already holds data lines, a begin line (the last line of its
    // message, the data follow in the next) or an end marker is a message
    // of its own (a tiny part of a posting), however short.
    if (s.PartAge() < 10 && !s.dataSeen && part.m_Ends == 0 && part.m_Starts == 0) return false;
    if (part.m_EPos == 0 || part.m_EndLine == 0) EndBeforeLine(s, s.lineNo);
    if (part.m_Part == 1 && part.m_Total == 1 && part.m_Starts == 0 && part.m_Ends == 0)
        DiscardPart(s);
    else
        FinishPart(s);
    if (s.inMimeHeader) {
        s.mime.m_FileName.clear();
        s.mime.m_SPos = 0;
        s.mime.m_StartLine = 0;
        s.mime.m_MsgType = 0;
        s.bodyKind = 0;
        s.mimeDataType = 0;
    }
    return false;
}

// Appends folded continuation lines (leading white space removed); the
// joined line stops at 1,023 bytes and still ends in LF.
void UnfoldSubject(ScanState& s)
{
    for (;;) {
        int n = 0;
        if (!s.file.PeekLine(s.peek.text, kLineMax, &n) || n == 0) return;
        if (s.peek.text[0] != ' ' && s.peek.text[0] != '\t') return;
        if (IsHeaderOrSeparator(s.peek.text, n, true)) return;
        if (s.stopPos != 0 && static_cast<std::uint64_t>(s.pos + s.consumed + n) > s.stopPos) return;
        bool complete = false;
        if (!s.file.ReadLine(s.peek.text, kLineMax, &n, &complete)) return;
        s.consumed += n;
        if (complete) ++s.lineNo;

        std::string_view piece = TrimLineEnd({s.peek.text, static_cast<std::size_t>(n)});
        while (!piece.empty() && (piece.front() == ' ' || piece.front() == '\t'))
            piece.remove_prefix(1);
        const int base = static_cast<int>(TrimLineEnd(View(s)).size());
        const int room = kLineMax - 2 - base; // keep the LF and the zero
        const int take = std::min(static_cast<int>(piece.size()), std::max(room, 0));
        std::memcpy(s.line + base, piece.data(), static_cast<std::size_t>(take));
        s.line[base + take] = '\n';
        s.SetLength(base + take + 1);
    }
}

// Encoded words in the subject are decoded in place (at most 1,023 bytes).
void DecodeSubjectWords(ScanState& s)
{
    const std::string_view text = TrimLineEnd(SubjectText(s));
    if (text.find("=?") == std::string_view::npos) return;
    const std::string decoded = DecodeHeaderText(text);
    const int take = std::min(static_cast<int>(decoded.size()), kLineMax - 2 - kSubjectPrefix);
    std::memcpy(s.line + kSubjectPrefix, decoded.data(), static_cast<std::size_t>(take));
    s.line[kSubjectPrefix + take] = '\n';
    s.SetLength(kSubjectPrefix + take + 1);
}

// A new message: the header state of the last one is forgotten, but the
// sender, date and newsgroups read in this header block (usually just
// before the subject) stay.
void ResetMimeKeepingSender(ScanState& s)
{
    const bool keep = s.headerFieldsLine > s.lastBlankLine;
    std::string from = std::move(s.mime.m_From);
    std::string newsgroups = std::move(s.mime.m_Newsgroups);
    const std::int64_t time = s.mime.m_Time;
    s.mime.Reset();
    if (!keep) return;
    s.mime.m_From = std::move(from);
    s.mime.m_Newsgroups = std::move(newsgroups);
    s.mime.m_Time = time;
}

// A subject with part numbers: the part it belongs to starts here.
void StartNumberedPart(ScanState& s, SubjectInfo& info)
{
    int group = -1, groupTotal = -1;
    if (FindGroupNumbers(info.subjectWithoutNumbers, &group, &groupTotal)) {
        s.mime.m_Group = group;
        s.mime.m_GroupTotal = groupTotal;
    }
    const std::string fullSubj(TrimLineEnd(info.subjectWithoutNumbers));
    s.mime.m_Subject = info.name;
    s.mime.m_Part = s.subjPart;
    s.mime.m_Total = s.subjTotal;
    s.mime.m_AltNumbers = info.altFlag;
    s.mime.m_FileName.clear();
    s.mime.m_SPos = 0;
    s.mime.m_StartLine = 0;
    s.bodyKind = 0;
    s.mimeDataType = 0;
    s.indent = 0;
    if (!s.current) OpenPart(s);
    CFInfo& part = *s.current;
    part.m_File = s.path;
    part.m_Subject = info.name;
    part.m_FullSubj = fullSubj;
    MoveStartHere(s);
    part.m_Part = s.subjPart;
    part.m_Total = s.subjTotal;
    part.m_Group = group;
    part.m_GroupTotal = groupTotal;
    part.m_Starts = 0;
    part.m_Ends = 0;
    part.m_AltNumbers = info.altFlag;
    if (s.inMimeHeader) part.m_DestFile = s.mime.m_FileName;
}

} // namespace

void FromLine(ScanState& s)
{
    const std::string_view text = TrimLineEnd(View(s));
    std::string_view sender;
    const std::size_t lt = text.find('<');
    const std::size_t gt = lt == std::string_view::npos ? lt : text.find('>', lt + 1);
    if (gt != std::string_view::npos && gt >= lt + 2)
        sender = text.substr(lt + 1, gt - lt - 1);
    else
        sender = text.substr(std::min<std::size_t>(6, text.size()));
    s.mime.m_From.assign(sender);
    s.headerFieldsLine = s.lineNo;
    if (s.current) s.current->m_From = s.mime.m_From;
}

Next SubjectLine(ScanState& s)
{
    if (s.skipOriginalMessage) {
        s.skipOriginalMessage = false;
        return Next::SkipLine;
    }
    SubjectInfo info;
    if (s.current && s.PartAge() < 20) {
        const bool numbered = ParseSubject(SubjectText(s), SubjectRules{s.settings.OnlyUseLastParen}, info);
        if (!numbered || (info.part < 1 && info.total < 1)) {
            s.skipOriginalMessage = false;
            return Next::SkipLine;
        }
    }
    if (!s.inMimeHeader) ResetMimeKeepingSender(s);
    if (s.mime.m_bPartial && s.current && s.current->m_Part == 1 && s.mime.m_Part == 1 &&
        !s.current->m_FullSubj.empty()) {
        s.mime.m_bPartial = 0;
        return Next::SkipLine;
    }
    if (s.current && ClosePartForSubject(s)) return Next::SkipLine;

    UnfoldSubject(s);
    s.b64LineLength = 0;
    s.b64FullLines = 0;
    s.b64AfterBlank = false;
    DecodeSubjectWords(s);

    s.mime.m_FullSubj.clear();
    info = SubjectInfo{};
    const bool numbered = ParseSubject(SubjectText(s), SubjectRules{s.settings.OnlyUseLastParen}, info);
    s.subjPart = info.part;
    s.subjTotal = info.total;
    if (numbered) {
        StartNumberedPart(s, info);
    } else {
        int group = -1, groupTotal = -1;
        if (info.altFlag && FindGroupNumbers(info.subjectWithoutNumbers, &group, &groupTotal)) {
            s.mime.m_Group = group;
            s.mime.m_GroupTotal = groupTotal;
        }
        s.mime.m_Subject = info.name;
        s.mime.m_FullSubj.assign(TrimLineEnd(info.subjectWithoutNumbers));
    }
    s.inMimeHeader = false;
    s.mimeParamsContinue = false;
    s.dataSeen = false;
    s.inHeader = true;
    return Next::LateRules;
}

void DateAndNewsgroups(ScanState& s)
{
    if (StartsWith(s.line, s.len, "Date:")) {
        const std::int64_t when = ParseDate(TrimLineEnd(View(s).substr(5)));
        (s.current ? s.current->m_Time : s.mime.m_Time) = when;
        if (!s.current) s.headerFieldsLine = s.lineNo;
    } else if (StartsWith(s.line, s.len, "Newsgroups: ")) {
        std::string_view value = View(s).substr(12);
        std::size_t end = 0;
        while (end < value.size() && static_cast<unsigned char>(value[end]) >= 32)
            ++end;
        (s.current ? s.current->m_Newsgroups : s.mime.m_Newsgroups).assign(value.substr(0, end));
        if (!s.current) s.headerFieldsLine = s.lineNo;
    }
}

} // namespace zarvex::scan
