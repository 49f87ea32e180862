#include "scan/archive_reader.h"

#include <archive.h>
#include <archive_entry.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace zarvex {
namespace {

constexpr std::size_t kSniffBytes = 512;
constexpr std::size_t kTarMagicAt = 257;
constexpr std::size_t kReadBlock = std::size_t{1} << 20;

// What an input's first bytes say it is.
enum class Packing
{
    None,
    Compressed,
    Zip,
    SevenZip,
    Tar
};

struct Signature
{
    std::size_t at;
    std::string_view bytes;
    Packing packing;
};

// gzip, bzip2, xz, zstd, lz4; zip (a member, an empty archive), 7z; tar.
constexpr std::array kSignatures = {
    Signature{0, "\x1F\x8B", Packing::Compressed},
    Signature{0, "BZh", Packing::Compressed},
    Signature{0,
              std::string_view("\xFD"
                               "7zXZ\0",
                               6),
              Packing::Compressed},
    Signature{0, "\x28\xB5\x2F\xFD", Packing::Compressed},
    Signature{0, "\x04\x22\x4D\x18", Packing::Compressed},
    Signature{0, "PK\x03\x04", Packing::Zip},
    Signature{0, "PK\x05\x06", Packing::Zip},
    Signature{0, "7z\xBC\xAF\x27\x1C", Packing::SevenZip},
    Signature{kTarMagicAt, "ustar", Packing::Tar},
};

Packing Sniff(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return Packing::None;
    char head[kSniffBytes];
    const ssize_t n = ::pread(fd, head, sizeof head, 0);
    ::close(fd);
    if (n <= 0) return Packing::None;
    const std::string_view sample(head, static_cast<std::size_t>(n));
    for (const Signature& s : kSignatures)
        if (sample.size() >= s.at + s.bytes.size() && sample.substr(s.at, s.bytes.size()) == s.bytes) {
            // "BZh" is followed by the block size, a digit from 1 to 9.
            if (s.bytes == "BZh" && (sample.size() < 4 || sample[3] < '1' || sample[3] > '9')) continue;
            return s.packing;
        }
    return Packing::None;
}

bool WriteAt(int fd, const char* data, std::size_t n, std::int64_t at)
{
    while (n > 0) {
        const ssize_t w = ::pwrite(fd, data, n, static_cast<off_t>(at));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        data += w;
        at += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

} // namespace

bool LooksPacked(const std::string& path)
{
    return Sniff(path) != Packing::None;
}

ArchiveReader::~ArchiveReader()
{
    if (m_Archive) archive_read_free(m_Archive);
}

bool ArchiveReader::Open(const std::string& path, std::string* why)
{
    if (m_Archive) archive_read_free(m_Archive);
    m_Archive = archive_read_new();
    m_Source = path;
    m_Next = 0;
    if (!m_Archive) {
        if (why) *why = std::strerror(ENOMEM);
        return false;
    }
    // Only the formats the first bytes named: no other filter (uudecode
    // among them) or format ever interprets an input behind the program's
    // back, and no format looks far ahead (which a stream cut short fails).
    switch (Sniff(path)) {
    case Packing::Compressed:
        archive_read_support_filter_gzip(m_Archive);
        archive_read_support_filter_bzip2(m_Archive);
        archive_read_support_filter_xz(m_Archive);
        archive_read_support_filter_zstd(m_Archive);
        archive_read_support_filter_lz4(m_Archive);
        archive_read_support_format_tar(m_Archive);
        archive_read_support_format_raw(m_Archive);
        break;
    case Packing::Zip:
        archive_read_support_format_zip(m_Archive);
        break;
    case Packing::SevenZip:
        archive_read_support_format_7zip(m_Archive);
        break;
    case Packing::Tar:
    case Packing::None:
        archive_read_support_format_tar(m_Archive);
        break;
    }
    if (archive_read_open_filename(m_Archive, path.c_str(), kReadBlock) != ARCHIVE_OK) {
        if (why)
            *why = archive_error_string(m_Archive) ? archive_error_string(m_Archive) : "cannot be opened";
        archive_read_free(m_Archive);
        m_Archive = nullptr;
        return false;
    }
    return true;
}

bool ArchiveReader::IsSingleFile() const
{
    return m_Archive && archive_format(m_Archive) == ARCHIVE_FORMAT_RAW;
}

ArchiveReader::Status ArchiveReader::Failure(int rc, std::string* why)
{
    if (why) {
        const char* text = m_Archive ? archive_error_string(m_Archive) : nullptr;
        *why = text ? text : "damaged data";
    }
    return rc == ARCHIVE_FATAL ? Status::Fatal : Status::Skip;
}

ArchiveReader::Status ArchiveReader::NextEntry(Entry& entry, std::string* why)
{
    if (!m_Archive) return Status::Fatal;
    archive_entry* e = nullptr;
    const int rc = archive_read_next_header(m_Archive, &e);
    if (rc == ARCHIVE_EOF) return Status::End;
    if (rc == ARCHIVE_FATAL) return Failure(rc, why);
    entry.index = m_Next++;
    if (rc < ARCHIVE_WARN) return Failure(rc, why);
    const char* path = archive_entry_pathname(e);
    entry.path = path ? path : "";
    entry.size = archive_entry_size_is_set(e) ? archive_entry_size(e) : -1;
    entry.regular = archive_entry_filetype(e) == AE_IFREG;
    entry.encrypted = archive_entry_is_encrypted(e) != 0;
    return Status::Ok;
}

ArchiveReader::Status ArchiveReader::Unpack(int fd, std::int64_t limit, std::int64_t* written,
                                            std::string* why)
{
    *written = 0;
    for (;;) {
        const void* block = nullptr;
        std::size_t size = 0;
        la_int64_t offset = 0;
        const int rc = archive_read_data_block(m_Archive, &block, &size, &offset);
        if (rc == ARCHIVE_EOF) break;
        // A warning here is a damaged member (a CRC that does not match, data cut short).
        if (rc < ARCHIVE_OK) return Failure(rc, why);
        if (offset < 0 || static_cast<std::int64_t>(size) > limit ||
            offset > limit - static_cast<std::int64_t>(size))
            return Status::TooLarge;
        if (size > 0 && !WriteAt(fd, static_cast<const char*>(block), size, offset)) {
            if (why) *why = std::strerror(errno);
            return Status::Fatal;
        }
        if (offset + static_cast<std::int64_t>(size) > *written)
            *written = offset + static_cast<std::int64_t>(size);
    }
    return Status::Ok;
}

ArchiveReader::Status ArchiveReader::SkipData(std::string* why)
{
    const int rc = archive_read_data_skip(m_Archive);
    return rc < ARCHIVE_WARN ? Failure(rc, why) : Status::Ok;
}

} // namespace zarvex
