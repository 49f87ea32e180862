// The line state machines of UUencoded and XXencoded sections: where a file
// starts, which lines are data, where the data pause between parts and
// resume, and where the file ends (with the short last line before "`"/"+"
// and "end" that only the end handling decodes).
#include "extract/engine.h"

#include "codec/uuxx.h"
#include "io/buf_file.h"
#include "model/records.h"
#include "scan/line_tests.h"
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
void Extractor::DecodeSixBitData(LineBuffer& line, bool xx, int hint)
{
    const int flags = xx ? DecodeXXLine(line.text, line.len, &m_Out->File(), m_Call.saveRaw)
                         : DecodeUULine(line.text, line.len, &m_Out->File(), hint, m_Call.saveRaw);
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
    line.StripLineEnd();
    for (int i = 1; i <= line.len - (kFullLine - 1); ++i) {
        if (line.text[i] == 'M' && IsUULine(line.text + i, line.len - i, true)) {
            line.CutFront(i);
            return;
        }
    }
}

bool Extractor::UUEndOfFile()
{
    // A short last line that did not qualify as data waits in the history.
    LineBuffer& tail = IsZeroLengthUULine(m_Call.history1) ? m_Call.history2 : m_Call.history1;
    if (!tail.Empty()) DecodeSixBitData(tail, false, 0);
    return FinishAtEndLine();
}

bool Extractor::FinishAtEndLine()
{
    ClearHistory();
    if (m_Call.state == DecodeState::SwitchToDuplicate) return false;
    if ((m_Call.part->m_Status & GS_MASK) == GS_TOO_MANY) return false; // more parts than expected: read on
    FinishFile();
    return true;
}

void Extractor::HandleUULine()
{
    LineBuffer& line = m_Call.line;
    if (m_Call.saveRaw) line.StripLineEnd();
    DecodeState& state = m_Call.state;

    if (state == DecodeState::InData && line.First() != 'M' && line.len > 5 &&
        !IsUULine(line.text, line.len, true)) {
        LineBuffer next;
        if (PeekNextLine(next) && next.First() == 'M') {
            DamagedLine(msg::UnexpectedData);
            if (state == DecodeState::SwitchToDuplicate) return;
        }
    }

    if (state == DecodeState::SeekingStart) {
        if (StartsWithIgnoreCase(line.View(), "begin ")) {
            state = DecodeState::Paused;
            Announce(msg::UuData);
            return;
        }
        if (line.First() != 'M' || line.len <= kFullLine - 1 || !IsUULine(line.text, line.len, false)) {
            if (StartsWith(line, "end"))
                state = DecodeState::Paused;
            else
                PushHistory();
            return;
        }
        state = DecodeState::Paused;
        Announce(msg::UuData);
    }

    if (state == DecodeState::Paused && UUQualifiesInPause()) state = DecodeState::InData;

    if (state == DecodeState::InData) {
        if (line.len > kFullLine && line.First() != 'M' && !m_Call.saveRaw) UUDropBeforeM();
        if (line.First() == '`' || (line.First() != 'M' && !IsUULine(line.text, line.len, true))) {
            state = DecodeState::Paused;
        } else {
            DecodeSixBitData(line, false, m_Call.hint);
            ClearHistory();
            return;
        }
    }

    if (state != DecodeState::Paused) return;
    if (IsEndLine(line)) {
        UUEndOfFile();
        return;
    }
    if (!IsLoneLineFeed(line)) PushHistory();
}

bool Extractor::XXEndOfFile()
{
    if (!m_Call.history2.Empty()) DecodeSixBitData(m_Call.history2, true, 0);
    return FinishAtEndLine();
}

void Extractor::HandleXXLine()
{
    LineBuffer& line = m_Call.line;
    if (m_Call.saveRaw) line.StripLineEnd();
    DecodeState& state = m_Call.state;
    const bool fullHLine = line.First() == 'h' && line.len > kFullLine && IsXXLine(line.text, line.len);

    if (state == DecodeState::SeekingStart) {
        if (StartsWithIgnoreCase(line.View(), "begin ")) {
            state = DecodeState::InData;
            Announce(msg::XxData);
            return;
        }
        if (!fullHLine) {
            if (StartsWith(line, "end"))
                state = DecodeState::Paused;
            else
                PushHistory();
            return;
        }
        state = DecodeState::InData;
        Announce(msg::XxData);
    }

    if (state == DecodeState::Paused && fullHLine && m_Call.previousEndedLF) state = DecodeState::InData;

    if (state == DecodeState::InData) {
        if (line.First() == 'h') {
            DecodeSixBitData(line, true, 0);
            ClearHistory();
            return;
        }
        state = DecodeState::Paused;
    }

    if (state != DecodeState::Paused) return;
    // The end: "end" after the XX line of zero bytes ("+").
    if (IsEndLine(line) && m_Call.history1.First() == '+') {
        XXEndOfFile();
        return;
    }
    if (!IsLoneLineFeed(line)) PushHistory();
}

} // namespace zarvex
