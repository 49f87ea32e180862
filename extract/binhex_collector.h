// The temporary file into which the BinHex section handling collects the
// characters of a section before it is decoded as a whole. The file is
// created exclusively (an existing file or link is never taken over), read
// back through the same descriptor, and removed when the collector goes.
#pragma once

#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zarvex {

class BinHexCollector
{
public:
    BinHexCollector() = default;
    BinHexCollector(const BinHexCollector&) = delete;
    BinHexCollector& operator=(const BinHexCollector&) = delete;
    BinHexCollector(BinHexCollector&& other) noexcept { *this = std::move(other); }
    BinHexCollector& operator=(BinHexCollector&& other) noexcept
    {
        if (this == &other) return *this;
        Discard();
        std::swap(m_Fd, other.m_Fd);
        std::swap(m_Errno, other.m_Errno);
        std::swap(m_Failed, other.m_Failed);
        m_Path.swap(other.m_Path);
        m_Pending.swap(other.m_Pending);
        return *this;
    }
    ~BinHexCollector() { Discard(); }

    // Opens a new file in `dir`; false (with errno set) when none can be made.
    bool Create(const std::string& dir);
    bool IsOpen() const { return m_Fd >= 0; }
    // Buffered; false once a write failed.
    bool Append(std::string_view chars);
    // Writes the rest; false when a write failed. The file stays open for reading.
    bool Finish();
    int Fd() const { return m_Fd; }
    int Error() const { return m_Errno; }
    // Closes and deletes the file (only while its name still holds it).
    void Discard()
    {
        if (m_Fd >= 0 && !m_Path.empty()) {
            struct stat held {}, named {};
            if (::fstat(m_Fd, &held) == 0 && ::lstat(m_Path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
                held.st_ino == named.st_ino)
                ::unlink(m_Path.c_str());
        }
        if (m_Fd >= 0) ::close(m_Fd);
        m_Fd = -1;
        m_Path.clear();
        m_Pending.clear();
        m_Failed = false;
        m_Errno = 0;
    }

private:
    bool Flush();

    int m_Fd = -1;
    int m_Errno = 0;
    bool m_Failed = false;
    std::string m_Path;
    std::string m_Pending;
};

} // namespace zarvex
