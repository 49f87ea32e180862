// Runs of yEnc data lines taken straight from the input's read buffer and
// decoded straight into the output's write buffer. Most of a yEnc part is
// such lines; read one at a time, each would be copied into the line
// buffer, dispatched, decoded into a scratch buffer and copied again. Each
// line's bytes are still taken as a write of their own, as DecodeYencLine
// writes them: the output's buffer goes out at the same bytes.
//
// A line joins the run only when the engine would read it the same way
// (its end is found by the decoding, see DecodeYencBufferedLine):
// it ends with LF or CR LF inside the buffered bytes (the byte after the
// break there too, since it decides the break's form), it is shorter than
// the line buffer, and the yEnc handler would take it as data (not "=y...",
// no dot of a dot-stuffed article). Per line the run keeps the bookkeeping
// of ReadNextLine (position, line count, progress, the length history) and
// asks the host about a stop every kRunAbortEvery lines (which takes in
// every line after which the host was called); the first line that does
// not qualify is left to the line loop.
#include "extract/engine.h"

#include "codec/crc32.h"
#include "codec/msg_type.h"
#include "codec/yenc.h"
#include "io/buf_file.h"
#include "io/line_break.h"
#include "model/records.h"
#include "model/run_context.h"
#include "model/settings.h"

#include <algorithm>

