// Temporary files, folder checks and the wiping of temporary files. New files
// are always created exclusively, so an existing file (or a link planted under
// a temporary name) is never opened, overwritten or deleted.
#include "text/text_utils.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace zarvex {
namespace {

constexpr unsigned kNameRange = 8192; // numbers 0..8191 in "~ZRV<n>.TMP"

// Where the search for a free number starts. Asking the system for random
// bytes for every file costs more than decoding a small attachment, so
// each thread seeds a cheap generator once.
unsigned RandomStart()
{
    thread_local std::minstd_rand numbers(
        std::random_device{}() ^
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    return static_cast<unsigned>(numbers() % kNameRange);
}

std::string JoinPath(const std::string& dir, const std::string& name)
{
    if (dir.empty() || dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

// Creates "<prefix><n>.TMP" in `dir` exclusively, trying the following numbers
// on collision, and then random numbers of up to nine digits: names someone
// else made, even all 8,192 of the short range, do not block the program.
// Returns the path (file left open in `fd`), or empty with errno set.
std::string CreateExclusive(const std::string& dir, const char* prefix, int& fd, unsigned mode = 0600)
{
    constexpr unsigned kNearTries = 64, kFarTries = 64, kFarRange = 1'000'000'000;
    const unsigned start = RandomStart();
    for (unsigned attempt = 0; attempt < kNearTries + kFarTries; ++attempt) {
        const unsigned number = attempt < kNearTries ? (start + attempt) % kNameRange
                                                     : (RandomStart() * 131'071u + RandomStart() * 8'191u +
                                                        attempt) % kFarRange;
        const std::string path = JoinPath(dir, prefix + std::to_string(number) + ".TMP");
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0) return path;
        if (errno != EEXIST) return {};
    }
    errno = EEXIST;
    return {};
}

} // namespace

bool IsTempFileName(std::string_view name)
{
    if (!name.starts_with("~ZRV") && !name.starts_with("~TMP")) return false;
    if (!name.ends_with(".TMP")) return false;
    const std::string_view number = name.substr(4, name.size() < 8 ? 0 : name.size() - 8);
    return !number.empty() && number.size() <= 9 &&
           std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

namespace {

bool IsDirectory(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteZeros(int fd, std::int64_t size)
{
    static constexpr std::array<char, 8192> kZeros{};
    std::int64_t done = 0;
    while (done < size) {
        const auto chunk = static_cast<std::size_t>(std::min<std::int64_t>(size - done, kZeros.size()));
        const ssize_t n = ::write(fd, kZeros.data(), chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

} // namespace

std::string GetTempDirectory()
{
    const char* env = std::getenv("TMPDIR");
    std::string dir = env && *env ? env : "/tmp";
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

std::string MakeTempFile(const std::string& dir)
{
    int fd = -1;
    const std::string path = CreateExclusive(dir.empty() ? GetTempDirectory() : dir, "~ZRV", fd);
    if (fd >= 0) ::close(fd);
    return path;
}

std::string OpenTempFile(const std::string& dir, int& fd, unsigned mode)
{
    fd = -1;
    return CreateExclusive(dir.empty() ? GetTempDirectory() : dir, "~ZRV", fd, mode);
}

int CanWriteDirectory(const std::string& dir)
{
    std::string path = dir;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (path.empty() || !IsDirectory(path)) return 0;
    int fd = -1;
    const std::string probe = CreateExclusive(path, "~TMP", fd);
    if (fd < 0) return 1;
    ::close(fd);
    ::unlink(probe.c_str());
    return 2;
}

bool WipeAndDeleteFile(const std::string& path)
{
    struct stat st
    {
    };
    if (::lstat(path.c_str(), &st) != 0) return false;
    if (S_ISLNK(st.st_mode)) {
        ::unlink(path.c_str()); // the link goes, its target is never touched
        return false;
    }
    if (!S_ISREG(st.st_mode)) return false; // folders, devices and FIFOs are left alone

    const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        ::unlink(path.c_str()); // deleted, but the wipe failed
        return false;
    }
    bool wiped = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (wiped) wiped = WriteZeros(fd, st.st_size) && ::fsync(fd) == 0;
    ::close(fd);
    return ::unlink(path.c_str()) == 0 && wiped;
}

} // namespace zarvex
