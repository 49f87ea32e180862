// Base64 line decoding for MIME bodies. Each call decodes one line and says
// whether the body goes on, ended on this line, or met its boundary.
#include "codec/base64.h"

#include "codec/line_sink.h"
#include "codec/tables.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace zarvex {

namespace {

using detail::LineSink;

constexpr unsigned char kPad = '=';

// A character that starts or fills a group; everything else is skipped.
inline bool IsSignificant(unsigned char c)
{
    return c == '\n' || c == kPad || kBase64Decode[c] != kInvalid;
}

int BoundaryResult(const char* line, int len, std::string_view boundary)
{
    if (boundary.empty()) return B64_NOTHING;
    const std::string_view rest(line + 2, static_cast<std::size_t>(len - 2));
    const std::size_t at = rest.find(boundary);
    if (at == std::string_view::npos) return B64_NOTHING;
    const std::string_view after = rest.substr(at + boundary.size());
    return after.substr(0, 2) == "--" ? B64_CLOSING : B64_END;
}

// Writes the bytes of a group whose characters are `c`: the characters
// before the first pad carry data. Returns true when the group held a pad.
bool PutGroup(const unsigned char c[4], LineSink& sink)
{
    int k = 0;
    while (k < 4 && c[k] != kPad)
        ++k;
    unsigned v[4] = {0, 0, 0, 0};
    for (int i = 0; i < k; ++i)
        v[i] = kBase64Decode[c[i]];
    const unsigned char bytes[3] = {static_cast<unsigned char>((v[0] << 2) | (v[1] >> 4)),
                                    static_cast<unsigned char>((v[1] << 4) | (v[2] >> 2)),
                                    static_cast<unsigned char>((v[2] << 6) | v[3])};
    for (int i = 0; i + 1 < k; ++i)
        sink.Put(bytes[i]);
    return k < 4;
}

// The decode table shifted to each position of a group: the four entries of
// a group ORed together give its 24 bits; the top bit marks a character
// outside the alphabet.
struct ShiftedTables
{
    std::array<std::uint32_t, 256> at[4];
};

constexpr ShiftedTables MakeShiftedTables()
{
    ShiftedTables t{};
    for (int c = 0; c < 256; ++c) {
        const unsigned v = kBase64Decode[static_cast<std::size_t>(c)];
        for (int k = 0; k < 4; ++k)
            t.at[k][static_cast<std::size_t>(c)] = v == kInvalid ? 0x80000000u : v << (18 - 6 * k);
    }
    return t;
}

constexpr ShiftedTables kShifted = MakeShiftedTables();

// The four bytes of `v`, most significant first.
inline void StoreBigEndian(unsigned char* o, std::uint32_t v)
{
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap32(v);
    std::memcpy(o, &v, 4);
}

// Decodes the groups of four alphabet characters from `pos` on until one
// holds another character or fewer than four are left; returns where it
// stopped.
int DecodeWholeGroups(const unsigned char* s, int pos, int len, LineSink& sink)
{
    for (;;) {
        const int groups = std::min((len - pos) / 4, (LineSink::kSize - 1) / 3);
        if (groups <= 0) return pos;
        // One byte more than the groups give: each group stores four.
        unsigned char* o = sink.Reserve(groups * 3 + 1);
        int done = 0;
        for (; done < groups; ++done, pos += 4, o += 3) {
            const std::uint32_t v = kShifted.at[0][s[pos]] | kShifted.at[1][s[pos + 1]] |
                                    kShifted.at[2][s[pos + 2]] | kShifted.at[3][s[pos + 3]];
            if (v & 0x80000000u) break;
            StoreBigEndian(o, v << 8);
        }
        sink.Commit(done * 3);
        if (done < groups) return pos;
    }
}

// The scan of step 4 onwards; `s[0, len)` is a data line.
int DecodeGroups(const unsigned char* s, int len, LineSink& sink)
{
    bool padSeen = false;
    int pos = 0;
    for (;;) {
        // Fast path: groups of four alphabet characters in a row, the room
        // for all of them taken at once.
        if (!padSeen && sink.HasOutput()) pos = DecodeWholeGroups(s, pos, len, sink);
        // A group starts at the next significant character.
        while (pos < len && !IsSignificant(s[pos]))
            ++pos;
        if (pos >= len || s[pos] == '\n') return padSeen ? B64_END : B64_OK;
        if (padSeen) return B64_END;
        unsigned char group[4];
        group[0] = s[pos++];
        for (int k = 1; k < 4; ++k) {
            while (pos < len && !IsSignificant(s[pos]))
                ++pos;
            if (pos >= len || s[pos] == '\n') {
                for (int i = 0; i < k; ++i)
                    padSeen = padSeen || group[i] == kPad;
                return padSeen ? B64_END : B64_BROKEN_GROUP;
            }
            group[k] = s[pos++];
        }
        padSeen = PutGroup(group, sink);
    }
}

} // namespace

int DecodeBase64Line(CBufFile* out, const char* line, int len, std::string_view boundary, bool raw)
{
    if (!line || len <= 0) return B64_NOTHING;
    if (len >= 3 && line[0] == '-' && line[1] == '-') return BoundaryResult(line, len, boundary);
    if (line[0] == '\n' || len < 4) return B64_NOTHING;
    if (raw) {
        int n = len;
        if (n > 0 && line[n - 1] == '\n') --n;
        if (n > 0 && line[n - 1] == '\r') --n;
        if (out) {
            out->Write(line, static_cast<std::size_t>(n));
            out->Write("\r\n", 2);
        }
        return B64_OK;
    }
    LineSink sink(out);
    const int result = DecodeGroups(reinterpret_cast<const unsigned char*>(line), len, sink);
    sink.Flush();
    return result;
}

bool DecodeBase64Groups(const unsigned char* line, int len, unsigned char* out)
{
    if (len <= 0 || len % 4 != 0) return false;
    const int fast = detail::DecodeBase64GroupsFast(line, len / 4, out);
    std::uint32_t invalid = 0;
    for (int pos = 4 * fast, o = 3 * fast; pos < len; pos += 4, o += 3) {
        const std::uint32_t v = kShifted.at[0][line[pos]] | kShifted.at[1][line[pos + 1]] |
                                kShifted.at[2][line[pos + 2]] | kShifted.at[3][line[pos + 3]];
        invalid |= v;
        StoreBigEndian(out + o, v << 8);
    }
    return (invalid & 0x80000000u) == 0;
}

int PeekDecodeBase64(const char* line, unsigned char* dest, int lineLength, int maxBytes, bool stopAtInvalid)
{
    if (!line || !dest) return -1;
    if (lineLength <= 0) lineLength = static_cast<int>(std::strlen(line));
    const auto* s = reinterpret_cast<const unsigned char*>(line);
    int stored = 0, position = 0, bits = 0;
    unsigned acc = 0;
    for (int i = 0; i < lineLength && (maxBytes <= 0 || stored < maxBytes); ++i) {
        const unsigned char c = s[i];
        const unsigned v = kBase64Decode[c];
        if (c == kPad) break;
        if (v == kInvalid) {
            // Between groups foreign characters are skipped; inside one they end the data.
            if (stopAtInvalid || position != 0) break;
            continue;
        }
        acc = (acc << 6) | v;
        bits += 6;
        position = (position + 1) & 3;
        if (bits >= 8) {
            bits -= 8;
            dest[stored++] = static_cast<unsigned char>(acc >> bits);
        }
    }
    return stored;
}

} // namespace zarvex
