// Named data streams of a file. On Linux these are the extended attributes
// of the "user." name space; each is reported with its size.
#include "text/text_utils.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace zarvex {
namespace {

constexpr std::string_view kUserPrefix = "user.";

// The attribute names of an open file, NUL-separated; empty on failure.
bool ReadNames(int fd, std::vector<char>& names, int& error)
{
    for (int tries = 0; tries < 4; ++tries) {
        const ssize_t need = ::flistxattr(fd, nullptr, 0);
        if (need < 0) {
            error = errno;
            return false;
        }
        names.resize(static_cast<std::size_t>(need));
        const ssize_t got = need == 0 ? 0 : ::flistxattr(fd, names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<std::size_t>(got));
            return true;
        }
        if (errno != ERANGE) { // ERANGE: the list grew in between
            error = errno;
            return false;
        }
    }
    error = ERANGE;
    return false;
}

} // namespace

int ListStreams(const std::string& path, const std::function<void(const std::string&)>& sink)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    std::vector<char> names;
    int error = 0;
    const bool ok = ReadNames(fd, names, error);
    int count = 0;
    for (std::size_t i = 0; ok && i < names.size();) {
        const std::string name(names.data() + i);
        i += name.size() + 1;
        if (name.compare(0, kUserPrefix.size(), kUserPrefix) != 0) continue;
        const ssize_t size = ::fgetxattr(fd, name.c_str(), nullptr, 0);
        if (size < 0) continue;
        char number[32];
        std::snprintf(number, sizeof number, "%8" PRIu64, static_cast<std::uint64_t>(size));
        if (sink) sink(name.substr(kUserPrefix.size()) + "\t" + number);
        ++count;
    }
    ::close(fd);
    if (!ok) return error == ENOTSUP ? -2 : -1;
    return count;
}

} // namespace zarvex
