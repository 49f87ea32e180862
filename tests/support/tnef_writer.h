// A minimal TNEF (winmail.dat) writer for the tests: attachments with a
// title, a MAPI long name, data and a date, and a body as compressed RTF
// (literals only, which every reader must take).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zarvex::test {

struct TnefAttachment
{
    std::string title, longName, data;
    std::array<std::uint16_t, 6> date{}; // year, month, day, hour, minute, second
};

inline std::string TnefLe(std::uint32_t v, int n)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += static_cast<char>(v >> (8 * i) & 0xFF);
    return s;
}

inline std::string TnefAttribute(int level, std::uint32_t id, const std::string& data)
{
    std::uint32_t sum = 0;
    for (unsigned char c : data)
        sum += c;
    return std::string(1, static_cast<char>(level)) + TnefLe(id, 4) +
           TnefLe(static_cast<std::uint32_t>(data.size()), 4) + data + TnefLe(sum & 0xFFFF, 2);
}

// A MAPI block of one variable-length property.
inline std::string TnefMapi(std::uint16_t type, std::uint16_t id, const std::string& value)
{
    const std::string padded = value + std::string((4 - value.size() % 4) % 4, '\0');
    return TnefLe(1, 4) + TnefLe(type, 2) + TnefLe(id, 2) + TnefLe(1, 4) +
           TnefLe(static_cast<std::uint32_t>(value.size()), 4) + padded;
}

inline std::string TnefCompressedRtf(const std::string& rtf)
{
    // Groups of eight tokens after their control byte: literals, then the
    // end mark (a reference to where writing stands).
    std::string body;
    const std::size_t end = (207 + rtf.size()) % 4096;
    for (std::size_t i = 0; i <= rtf.size(); i += 8) {
        const std::string literals = rtf.substr(i, 8);
        const bool last = literals.size() < 8;
        body += static_cast<char>(last ? 1 << literals.size() : 0) + literals;
        if (last) body += std::string(1, static_cast<char>(end >> 4)) + static_cast<char>((end & 0xF) << 4);
    }
    std::uint32_t crc = 0; // CRC-32 of the data, starting from 0 and not inverted
    for (unsigned char c : body) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return TnefLe(static_cast<std::uint32_t>(body.size() + 12), 4) +
           TnefLe(static_cast<std::uint32_t>(rtf.size()), 4) + "LZFu" + TnefLe(crc, 4) + body;
}

inline std::string TnefStream(const std::vector<TnefAttachment>& files, const std::string& rtf = "")
{
    std::string s = "\x78\x9F\x3E\x22" + TnefLe(0x1234, 2) + TnefAttribute(1, 0x00089006, TnefLe(0x10000, 4));
    if (!rtf.empty()) s += TnefAttribute(1, 0x00069003, TnefMapi(0x0102, 0x1009, TnefCompressedRtf(rtf)));
    for (const TnefAttachment& f : files) {
        std::string date;
        for (std::uint16_t v : f.date)
            date += TnefLe(v, 2);
        s += TnefAttribute(2, 0x00069002, TnefLe(1, 2) + TnefLe(0xFFFFFFFF, 4) + std::string(8, '\0')) +
             TnefAttribute(2, 0x00018010, f.title + '\0') +
             TnefAttribute(2, 0x00038013, date + TnefLe(0, 2)) + TnefAttribute(2, 0x0006800F, f.data);
        if (!f.longName.empty())
            s += TnefAttribute(2, 0x00069005, TnefMapi(0x001E, 0x3707, f.longName + '\0'));
    }
    return s;
}

} // namespace zarvex::test
