#include "model/file_types.h"

#include "model/data_types.h"
#include "support/encoders.h"
#include "support/test_support.h"
#include "support/yenc_posting.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace zarvex {
namespace {

using test::Bytes;

constexpr int kWmv = 56, kWma = 57, kAsf = 62, kWav = 4, kAvi = 5, kWebp = 69, kWebm = 70, kXif = 58;
constexpr int kTif = 20, kRar = 39, kRar5 = 67, kPic = 42, kArj = 34, kPar2 = 63, kMp4 = 65, kFlac = 68;
constexpr int kOgg = 61, k7z = 59;

// A byte string from a literal, embedded zero bytes included.
template <std::size_t N> Bytes L(const char (&text)[N])
{
    return Bytes(text, N - 1);
}

// One data line of `msgType` with its line feed: UU/XX take at most 45
// bytes, yEnc takes all of `data` on one line.
std::string Line(const Bytes& data, std::uint32_t msgType)
{
    if (msgType == MT_UU) return test::EncodeSixBitLine(data, test::kUUAlphabetBackquote) + "\n";
    if (msgType == MT_XX) return test::EncodeSixBitLine(data, test::kXXAlphabetText) + "\n";
    if (msgType == MT_B64) return test::Base64Encode(data) + "\n";
    return test::YencLines(data, 1 << 20)[0] + "\n";
}

int DetectLine(const std::string& line, std::uint32_t msgType)
{
    return DetectDataType(line.c_str(), static_cast<int>(line.size()), msgType);
}

// GUID, 64-bit header size, then the count of header objects at byte 24.
Bytes AsfHeader(unsigned char objectCount, char sizeByte2 = '\0')
{
    Bytes h = L("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C\x9A\x13\x00\x00\x00\x00\x00\x00");
    h[20] = sizeByte2; // only the two low bytes of the size are free
    return h + static_cast<char>(objectCount) + L("\x00\x00\x00\x01\x02");
}

Bytes EbmlHead(std::string_view docType)
{
    return L("\x1A\x45\xDF\xA3\x9F\x42\x86\x81\x01\x42\xF7\x81\x01\x42\xF2\x81\x04\x42\xF3\x81\x08\x42\x82") +
           static_cast<char>(0x80 | docType.size()) + Bytes(docType) + L("\x42\x87\x81\x04");
}

// Every sample lies in a zero-filled buffer of the full sample size, as the
// decoder leaves it: the zero fill must never complete a signature. Only the
// lossy WebP chunk is listed; a huge ASF header size is plain ASF; the webm
// DocType must lie inside the filled bytes; the first matching record wins.
TEST(DetectSignature, SignatureTable)
{
    const Bytes riff = L("RIFF\x24\x08\x01\x00"), tiff = L("II*\0\x08\0\0\0"), webm = EbmlHead("webm");
    const int webmEnd = static_cast<int>(webm.find("webm") + 4);
    // `len` unset: the whole sample.
    const struct { Bytes bytes; std::optional<int> len; int expected; } cases[] = {// clang-format off
        {L("GIF87a\x20\x03\x58\x02"), {}, DT_GIF}, {L("GIF89a\x20\x03\x58\x02"), {}, DT_GIF},
        {L("GIF88a\x20\x03\x58\x02"), {}, DT_UNKNOWN}, {riff + "WAVEfmt ", {}, kWav},
        {riff + "AVI LIST", {}, kAvi}, {riff + "WEBPVP8 ", {}, kWebp}, {riff + "WEBPVP8L", {}, DT_UNKNOWN},
        {riff + "CDXAfmt ", {}, DT_UNKNOWN}, {AsfHeader(0x08), {}, kWmv}, {AsfHeader(0x07), {}, kWma},
        {AsfHeader(0x05), {}, kWma}, {AsfHeader(0x06), {}, kAsf}, {AsfHeader(0x09), {}, kAsf},
        {AsfHeader(0x08, '\x01'), {}, kAsf}, {webm, {}, kWebm}, {EbmlHead("matroska"), {}, DT_UNKNOWN},
        {webm, webmEnd, kWebm}, {webm, webmEnd - 1, DT_UNKNOWN}, {L("Rar!\x1A\x07"), 6, DT_UNKNOWN},
        {L("Rar!\x1A\x07"), 7, kRar}, {L("\x89PNG\r\n\x1A\n"), 8, DT_UNKNOWN},
        {L("\x89PNG\r\n\x1A\n"), 9, DT_PNG}, {tiff + L(" eXtended"), {}, kXif},
        {tiff + L("\x10\0\x00\x01"), {}, kTif}, {L("Rar!\x1A\x07\x01\x00\x33\x92"), {}, kRar5},
        {L("MM\0*\0\0\0\x08\0\x10"), {}, kTif}, {L("\xFF\xD8\xFF"), {}, DT_JPG},
        {L("\xFF\xD8\xFF"), 0, DT_UNKNOWN}, {L("\xFF\xD8\xFF"), -5, DT_UNKNOWN}};
    // clang-format on
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        Bytes sample(kTypeSampleSize, '\0');
        sample.replace(0, cases[i].bytes.size(), cases[i].bytes);
        const int len = cases[i].len.value_or(static_cast<int>(cases[i].bytes.size()));
        EXPECT_EQ(DetectSignature(reinterpret_cast<const unsigned char*>(sample.data()), len),
                  cases[i].expected)
            << "case " << i;
    }
    EXPECT_EQ(DetectSignature(nullptr, 10), DT_UNKNOWN);
}

