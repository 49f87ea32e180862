// Helpers for the line codec tests: an output file to decode into, a line
// buffer like the extraction engine's, and external encoders run through the shell for cross-checks.
#pragma once

#include "io/buf_file.h"
#include "support/encoders.h"
#include "support/test_support.h"

#include <algorithm>
#include <filesystem>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace zarvex::test {

// A CBufFile writing into a temporary file; Take() returns what was written
// and starts the file again empty, so that one capture serves many decodes.
// The file lives in memory where it can: a file system that flushes a file
// truncated and closed again made exhaustive loops wait on the disk.
class OutputCapture
{
public:
    OutputCapture() : m_Dir(MemoryFolder()), m_Path(m_Dir / "out.bin") { Open(); }
    CBufFile* File() { return &m_File; }
    Bytes Take()
    {
        m_File.Close();
        Bytes written = ReadFile(m_Path);
        Open();
        return written;
    }

private:
    static std::filesystem::path MemoryFolder()
    {
        std::error_code ec;
        return ::access("/dev/shm", W_OK) == 0 && std::filesystem::is_directory("/dev/shm", ec)
                   ? std::filesystem::path("/dev/shm")
                   : std::filesystem::path();
    }

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
    {
        const std::size_t n = std::min<std::size_t>(line.size(), kMaxLine);
        m_Size = static_cast<int>(n);
        m_Data = std::make_unique<char[]>(n + 1);
        std::copy_n(line.begin(), n, m_Data.get());
        m_Data[n] = '\0';
    }
    char* Data() { return m_Data.get(); }
    int Size() const { return m_Size; }

private:
    static constexpr std::size_t kMaxLine = 1 << 20;
    int m_Size = 0;
    std::unique_ptr<char[]> m_Data;
};

// Runs a shell command and returns its standard output; `ok` is false when
// it could not run or exited non-zero.
inline std::string RunCommand(const std::string& command, bool& ok)
{
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    ok = pipe != nullptr;
    if (!pipe) return output;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
        output.append(buf, n);
    ok = ::pclose(pipe) == 0;
    return output;
}

inline bool HaveProgram(const std::string& name)
{
    bool ok = false;
    RunCommand("command -v " + name + " >/dev/null 2>&1", ok);
    return ok;
}

// The output of an outside encoder run on a file holding `data`; "FILE" in
// `command` stands for its quoted path.
inline std::string EncodeExternally(std::string command, const Bytes& data)
{
    TempDir dir;
    command.replace(command.find("FILE"), 4, "'" + dir.Write("payload.bin", data) + "'");
    bool ok = false;
    std::string text = RunCommand(command, ok);
    EXPECT_TRUE(ok) << command;
    return text;
}

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

// The lines of `text`, each with its LF.
inline std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string_view::npos ? text.size() : end + 1;
        lines.emplace_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

} // namespace zarvex::test
