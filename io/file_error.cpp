#include "io/file_error.h"

#include <array>
#include <cerrno>
#include <utility>

namespace zarvex {
namespace {

// errno -> cause; anything not listed is cause 1 (unspecified).
constexpr std::array<std::pair<int, int>, 15> kErrnoCauses = {{
    {ENOENT, kFileNotFound},
    {ENOTDIR, kBadPath},
    {ENAMETOOLONG, kBadPath},
    {ELOOP, kBadPath},
    {EMFILE, kTooManyOpenFiles},
    {ENFILE, kTooManyOpenFiles},
    {EACCES, kAccessDenied},
    {EPERM, kAccessDenied},
    {EROFS, kAccessDenied},
    {EISDIR, kAccessDenied}, // a folder opened as a file
    {EBADF, kInvalidFile},
    {EBUSY, kRemoveCurrentDir},
    {ENOSPC, kDiskFull},
    {EDQUOT, kDiskFull},
    {EFBIG, kDiskFull}, // the file cannot grow any further (file size limit)
}};
static_assert(kErrnoCauses[0].second == 2 && kErrnoCauses[12].second == 13);

} // namespace

int CauseFromErrno(int err, bool onSeek)
{
    if (err == 0) return kNoError;
    if (err == EIO) return kHardIO;
    if (onSeek && (err == EINVAL || err == ESPIPE)) return kBadSeek;
    for (const auto& [code, cause] : kErrnoCauses) {
        if (code == err) return cause;
    }
    return kGeneric;
}

} // namespace zarvex
