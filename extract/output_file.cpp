#include "extract/output_file.h"

#include "extract/output_path.h"
#include "text/text_utils.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zarvex {
namespace {

// Large outputs are written behind, while the decoding goes on.
constexpr std::uint32_t kOutputMode = CBufFile::modeReadWrite | CBufFile::shareDenyNone | CBufFile::modeCreate |
                                      CBufFile::modeNoTruncate | CBufFile::typeBinary | CBufFile::modeNoInherit |
                                      CBufFile::writeBehind;

void Fill(FileError* error, int err, const std::string& path)
{
    if (!error) return;
    error->cause = CauseFromErrno(err);
    error->osError = err;
    error->fileName = path;
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Copies the regular file `path` (not through a link) into `to` from its
// start, with its permission bits, and rewinds `to`. 0 or an errno value.
int CopyInto(const std::string& path, int to)
{
    const int from = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (from < 0) return errno;
    struct stat st {};
    int err = ::fstat(from, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EINVAL;
    for (ssize_t n = 1; err == 0 && n != 0;) {
        n = ::sendfile(to, from, nullptr, 1 << 30);
        if (n < 0 && errno != EINTR) err = errno;
    }
    ::close(from);
    if (err == 0 && ::fchmod(to, st.st_mode & 07777) != 0) err = errno;
    if (err == 0 && ::lseek(to, 0, SEEK_SET) != 0) err = errno;
    return err;
}

std::int64_t ChangeTimeNs(const struct stat& st)
{
    return static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
}

} // namespace

std::string CreateTempIn(const std::string& folder, int* err, int* fd)
{
    // An output gets the permissions a new file of the user's gets.
    errno = 0;
    std::string path = OpenTempFile(folder.empty() ? std::string(".") : folder, *fd, 0666);
    if (*fd < 0 && err) *err = errno ? errno : EIO;
    return path;
}

OutputFile::~OutputFile()
{
    if (IsOpen() || m_Created) Discard();
}

std::uint32_t OutputFile::Flags() const
{
    return m_CountBytes ? kOutputMode : kOutputMode | CBufFile::uncountedWrites;
}

bool OutputFile::Open(const std::string& path, Mode mode, bool atEnd, FileError* error, const CreatedHook& created)
{
    m_Path = path;
    m_Mode = mode;
    m_Created = false;
    m_Kept = false;
    m_OldLength = -1;
    if (mode == Mode::InPlace && atEnd) {
        m_WritePath = path;
        if (!m_File.Open(path, Flags(), error)) {
            if (error) error->fileName = path;
            return false;
        }
    } else if (!OpenTemporary(path, mode == Mode::InPlace, error, created)) {
        return false;
    }
    try {
        if (atEnd) m_OldLength = m_File.SeekToEnd();
    } catch (const FileException& e) {
        if (error) *error = e.Error();
        Discard();
        return false;
    }
    return true;
}

bool OutputFile::OpenTemporary(const std::string& path, bool copy, FileError* error,
                               const CreatedHook& created)
{
    int err = 0, fd = -1;
    m_WritePath = CreateTempIn(FolderOf(path), &err, &fd);
    if (fd < 0) {
        Fill(error, err, path);
        // Every temporary name tried was taken: the folder has no room for one more.
        if (error && err == EEXIST) error->cause = kDirectoryFull;
        return false;
    }
    struct stat st {};
    ::fstat(fd, &st);
    m_Device = st.st_dev;
    m_Inode = st.st_ino;
    m_Created = true;
    if (created) created(m_WritePath);
    // A merge changes bytes inside the old file: it works on a copy of it.
    if (copy) err = CopyInto(path, fd);
    m_File.Attach(fd, m_WritePath, Flags());
    if (err == 0) return true;
    Fill(error, err, path);
    Discard();
    return false;
}

bool OutputFile::CloseQuietly(FileError* error)
{
    if (!m_File.IsOpen()) return true;
    try {
        m_File.Close();
        return true;
    } catch (const FileException& e) {
        if (error) *error = e.Error();
    }
    // The pending bytes could not be written; the handle still has to go.
    try {
        if (m_File.IsOpen()) m_File.Close();
    } catch (const FileException&) {
    }
    return false;
}

bool OutputFile::StillOurs() const
{
    struct stat st {};
    return ::lstat(m_WritePath.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_dev == m_Device &&
           st.st_ino == m_Inode;
}

int OutputFile::MoveIntoPlace() const
{
    if (m_Mode != Mode::CreateNew) return std::rename(m_WritePath.c_str(), m_Path.c_str()) == 0 ? 0 : errno;
    // A new output never takes the place of a file that appeared meanwhile.
    if (::renameat2(AT_FDCWD, m_WritePath.c_str(), AT_FDCWD, m_Path.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // File systems without that rename: a hard link fails just the same on an existing name.
    if (::link(m_WritePath.c_str(), m_Path.c_str()) == 0) {
        ::unlink(m_WritePath.c_str());
        return 0;
    }
    if (errno == EEXIST) return EEXIST;
    if (Exists(m_Path)) return EEXIST;
    return std::rename(m_WritePath.c_str(), m_Path.c_str()) == 0 ? 0 : errno;
}

bool OutputFile::SettleAppend(FileError* error)
{
    try {
        m_File.Seek(0, 1); // writes what is pending, staying where it is
        return true;
    } catch (const FileException& e) {
        if (error) *error = e.Error();
    }
    CutBack();
    return false;
}

void OutputFile::CutBack()
{
    // Cutting first writes what is pending; when that fails the pending
    // bytes are dropped and the second try cuts.
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            m_File.SetLength(m_OldLength);
            return;
        } catch (const FileException&) {
        }
    }
}

bool OutputFile::Keep(FileError* error, const SealHook& seal)
{
    if (m_OldLength >= 0) {
        // Appended in place: every byte reached the file, or none stays.
        const bool settled = SettleAppend(error);
        m_OldLength = -1;
        const bool closed = CloseQuietly(settled ? error : nullptr);
        m_Kept = settled;
        return settled && closed;
    }
    if (seal && m_File.IsOpen()) {
        try {
            m_File.Seek(0, 1); // writes what is pending, staying where it is
            m_File.Settle();
            seal(m_File.Handle());
        } catch (const FileException& e) {
            if (error) *error = e.Error();
            Discard();
            return false;
        }
    }
    const bool closed = CloseQuietly(error);
    if (!closed) {
        Discard();
        return false;
    }
    if (!StillOurs()) {
        // Someone put another file or a link under the temporary name: it is
        // neither renamed nor deleted.
        Fill(error, EACCES, m_Path);
        m_Created = false;
        return false;
    }
    if (const int err = MoveIntoPlace(); err != 0) {
        Fill(error, err, m_Path);
        Discard();
        return false;
    }
    m_Created = false;
    m_Kept = true;
    return true;
}

bool OutputFile::Suspend(FileError* error)
{
    if (!m_Created || m_OldLength >= 0) return false;
    if (!CloseQuietly(error)) return false;
    struct stat st {};
    if (::lstat(m_WritePath.c_str(), &st) != 0) {
        Fill(error, errno, m_WritePath);
        return false;
    }
    m_LeftSize = st.st_size;
    m_LeftTimeNs = ChangeTimeNs(st);
    return true;
}

bool OutputFile::Resume(FileError* error)
{
    if (IsOpen()) return true;
    if (!m_Created) {
        Fill(error, ENOENT, m_WritePath);
        return false;
    }
    const int fd = ::open(m_WritePath.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    struct stat st {};
    const auto leftAsItWas = [&] {
        return S_ISREG(st.st_mode) && st.st_dev == m_Device && st.st_ino == m_Inode &&
               st.st_size == m_LeftSize && ChangeTimeNs(st) == m_LeftTimeNs;
    };
    if (fd < 0 || ::fstat(fd, &st) != 0 || !leftAsItWas()) {
        // Gone, or another file took the temporary name: nothing of it is touched.
        Fill(error, fd < 0 ? errno : EACCES, m_WritePath);
        if (fd >= 0) ::close(fd);
        m_Created = false;
        return false;
    }
    m_File.Attach(fd, m_WritePath, Flags());
    return true;
}

void OutputFile::Restart()
{
    if (m_Mode != Mode::InPlace) m_File.SetLength(0);
    m_File.Seek(0, 0);
}

void OutputFile::Discard()
{
    if (m_OldLength >= 0 && m_File.IsOpen()) CutBack();
    m_OldLength = -1;
    CloseQuietly(nullptr);
    if (m_Created && StillOurs()) ::unlink(m_WritePath.c_str());
    m_Created = false;
}

} // namespace zarvex
