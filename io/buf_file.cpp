// CBufFile: opening, closing, writing and positioning.
#include "io/buf_file.h"
#include "io/line_break_wide.h"
#include "io/read_ahead.h"
#include "io/write_behind.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <sys/stat.h>
#include <unistd.h>

namespace zarvex {
namespace {

// Share modes (0x10..0x70) have no counterpart on Linux and are ignored;
// so are the text/binary bits.
int OpenFlags(std::uint32_t mode)
{
    int flags = 0;
    switch (mode & 0x3) {
    case CBufFile::modeRead:
        flags = O_RDONLY;
        break;
    case CBufFile::modeWrite:
        flags = O_WRONLY;
        break;
    default:
        flags = O_RDWR;
        break;
    }
    if (mode & CBufFile::modeCreate) {
        flags |= O_CREAT;
        if (!(mode & CBufFile::modeNoTruncate)) flags |= O_TRUNC;
    }
    // Descriptors are never handed to other programs (viewers are started
    // by the application), so every one is close-on-exec, not only those
    // opened "not inherited". O_NONBLOCK keeps a FIFO from blocking the
    // open; it is cleared again once the descriptor exists.
    return flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
}

// A writeBehind file starts its thread once it has written enough for the
// thread to pay (until then it writes exactly as any other file); a system
// that cannot start one keeps writing itself. True while the thread runs.
bool WritingBehind(std::unique_ptr<WriteBehind>& behind, std::uint32_t& mode, std::int64_t written, int fd)
{
    if (behind) return true;
    if (!(mode & CBufFile::writeBehind) || written <= CBufFile::kWriteBehindStart || fd < 0) return false;
    try {
        behind = std::make_unique<WriteBehind>(fd, static_cast<std::size_t>(CBufFile::kWriteBufferSize));
    } catch (const std::system_error&) {
        mode &= ~CBufFile::writeBehind;
    }
    return behind != nullptr;
}

} // namespace

CBufFile::CBufFile()
    : m_WriteBuf(new unsigned char[kWriteBufferSize]), m_ReadBuf(new unsigned char[kReadBufferSize]),
      m_ReadData(m_ReadBuf.get())
{
}

CBufFile::~CBufFile()
{
    if (m_Fd < 0) return;
    try {
        Close();
    } catch (const FileException&) {
        // Nothing can be reported from here; Close() already released the descriptor.
    }
}

bool CBufFile::Open(const std::string& name, std::uint32_t mode, FileError* error)
{
    if (m_Fd >= 0) {
        try {
            Close();
        } catch (const FileException& e) {
            if (error) *error = e.Error();
            return false;
        }
    }
    m_Mode = mode;
    m_Path = name;
    m_WriteIndex = -1;
    ResetReadBuffer();
    m_EndReached = false;
    m_OsPos = 0;
    m_Sent = 0;

    auto fail = [&](int err) {
        if (error) *error = FileError{CauseFromErrno(err), err, name};
        return false;
    };
    const int fd = ::open(name.c_str(), OpenFlags(mode), 0666);
    if (fd < 0) return fail(errno);
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        return fail(err);
    }
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    m_CanReadAhead = (mode & 0x3) == modeRead && S_ISREG(st.st_mode);
    m_Refills = 0;
    if (m_CanReadAhead) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_Fd = fd;
    if (error) *error = FileError{kNoError, 0, name};
    return true;
}

void CBufFile::Attach(int fd, const std::string& name, std::uint32_t mode)
{
    if (m_Fd >= 0) Close();
    m_Mode = mode;
    m_Path = name;
    m_WriteIndex = -1;
    ResetReadBuffer();
    m_EndReached = false;
    m_Sent = 0;
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    m_OsPos = at > 0 ? at : 0;
    // A file opened elsewhere for reading (an unpacked input) is read ahead like one opened here.
    struct stat st = {};
    m_CanReadAhead = (mode & 0x3) == modeRead && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    m_Refills = 0;
    if (m_CanReadAhead) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_Fd = fd;
}

bool CBufFile::Reopen(FileError* error)
{
    const std::string path = m_Path; // Open() assigns m_Path from its argument
    return Open(path, modeReadWrite | shareDenyNone, error);
}

void CBufFile::Close()
{
    if (m_Fd < 0) return;
    int writeErr = 0;
    int writeCause = kNoError;
    try {
        WritePending();
    } catch (const FileException& e) {
        writeErr = e.Error().osError;
        writeCause = e.Error().cause;
    }
    m_Behind.reset(); // idle: WritePending waited for it, even when it raised
    m_ClosedPosition = LogicalPosition();
    ResetReadBuffer(); // nothing lent by the read-ahead stays in use
    m_ReadAhead.reset(); // its thread reads through the descriptor
    m_CanReadAhead = false;
    const int closeRc = ::close(m_Fd);
    const int closeErr = errno;
    m_Fd = -1;
    ResetReadBuffer();
    m_EndReached = false;
    if (writeCause != kNoError) ThrowCause(writeCause, writeErr);
    // A delayed write error (network file systems) shows up only here.
    if (closeRc != 0 && (closeErr == EIO || closeErr == ENOSPC || closeErr == EDQUOT)) ThrowOsError(closeErr);
}

