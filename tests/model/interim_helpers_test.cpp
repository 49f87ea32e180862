// Stand-ins for helpers that other folders provide, used by this test program
// until those land. Weak: the real definitions win as soon as they exist.
#include "codec/base64.h"
#include "model/file_types.h"
#include "model/data_types.h"
#include "text/ascii.h"
#include "text/text_utils.h"

#include <string>

namespace zarvex {

__attribute__((weak)) std::string UnescapeName(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() + 0 && IsAsciiXDigit(text[i + 1]) && IsAsciiXDigit(text[i + 2])) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

__attribute__((weak)) int PeekDecodeBase64(const char* line, unsigned char* dest, int lineLength, int maxBytes,
                                           bool /*stopAtInvalid*/)
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

__attribute__((weak)) std::string AddTypeExtension(std::string_view name, int dataType)
{
    const std::string_view type = DataTypeName(dataType);
    const std::size_t dot = name.rfind('.');
    const std::string_view stem = dot == std::string_view::npos ? name : name.substr(0, dot);
    const std::string_view ext = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    if (EqualsIgnoreCase(ext, type)) return std::string(name);
    return std::string(stem) + "." + std::string(type);
}

} // namespace zarvex
