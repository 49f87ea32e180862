// BinHex sections: while the lines are read, the valid characters of the
// section are collected into a temporary file; at the closing ":" (or when
// the parts run out) the file is decoded as a whole into the output.
#include "extract/engine.h"

#include "codec/binhex.h"
#include "codec/line_tests.h"
#include "extract/file_error_box.h"
#include "io/buf_file.h"
#include "model/records.h"
#include "model/settings.h"
#include "platform/host.h"
#include "text/ascii.h"
#include "text/messages.h"
#include "text/text_utils.h"

#include <cerrno>
#include <fcntl.h>

namespace zarvex {
namespace {

constexpr int kShortestStartLine = 31;
constexpr int kShortestResumeLine = 64;
constexpr std::size_t kCollectBuffer = 65536;

// A line that continues the data: as long as a full line, or the closing
// line, and of the format's characters only.
bool IsBinHexDataLine(const LineBuffer& line)
{
    return (line.len >= kShortestResumeLine || LastNonBlank(line.text) == ':') && IsBinHexLine(line.text, line.len);
}

} // namespace

// ---- The collector -----------------------------------------------------------------

bool BinHexCollector::Create(const std::string& dir)
{
    m_Path = OpenTempFile(dir, m_Fd);
    m_Errno = m_Fd < 0 ? errno : 0;
    if (m_Fd < 0) m_Path.clear();
    return m_Fd >= 0;
}

bool BinHexCollector::Append(std::string_view chars)
{
    m_Pending.append(chars);
    return m_Pending.size() < kCollectBuffer || Flush();
}

bool BinHexCollector::Flush()
{
    for (std::size_t done = 0; !m_Failed && done < m_Pending.size();) {
        const ssize_t n = ::write(m_Fd, m_Pending.data() + done, m_Pending.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_Errno = n < 0 ? errno : ENOSPC;
            m_Failed = true;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    m_Pending.clear();
    return !m_Failed;
}

bool BinHexCollector::Finish()
{
    if (m_Fd < 0) return !m_Failed;
    Flush();
    return !m_Failed;
}

// ---- The section handling ----------------------------------------------------------

void Extractor::HandleBinHexLine()
{
    LineBuffer& line = m_Call.line;
    line.StripLineEnd();
    switch (m_Call.state) {
    case DecodeState::SeekingStart:
        if (line.First() != ':' || line.len < kShortestStartLine || !IsBinHexLine(line.text, line.len)) return;
        if (!m_Call.binHex.Create(m_Settings.WorkingDir)) {
            ShowFileError(m_Host, FileError{CauseFromErrno(m_Call.binHex.Error()), m_Call.binHex.Error(),
                                            m_Settings.WorkingDir});
            MarkNotExtracted();
            m_Call.state = DecodeState::Finished;
            return;
        }
        m_Call.state = DecodeState::InData;
        break;
    case DecodeState::Paused:
        if (line.len < kShortestResumeLine || !IsBinHexLine(line.text, line.len)) return;
        m_Call.state = DecodeState::InData;
        break;
    case DecodeState::InData:
        // A line such as "--- end of part 1 ---" pauses the section between
        // the parts of a posting. '-' is a BinHex character too, so a data
        // line may begin with "---": only a line that cannot be one (not a
        // full line, or other characters, and not the closing line) pauses.
        if (line.View().starts_with("---") && !IsBinHexDataLine(line)) {
            m_Call.state = DecodeState::Paused;
            return;
        }
        break;
    default:
        return;
    }
    // Only the characters of the format go in; line ends and blanks do not.
    char chars[sizeof line.text];
    std::size_t n = 0;
    for (const char c : line.View()) {
        chars[n] = c;
        n += IsBinHexChar(static_cast<unsigned char>(c)) ? 1 : 0;
    }
    m_Call.binHex.Append({chars, n});
    if (LastNonBlank(line.text) != ':') return;
    DecodeCollectedBinHex(true);
    FinishFile();
}

void Extractor::DecodeCollectedBinHex(bool atClosingColon)
{
    if (!m_Call.binHex.Finish()) {
        WriteFailed(FileError{CauseFromErrno(m_Call.binHex.Error()), m_Call.binHex.Error(), {}});
        m_Call.binHex.Discard();
        return;
    }
    CFInfo& part = *m_Call.part;
    if ((part.m_Status & GS_MASK) == GS_STARTED) part.m_Status = (part.m_Status & ~GS_MASK) | GS_COMPLETE;
    Announce(msg::BinHexData);
    m_Host.SetStatus(Message(msg::DecodingBinHex));
    int result = HQX_END_OF_FILE;
    try {
        result = DecodeBinHexFile(m_Call.binHex.Fd(), m_Out->File());
        m_Out->File().Settle(); // including a write that failed behind
    } catch (const FileException& e) {
        // The output cannot take the data (a full disk).
        m_Call.binHex.Discard();
        WriteFailed(e.Error());
        return;
    }
    m_Call.binHex.Discard();
    if (result > 0 || result == HQX_BAD_CRC) NoteCheck(part.m_CrcCheck, result > 0);
    if (result > 0) {
        m_Call.dataWritten = true;
    } else {
        AddStatus(ST_DATAERROR);
        if (result == HQX_BAD_CRC) {
            Log(Message(msg::InvalidCrc));
        } else if (result == HQX_END_OF_FILE) {
            Log(Message(msg::UnexpectedEnd));
            if (atClosingColon && !m_Host.Silent()) m_Host.Ask(Prompt::ExtractError, Message(msg::ExtractError));
        } else {
            Log(std::string(Message(msg::ExtractError)) + "\r\n");
        }
    }
    // Whatever came through before a failure is kept.
    if (m_Out->File().GetPosition() > 0) m_Call.dataWritten = true;
}

} // namespace zarvex
