#include "platform/headless_host.h"

#include "platform/colour_markers.h"
#include "text/display_text.h"

#include <cerrno>

namespace zarvex {

HeadlessHost::~HeadlessHost()
{
    EndProgressLine();
    if (m_OwnsLogFile && m_LogFile) std::fclose(m_LogFile);
}

int HeadlessHost::OpenLogFile(const std::string& path)
{
    if (m_OwnsLogFile && m_LogFile) std::fclose(m_LogFile);
    m_LogFile = nullptr;
    m_OwnsLogFile = false;
    if (path.empty()) return EINVAL;
    if (path == "-") {
        m_LogFile = stderr;
        return 0;
    }
    m_LogFile = std::fopen(path.c_str(), "wb");
    if (!m_LogFile) return errno ? errno : EIO;
    m_OwnsLogFile = true;
    return 0;
}

void HeadlessHost::SetLogStream(std::FILE* stream)
{
    if (m_OwnsLogFile && m_LogFile) std::fclose(m_LogFile);
    m_LogFile = stream;
    m_OwnsLogFile = false;
}

void HeadlessHost::Log(std::string_view markedText)
{
    // Names and paths inside the text come from messages and command lines:
    // no control character or direction override of theirs reaches a
    // terminal or a log file as it is.
    std::string plain = ToShownText(StripColourMarkers(markedText), true);
    if (m_LogFile == stderr) {
        // A terminal gets LF line ends.
        std::string lf;
        lf.reserve(plain.size());
        for (char c : plain)
            if (c != '\r') lf += c;
        plain.swap(lf);
    }
    if (m_KeepLog) m_LogText += plain;
    if (m_LogFile) {
        if (std::fwrite(plain.data(), 1, plain.size(), m_LogFile) != plain.size()) {
            // A failing log file is not written any more; the run says so at its end.
            m_LogError = errno ? errno : EIO;
            if (m_OwnsLogFile) std::fclose(m_LogFile);
            m_LogFile = nullptr;
            m_OwnsLogFile = false;
        } else if (m_LogFile == stderr) {
            std::fflush(m_LogFile);
        }
    }
}

void HeadlessHost::SetProgressTask(std::string label, std::int64_t bytes)
{
    m_ProgressLabel = std::move(label);
    m_ProgressBytes = bytes;
    m_TaskStart = std::chrono::steady_clock::now();
    m_FreshTask = true;
}

void HeadlessHost::SetProgress(double percent)
{
    if (!m_ProgressOut || percent < 0 || m_ProgressLabel.empty()) return;
    using namespace std::chrono;
    const auto now = steady_clock::now();
    // A few redraws a second are enough for the eye and cost nothing.
    if (!m_FreshTask && now - m_LastDrawn < milliseconds(200)) return;
    m_FreshTask = false;
    m_LastDrawn = now;
    if (percent > 100) percent = 100;
    std::string line = "\r" + m_ProgressLabel;
    char tail[64];
    std::snprintf(tail, sizeof tail, " %3d%%", static_cast<int>(percent));
    line += tail;
    const double seconds = duration<double>(now - m_TaskStart).count();
    if (m_ProgressBytes > 0 && seconds > 0) {
        const double mb = static_cast<double>(m_ProgressBytes) * percent / 100.0 / 1e6;
        std::snprintf(tail, sizeof tail, " %.1f MB/s", mb / seconds);
        line += tail;
    }
    line += "\x1b[K"; // clears what a longer line left behind
    std::fwrite(line.data(), 1, line.size(), m_ProgressOut);
    std::fflush(m_ProgressOut);
    m_ProgressShown = true;
}

void HeadlessHost::EndProgressLine()
{
    m_ProgressLabel.clear();
    if (!m_ProgressOut || !m_ProgressShown) return;
    std::fputs("\r\x1b[K", m_ProgressOut);
    std::fflush(m_ProgressOut);
    m_ProgressShown = false;
}

int HeadlessHost::Ask(Prompt prompt, std::string_view)
{
    switch (prompt) {
    case Prompt::Overwrite:
        return m_OverwriteAll ? button::YesToAll : button::NoToAll;
    case Prompt::YencMerge:
        return m_OverwriteAll ? button::ReplaceAll : button::NoToAll;
    default:
        return button::Ok;
    }
}

} // namespace zarvex
