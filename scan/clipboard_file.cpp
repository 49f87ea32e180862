#include "scan/clipboard_file.h"

#include "extract/file_error_box.h"
#include "model/records.h"
#include "platform/host.h"
#include "scan/input_sources.h"
#include "scan/scanner.h"
#include "text/ascii.h"
#include "text/messages.h"
#include "text/text_utils.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace zarvex {
namespace {

constexpr std::size_t kLongLineLookAt = 16384; // only lines starting here are looked at
constexpr std::size_t kLongLine = 1023;        // longer lines arrive at the scanner in pieces
constexpr std::size_t kWrapWidth = 88;
constexpr std::string_view kBinHexNote = "(This file must be converted with BinHex 4.0)";

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

FileError ErrorFor(const std::string& path, int err)
{
    return FileError{CauseFromErrno(err), err, path};
}

// Where a "Content-" header or the BinHex note starts in `text` after its
// first character and before the wrap width; npos when neither does.
std::size_t MarkerAt(std::string_view text)
{
    for (std::size_t i = 1; i < kWrapWidth && i < text.size(); ++i) {
        const std::string_view rest = text.substr(i);
        if (StartsWithIgnoreCase(rest, "Content-") || rest.starts_with(kBinHexNote)) return i;
    }
    return std::string_view::npos;
}

// The length of the next piece of a line too long to keep: up to a marker,
// after the last blank (so one after offset 60 when there is one), or the
// full width when there is neither.
std::size_t PieceLength(std::string_view text)
{
    if (text.starts_with(kBinHexNote)) return kBinHexNote.size(); // the note has a line of its own
    if (const std::size_t marker = MarkerAt(text); marker != std::string_view::npos) return marker;
    const std::size_t blank = text.substr(0, kWrapWidth).find_last_of(" \t");
    return blank != std::string_view::npos && blank >= 1 ? blank + 1 : kWrapWidth;
}

void AppendWrapped(std::string& out, std::string_view text)
{
    while (text.size() > kWrapWidth) {
        const std::size_t n = PieceLength(text);
        out.append(text.substr(0, n));
        out.append("\r\n");
        text.remove_prefix(n);
    }
    out.append(text);
}

} // namespace

bool ClipboardFile::Create(FileError* error)
{
    int fd = -1;
    m_Path = OpenTempFile(m_Dir, fd);
    if (fd < 0) {
        *error = ErrorFor(m_Dir, errno);
        m_Path.clear();
        return false;
    }
    ::close(fd);
    m_ScannedPos = m_ScannedLine = 0;
    return true;
}

bool ClipboardFile::Append(std::string_view text, FileError* error)
{
    if (m_Path.empty() && !Create(error)) return false;
    const int fd = ::open(m_Path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    const bool written = fd >= 0 && WriteAll(fd, text);
    const int err = errno;
    if (fd >= 0 && ::close(fd) != 0 && written) {
        *error = ErrorFor(m_Path, errno);
        Forget();
        return false;
    }
    if (!written) {
        *error = ErrorFor(m_Path, err);
        Forget();
    }
    return written;
}

bool ClipboardFile::AppendFile(const std::string& path, FileError* error)
{
    const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        *error = ErrorFor(path, errno);
        return false;
    }
    bool ok = Append("\n\n", error);
    std::array<char, 65536> buf{};
    for (ssize_t n = 0; ok && (n = ::read(in, buf.data(), buf.size())) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *error = ErrorFor(path, errno);
            ok = false;
            break;
        }
        ok = Append(std::string_view(buf.data(), static_cast<std::size_t>(n)), error);
    }
    ::close(in);
    m_RescanPending = m_RescanPending || ok;
    return ok;
}

int ClipboardFile::ScanNew(InputContext& ctx)
{
    if (m_Path.empty()) return 0;
    ctx.sortList.AddInputFile(m_Path);
    ctx.host.SetStatus(FormatMessage(msg::ProcessingInput, kClipboardName));
    std::int64_t pos = m_ScannedPos, line = m_ScannedLine;
    const int count = ScanFile(m_Path, ctx.sortList, ctx.settings, ctx.run, ctx.host, &pos, &line);
    ctx.host.SetStatus({});
    if (count < 0) {
        // A failed scan leaves nothing behind; the text is scanned again next time.
        ctx.sortList.RemovePartsOf(m_Path);
        m_ScannedPos = m_ScannedLine = 0;
        return count;
    }
    m_ScannedPos = pos;
    m_ScannedLine = line;
    if (count > 0 && std::find(ctx.inputList.begin(), ctx.inputList.end(), m_Path) == ctx.inputList.end())
        ctx.inputList.push_back(m_Path);
    return count;
}

int ClipboardFile::RescanIfChanged(InputContext& ctx)
{
    if (!m_RescanPending || m_Path.empty()) return 0;
    m_RescanPending = false;
    ctx.sortList.RemovePartsOf(m_Path);
    m_ScannedPos = m_ScannedLine = 0;
    return ScanNew(ctx);
}

void ClipboardFile::Forget()
{
    if (!m_Path.empty()) ::unlink(m_Path.c_str());
    m_Path.clear();
    m_ScannedPos = m_ScannedLine = 0;
    m_RescanPending = false;
}

bool HasLongLines(std::string_view text)
{
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < text.size() && lineStart < kLongLineLookAt; ++i) {
        if (text[i] == '\n' || text[i] == '\r')
            lineStart = i + 1;
        else if (i - lineStart >= kLongLine)
            return true;
    }
    return false;
}

std::string RewrapLongLines(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        AppendWrapped(out, text.substr(pos, end - pos));
        // The line's own end, as it is (CR LF counts as one).
        std::size_t next = end;
        if (next < text.size()) next += text.compare(next, 2, "\r\n") == 0 ? 2 : 1;
        out.append(text.substr(end, next - end));
        pos = next;
    }
    return out;
}

bool AddClipboardText(ClipboardFile& clipboard, std::string_view text, InputContext& ctx)
{
    text = text.substr(0, text.find('\0')); // the text ends at its terminator
    std::string body;
    if (HasLongLines(text)) {
        if (ctx.host.HasLog()) ctx.host.Log(Message(msg::LongLinesRestore));
        body = RewrapLongLines(text);
    } else {
        body.assign(text);
    }
    body += "\r\n";
    FileError error;
    if (!clipboard.Append(body, &error)) {
        ShowFileError(ctx.host, error);
        return false;
    }
    const bool isNew = ctx.sortList.m_InputNames.count(clipboard.Path()) == 0;
    const int count = clipboard.ScanNew(ctx);
    if (count == 0 && isNew && !ctx.host.AbortRequested()) {
        ctx.host.Beep();
        if (!ctx.quiet && !ctx.host.Silent()) ctx.host.Ask(Prompt::NoFindings, kClipboardName);
    }
    return true;
}

} // namespace zarvex
