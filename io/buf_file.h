// CBufFile: the buffered file through which every input is read and every
// output written. 64 KB read and write buffers, tolerant line reading,
// 64-bit positions that stay right while data sit in either buffer, and
// counts of text-like and binary-like bytes passing one at a time.
#pragma once

#include "io/file_error.h"
#include "platform/object.h"

#include <cstdint>
#include <memory>
#include <string>

namespace zarvex {

struct FileStatus {
    std::int64_t creationTime = 0;   // seconds since 1970
    std::int64_t lastAccessTime = 0;
    std::int64_t lastWriteTime = 0;
    std::int64_t size = 0;
    std::uint32_t attributes = 0;
};

class CBufFile : public CObject {
public:
    // Open mode bits (ORed).
    enum : std::uint32_t {
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
    };
    static constexpr int kWriteBufferSize = 65536;
    static constexpr int kReadChunk = 65535;
    static constexpr int kReadBufferSize = 65535 + 256;

    CBufFile();
    ~CBufFile() override;
    CBufFile(const CBufFile&) = delete;
    CBufFile& operator=(const CBufFile&) = delete;
    const char* GetRuntimeClass() const override { return "CBufFile"; }

    bool Open(const std::string& name, std::uint32_t mode, FileError* error = nullptr);
    bool Reopen(FileError* error = nullptr);
    void Close();
    bool IsOpen() const { return m_Fd >= 0; }
    const std::string& GetFilePath() const { return m_Path; }

    void Write(const void* data, std::size_t n);
    void PutChar(unsigned char byte);
    void Flush();
    std::int64_t GetLength();
    std::int64_t GetPosition(bool raw = false);
    std::int64_t Seek(std::int64_t offset, int from);
    std::int64_t SeekToEnd();
    void SetLength(std::int64_t length);

    int GetChar();
    void UngetChar(int byte);
    // Reads one line into `buffer` (which must hold max + 2 bytes). Returns
    // `buffer`, or nullptr at the end of the file when nothing was read.
    // The stored length equals the number of bytes consumed from the file.
    char* ReadLine(char* buffer, int max, int* outLength, bool* outComplete);
    char* PeekLine(char* buffer, int max, int* outLength);

    bool AppendTo(CBufFile& target);
    bool FillRange(std::int64_t start, std::int64_t end, unsigned char byte);
    static bool GetStatus(const std::string& name, FileStatus& status);

    std::int64_t BinaryCount() const { return m_BinaryCount; }
    std::int64_t TextCount() const { return m_TextCount; }

private:
    // (implementation-defined helpers)
    void Refill();
    void WritePending();
    [[noreturn]] void ThrowOsError(int err, bool onSeek = false) const;

    int m_Fd = -1;
    std::string m_Path;
    std::unique_ptr<unsigned char[]> m_WriteBuf;
    std::unique_ptr<unsigned char[]> m_ReadBuf;
    int m_WriteIndex = -1;
    int m_ReadIndex = 0;
    int m_ReadCount = 0;
    std::uint32_t m_Mode = 0;
    bool m_EndReached = false;
    std::int64_t m_BinaryCount = 0;
    std::int64_t m_TextCount = 0;
    std::int64_t m_ClosedPosition = 0;
};

} // namespace zarvex
