#include "app/replacing_file.h"

#include "extract/output_path.h"

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace zarvex {

ReplacingFile::~ReplacingFile()
{
    Abandon();
}

int ReplacingFile::Open(const std::string& target)
{
    Abandon();
    const std::string folder = FolderOf(target);
    std::string temp = (folder.empty() ? std::string(".") : folder) + "/.zarvex-report-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return errno ? errno : EIO;
    m_File = ::fdopen(fd, "wb");
    if (!m_File) {
        const int e = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return e;
    }
    m_Target = target;
    m_Temp = std::move(temp);
    return 0;
}

void ReplacingFile::CloseStream()
{
    if (m_File) std::fclose(m_File);
    m_File = nullptr;
}

int ReplacingFile::Commit()
{
    if (m_Temp.empty()) return EBADF;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    int err = 0;
    if (m_File) {
        if (std::fflush(m_File) != 0 || std::ferror(m_File)) err = errno ? errno : EIO;
        if (std::fclose(m_File) != 0 && err == 0) err = errno ? errno : EIO;
        m_File = nullptr;
    }
    if (err == 0 && ::chmod(m_Temp.c_str(), 0666 & ~mask) != 0) err = errno;
    if (err == 0 && ::rename(m_Temp.c_str(), m_Target.c_str()) != 0) err = errno;
    if (err != 0) ::unlink(m_Temp.c_str());
    m_Temp.clear();
    return err;
}

void ReplacingFile::Abandon()
{
    CloseStream();
    if (!m_Temp.empty()) ::unlink(m_Temp.c_str());
    m_Temp.clear();
}

bool WriteFileAtomically(const std::string& path, const std::string& text)
{
    if (path == "-") {
        std::cout << text << std::flush;
        return static_cast<bool>(std::cout);
    }
    ReplacingFile file;
    if (file.Open(path) != 0) return false;
    if (std::fwrite(text.data(), 1, text.size(), file.Stream()) != text.size()) return false;
    return file.Commit() == 0;
}

} // namespace zarvex
