// A BNews writer for test fixtures: every 40 bytes (zero-padded) become a
// number written in base 224 with 41 digits, least significant first, each
// digit as the character 32 + digit; six groups make a line.
#pragma once

#include <string>
#include <vector>

namespace zarvex::test {

inline std::string BNewsGroup(const std::string& bytes40)
{
    std::vector<unsigned> value(bytes40.begin(), bytes40.end());
    for (auto& v : value)
        v &= 0xFF;
    std::string digits;
    for (int d = 0; d < 41; ++d) {
        // Divide the little-endian number by 224, most significant byte first.
        unsigned rest = 0;
        for (int i = 39; i >= 0; --i) {
            const unsigned cur = (rest << 8) | value[static_cast<std::size_t>(i)];
            value[static_cast<std::size_t>(i)] = cur / 224;
            rest = cur % 224;
        }
        digits += static_cast<char>(32 + rest);
    }
    return digits;
}

inline std::vector<std::string> BNewsLines(const std::string& data, std::size_t groupsPerLine = 6)
{
    std::string all;
    for (std::size_t i = 0; i < data.size(); i += 40) {
        std::string chunk = data.substr(i, 40);
        chunk.resize(40, '\0');
        all += BNewsGroup(chunk);
    }
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < all.size(); i += 41 * groupsPerLine)
        lines.push_back(all.substr(i, 41 * groupsPerLine));
    return lines;
}

} // namespace zarvex::test
