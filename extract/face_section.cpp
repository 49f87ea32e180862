// Sender images of header lines: an X-Face value is collected over its
// lines and written as a BMP at the part's end; a Face value is Base64 text
// of a PNG image, written as it decodes.
#include "extract/engine.h"

#include "codec/face.h"
#include "io/buf_file.h"
#include "model/data_types.h"
#include "model/records.h"

namespace zarvex {

void Extractor::HandleFaceLine()
{
    if (m_Call.state == DecodeState::Finished) return;
    LineBuffer& line = m_Call.line;
    const bool last = !BeforePartEnd();
    CBufFile& out = m_Out->File();
    m_Call.state = DecodeState::InData;
    if (m_Call.saveRaw) {
        out.Write(line.text, static_cast<std::size_t>(line.len));
        if (last && !line.EndsWithLF()) out.Write("\r\n", 2);
        m_Call.dataWritten = true;
    } else if (m_Call.part->m_MsgType & MT_XFACE) {
        // A value that cannot be uncompressed leaves the output empty; it is removed.
        if (DecodeXFaceLine(m_Call.xface, line.text, line.len, &out, last) > 0 && last) m_Call.dataWritten = true;
    } else {
        Announce(msg::FacePngData);
        AddFaceLine(m_Call.faceText, line.View());
        if (last) {
            const std::string image = DecodeFaceText(m_Call.faceText);
            out.Write(image.data(), image.size());
            m_Call.dataWritten = !image.empty();
        }
    }
    if (last) FinishFile();
}

} // namespace zarvex
