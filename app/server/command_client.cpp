#include "app/server/command_client.h"

#include "app/server/command_string.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace zarvex {
namespace {

// How often a command is offered again to a program that is busy, and the pause between.
constexpr int kBusyRetries = 600;
constexpr auto kBusyPause = std::chrono::milliseconds(200);

enum class Connected { Yes, NoServer, NoAnswer };

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

    // `timeoutMs` > 0 bounds the connection and every write: a program
    // whose queue of connections is full is not waited for.
    Connected Connect(const std::string& path, int timeoutMs)
    {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (m_Fd < 0 || path.size() >= sizeof addr.sun_path) return Connected::NoServer;
        if (timeoutMs > 0) {
            const timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
            ::setsockopt(m_Fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        }
        std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
        while (::connect(m_Fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
            if (errno == EINTR) continue;
            return errno == EAGAIN || errno == ETIMEDOUT ? Connected::NoAnswer : Connected::NoServer;
        }
        return Connected::Yes;
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

    // Reads up to the line end or the end of the stream; nothing when no
    // byte came within `timeoutMs` (0: no limit).
    std::optional<std::string> ReadLine(int timeoutMs)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        std::string line;
        char c = 0;
        while (true) {
            if (timeoutMs > 0) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                pollfd p{m_Fd, POLLIN, 0};
                const int ready = ::poll(&p, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
                if (ready < 0 && errno == EINTR) continue;
                if (ready == 0) return std::nullopt;
            }
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

int TimeoutFor(std::string_view commands)
{
    for (const ServerCommand& c : ParseCommandString(commands))
        if (c.verb == ServerVerb::Extract) return 0;
    return kAnswerTimeoutMs;
}

std::string Quoted(const std::string& s)
{
    return "'" + s + "'";
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

std::optional<std::string> SendCommandString(const std::string& socketPath, std::string_view commands, int timeoutMs)
{
    if (timeoutMs < 0) timeoutMs = TimeoutFor(commands);
    Socket s;
    switch (s.Connect(socketPath, timeoutMs)) {
    case Connected::NoServer: return std::nullopt;
    case Connected::NoAnswer: return std::string(kAnswerNone);
    case Connected::Yes: break;
    }
    std::string message(commands);
    message += '\0';
    if (!s.WriteAll(message)) return std::string(kAnswerError);
    return s.ReadLine(timeoutMs).value_or(std::string(kAnswerNone));
}

HandOverResult HandOver(const std::string& socketPath, const std::vector<std::string>& files, bool readClipboard,
                        std::ostream& err, int timeoutMs)
{
    std::vector<std::pair<std::string, std::string>> commands; // command string, what it hands over
    for (const std::string& file : files) commands.emplace_back(OpenCommandString(AbsolutePath(file)), Quoted(file));
    if (readClipboard) commands.emplace_back("[paste]", "the clipboard");
    if (commands.empty()) commands.emplace_back("[show]", "");
    bool first = true, all = true, toldBusy = false;
    for (const auto& [command, what] : commands) {
        std::optional<std::string> answer;
        for (int attempt = 0; attempt < kBusyRetries; ++attempt) {
            answer = SendCommandString(socketPath, command, timeoutMs);
            if (!answer || *answer != kAnswerBusy) break;
            if (!toldBusy) err << "zarvex: the running zarvex is busy; waiting to hand it over\n";
            toldBusy = true;
            std::this_thread::sleep_for(kBusyPause);
        }
        if (!answer) {
            if (first) return HandOverResult::NoProgram;
            err << "zarvex: the running zarvex went away; " << what << " was not handed over\n";
            return HandOverResult::Failed;
        }
        first = false;
        if (*answer == kAnswerNone) {
            err << "zarvex: the running zarvex (" << socketPath << ") does not answer; it may hang. "
                << (what.empty() ? std::string("Nothing") : what) << " was not handed over\n";
            return HandOverResult::Failed;
        }
        if (*answer == kAnswerBusy) {
            err << "zarvex: the running zarvex stayed busy; " << what << " was not handed over\n";
            return HandOverResult::Failed;
        }
        if (*answer != kAnswerOk) {
            err << "zarvex: the running zarvex could not open " << (what.empty() ? "its window" : what) << '\n';
            all = false;
        }
    }
    return all ? HandOverResult::HandedOver : HandOverResult::Failed;
}

} // namespace zarvex
