// The files this program handed to others (a viewer, a drag target) and
// must remove later: each is wiped with zeros before it is deleted, on a
// worker thread unless the caller needs the result at once.
//
// Only files the program itself created are ever listed, and each entry
// remembers the file's device and inode: a path that now names another
// file (replaced, or turned into a link) is forgotten, never touched.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace zarvex {

enum class CleanupState
{
    Dragged = 0,  // written for a drag out of the output list
    InViewer = 1, // handed to a viewer
    Failed = 2,   // a wipe failed; retried after a count-down
    Waiting = 3,  // to be deleted at the next retry
    Deleted = 5,
    Wiping = 6,
};

class CleanupList
{
public:
    struct Entry
    {
        std::string path;
        CleanupState state = CleanupState::Waiting;
        int retries = 0;
        dev_t device = 0;
        ino_t inode = 0;
        std::int64_t born = 0; // creation time in ns where the file system keeps one: an inode number may be reused
        std::thread worker;
        std::shared_ptr<std::atomic<int>> result; // -1 running, 0 failed, 1 wiped
    };

    CleanupList() = default;
    CleanupList(const CleanupList&) = delete;
    CleanupList& operator=(const CleanupList&) = delete;
    ~CleanupList(); // waits for running wipes

    // Lists a file the program has just written (or re-marks a listed one).
    // False when the file does not exist.
    bool Add(const std::string& path, CleanupState state);
    bool Contains(const std::string& path) const;
    const std::vector<Entry>& Entries() const { return m_Entries; }

    // Tries to delete every entry in `state`: those deleted become Deleted,
    // the others Waiting. Returns true when all were deleted.
    bool DeleteState(CleanupState state, bool sync = false);
    // Before a listed path is written again: deletes the listed file at once.
    // False when that failed (the path must not be written in this command).
    bool ClearForRewrite(const std::string& path);
    // The periodic pass: retries failed wipes when their count-down ends,
    // collects finished worker threads and drops deleted entries.
    void Pass();
    // Waits for every running wipe (tests and shut-down).
    void WaitForWipes();
    // At exit: every listed file still present is wiped at once, without
    // renaming; entries wiped are removed, the others marked Waiting.
    void WipeAllNow();

private:
    bool SecureDelete(Entry& entry, bool sync);
    bool IsStillOurs(const Entry& entry) const;
    void Collect(Entry& entry);

    std::vector<Entry> m_Entries;
};

} // namespace zarvex
