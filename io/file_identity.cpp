#include "io/file_identity.h"

#include <sys/stat.h>

namespace zarvex {

std::optional<FileIdentity> IdentityOf(const std::string& path)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool FileIdentitySet::Add(const std::string& path)
{
    const std::optional<FileIdentity> id = IdentityOf(path);
    if (id) m_Files.insert(*id);
    return id.has_value();
}

bool FileIdentitySet::Contains(const std::string& path) const
{
    if (m_Files.empty()) return false;
    const std::optional<FileIdentity> id = IdentityOf(path);
    return id && m_Files.count(*id) != 0;
}

} // namespace zarvex
