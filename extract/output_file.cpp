#include "extract/output_file.h"

#include "extract/output_path.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
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

} // namespace

int CreateExclusive(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return errno ? errno : EIO;
    ::close(fd);
    return 0;
}

std::string CreateTempIn(const std::string& folder, int* err)
{
    std::string base = folder.empty() ? std::string(".") : folder;
    if (base.back() != '/') base += '/';
    unsigned number = std::random_device{}() & 8191u;
    int last = EEXIST;
    for (int attempt = 0; attempt < 8192; ++attempt, number = (number + 1) & 8191u) {
        const std::string path = base + "~ZRV" + std::to_string(number) + ".TMP";
        last = CreateExclusive(path);
        if (last == 0) return path;
        if (last != EEXIST) break;
    }
    if (err) *err = last;
    return {};
}

OutputFile::~OutputFile()
{
    if (IsOpen()) Discard();
}

bool OutputFile::Open(const std::string& path, Mode mode, bool atEnd, FileError* error)
{
    m_Path = path;
    m_Mode = mode;
    m_Created = false;
    m_Kept = false;
    int err = 0;
    switch (mode) {
    case Mode::CreateNew:
        m_WritePath = path;
        err = CreateExclusive(path);
        break;
    case Mode::Replace:
        m_WritePath = CreateTempIn(FolderOf(path), &err);
        break;
    case Mode::InPlace:
        m_WritePath = path;
        break;
    }
    if (err != 0) {
        Fill(error, err, path);
        return false;
    }
    m_Created = mode != Mode::InPlace;
    if (!m_File.Open(m_WritePath, kOutputMode, error)) {
        if (m_Created) ::unlink(m_WritePath.c_str());
        m_Created = false;
        if (error) error->fileName = path;
        return false;
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

bool OutputFile::Keep(FileError* error)
{
    const bool closed = CloseQuietly(error);
    if (m_Mode == Mode::Replace && m_Created) {
        if (std::rename(m_WritePath.c_str(), m_Path.c_str()) != 0) {
            Fill(error, errno, m_Path);
            ::unlink(m_WritePath.c_str());
            m_Created = false;
            return false;
        }
    }
    m_Created = false;
    m_Kept = true;
    return closed;
}

void OutputFile::Discard()
{
    CloseQuietly(nullptr);
    if (m_Created) ::unlink(m_WritePath.c_str());
    m_Created = false;
}

} // namespace zarvex
