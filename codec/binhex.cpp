#include "codec/binhex.h"

#include "codec/tables.h"
#include "io/buf_file.h"
#include "text/ascii.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string_view>
#include <unistd.h>

namespace zarvex {

namespace {

constexpr unsigned char kRepeatMarker = 0x90;
constexpr int kStoredNameLength = 63;
// After the name: version 1, type 4, creator 4, flags 2, two fork lengths 4 each.
constexpr int kHeaderFieldBytes = 19;

constexpr std::array<std::uint16_t, 256> Crc16Table()
{
    std::array<std::uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
        t[i] = static_cast<std::uint16_t>(crc);
    }
    return t;
}
constexpr auto kCrc16 = Crc16Table();

// kCrc16Slices[k][a]: the register after byte `a` and k more zero bytes,
// from a register of 0. The CRC is linear: four bytes at once are the sum
// of the four slices (the register's two bytes go into the first two).
constexpr std::array<std::array<std::uint16_t, 256>, 4> Crc16Slices()
{
    std::array<std::array<std::uint16_t, 256>, 4> t{};
    t[0] = kCrc16;
    for (std::size_t k = 1; k < 4; ++k)
        for (unsigned a = 0; a < 256; ++a)
            t[k][a] = static_cast<std::uint16_t>((t[k - 1][a] << 8) ^ kCrc16[t[k - 1][a] >> 8]);
    return t;
}
constexpr auto kCrc16Slices = Crc16Slices();

constexpr std::uint16_t Crc16Step(std::uint16_t crc, unsigned char byte)
{
    return static_cast<std::uint16_t>((crc << 8) ^ kCrc16[((crc >> 8) ^ byte) & 0xFF]);
}

constexpr std::uint16_t Crc16Of(std::string_view text)
{
    std::uint16_t crc = 0;
    for (char c : text)
        crc = Crc16Step(crc, static_cast<unsigned char>(c));
    return crc;
}
// The catalogue check value of CRC-16/XMODEM.
static_assert(Crc16Of("123456789") == 0x31C3);

std::uint32_t BigEndian(const unsigned char* p, int n)
{
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return v;
}

} // namespace

std::uint16_t Crc16Xmodem(std::uint16_t crc, const unsigned char* data, std::size_t n)
{
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4)
        crc = static_cast<std::uint16_t>(kCrc16Slices[3][(crc >> 8) ^ data[i]] ^
                                         kCrc16Slices[2][(crc & 0xFF) ^ data[i + 1]] ^
                                         kCrc16Slices[1][data[i + 2]] ^ kCrc16Slices[0][data[i + 3]]);
    for (; i < n; ++i)
        crc = Crc16Step(crc, data[i]);
    return crc;
}

// ---- 6-bit stage ----------------------------------------------------------------

void BinHexDecoder::Feed(const char* text, std::size_t n)
{
    for (std::size_t i = 0; i < n && !m_StreamEnded; ++i) {
        if (m_GroupChars == 0 && m_Phase == Phase::Fork && !m_AfterMarker) {
            i += FeedForkGroups(text + i, n - i);
            if (i == n) break;
        }
        const unsigned value = kBinHexDecode[static_cast<unsigned char>(text[i])];
        if (value == kInvalid) {
            m_StreamEnded = true;
            break;
        }
        PutSextet(value);
    }
}

// The plain middle of a fork in bulk: whole groups of four alphabet
// characters whose three bytes hold no repeat marker, as long as the fork
// goes on after them. Returns the characters taken; the byte-wise stages
// take the rest. The bytes reach the output as PutChar would hand them over.
std::size_t BinHexDecoder::FeedForkGroups(const char* text, std::size_t n)
{
    constexpr std::size_t kChunk = 3 * 256;
    unsigned char bytes[kChunk];
    std::size_t taken = 0, made = 0;
    const auto* in = reinterpret_cast<const unsigned char*>(text);
    while (taken + 4 <= n && made + 3 < m_ForkLeft) {
        const unsigned a = kBinHexDecode[in[taken]], b = kBinHexDecode[in[taken + 1]],
                       c = kBinHexDecode[in[taken + 2]], d = kBinHexDecode[in[taken + 3]];
        if ((a | b | c | d) > 63) break; // kInvalid, or a character outside the alphabet
        const unsigned group = (a << 18) | (b << 12) | (c << 6) | d;
        const auto b0 = static_cast<unsigned char>(group >> 16), b1 = static_cast<unsigned char>(group >> 8),
                   b2 = static_cast<unsigned char>(group);
        if (b0 == kRepeatMarker || b1 == kRepeatMarker || b2 == kRepeatMarker) break;
        bytes[made] = b0;
        bytes[made + 1] = b1;
        bytes[made + 2] = b2;
        made += 3;
        taken += 4;
        if (made == kChunk) {
            TakeForkBytes(bytes, made);
            made = 0;
        }
    }
    TakeForkBytes(bytes, made);
    return taken;
}

