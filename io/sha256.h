// SHA-256 (FIPS 180-4) of a byte stream, for the checksums of written files.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zarvex {

class Sha256
{
public:
    Sha256();
    void Update(const void* data, std::size_t size);
    // The digest as 64 lower-case hex digits; the object is spent afterwards.
    std::string HexDigest();

private:
    void Block(const std::uint8_t* p);

    std::array<std::uint32_t, 8> m_H;
    std::array<std::uint8_t, 64> m_Buf{};
    std::size_t m_Used = 0;
    std::uint64_t m_Bytes = 0;
};

std::string Sha256Hex(std::string_view data);
// The digest of a file's content (its size in `size`); nothing when it
// cannot be read.
std::optional<std::string> Sha256OfFile(const std::string& path, std::int64_t* size = nullptr);
// The digest of the whole content of the open file `fd`, read from its
// start without moving its position; nothing when it cannot be read.
std::optional<std::string> Sha256OfDescriptor(int fd, std::int64_t* size = nullptr);

} // namespace zarvex
