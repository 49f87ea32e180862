// Which file a path names: its device and inode. Two paths name the same
// file when their identities are equal, whatever links, "." or ".." they
// take on the way.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <set>
#include <string>

namespace zarvex {

struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    auto operator<=>(const FileIdentity&) const = default;
};

// The identity of the file `path` names (links followed); none when it does not exist.
std::optional<FileIdentity> IdentityOf(const std::string& path);

// A set of files by identity: one lookup tells whether a path names one of them.
class FileIdentitySet {
public:
    // Adds the file `path` names now; false when it does not exist.
    bool Add(const std::string& path);
    bool Contains(const std::string& path) const;
    bool Empty() const { return m_Files.empty(); }
    void Clear() { m_Files.clear(); }

private:
    std::set<FileIdentity> m_Files;
};

} // namespace zarvex
