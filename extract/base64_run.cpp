// Runs of Base64 data lines taken straight from the input's read buffer and
// decoded straight into the output's write buffer, as extract/yenc_run.cpp
// does for yEnc. Most of a Base64 body is such lines; read one at a time,
// each would be copied into the line buffer, dispatched, decoded into a
// scratch buffer and copied again.
//
// A line joins the run only when the line loop would do nothing with it but
// decode it: it ends with LF or CR LF inside the buffered bytes (the byte
// after the break there too), it is shorter than the line buffer, at least
// as long as the body's first data line (a shorter one may end the file), and
// it is nothing but whole groups of alphabet characters (no pad, no
// boundary, nothing to join or skip). Per line the run keeps the
// bookkeeping of ReadNextLine and asks the host about a stop exactly where
// the line loop would; the first line that does not qualify is left to the
// line loop.
#include "extract/engine.h"

#include "codec/base64.h"
#include "codec/msg_type.h"
#include "io/buf_file.h"
#include "io/line_break.h"
#include "io/line_break_wide.h"
#include "model/records.h"
#include "model/run_context.h"
#include "platform/host.h"
#include "text/messages.h"

#include <algorithm>
#include <cstring>

namespace zarvex {

namespace {

// The message types that the line dispatch hands to the Base64 handler:
// Base64 and no lower encoding bit.
bool Base64HandlerReads(std::uint32_t msgType) { return (msgType & (MT_B64 | (MT_B64 - 1))) == MT_B64; }

} // namespace

bool Extractor::TakeBase64DataRun()
{
    const CFInfo& part = *m_Call.part;
    if (m_Run.ScanFullRulesOnly || m_Call.state != DecodeState::InData || m_Call.saveRaw ||
        part.m_Indent != 0 || m_Call.expectedLength <= 0 || !Base64HandlerReads(part.m_MsgType))
        return false;
    CBufFile& out = m_Out->File();
    const bool wide = HaveWideLineBreak();
    const auto shortest = static_cast<std::size_t>(std::max<std::int64_t>(m_Call.expectedLength, 4));
    constexpr std::size_t kNeed = kMaxLineText / 4 * 3 + 1;

    std::size_t room = 0, made = 0;
    unsigned char* dest = nullptr;
    const unsigned char* last = nullptr; // the last line taken, while still buffered
    std::size_t lastLen = 0;
    int taken = 0;
    auto keepLast = [&] {
        if (!last) return;
        std::memcpy(m_Call.line.text, last, lastLen);
        m_Call.line.len = static_cast<int>(lastLen);
        m_Call.line.text[lastLen] = '\0';
        last = nullptr;
    };
    for (;; ++taken) {
        // The line loop's checks before each line (the first one had them).
        if (taken > 0 && (!BeforePartEnd() || m_Call.endOfInput)) break;
        std::size_t available = 0;
        const unsigned char* src = m_In->BufferedInput(available);
        if (!src) break;
        const std::size_t span = std::min<std::size_t>(available, kMaxLineText);
        std::int64_t binary = 0;
        const std::size_t k = wide ? FindLineBreakWide(src, span, binary) : FindLineBreak(src, span, binary);
        if (k >= span || k + 1 >= available || k < shortest) break;
        const std::size_t lineBreak = PlainLineBreak(src, k);
        if (lineBreak == 0) break;
        if (!dest || room - made < kNeed) {
            if (dest) out.CommitWrite(made);
            made = 0;
            dest = out.WriteRoom(kNeed, room);
        }
        if (!DecodeBase64Groups(src, static_cast<int>(k), dest + made)) break;
        if (taken > 0 && m_Host.AbortRequested()) {
            m_Call.aborted = true;
            m_Host.SetStatus(Message(msg::Aborted));
            break;
        }
        made += k / 4 * 3;
        m_Call.dataWritten = true;
        m_Call.shortDataLine = false;

        // ReadNextLine's bookkeeping; the line keeps its text as the Base64
        // handler leaves it (no line break).
        const std::size_t consumed = k + lineBreak;
        m_In->ConsumeBuffered(consumed, binary);
        m_Call.pos += static_cast<std::int64_t>(consumed);
        CountLine();
        m_Call.hint = m_Call.previousLength;
        m_Call.previousLength = static_cast<int>(k) + 1;
        m_Call.previousEndedLF = m_Call.currentEndedLF;
        m_Call.currentEndedLF = true;
        last = src;
        lastLen = k;
        if (consumed == available) keepLast(); // the next refill reuses the buffer
    }
    if (dest) out.CommitWrite(made);
    keepLast();
    return taken > 0;
}

} // namespace zarvex
