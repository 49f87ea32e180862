// Sender images of mail headers: "X-Face:" (a 48 by 48 bitmap compressed
// with the compface algorithm, written as a monochrome BMP) and "Face:"
// (Base64 of a PNG image, written as it is).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace zarvex {

class CBufFile;

inline constexpr int kFaceSide = 48;
// One byte per pixel, row by row from the top; non-zero is a set (black) pixel.
using FaceBitmap = std::array<unsigned char, kFaceSide * kFaceSide>;
inline constexpr std::size_t kFaceBmpSize = 446;
// Longer compressed values do not fit the uncompressor's number (it would
// overrun it); real faces stay far below.
inline constexpr std::size_t kMaxXFaceChars = 640;

// True when `text` can be an X-Face value: printable characters "!".."~"
// with any white space between them, at least one and at most
// kMaxXFaceChars of them.
bool IsXFaceText(std::string_view text);
// Uncompresses an X-Face value into `pixels`; false when the text is no
// X-Face value, the uncompression fails or the text carries more than one
// face. Calls are serialised (the
// uncompressor keeps global state).
bool UncompressXFace(std::string_view text, FaceBitmap& pixels);
// The 446-byte monochrome BMP of a face: black and white palette, rows
// bottom-up, a set pixel is a 0 bit.
std::string FaceBmp(const FaceBitmap& pixels);

// The lines of one X-Face header as the engine reads them.
struct XFaceWork
{
    std::string text; // the compressed value collected so far
    bool started = false;
};
// Adds a line of the header ("X-Face: " taken off the first); on the last
// line the face is uncompressed and written to `out` as a BMP. 1 when the
// line was taken (and the image written), -1 when the face cannot be
// uncompressed.
int DecodeXFaceLine(XFaceWork& work, const char* line, int len, CBufFile* out, bool last);

// Adds a line of a "Face: " header to `text`: leading white space, a leading
// "Face: " (any case) and the line break go.
void AddFaceLine(std::string& text, std::string_view line);
// The image bytes the collected Base64 text carries.
std::string DecodeFaceText(std::string_view text);

} // namespace zarvex