// The first bytes of real files, padded with data to a full line, show
// their type through every encoding.
TEST(DetectDataType, RealHeadersInEveryEncoding)
{
    // clang-format off
    const std::pair<int, Bytes> headers[] = {
        {DT_JPG, L("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x01\x00\x48\x00\x48\x00\x00")},
        {DT_PNG, L("\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR\x00\x00\x02\x80\x00\x00\x01\xE0\x08\x06")},
        {DT_ZIP, L("PK\x03\x04\x14\x00\x00\x00\x08\x00\x4B\x7D\x21\x53")},
        {kRar, L("Rar!\x1A\x07\x00\xCF\x90\x73\x00\x00\x0D\x00\x00\x00")},
        {kRar5, L("Rar!\x1A\x07\x01\x00\x33\x92\xB5\xE5\x0A\x01\x05\x06\x00")},
        {k7z, L("7z\xBC\xAF\x27\x1C\x00\x04\x8D\x9B\xD5\x0F")}, {DT_PDF, L("%PDF-1.3\r\n%\xE2\xE3\xCF\xD3\r\n")},
        {DT_GIF, L("GIF89a\x40\x01\xF0\x00\xF7\x00\x00")}, {kPar2, L("PAR2\0PKT\x5C\x00\x00\x00\x00\x00\x00\x00")},
        {kMp4, L("\x00\x00\x00\x20" "ftypmp42\x00\x00\x00\x00" "mp42isom")},
        {kFlac, L("fLaC\x00\x00\x00\x22\x10\x00\x10\x00")}, {kOgg, L("OggS\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00")}};
    // clang-format on
    for (const auto& [dataType, start] : headers) {
        const Bytes head = start + test::RandomBytes(57 - start.size(), 11);
        for (std::uint32_t msgType : {MT_UU, MT_XX, MT_B64, MT_YENC}) {
            const std::string line = Line(msgType & (MT_UU | MT_XX) ? head.substr(0, 45) : head, msgType);
            EXPECT_EQ(DetectLine(line, msgType), dataType) << line;
        }
    }
}

