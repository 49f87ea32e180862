#include "scan/archive_store.h"

#include "scan/archive_reader.h"
#include "text/text_utils.h"

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zarvex {
namespace {

// What a source looked like when it was first read: a member is unpacked
// again only from the same archive.
struct Stamp
{
    std::int64_t size = -1;
    std::int64_t mtimeNs = 0;
    bool operator==(const Stamp&) const = default;
};

Stamp StampOf(const std::string& path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0) return {};
    return {static_cast<std::int64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

} // namespace

struct ArchiveStore::State
{
    struct Entry
    {
        Member member;
        int pins = 0;
        bool forgotten = false;
        std::uint64_t used = 0;
    };

    std::mutex mutex;
    std::string dir;
    std::map<std::string, std::shared_ptr<Entry>> entries;
    std::map<std::string, Stamp> sources;
    std::int64_t budget = 0;
    std::int64_t resident = 0;
    std::uint64_t clock = 0;
    int reunpacks = 0;
    std::unique_ptr<ArchiveReader> reader;

    void Drop(Entry& e)
    {
        if (e.member.temp.empty()) return;
        WipeAndDeleteFile(e.member.temp);
        e.member.temp.clear();
        resident -= e.member.size;
    }

    // Lets go of the members used longest ago until `room` more bytes fit
    // the budget; `keep` and members being read stay.
    void Evict(std::int64_t room, const std::string& keep)
    {
        while (resident + room > budget) {
            Entry* oldest = nullptr;
            for (auto& [name, e] : entries)
                if (!e->member.temp.empty() && e->pins == 0 && name != keep &&
                    (!oldest || e->used < oldest->used))
                    oldest = e.get();
            if (!oldest) return;
            Drop(*oldest);
        }
    }

    bool Reunpack(Entry& e, FileError* error)
    {
        const Member& m = e.member;
        auto fail = [&](int cause, int err) {
            if (error) *error = FileError{cause, err, m.name};
            return false;
        };
        if (!(StampOf(m.source) == sources[m.source])) return fail(kFileNotFound, ENOENT);
        Evict(m.size, m.name);
        if (!reader || reader->Source() != m.source || reader->NextIndex() > m.entry) {
            reader = std::make_unique<ArchiveReader>();
            if (!reader->Open(m.source, nullptr)) return fail(kGeneric, EIO);
        }
        while (reader->NextIndex() <= m.entry) {
            ArchiveReader::Entry found;
            const ArchiveReader::Status st = reader->NextEntry(found, nullptr);
            if (st == ArchiveReader::Status::Skip) continue;
            if (st != ArchiveReader::Status::Ok) break;
            if (found.index < m.entry) {
                if (reader->SkipData(nullptr) == ArchiveReader::Status::Fatal) break;
                continue;
            }
            if (found.path != m.pathInArchive || !found.regular) break;
            int fd = -1;
            const std::string temp = OpenTempFile(dir, fd);
            if (fd < 0) return fail(CauseFromErrno(errno), errno);
            std::int64_t written = 0;
            const ArchiveReader::Status unpacked = reader->Unpack(fd, m.size, &written, nullptr);
            ::close(fd);
            if (unpacked != ArchiveReader::Status::Ok || written != m.size) {
                WipeAndDeleteFile(temp);
                break;
            }
            e.member.temp = temp;
            resident += m.size;
            ++reunpacks;
            return true;
        }
        reader.reset();
        return fail(kGeneric, EIO);
    }
};

ArchiveStore::ArchiveStore(std::string workingDir) : m_State(std::make_shared<State>())
{
    m_State->dir = std::move(workingDir);
}

ArchiveStore::~ArchiveStore()
{
    ForgetAll();
}

void ArchiveStore::Add(Member member)
{
    State& s = *m_State;
    const std::lock_guard lock(s.mutex);
    if (!s.sources.count(member.source)) s.sources[member.source] = StampOf(member.source);
    if (member.size > s.budget) s.budget = member.size;
    auto entry = std::make_shared<State::Entry>();
    entry->member = std::move(member);
    entry->used = ++s.clock;
    s.resident += entry->member.size;
    auto& slot = s.entries[entry->member.name];
    if (slot) {
        // The name was listed before (removed while being read): that file goes when it is given back.
        slot->forgotten = true;
        if (slot->pins == 0) s.Drop(*slot);
    }
    slot = std::move(entry);
}

void ArchiveStore::MakeRoom(std::int64_t size)
{
    State& s = *m_State;
    const std::lock_guard lock(s.mutex);
    if (size > s.budget) s.budget = size;
    s.Evict(size < 0 ? s.budget + 1 : size, {});
}

void ArchiveStore::Settle(const std::string& keep)
{
    const std::lock_guard lock(m_State->mutex);
    m_State->Evict(0, keep);
}

bool ArchiveStore::Holds(const std::string& name) const
{
    const std::lock_guard lock(m_State->mutex);
    return m_State->entries.count(name) != 0;
}

UnpackedInputs::Opened ArchiveStore::Open(const std::string& name, FileError* error)
{
    State& s = *m_State;
    const std::lock_guard lock(s.mutex);
    const auto it = s.entries.find(name);
    if (it == s.entries.end()) {
        if (error) *error = FileError{kFileNotFound, ENOENT, name};
        return {};
    }
    const std::shared_ptr<State::Entry> entry = it->second;
    if (entry->member.temp.empty() && !s.Reunpack(*entry, error)) return {};
    const int fd = ::open(entry->member.temp.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        if (error) *error = FileError{CauseFromErrno(errno), errno, name};
        return {};
    }
    ++entry->pins;
    entry->used = ++s.clock;
    // The lease gives the file back; a member forgotten while it was read goes then.
    std::shared_ptr<void> lease(nullptr, [state = m_State, entry](void*) {
        const std::lock_guard back(state->mutex);
        if (--entry->pins == 0 && entry->forgotten) state->Drop(*entry);
    });
    return {fd, std::move(lease)};
}

std::string ArchiveStore::SourceOf(const std::string& name) const
{
    const std::lock_guard lock(m_State->mutex);
    const auto it = m_State->entries.find(name);
    return it == m_State->entries.end() ? name : it->second->member.source;
}

void ArchiveStore::Forget(const std::string& name)
{
    State& s = *m_State;
    const std::lock_guard lock(s.mutex);
    const auto it = s.entries.find(name);
    if (it == s.entries.end()) return;
    it->second->forgotten = true;
    if (it->second->pins == 0) s.Drop(*it->second);
    s.entries.erase(it);
}

void ArchiveStore::ForgetAll()
{
    State& s = *m_State;
    const std::lock_guard lock(s.mutex);
    for (auto& [name, e] : s.entries) {
        e->forgotten = true;
        if (e->pins == 0) s.Drop(*e);
    }
    s.entries.clear();
    s.reader.reset();
}

std::int64_t ArchiveStore::ResidentBytes() const
{
    const std::lock_guard lock(m_State->mutex);
    return m_State->resident;
}

int ArchiveStore::Reunpacks() const
{
    const std::lock_guard lock(m_State->mutex);
    return m_State->reunpacks;
}

} // namespace zarvex
