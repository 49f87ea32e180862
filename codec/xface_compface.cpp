// The one place that includes the compface library's header: it defines
// short macro names and global tables, and its functions keep their state
// in globals, so every call goes through the lock below.
#include "codec/face.h"

#include <mutex>

extern "C" {
#include <compface.h>
}

namespace zarvex {

namespace {

std::mutex g_CompfaceLock;

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The uncompressor writes the face as 144 words "0xXXXX," (three a row,
// the leftmost pixel in the highest bit). Returns false unless all are there.
bool ParseFaceWords(const char* text, FaceBitmap& pixels)
{
    std::size_t pixel = 0;
    for (const char* p = text; *p && pixel < pixels.size(); ++p) {
        if (p[0] != '0' || (p[1] != 'x' && p[1] != 'X')) continue;
        unsigned word = 0;
        int digits = 0;
        for (p += 2; digits < 4 && HexDigit(*p) >= 0; ++p, ++digits)
            word = (word << 4) | static_cast<unsigned>(HexDigit(*p));
        if (digits != 4) return false;
        for (int bit = 15; bit >= 0; --bit)
            pixels[pixel++] = static_cast<unsigned char>((word >> bit) & 1);
        --p;
    }
    return pixel == pixels.size();
}

} // namespace

bool UncompressXFace(std::string_view text, FaceBitmap& pixels)
{
    if (!IsXFaceText(text)) return false;
    // The face is written over the input; the library wants 2 KB at least.
    // Only the printable characters go in (the library skips the others).
    static_assert(kMaxXFaceChars < 2048);
    char buffer[4096] = {};
    std::size_t n = 0;
    for (const char c : text)
        if (c >= '!' && c <= '~') buffer[n++] = c;
    std::lock_guard<std::mutex> lock(g_CompfaceLock);
    compface_xbitmap = 0;
    if (uncompface(buffer) < 0) return false;
    // A face uses up the whole number its text spells; what is left over
    // means the text held more than a face (junk that would otherwise still
    // give some made-up image).
    if (B.b_words != 0) return false;
    return ParseFaceWords(buffer, pixels);
}

} // namespace zarvex
