// BNews ("<<BPST") sections: the byte count of the opening line says how
// much the groups carry; short, long and missing lines are line errors.
#include "extract/engine.h"

#include "codec/bnews.h"
#include "model/records.h"
#include "text/text_utils.h"

namespace zarvex {
namespace {

constexpr int kShortestDataLine = 20;
constexpr int kFullLineWithBreak = kBNewsLineLength + 1;
constexpr int kCountedErrors = 5;

} // namespace

// A damaged BNews line; the error count of this type stops at five.
void Extractor::BNewsDamage(msg::Id reason)
{
    const int before = m_Call.errorCount;
    DamagedLine(reason);
    if (before >= kCountedErrors) m_Call.errorCount = before;
}

void Extractor::HandleBNewsLine()
{
    LineBuffer& line = m_Call.line;
    switch (m_Call.state) {
    case DecodeState::SeekingStart:
        if (!line.View().starts_with("<<BPST ")) return;
        m_Call.state = DecodeState::InData;
        ResetBNews(m_Call.bnews);
        m_Call.bnews.expected = m_Call.part->m_yEndSize;
        Announce(msg::BNewsData);
        if (m_Call.saveRaw) RawBNewsStart();
        return;
    case DecodeState::Paused:
        if (line.len != kFullLineWithBreak || IsHeaderOrSeparator(line.text, line.len, true)) return;
        m_Call.state = DecodeState::InData;
        break;
    case DecodeState::InData:
        if (line.len < kShortestDataLine) {
            m_Call.state = DecodeState::Paused;
            return;
        }
        break;
    default:
        return;
    }
    const bool atEnd = !BeforePartEnd();
    const std::int64_t before = m_Call.bnews.expected;
    const int status =
        DecodeBNewsLine(line.text, line.len, &m_Out->File(), m_Call.bnews, m_Call.saveRaw, atEnd);
    if (m_Call.saveRaw || m_Call.bnews.expected != before) m_Call.dataWritten = true;
    if (atEnd && m_Call.bnews.expected > 0) {
        BNewsDamage(msg::ShortFile);
    } else if (m_Call.bnews.expected <= 0) {
        FinishFile();
    } else if (status & BN_LONG) {
        BNewsDamage(msg::LongLine);
    } else if (status & BN_SHORT) {
        BNewsDamage(msg::ShortLine);
        if (m_Call.state != DecodeState::SwitchToDuplicate) FinishFile();
    }
}

} // namespace zarvex
