#include "extract/output_file.h"

#include "extract/output_path.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace zarvex {
namespace {

constexpr std::uint32_t kOutputMode = CBufFile::modeReadWrite | CBufFile::shareDenyNone | CBufFile::modeCreate |
                                      CBufFile::modeNoTruncate | CBufFile::typeBinary | CBufFile::modeNoInherit;

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

} // namespace

std::string CreateTempIn(const std::string& folder, int* err, int* fd)
{
    *fd = -1;
    std::string base = folder.empty() ? std::string(".") : folder;
    if (base.back() != '/') base += '/';
    unsigned number = std::random_device{}() & 8191u;
    int last = EEXIST;
    for (int attempt = 0; attempt < 8192; ++attempt, number = (number + 1) & 8191u) {
        const std::string path = base + "~ZRV" + std::to_string(number) + ".TMP";
        *fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (*fd >= 0) return path;
        last = errno ? errno : EIO;
        if (last != EEXIST) break;
    }
    if (err) *err = last;
    return {};
}

OutputFile::~OutputFile()
{
    if (IsOpen() || m_Created) Discard();
}

bool OutputFile::Open(const std::string& path, Mode mode, bool atEnd, FileError* error, const CreatedHook& created)
{
    m_Path = path;
    m_Mode = mode;
    m_Created = false;
    m_Kept = false;
    if (mode == Mode::InPlace) {
        m_WritePath = path;
        if (!m_File.Open(path, kOutputMode, error)) {
            if (error) error->fileName = path;
            return false;
        }
    } else {
        int err = 0, fd = -1;
        m_WritePath = CreateTempIn(FolderOf(path), &err, &fd);
        if (fd < 0) {
            Fill(error, err, path);
            return false;
        }
        struct stat st {};
        ::fstat(fd, &st);
        m_Device = st.st_dev;
        m_Inode = st.st_ino;
        m_File.Attach(fd, m_WritePath, kOutputMode);
        m_Created = true;
        if (created) created(m_WritePath);
    }
    try {
        if (atEnd) m_File.SeekToEnd();
    } catch (const FileException& e) {
        if (error) *error = e.Error();
        Discard();
        return false;
    }
    return true;
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
    if (m_Mode == Mode::Replace) return std::rename(m_WritePath.c_str(), m_Path.c_str()) == 0 ? 0 : errno;
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

bool OutputFile::Keep(FileError* error)
{
    const bool closed = CloseQuietly(error);
    if (m_Mode == Mode::InPlace) {
        m_Kept = true;
        return closed;
    }
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

void OutputFile::Discard()
{
    CloseQuietly(nullptr);
    if (m_Created && StillOurs()) ::unlink(m_WritePath.c_str());
    m_Created = false;
}

} // namespace zarvex