// What PutByte does with each of `n` bytes of the fork, none of them its last.
void BinHexDecoder::TakeForkBytes(const unsigned char* bytes, std::size_t n)
{
    if (n == 0) return;
    m_Last = bytes[n - 1];
    m_Crc = Crc16Xmodem(m_Crc, bytes, n);
    m_ForkLeft -= n;
    if (m_Fork != m_ChosenFork) return;
    if (m_Sample && m_SampleFill < m_SampleMax) {
        const int more = static_cast<int>(std::min<std::size_t>(n, static_cast<std::size_t>(m_SampleMax - m_SampleFill)));
        std::copy_n(bytes, more, m_Sample + m_SampleFill);
        m_SampleFill += more;
    }
    m_Written += n;
    for (std::size_t done = 0; m_Out && done < n;) {
        std::size_t room = 0;
        unsigned char* space = m_Out->WriteRoom(1, room);
        const std::size_t take = std::min(room, n - done);
        std::copy_n(bytes + done, take, space);
        done += take;
        m_Out->CommitWrite(take);
    }
}

void BinHexDecoder::PutSextet(unsigned value)
{
    m_Group = (m_Group << 6) | value;
    if (++m_GroupChars < 4) return;
    PutExpanded(static_cast<unsigned char>(m_Group >> 16));
    PutExpanded(static_cast<unsigned char>(m_Group >> 8));
    PutExpanded(static_cast<unsigned char>(m_Group));
    m_Group = 0;
    m_GroupChars = 0;
}

int BinHexDecoder::Finish()
{
    m_StreamEnded = true;
    // A final group of 2 or 3 characters carries 1 or 2 bytes.
    if (m_GroupChars >= 2) {
        const unsigned bits = m_Group << (6 * (4 - m_GroupChars));
        PutExpanded(static_cast<unsigned char>(bits >> 16));
        if (m_GroupChars == 3) PutExpanded(static_cast<unsigned char>(bits >> 8));
    }
    m_GroupChars = 0;
    if (m_Phase == Phase::Done) return m_Result;
    // Cut short in the header it is unreadable; in a fork, an early end.
    m_Result = HeaderRead() ? HQX_END_OF_FILE : HQX_BAD_HEADER;
    m_Phase = Phase::Done;
    return m_Result;
}

// ---- Run-length stage -------------------------------------------------------------

void BinHexDecoder::PutExpanded(unsigned char byte)
{
    if (m_Phase == Phase::Done) return;
    if (!m_AfterMarker) {
        if (byte == kRepeatMarker) {
            m_AfterMarker = true;
            return;
        }
        m_Last = byte;
        PutByte(byte);
        return;
    }
    m_AfterMarker = false;
    if (byte == 0) {
        // A marker with count 0 stands for the marker byte itself.
        m_Last = kRepeatMarker;
        PutByte(kRepeatMarker);
        return;
    }
    // The previous byte occurs `byte` times in all (a count of 1 adds none).
    for (int i = 1; i < byte && m_Phase != Phase::Done; ++i)
        PutByte(m_Last);
}

// ---- Structure stage ----------------------------------------------------------------

void BinHexDecoder::PutByte(unsigned char byte)
{
    switch (m_Phase) {
    case Phase::NameLength:
        m_Crc = Crc16Step(0, byte);
        m_HeaderBytes[0] = byte;
        m_HeaderSize = byte + kHeaderFieldBytes;
        m_HeaderFill = 0;
        m_Phase = Phase::Header;
        return;
    case Phase::Header:
        m_Crc = Crc16Step(m_Crc, byte);
        m_HeaderBytes[static_cast<std::size_t>(1 + m_HeaderFill)] = byte;
        if (++m_HeaderFill == m_HeaderSize) {
            m_Phase = Phase::HeaderCrc;
            m_CrcBytes = 0;
        }
        return;
    case Phase::HeaderCrc:
    case Phase::ForkCrc:
        m_StoredCrc = static_cast<std::uint16_t>((m_StoredCrc << 8) | byte);
        if (++m_CrcBytes < 2) return;
        if (m_Phase == Phase::HeaderCrc)
            EndHeader();
        else
            EndFork();
        return;
    case Phase::Fork:
        m_Crc = Crc16Step(m_Crc, byte);
        if (m_Fork == m_ChosenFork) {
            if (m_Out) m_Out->PutChar(byte);
            if (m_Sample && m_SampleFill < m_SampleMax) m_Sample[m_SampleFill++] = byte;
            ++m_Written;
        }
        if (--m_ForkLeft == 0) {
            m_Phase = Phase::ForkCrc;
            m_CrcBytes = 0;
        }
        return;
    case Phase::Done:
        return;
    }
}

