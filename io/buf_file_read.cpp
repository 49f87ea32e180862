// CBufFile: refilling, pushing back and tolerant line reading.
#include "io/buf_file.h"
#include "io/line_break_wide.h"
#include "io/read_ahead.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace zarvex {

// Reads the next chunk of up to 65,535 bytes. A chunk that comes back short
// marks the end of the file; the bytes already in the buffer stay there
// when nothing more can be read, so UngetChar can still step back.
bool CBufFile::Refill()
{
    if (m_WriteIndex >= 0 || m_Behind) WritePending();
    if (m_EndReached || m_Fd < 0) return false;
    unsigned char* buf = m_ReadBuf.get();
    m_ReadData = buf;
    if (m_CanReadAhead && !m_ReadAhead && ++m_Refills == kRefillsBeforeReadAhead) {
        m_ReadAhead = ReadAhead::Start(m_Fd);
        m_CanReadAhead = m_ReadAhead != nullptr;
    }
    int got = 0;
    if (m_ReadAhead) got = static_cast<int>(m_ReadAhead->Read(m_OsPos, buf, kReadChunk, m_ReadData));
    while (!m_ReadAhead && got < kReadChunk) {
        const ssize_t r = ::read(m_Fd, buf + got, static_cast<std::size_t>(kReadChunk - got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break; // end of file, or an error that reading does not report
        got += static_cast<int>(r);
    }
    m_ReadIndex = 0;
    m_ReadCount = got;
    m_OsPos += got;
    m_EndReached = got < kReadChunk;
    return got > 0;
}

// GetChar without counting: for the bytes of a line break, which ReadLine
// counts together with the rest of the line.
int CBufFile::GetRaw()
{
    if (m_ReadIndex >= m_ReadCount && !Refill()) return -1;
    return m_ReadData[m_ReadIndex++];
}

void CBufFile::UngetCharSlow(int byte)
{
    if (byte < 0) return;
    if (m_WriteIndex >= 0 || m_Behind) WritePending();
    if (m_ReadCount >= kReadBufferSize - 1) return; // no room left in front: dropped
    unsigned char* buf = m_ReadBuf.get();
    std::memmove(buf + 1, m_ReadData, static_cast<std::size_t>(m_ReadCount)); // a lent chunk is copied in
    buf[0] = static_cast<unsigned char>(byte);
    m_ReadData = buf;
    ++m_ReadCount;
}

// Stores the line break that begins with `first` (CR or LF, already
// consumed) and returns the number of bytes stored, which always equals the
// number of bytes it consumed:
//   LF CR -> CR LF       LF x -> LF          CR LF -> CR LF
//   CR CR LF -> CR CR LF CR CR x -> LF (the second CR starts the next line)
//   CR x -> LF           CR or LF at the end of the file -> LF
int CBufFile::StoreLineBreak(unsigned char* out, int first)
{
    const int next = GetRaw();
    if (first == '\n') {
        if (next == '\r') {
            out[0] = '\r';
            out[1] = '\n';
            return 2;
        }
    } else if (next == '\n') {
        out[0] = '\r';
        out[1] = '\n';
        return 2;
    } else if (next == '\r') {
        const int third = GetRaw();
        if (third == '\n') {
            out[0] = '\r';
            out[1] = '\r';
            out[2] = '\n';
            return 3;
        }
        if (third >= 0) UngetChar(third);
    }
    if (next >= 0) UngetChar(next);
    out[0] = '\n';
    return 1;
}

// Ordinary bytes are found and copied in bulk straight from the read
// buffer; the line break goes through GetRaw/UngetChar exactly as a
// byte-at-a-time reader would, so buffer edges need no special case.
//
// Counting: every byte the line consumed from the file is counted once:
// the ordinary bytes during the search, the break (CR and LF, text) by its
// stored length, which equals the number of break bytes consumed. A byte
// pushed back and read again with the next line is counted with that line
// only (GetChar, used byte by byte, counts such a byte each time).
char* CBufFile::ReadLine(char* buffer, int max, int* outLength, bool* outComplete)
{
    auto* out = reinterpret_cast<unsigned char*>(buffer);
    bool complete = false;
    int n = 0;
    std::int64_t binary = 0;
    if (max > 1) {
        const int limit = max - 1;
        const bool wide = HaveWideLineBreak();
        for (;;) {
            if (m_ReadIndex >= m_ReadCount && !Refill()) {
                complete = true; // the end of the file ends the line
                break;
            }
            const unsigned char* src = m_ReadData + m_ReadIndex;
            const auto span = static_cast<std::size_t>(std::min(m_ReadCount - m_ReadIndex, limit - n));
            const std::size_t k = wide ? FindLineBreakWide(src, span, binary, out + n)
                                       : FindLineBreak(src, span, binary, out + n);
            n += static_cast<int>(k);
            m_ReadIndex += static_cast<int>(k);
            if (k < span) {
                ++m_ReadIndex;
                // The usual break, an LF whose next byte is in the buffer and
                // no CR, needs no look-ahead through GetRaw/UngetChar.
                if (src[k] == '\n' && m_ReadIndex < m_ReadCount && src[k + 1] != '\r')
                    out[n++] = '\n';
                else
                    n += StoreLineBreak(out + n, src[k]);
                complete = true;
                break;
            }
            if (n == limit) break; // cut: the rest comes with the next call
        }
    }
    out[n] = 0;
    m_Counts[kBinary] += binary;
    m_Counts[kText] += n - binary; // the break bytes are all text
    if (outLength) *outLength = n;
    if (outComplete) *outComplete = complete && n > 0;
    if (n == 0 && complete) return nullptr;
    return buffer;
}

std::size_t CBufFile::ReadAt(std::int64_t pos, void* data, std::size_t n)
{
    if (m_Fd < 0 || pos < 0) return 0;
    // Pending output there must be in the file first.
    if (m_WriteIndex >= 0 || m_Behind) WritePending();
    auto* out = static_cast<unsigned char*>(data);
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(m_Fd, out + got, n - got, static_cast<off_t>(pos) + static_cast<off_t>(got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<std::size_t>(r);
    }
    return got;
}

char* CBufFile::PeekLine(char* buffer, int max, int* outLength)
{
    if (m_Fd < 0) return ReadLine(buffer, max, outLength, nullptr);
    const std::int64_t pos = LogicalPosition();
    char* line = ReadLine(buffer, max, outLength, nullptr);
    Seek(pos, 0);
    return line;
}

} // namespace zarvex
