#include "extract/output_path.h"

#include "codec/msg_type.h"
#include "text/ascii.h"
#include "text/display_text.h"
#include "text/text_utils.h"

#include <sys/stat.h>


namespace zarvex {
namespace {

// Cuts `text` to at most `max` bytes without splitting a UTF-8 character.
std::string_view CutUtf8(std::string_view text, std::size_t max)
{
    return text.substr(0, Utf8CutPoint(text, max));
}

// Keeps the extension (when it is short) and cuts the stem.
std::string Shorten(std::string_view name, std::size_t max)
{
    const std::size_t dot = name.rfind('.');
    std::string_view ext;
    if (dot != std::string_view::npos && dot > 0 && name.size() - dot <= 16) ext = name.substr(dot);
    const std::string_view stem = name.substr(0, name.size() - ext.size());
    // No room for a piece of the stem: the extension alone would start with ".".
    if (ext.size() >= max || CutUtf8(stem, max - ext.size()).empty()) return std::string(CutUtf8(name, max));
    std::string out(CutUtf8(stem, max - ext.size()));
    out += ext;
    return out;
}

} // namespace

std::string FolderOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    if (slash == 0) return "/";
    return std::string(path.substr(0, slash));
}

std::string ResolveOutputFolder(std::string_view outDir, std::string_view firstInput)
{
    std::string folder(outDir == "*" ? FolderOf(firstInput) : std::string(outDir));
    if (folder.empty()) folder = ".";
    return folder;
}

std::string SafeOutputName(std::string_view name, std::string_view suffix)
{
    if (name.empty() || name == "." || name == "..") return {};
    if (name.find('/') != std::string_view::npos || name.find('\0') != std::string_view::npos) return {};
    std::string safe;
    // A hidden name would not show, a temporary file's name ("~ZRV12.TMP")
    // would be taken for a run's leftover: both get a "_" in front.
    if (name.front() == '.' || IsTempFileName(name)) safe = "_";
    for (std::size_t i = 0; i < name.size(); ++i) {
        // A direction control would show the name in another order than it
        // has ("invoice<U+202E>fdp.exe" shows as "invoiceexe.pdf"): on disk it is a "_".
        if (const std::size_t n = BidiControlLength(name, i); n > 0) {
            safe += '_';
            i += n - 1;
        } else {
            safe += name[i];
        }
    }
    if (suffix.size() >= kMaxNameBytes) return {};
    if (safe.size() + suffix.size() > kMaxNameBytes) safe = Shorten(safe, kMaxNameBytes - suffix.size());
    if (safe.empty()) return {};
    safe += suffix;
    return safe;
}

std::string BuildOutputPath(std::string_view folder, std::string_view name, std::string_view suffix)
{
    const std::string safe = SafeOutputName(name, suffix);
    if (safe.empty() || folder.empty() || folder.find('\0') != std::string_view::npos) return {};
    std::string path(folder);
    if (path.back() != '/') path += '/';
    path += safe;
    if (path.size() > kMaxPathBytes) return {};
    return path;
}

std::string AppendSuggestion(std::string_view outputName)
{
    const std::size_t n = outputName.size();
    if (n > 4 && outputName[n - 4] == '.') {
        const std::string_view ext = outputName.substr(n - 4);
        const bool numbered = IsAsciiDigit(ext[2]) && IsAsciiDigit(ext[3]);
        if (numbered || EqualsIgnoreCase(ext, ".rar")) return std::string(outputName.substr(0, n - 4));
    }
    return std::string(outputName);
}

std::string FreePathBeside(const std::string& path)
{
    const std::size_t slash = path.rfind('/') + 1;
    const std::size_t dot = path.rfind('.');
    const std::size_t cut = dot != std::string::npos && dot > slash ? dot : path.size();
    for (int n = 2; n < 10000; ++n) {
        std::string other = path.substr(0, cut) + "_" + std::to_string(n) + path.substr(cut);
        if (other.size() - slash > kMaxNameBytes) break;
        struct stat st {};
        if (::lstat(other.c_str(), &st) != 0) return other;
    }
    return {};
}

std::string_view OutputSuffix(bool saveRaw)
{
    return saveRaw ? ".uu" : "";
}

} // namespace zarvex
