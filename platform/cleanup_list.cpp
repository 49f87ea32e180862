#include "platform/cleanup_list.h"

#include "text/text_utils.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace zarvex {
namespace {

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

struct Identity
{
    bool regular = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::int64_t born = 0;
};

// What names the file at `path` (never following a link); false when nothing does.
bool Identify(const std::string& path, Identity& id)
{
    struct statx sx
    {
    };
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_INO | STATX_BTIME, &sx) != 0)
        return false;
    id.regular = S_ISREG(sx.stx_mode);
    id.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    id.inode = sx.stx_ino;
    id.born = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec * 1'000'000'000LL + sx.stx_btime.tv_nsec : 0;
    return true;
}

bool Exists(const std::string& path)
{
    struct stat st
    {
    };
    return ::lstat(path.c_str(), &st) == 0;
}

} // namespace

CleanupList::~CleanupList()
{
    for (Entry& e : m_Entries)
        if (e.worker.joinable()) e.worker.join();
}

bool CleanupList::Add(const std::string& path, CleanupState state)
{
    Identity id;
    if (!Identify(path, id) || !id.regular) return false;
    auto it = std::find_if(m_Entries.begin(), m_Entries.end(), [&](const Entry& e) { return e.path == path; });
    if (it == m_Entries.end()) {
        m_Entries.emplace_back();
        it = std::prev(m_Entries.end());
        it->path = path;
    }
    it->state = state;
    it->device = id.device;
    it->inode = id.inode;
    it->born = id.born;
    return true;
}

bool CleanupList::Contains(const std::string& path) const
{
    return std::any_of(m_Entries.begin(), m_Entries.end(), [&](const Entry& e) { return e.path == path; });
}

bool CleanupList::IsStillOurs(const Entry& entry) const
{
    Identity id;
    return Identify(entry.path, id) && id.regular && id.device == entry.device && id.inode == entry.inode &&
           id.born == entry.born;
}

bool CleanupList::SecureDelete(Entry& entry, bool sync)
{
    if (!IsStillOurs(entry)) {
        // Gone, or the path now names a file we did not write: nothing to do.
        entry.state = CleanupState::Deleted;
        return true;
    }
    // Renamed to a free temporary name first, so the name is free at once
    // and a new output of the same name cannot be hit by the wipe.
    int fd = -1;
    const std::string temp = OpenTempFile(FolderOf(entry.path), fd);
    if (fd >= 0) ::close(fd);
    if (temp.empty() || ::rename(entry.path.c_str(), temp.c_str()) != 0) {
        if (!temp.empty()) ::unlink(temp.c_str());
        entry.state = CleanupState::Failed;
        entry.retries = 1;
        return false;
    }
    entry.path = temp;
    entry.state = CleanupState::Wiping;
    if (sync) {
        const bool wiped = WipeAndDeleteFile(temp);
        entry.state = wiped ? CleanupState::Deleted : CleanupState::Failed;
        entry.retries = 1;
        return wiped;
    }
    entry.result = std::make_shared<std::atomic<int>>(-1);
    try {
        entry.worker = std::thread([path = temp, result = entry.result] { result->store(WipeAndDeleteFile(path) ? 1 : 0); });
    } catch (const std::system_error&) {
        // No thread to be had: delete without wiping.
        entry.result.reset();
        entry.state = ::unlink(temp.c_str()) == 0 ? CleanupState::Deleted : CleanupState::Failed;
        return entry.state == CleanupState::Deleted;
    }
    return false;
}

bool CleanupList::DeleteState(CleanupState state, bool sync)
{
    bool all = true;
    for (Entry& e : m_Entries) {
        if (e.state != state) continue;
        if (SecureDelete(e, sync)) continue;
        all = false;
        if (e.state != CleanupState::Wiping) e.state = CleanupState::Waiting;
    }
    return all;
}

bool CleanupList::ClearForRewrite(const std::string& path)
{
    for (Entry& e : m_Entries)
        if (e.path == path && e.state != CleanupState::Wiping) return SecureDelete(e, true);
    return true;
}

void CleanupList::Collect(Entry& entry)
{
    if (!entry.result || entry.result->load() < 0) return;
    if (entry.worker.joinable()) entry.worker.join();
    const bool wiped = entry.result->load() == 1;
    entry.result.reset();
    entry.state = wiped ? CleanupState::Deleted : CleanupState::Failed;
    entry.retries = 1;
}

void CleanupList::Pass()
{
    for (Entry& e : m_Entries) {
        switch (e.state) {
        case CleanupState::Failed:
            if (--e.retries <= 0) SecureDelete(e, false);
            break;
        case CleanupState::Wiping:
            if (e.worker.joinable()) {
                Collect(e);
            } else {
                e.state = Exists(e.path) ? CleanupState::Failed : CleanupState::Deleted;
                e.retries = 1;
            }
            break;
        default:
            break;
        }
    }
    std::erase_if(m_Entries, [](const Entry& e) { return e.state == CleanupState::Deleted && !Exists(e.path); });
}

void CleanupList::WaitForWipes()
{
    for (Entry& e : m_Entries) {
        if (!e.worker.joinable()) continue;
        e.worker.join(); // the worker has stored its result before it ends
        Collect(e);
    }
}

void CleanupList::WipeAllNow()
{
    WaitForWipes();
    std::erase_if(m_Entries, [this](Entry& e) {
        if (!IsStillOurs(e)) return true;
        if (WipeAndDeleteFile(e.path)) return true;
        e.state = CleanupState::Waiting;
        return false;
    });
}

} // namespace zarvex
