#include "io/write_behind.h"

#include "io/file_error.h"

#include <cerrno>
#include <unistd.h>

namespace zarvex {

WriteBehind::WriteBehind(int fd, std::size_t size, int spare) : m_Fd(fd), m_Queue(static_cast<std::size_t>(spare))
{
    for (int i = 0; i < spare; ++i)
        m_Free.emplace_back(new unsigned char[size]);
    m_Thread = std::thread([this] { Run(); });
}

WriteBehind::~WriteBehind()
{
    {
        const std::lock_guard lock(m_Mutex);
        m_Stop = true;
    }
    m_WorkReady.notify_one();
    m_Thread.join();
}

bool WriteBehind::Submit(Buffer& buffer, std::size_t n)
{
    std::unique_lock lock(m_Mutex);
    // A buffer comes back only after the worker has written (or dropped) it
    // and noted any failure, so waiting here also finds a failure at the
    // latest a few buffers after it happened.
    m_JobDone.wait(lock, [this] { return !m_Free.empty(); });
    if (m_Failure.cause != 0) return false;
    m_Queue[(m_Head + m_Queued++) % m_Queue.size()] = Job{std::move(buffer), n};
    buffer = std::move(m_Free.back());
    m_Free.pop_back();
    ++m_Busy;
    // Waking the worker costs about as much as writing a buffer, so it is
    // woken for every second one (it then writes both), and whenever the
    // owner holds the last free buffer: its next Submit may wait for one.
    const bool wake = m_Queued >= 2 || m_Free.empty();
    lock.unlock();
    if (wake) m_WorkReady.notify_one();
    return true;
}

WriteBehind::Failure WriteBehind::Settle()
{
    std::unique_lock lock(m_Mutex);
    if (m_Queued > 0) m_WorkReady.notify_one();
    m_JobDone.wait(lock, [this] { return m_Busy == 0; });
    const Failure failure = m_Failure;
    m_Failure = Failure{};
    return failure;
}

void WriteBehind::Run()
{
    std::unique_lock lock(m_Mutex);
    for (;;) {
        m_WorkReady.wait(lock, [this] { return m_Queued > 0 || m_Stop; });
        if (m_Queued == 0) return;
        Job job = std::move(m_Queue[m_Head]);
        m_Head = (m_Head + 1) % m_Queue.size();
        --m_Queued;
        // After a failure the following buffers are dropped: they belong
        // after bytes that are missing.
        Failure failure = m_Failure;
        lock.unlock();
        failure.lost += static_cast<std::int64_t>(failure.cause != 0 ? job.n : WriteOut(job, failure));
        lock.lock();
        m_Failure = failure;
        m_Free.push_back(std::move(job.data));
        --m_Busy;
        m_JobDone.notify_one();
    }
}

// Resumes after short writes and interrupted calls, as the owner's own
// writing does.
std::size_t WriteBehind::WriteOut(const Job& job, Failure& failure) const
{
    const unsigned char* data = job.data.get();
    std::size_t left = job.n;
    while (left > 0) {
        const ssize_t done = ::write(m_Fd, data, left);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            const int err = done < 0 ? errno : ENOSPC;
            failure.cause = done < 0 ? CauseFromErrno(err) : kDiskFull;
            failure.osError = err;
            break;
        }
        data += done;
        left -= static_cast<std::size_t>(done);
    }
    return left;
}

} // namespace zarvex
