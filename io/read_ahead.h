// ReadAhead: reads a regular file ahead of a reader that goes through it
// mostly front to back, on a thread of its own, so that the kernel's copy of
// the next blocks overlaps the reader's work on the current ones. Blocks
// already passed stay for a while, so a reader that steps back to read a
// stretch again (the look-ahead of a MIME body) finds them too.
//
// Read returns what a pread at that moment would: bytes the ring holds were
// in the file when they were read, and everything else (a block not fetched
// yet, bytes past a block that came back short because the file ended then)
// is read directly. How far ahead the thread reads grows with the length of
// the reader's sequential run, so a reader that jumps about wastes little.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace zarvex {

class ReadAhead
{
public:
    static constexpr std::size_t kBlockSize = 256 * 1024;

    // Starts the thread for `fd` (a regular file, opened for reading, that
    // stays open until the ReadAhead is gone); nullptr when no thread can
    // be started, and the caller reads directly.
    static std::unique_ptr<ReadAhead> Start(int fd);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Up to `n` bytes at `pos`; fewer only at the end of the file or on an
    // error, as with pread. `data` gets where they are: in place in a block
    // that holds them all (lent until the next Read: the thread never
    // refills the block the reader is in), or copied to `out`.
    std::size_t Read(std::int64_t pos, unsigned char* out, std::size_t n, const unsigned char*& data);

private:
    static constexpr int kSlots = 9;
    static constexpr std::int64_t kAhead = 4 * static_cast<std::int64_t>(kBlockSize);
    static constexpr std::int64_t kBehind = 4 * static_cast<std::int64_t>(kBlockSize);

    struct Block
    {
        std::int64_t start = -1; // -1: free
        std::size_t length = 0;
        bool filling = false;
        std::unique_ptr<unsigned char[]> data;
    };

    explicit ReadAhead(int fd);
    void Run();
    void NoteRead(std::int64_t pos, std::size_t n);
    Block* Holding(std::int64_t pos);
    bool PickFetch(std::int64_t& start, Block*& slot);
    std::size_t ReadDirect(std::int64_t pos, unsigned char* out, std::size_t n) const;

    const int m_Fd;
    std::mutex m_Mutex;
    std::condition_variable m_Wake;   // the thread: something to fetch, or stop
    std::condition_variable m_Filled; // the reader: a block it waits for is in
    Block m_Blocks[kSlots];
    std::int64_t m_Pos = 0;      // where the reader's last read began
    std::int64_t m_Frontier = 0; // the end of the reader's sequential run
    std::int64_t m_Streak = 0;   // bytes of that run
    std::int64_t m_EndSeen = -1; // where a fetched block came back short
    bool m_Stop = false;
    std::thread m_Thread; // last: started once everything else exists
};

} // namespace zarvex
