#include "codec/face.h"

#include "tests/codec/codec_helpers.h"

#include <gtest/gtest.h>

namespace zarvex {
namespace {

// A known face: a ring with a diagonal hatch.
FaceBitmap KnownFace()
{
    FaceBitmap f{};
    for (int y = 0; y < kFaceSide; ++y)
        for (int x = 0; x < kFaceSide; ++x) {
            const int d = (x - 24) * (x - 24) + (y - 24) * (y - 24);
            f[static_cast<std::size_t>(y * kFaceSide + x)] = (d < 400 && d > 150) || (x + y) % 7 == 0;
        }
    return f;
}

TEST(FaceBmp, LayoutAndPixels)
{
    const FaceBitmap face = KnownFace();
    const std::string bmp = FaceBmp(face);
    ASSERT_EQ(bmp.size(), kFaceBmpSize);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(static_cast<unsigned char>(bmp[2]) | static_cast<unsigned char>(bmp[3]) << 8, 446);
    EXPECT_EQ(bmp[10], 62);
    EXPECT_EQ(bmp[28], 1); // bits per pixel
    EXPECT_EQ(bmp.substr(54, 8), std::string("\0\0\0\0\xFF\xFF\xFF\0", 8));
    // Rows bottom up, 8 bytes each, a set bit white.
    for (int y = 0; y < kFaceSide; ++y)
        for (int x = 0; x < kFaceSide; ++x) {
            const auto byte =
                static_cast<unsigned char>(bmp[62 + static_cast<std::size_t>((47 - y) * 8 + x / 8)]);
            ASSERT_EQ((byte >> (7 - x % 8) & 1) == 0, face[static_cast<std::size_t>(y * kFaceSide + x)] != 0)
                << x << "," << y;
        }
}

// Hostile values are refused before uncompressing; the longest that reaches
// the uncompressor runs safely and is refused for the number it leaves over.
TEST(XFace, HostileValuesRefusedBeforeUncompressing)
{
    FaceBitmap f{};
    for (const std::string& text :
         {std::string(), std::string(" \n\t "), std::string(1000, 'z'), std::string(kMaxXFaceChars + 1, '~'),
          std::string("abc\351def"), std::string("ab\0cd", 5)})
        EXPECT_FALSE(IsXFaceText(text) || UncompressXFace(text, f)) << text;
    EXPECT_TRUE(IsXFaceText(std::string(kMaxXFaceChars, 'z')));
    EXPECT_FALSE(UncompressXFace(std::string(kMaxXFaceChars, 'z'), f));
}

TEST(XFace, LinesCollectAndFailureGivesMinusOne)
{
    XFaceWork work;
    EXPECT_EQ(DecodeXFaceLine(work, "X-Face: abc\n", 12, nullptr, false), 1);
    EXPECT_EQ(work.text, "abc\n");
    EXPECT_EQ(DecodeXFaceLine(work, " \xE9\n", 3, nullptr, true), -1);
}

TEST(Face, Base64LinesGiveTheImage)
{
    const std::string png = "\x89PNG\r\n\x1a\n" + test::RandomBytes(200, 6);
    const std::string b64 = test::Base64Encode(png);
    std::string text;
    AddFaceLine(text, "face: " + b64.substr(0, 100) + "\r\n");
    AddFaceLine(text, "\t" + b64.substr(100) + "\n");
    EXPECT_EQ(text, b64);
    EXPECT_EQ(DecodeFaceText(text), png);
}

} // namespace
} // namespace zarvex
