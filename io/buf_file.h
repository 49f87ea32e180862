// CBufFile: the buffered file through which every input is read and every
// output written. 64 KB read and write buffers, tolerant line reading,
// 64-bit positions that stay right while data sit in either buffer, and
// counts of text-like and binary-like bytes.
//
// At most one buffer holds data at any time: a write first gives back the
// unread part of the read buffer (moving the descriptor back to the logical
// position), and a refill first writes out pending bytes. The descriptor's
// offset is tracked in m_OsPos, so GetPosition never calls the OS.
//
// Failures that would lose output (a write that cannot complete, a failed
// seek or length change) raise FileException. Reading itself never raises;
// only writing out pending bytes before a refill can.
//
// Large outputs opened with writeBehind hand their full buffers to a
// WriteBehind thread once they have written kWriteBehindStart bytes. Every
// call that needs the file as it is (reading, seeking, lengths, Flush,
// Close, ...) first waits for that thread, and raises its failure exactly as
// the write itself would have; a write call may raise it earlier.
#pragma once

#include "io/file_error.h"
#include "io/line_break.h"
#include "platform/object.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zarvex {

class ReadAhead;
class WriteBehind;

struct FileStatus
{
    std::int64_t creationTime = 0; // seconds since 1970
    std::int64_t lastAccessTime = 0;
    std::int64_t lastWriteTime = 0;
    std::int64_t size = 0;
    std::uint32_t attributes = 0;
};

// Attribute bits of FileStatus::attributes.
enum : std::uint32_t
{
    kAttrReadOnly = 0x01,
    kAttrHidden = 0x02,
    kAttrSystem = 0x04,
    kAttrDirectory = 0x10,
    kAttrArchive = 0x20,
};

class CBufFile : public CObject
{
public:
    // Open mode bits (ORed).
    enum : std::uint32_t
    {
        modeRead = 0x0,
        modeWrite = 0x1,
        modeReadWrite = 0x2,
        shareExclusive = 0x10,
        shareDenyWrite = 0x20,
        shareDenyRead = 0x30,
        shareDenyNone = 0x40,
        modeNoInherit = 0x80,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
        // Write and CommitWrite leave the counts alone (files whose counts
        // no one reads, such as extraction outputs: counting costs a pass
        // over the data).
        uncountedWrites = 0x10000,
        // Full buffers of a large output are written on a thread of their
        // own (see the top of this file). For files written front to back.
        writeBehind = 0x20000,
    };
    static constexpr int kWriteBufferSize = 65536;
    static constexpr int kReadChunk = 65535;
    static constexpr int kReadBufferSize = 65535 + 256;
    // The write index at which a full buffer (65,535 bytes) goes out.
    static constexpr int kLastWriteIndex = kReadChunk - 1;
    // Bytes a writeBehind file writes itself before the thread takes over.
    static constexpr std::int64_t kWriteBehindStart = 1 << 20;

    CBufFile();
    // Closes a file that is still open. Pending bytes are written on a best
    // effort basis (a destructor cannot report): call Close() to see errors.
    ~CBufFile() override;
    CBufFile(const CBufFile&) = delete;
    CBufFile& operator=(const CBufFile&) = delete;
    const char* GetRuntimeClass() const override { return "CBufFile"; }

    // Never throws; on failure fills `error` (cause, errno, name).
    bool Open(const std::string& name, std::uint32_t mode, FileError* error = nullptr);
    bool Reopen(FileError* error = nullptr);
    // Takes over `fd`, a descriptor the caller opened (an exclusively created
    // output): the file is written through it and never opened again by
    // name. `name` is kept for messages; `mode` as for Open.
    void Attach(int fd, const std::string& name, std::uint32_t mode);
    void Close();
    bool IsOpen() const { return m_Fd >= 0; }
    // The descriptor (-1 when closed); bytes not yet written are not in it.
    int Handle() const { return m_Fd; }
    const std::string& GetFilePath() const { return m_Path; }

    // Writing raises FileException (cause 6 when closed, 13 when the disk or
    // the file size limit is full, ...); bytes that did reach the file stay.
    void Write(const void* data, std::size_t n);
    inline void PutChar(unsigned char byte);
    // Writes out pending bytes and asks the OS to store them.
    void Flush();
    // Waits until the full buffers handed to the write-behind thread are in
    // the file and raises its failure: the file is as the write calls would
    // have left it without the thread. Pending bytes stay pending.
    void Settle();
    // OS length, or the logical end when pending bytes go beyond it.
    std::int64_t GetLength();
    // Logical position (raw: the descriptor's offset); no OS call. While
    // closed, both return the position at the moment of closing.
    std::int64_t GetPosition(bool raw = false);
    // `from`: 0 begin, 1 current (logical), 2 end. On files opened for
    // reading, a target inside the read buffer only moves the read index.
    std::int64_t Seek(std::int64_t offset, int from);
    std::int64_t SeekToEnd();
    void SetLength(std::int64_t length);

