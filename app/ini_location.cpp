#include "app/ini_location.h"

#include "text/ascii.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zarvex {
namespace {

constexpr const char* kIniName = "Zarvex.ini";

std::string EnvValue(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string JoinPath(const std::string& dir, const std::string& name)
{
    return !dir.empty() && dir.back() == '/' ? dir + name : dir + "/" + name;
}

bool Exists(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0;
}

// Creates `dir` and any missing parents (mode 0700: settings are private).
bool MakeFolders(const std::string& dir)
{
    struct stat st
    {
    };
    if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const std::string parent = FolderOf(dir);
    if (parent != dir && !MakeFolders(parent)) return false;
    return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string ConfigHome(const IniEnvironment& env)
{
    // The XDG base-directory rules say relative values are ignored.
    if (!env.xdgConfigHome.empty() && env.xdgConfigHome[0] == '/') return env.xdgConfigHome;
    if (env.home.empty()) return {};
    return JoinPath(env.home, ".config");
}

} // namespace

IniEnvironment IniEnvironment::FromProcess()
{
    IniEnvironment env;
    env.overridePath = EnvValue("ZARVEX_INI");
    env.xdgConfigHome = EnvValue("XDG_CONFIG_HOME");
    env.home = EnvValue("HOME");
    if (env.home.empty()) {
        std::vector<char> buf(16384);
        passwd pw{};
        passwd* found = nullptr;
        if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir)
            env.home = found->pw_dir;
    }
    return env;
}

std::string ProgramPath()
{
    std::vector<char> buf(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    return n > 0 ? std::string(buf.data(), static_cast<std::size_t>(n)) : std::string();
}

bool IsPortableProgramName(const std::string& programPath)
{
    const std::size_t slash = programPath.rfind('/');
    const std::string name = slash == std::string::npos ? programPath : programPath.substr(slash + 1);
    return ToLowerAscii(name).find("pe") != std::string::npos;
}

bool CanRewriteFirstByte(const std::string& path, bool create)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0644);
    if (fd < 0) return false;
    char first = ' ';
    const ssize_t got = ::read(fd, &first, 1);
    bool ok = got >= 0 && ::lseek(fd, 0, SEEK_SET) == 0 && ::write(fd, &first, 1) == 1;
    if (::close(fd) != 0) ok = false;
    return ok;
}

IniLocation LocateIniFile(const std::string& programPath, const IniEnvironment& env)
{
    if (!env.overridePath.empty()) return {env.overridePath, false};

    const bool portable = !programPath.empty() && IsPortableProgramName(programPath);
    if (!programPath.empty()) {
        const std::string besideProgram = JoinPath(FolderOf(programPath), kIniName);
        if ((portable || Exists(besideProgram)) && CanRewriteFirstByte(besideProgram, portable))
            return {besideProgram, portable};
    }
    const std::string home = ConfigHome(env);
    if (home.empty()) return {{}, portable};
    const std::string folder = JoinPath(home, "Zarvex");
    if (!MakeFolders(folder)) return {{}, portable};
    return {JoinPath(folder, kIniName), portable};
}

} // namespace zarvex
