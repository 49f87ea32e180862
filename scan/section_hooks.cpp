// Sections announced by a line of their own: BinHex (the note line and the
// header after it), "<<BPST" and the X-Face and Face header images (yEnc
// lines are read in yenc_lines.cpp). The scan driver has already decided that the line
// is such an opener (its keywords are tested there) and closed the previous
// part where needed; the rules below read the fields and open or finish the
// part.
#include "codec/binhex.h"
#include "model/file_types.h"
#include "scan/scan_state.h"
#include "text/display_text.h"
#include "text/text_utils.h"

#include <limits>

namespace zarvex::scan {

namespace {

constexpr std::size_t kMaxNameLength = 255;
constexpr std::size_t kBinHexCollectMax = kLineMax;
// Lines shorter than a full BPST data line (246 bytes) can end the section.
constexpr int kBpstFullLine = 246;
constexpr std::uint64_t kBpstLineBytes = 247;
constexpr int kXFaceMoreLines = 4;
constexpr int kFaceMoreLines = 20;

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b)
{
    return a > std::numeric_limits<std::uint64_t>::max() - b ? std::numeric_limits<std::uint64_t>::max() : a + b;
}

// A base-10 value at `text`; 0 when there is none or it does not fit 63 bits.
std::int64_t ParseSize(std::string_view text)
{
    std::int64_t value = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value > (std::numeric_limits<std::int64_t>::max() - digit) / 10) return 0;
        value = value * 10 + digit;
    }
    return value;
}

// The header collection after the ":" line: the file type and the name.
void TakeBinHexHeader(ScanState& s)
{
    const int type = DetectDataType(s.binHexBuffer.data(), static_cast<int>(s.binHexBuffer.size()), MT_HQX);
    if (type != 0) {
        s.mimeDataType = type;
        if (s.current) s.current->m_DataType = type;
    }
    if (s.current) {
        std::string name = s.binHexBuffer;
        if (BinHexHeaderName(name)) {
            CFInfo& part = *s.current;
            part.m_DestFile = CapName(name, kMaxNameLength);
            if (part.m_Subject.empty()) part.m_Subject = part.m_DestFile;
        }
    }
    s.binHexBuffer.clear();
    s.binHexState = 0;
}

void CollectBinHexLine(ScanState& s)
{
    const std::string_view text = View(s);
    s.binHexBuffer.append(text.substr(0, kBinHexCollectMax - std::min(kBinHexCollectMax, s.binHexBuffer.size())));
}

} // namespace

void OnBinHexNote(ScanState& s)
{
    s.binHexState = 1;
    s.binHexBuffer.clear();
    s.bodyKind = MT_HQX;
    if (!s.current) {
        CFInfo& part = OpenPart(s);
        part.m_Total = -1;
        part.m_Part = 1;
        part.m_Starts = 0;
        part.m_Ends = 0;
        part.m_MsgType = MT_HQX;
        if (s.inMimeHeader) {
            part.m_DataType = s.mimeDataType;
            part.m_Subject = s.mime.m_Subject;
            part.m_DestFile = s.mime.m_FileName;
            part.m_Part = s.mime.m_Part;
            part.m_Total = s.mime.m_Total;
        }
    } else {
        s.current->m_MsgType = MT_HQX;
    }
    ++s.current->m_Starts;
}

void BinHexHeaderCollection(ScanState& s)
{
    if (s.binHexState == 1) {
        if (s.line[0] != ':' && s.line[0] != '#') return;
        s.dataSeen = true;
        s.binHexBuffer.clear();
        CollectBinHexLine(s);
        // A body on one line holds its header too.
        if (LastNonBlankOf(s.line, s.len) == ':')
            TakeBinHexHeader(s);
        else
            s.binHexState = 2;
        return;
    }
    CollectBinHexLine(s);
    TakeBinHexHeader(s);
}

