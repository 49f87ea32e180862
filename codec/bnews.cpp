#include "codec/bnews.h"

#include "io/buf_file.h"

#include <algorithm>

namespace zarvex {

namespace {

constexpr unsigned kBase = 224;

// The 40 bytes of a full group. 224^41 is a little above 2^320: the bits
// above the 40th byte are dropped.
std::array<unsigned char, kBNewsGroupBytes> GroupBytes(const std::array<unsigned char, kBNewsGroupChars>& digits)
{
    std::array<unsigned, kBNewsGroupBytes + 1> value{};
    for (int d = kBNewsGroupChars - 1; d >= 0; --d) {
        unsigned carry = digits[static_cast<std::size_t>(d)];
        for (unsigned& byte : value) {
            const unsigned v = byte * kBase + carry;
            byte = v & 0xFF;
            carry = v >> 8;
        }
    }
    std::array<unsigned char, kBNewsGroupBytes> bytes{};
    for (int i = 0; i < kBNewsGroupBytes; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<unsigned char>(value[static_cast<std::size_t>(i)]);
    return bytes;
}

int TextLength(const char* line, int len)
{
    while (len > 0 && (line[len - 1] == '\n' || line[len - 1] == '\r'))
        --len;
    return len;
}

// Fills groups from the line while bytes are expected; every full group's
// bytes (as many as still expected) go to `emit(data, n)`.
template <class Emit>
void TakeChars(const char* line, int len, BNewsState& state, Emit&& emit)
{
    for (int i = 0; i < len && state.expected > 0; ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c < 32) continue;
        state.group[static_cast<std::size_t>(state.fill++)] = static_cast<unsigned char>(c - 32);
        if (state.fill < kBNewsGroupChars) continue;
        state.fill = 0;
        const auto bytes = GroupBytes(state.group);
        const auto n = static_cast<int>(std::min<std::int64_t>(state.expected, kBNewsGroupBytes));
        emit(bytes.data(), n);
        state.expected -= n;
    }
}

} // namespace

void ResetBNews(BNewsState& state)
{
    state.fill = 0;
    state.expected = 0;
}

int DecodeBNewsLine(const char* line, int len, CBufFile* out, BNewsState& state, bool raw, bool final)
{
    if (!line || len < 0) return 0;
    len = TextLength(line, len);
    int status = len < kBNewsLineLength ? BN_SHORT : len > kBNewsLineLength ? BN_LONG : 0;
    if (raw) {
        if (out) {
            out->Write(line, static_cast<std::size_t>(len));
            out->Write("\r\n", 2);
        }
        return status;
    }
    TakeChars(line, len, state, [out](const unsigned char* data, int n) {
        if (out) out->Write(data, static_cast<std::size_t>(n));
    });
    if (state.fill > 0 && state.expected > 0) {
        if (final)
            state.fill = 0;
        else
            status |= BN_CARRY;
    }
    return status;
}

int PeekDecodeBNews(const char* line, int len, unsigned char* dest, int maxBytes)
{
    if (!line || !dest || maxBytes <= 0) return 0;
    BNewsState state;
    state.expected = maxBytes;
    int stored = 0;
    TakeChars(line, TextLength(line, len), state, [&](const unsigned char* data, int n) {
        std::copy_n(data, n, dest + stored);
        stored += n;
    });
    return stored;
}

} // namespace zarvex
