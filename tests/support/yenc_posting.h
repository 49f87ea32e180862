// yEnc postings for the tests: the encoding rule every encoder follows (NUL,
// LF, CR and "=" escaped, lines of `width` characters, an escape pair may
// make a line one longer) and news articles of one part each.
#pragma once

#include "codec/crc32.h"
#include "support/test_support.h"

#include <cstdio>
#include <string>
#include <vector>

namespace zarvex::test {

inline std::vector<std::string> YencLines(std::string_view data, int width = 128)
{
    std::vector<std::string> lines(1);
    for (unsigned char b : data) {
        const auto c = static_cast<unsigned char>(b + 42);
        if (c == 0 || c == '\n' || c == '\r' || c == '=') {
            lines.back() += '=';
            lines.back() += static_cast<char>(c + 64);
        } else {
            lines.back() += static_cast<char>(c);
        }
        if (static_cast<int>(lines.back().size()) >= width) lines.emplace_back();
    }
    if (lines.back().empty()) lines.pop_back();
    return lines;
}

inline std::string YencHex(std::uint32_t v)
{
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08x", v);
    return buf;
}

struct YencPostingOptions {
    int width = 128;
    bool partCrc = true;   // "pcrc32=" on every trailer
    bool fileCrc = true;   // " crc32=" on the last trailer
    std::string eol = "\n";
    bool dotStuffed = false; // leading dots doubled, a lone "." ends each article
};

// One article per part of at most `partSize` bytes (a single part has no
// "=ypart" line and no part numbers).
inline std::vector<std::string> YencArticles(std::string_view data, const std::string& name, std::size_t partSize,
                                             const YencPostingOptions& o = {})
{
    const std::size_t total = data.empty() ? 1 : (data.size() + partSize - 1) / partSize;
    const std::string size = std::to_string(data.size());
    std::vector<std::string> articles;
    for (std::size_t i = 0; i < total; ++i) {
        const std::string_view piece = data.substr(i * partSize, partSize);
        const std::string n = std::to_string(i + 1), t = std::to_string(total);
        std::string a = "From: poster@example.org" + o.eol + "Newsgroups: alt.binaries.test" + o.eol +
                        "Subject: " + name + " (" + n + "/" + t + ") yEnc" + o.eol + o.eol;
        if (total == 1) {
            a += "=ybegin line=" + std::to_string(o.width) + " size=" + size + " name=" + name + o.eol;
        } else {
            a += "=ybegin part=" + n + " total=" + t + " line=" + std::to_string(o.width) + " size=" + size +
                 " name=" + name + o.eol;
            a += "=ypart begin=" + std::to_string(i * partSize + 1) +
                 " end=" + std::to_string(i * partSize + piece.size()) + o.eol;
        }
        for (const std::string& line : YencLines(piece, o.width))
            a += (o.dotStuffed && line[0] == '.' ? "." : "") + line + o.eol;
        a += "=yend size=" + std::to_string(piece.size());
        if (total > 1) a += " part=" + n;
        if (total > 1 && o.partCrc) a += " pcrc32=" + YencHex(Crc32Of(piece.data(), piece.size()));
        if ((total == 1 || i + 1 == total) && o.fileCrc) a += " crc32=" + YencHex(Crc32Of(data.data(), data.size()));
        a += o.eol;
        if (o.dotStuffed) a += "." + o.eol;
        articles.push_back(a);
    }
    return articles;
}

} // namespace zarvex::test
