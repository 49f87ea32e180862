#include "io/sha256.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace zarvex {
namespace {

constexpr std::array<std::uint32_t, 64> kRound = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr std::uint32_t Rotr(std::uint32_t x, int n)
{
    return (x >> n) | (x << (32 - n));
}

} // namespace

Sha256::Sha256()
    : m_H{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19}
{
}

void Sha256::Block(const std::uint8_t* p)
{
    std::array<std::uint32_t, 64> w{};
    for (int i = 0; i < 16; ++i)
        w[i] = std::uint32_t(p[4 * i]) << 24 | std::uint32_t(p[4 * i + 1]) << 16 | std::uint32_t(p[4 * i + 2]) << 8 |
               p[4 * i + 3];
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = m_H[0], b = m_H[1], c = m_H[2], d = m_H[3], e = m_H[4], f = m_H[5], g = m_H[6], h = m_H[7];
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
        const std::uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    const std::array<std::uint32_t, 8> add = {a, b, c, d, e, f, g, h};
    for (int k = 0; k < 8; ++k)
        m_H[k] += add[k];
}

void Sha256::Update(const void* data, std::size_t size)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    m_Bytes += size;
    while (size > 0) {
        const std::size_t take = std::min(size, m_Buf.size() - m_Used);
        std::memcpy(m_Buf.data() + m_Used, p, take);
        m_Used += take;
        p += take;
        size -= take;
        if (m_Used == m_Buf.size()) {
            Block(m_Buf.data());
            m_Used = 0;
        }
    }
}

std::string Sha256::HexDigest()
{
    const std::uint64_t bits = m_Bytes * 8;
    const std::uint8_t one = 0x80, zero = 0;
    Update(&one, 1);
    while (m_Used != 56)
        Update(&zero, 1);
    std::uint8_t length[8];
    for (int i = 0; i < 8; ++i)
        length[i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    Update(length, 8);
    std::string hex;
    char digits[9];
    for (std::uint32_t h : m_H) {
        std::snprintf(digits, sizeof digits, "%08x", h);
        hex += digits;
    }
    return hex;
}

std::string Sha256Hex(std::string_view data)
{
    Sha256 sha;
    sha.Update(data.data(), data.size());
    return sha.HexDigest();
}

std::optional<std::string> Sha256OfFile(const std::string& path, std::int64_t* size)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::optional<std::string> digest = Sha256OfDescriptor(fd, size);
    ::close(fd);
    return digest;
}

std::optional<std::string> Sha256OfDescriptor(int fd, std::int64_t* size)
{
    Sha256 sha;
    std::array<char, 1 << 16> buf;
    std::int64_t at = 0;
    for (;;) {
        const ssize_t got = ::pread(fd, buf.data(), buf.size(), at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        sha.Update(buf.data(), static_cast<std::size_t>(got));
        at += got;
    }
    if (size) *size = at;
    return sha.HexDigest();
}

} // namespace zarvex
