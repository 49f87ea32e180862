// What a follow run waits for: a change in the folders that hold its inputs
// (inotify) or a signal (signalfd). The run sleeps in poll() between them,
// so an idle run uses no processor time.
#pragma once

#include <string>

namespace zarvex {

class FollowEvents
{
public:
    enum class Wake
    {
        Changed, // something in a watched folder was created, written, moved or deleted
        Stop,    // SIGTERM or SIGINT
        Reload,  // SIGHUP: read the settings again
        Failed,  // waiting itself failed (errno in Error())
        TimedOut,
    };

    // Blocks SIGINT, SIGTERM and SIGHUP for the process (threads started
    // later inherit that) so that they arrive only through Wait(): a signal
    // never cuts into the output being written.
    FollowEvents();
    ~FollowEvents();
    FollowEvents(const FollowEvents&) = delete;
    FollowEvents& operator=(const FollowEvents&) = delete;

    // False when inotify or signalfd could not be set up (errno in Error()).
    bool Ready() const { return m_Notify >= 0 && m_Signals >= 0; }
    int Error() const { return m_Error; }

    // Watches `folder` (again: a folder that was removed and made anew gets
    // a new watch). False when it cannot be watched.
    bool WatchFolder(const std::string& folder);

    // While `on`, SIGINT and SIGTERM reach the process's handlers (the run
    // lets them through for a scan, which then stops at the next line)
    // instead of waiting for Wait().
    void LetStopSignalsThrough(bool on);

    // Whether SIGINT or SIGTERM waits for Wait() (asked between outputs).
    static bool StopPending();

    // Sleeps until an event or a signal arrives; a signal wins over file
    // events that came with it. Every pending file event is consumed: the
    // caller looks at all its inputs after a change, whichever it was.
    // `timeoutMs` below zero waits for as long as it takes.
    Wake Wait(int* signo = nullptr, int timeoutMs = -1);

private:
    int m_Notify = -1;
    int m_Signals = -1;
    int m_Error = 0;
};

} // namespace zarvex
