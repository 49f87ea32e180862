// WriteBehind: a worker thread that writes full output buffers to a
// descriptor while their owner goes on filling the next one, so the kernel's
// cost of writing overlaps the work that makes the bytes.
//
// Buffers change hands, they are never copied: Submit queues the owner's
// buffer and gives it a free one in its place. The worker writes the queued
// buffers in order, as the owner's write() calls would have. A failure stops
// the writing: the bytes that did not go out, and every buffer queued after
// them, are dropped and counted, and the failure is kept until the owner
// takes it (Settle). The owner must not use the descriptor otherwise (seek,
// read, close, ...) before Settle has returned.
//
// Not thread-safe itself: one owner thread calls Submit and Settle.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zarvex {

class WriteBehind {
public:
    using Buffer = std::unique_ptr<unsigned char[]>;
    struct Failure
    {
        int cause = 0;          // a FileErrorCause; 0: everything was written
        int osError = 0;        // errno
        std::int64_t lost = 0;  // bytes queued that did not reach the file
    };

    // Writes to `fd` with `spare` buffers of `size` bytes besides the one the owner holds.
    WriteBehind(int fd, std::size_t size, int spare = 3);
    // Writes what is queued, then ends the thread.
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // Queues the first `n` bytes of `buffer` (one of `size` bytes) and puts a
    // free buffer in its place, waiting for one while all are queued. False,
    // with `buffer` left as it is and nothing queued, when a failure waits to
    // be taken.
    bool Submit(Buffer& buffer, std::size_t n);
    // Waits until every queued buffer is written or dropped, and takes the
    // failure since the last call (cause 0 when there was none).
    Failure Settle();

private:
    struct Job
    {
        Buffer data;
        std::size_t n = 0;
    };
    void Run();
    // Writes the job's bytes; the number that did not go out, with m_Failure filled.
    std::size_t WriteOut(const Job& job, Failure& failure) const;

    const int m_Fd;
    std::mutex m_Mutex;
    std::condition_variable m_WorkReady; // a job was queued, or the end asked for
    std::condition_variable m_JobDone;   // a buffer came back
    // Jobs waiting, in order: a ring as large as the spare buffers, so that
    // queueing never allocates.
    std::vector<Job> m_Queue;
    std::size_t m_Head = 0, m_Queued = 0;
    std::vector<Buffer> m_Free;
    int m_Busy = 0; // jobs queued or being written
    bool m_Stop = false;
    Failure m_Failure;
    std::thread m_Thread; // last: started once everything above exists
};

} // namespace zarvex
