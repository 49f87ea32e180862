// Runs of Base64 and UU data lines taken straight from the input's read
// buffer and decoded straight into the output's write buffer, as
// extract/yenc_run.cpp does for yEnc. Most of a body is such lines; read
// one at a time, each would be copied into the line buffer, dispatched and
// run through the general line decoder.
//
// A line joins the run only when the line loop would do nothing with it but
// decode it without a complaint: it ends with LF or CR LF inside the
// buffered bytes (the byte after the break there too), it is shorter than
// the line buffer, and its form's test takes it:
//  - Base64: at least as long as the body's first data line (a shorter one
//    may end the file) and nothing but whole groups of alphabet characters
//    (no pad, no boundary, nothing to join or skip);
//  - UU: a full line, "M" and 60 characters of the alphabet (exactly the
//    length its count announces: no dot repair, checksum or joined line).
// Per line the run keeps the bookkeeping of ReadNextLine; it asks the host
// about a stop every kRunAbortEvery lines, which takes in every line after
// which the host was called. The first line that does not qualify is left
// to the line loop.
#include "extract/engine.h"

#include "codec/base64.h"
#include "codec/msg_type.h"
#include "codec/six_bit.h"
#include "io/buf_file.h"
#include "io/line_break.h"
#include "io/line_break_wide.h"
#include "model/records.h"
#include "model/run_context.h"

#include <algorithm>