std::string BinHexDecoder::NameSoFar() const
{
    if (m_Phase == Phase::NameLength) return {};
    const int stored = m_HeaderBytes[0];
    const int have = m_Phase == Phase::Header ? std::min(stored, m_HeaderFill) : stored;
    return {reinterpret_cast<const char*>(m_HeaderBytes.data() + 1), static_cast<std::size_t>(have)};
}

void BinHexDecoder::EndHeader()
{
    if (m_StoredCrc != m_Crc) {
        m_Phase = Phase::Done;
        m_Result = HQX_BAD_HEADER;
        return;
    }
    const int n = m_HeaderBytes[0];
    const unsigned char* f = m_HeaderBytes.data() + 1 + n;
    m_Header.name = NameSoFar().substr(0, kStoredNameLength);
    m_Header.version = f[0];
    for (int i = 0; i < 4; ++i) {
        m_Header.type[static_cast<std::size_t>(i)] = static_cast<char>(f[1 + i]);
        m_Header.creator[static_cast<std::size_t>(i)] = static_cast<char>(f[5 + i]);
    }
    m_Header.flags = static_cast<std::uint16_t>(BigEndian(f + 9, 2));
    m_Header.dataLength = BigEndian(f + 11, 4);
    m_Header.resourceLength = BigEndian(f + 15, 4);
    m_ChosenFork = m_Header.dataLength > m_Header.resourceLength ? 0 : 1;
    StartFork(0);
}

void BinHexDecoder::StartFork(int fork)
{
    m_Fork = fork;
    m_Crc = 0;
    m_ForkLeft = fork == 0 ? m_Header.dataLength : m_Header.resourceLength;
    m_CrcBytes = 0;
    m_Phase = m_ForkLeft == 0 ? Phase::ForkCrc : Phase::Fork;
}

void BinHexDecoder::EndFork()
{
    if (m_StoredCrc != m_Crc) {
        m_Phase = Phase::Done;
        m_Result = HQX_BAD_CRC;
        return;
    }
    if (m_Fork == m_ChosenFork) {
        m_Phase = Phase::Done;
        m_Result = m_Fork == 0 ? HQX_DATA_FORK : HQX_RESOURCE_FORK;
        return;
    }
    StartFork(1);
}

// ---- The collected file, names and type samples --------------------------------------

int DecodeBinHexFile(int fd, CBufFile& out)
{
    char buf[16384];
    off_t at = 0;
    auto read = [&]() -> ssize_t {
        for (;;) {
            const ssize_t n = ::pread(fd, buf, sizeof buf, at);
            if (n < 0 && errno == EINTR) continue;
            if (n > 0) at += n;
            return n;
        }
    };
    ssize_t n = read();
    if (n < 0) return HQX_END_OF_FILE;
    if (n == 0 || buf[0] != ':') return HQX_BAD_HEADER;
    BinHexDecoder decoder(&out);
    decoder.Feed(buf + 1, static_cast<std::size_t>(n - 1));
    while ((n = read()) > 0) decoder.Feed(buf, static_cast<std::size_t>(n));
    return decoder.Finish();
}

namespace {

// The characters of collected lines, their line breaks and blanks left out.
void FeedLines(BinHexDecoder& decoder, std::string_view chars)
{
    if (!chars.empty() && chars.front() == ':') chars.remove_prefix(1);
    std::size_t from = 0;
    for (std::size_t i = 0; i <= chars.size(); ++i) {
        if (i < chars.size() && !IsAsciiSpace(static_cast<unsigned char>(chars[i]))) continue;
        decoder.Feed(chars.data() + from, i - from);
        from = i + 1;
    }
    decoder.Finish();
}

} // namespace

bool BinHexHeaderName(std::string& text)
{
    std::string_view chars(text);
    if (!chars.empty() && chars.front() == '#') {
        text.clear();
        return false;
    }
    BinHexDecoder decoder(nullptr);
    FeedLines(decoder, chars);
    std::string name = decoder.NameSoFar();
    while (!name.empty() && IsAsciiSpace(static_cast<unsigned char>(name.back())))
        name.pop_back();
    text = name;
    return !text.empty();
}

int PeekDecodeBinHex(const char* text, int len, unsigned char* dest, int maxBytes)
{
    if (!text || !dest || len <= 0 || maxBytes <= 0) return 0;
    std::string_view chars(text, static_cast<std::size_t>(len));
    if (chars.front() == '#') return 0;
    BinHexDecoder decoder(nullptr);
    decoder.SetSample(dest, maxBytes);
    FeedLines(decoder, chars);
    return decoder.SampleFill();
}

} // namespace zarvex
