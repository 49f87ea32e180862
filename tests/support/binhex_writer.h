// A small BinHex 4.0 writer for test fixtures, written from the format's
// description (independent of the product's decoder): header, both forks,
// CRCs computed bit by bit over the bytes and two zero bytes, run-length
// marking, 64-character lines between ":" marks. Its knobs make damaged
// files: a wrong CRC, lengths that promise more than the data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zarvex::test {

struct BinHexFile
{
    std::string name = "file.bin";
    std::string data;
    std::string resource;
    bool runLength = true;
    // Damage.
    int headerCrcDelta = 0;
    int dataCrcDelta = 0;
    std::int64_t dataLengthDelta = 0; // added to the stored data fork length
    std::size_t cutAfterBytes = 0;    // non-zero: the stream stops after so many bytes
};

inline std::uint16_t AugmentedCrc(const std::string& bytes)
{
    std::uint32_t crc = 0;
    auto step = [&](unsigned char byte) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool top = (crc & 0x8000) != 0;
            crc = ((crc << 1) | ((byte >> bit) & 1)) & 0xFFFF;
            if (top) crc ^= 0x1021;
        }
    };
    for (const char c : bytes)
        step(static_cast<unsigned char>(c));
    step(0);
    step(0);
    return static_cast<std::uint16_t>(crc);
}

inline std::string BigEndianBytes(std::uint64_t v, int n)
{
    std::string out;
    for (int i = n - 1; i >= 0; --i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
    return out;
}

// The decoded stream: header, data fork, resource fork, with their CRCs.
inline std::string BinHexStream(const BinHexFile& f)
{
    std::string header;
    header += static_cast<char>(f.name.size());
    header += f.name;
    header += '\0';
    header += "TEXTMACA";
    header += BigEndianBytes(0, 2);
    header += BigEndianBytes(static_cast<std::uint64_t>(static_cast<std::int64_t>(f.data.size()) + f.dataLengthDelta), 4);
    header += BigEndianBytes(f.resource.size(), 4);
    std::string s = header + BigEndianBytes(static_cast<std::uint16_t>(AugmentedCrc(header) + f.headerCrcDelta), 2);
    s += f.data + BigEndianBytes(static_cast<std::uint16_t>(AugmentedCrc(f.data) + f.dataCrcDelta), 2);
    s += f.resource + BigEndianBytes(AugmentedCrc(f.resource), 2);
    if (f.cutAfterBytes != 0 && f.cutAfterBytes < s.size()) s.resize(f.cutAfterBytes);
    return s;
}

// Runs of 3 to 255 equal bytes become byte 0x90 count (with `runs`); 0x90
// itself is always 0x90 0x00.
inline std::string RunLengthMark(const std::string& s, bool runs)
{
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        std::size_t run = 1;
        while (runs && i + run < s.size() && s[i + run] == c && run < 255)
            ++run;
        out += c;
        if (c == '\x90') out += '\0';
        if (run >= 3) {
            out += '\x90';
            out += static_cast<char>(run);
        } else if (run == 2) {
            out += c;
            if (c == '\x90') out += '\0';
        }
        i += run;
    }
    return out;
}

// The lines of the file after the note: ":" + 64-character lines + ":".
inline std::vector<std::string> BinHexLines(const BinHexFile& f)
{
    static const char* abc = "!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr";
    const std::string bytes = RunLengthMark(BinHexStream(f), f.runLength);
    std::string chars = ":";
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 3; ++k)
            v = (v << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < n + 1; ++k)
            chars += abc[(v >> (18 - 6 * k)) & 63];
    }
    chars += ':';
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < chars.size(); i += 64)
        lines.push_back(chars.substr(i, 64));
    return lines;
}

} // namespace zarvex::test
