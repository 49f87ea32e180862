#include "app/server/command_client.h"

#include "app/server/command_string.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace zarvex {
namespace {

// How often a file is offered again to a program that is busy, and the pause between.
constexpr int kBusyRetries = 600;
constexpr auto kBusyPause = std::chrono::milliseconds(200);

class Socket
{
public:
    Socket() : m_Fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~Socket()
    {
        if (m_Fd >= 0) ::close(m_Fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool Connect(const std::string& path)
    {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (m_Fd < 0 || path.size() >= sizeof addr.sun_path) return false;
        std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
        return ::connect(m_Fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    }

    bool WriteAll(std::string_view data)
    {
        while (!data.empty()) {
            const ssize_t n = ::send(m_Fd, data.data(), data.size(), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            data.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

    // Reads up to the line end or the end of the stream.
    std::string ReadLine()
    {
        std::string line;
        char c = 0;
        while (true) {
            const ssize_t n = ::read(m_Fd, &c, 1);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0 || c == '\n') break;
            line += c;
        }
        return line;
    }

private:
    int m_Fd;
};

std::string AbsolutePath(const std::string& path)
{
    if (!path.empty() && path.front() == '/') return path;
    char buf[PATH_MAX];
    if (!::getcwd(buf, sizeof buf)) return path;
    return std::string(buf) + "/" + path;
}

} // namespace

std::string CommandSocketPath()
{
    std::string dir;
    for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
        const char* v = std::getenv(name);
        if (v && *v) {
            dir = v;
            break;
        }
    }
    if (dir.empty()) dir = "/tmp";
    if (dir.back() != '/') dir += '/';
    return dir + "zarvex-" + std::to_string(::getuid());
}

std::optional<std::string> SendCommandString(const std::string& socketPath, std::string_view commands)
{
    Socket s;
    if (!s.Connect(socketPath)) return std::nullopt;
    std::string message(commands);
    message += '\0';
    if (!s.WriteAll(message)) return std::string(kAnswerError);
    return s.ReadLine();
}

bool ForwardFiles(const std::string& socketPath, const std::vector<std::string>& files)
{
    for (const std::string& file : files) {
        const std::string command = OpenCommandString(AbsolutePath(file));
        for (int attempt = 0; attempt < kBusyRetries; ++attempt) {
            const auto answer = SendCommandString(socketPath, command);
            if (!answer) return false;
            if (*answer != kAnswerBusy) break;
            std::this_thread::sleep_for(kBusyPause);
        }
    }
    return true;
}

} // namespace zarvex