void OnBpstLine(ScanState& s)
{
    if (!s.current) {
        CFInfo& part = OpenPart(s);
        part.SetFromMime(s.mime);
        part.m_Part = -1;
        part.m_Total = -1;
        part.m_Ends = 0;
        part.m_File = s.path;
        part.m_From = s.mime.m_From;
        part.m_Time = s.mime.m_Time;
        part.m_Newsgroups = s.mime.m_Newsgroups;
    }
    CFInfo& part = *s.current;
    s.dataSeen = false;
    MoveStartHere(s);
    part.m_Starts = 1;
    part.m_MsgType = MT_BNEWS;
    part.m_DataType = 0;
    s.bodyKind = MT_BNEWS;
    if (s.indentRun > 4) part.m_Indent = s.indent;

    const std::string_view text = TrimLineEnd(View(s));
    const std::size_t size = text.find("Size=");
    if (size != std::string_view::npos) {
        const std::int64_t value = ParseSize(text.substr(size + 5));
        if (value > 0) part.m_yEndSize = value;
    }
    const std::size_t file = text.find("File=[");
    if (file != std::string_view::npos) {
        std::string_view name = text.substr(file + 6);
        name = name.substr(0, name.find(']'));
        const std::string cut = CapName(name, kMaxNameLength);
        if (part.m_DestFile.empty()) part.m_DestFile = cut;
        part.m_Subject = cut;
    }
    const std::string_view next = PeekNext(s, kLineMax, s.indent);
    const int type = DetectDataType(next.data(), static_cast<int>(next.size()), MT_BNEWS);
    if (type != 0) {
        part.m_DataType = type;
        s.dataSeen = true;
    }
}

bool BpstEndBySize(ScanState& s)
{
    CFInfo& part = *s.current;
    if (s.len >= kBpstFullLine) return false;
    const auto sofar = static_cast<std::uint64_t>(s.pos - part.m_SPos);
    const auto size = static_cast<std::uint64_t>(part.m_yEndSize);
    // Each 40 bytes take 41 characters, each full line two more for its break.
    std::uint64_t expected =
        size > std::numeric_limits<std::uint64_t>::max() / 41 ? std::numeric_limits<std::uint64_t>::max() / 40
                                                              : size * 41 / 40;
    const std::uint64_t k = expected / kBpstLineBytes;
    expected = SaturatingAdd(expected, 2 * k);
    const auto lines = static_cast<std::uint64_t>(std::max<std::int64_t>(0, s.lineNo - part.m_StartLine));
    if (lines > k) expected = SaturatingAdd(expected, 2 * (lines - k));
    if (SaturatingAdd(sofar, static_cast<std::uint64_t>(s.len)) < expected && !IsHeaderLine(s)) return false;
    ++part.m_Ends;
    EndAfterLine(s);
    FinishPart(s);
    return true;
}

void OnFaceHeader(ScanState& s)
{
    const bool xface = s.line[0] == 'X' || s.line[0] == 'x';
    auto part = std::make_unique<CFInfo>();
    part->SetFromMime(s.mime);
    part->m_MsgType = xface ? MT_XFACE : MT_FACE;
    part->m_DestFile.clear();
    part->m_File = s.path;
    part->m_Subject = part->m_From;
    if (!part->m_Subject.empty()) part->m_FullSubj.clear();
    part->m_SPos = s.pos;
    part->m_StartLine = s.lineNo;
    part->m_EPos = s.pos + s.consumed;
    part->m_EndLine = s.lineNo + 1;
    part->m_DataType = xface ? DT_BMP : DT_PNG;
    part->m_Part = part->m_Total = part->m_Group = part->m_GroupTotal = 1;
    part->m_Starts = part->m_Ends = 1;
    part->m_From = s.mime.m_From;
    part->m_Time = s.mime.m_Time;
    part->m_Newsgroups = s.mime.m_Newsgroups;

    // The value goes on on the lines that follow; they are read again later
    // as ordinary lines.
    const std::int64_t after = s.file.GetPosition();
    const int most = xface ? kXFaceMoreLines : kFaceMoreLines;
    for (int count = 1; count <= most; ++count) {
        int n = 0;
        bool complete = false;
        if (!s.file.ReadLine(s.peek.text, kLineMax, &n, &complete) || n == 0) break;
        if (IsHeaderOrSeparator(s.peek.text, n, false) || IsBlankLine(s.peek.text, n)) break;
        part->m_EPos += n;
        part->m_EndLine = part->m_StartLine + count;
    }
    s.file.Seek(after, 0);
    HandOver(s, std::move(part));
}

} // namespace zarvex::scan
