// The line state machines of UUencoded and XXencoded sections: where a file
// starts, which lines are data, where the data pause between parts and
// resume, and where the file ends (with the short last line before "`"/"+"
// and "end" that only the end handling decodes).
#include "extract/engine.h"

#include "codec/line_tests.h"
#include "codec/uuxx.h"
#include "io/buf_file.h"
#include "model/records.h"
#include "text/ascii.h"

namespace zarvex {
namespace {

constexpr int kFullLine = 61; // count character and 60 data characters

bool StartsWith(const LineBuffer& line, std::string_view prefix) { return line.View().starts_with(prefix); }

bool IsEndLine(const LineBuffer& line) { return line.len <= 5 && StartsWith(line, "end"); }

bool IsLoneLineFeed(const LineBuffer& line) { return line.len == 1 && line.text[0] == '\n'; }

// The UU line of zero bytes: a back-quote or a blank, nothing else but the line end.
bool IsZeroLengthUULine(const LineBuffer& line)
{
    if (line.len == 0 || (line.text[0] != '`' && line.text[0] != ' ')) return false;
    for (int i = 1; i < line.len; ++i)
        if (!IsAsciiSpace(static_cast<unsigned char>(line.text[i]))) return false;
    return true;
}

int DecodeXX(char* line, int len, CBufFile* out, int /*hint*/, bool raw) { return DecodeXXLine(line, len, out, raw); }

// UU: a full line opens the data (its pause test then decides);
// the count character is "M".
bool OpensUU(const LineBuffer& line)
{
    return line.First() == 'M' && line.len > kFullLine - 1 && IsUULine(line.text, line.len, false);
}
bool IsUUData(const LineBuffer& line)
{
    return line.First() != '`' && (line.First() == 'M' || IsUULine(line.text, line.len, true));
}

// XX: the count character of a full line is "h"; "+" is the line of zero bytes.
bool OpensXX(const LineBuffer& line)
{
    return line.First() == 'h' && line.len > kFullLine && IsXXLine(line.text, line.len);
}
bool IsXXData(const LineBuffer& line) { return line.First() == 'h'; }
bool IsZeroLengthXXLine(const LineBuffer& line) { return line.First() == '+'; }

} // namespace

// What tells the two six-bit encodings apart in their section handling.
struct SixBitEncoding
{
    msg::Id typeName;
    DecodeState afterStart; // the state after the "begin" line or the first full line
    bool (*opensData)(const LineBuffer&);  // a line that starts (or resumes) the data
    bool (*isData)(const LineBuffer&);     // a line that continues the data
    bool (*isZeroLine)(const LineBuffer&); // the line of zero bytes before "end"
    bool endNeedsZeroLine;                 // "end" ends the file only after that line
    // UU only: a stray line between full lines is reported, a pause ends
    // only on a line that qualifies (the next line looked at), and a quote
    // prefix before a full line is cut off.
    bool strayLineRules;
    int (*decode)(char* line, int len, CBufFile* out, int hint, bool raw);
};

namespace {

constexpr SixBitEncoding kUU{msg::UuData, DecodeState::Paused, OpensUU, IsUUData, IsZeroLengthUULine,
                             false, true, DecodeUULine};
constexpr SixBitEncoding kXX{msg::XxData, DecodeState::InData, OpensXX, IsXXData, IsZeroLengthXXLine,
                             true, false, DecodeXX};

} // namespace

void Extractor::PushHistory()
{
    m_Call.history2.Assign(m_Call.history1);
    m_Call.history1.Assign(m_Call.line);
}

void Extractor::ClearHistory()
{
    m_Call.history1.Clear();
    m_Call.history2.Clear();
}

// Decodes one UU or XX data line and reports what was wrong with it.
void Extractor::DecodeSixBitData(const SixBitEncoding& form, LineBuffer& line, int hint)
{
    const int flags = form.decode(line.text, line.len, &m_Out->File(), hint, m_Call.saveRaw);
    m_Call.dataWritten = true;
    if (flags & LS_LONG)
        DamagedLine(msg::LongLine);
    else if (flags & LS_SHORT)
        DamagedLine(msg::ShortLine);
    else if (flags & LS_INVALID)
        DamagedLine(msg::InvalidCharacters);
    if (flags & LS_JOINED) LogCountedNote(msg::MissingLineEnd);
    if (flags & LS_DOT_FIXED) LogCountedNote(msg::DuplicateDot);
}

bool Extractor::UUStrayLine()
{
    // A line that is no data, between full lines.
    const LineBuffer& line = m_Call.line;
    if (line.First() == 'M' || line.len <= 5 || IsUULine(line.text, line.len, true)) return false;
    LineBuffer next;
    return PeekNextLine(next) && next.First() == 'M';
}

bool Extractor::UUQualifiesInPause()
{
    const LineBuffer& line = m_Call.line;
    if (line.First() == ' ' || !m_Call.previousEndedLF) return false;
    const bool fullMLine = line.First() == 'M' && line.len > kFullLine;
    if (!fullMLine && !IsUULine(line.text, line.len, true)) return false;
    if (StartsWithIgnoreCase(line.View(), "Message") || FindIgnoreCase(line.View(), "CUT HERE") != std::string_view::npos)
        return false;
    if (line.First() == 'M') return true;
    // A short line resumes the data only when it is not followed by more
    // data: it would be a stray line between full lines.
    LineBuffer next;
    if (!PeekNextLine(next)) return true;
    if (next.First() == 'M') return !IsUULine(next.text, next.len, true);
    return next.len < kFullLine;
}

void Extractor::UUDropBeforeM()
{
    // A quote prefix that the indent did not remove: find the full line in it.
    LineBuffer& line = m_Call.line;
    if (line.len <= kFullLine || line.First() == 'M' || m_Call.saveRaw) return;
    line.StripLineEnd();
    for (int i = 1; i <= line.len - (kFullLine - 1); ++i) {
        if (line.text[i] == 'M' && IsUULine(line.text + i, line.len - i, true)) {
            line.CutFront(i);
            return;
        }
    }
}

void Extractor::SixBitEndOfFile(const SixBitEncoding& form)
{
    // A short last line that did not qualify as data waits in the history,
    // before the line of zero bytes if there is one.
    const bool zeroLineSeen = form.isZeroLine(m_Call.history1);
    LineBuffer& tail = zeroLineSeen ? m_Call.history2 : m_Call.history1;
    if (!tail.Empty()) DecodeSixBitData(form, tail, 0);
    if (m_Call.saveRaw && m_Call.state != DecodeState::SwitchToDuplicate)
        RawSixBitEnd(&form == &kUU, zeroLineSeen ? m_Call.history1 : LineBuffer{});
    ClearHistory();
    if (m_Call.state == DecodeState::SwitchToDuplicate) return;
    if ((m_Call.part->m_Status & GS_MASK) == GS_TOO_MANY) return; // more parts than expected: read on
    FinishFile();
}

void Extractor::HandleUULine() { HandleSixBitLine(kUU); }

void Extractor::HandleXXLine() { HandleSixBitLine(kXX); }

void Extractor::HandleSixBitLine(const SixBitEncoding& form)
{
    LineBuffer& line = m_Call.line;
    // The UU raw mode ends every line with CR LF; the XX one keeps the line's own end.
    if (m_Call.saveRaw && &form == &kUU) line.StripLineEnd();
    DecodeState& state = m_Call.state;

    if (form.strayLineRules && state == DecodeState::InData && UUStrayLine()) {
        DamagedLine(msg::UnexpectedData);
        if (state == DecodeState::SwitchToDuplicate) return;
    }

    if (state == DecodeState::SeekingStart) {
        const bool begin = StartsWithIgnoreCase(line.View(), "begin ");
        if (!begin && !form.opensData(line)) {
            if (StartsWith(line, "end"))
                state = DecodeState::Paused;
            else
                PushHistory();
            return;
        }
        state = form.afterStart;
        Announce(form.typeName);
        if (m_Call.saveRaw) RawSixBitStart(&form == &kUU, begin);
        if (begin) return;
    }

    if (state == DecodeState::Paused &&
        (form.strayLineRules ? UUQualifiesInPause() : form.opensData(line) && m_Call.previousEndedLF)) {
        state = DecodeState::InData;
        if (m_Call.saveRaw) RawSixBitResume();
    }

    if (state == DecodeState::InData) {
        if (form.strayLineRules) UUDropBeforeM();
        if (!form.isData(line)) {
            state = DecodeState::Paused;
        } else {
            DecodeSixBitData(form, line, m_Call.hint);
            ClearHistory();
            return;
        }
    }

    if (state != DecodeState::Paused) return;
    if (IsEndLine(line) && (!form.endNeedsZeroLine || form.isZeroLine(m_Call.history1))) {
        SixBitEndOfFile(form);
        return;
    }
    if (!IsLoneLineFeed(line)) PushHistory();
}

} // namespace zarvex
