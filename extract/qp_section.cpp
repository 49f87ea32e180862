// Quoted-Printable sections: the body starts after the first blank line
// and runs to the part's end or to a header line near it.
#include "extract/engine.h"

#include "codec/quoted_printable.h"
#include "model/settings.h"
#include "text/ascii.h"

namespace zarvex {
namespace {

// A header line this close to the part's end is the next message's.
constexpr std::int64_t kHeaderNearEnd = 999;

bool IsBlankLine(std::string_view text)
{
    for (const char c : text)
        if (!IsAsciiSpace(static_cast<unsigned char>(c))) return false;
    return true;
}

} // namespace

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
    const int result = DecodeQPLine(line.text, line.len, &m_Out->File(), m_Settings.EOLConversion);
    m_Call.dataWritten = true;
    const bool headerNearEnd = result == QP_HEADER && m_Call.endPos - m_Call.pos < kHeaderNearEnd;
    if (headerNearEnd || atEnd) FinishFile();
}

} // namespace zarvex