void CBufFile::ThrowOsError(int err, bool onSeek) const
{
    ThrowCause(CauseFromErrno(err, onSeek), err);
}

void CBufFile::ThrowCause(int cause, int err) const
{
    throw FileException(FileError{cause, err, m_Path});
}

void CBufFile::ResetReadBuffer()
{
    m_ReadIndex = 0;
    m_ReadCount = 0;
    m_ReadData = m_ReadBuf.get();
}

// Gives the unread bytes of the read buffer back: the descriptor moves to
// the logical position so that a following write lands where it belongs.
void CBufFile::DropReadBuffer()
{
    const std::int64_t logical = LogicalPosition();
    if (logical != m_OsPos) SeekOs(logical);
    ResetReadBuffer();
    m_EndReached = false;
}

void CBufFile::SeekOs(std::int64_t target)
{
    const off_t got = ::lseek(m_Fd, static_cast<off_t>(target), SEEK_SET);
    if (got < 0) ThrowOsError(errno, true);
    m_OsPos = got;
}

// Writes all `n` bytes, resuming after short writes and interrupted calls.
// On failure the bytes that did go out stay counted in the position.
void CBufFile::WriteAll(const unsigned char* data, std::size_t n)
{
    if (m_Fd < 0) ThrowCause(kInvalidFile, EBADF);
    if (m_Behind) SettleBehind(); // these bytes follow those written behind
    m_EndReached = false;
    while (n > 0) {
        const ssize_t done = ::write(m_Fd, data, n);
        if (done < 0) {
            if (errno == EINTR) continue;
            ThrowOsError(errno);
        }
        if (done == 0) ThrowCause(kDiskFull, ENOSPC);
        m_OsPos += done;
        m_Sent += done;
        data += done;
        n -= static_cast<std::size_t>(done);
    }
}

// Writes out pending bytes. Bytes that cannot be written are dropped after
// the exception is raised, so a later Close() does not fail a second time.
void CBufFile::WritePending()
{
    if (m_Behind) SettleBehind();
    if (m_WriteIndex < 0) return;
    const auto n = static_cast<std::size_t>(m_WriteIndex + 1);
    m_WriteIndex = -1;
    WriteAll(m_WriteBuf.get(), n);
}

void CBufFile::SendPending()
{
    if (m_WriteIndex < 0) return;
    const auto n = static_cast<std::size_t>(m_WriteIndex + 1);
    m_WriteIndex = -1;
    SendBuffer(n);
}

void CBufFile::SendBuffer(std::size_t n)
{
    if (!WritingBehind(m_Behind, m_Mode, m_Sent, m_Fd) || !m_Behind->Submit(m_WriteBuf, n)) {
        WriteAll(m_WriteBuf.get(), n); // after an earlier failure, WriteAll raises it
        return;
    }
    m_EndReached = false;
    m_OsPos += static_cast<std::int64_t>(n);
    m_Sent += static_cast<std::int64_t>(n);
}

// A failure of the thread is raised as the write that failed would have
// raised it: the bytes that did not reach the file leave the position, and
// the bytes made after them are dropped.
void CBufFile::SettleBehind()
{
    const WriteBehind::Failure failure = m_Behind->Settle();
    if (failure.cause == kNoError) return;
    m_OsPos -= failure.lost;
    m_WriteIndex = -1;
    ThrowCause(failure.cause, failure.osError);
}

void CBufFile::Settle()
{
    if (m_Behind) SettleBehind();
}

void CBufFile::CountBytes(const unsigned char* data, std::size_t n)
{
    if (m_Mode & uncountedWrites) return;
    const std::int64_t binary = HaveWideLineBreak() ? CountBinaryLookingWide(data, n) : CountBinaryLooking(data, n);
    m_Counts[kBinary] += binary;
    m_Counts[kText] += static_cast<std::int64_t>(n) - binary;
}

void CBufFile::PutCharSlow(unsigned char byte)
{
    if (m_Fd < 0) ThrowCause(kInvalidFile, EBADF);
    DropReadBuffer();
    PutChar(byte);
}

// Once the pending bytes and `n` reach a full buffer, both go out (the
// bytes reach the file at the same points as with two writes, but in one
// call when they fit the buffer: no short write after every full one).
void CBufFile::Write(const void* data, std::size_t n)
{
    if (m_Fd < 0) ThrowCause(kInvalidFile, EBADF);
    if (m_ReadCount != 0) DropReadBuffer();
    const auto* bytes = static_cast<const unsigned char*>(data);
    CountBytes(bytes, n);
    const std::size_t pending = static_cast<std::size_t>(m_WriteIndex + 1);
    if (pending + n + 1 >= static_cast<std::size_t>(kReadChunk)) {
        if (pending + n > static_cast<std::size_t>(kWriteBufferSize)) {
            if (WritingBehind(m_Behind, m_Mode, m_Sent, m_Fd)) return WriteInPieces(bytes, n);
            WritePending();
            WriteAll(bytes, n);
            return;
        }
        std::memcpy(m_WriteBuf.get() + pending, bytes, n);
        m_WriteIndex = -1;
        SendBuffer(pending + n);
        return;
    }
    if (n == 0) return;
    std::memcpy(m_WriteBuf.get() + pending, bytes, n);
    m_WriteIndex += static_cast<int>(n);
}

