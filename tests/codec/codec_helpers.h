// Helpers for the line codec tests: an output file to decode into and a line
// buffer like the extraction engine's.
#pragma once

#include "io/buf_file.h"
#include "support/encoders.h"
#include "support/test_support.h"

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace zarvex::test {

// A decoder's result and the bytes it wrote.
struct Decoded
{
    int result;
    Bytes bytes;
    bool operator==(const Decoded&) const = default;
};
inline void PrintTo(const Decoded& d, std::ostream* os)
{
    *os << "result " << d.result << ", bytes " << ::testing::PrintToString(d.bytes);
}

// A CBufFile writing into a temporary file; Take() returns what was written
// and starts the file again empty, so that one capture serves many decodes.
// The file lives in memory where it can: a file system that flushes a file
// truncated and closed again made exhaustive loops wait on the disk.
class OutputCapture
{
public:
    OutputCapture() : m_Dir(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : ""), m_Path(m_Dir / "out.bin")
    {
        Open();
    }
    CBufFile* File() { return &m_File; }
    Bytes Take()
    {
        m_File.Close();
        Bytes written = ReadFile(m_Path);
        Open();
        return written;
    }

private:
    void Open()
    {
        if (!m_File.Open(m_Path, CBufFile::modeWrite | CBufFile::modeCreate | CBufFile::typeBinary))
            ADD_FAILURE() << "cannot open " << m_Path;
    }

    TempDir m_Dir;
    std::string m_Path;
    CBufFile m_File;
};

// A modifiable, zero-terminated copy of a line in a buffer sized exactly, so
// that the address sanitizer sees any read past the terminator.
class LineBuffer
{
public:
    explicit LineBuffer(std::string_view line)
        : m_Size(static_cast<int>(line.size())), m_Data(new char[line.size() + 1])
    {
        *std::copy(line.begin(), line.end(), m_Data.get()) = '\0';
    }
    char* Data() { return m_Data.get(); }
    int Size() const { return m_Size; }

private:
    int m_Size;
    std::unique_ptr<char[]> m_Data;
};

// All 256 byte values, starting at `offset`.
inline Bytes AllBytesFrom(int offset)
{
    Bytes all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>((i + offset) & 0xFF);
    return all;
}

inline Bytes AsBytes(const unsigned char* p, int n)
{
    return Bytes(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n));
}

} // namespace zarvex::test