TEST(DetectDataType, LineRules)
{
    // Fifteen bytes of a JPEG head, none of which need escaping.
    const Bytes jpeg = L("\xFF\xD8\xFF\xDB\x00\x43\x00\x08\x06\x06\x07\x06\x05\x08\x07\x07");
    const std::string jpegLine = Line(jpeg, MT_YENC), line15 = Line(jpeg.substr(0, 15), MT_YENC).substr(0, 15);
    // 17 bytes of a PIC header: the first 16 are too few for its record.
    const Bytes pic = L("\x01\x00\x00\x00\x01\x00\x08\x00\x44\x00\x00\x00\x00\x0C\x7F\x09\x06");
    // E0 encodes to a line feed and 13 to "=": both travel escaped.
    const std::string docLine = Line(L("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\0\0\0\0\0\0\0\0\x3E\0\x03\0"), MT_YENC);
    const std::string flashLine = Line(L("FWS\x13\x8C\x0B\0\0\x78\0\x05\x5F\0\0\x0F\xA0\0\0\x18\x01\0"), MT_YENC);
    ASSERT_TRUE(docLine.find("=J") != std::string::npos && flashLine.find("=}") != std::string::npos);
    std::string loneEscape = Line(L("\xFF\xD8\xFF\xE1\0\x10\x45\x78\x69\x66\0\0\x4D\x4D\0\x2A"), MT_YENC);
    loneEscape.back() = '=';
    // A webm DocType at byte 63 lies outside the 63 bytes that are decoded.
    Bytes matroska = EbmlHead("matroska");
    matroska.resize(kTypeSampleFill, '\x01');
    const std::string webmOutside = Line(matroska + L("\x42\x82\x84webm"), MT_YENC);
    matroska.resize(kTypeSampleFill - 7);
    const std::string webmInside = Line(matroska + L("\x42\x82\x84webm"), MT_YENC);
    const struct { std::string line; std::uint32_t msgType; int expected; } cases[] = {
        // A fifteen-character line is never examined; 20 bytes of ASF are too short for the WMV record.
        {line15, MT_YENC, DT_UNKNOWN}, {jpegLine, MT_YENC, DT_JPG},
        {Line(AsfHeader(0x08).substr(0, 20), MT_YENC), MT_YENC, kAsf}, {Line(AsfHeader(0x08), MT_YENC), MT_YENC, kWmv},
        {Line(pic.substr(0, 16), MT_YENC), MT_YENC, DT_UNKNOWN}, {Line(pic, MT_YENC), MT_YENC, kPic},
        {docLine, MT_YENC, 7}, {flashLine, MT_YENC, 64}, {loneEscape, MT_YENC, DT_JPG},
        {loneEscape + "\r\n", MT_YENC, DT_JPG}, {webmOutside, MT_YENC, DT_UNKNOWN}, {webmInside, MT_YENC, kWebm},
        // QP and plain text are never examined; one encoding bit at a time.
        {jpegLine, MT_NONE, DT_UNKNOWN}, {jpegLine, MT_QP, DT_UNKNOWN}, {jpegLine, MT_TXT, DT_UNKNOWN},
        {jpegLine, MT_YENC | MT_QP, DT_UNKNOWN}};
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(DetectLine(cases[i].line, cases[i].msgType), cases[i].expected) << "case " << i;
    EXPECT_EQ(DetectDataType(nullptr, 40, MT_YENC), DT_UNKNOWN);
}

TEST(MatchExtension, DigitsWildcardsCaseAndEmptyPatterns)
{
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"R##", "r07", true},  {"R##", ".R07", true},  {".R##", "R99", true}, {"R##", "R7", false},
        {"R##", "RA7", false}, {"R##", "R070", false}, {"?AR", "jar", true},  {"docx", "DOCX", true},
        {"#", "x", false},     {"", "", false},        {".", ".", false},     {"", "zip", false}};
    for (const auto& [pattern, ext, match] : cases)
        EXPECT_EQ(MatchExtension(pattern, ext), match) << pattern << " " << ext;
}

