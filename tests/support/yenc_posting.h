// yEnc postings for the tests: the encoding rule every encoder follows (NUL,
// LF, CR and "=" escaped, lines of `width` characters, an escape pair may
// make a line one longer) and news articles of one part each.
#pragma once

#include "support/test_support.h"

#include <string>
#include <vector>

namespace zarvex::test {

std::vector<std::string> YencLines(std::string_view data, int width = 128);

struct YencPostingOptions {
    int width = 128;
    bool partCrc = true;   // "pcrc32=" on every trailer
    bool fileCrc = true;   // " crc32=" on the last trailer
    std::string eol = "\n";
    bool dotStuffed = false; // leading dots doubled, a lone "." ends each article
};

// One article per part of at most `partSize` bytes (a single part has no
// "=ypart" line and no part numbers).
std::vector<std::string> YencArticles(std::string_view data, const std::string& name, std::size_t partSize,
                                      const YencPostingOptions& options = {});

} // namespace zarvex::test