namespace zarvex {

namespace {

constexpr int kUUFullLine = 61; // "M" and 15 groups
constexpr std::size_t kUUFullBytes = 45;

// The message types that the line dispatch hands to the handler of `type`:
// that type and no lower encoding bit.
bool HandlerReads(std::uint32_t msgType, std::uint32_t type)
{
    return (msgType & (type | (type - 1))) == type;
}

// Decodes the line text[0, k) into `out` when the form takes it; returns the
// bytes stored, or -1 for a line left to the line loop.
int DecodeBase64RunLine(const unsigned char* text, std::size_t k, std::size_t shortest, unsigned char* out)
{
    if (k < shortest || !DecodeBase64Groups(text, static_cast<int>(k), out)) return -1;
    return static_cast<int>(k / 4 * 3);
}

// Where a line taken from the read buffer ends: at `k`, with a break of
// `lineBreak` bytes, `binary` binary-looking bytes before it.
struct RunLine
{
    std::size_t k = 0;
    std::size_t lineBreak = 0;
    std::int64_t binary = 0;
};

// The line at src, when it ends inside the buffered bytes with a plain break.
bool MeasureLine(const unsigned char* src, std::size_t available, bool wide, RunLine& line)
{
    const std::size_t span = std::min<std::size_t>(available, kMaxLineText);
    line.k = wide ? FindLineBreakWide(src, span, line.binary) : FindLineBreak(src, span, line.binary);
    if (line.k >= span || line.k + 1 >= available) return false;
    line.lineBreak = PlainLineBreak(src, line.k);
    return line.lineBreak != 0;
}

// A full UU line needs no search: its break follows the 61 characters, and
// none of them is a break or looks binary once all decode as UU
// characters (DecodeUURunLine checks that).
bool MeasureUULine(const unsigned char* src, std::size_t available, RunLine& line)
{
    if (available <= kUUFullLine + 1 || src[0] != 'M') return false;
    const unsigned char after = src[kUUFullLine];
    line = {kUUFullLine, after == '\n' || after == '\r' ? PlainLineBreak(src, kUUFullLine) : 0, 0};
    return line.lineBreak != 0;
}

int DecodeUURunLine(const unsigned char* text, unsigned char* out, bool avx2)
{
    const bool decoded = avx2 ? detail::DecodeUUFullLineAvx2(text + 1, out) : detail::DecodeUUFullLine(text + 1, out);
    return decoded ? static_cast<int>(kUUFullBytes) : -1;
}

} // namespace

bool Extractor::TakeLineRun()
{
    const CFInfo& part = *m_Call.part;
    if (m_Run.ScanFullRulesOnly || m_Call.state != DecodeState::InData || m_Call.saveRaw ||
        part.m_Indent != 0 || m_Call.midLine || !m_Call.carry.empty())
        return false;
    const bool base64 = HandlerReads(part.m_MsgType, MT_B64) && m_Call.expectedLength > 0;
    if (!base64 && !HandlerReads(part.m_MsgType, MT_UU)) return false;
    CBufFile& out = m_Out->File();
    const bool wide = HaveWideLineBreak();
    const bool avx2 = detail::HaveUUFullLineAvx2();
    const auto shortest = static_cast<std::size_t>(std::max<std::int64_t>(m_Call.expectedLength, 4));
    // One line's bytes (and the decoders' slack) when the output's buffer
    // has no room for them. Each line goes to the output in a write of its
    // own, as the line decoders hand it over, so that the buffer goes out
    // (and a full disk shows) at the same bytes.
    constexpr std::size_t kSlack = 16;
    unsigned char bytes[kMaxLineText / 4 * 3 + kSlack];

    const unsigned char* last = nullptr; // the last line taken, while still buffered
    std::size_t lastLen = 0;
    int taken = 0;
    // Full UU lines one after the other in the read buffer, up to the next
    // stop question (kRunAbortEvery lines) but short of the line after
    // which the progress is shown (the path below takes that one): each
    // decoded in the output's buffer and taken as a write of its own, the
    // bookkeeping of ReadNextLine done once for them all (no one looks in
    // between). Returns the lines taken.
    auto takeUUBatch = [&](const unsigned char* src, std::size_t available) {
        const int most = RunBatchLimit();
        std::size_t at = 0;
        int n = 0;
        auto settle = [&](int lines, int written) {
            SettleRunBatch(at, 0, lines, kUUFullLine + 1, kUUFullLine + 1);
            if (written > 0) m_Call.dataWritten = true;
        };
        for (; n < most && BeforeRunEnd(at); ++n) {
            RunLine line;
            if (!MeasureUULine(src + at, available - at, line)) break;
            std::size_t room = 0;
            unsigned char* space = out.PendingSpace(room);
            if (room < kUUFullLine + kSlack || DecodeUURunLine(src + at, space, avx2) < 0) break;
            if (n == 0 && taken > 0 && RunStopRequested()) break;
            last = src + at;
            lastLen = kUUFullLine;
            at += kUUFullLine + line.lineBreak;
            try {
                out.CommitAsWrite(kUUFullBytes);
            } catch (const FileException&) {
                settle(n + 1, n);
                KeepRunLine(last, lastLen, !base64); // the line stays the current one, as in the line loop
                throw;
            }
        }
        settle(n, n);
        if (at == available) KeepRunLine(last, lastLen, !base64); // the next refill reuses the buffer
        return n;
    };
    for (;; ++taken) {
        // The line loop's checks before each line (the first one had them).
        if (taken > 0 && (!BeforePartEnd() || m_Call.endOfInput)) break;
        std::size_t available = 0;
        const unsigned char* src = m_In->BufferedInput(available);
        if (!src) break;
        if (!base64) {
            const int batch = takeUUBatch(src, available);
            if (m_Call.aborted) break;
            if (batch > 0) {
                taken += batch - 1;
                continue;
            }
        }
        RunLine line;
        if (!(base64 ? MeasureLine(src, available, wide, line) : MeasureUULine(src, available, line))) break;
        const std::size_t k = line.k;
        // Decoded in place in the output's buffer when it has the room.
        std::size_t room = 0;
        unsigned char* space = out.PendingSpace(room);
        const bool inPlace = room >= k + kSlack;
        unsigned char* const made = inPlace ? space : bytes;
        const int produced =
            base64 ? DecodeBase64RunLine(src, k, shortest, made) : DecodeUURunLine(src, made, avx2);
        if (produced < 0) break;
        if (taken > 0 && m_Call.linesDone % kRunAbortEvery == 0 && RunStopRequested()) break;

        // ReadNextLine's bookkeeping; the line keeps its text as the
        // handler leaves it: Base64 without its break, UU with LF.
        const std::size_t consumed = k + line.lineBreak;
        m_In->ConsumeBuffered(consumed, line.binary);
        m_Call.pos += static_cast<std::int64_t>(consumed);
        CountLine();
        m_Call.hint = m_Call.previousLength;
        m_Call.previousLength = static_cast<int>(k) + 1;
        m_Call.previousEndedLF = m_Call.currentEndedLF;
        m_Call.currentEndedLF = true;
        last = src;
        lastLen = k;
        try {
            if (inPlace)
                out.CommitAsWrite(static_cast<std::size_t>(produced));
            else
                out.Write(bytes, static_cast<std::size_t>(produced));
        } catch (const FileException&) {
            KeepRunLine(last, lastLen, !base64); // the line stays the current one, as in the line loop
            throw;
        }
        m_Call.dataWritten = true;
        if (consumed == available) KeepRunLine(last, lastLen, !base64); // the next refill reuses the buffer
    }
    KeepRunLine(last, lastLen, !base64);
    if (taken > 0) {
        // What the handlers leave after a data line decoded without a complaint.
        if (base64)
            m_Call.shortDataLine = false;
        else
            ClearHistory();
    }
    return taken > 0;
}

} // namespace zarvex
