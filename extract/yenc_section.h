// What the yEnc section handling keeps between the lines of one extraction
// call: the two CRC registers, the escape carried across lines, and what the
// whole-file CRC covers. Part of the engine's call state.
#pragma once

#include "codec/crc32.h"
#include "codec/yenc.h"

#include <cstdint>

namespace zarvex {

struct YencCallState {
    std::uint32_t partCrc = kCrc32Preset;
    std::uint32_t fileCrc = kCrc32Preset;
    YencLineState line; // the pending escape of lenient decoding
    // The whole-file register covers parts 1 .. nextPart - 1 of this call,
    // in order; `fileCrcAtPart` is its value before the part in progress
    // (a duplicate decoded in its place starts from there again). The data
    // lines feed only the part register; at the part's "=yend" the part
    // (`partBytes` bytes) is joined to the file register.
    bool fileCrcValid = false;
    std::int64_t nextPart = 0; // 64-bit: a part number may be the largest 32-bit one
    int partInProgress = -1;
    std::uint32_t fileCrcAtPart = kCrc32Preset;
    std::uint64_t partBytes = 0;
    bool dotStuffed = false; // the part's article doubled leading dots
};

} // namespace zarvex
