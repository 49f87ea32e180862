// yEnc section handling: "=ybegin" starts or resumes the data, data lines go
// through the line decoder into the output and both CRC registers, and the
// "=yend" trailer judges the part (size, part CRC, whole-file CRC), switches
// to a duplicate when the part is damaged, and finishes the file after its
// last part. With "StrictYenc" each part is placed at its "=ypart" offset.
#include "extract/engine.h"

#include "codec/yenc.h"
#include "io/buf_file.h"
#include "model/records.h"
#include "model/run_context.h"
#include "model/settings.h"
#include "text/ascii.h"
#include "text/message_ids.h"

#include <algorithm>
#include <optional>

namespace zarvex {
namespace {

constexpr std::string_view kBegin = "=ybegin ";
constexpr std::string_view kPart = "=ypart";
constexpr std::string_view kEnd = "=yend";
constexpr std::string_view kFileCrc = " crc32=";

bool Has(std::string_view text, std::string_view key) { return text.find(key) != std::string_view::npos; }

// The hexadecimal value after `key`: up to 8 digits (either case), or the
// last 8 of exactly 16.
std::optional<std::uint32_t> HexAfter(std::string_view text, std::string_view key)
{
    const std::size_t at = text.find(key);
    if (at == std::string_view::npos) return std::nullopt;
    std::size_t i = at + key.size(), digits = 0;
    while (i + digits < text.size() && IsAsciiXDigit(static_cast<unsigned char>(text[i + digits]))) ++digits;
    if (digits == 0) return std::nullopt;
    if (digits == 16) i += 8;
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < 8 && k < digits; ++k) {
        const unsigned char c = AsciiLower(static_cast<unsigned char>(text[i + k]));
        value = (value << 4) | static_cast<std::uint32_t>(c <= '9' ? c - '0' : c - 'a' + 10);
    }
    return value;
}

// Whether the first of the three lines at `pos` that is not empty holds only
// ".", the lines broken as ReadLine breaks them, from a few bytes read
// ahead; no answer when those bytes do not settle it.
std::optional<bool> DotLineAt(CBufFile& in, std::int64_t pos)
{
    unsigned char buf[2048];
    const std::size_t got = in.ReadAt(pos, buf, sizeof buf);
    const bool fileEnds = got < sizeof buf;
    std::size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        if (at >= got) return fileEnds ? std::optional<bool>(false) : std::nullopt;
        std::size_t k = at;
        while (k < got && buf[k] != '\n' && buf[k] != '\r') ++k;
        const std::size_t textLen = k - at;
        if (textLen >= static_cast<std::size_t>(kMaxLineText)) return false; // a long line: neither empty nor "."
        if (k + 2 >= got && !fileEnds) return std::nullopt; // the break's form lies past the bytes read
        if (textLen > 0) return textLen == 1 && buf[at] == '.';
        if (k >= got) return false; // the file ends: nothing more to read
        // The break: LF CR, CR LF and CR CR LF are one; CR CR leaves the second CR to the next line.
        std::size_t next = k + 1;
        if (next < got && ((buf[k] == '\n' && buf[next] == '\r') || (buf[k] == '\r' && buf[next] == '\n'))) {
            ++next;
        } else if (buf[k] == '\r' && next + 1 < got && buf[next] == '\r' && buf[next + 1] == '\n') {
            next += 2;
        }
        at = next;
    }
    return false;
}

bool IsMultiPart(const CFInfo& part) { return part.m_yTotal > 1 || part.m_Total > 1 || part.m_yPart > 1; }

} // namespace

void Extractor::HandleYencLine()
{
    LineBuffer& line = m_Call.line;
    line.StripLineEnd();
    DecodeState& state = m_Call.state;
    const bool begin = line.View().starts_with(kBegin);

    if (state == DecodeState::SeekingStart || state == DecodeState::Paused) {
        if (!begin) return;
        if (state == DecodeState::SeekingStart) Announce(msg::YencData);
        state = DecodeState::InData;
        if (m_Call.saveRaw) RawYencBegin();
        YencBeginLine();
        return;
    }
    if (state != DecodeState::InData) return;
    const bool header = begin || line.View().starts_with(kPart) || line.View().starts_with(kEnd);
    if (header && m_Call.saveRaw) RawLine(line.View());
    if (begin) {
        // A second header inside the part: the data start again here.
        YencBeginLine();
        return;
    }
    if (line.View().starts_with(kPart)) return;
    if (line.View().starts_with(kEnd)) {
        state = DecodeState::Paused;
        YencEndLine();
        return;
    }
    YencDataLine();
}

