// Compressed files (gzip, bzip2, xz, zstd, lz4) and archives (tar, zip, 7z)
// read through libarchive, one member after the other. Which inputs are
// such files is decided by their first bytes, never by their names.
#pragma once

#include <cstdint>
#include <string>

struct archive;

namespace zarvex {

// The input starts with the signature of one of the formats above.
bool LooksPacked(const std::string& path);

class ArchiveReader
{
public:
    ArchiveReader() = default;
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    enum class Status
    {
        Ok,
        End,      // no more members
        Skip,     // this member cannot be read (encrypted, damaged); the next one may
        TooLarge, // the limit was reached
        Fatal,    // the rest of the archive cannot be read
    };

    struct Entry
    {
        std::int64_t index = -1; // the member's place among all headers, from 0
        std::string path;        // as the archive names it
        std::int64_t size = -1;  // as the header states it; -1 when it does not
        bool regular = false;
        bool encrypted = false;
    };

    bool Open(const std::string& path, std::string* why);
    const std::string& Source() const { return m_Source; }
    // The index the next header will have.
    std::int64_t NextIndex() const { return m_Next; }
    // A compressed single file rather than an archive (known after the first header).
    bool IsSingleFile() const;

    Status NextEntry(Entry& entry, std::string* why);
    // Writes the current member's bytes to `fd`, at most `limit` bytes
    // (more is TooLarge); `written` counts what was written.
    Status Unpack(int fd, std::int64_t limit, std::int64_t* written, std::string* why);
    // Passes over the current member's bytes.
    Status SkipData(std::string* why);

private:
    Status Failure(int rc, std::string* why);

    struct archive* m_Archive = nullptr;
    std::string m_Source;
    std::int64_t m_Next = 0;
};

} // namespace zarvex
