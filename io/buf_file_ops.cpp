// CBufFile: whole-file operations (append, fill, status by name).
#include "io/buf_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zarvex {

// Copies this whole file to the end of `target`, using the (empty) write
// buffer as scratch space, and leaves this file at its beginning.
bool CBufFile::AppendTo(CBufFile& target)
{
    if (m_Fd < 0 || !target.IsOpen() || &target == this) return false;
    target.SeekToEnd();
    WritePending();
    ResetReadBuffer();
    SeekOs(0);
    const std::int64_t length = GetLength();
    unsigned char* scratch = m_WriteBuf.get();
    for (std::int64_t copied = 0; copied < length;) {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(kReadChunk, length - copied));
        const ssize_t got = ::read(m_Fd, scratch, want);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        m_OsPos += got;
        target.Write(scratch, static_cast<std::size_t>(got));
        copied += got;
    }
    ResetReadBuffer();
    m_EndReached = false;
    SeekOs(0);
    return true;
}

// Writes `end` - `start` copies of `byte` from `start` on and leaves the
// position at `end`. Zero bytes beyond the current end of the file are not
// written but made by extending the file (sparse), so a size taken from a
// header never makes the program write gigabytes of zeros.
bool CBufFile::FillRange(std::int64_t start, std::int64_t end, unsigned char byte)
{
    if (start > end || start < 0 || m_Fd < 0) return false;
    WritePending();
    ResetReadBuffer();
    m_EndReached = false;
    struct stat st = {};
    if (::fstat(m_Fd, &st) != 0) ThrowOsError(errno, true);
    const std::int64_t size = st.st_size;
    const std::int64_t writeEnd = byte == 0 ? std::clamp(size, start, end) : end;
    if (writeEnd > start) {
        std::memset(m_WriteBuf.get(), byte, static_cast<std::size_t>(kReadChunk));
        SeekOs(start); // a gap before `start` becomes a hole
        for (std::int64_t left = writeEnd - start; left > 0;) {
            const auto chunk = static_cast<std::size_t>(std::min<std::int64_t>(left, kReadChunk));
            WriteAll(m_WriteBuf.get(), chunk);
            left -= static_cast<std::int64_t>(chunk);
        }
    }
    if (end > writeEnd) {
        while (::ftruncate(m_Fd, static_cast<off_t>(end)) != 0) {
            if (errno != EINTR) ThrowOsError(errno);
        }
    }
    SeekOs(end);
    return true;
}

// Creation time is the birth time where the file system keeps one; a
// missing creation or access time takes the last-write time.
bool CBufFile::GetStatus(const std::string& name, FileStatus& status)
{
    struct statx sx = {};
    if (::statx(AT_FDCWD, name.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) return false;
    const std::int64_t written = sx.stx_mtime.tv_sec;
    status.lastWriteTime = written;
    status.lastAccessTime =
        (sx.stx_mask & STATX_ATIME) && sx.stx_atime.tv_sec != 0 ? sx.stx_atime.tv_sec : written;
    status.creationTime =
        (sx.stx_mask & STATX_BTIME) && sx.stx_btime.tv_sec != 0 ? sx.stx_btime.tv_sec : written;
    status.size = static_cast<std::int64_t>(sx.stx_size);
    std::uint32_t attributes = 0;
    if (!(sx.stx_mode & S_IWUSR)) attributes |= kAttrReadOnly;
    const std::size_t slash = name.find_last_of('/');
    const std::string_view base =
        slash == std::string::npos ? std::string_view(name) : std::string_view(name).substr(slash + 1);
    if (base.size() > 1 && base[0] == '.' && base != "..") attributes |= kAttrHidden;
    if (S_ISDIR(sx.stx_mode))
        attributes |= kAttrDirectory;
    else if (!S_ISREG(sx.stx_mode))
        attributes |= kAttrSystem; // devices, FIFOs, sockets
    status.attributes = attributes & 0x7F;
    return true;
}

} // namespace zarvex
