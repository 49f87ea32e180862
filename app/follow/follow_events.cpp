#include "app/follow/follow_events.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace zarvex {
namespace {

// Writes, closes (a writer that finished), renames in and out, deletions,
// and the folder itself going away.
constexpr std::uint32_t kFolderEvents = IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM |
                                        IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ATTRIB;

sigset_t FollowSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

FollowEvents::FollowEvents()
{
    const sigset_t set = FollowSignals();
    if (::sigprocmask(SIG_BLOCK, &set, nullptr) != 0) m_Error = errno;
    m_Signals = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_Signals < 0) m_Error = errno;
    m_Notify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_Notify < 0) m_Error = errno;
}

FollowEvents::~FollowEvents()
{
    if (m_Notify >= 0) ::close(m_Notify);
    if (m_Signals >= 0) ::close(m_Signals);
    const sigset_t set = FollowSignals();
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

bool FollowEvents::WatchFolder(const std::string& folder)
{
    if (m_Notify < 0) return false;
    if (::inotify_add_watch(m_Notify, folder.c_str(), kFolderEvents | IN_ONLYDIR) >= 0) return true;
    m_Error = errno;
    return false;
}

void FollowEvents::LetStopSignalsThrough(bool on)
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    ::sigprocmask(on ? SIG_UNBLOCK : SIG_BLOCK, &set, nullptr);
}

bool FollowEvents::StopPending()
{
    sigset_t pending;
    return ::sigpending(&pending) == 0 && (sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1);
}

FollowEvents::Wake FollowEvents::Wait(int* signo, int timeoutMs)
{
    std::array<pollfd, 2> fds{{{m_Signals, POLLIN, 0}, {m_Notify, POLLIN, 0}}};
    for (;;) {
        const int n = ::poll(fds.data(), fds.size(), timeoutMs);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            m_Error = errno;
            return Wake::Failed;
        }
        if (n == 0) return Wake::TimedOut;
        break;
    }
    if (fds[0].revents & POLLIN) {
        signalfd_siginfo info{};
        if (::read(m_Signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            if (signo) *signo = static_cast<int>(info.ssi_signo);
            return info.ssi_signo == SIGHUP ? Wake::Reload : Wake::Stop;
        }
    }
    // Drain: the events themselves are not needed, only that there were some.
    alignas(inotify_event) std::array<char, 16384> buffer;
    while (::read(m_Notify, buffer.data(), buffer.size()) > 0) {
    }
    return Wake::Changed;
}

} // namespace zarvex
