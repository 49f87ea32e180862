// Collects the bytes a line decoder produces in a small stack buffer and
// hands them to the output file in blocks; with no output it only counts.
// Private to the line codecs.
#pragma once

#include "io/buf_file.h"

#include <cstddef>
#include <cstring>

namespace zarvex::detail {

class LineSink
{
public:
    explicit LineSink(CBufFile* out) : m_Out(out) {}
    LineSink(const LineSink&) = delete;
    LineSink& operator=(const LineSink&) = delete;

    bool HasOutput() const { return m_Out != nullptr; }

    // Room for `n` (at most kSize) more bytes; returns where to write them.
    unsigned char* Reserve(int n)
    {
        if (m_Count + n > kSize) Flush();
        return m_Buf + m_Count;
    }
    void Commit(int n) { m_Count += n; }

    void Put(unsigned char byte)
    {
        if (m_Count == kSize) Flush();
        m_Buf[m_Count++] = byte;
    }

    // Put for each of `n` bytes, in block copies (the same flushes).
    void PutRun(const unsigned char* data, int n)
    {
        while (n > 0) {
            if (m_Count == kSize) Flush();
            const int take = n < kSize - m_Count ? n : kSize - m_Count;
            std::memcpy(m_Buf + m_Count, data, static_cast<std::size_t>(take));
            m_Count += take;
            data += take;
            n -= take;
        }
    }

    void PutBlock(const void* data, std::size_t n)
    {
        Flush();
        if (m_Out && n) m_Out->Write(data, n);
    }

    // Not done by a destructor: writing may raise a file exception.
    void Flush()
    {
        if (m_Out && m_Count) m_Out->Write(m_Buf, static_cast<std::size_t>(m_Count));
        m_Count = 0;
    }

    static constexpr int kSize = 768;

private:
    CBufFile* m_Out;
    int m_Count = 0;
    unsigned char m_Buf[kSize];
};

} // namespace zarvex::detail