namespace zarvex {

namespace {

// The message types that the line dispatch hands to the yEnc handler: yEnc
// and no lower encoding bit.
bool YencHandlerReads(std::uint32_t msgType) { return (msgType & (MT_YENC | (MT_YENC - 1))) == MT_YENC; }

} // namespace

bool Extractor::TakeYencDataRun()
{
    const CFInfo& part = *m_Call.part;
    if (m_Run.ScanFullRulesOnly || m_Call.state != DecodeState::InData || m_Call.saveRaw ||
        part.m_Indent != 0 || m_Call.midLine || !YencHandlerReads(part.m_MsgType) || !m_Out->File().IsOpen())
        return false;
    YencCallState& y = m_Call.yenc;
    CBufFile& out = m_Out->File();
    const bool strict = m_Settings.StrictYenc;
    constexpr std::size_t kNeed = kMaxLineText + kYencDecodeSlack;

    // One line's bytes when the output's buffer has no room for them: each
    // line goes to the output in a write of its own, as the line decoder
    // hands it over, so that the buffer goes out (and a full disk shows) at
    // the same bytes.
    unsigned char bytes[kNeed];
    // The CRC runs over the bytes decoded in place in one go, as long as they
    // follow each other in the buffer (before a line is decoded over them).
    const unsigned char* crcFrom = nullptr;
    std::size_t crcLen = 0;
    auto takeCrc = [&] {
        if (crcLen > 0) y.partCrc = Crc32UpdateBulk(y.partCrc, crcFrom, crcLen);
        crcLen = 0;
    };
    const unsigned char* last = nullptr; // the last line taken, while still buffered
    std::size_t lastLen = 0;
    int taken = 0;
    // Lines one after the other in the read buffer, decoded in place, up to
    // the next stop question (kRunAbortEvery lines) but short of the line
    // after which the progress is shown (the path below takes that one and
    // the lines that need the scratch buffer); the bookkeeping of
    // ReadNextLine is done once for them all (no one looks in between).
    // Returns the lines taken.
    auto takeBatch = [&](const unsigned char* src, std::size_t available) {
        const int most = RunBatchLimit();
        std::size_t at = 0;
        std::int64_t binarySum = 0;
        int n = 0, previous = m_Call.previousLength;
        auto settle = [&](int lines) {
            SettleRunBatch(at, binarySum, lines, previous, static_cast<int>(lastLen) + 1);
        };
        for (; n < most && BeforeRunEnd(at); ++n) {
            const unsigned char* line = src + at;
            const std::size_t left = available - at;
            if (left >= 2 && line[0] == '=' && line[1] == 'y') break;
            if (y.dotStuffed && line[0] == '.') break;
            const std::size_t span = std::min<std::size_t>(left, kMaxLineText);
            std::size_t room = 0;
            unsigned char* const made = out.PendingSpace(room);
            if (room < span + kYencDecodeSlack) break;
            if (made != crcFrom + crcLen) takeCrc();
            YencLineState state = y.line;
            int produced = 0, lineEnd = 0;
            std::int64_t binary = 0;
            const int result = DecodeYencBufferedLine(line, static_cast<int>(span), made, part.m_yLine, strict,
                                                      state, produced, lineEnd, binary);
            const auto k = static_cast<std::size_t>(lineEnd);
            if (k >= span || k + 1 >= left) break;
            const std::size_t lineBreak = PlainLineBreak(line, k);
            if (lineBreak == 0) break;
            if (n == 0 && taken > 0 && RunStopRequested()) break;
            y.line = state;
            if (n > 0) previous = static_cast<int>(lastLen) + 1;
            at += k + lineBreak;
            binarySum += binary;
            last = line;
            lastLen = k;
            if (crcLen == 0) crcFrom = made;
            crcLen += static_cast<std::size_t>(produced);
            try {
                out.CommitAsWrite(static_cast<std::size_t>(produced));
            } catch (const FileException&) {
                settle(n + 1);
                KeepRunLine(last, lastLen, false); // the line stays the current one, as in the line loop
                throw;
            }
            y.partBytes += static_cast<std::uint64_t>(produced);
            if (result == 0 || produced > 0) m_Call.dataWritten = true;
        }
        settle(n);
        if (at == available) KeepRunLine(last, lastLen, false); // the next refill reuses the buffer
        return n;
    };
    for (;; ++taken) {
        // The line loop's checks before each line (the first one had them).
        if (taken > 0 && (!BeforePartEnd() || m_Call.endOfInput)) break;
        std::size_t available = 0;
        const unsigned char* src = m_In->BufferedInput(available);
        if (!src) break;
        const int batch = takeBatch(src, available);
        if (m_Call.aborted) break;
        if (batch > 0) {
            taken += batch - 1;
            continue;
        }
        if (available >= 2 && src[0] == '=' && src[1] == 'y') break; // header, part or trailer line
        if (y.dotStuffed && src[0] == '.') break;
        // Decoded in place in the output's buffer when it has the room;
        // the line's end is found by the decoding.
        const std::size_t span = std::min<std::size_t>(available, kMaxLineText);
        std::size_t room = 0;
        unsigned char* space = out.PendingSpace(room);
        const bool inPlace = room >= span + kYencDecodeSlack;
        unsigned char* const made = inPlace ? space : bytes;
        if (!inPlace || space != crcFrom + crcLen) takeCrc();
        YencLineState state = y.line;
        int produced = 0, lineEnd = 0;
        std::int64_t binary = 0;
        const int result = DecodeYencBufferedLine(src, static_cast<int>(span), made, part.m_yLine, strict, state,
                                                  produced, lineEnd, binary);
        const auto k = static_cast<std::size_t>(lineEnd);
        if (k >= span || k + 1 >= available) break;
        const std::size_t lineBreak = PlainLineBreak(src, k);
        if (lineBreak == 0) break;
        if (taken > 0 && m_Call.linesDone % kRunAbortEvery == 0 && RunStopRequested()) break;
        y.line = state;

        // ReadNextLine's bookkeeping; the line keeps its text as the yEnc
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
        if (inPlace) {
            if (crcLen == 0) crcFrom = made;
            crcLen += static_cast<std::size_t>(produced);
        } else {
            y.partCrc = Crc32UpdateBulk(y.partCrc, made, static_cast<std::size_t>(produced));
        }
        try {
            if (inPlace)
                out.CommitAsWrite(static_cast<std::size_t>(produced));
            else
                out.Write(bytes, static_cast<std::size_t>(produced));
        } catch (const FileException&) {
            KeepRunLine(last, lastLen, false); // the line stays the current one, as in the line loop
            throw;
        }
        y.partBytes += static_cast<std::uint64_t>(produced);
        if (result == 0 || produced > 0) m_Call.dataWritten = true;
        if (consumed == available) KeepRunLine(last, lastLen, false); // the next refill reuses the buffer
    }
    takeCrc();
    KeepRunLine(last, lastLen, false);
    return taken > 0;
}

} // namespace zarvex
