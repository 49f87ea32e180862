#include "codec/face.h"

#include "codec/base64.h"
#include "io/buf_file.h"
#include "text/ascii.h"

#include <cstdint>

namespace zarvex {

namespace {

constexpr std::size_t kRowBytes = kFaceSide / 8;
constexpr std::size_t kRowStride = 8; // rows are padded to a multiple of 4 bytes
constexpr std::uint32_t kDataOffset = 14 + 40 + 8; // file header, info header, two colours

void PutLE(std::string& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string_view TrimLeft(std::string_view s)
{
    while (!s.empty() && IsAsciiSpace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    return s;
}

} // namespace

bool IsXFaceText(std::string_view text)
{
    std::size_t printable = 0;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsAsciiSpace(c)) continue;
        if (c < '!' || c > '~') return false;
        if (++printable > kMaxXFaceChars) return false;
    }
    return printable > 0;
}

std::string FaceBmp(const FaceBitmap& pixels)
{
    std::string bmp;
    bmp.reserve(kFaceBmpSize);
    bmp += "BM";
    PutLE(bmp, kFaceBmpSize, 4);
    PutLE(bmp, 0, 4); // two reserved words
    PutLE(bmp, kDataOffset, 4);
    PutLE(bmp, 40, 4); // the information header
    PutLE(bmp, kFaceSide, 4);
    PutLE(bmp, kFaceSide, 4);
    PutLE(bmp, 1, 2);  // planes
    PutLE(bmp, 1, 2);  // bits per pixel
    PutLE(bmp, 0, 4);  // no compression
    PutLE(bmp, 0, 4);  // image size
    PutLE(bmp, 0, 4);  // resolutions
    PutLE(bmp, 0, 4);
    PutLE(bmp, 2, 4);  // colours used
    PutLE(bmp, 0, 4);  // important colours
    PutLE(bmp, 0x000000, 4); // black
    PutLE(bmp, 0xFFFFFF, 4); // white
    for (int row = kFaceSide - 1; row >= 0; --row) {
        for (std::size_t b = 0; b < kRowBytes; ++b) {
            unsigned byte = 0;
            for (std::size_t bit = 0; bit < 8; ++bit) {
                const bool set = pixels[static_cast<std::size_t>(row) * kFaceSide + b * 8 + bit] != 0;
                byte = (byte << 1) | (set ? 0u : 1u);
            }
            bmp += static_cast<char>(byte);
        }
        bmp.append(kRowStride - kRowBytes, '\0');
    }
    return bmp;
}

int DecodeXFaceLine(XFaceWork& work, const char* line, int len, CBufFile* out, bool last)
{
    if (!line || len < 0) return -1;
    std::string_view text(line, static_cast<std::size_t>(len));
    if (!work.started && StartsWithIgnoreCase(text, "X-Face: ")) text.remove_prefix(8);
    work.started = true;
    // The value is checked before anything is kept, so a hostile header
    // cannot grow the work area.
    if (work.text.size() + text.size() > 8 * kMaxXFaceChars) return -1;
    work.text.append(text);
    if (!last) return 1;
    FaceBitmap pixels{};
    if (!UncompressXFace(work.text, pixels)) return -1;
    if (out) {
        const std::string bmp = FaceBmp(pixels);
        out->Write(bmp.data(), bmp.size());
    }
    return 1;
}

void AddFaceLine(std::string& text, std::string_view line)
{
    line = TrimLeft(line);
    if (StartsWithIgnoreCase(line, "Face: ")) line.remove_prefix(6);
    for (const char c : line)
        if (c != '\n' && c != '\r') text += c;
}

std::string DecodeFaceText(std::string_view text)
{
    if (text.empty()) return {};
    std::string bytes(text.size(), '\0');
    const int n = PeekDecodeBase64(text.data(), reinterpret_cast<unsigned char*>(bytes.data()),
                                   static_cast<int>(text.size()), 0, false);
    bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return bytes;
}

} // namespace zarvex
