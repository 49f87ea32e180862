// File error causes and the exception that file failures raise.
#pragma once

#include <exception>
#include <string>

namespace zarvex {

// Causes 0..14; their texts are messages 400..414 (FileErrorText).
enum FileErrorCause : int
{
    kNoError = 0,
    kGeneric = 1,
    kFileNotFound = 2,
    kBadPath = 3,
    kTooManyOpenFiles = 4,
    kAccessDenied = 5,
    kInvalidFile = 6,
    kRemoveCurrentDir = 7,
    kDirectoryFull = 8,
    kBadSeek = 9,
    kHardIO = 10,
    kSharingViolation = 11,
    kLockViolation = 12,
    kDiskFull = 13,
    kEndOfFile = 14,
};

struct FileError
{
    int cause = kNoError;
    int osError = 0; // errno
    std::string fileName;
};

// Maps an errno value to a cause; `onSeek` selects the seek mapping of EINVAL/ESPIPE.
int CauseFromErrno(int err, bool onSeek = false);

class FileException : public std::exception
{
public:
    explicit FileException(FileError error) : m_Error(std::move(error)) {}
    const FileError& Error() const { return m_Error; }
    const char* what() const noexcept override { return "file error"; }

private:
    FileError m_Error;
};

} // namespace zarvex
