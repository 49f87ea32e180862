// TNEF ("winmail.dat", application/ms-tnef): the container Outlook and
// Exchange wrap a message's attachments in. ReadTnef takes the files out of
// it: each attachment's name, bytes and modification date, and the message
// body when it is held only as compressed RTF.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarvex {

// The four bytes every TNEF stream starts with (0x223E9F78, little-endian).
inline constexpr std::string_view kTnefSignature = "\x78\x9F\x3E\x22";

inline bool HasTnefSignature(std::string_view bytes)
{
    return bytes.substr(0, kTnefSignature.size()) == kTnefSignature;
}

struct TnefFile
{
    // The MAPI long file name where present, else the 8.3 title; the bytes
    // as stored (not yet a safe file name). Empty when the attachment has none.
    std::string name;
    std::string data;
    // The attachment's modification date, seconds since 1970 (UTC); 0 when absent.
    std::int64_t modified = 0;
};

struct TnefContents
{
    std::vector<TnefFile> files;
    // The decompressed RTF body, when the message has no plain or HTML body.
    std::optional<std::string> rtfBody;
    // The stream ended inside an attribute: what came before it was read.
    bool damaged = false;
};

// The contents of a TNEF stream; nothing when `bytes` is not TNEF or is
// damaged beyond reading. Never prints, never throws for bad data.
std::optional<TnefContents> ReadTnef(std::string_view bytes);

} // namespace zarvex