// Bytes that do not fit the buffer fill it up and go out in full buffers,
// which can be written behind; the rest stays pending.
void CBufFile::WriteInPieces(const unsigned char* bytes, std::size_t n)
{
    while (n > 0) {
        const auto pending = static_cast<std::size_t>(m_WriteIndex + 1);
        const std::size_t take = std::min(n, static_cast<std::size_t>(kReadChunk) - pending);
        std::memcpy(m_WriteBuf.get() + pending, bytes, take);
        bytes += take;
        n -= take;
        m_WriteIndex += static_cast<int>(take);
        if (m_WriteIndex >= kLastWriteIndex) SendPending();
    }
}

unsigned char* CBufFile::WriteRoom(std::size_t need, std::size_t& room)
{
    if (m_Fd < 0) ThrowCause(kInvalidFile, EBADF);
    if (m_ReadCount != 0) DropReadBuffer();
    if (static_cast<std::size_t>(kReadChunk - (m_WriteIndex + 1)) < need) SendPending();
    const int pending = m_WriteIndex + 1;
    room = static_cast<std::size_t>(kReadChunk - pending);
    return m_WriteBuf.get() + pending;
}

void CBufFile::PrepareWriteSlow()
{
    if (m_Fd < 0) ThrowCause(kInvalidFile, EBADF);
    if (m_ReadCount != 0) DropReadBuffer();
}

void CBufFile::CommitWrite(std::size_t n)
{
    if (n == 0) return;
    CountBytes(m_WriteBuf.get() + m_WriteIndex + 1, n);
    m_WriteIndex += static_cast<int>(n);
    if (m_WriteIndex >= kLastWriteIndex) SendPending();
}

void CBufFile::Flush()
{
    if (m_Fd < 0) return;
    WritePending();
    if (::fdatasync(m_Fd) != 0 && errno != EINVAL && errno != EROFS) ThrowOsError(errno);
}

std::int64_t CBufFile::GetLength()
{
    if (m_Fd < 0) return m_ClosedPosition;
    Settle();
    struct stat st = {};
    if (::fstat(m_Fd, &st) != 0) ThrowOsError(errno, true);
    // Pending bytes written over existing data do not lengthen the file,
    // and a position beyond the end does not either until bytes follow.
    if (m_WriteIndex < 0) return st.st_size;
    return std::max<std::int64_t>(st.st_size, m_OsPos + m_WriteIndex + 1);
}

std::int64_t CBufFile::GetPosition(bool raw)
{
    if (m_Fd < 0) return m_ClosedPosition;
    return raw ? m_OsPos : LogicalPosition();
}

std::int64_t CBufFile::Seek(std::int64_t offset, int from)
{
    if (m_Fd < 0) ThrowCause(kInvalidFile, EBADF);
    WritePending();
    if (from == 2) {
        struct stat st = {};
        if (::fstat(m_Fd, &st) != 0) ThrowOsError(errno, true);
        offset += st.st_size;
    } else if (from == 1) {
        // Relative to the logical position, not to the read-ahead offset.
        offset += LogicalPosition();
    } else if (from != 0) {
        ThrowCause(kBadSeek, EINVAL);
    }
    // Read-only files move inside the buffered bytes without reading again.
    // The end mark is dropped as on any seek: a file that has grown since
    // goes on after the buffered bytes.
    if ((m_Mode & 0x3) == modeRead && m_ReadCount > 0) {
        const std::int64_t logical = LogicalPosition();
        const bool back = offset < logical && logical - offset <= m_ReadIndex;
        if (back || (offset >= logical && m_ReadIndex + (offset - logical) < m_ReadCount)) {
            m_ReadIndex += static_cast<int>(offset - logical);
            m_EndReached = false;
            return offset;
        }
    }
    if (offset < 0) ThrowCause(kBadSeek, EINVAL);
    ResetReadBuffer();
    m_EndReached = false;
    SeekOs(offset);
    return m_OsPos;
}

std::int64_t CBufFile::SeekToEnd()
{
    return Seek(0, 2);
}

void CBufFile::SetLength(std::int64_t length)
{
    if (m_Fd < 0) ThrowCause(kInvalidFile, EBADF);
    WritePending();
    if (length < 0) ThrowCause(kBadSeek, EINVAL);
    ResetReadBuffer();
    m_EndReached = false;
    SeekOs(length);
    while (::ftruncate(m_Fd, static_cast<off_t>(length)) != 0) {
        if (errno != EINTR) ThrowOsError(errno);
    }
}

} // namespace zarvex
