// ReadAhead: the fetching thread and the reader's side.
#include "io/read_ahead.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <unistd.h>

namespace zarvex {
namespace {

std::int64_t BlockStart(std::int64_t pos)
{
    return pos - pos % static_cast<std::int64_t>(ReadAhead::kBlockSize);
}

} // namespace

std::unique_ptr<ReadAhead> ReadAhead::Start(int fd)
{
    try {
        return std::unique_ptr<ReadAhead>(new ReadAhead(fd));
    } catch (const std::system_error&) {
        return nullptr; // no thread to be had: the file is read directly
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

ReadAhead::ReadAhead(int fd) : m_Fd(fd)
{
    for (Block& b : m_Blocks) b.data = std::make_unique<unsigned char[]>(kBlockSize);
    m_Thread = std::thread([this] { Run(); });
}

ReadAhead::~ReadAhead()
{
    {
        const std::lock_guard lock(m_Mutex);
        m_Stop = true;
    }
    m_Wake.notify_one();
    m_Thread.join();
}

std::size_t ReadAhead::ReadDirect(std::int64_t pos, unsigned char* out, std::size_t n) const
{
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(m_Fd, out + got, n - got, static_cast<off_t>(pos + static_cast<std::int64_t>(got)));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<std::size_t>(r);
    }
    return got;
}

ReadAhead::Block* ReadAhead::Holding(std::int64_t pos)
{
    const std::int64_t start = BlockStart(pos);
    for (Block& b : m_Blocks)
        if (b.start == start) return &b;
    return nullptr;
}

// A read near the run's end (or inside the blocks kept behind it) goes on
// with the run; anything else starts a new one, with nothing read ahead
// until it proves sequential.
void ReadAhead::NoteRead(std::int64_t pos, std::size_t n)
{
    const std::int64_t end = pos + static_cast<std::int64_t>(n);
    const bool inRun = pos <= m_Frontier + static_cast<std::int64_t>(kBlockSize) && pos >= m_Frontier - kBehind;
    if (!inRun) {
        m_Streak = 0;
        m_Frontier = end;
    } else if (end > m_Frontier) {
        m_Streak += end - m_Frontier;
        m_Frontier = end;
    }
    // Waking the thread costs about as much as reading a block, so a
    // reader going on is woken for every second block (the thread then
    // fetches two); a jump wakes it at once.
    const std::int64_t block = BlockStart(pos) / static_cast<std::int64_t>(kBlockSize);
    const bool wake = !inRun || (BlockStart(pos) != BlockStart(m_Pos) && block % 2 == 0);
    m_Pos = pos;
    if (wake) m_Wake.notify_one();
}

// The next block the reader will want and a slot for it: a free one, or
// the lowest block outside the window kept around the reader. Fetching
// starts at the run's end: what lies before it the reader has read already.
bool ReadAhead::PickFetch(std::int64_t& start, Block*& slot)
{
    const std::int64_t keepFrom = m_Pos - kBehind;
    const std::int64_t wantTo = m_Frontier + std::min(m_Streak, kAhead);
    start = -1;
    for (std::int64_t s = BlockStart(m_Frontier); s < wantTo; s += static_cast<std::int64_t>(kBlockSize)) {
        if (m_EndSeen >= 0 && s >= m_EndSeen) return false;
        if (!Holding(s)) {
            start = s;
            break;
        }
    }
    if (start < 0) return false;
    slot = nullptr;
    for (Block& b : m_Blocks) {
        if (b.filling) continue;
        const bool outside = b.start < 0 || b.start + static_cast<std::int64_t>(kBlockSize) <= keepFrom ||
                             b.start >= m_Frontier + kAhead;
        if (outside && (!slot || b.start < slot->start)) slot = &b;
    }
    return slot != nullptr;
}

void ReadAhead::Run()
{
    std::unique_lock lock(m_Mutex);
    for (;;) {
        std::int64_t start = -1;
        Block* slot = nullptr;
        m_Wake.wait(lock, [&] { return m_Stop || PickFetch(start, slot); });
        if (m_Stop) return;
        slot->start = start;
        slot->filling = true;
        lock.unlock();
        const std::size_t got = ReadDirect(start, slot->data.get(), kBlockSize);
        lock.lock();
        slot->length = got;
        slot->filling = false;
        if (got < kBlockSize) m_EndSeen = start + static_cast<std::int64_t>(got);
        m_Filled.notify_all();
    }
}

std::size_t ReadAhead::Read(std::int64_t pos, unsigned char* out, std::size_t n, const unsigned char*& data)
{
    data = out;
    std::size_t got = 0;
    {
        std::unique_lock lock(m_Mutex);
        NoteRead(pos, n);
        while (got < n) {
            const std::int64_t at = pos + static_cast<std::int64_t>(got);
            Block* b = Holding(at);
            if (!b) break;
            if (b->filling) {
                m_Filled.wait(lock, [&] { return !b->filling || b->start != BlockStart(at); });
                continue;
            }
            const auto offset = static_cast<std::size_t>(at - b->start);
            if (offset >= b->length) {
                // Past the end the file had when the block was read: the
                // block gives way, and what follows is read directly.
                b->start = -1;
                m_EndSeen = -1;
                break;
            }
            if (got == 0 && b->length - offset >= n) {
                data = b->data.get() + offset;
                return n;
            }
            const std::size_t k = std::min(b->length - offset, n - got);
            std::memcpy(out + got, b->data.get() + offset, k);
            got += k;
            if (b->length < kBlockSize && got < n) {
                b->start = -1;
                m_EndSeen = -1;
                break;
            }
        }
    }
    if (got < n) got += ReadDirect(pos + static_cast<std::int64_t>(got), out + got, n - got);
    return got;
}

} // namespace zarvex
