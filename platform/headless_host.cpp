#include "platform/headless_host.h"

#include "platform/colour_markers.h"

#include <cerrno>

namespace zarvex {

HeadlessHost::~HeadlessHost()
{
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

void HeadlessHost::Log(std::string_view markedText)
{
    std::string plain = StripColourMarkers(markedText);
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
            // A failing log file is dropped silently for the rest of the run.
            if (m_OwnsLogFile) std::fclose(m_LogFile);
            m_LogFile = nullptr;
            m_OwnsLogFile = false;
        } else if (m_LogFile == stderr) {
            std::fflush(m_LogFile);
        }
    }
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
