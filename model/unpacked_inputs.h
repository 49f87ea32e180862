// Inputs whose bytes are not in a file of their own name: the members of
// archives and the contents of compressed files, unpacked into temporary
// files. Their parts, the lists, the reports and the log name such an input
// by its shown name ("ARCHIVE/PATH/IN/ARCHIVE", or the compressed file's own
// path); whatever reads its bytes (the scanner, the extraction) opens them
// through the sort list, which asks the store that unpacked them.
#pragma once

#include "io/file_error.h"

#include <cstdint>
#include <memory>
#include <string>

namespace zarvex {

class CBufFile;
class MyCObArray;

class UnpackedInputs
{
public:
    virtual ~UnpackedInputs() = default;

    // An open descriptor on the bytes of an input, and a lease that keeps
    // its temporary file (neither let go nor wiped) while it is held.
    struct Opened
    {
        int fd = -1;
        std::shared_ptr<void> lease;
    };

    virtual bool Holds(const std::string& name) const = 0;
    // The bytes of input `name`, unpacked again when they were let go to
    // save disk space; fd -1 with `error` filled when that fails.
    virtual Opened Open(const std::string& name, FileError* error) = 0;
    // The archive or compressed file that input `name` came from.
    virtual std::string SourceOf(const std::string& name) const = 0;
    // The input left the list: its temporary file is wiped and deleted.
    virtual void Forget(const std::string& name) = 0;
    virtual void ForgetAll() = 0;
};

// Opens input `name` of `list` for reading into `file` (the file itself,
// or what the list's store unpacked for it, kept by `lease`).
bool OpenInputFile(const MyCObArray& list, const std::string& name, CBufFile& file, std::uint32_t mode,
                   FileError* error, std::shared_ptr<void>* lease);

// The path whose folder stands for input `name` (outputs "beside their
// input"): the archive an unpacked input came from, else `name` itself.
std::string InputLocation(const MyCObArray& list, const std::string& name);

} // namespace zarvex
