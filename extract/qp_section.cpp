// Quoted-Printable sections: the body starts after the first blank line
// and runs to the part's end or to a header line near it.
#include "extract/engine.h"

#include "codec/quoted_printable.h"
#include "model/settings.h"
#include "text/ascii.h"
#include "text/text_utils.h"

#include <algorithm>

namespace zarvex {
namespace {

// A header line this close to the part's end is the next message's.
constexpr std::int64_t kHeaderNearEnd = 999;
// At most this much of a piece waits for the next one.
constexpr int kLongestCarry = 64;

bool IsBlankLine(std::string_view text)
{
    for (const char c : text)
        if (!IsAsciiSpace(static_cast<unsigned char>(c))) return false;
    return true;
}

// A piece of a long line decodes up to here: an escape cut in two, and
// blanks that may yet turn out to be trailing ones (the decoder drops
// those), wait for the rest of the line.
int PieceDecodesTo(const LineBuffer& line)
{
    const int floor = std::max(0, line.len - kLongestCarry);
    int keep = line.len;
    for (bool moved = true; moved;) {
        moved = false;
        while (keep > floor && (line.text[keep - 1] == ' ' || line.text[keep - 1] == '\t')) {
            --keep;
            moved = true;
        }
        for (int back = 1; back <= 2 && keep - back >= floor; ++back) {
            if (line.text[keep - back] == '=') {
                keep -= back;
                moved = true;
                break;
            }
        }
    }
    return keep;
}

bool LooksLikeHeader(const LineBuffer& line)
{
    return StartsWithIgnoreCase(line.View(), "Content-") || line.View().starts_with("Article ");
}

} // namespace

bool Extractor::HeaderBlockBegins()
{
    // "Content-free text" or "Article 5 says" in the last lines of a body
    // is text: a header block is a header line that more header lines, or
    // the blank line closing the block, follow.
    const LineBuffer& line = m_Call.line;
    const bool article = line.View().starts_with("Article ");
    if (!article && !IsHeaderOrSeparator(line.text, line.len, true)) return false;
    LineBuffer next;
    if (!PeekNextLine(next)) return !article;
    return IsHeaderOrSeparator(next.text, next.len, true) || (!article && IsBlankLine(next.View()));
}

void Extractor::HandleQuotedPrintableLine()
{
    LineBuffer& line = m_Call.line;
    const bool atEnd = !BeforePartEnd();
    if (m_Call.state == DecodeState::SeekingStart) {
        if (IsBlankLine(line.View())) {
            m_Call.state = DecodeState::InData;
            Announce(msg::QpData);
        } else if (atEnd) {
            FinishFile();
        }
        return;
    }
    if (m_Call.state != DecodeState::InData) return;
    if (atEnd) line.StripLineEnd();
    TakeCarry(line);
    if (m_Call.midLine) KeepCarry(line, PieceDecodesTo(line));
    const bool continued =
        m_Call.qpSoftBreak || m_Call.continuesLine || (LooksLikeHeader(line) && !HeaderBlockBegins());
    m_Call.qpSoftBreak = EndsInSoftBreak(line.text, line.len);
    const int result = DecodeQPLine(line.text, line.len, &m_Out->File(), m_Settings.EOLConversion, continued);
    m_Call.dataWritten = true;
    const bool headerNearEnd = result == QP_HEADER && m_Call.endPos - m_Call.pos < kHeaderNearEnd;
    if (headerNearEnd || atEnd) FinishFile();
}

} // namespace zarvex
