// Placeholder until the buffered file lands: construction and closing only.
#include "io/buf_file.h"

#include <unistd.h>

namespace zarvex {

CBufFile::CBufFile()
    : m_WriteBuf(new unsigned char[kWriteBufferSize]), m_ReadBuf(new unsigned char[kReadBufferSize])
{
}

CBufFile::~CBufFile()
{
    if (m_Fd >= 0) ::close(m_Fd);
}

void CBufFile::Close()
{
    if (m_Fd >= 0) ::close(m_Fd);
    m_Fd = -1;
}

} // namespace zarvex
