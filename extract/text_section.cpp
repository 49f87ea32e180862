// Plain-text sections: the part's own MIME headers are passed over, the
// body after the first blank line is written with CR LF line ends, UTF-7
// and (with "DecodeUTF8") UTF-8 bodies as UTF-8 text.
#include "extract/engine.h"

#include "codec/line_tests.h"
#include "codec/text_lines.h"
#include "io/buf_file.h"
#include "model/records.h"
#include "model/settings.h"
#include "text/ascii.h"

namespace zarvex {

void Extractor::HandleTextLine()
{
    LineBuffer& line = m_Call.line;
    switch (m_Call.state) {
    case DecodeState::SeekingStart: {
        // The part's own headers; one whose parameters go on (";") ends
        // with the folded line that does not.
        const bool content = StartsWithIgnoreCase(line.View(), "Content-");
        const bool folded = m_Call.textHeaderContinues && (line.First() == ' ' || line.First() == '\t');
        if (content || folded) {
            m_Call.textHeaderContinues = LastNonBlank(line.text) == ';';
            if (!m_Call.textHeaderContinues) m_Call.state = DecodeState::Paused;
        }
        break;
    }
    case DecodeState::Paused:
        if (LastNonBlank(line.text) == 0) {
            m_Call.state = DecodeState::InData;
            Announce(msg::TextData);
        }
        break;
    case DecodeState::InData: {
        const bool hadLineFeed = line.EndsWithLF();
        line.StripLineEnd();
        const CFInfo& part = *m_Call.part;
        CBufFile& out = m_Out->File();
        if (part.IsUtf7())
            DecodeUTF7Line(line.text, line.len, &out);
        else if (part.IsUtf8() && m_Settings.DecodeUTF8)
            WriteUTF8AsAnsi(line.text, line.len, &out);
        else
            out.Write(line.text, static_cast<std::size_t>(line.len));
        if (hadLineFeed) out.Write("\r\n", 2);
        m_Call.dataWritten = true;
        break;
    }
    default:
        return;
    }
    // The output stays open for the checks after the part loop.
    if (!BeforePartEnd()) m_Call.state = DecodeState::Finished;
}

} // namespace zarvex