// For rar the first letter of a volume extension decides; a dot in a folder is no extension.
TEST(AddTypeExtension, DefaultLists)
{
    // clang-format off
    const std::tuple<int, const char*, const char*> cases[] = {
        {DT_ZIP, "Report.XLSX", "Report.XLSX"}, {DT_ZIP, "report.dat", "report.zip"},
        {kRar5, "book.rar", "book.rar"}, {kRar5, "book.dat", "book.rar5"}, {kRar, "pics.r07", "pics.r07"},
        {kRar, "pics.s01", "pics.s01"}, {kRar, "pics.001", "pics.001"}, {kRar, "pics.part", "pics.rar"},
        {kRar, "pics.Rx", "pics.Rx"}, {kArj, "old.a01", "old.a01"}, {kArj, "old.b01", "old.arj"},
        {DT_TXT, "notes.UU", "notes.UU"}, {DT_TXT, "fix.patch", "fix.patch"}, {DT_TXT, "notes.zip", "notes.txt"},
        {DT_ZIP, "book.epub", "book.epub"}, {DT_ZIP, "a.odt", "a.odt"}, {DT_JPG, "p.jpeg", "p.jpeg"},
        {20, "scan.tiff", "scan.tiff"}, {DT_HTM, "page.html", "page.html"}, {45, "winmail.dat", "winmail.dat"},
        {DT_TXT, "NOTES.TXT", "NOTES.TXT"}, {DT_JPG, "photo", "photo.jpg"}, {DT_JPG, "photo.", "photo.jpg"},
        {DT_JPG, "PHOTO.JPG", "PHOTO.JPG"}, {DT_JPG, "v1.2/photo", "v1.2/photo.jpg"},
        {DT_JPG, "../photo", "../photo.jpg"}, {DT_JPG, "..\\photo", "..\\photo.jpg"},
        {DT_MSAPP, "sheet.xls", "sheet.xls"}, {DT_MSAPP, "sheet.bin", "sheet.doc"},
        {DT_UNKNOWN, "data.bin", "data.bin"}, {DT_UNKNOWN, "data", "data"}, {-1, "data", "data"},
        {kDataTypeCount, "data", "data"}};
    // clang-format on
    for (const auto& [dataType, name, expected] : cases)
        EXPECT_EQ(AddTypeExtension(name, dataType), expected) << name << " " << dataType;
}

TEST(AddTypeExtension, EditedListsReplaceTheDefaultButNotTheFixedRules)
{
    TypeExtensionTable table;
    ASSERT_TRUE(table.SetAllowed(DT_EXE, ""));
    ASSERT_TRUE(table.SetAllowed(kWmv, ""));
    ASSERT_TRUE(table.SetAllowed(DT_ZIP, "QQQ, XPS"));
    EXPECT_EQ(table.Allowed(DT_ZIP), "QQQ, XPS");
    // Types without a record take no list.
    for (const int noRecord : std::vector<int>{DT_TXT, DT_UNKNOWN, 500})
        EXPECT_FALSE(table.SetAllowed(noRecord, "DAT")) << noRecord;
    const std::tuple<int, const char*, const char*> cases[] = {
        {DT_EXE, "setup.dll", "setup.dll"}, {DT_EXE, "setup.bin", "setup.exe"},
        {kWmv, "show.wma", "show.wma"},     {DT_ZIP, "comic.qqq", "comic.qqq"},
        {DT_ZIP, "book.epub", "book.epub"}, {DT_ZIP, "report.xlsb", "report.zip"},
        {DT_TXT, "notes.exe", "notes.txt"}};
    for (const auto& [dataType, name, expected] : cases)
        EXPECT_EQ(AddTypeExtension(name, dataType, table), expected) << name;
    EXPECT_EQ(AddTypeExtension("comic.qqq", DT_ZIP), "comic.zip") << "the defaults stay as they were";
}

} // namespace
} // namespace zarvex