    inline int GetChar();
    inline void UngetChar(int byte);
    // Reads one line into `buffer` (which must hold max + 2 bytes: up to
    // max - 2 line bytes, a break of up to three bytes and a zero). Breaks:
    // LF, CR LF, LF CR (stored CR LF), CR alone (stored LF), CR CR LF (kept);
    // CR CR before anything else gives the line with LF, then an empty line.
    // A line of max - 1 bytes without break comes back incomplete and the
    // rest follows with the next call. `max` below 2 gives an empty,
    // incomplete line. Returns `buffer`, or nullptr at the end of the file
    // when nothing was read. The stored length always equals the number of
    // bytes consumed from the file. Bytes after the zero are scratch.
    char* ReadLine(char* buffer, int max, int* outLength, bool* outComplete);
    // ReadLine without moving the position (cheap on files opened for reading).
    char* PeekLine(char* buffer, int max, int* outLength);

    // Lines taken straight from the read buffer, without the copy of
    // ReadLine: the unread bytes (refilled first when none are left; none
    // at the end of the file), then ConsumeBuffered with the number of bytes
    // taken and how many of them look binary, so the counts stay those that
    // ReadLine keeps (a line break counts as text).
    inline const unsigned char* BufferedInput(std::size_t& available);
    inline void ConsumeBuffered(std::size_t n, std::int64_t binary);
    // Up to `n` bytes at offset `pos`, read past the buffers without moving
    // anything (nor counting them): a look ahead that costs no refill.
    // Returns the number read (fewer at the end of the file or on an error).
    std::size_t ReadAt(std::int64_t pos, void* data, std::size_t n);
    // Bytes made straight in the write buffer: room for at least `need`
    // (at most kReadChunk) bytes, pending bytes written out first when there
    // is less; `room` gets the bytes that fit. CommitWrite then takes the
    // first `n` of them as Write would (counted, written out when full).
    unsigned char* WriteRoom(std::size_t need, std::size_t& room);
    void CommitWrite(std::size_t n);
    // The free part of the write buffer after the pending bytes, nothing
    // sent out first (`room` gets its size, 0 when the buffer is full).
    // CommitAsWrite then takes the first `n` (at most `room`) bytes made
    // there exactly as Write(those bytes, n) would take them: counted, and
    // sent out together with the pending bytes at the same points.
    inline unsigned char* PendingSpace(std::size_t& room);
    inline void CommitAsWrite(std::size_t n);

    // Copies this whole file to the end of `target`; this file is left at
    // its beginning. False when either file is closed.
    bool AppendTo(CBufFile& target);
    // Bytes start..end-1 become `byte`; zeros beyond the end of the file are
    // made by extending it (sparse). The position ends at `end`.
    bool FillRange(std::int64_t start, std::int64_t end, unsigned char byte);
    // Looks the file up without opening it; false when it does not exist.
    static bool GetStatus(const std::string& name, FileStatus& status);

    // Bytes passed one at a time (GetChar, PutChar), in writes (Write) and
    // consumed by ReadLine (each consumed byte once).

    std::int64_t BinaryCount() const { return m_Counts[kBinary]; }
    std::int64_t TextCount() const { return m_Counts[kText]; }

    // Bytes 1..6 and 128..255 look binary; 0 and 7..127 look like text.
    static constexpr bool IsBinaryByte(unsigned char c) { return IsBinaryLooking(c); }

private:
    bool Refill();
    // All bytes written so far reach the file (pending and written behind).
    void WritePending();
    // The pending bytes go out, behind when the thread runs.
    void SendPending();
    // The first `n` bytes of the write buffer go out (the write index is already reset).
    void SendBuffer(std::size_t n);
    void SettleBehind();
    void WriteInPieces(const unsigned char* bytes, std::size_t n);
    void WriteAll(const unsigned char* data, std::size_t n);
    void DropReadBuffer();
    void ResetReadBuffer();
    void SeekOs(std::int64_t target);
    void PutCharSlow(unsigned char byte);
    void UngetCharSlow(int byte);
    void CountBytes(const unsigned char* data, std::size_t n);
    // Before bytes go into the write buffer: raises on a closed file, and
    // gives unread input back.
    void PrepareWriteSlow();
    int GetRaw();
    int StoreLineBreak(unsigned char* out, int first);
    std::int64_t LogicalPosition() const
    {
        return m_OsPos - (m_ReadCount - m_ReadIndex) + (m_WriteIndex + 1);
    }
    [[noreturn]] void ThrowOsError(int err, bool onSeek = false) const;
    [[noreturn]] void ThrowCause(int cause, int err) const;

