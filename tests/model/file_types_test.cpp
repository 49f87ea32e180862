#include "model/file_types.h"

#include "model/data_types.h"
#include "support/encoders.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace zarvex {
namespace {

using test::Bytes;

constexpr int kWmv = 56, kWma = 57, kAsf = 62, kWav = 4, kAvi = 5, kWebp = 69, kWebm = 70, kXif = 58,
              kTif = 20;
constexpr int kRar = 39, kRar5 = 67, kPic = 42, kArj = 34, kPar2 = 63, kMp4 = 65, kFlac = 68, kOgg = 61,
              k7z = 59;

// A byte string from a literal, embedded zero bytes included.
template <std::size_t N> Bytes L(const char (&text)[N])
{
    return Bytes(text, N - 1);
}

// ---------------------------------------------------------------- encoders
// Each returns one data line of its encoding, with its line feed.

// UU/XX lines hold at most 45 bytes; Base64 lines get a multiple of 3 (no padding).
std::string UULine(const Bytes& data)
{
    return test::EncodeSixBitLine(data, test::kUUAlphabetBackquote) + "\n";
}
std::string XXLine(const Bytes& data)
{
    return test::EncodeSixBitLine(data, test::kXXAlphabetText) + "\n";
}
std::string B64Line(const Bytes& data)
{
    return test::Base64Encode(data) + "\n";
}

std::string YencLine(const Bytes& data)
{
    std::string out;
    for (unsigned char b : data) {
        const unsigned char c = static_cast<unsigned char>(b + 42);
        if (c == 0 || c == '\n' || c == '\r' || c == '=') {
            out += '=';
            out += static_cast<char>(c + 64);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\n";
}

int DetectLine(const std::string& line, std::uint32_t msgType)
{
    return DetectDataType(line.c_str(), static_cast<int>(line.size()), msgType);
}

// ---------------------------------------------------------------- signatures

// GUID, 64-bit header size, then the count of header objects at byte 24.
Bytes AsfHeader(unsigned char objectCount, char sizeByte2 = '\0')
{
    Bytes h =
        L("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C\x9A\x13\x00\x00\x00\x00\x00\x00");
    h[20] = sizeByte2; // only the two low bytes of the size are free
    h += static_cast<char>(objectCount);
    return h + L("\x00\x00\x00\x01\x02");
}

Bytes EbmlHead(std::string_view docType)
{
    Bytes h =
        L("\x1A\x45\xDF\xA3\x9F\x42\x86\x81\x01\x42\xF7\x81\x01\x42\xF2\x81\x04\x42\xF3\x81\x08\x42\x82");
    h += static_cast<char>(0x80 | docType.size());
    h += docType;
    return h + L("\x42\x87\x81\x04");
}

// Every sample lies in a zero-filled buffer of the full sample size, as the
// decoder leaves it: the zero fill must never complete a signature.
TEST(DetectSignature, SignatureTable)
{
    const Bytes riff = L("RIFF\x24\x08\x01\x00");
    const Bytes tiff = L("II*\0\x08\0\0\0");
    const Bytes webm = EbmlHead("webm");
    const int webmEnd = static_cast<int>(webm.find("webm") + 4);
    struct Case
    {
        Bytes bytes;
        std::optional<int> len; // the whole sample when unset
        int expected;
    };
    const std::vector<Case> cases = {
        {L("GIF87a\x20\x03\x58\x02"), {}, DT_GIF},
        {L("GIF89a\x20\x03\x58\x02"), {}, DT_GIF},
        {L("GIF88a\x20\x03\x58\x02"), {}, DT_UNKNOWN},
        {riff + "WAVEfmt ", {}, kWav},
        {riff + "AVI LIST", {}, kAvi},
        {riff + "WEBPVP8 ", {}, kWebp},
        {riff + "WEBPVP8L", {}, DT_UNKNOWN}, // only the lossy WebP chunk is listed
        {riff + "CDXAfmt ", {}, DT_UNKNOWN},
        {AsfHeader(0x08), {}, kWmv},
        {AsfHeader(0x07), {}, kWma},
        {AsfHeader(0x05), {}, kWma},
        {AsfHeader(0x06), {}, kAsf},
        {AsfHeader(0x09), {}, kAsf},
        {AsfHeader(0x08, '\x01'), {}, kAsf}, // a huge header size is plain ASF
        {webm, {}, kWebm},
        {EbmlHead("matroska"), {}, DT_UNKNOWN},
        {webm, webmEnd, kWebm},
        {webm, webmEnd - 1, DT_UNKNOWN}, // the DocType must lie inside the filled bytes
        {L("Rar!\x1A\x07"), 6, DT_UNKNOWN},
        {L("Rar!\x1A\x07"), 7, kRar},
        {L("\x89PNG\r\n\x1A\n"), 8, DT_UNKNOWN},
        {L("\x89PNG\r\n\x1A\n"), 9, DT_PNG},
        {tiff + L(" eXtended"), {}, kXif}, // the first matching record wins
        {tiff + L("\x10\0\x00\x01"), {}, kTif},
        {L("Rar!\x1A\x07\x01\x00\x33\x92"), {}, kRar5},
        {L("MM\0*\0\0\0\x08\0\x10"), {}, kTif},
        {L("\xFF\xD8\xFF"), {}, DT_JPG},
        {L("\xFF\xD8\xFF"), 0, DT_UNKNOWN},
        {L("\xFF\xD8\xFF"), -5, DT_UNKNOWN}};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        Bytes sample(kTypeSampleSize, '\0');
        ASSERT_LE(cases[i].bytes.size(), sample.size());
        sample.replace(0, cases[i].bytes.size(), cases[i].bytes);
        const int len = cases[i].len.value_or(static_cast<int>(cases[i].bytes.size()));
        EXPECT_EQ(DetectSignature(reinterpret_cast<const unsigned char*>(sample.data()), len),
                  cases[i].expected)
            << "case " << i;
    }
    EXPECT_EQ(DetectSignature(nullptr, 10), DT_UNKNOWN);
}

// ---------------------------------------------------------------- real headers, every encoding

// The first bytes of real files, padded with data to a full line, must show
// their type through every encoding.
TEST(DetectDataType, RealHeadersInEveryEncoding)
{
    struct RealHeader
    {
        int dataType;
        Bytes head;
    };
    const std::vector<RealHeader> headers = {
        {DT_JPG, L("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x01\x00\x48\x00\x48\x00\x00")},
        {DT_PNG, L("\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR\x00\x00\x02\x80\x00\x00\x01\xE0\x08\x06")},
        {DT_ZIP, L("PK\x03\x04\x14\x00\x00\x00\x08\x00\x4B\x7D\x21\x53")},
        {kRar, L("Rar!\x1A\x07\x00\xCF\x90\x73\x00\x00\x0D\x00\x00\x00")},
        {kRar5, L("Rar!\x1A\x07\x01\x00\x33\x92\xB5\xE5\x0A\x01\x05\x06\x00")},
        {k7z, L("7z\xBC\xAF\x27\x1C\x00\x04\x8D\x9B\xD5\x0F")},
        {DT_PDF, L("%PDF-1.3\r\n%\xE2\xE3\xCF\xD3\r\n")},
        {DT_GIF, L("GIF89a\x40\x01\xF0\x00\xF7\x00\x00")},
        {kPar2, L("PAR2\0PKT\x5C\x00\x00\x00\x00\x00\x00\x00")},
        {kMp4, L("\x00\x00\x00\x20"
                 "ftypmp42\x00\x00\x00\x00"
                 "mp42isom")},
        {kFlac, L("fLaC\x00\x00\x00\x22\x10\x00\x10\x00")},
        {kOgg, L("OggS\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00")}};
    for (const RealHeader& header : headers) {
        const Bytes head = header.head + test::RandomBytes(57 - header.head.size(), 11);
        const std::vector<std::pair<std::string, std::uint32_t>> lines = {
            {UULine(head.substr(0, 45)), MT_UU},
            {XXLine(head.substr(0, 45)), MT_XX},
            {B64Line(head), MT_B64},
            {YencLine(head), MT_YENC}};
        for (const auto& [line, msgType] : lines)
            EXPECT_EQ(DetectLine(line, msgType), header.dataType) << line;
    }
}

// ---------------------------------------------------------------- line rules

TEST(DetectDataType, LineRules)
{
    // Fifteen bytes of a JPEG head, none of which need escaping.
    const Bytes jpeg = L("\xFF\xD8\xFF\xDB\x00\x43\x00\x08\x06\x06\x07\x06\x05\x08\x07\x07");
    const std::string line15 = YencLine(jpeg.substr(0, 15)).substr(0, 15);
    ASSERT_EQ(line15.size(), 15u);
    // 20 bytes of a WMV header: too few for the 25-byte Windows Media record,
    // enough for the 16-byte ASF one.
    const Bytes pic = L("\x01\x00\x00\x00\x01\x00\x08\x00\x44\x00\x00\x00\x00\x0C\x7F\x09\x06");
    // E0 encodes to a line feed and 13 to "=": both travel escaped.
    const std::string docLine =
        YencLine(L("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\x00\x00\x00\x00\x00\x00\x00\x00\x3E\x00\x03\x00"));
    const std::string flashLine =
        YencLine(L("FWS\x13\x8C\x0B\x00\x00\x78\x00\x05\x5F\x00\x00\x0F\xA0\x00\x00\x18\x01\x00"));
    ASSERT_NE(docLine.find("=J"), std::string::npos);
    ASSERT_NE(flashLine.find("=}"), std::string::npos);
    std::string loneEscape = YencLine(L("\xFF\xD8\xFF\xE1\x00\x10\x45\x78\x69\x66\x00\x00\x4D\x4D\x00\x2A"));
    loneEscape.back() = '=';
    // A webm DocType at byte 63 lies outside the 63 bytes that are decoded.
    Bytes matroska = EbmlHead("matroska");
    matroska.resize(kTypeSampleFill, '\x01');
    const std::string webmOutside = YencLine(matroska + L("\x42\x82\x84webm"));
    matroska.resize(kTypeSampleFill - 7);
    const std::string webmInside = YencLine(matroska + L("\x42\x82\x84webm"));
    const std::string jpegLine = YencLine(jpeg);

    struct Case
    {
        std::string line;
        std::uint32_t msgType;
        int expected;
    };
    const std::vector<Case> cases = {
        {line15, MT_YENC, DT_UNKNOWN}, // a fifteen-character line is never examined
        {jpegLine, MT_YENC, DT_JPG},
        {YencLine(AsfHeader(0x08).substr(0, 20)), MT_YENC, kAsf},
        {YencLine(AsfHeader(0x08)), MT_YENC, kWmv},
        {YencLine(pic.substr(0, 16)), MT_YENC, DT_UNKNOWN},
        {YencLine(pic), MT_YENC, kPic},
        {docLine, MT_YENC, 7},
        {flashLine, MT_YENC, 64},
        {loneEscape, MT_YENC, DT_JPG},
        {loneEscape + "\r\n", MT_YENC, DT_JPG},
        {webmOutside, MT_YENC, DT_UNKNOWN},
        {webmInside, MT_YENC, kWebm},
        {jpegLine, MT_NONE, DT_UNKNOWN}, // QP and plain text are never examined
        {jpegLine, MT_QP, DT_UNKNOWN},
        {jpegLine, MT_TXT, DT_UNKNOWN},
        {jpegLine, MT_YENC | MT_QP, DT_UNKNOWN}, // one encoding bit at a time
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(DetectLine(cases[i].line, cases[i].msgType), cases[i].expected) << "case " << i;
    EXPECT_EQ(DetectDataType(nullptr, 40, MT_YENC), DT_UNKNOWN);
}

// ---------------------------------------------------------------- extensions

TEST(MatchExtension, DigitsWildcardsCaseAndEmptyPatterns)
{
    struct Case
    {
        const char* pattern;
        const char* ext;
        bool match;
    };
    constexpr Case kCases[] = {{"R##", "r07", true}, {"R##", ".R07", true},  {".R##", "R99", true},
                               {"R##", "R7", false}, {"R##", "RA7", false},  {"R##", "R070", false},
                               {"?AR", "jar", true}, {"docx", "DOCX", true}, {"#", "x", false},
                               {"", "", false},      {".", ".", false},      {"", "zip", false}};
    for (const Case& c : kCases)
        EXPECT_EQ(MatchExtension(c.pattern, c.ext), c.match) << c.pattern << " " << c.ext;
}

// For rar the first letter of a volume extension decides; a dot in a folder is no extension.
TEST(AddTypeExtension, DefaultLists)
{
    using Names = std::vector<std::pair<const char*, const char*>>; // name, expected
    const std::vector<std::pair<int, Names>> cases = {
        {DT_ZIP,
         {{"report.docx", "report.docx"}, {"Report.XLSX", "Report.XLSX"}, {"report.dat", "report.zip"}}},
        {kMp4, {{"clip.mkv", "clip.mkv"}}},
        {46, {{"song.flac", "song.flac"}}},
        {kRar5, {{"book.rar", "book.rar"}, {"book.dat", "book.rar5"}}},
        {kRar, {{"pics.r07", "pics.r07"}, {"pics.s01", "pics.s01"}, {"pics.001", "pics.001"}}},
        {kRar, {{"pics.part", "pics.rar"}, {"pics.Rx", "pics.Rx"}}},
        {kArj, {{"old.a01", "old.a01"}, {"old.b01", "old.arj"}}},
        {49, {{"set.c00", "set.c00"}}},
        {48, {{"set.j02", "set.j02"}}},
        {DT_TXT, {{"notes.uue", "notes.uue"}, {"notes.UU", "notes.UU"}, {"notes.hqx2", "notes.hqx2"}}},
        {DT_TXT, {{"notes.uux", "notes.txt"}, {"notes.abc", "notes.txt"}, {"NOTES.TXT", "NOTES.TXT"}}},
        {DT_JPG, {{"photo", "photo.jpg"}, {"photo.", "photo.jpg"}, {"PHOTO.JPG", "PHOTO.JPG"}}},
        {DT_JPG,
         {{"v1.2/photo", "v1.2/photo.jpg"}, {"../photo", "../photo.jpg"}, {"..\\photo", "..\\photo.jpg"}}},
        {DT_MSAPP, {{"sheet.xls", "sheet.xls"}, {"sheet.db", "sheet.db"}, {"sheet.bin", "sheet.doc"}}},
        {DT_UNKNOWN, {{"data.bin", "data.bin"}, {"data", "data"}}},
        {-1, {{"data", "data"}}},
        {kDataTypeCount, {{"data", "data"}}}};
    for (const auto& [dataType, names] : cases)
        for (const auto& [name, expected] : names)
            EXPECT_EQ(AddTypeExtension(name, dataType), expected) << name << " " << dataType;
}

TEST(AddTypeExtension, EditedListsReplaceTheDefaultButNotTheFixedRules)
{
    TypeExtensionTable table;
    ASSERT_TRUE(table.SetAllowed(DT_EXE, ""));
    ASSERT_TRUE(table.SetAllowed(56, ""));
    EXPECT_EQ(AddTypeExtension("setup.dll", DT_EXE, table), "setup.dll");
    EXPECT_EQ(AddTypeExtension("setup.bin", DT_EXE, table), "setup.exe");
    EXPECT_EQ(AddTypeExtension("show.wma", kWmv, table), "show.wma");

    ASSERT_TRUE(table.SetAllowed(DT_ZIP, "CBZ, EPUB"));
    EXPECT_EQ(table.Allowed(DT_ZIP), "CBZ, EPUB");
    EXPECT_EQ(AddTypeExtension("comic.cbz", DT_ZIP, table), "comic.cbz");
    EXPECT_EQ(AddTypeExtension("book.epub", DT_ZIP, table), "book.epub");
    EXPECT_EQ(AddTypeExtension("report.docx", DT_ZIP, table), "report.zip");
    EXPECT_EQ(AddTypeExtension("comic.cbz", DT_ZIP), "comic.zip") << "the defaults stay as they were";

    // Types without a record take no list.
    EXPECT_FALSE(table.SetAllowed(DT_TXT, "DAT"));
    EXPECT_FALSE(table.SetAllowed(DT_UNKNOWN, "DAT"));
    EXPECT_FALSE(table.SetAllowed(500, "DAT"));
    EXPECT_EQ(AddTypeExtension("notes.dat", DT_TXT, table), "notes.txt");
}

TEST(TypeExtensionRecords, LookupsForThePreferences)
{
    ASSERT_EQ(TypeExtensionRecords().size(), static_cast<std::size_t>(kTypeExtensionRecordCount));
    ASSERT_NE(FindTypeExtensionRecord(kAsf), nullptr);
    EXPECT_EQ(FindTypeExtensionRecord(kAsf)->category, "audio/video file");
    for (int noRecord : {0, 22, 28, 32, 35, 36, 37, 45, 60, 68})
        EXPECT_EQ(FindTypeExtensionRecord(noRecord), nullptr) << noRecord;
    EXPECT_EQ(PrimaryExtension(kFlac), "flac") << "a type without record uses its short name";
}

} // namespace
} // namespace zarvex
