// The checks in front of the compface uncompressor and the Face header: the
// input is an X-Face value (whole, and line by line as the engine reads a
// folded header) and the lines of a Face header. An uncompressed face is a
// 446-byte image; the Base64 image never outgrows its text.
#include "fuzz_support.h"

#include "codec/face.h"

#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zarvex;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    FaceBitmap pixels{};
    const bool valid = UncompressXFace(text, pixels);
    if (valid && !IsXFaceText(text)) std::abort();
    if (valid && FaceBmp(pixels).size() != kFaceBmpSize) std::abort();

    XFaceWork work;
    std::string face;
    std::string_view rest = text;
    int lines = 0;
    while (!rest.empty() && lines < 64) {
        const std::size_t end = std::min(rest.find('\n'), rest.size() - 1) + 1;
        const std::string line(rest.substr(0, end));
        rest.remove_prefix(end);
        ++lines;
        const int r = DecodeXFaceLine(work, line.c_str(), static_cast<int>(line.size()), nullptr, rest.empty());
        if (r != 1 && r != -1) std::abort();
        if (work.text.size() > 8 * kMaxXFaceChars) std::abort();
        AddFaceLine(face, line);
    }
    if (face.size() > size) std::abort();
    if (DecodeFaceText(face).size() > face.size()) std::abort();
    return 0;
}
