// Extractor: the bookkeeping the data runs share when they take a batch of
// lines straight from the read buffer.
#include "extract/engine.h"
#include "io/buf_file.h"
#include "platform/host.h"
#include "text/messages.h"

#include <cstring>

namespace zarvex {

int Extractor::RunBatchLimit() const
{
    auto most = static_cast<int>(kRunAbortEvery - m_Call.linesDone % kRunAbortEvery);
    if ((m_Call.linesDone + most) % kProgressEvery == 0) --most;
    return most;
}

bool Extractor::RunStopRequested()
{
    if (!m_Host.AbortRequested()) return false;
    m_Call.aborted = true;
    m_Host.SetStatus(Message(msg::Aborted));
    return true;
}

void Extractor::SettleRunBatch(std::size_t at, std::int64_t binary, int lines, int hint, int lastLength)
{
    m_In->ConsumeBuffered(at, binary);
    m_Call.pos += static_cast<std::int64_t>(at);
    m_Call.lineNo += lines;
    m_Call.linesDone += lines;
    if (lines <= 0) return;
    m_Call.hint = lines > 1 ? hint : m_Call.previousLength;
    m_Call.previousLength = lastLength;
    m_Call.previousEndedLF = lines > 1 || m_Call.currentEndedLF;
    m_Call.currentEndedLF = true;
}

void Extractor::KeepRunLine(const unsigned char*& last, std::size_t length, bool addLF)
{
    if (!last) return;
    std::memcpy(m_Call.line.text, last, length);
    if (addLF) m_Call.line.text[length++] = '\n';
    m_Call.line.len = static_cast<int>(length);
    m_Call.line.text[length] = '\0';
    last = nullptr;
}

} // namespace zarvex
