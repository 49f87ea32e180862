#include "app/desktop/desktop_files.h"

#include "app/ini_location.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zarvex {
namespace {

namespace fs = std::filesystem;

std::string EnvOr(const char* name, const std::string& fallback)
{
    const char* v = std::getenv(name);
    return v && *v == '/' ? std::string(v) : fallback;
}

// One argument of an Exec line: quoted when it holds a reserved character,
// with the escapes of quoted arguments and then those of the file's strings.
std::string ExecArgument(std::string_view arg)
{
    constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string out;
    for (const char c : arg)
        out += c == '%' ? std::string("%%") : std::string(1, c);
    if (out.find_first_of(reserved) == std::string::npos) return out;
    std::string quoted = "\"";
    for (const char c : out) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    // The file's own string escape: every backslash is written twice.
    std::string escaped;
    for (const char c : quoted)
        escaped += c == '\\' ? std::string(2, c) : std::string(1, c);
    return escaped;
}

std::string MimeTypeList()
{
    std::string list;
    for (const FileAssociation& a : kFileAssociations)
        list += std::string(a.mimeType) + ';';
    return list;
}

std::string LowerExtension(std::string_view ext)
{
    std::string s(ext.substr(1));
    for (char& c : s)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return s;
}

bool IsOwnType(std::string_view mimeType)
{
    return mimeType.starts_with("application/x-zarvex-");
}

std::string ReadWholeFile(const std::string& path, bool& ok)
{
    std::ifstream in(path, std::ios::binary);
    ok = static_cast<bool>(in);
    std::ostringstream s;
    if (ok) s << in.rdbuf();
    return s.str();
}

// Runs a desktop cache tool on `folder` when it is installed; its output is dropped.
void RunCacheTool(const char* tool, const std::string& folder)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(tool), const_cast<char*>(folder.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, tool, &actions, nullptr, argv, environ) == 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

void RefreshCaches(const DesktopPaths& paths)
{
    RunCacheTool("update-mime-database", paths.dataHome + "/mime");
    RunCacheTool("update-desktop-database", paths.dataHome + "/applications");
}

} // namespace

DesktopPaths DesktopPaths::FromProcess()
{
    const std::string home = IniEnvironment::FromProcess().home;
    return {EnvOr("XDG_DATA_HOME", home + "/.local/share"), EnvOr("XDG_CONFIG_HOME", home + "/.config")};
}

std::string DesktopEntryText(const std::string& exec)
{
    const std::string program = ExecArgument(exec);
    std::string entry = "[Desktop Entry]\n"
                        "Type=Application\n"
                        "Name=Zarvex\n"
                        "GenericName=Encoded Data Decoder\n"
                        "Comment=Find and decode binary files sent as text in mail and news\n";
    entry += "Exec=" + program + " %F\n";
    // One main category (Utility); Archiving places it among the unpackers.
    entry += "Icon=zarvex\n"
             "Terminal=false\n"
             "Categories=Utility;Archiving;\n"
             "Keywords=uuencode;yEnc;Base64;BinHex;mail;news;decode;attachment;\n";
    entry += "MimeType=" + MimeTypeList() + "\n";
    entry += "Actions=Extract;\n"
             "\n"
             "[Desktop Action Extract]\n"
             "Name=Zarvex Extract here:\n";
    entry += "Exec=" + program + " --extract \"--outdir=*\" %F\n";
    return entry;
}

std::string MimePackageText()
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const FileAssociation& a : kFileAssociations) {
        xml += "  <mime-type type=\"" + std::string(a.mimeType) + "\">\n";
        // Types of our own are described and win over other globs for the
        // extension; a type the system knows only gains the pattern.
        if (IsOwnType(a.mimeType)) {
            xml += "    <comment>Zarvex Encoded Data File (" + std::string(a.extension) +
                   ")</comment>\n"
                   "    <sub-class-of type=\"text/plain\"/>\n";
            if (a.extension == ".MM") {
                // "*.mm" also names Objective-C++ sources: the glob only ties
                // with theirs, and the file's start (a MIME message) decides.
                xml += "    <glob pattern=\"*.mm\" weight=\"50\"/>\n"
                       "    <magic priority=\"60\">\n";
                for (const char* header : {"MIME-Version:", "Content-Type:", "Content-Transfer-Encoding:"})
                    xml += std::string("      <match type=\"string\" value=\"") + header + "\" offset=\"0:1024\"/>\n";
                xml += "    </magic>\n";
            } else {
                xml += "    <glob pattern=\"*." + LowerExtension(a.extension) + "\" weight=\"60\"/>\n";
            }
        } else {
            xml += "    <glob pattern=\"*." + LowerExtension(a.extension) + "\"/>\n";
        }
        xml += "  </mime-type>\n";
    }
    return xml + "</mime-info>\n";
}

int WriteFileIfDifferent(const std::string& path, std::string_view text)
{
    bool ok = false;
    if (ReadWholeFile(path, ok) == text && ok) return 0;
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    const std::string temp = path + ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        if (!out.flush()) {
            out.close();
            fs::remove(temp, ec);
            return -1;
        }
    }
    fs::rename(temp, path, ec);
    if (ec) fs::remove(temp, ec);
    return ec ? -1 : 1;
}

int RegisterDesktopFiles(const DesktopPaths& paths, const std::string& programPath)
{
    const int entry = WriteFileIfDifferent(paths.DesktopFile(), DesktopEntryText(programPath));
    const int mime = WriteFileIfDifferent(paths.MimePackage(), MimePackageText());
    if (entry < 0 || mime < 0) return -1;
    if (entry == 0 && mime == 0) return 0;
    RefreshCaches(paths);
    return 1;
}

bool RemoveDesktopFiles(const DesktopPaths& paths)
{
    std::error_code e1, e2;
    fs::remove(paths.DesktopFile(), e1);
    fs::remove(paths.MimePackage(), e2);
    RefreshCaches(paths);
    return !e1 && !e2;
}

bool IsInstalledProgram(const std::string& programPath)
{
    const fs::path bin = fs::path(programPath).parent_path();
    if (bin.filename() != "bin") return false;
    std::error_code ec;
    return fs::exists(bin.parent_path() / "share/applications" / kDesktopId, ec);
}

} // namespace zarvex
