#include "scan/input_sources.h"

#include "io/file_error.h"
#include "model/records.h"
#include "platform/host.h"
#include "scan/archive_reader.h"
#include "scan/archive_store.h"
#include "text/ascii.h"
#include "text/display_text.h"
#include "text/messages.h"
#include "text/text_utils.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace zarvex {
namespace {

// A .desktop file larger than this is not a link file.
constexpr long kMaxDesktopFileSize = 64 * 1024;

bool EndsWith(std::string_view s, std::string_view tail)
{
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::string BaseName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && IsAsciiSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsAsciiSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// "%20" and friends in a file URL; a broken escape stays as it is.
std::string PercentDecode(std::string_view s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && IsAsciiXDigit(s[i + 1]) && IsAsciiXDigit(s[i + 2])) {
            auto hex = [](char c) { return IsAsciiDigit(c) ? c - '0' : (AsciiUpper(c) - 'A' + 10); };
            out += static_cast<char>(hex(s[i + 1]) * 16 + hex(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The local path of a "file://" URL ("file:///p" or "file://localhost/p").
std::optional<std::string> FileUrlPath(std::string_view url)
{
    constexpr std::string_view scheme = "file://";
    if (!StartsWithIgnoreCase(url, scheme)) return std::nullopt;
    url.remove_prefix(scheme.size());
    if (StartsWithIgnoreCase(url, "localhost/")) url.remove_prefix(9);
    if (url.empty() || url.front() != '/') return std::nullopt;
    std::string path = PercentDecode(url);
    if (path.find('\0') != std::string::npos) return std::nullopt;
    return path;
}

std::string ReadSmallFile(const std::string& path)
{
    std::string text;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return text;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0 && text.size() <= kMaxDesktopFileSize)
        text.append(buf, n);
    std::fclose(f);
    return text;
}

bool IsRegularFile(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The entry itself, not what it points to: a folder walk follows no links.
bool IsPlainRegularFile(const std::string& path)
{
    struct stat st
    {
    };
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The walk over a folder's files; each entry is quiet and counts as a folder entry.
std::int32_t AddFolder(const std::string& folder, InputContext& ctx)
{
    std::int32_t total = 0;
    const bool wasQuiet = ctx.quiet;
    for (const std::string& entry : RegularFilesIn(folder)) {
        ctx.quiet = true;
        const std::int32_t r = AddInputFile(entry, true, ctx);
        ctx.quiet = wasQuiet;
        if (r < 0) return r;
        total = total > INT32_MAX - r ? INT32_MAX : total + r;
        if (ctx.host.AbortRequested()) break;
    }
    return total;
}

// A second request for an input already scanned.
std::int32_t RefuseDuplicate(bool inFolder, const std::string& name, InputContext& ctx)
{
    if (inFolder) return 0;
    ctx.host.Beep();
    if (ctx.quiet) return 0;
    return ctx.host.Ask(Prompt::DuplicateInput, name) == button::Cancel ? -1 : 0;
}

// An input that cannot be opened for reading is an error, not an input without findings.
std::int32_t ReportUnreadable(const std::string& path, const std::string& name, int err, InputContext& ctx)
{
    ctx.unreadable.emplace_back(path, err);
    const std::string text = FormatMessage(msg::CannotRead, name, FileErrorText(CauseFromErrno(err)));
    if (ctx.host.HasLog()) ctx.host.Log(text + "\r\n");
    if (ctx.quiet || ctx.host.Silent()) return 0;
    return ctx.host.Ask(Prompt::FileError, StripColourMarkers(text)) == button::Cancel ? -1 : 0;
}

bool CanOpenForReading(const std::string& path, int* err)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *err = errno;
        return false;
    }
    ::close(fd);
    return true;
}

// A scan that found nothing: reported, and the input is forgotten again.
std::int32_t ReportNoFindings(bool inFolder, const std::string& path, const std::string& name,
                              InputContext& ctx)
{
    std::int32_t result = 0;
    if (!ctx.host.AbortRequested() && !inFolder) {
        ctx.host.Beep();
        if (!ctx.quiet) {
            if (ctx.host.Ask(Prompt::NoFindings, name) == button::Cancel) result = -1;
        } else if (ctx.host.HasLog()) {
            ctx.host.Log(FormatMessage(msg::NoFindings, name) + "\r\n");
        }
    }
    ctx.sortList.RemoveInputFile(path);
    return result;
}

// ---- Archives and compressed inputs ----------------------------------------------

// A member's path as shown after its archive's: no empty, "." or ".."
// steps, so that it reads as a path inside the archive whatever the
// archive claims (the bytes are never written under this name anyway).
std::string MemberPath(std::string_view path)
{
    std::string out;
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view step = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        if (step.empty() || step == "." || step == "..") continue;
        if (!out.empty()) out += '/';
        out += step;
    }
    return out.empty() ? std::string("file") : out;
}

// The archive, or a member of it, was scanned before.
bool ArchiveListed(const MyCObArray& list, const std::string& archive)
{
    if (list.m_InputNames.count(archive)) return true;
    const std::string prefix = archive + "/";
    const auto it = list.m_InputNames.lower_bound(prefix);
    return it != list.m_InputNames.end() && it->compare(0, prefix.size(), prefix) == 0;
}

ArchiveStore& StoreOf(InputContext& ctx)
{
    if (auto* store = dynamic_cast<ArchiveStore*>(ctx.sortList.m_Unpacked.get())) return *store;
    auto store = std::make_shared<ArchiveStore>(ctx.settings.WorkingDir);
    ArchiveStore& kept = *store;
    ctx.sortList.m_Unpacked = std::move(store);
    return kept;
}

void LogText(InputContext& ctx, const std::string& text)
{
    if (ctx.host.HasLog()) ctx.host.Log(text);
}

// Scans one member unpacked into the store: the parts it found (its input
// name is forgotten again when none), or -1 when the batch must stop.
std::int32_t ScanMember(const std::string& shown, ArchiveStore& store, InputContext& ctx)
{
    ctx.host.SetStatus(FormatMessage(msg::ProcessingInput, ToDisplayUtf8(shown)));
    ctx.host.SetProgress(0);
    const std::int32_t count = ctx.scan(shown, ctx.sortList, ctx.settings, ctx.run, ctx.host);
    ctx.host.SetStatus({});
    ctx.host.SetProgress(-1);
    if (count <= 0) {
        ctx.sortList.RemoveInputFile(shown);
        return count < 0 ? -1 : 0;
    }
    ctx.inputList.push_back(shown);
    store.Settle(shown);
    return count;
}

// Every regular member of an archive (or the content of a compressed file),
// in archive order, unpacked into a temporary file and scanned like a file
// of its own.
std::int32_t AddPackedInput(const std::string& real, const std::string& name, bool inFolder,
                            InputContext& ctx)
{
    if (ArchiveListed(ctx.sortList, real)) return RefuseDuplicate(inFolder, name, ctx);
    ArchiveReader reader;
    std::string why;
    if (!reader.Open(real, &why)) {
        LogText(ctx, FormatMessage(msg::ArchiveDamaged, name, why));
        return ReportNoFindings(inFolder, real, name, ctx);
    }
    ctx.sortList.m_RunInputs.Add(real);
    ArchiveStore& store = StoreOf(ctx);
    const std::int64_t limit = std::int64_t{ctx.settings.ArchiveLimitMB} << 20;
    std::int64_t unpacked = 0;
    std::int32_t total = 0;
    ArchiveReader::Entry entry;
    while (!ctx.host.AbortRequested()) {
        const ArchiveReader::Status status = reader.NextEntry(entry, &why);
        if (status == ArchiveReader::Status::End) break;
        if (status != ArchiveReader::Status::Ok) {
            const bool fatal = status == ArchiveReader::Status::Fatal;
            LogText(ctx, FormatMessage(fatal ? msg::ArchiveDamaged : msg::MemberDamaged, name, why));
            if (fatal) break;
            continue;
        }
        if (!entry.regular) continue; // folders and links hold no text
        std::string shown = reader.IsSingleFile() ? real : real + "/" + MemberPath(entry.path);
        for (int n = 2; ctx.sortList.m_InputNames.count(shown); ++n)
            shown = (reader.IsSingleFile() ? real : real + "/" + MemberPath(entry.path)) + " (" +
                    std::to_string(n) + ")";
        if (entry.encrypted) {
            LogText(ctx, FormatMessage(msg::MemberEncrypted, ToDisplayUtf8(shown)));
            continue;
        }
        store.MakeRoom(entry.size);
        int fd = -1;
        const std::string temp = OpenTempFile(ctx.settings.WorkingDir, fd);
        if (fd < 0) {
            LogText(ctx, FormatMessage(msg::ArchiveDamaged, name, std::strerror(errno)));
            break;
        }
        std::int64_t written = 0;
        const ArchiveReader::Status unpackedStatus = reader.Unpack(fd, limit - unpacked, &written, &why);
        ::close(fd);
        unpacked += written;
        if (unpackedStatus != ArchiveReader::Status::Ok || written == 0) {
            WipeAndDeleteFile(temp);
            if (unpackedStatus == ArchiveReader::Status::TooLarge)
                LogText(ctx, FormatMessage(msg::ArchiveTooLarge, name,
                                           std::to_string(ctx.settings.ArchiveLimitMB)));
            else if (unpackedStatus != ArchiveReader::Status::Ok)
                LogText(ctx,
                        FormatMessage(unpackedStatus == ArchiveReader::Status::Fatal ? msg::ArchiveDamaged
                                                                                     : msg::MemberDamaged,
                                      ToDisplayUtf8(shown), why));
            if (unpackedStatus == ArchiveReader::Status::Ok || unpackedStatus == ArchiveReader::Status::Skip)
                continue;
            break;
        }
        store.Add({shown, real, entry.index, entry.path, written, temp});
        ctx.sortList.m_InputNames.insert(shown);
        const std::int32_t count = ScanMember(shown, store, ctx);
        if (count < 0) return -1;
        total = total > INT32_MAX - count ? INT32_MAX : total + count;
    }
    if (total == 0) return ReportNoFindings(inFolder, real, name, ctx);
    return total;
}

} // namespace

std::string NormalisedPath(const std::string& path)
{
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return {};
    std::string out(real);
    std::free(real);
    return out;
}

std::optional<std::string> DesktopLinkTarget(const std::string& path)
{
    if (!EndsWith(path, ".desktop") || !IsRegularFile(path)) return std::nullopt;
    const std::string text = ReadSmallFile(path);
    if (text.size() > kMaxDesktopFileSize) return std::nullopt;
    bool inEntry = false, isLink = false;
    std::optional<std::string> target;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string_view line = TrimBlanks(std::string_view(text).substr(pos, end - pos));
        pos = end + 1;
        if (!line.empty() && line.front() == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = TrimBlanks(line.substr(0, eq));
        const std::string_view value = TrimBlanks(line.substr(eq + 1));
        if (key == "Type") isLink = value == "Link";
        if (key == "URL") target = FileUrlPath(value);
    }
    if (!isLink) return std::nullopt;
    return target;
}

std::vector<std::string> RegularFilesIn(const std::string& folder)
{
    std::vector<std::string> files;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return files;
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        // A temporary file left by a killed run is neither input nor output.
        if (name == "." || name == ".." || IsTempFileName(name)) continue;
        std::string full = prefix + name;
        if (IsPlainRegularFile(full)) files.push_back(std::move(full));
    }
    ::closedir(dir);
    std::sort(files.begin(), files.end());
    return files;
}

std::int32_t AddInputFile(const std::string& path, bool inFolder, InputContext& ctx)
{
    std::string target = path;
    // A link named by the user is followed; inside a folder walk nothing is
    // (a link file there is scanned as the text it is).
    if (!inFolder)
        if (auto linked = DesktopLinkTarget(path)) target = std::move(*linked);
    if (IsFolder(target)) return inFolder ? 0 : AddFolder(target, ctx);
    // Only regular files: a FIFO or a device would block or never end.
    if (inFolder ? !IsPlainRegularFile(target) : !IsRegularFile(target)) return 0;
    const std::string real = NormalisedPath(target);
    if (real.empty() || !ctx.scan) return 0;

    ctx.host.ClearAbort();
    const std::string name = ToDisplayUtf8(BaseName(real));
    if (int err = 0; !CanOpenForReading(real, &err)) return ReportUnreadable(real, name, err, ctx);
    // A compressed file or an archive: its members are the inputs.
    if (LooksPacked(real)) return AddPackedInput(real, name, inFolder, ctx);
    if (ctx.sortList.AddInputFile(real) != 0) return RefuseDuplicate(inFolder, name, ctx);

    ctx.host.SetStatus(FormatMessage(msg::ProcessingInput, name));
    ctx.host.SetProgress(0);
    const std::int32_t count = ctx.scan(real, ctx.sortList, ctx.settings, ctx.run, ctx.host);
    ctx.host.SetStatus({});
    ctx.host.SetProgress(-1);

    if (count < 0) {
        // A scan that failed part-way leaves nothing behind.
        ctx.sortList.RemoveInputFile(real);
        return -1;
    }
    if (count == 0) return ReportNoFindings(inFolder, real, name, ctx);
    ctx.inputList.push_back(real);
    return count;
}

} // namespace zarvex
