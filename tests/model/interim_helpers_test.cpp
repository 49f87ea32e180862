// Stand-ins for helpers that other folders provide, used by this test program
// until those land. Weak: the real definitions win as soon as they exist.
#include "codec/base64.h"

namespace zarvex {

__attribute__((weak)) int PeekDecodeBase64(const char* line, unsigned char* dest, int lineLength,
                                           int maxBytes, bool /*stopAtInvalid*/)
{
    auto value = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        return -1;
    };
    int stored = 0, bits = 0, acc = 0;
    for (int i = 0; i < lineLength && stored < maxBytes; ++i) {
        const int v = value(line[i]);
        if (v < 0) break;
        acc = (acc << 6) | v;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            dest[stored++] = static_cast<unsigned char>((acc >> bits) & 0xFF);
        }
    }
    return stored;
}

} // namespace zarvex