void Extractor::YencBeginLine()
{
    YencCallState& y = m_Call.yenc;
    const CFInfo& part = *m_Call.part;
    Crc32Reset(&y.partCrc);
    y.partBytes = 0;
    y.line.pendingEscape = false;
    const int number = part.m_Part;
    if (number < 2) {
        Crc32Reset(&y.fileCrc);
        y.fileCrcValid = true;
        y.nextPart = 1;
        y.partInProgress = -1;
    }
    if (number == y.partInProgress) {
        // A duplicate in place of the part in progress: its bytes replace the damaged ones.
        y.fileCrc = y.fileCrcAtPart;
    } else {
        y.fileCrcAtPart = y.fileCrc;
        y.partInProgress = number;
        if (number != y.nextPart) y.fileCrcValid = false;
    }
    y.dotStuffed = YencArticleIsDotStuffed(part);
}

void Extractor::YencDataLine()
{
    YencCallState& y = m_Call.yenc;
    LineBuffer& line = m_Call.line;
    // News transports double a leading dot; the article's lone "." line shows
    // it, and is itself no data (it is reached when the trailer is missing).
    if (y.dotStuffed && line.len >= 1 && line.text[0] == '.') {
        if (line.len == 1) return;
        if (line.text[1] == '.') line.CutFront(1);
    }
    CBufFile& out = m_Out->File();
    const std::int64_t before = out.GetPosition();
    int decoded = 0;
    const int result = DecodeYencLine(line.text, line.len, &out, &y.partCrc, nullptr, m_Call.part->m_yLine,
                                      m_Call.saveRaw, m_Settings.StrictYenc, y.line, &decoded);
    y.partBytes += static_cast<std::uint64_t>(decoded);
    if (result == 0 || (result > 0 && out.GetPosition() != before)) m_Call.dataWritten = true;
}

void Extractor::YencEndLine()
{
    YencCallState& y = m_Call.yenc;
    const std::string_view text = m_Call.line.View();
    y.fileCrc = Crc32Combine(y.fileCrcAtPart, y.partCrc, y.partBytes);
    YencCrcChecks(text);
    if (m_Call.state == DecodeState::SwitchToDuplicate) return;
    const bool done = YencFileDone(text);
    if (done && !YencLastPartSizeFits()) return; // its duplicate is tried when the part ends
    y.nextPart = std::int64_t{m_Call.part->m_Part} + 1;
    y.partInProgress = -1;
    if (done) FinishFile();
}

bool Extractor::YencLastPartSizeFits()
{
    // The size a trailer states is otherwise judged when the part ends, after
    // the finished file was closed and had perhaps replaced an existing one:
    // the part that finishes the file is judged before that.
    CFInfo& part = *m_Call.part;
    if (part.m_yEndSize <= 0 || m_Call.saveRaw) return true;
    return YencSizeFits(part, m_Out->File().GetPosition() - part.m_ByteStart) || !AlternateOf(part) ||
           m_Run.YouChooseDuplicate;
}

bool Extractor::YencSizeFits(CFInfo& part, std::int64_t length)
{
    // The size the trailer states against the bytes the part gave; a
    // mismatch is logged once (the strict check may have logged it).
    const bool fits = length == part.m_yEndSize;
    const bool reported = part.m_SizeCheck == CheckResult::Failed;
    NoteCheck(part.m_SizeCheck, fits);
    // Without "StrictYenc" a part whose CRC passed is sound, whatever its
    // trailer says of its size.
    if (fits || (!m_Settings.StrictYenc && part.m_CrcCheck == CheckResult::Passed)) return true;
    AddStatus(ST_DATAERROR);
    if (!reported) ReportLineError(msg::PartSizeWrong);
    return false;
}

bool Extractor::YencCrcChecks(std::string_view text)
{
    const YencCallState& y = m_Call.yenc;
    CFInfo& part = *m_Call.part;
    const std::optional<std::uint32_t> fileCrc = HexAfter(text, kFileCrc);
    const bool lastPart = part.m_yTotal > 0 && part.m_yPart == part.m_yTotal;
    // The whole-file CRC means something only when this call decoded every
    // part before this one, in order.
    const bool allParts = y.fileCrcValid && y.nextPart == part.m_Part;
    const bool fileCrcFits = fileCrc && lastPart && allParts && *fileCrc == ~y.fileCrc;
    const bool partCrcGiven = Has(text, "pcrc32=") || Has(text, "pcrc=");
    const bool crcWord = FindIgnoreCase(text, "crc") != std::string_view::npos;
    const auto judged = [&](CheckResult& result, bool passed, msg::Id failure) {
        NoteCheck(result, passed);
        if (!passed) DamagedLine(failure);
        return passed;
    };

    if (m_Settings.StrictYenc) {
        // On a multi-part trailer without a part CRC, " crc32=" is the whole file's.
        const bool partCrcKnown = part.m_yPartCrc != 1 && (partCrcGiven || !IsMultiPart(part));
        // The part's own length: its output position from where it began
        // (also when every output is appended to one file).
        const std::int64_t length = m_Out->File().GetPosition() - part.m_ByteStart;
        if (!m_Policy.Appending()) part.SetDataEnd(m_Out->File().GetPosition());
        if (Has(text, "size=") && !m_Call.saveRaw && !judged(part.m_SizeCheck, length == part.m_yEndSize, msg::PartSizeWrong))
            return false;
        if (fileCrc && lastPart && allParts) return judged(part.m_CrcCheck, *fileCrc == ~y.fileCrc, msg::FileCrcFails);
        if (!crcWord || !partCrcKnown) return true;
        return judged(part.m_CrcCheck, part.m_yPartCrc == ~y.partCrc, msg::PartCrcFails);
    }
    // Lenient: a trailer that names a CRC has the part's CRC tested. Without
    // "pcrc32=", " crc32=" is that part CRC as most posting programs write
    // it; on the last part it may be the whole file's instead, which passes
    // when every part was decoded here and it fits, and cannot be judged when not.
    if (!crcWord || part.m_yPartCrc == 1 || (!partCrcGiven && !fileCrc && IsMultiPart(part))) return true;
    const bool partFits = part.m_yPartCrc == ~y.partCrc || part.m_yPartCrc == y.partCrc;
    if (!partFits && !partCrcGiven && IsMultiPart(part) && lastPart && !allParts) return true;
    return judged(part.m_CrcCheck, partFits || (!partCrcGiven && fileCrcFits), msg::PartCrcFails);
}