    int m_Fd = -1;
    std::string m_Path;
    std::unique_ptr<unsigned char[]> m_WriteBuf;
    std::unique_ptr<unsigned char[]> m_ReadBuf;
    // The bytes being read: the read buffer, or a chunk lent in place by
    // m_ReadAhead (valid until its next read).
    const unsigned char* m_ReadData = nullptr;
    int m_WriteIndex = -1;
    int m_ReadIndex = 0;
    int m_ReadCount = 0;
    std::uint32_t m_Mode = 0;
    bool m_EndReached = false;
    // Text and binary byte counts, indexed by IsBinaryByte (one increment per byte).
    enum
    {
        kText = 0,
        kBinary = 1
    };
    std::int64_t m_Counts[2] = {0, 0};
    std::int64_t m_ClosedPosition = 0;
    // The descriptor's offset, counting the bytes written behind; on a file
    // read ahead, where the next read would begin (the read-ahead reads at
    // positions, not at the offset).
    std::int64_t m_OsPos = 0;
    std::int64_t m_Sent = 0; // bytes sent out since the file was opened
    std::unique_ptr<WriteBehind> m_Behind;
    // Regular files opened for reading are read ahead on a thread once
    // they have been refilled a few times: small files never start one.
    static constexpr int kRefillsBeforeReadAhead = 8;
    bool m_CanReadAhead = false;
    int m_Refills = 0;
    std::unique_ptr<ReadAhead> m_ReadAhead;
};

// The read primitive: the next byte, or -1 at the end of the file.
inline int CBufFile::GetChar()
{
    if (m_ReadIndex >= m_ReadCount) [[unlikely]] {
        if (!Refill()) return -1;
    }
    const unsigned char c = m_ReadData[m_ReadIndex++];
    ++m_Counts[IsBinaryByte(c)];
    return c;
}

inline void CBufFile::PutChar(unsigned char byte)
{
    // Closed files and unread input take the slow path, which raises or
    // gives the read buffer back first.
    if (m_Fd < 0 || m_ReadCount != 0) [[unlikely]] {
        PutCharSlow(byte);
        return;
    }
    m_WriteBuf[++m_WriteIndex] = byte;
    ++m_Counts[IsBinaryByte(byte)];
    if (m_WriteIndex >= kLastWriteIndex) [[unlikely]]
        SendPending();
}

// Steps back over the byte just read; at the front of the buffer the byte
// is stored in front of it instead (up to 255 bytes of room).
inline void CBufFile::UngetChar(int byte)
{
    if (m_ReadIndex > 0) [[likely]] {
        --m_ReadIndex;
        return;
    }
    UngetCharSlow(byte);
}

// The calls of the readers and decoders that work in the buffers, made for
// every line: inline, with their rare cases out of line.
inline const unsigned char* CBufFile::BufferedInput(std::size_t& available)
{
    if (m_ReadIndex >= m_ReadCount && !Refill()) [[unlikely]] {
        available = 0;
        return nullptr;
    }
    available = static_cast<std::size_t>(m_ReadCount - m_ReadIndex);
    return m_ReadData + m_ReadIndex;
}

inline void CBufFile::ConsumeBuffered(std::size_t n, std::int64_t binary)
{
    m_ReadIndex += static_cast<int>(n);
    m_Counts[kBinary] += binary;
    m_Counts[kText] += static_cast<std::int64_t>(n) - binary;
}

inline unsigned char* CBufFile::PendingSpace(std::size_t& room)
{
    if (m_Fd < 0 || m_ReadCount != 0) [[unlikely]]
        PrepareWriteSlow();
    const int pending = m_WriteIndex + 1;
    room = static_cast<std::size_t>(kWriteBufferSize - pending);
    return m_WriteBuf.get() + pending;
}

// Write's rule for bytes already in place (pending + n never exceeds the buffer).
inline void CBufFile::CommitAsWrite(std::size_t n)
{
    const auto pending = static_cast<std::size_t>(m_WriteIndex + 1);
    if ((m_Mode & uncountedWrites) == 0) CountBytes(m_WriteBuf.get() + pending, n);
    if (pending + n + 1 >= static_cast<std::size_t>(kReadChunk)) [[unlikely]] {
        m_WriteIndex = -1;
        SendBuffer(pending + n);
        return;
    }
    m_WriteIndex += static_cast<int>(n);
}

} // namespace zarvex