bool Extractor::YencFileDone(std::string_view text) const
{
    const CFInfo& part = *m_Call.part;
    if (part.m_yTotal > 0 && part.m_yPart == part.m_yTotal && Has(text, kFileCrc)) return true;
    if (part.m_Total > 0) return part.m_Total == part.m_Part;
    return part.m_Part > 1 && part.m_Part == m_Call.record->m_Expected;
}

bool Extractor::YencArticleIsDotStuffed(const CFInfo& part)
{
    // An article as the news transport sent it ends with a line holding only
    // "." right after its last line ("=yend"); saved articles do not.
    const std::int64_t back = m_In->GetPosition();
    bool stuffed = false;
    LineBuffer probe;
    int n = 0;
    bool complete = false;
    if (part.m_Ends == 0) {
        // No trailer: the part runs to the end of its article, whose last
        // line is then the "." (read once, for damaged parts only).
        bool lastIsDot = false;
        std::int64_t pos = m_In->GetPosition();
        while ((part.m_EPos <= 0 || pos < part.m_EPos) && m_In->ReadLine(probe.text, kLineBufferSize, &n, &complete)) {
            pos += n;
            probe.len = n;
            probe.StripLineEnd();
            if (!probe.Empty()) lastIsDot = probe.View() == ".";
        }
        stuffed = lastIsDot;
    } else if (const std::optional<bool> dot = part.m_EPos > 0 ? DotLineAt(*m_In, part.m_EPos) : std::nullopt) {
        stuffed = *dot;
    } else if (part.m_EPos > 0) {
        m_In->Seek(part.m_EPos, 0);
        for (int i = 0; i < 3 && !stuffed; ++i) {
            if (!m_In->ReadLine(probe.text, kLineBufferSize, &n, &complete)) break;
            probe.len = n;
            probe.StripLineEnd();
            stuffed = probe.View() == ".";
            if (!probe.Empty() && !stuffed) break;
        }
    }
    m_In->Seek(back, 0);
    return stuffed;
}

bool Extractor::YencPlacementFits(const CFInfo& part) const
{
    // "=ypart" values outside 1..size say nothing about where the part goes.
    const std::int64_t size = part.m_ySize;
    if (size <= 0 || part.m_yBegin > size || part.m_yEnd > size) return false;
    // yEnc never decodes to more bytes than it reads: the announced size must
    // be one that parts as large as the biggest one found can carry.
    std::int64_t largest = 0;
    const CSortInfo& record = *m_Call.record;
    for (int i = 0; i < record.GetSize(); ++i)
        largest = std::max(largest, record.GetAt(i)->m_EPos - record.GetAt(i)->m_SPos);
    const std::int64_t count = std::max<std::int64_t>({record.m_Expected, record.GetSize(), 1});
    return largest > 0 && size / count <= largest;
}

void Extractor::PlaceYencPart(const CFInfo& part)
{
    if ((part.m_MsgType & MT_YENC) == 0 || !m_Settings.StrictYenc || part.m_yBegin < 1 || m_Policy.Appending() ||
        m_Call.saveRaw)
        return;
    if (!YencPlacementFits(part)) return;
    CBufFile& out = m_Out->File();
    // A new output is first given its full size, as a hole: every part lands
    // at its own offset and a missing part leaves zeros.
    if (m_Out->GetMode() != OutputFile::Mode::InPlace && !m_Call.zeroFilled &&
        (m_Call.record->m_Status & GS_MASK) != GS_COMPLETE) {
        out.SetLength(part.m_ySize);
        m_Call.zeroFilled = true;
    }
    if (out.GetLength() < part.m_yBegin - 1) out.SetLength(part.m_yBegin - 1);
    out.Seek(part.m_yBegin - 1, 0);
}

} // namespace zarvex
