#include "model/file_types.h"

#include "model/data_types.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>

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

int Detect(const Bytes& sample)
{
    return DetectSignature(reinterpret_cast<const unsigned char*>(sample.data()),
                           static_cast<int>(sample.size()));
}

// ---------------------------------------------------------------- encoders
// Each returns one data line of its encoding, with its line feed.

constexpr std::string_view kB64Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kXXAlphabet = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

char UUChar(unsigned v)
{
    return v == 0 ? '`' : static_cast<char>(' ' + v);
}
char XXChar(unsigned v)
{
    return kXXAlphabet[v];
}

template <typename Enc> std::string SixBitGroups(const Bytes& data, Enc enc)
{
    std::string out;
    for (std::size_t i = 0; i < data.size(); i += 3) {
        const unsigned b0 = static_cast<unsigned char>(data[i]);
        const unsigned b1 = i + 1 < data.size() ? static_cast<unsigned char>(data[i + 1]) : 0;
        const unsigned b2 = i + 2 < data.size() ? static_cast<unsigned char>(data[i + 2]) : 0;
        out += enc(b0 >> 2);
        out += enc(((b0 & 3) << 4) | (b1 >> 4));
        out += enc(((b1 & 15) << 2) | (b2 >> 6));
        out += enc(b2 & 63);
    }
    return out;
}

std::string UULine(const Bytes& data) // at most 45 bytes
{
    return UUChar(static_cast<unsigned>(data.size())) + SixBitGroups(data, UUChar) + "\n";
}

std::string XXLine(const Bytes& data)
{
    return XXChar(static_cast<unsigned>(data.size())) + SixBitGroups(data, XXChar) + "\n";
}

std::string Base64Line(const Bytes& data) // a multiple of 3 bytes: no padding
{
    return SixBitGroups(data, [](unsigned v) { return kB64Alphabet[v]; }) + "\n";
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

TEST(DetectSignature, GifAcceptsBothVersions)
{
    EXPECT_EQ(Detect(L("GIF87a\x20\x03\x58\x02")), DT_GIF);
    EXPECT_EQ(Detect(L("GIF89a\x20\x03\x58\x02")), DT_GIF);
    EXPECT_EQ(Detect(L("GIF88a\x20\x03\x58\x02")), DT_UNKNOWN);
}

TEST(DetectSignature, RiffContainersByTheirFormTag)
{
    const Bytes size = L("\x24\x08\x01\x00");
    EXPECT_EQ(Detect("RIFF" + size + "WAVEfmt "), kWav);
    EXPECT_EQ(Detect("RIFF" + size + "AVI LIST"), kAvi);
    EXPECT_EQ(Detect("RIFF" + size + "WEBPVP8 "), kWebp);
    EXPECT_EQ(Detect("RIFF" + size + "WEBPVP8L"), DT_UNKNOWN) << "only the lossy WebP chunk is listed";
    EXPECT_EQ(Detect("RIFF" + size + "CDXAfmt "), DT_UNKNOWN);
}

// GUID, 64-bit header size, then the count of header objects at byte 24.
Bytes AsfHeader(unsigned char objectCount)
{
    Bytes h = L("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C");
    h += L("\x9A\x13\x00\x00\x00\x00\x00\x00");
    h += static_cast<char>(objectCount);
    h += L("\x00\x00\x00\x01\x02");
    return h;
}

TEST(DetectSignature, AsfHeaderObjectCountTellsVideoFromAudio)
{
    EXPECT_EQ(Detect(AsfHeader(0x08)), kWmv);
    EXPECT_EQ(Detect(AsfHeader(0x07)), kWma);
    EXPECT_EQ(Detect(AsfHeader(0x05)), kWma);
    EXPECT_EQ(Detect(AsfHeader(0x06)), kAsf);
    EXPECT_EQ(Detect(AsfHeader(0x09)), kAsf);
}

TEST(DetectSignature, AsfWithAHugeHeaderSizeIsPlainAsf)
{
    Bytes h = AsfHeader(0x08);
    h[20] = '\x01'; // only the two low bytes of the size are free
    EXPECT_EQ(Detect(h), kAsf);
}

Bytes EbmlHead(std::string_view docType)
{
    Bytes h = L("\x1A\x45\xDF\xA3\x9F\x42\x86\x81\x01\x42\xF7\x81\x01\x42\xF2\x81\x04\x42\xF3\x81\x08");
    h += L("\x42\x82");
    h += static_cast<char>(0x80 | docType.size());
    h += docType;
    return h + L("\x42\x87\x81\x04");
}

TEST(DetectSignature, EbmlIsWebmOnlyWithItsDocType)
{
    EXPECT_EQ(Detect(EbmlHead("webm")), kWebm);
    EXPECT_EQ(Detect(EbmlHead("matroska")), DT_UNKNOWN);
}

TEST(DetectSignature, WebmDocTypeMustLieInsideTheFilledBytes)
{
    const Bytes head = EbmlHead("webm");
    const std::size_t end = head.find("webm") + 4;
    Bytes sample(kTypeSampleSize, '\0');
    sample.replace(0, head.size(), head);
    const auto* p = reinterpret_cast<const unsigned char*>(sample.data());
    EXPECT_EQ(DetectSignature(p, static_cast<int>(end)), kWebm);
    EXPECT_EQ(DetectSignature(p, static_cast<int>(end) - 1), DT_UNKNOWN);
}

TEST(DetectSignature, SignatureLongerThanTheFilledBytesNeverMatches)
{
    // The zero fill after the decoded bytes would complete these patterns.
    std::array<unsigned char, kTypeSampleSize> sample{};
    const Bytes rar = L("Rar!\x1A\x07");
    std::copy(rar.begin(), rar.end(), sample.begin());
    EXPECT_EQ(DetectSignature(sample.data(), 6), DT_UNKNOWN);
    EXPECT_EQ(DetectSignature(sample.data(), 7), kRar);

    const Bytes png = L("\x89PNG\r\n\x1A\n");
    std::copy(png.begin(), png.end(), sample.begin());
    EXPECT_EQ(DetectSignature(sample.data(), 8), DT_UNKNOWN);
    EXPECT_EQ(DetectSignature(sample.data(), 9), DT_PNG);
}

TEST(DetectSignature, FirstMatchingRecordWins)
{
    const Bytes tiff = L("II*\0\x08\0\0\0");
    EXPECT_EQ(Detect(tiff + L(" eXtended")), kXif);
    EXPECT_EQ(Detect(tiff + L("\x10\0\x00\x01")), kTif);
    EXPECT_EQ(Detect(L("Rar!\x1A\x07\x01\x00\x33\x92")), kRar5);
    EXPECT_EQ(Detect(L("MM\0*\0\0\0\x08\0\x10")), kTif);
}

TEST(DetectSignature, NothingToLookAt)
{
    EXPECT_EQ(DetectSignature(nullptr, 10), DT_UNKNOWN);
    const unsigned char jpeg[] = {0xFF, 0xD8, 0xFF};
    EXPECT_EQ(DetectSignature(jpeg, 0), DT_UNKNOWN);
    EXPECT_EQ(DetectSignature(jpeg, -5), DT_UNKNOWN);
    EXPECT_EQ(DetectSignature(jpeg, 3), DT_JPG);
}

// ---------------------------------------------------------------- real headers, every encoding

struct RealHeader
{
    const char* name;
    int dataType;
    Bytes head;
};

// The first bytes of real files, padded with data to a full line.
RealHeader Header(const char* name, int dataType, Bytes head)
{
    head += test::RandomBytes(57 - head.size(), 11);
    return {name, dataType, head};
}

const std::array<RealHeader, 12>& RealHeaders()
{
    static const std::array<RealHeader, 12> headers = {
        Header("Jpeg", DT_JPG, L("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x01\x00\x48\x00\x48\x00\x00")),
        Header("Png", DT_PNG,
               L("\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR\x00\x00\x02\x80\x00\x00\x01\xE0\x08\x06")),
        Header("Zip", DT_ZIP, L("PK\x03\x04\x14\x00\x00\x00\x08\x00\x4B\x7D\x21\x53")),
        Header("Rar", kRar, L("Rar!\x1A\x07\x00\xCF\x90\x73\x00\x00\x0D\x00\x00\x00")),
        Header("Rar5", kRar5, L("Rar!\x1A\x07\x01\x00\x33\x92\xB5\xE5\x0A\x01\x05\x06\x00")),
        Header("SevenZip", k7z, L("7z\xBC\xAF\x27\x1C\x00\x04\x8D\x9B\xD5\x0F")),
        Header("Pdf", DT_PDF, L("%PDF-1.3\r\n%\xE2\xE3\xCF\xD3\r\n")),
        Header("Gif", DT_GIF, L("GIF89a\x40\x01\xF0\x00\xF7\x00\x00")),
        Header("Par2", kPar2, L("PAR2\0PKT\x5C\x00\x00\x00\x00\x00\x00\x00")),
        Header("Mp4", kMp4,
               L("\x00\x00\x00\x20"
                 "ftypmp42\x00\x00\x00\x00"
                 "mp42isom")),
        Header("Flac", kFlac, L("fLaC\x00\x00\x00\x22\x10\x00\x10\x00")),
        Header("Ogg", kOgg, L("OggS\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00")),
    };
    return headers;
}

enum class Encoding
{
    UU,
    XX,
    Base64,
    Yenc
};

struct EncodedLine
{
    std::string line;
    std::uint32_t msgType;
};

EncodedLine Encode(const Bytes& head, Encoding encoding)
{
    switch (encoding) {
    case Encoding::UU:
        return {UULine(head.substr(0, 45)), MT_UU};
    case Encoding::XX:
        return {XXLine(head.substr(0, 45)), MT_XX};
    case Encoding::Base64:
        return {Base64Line(head.substr(0, 57)), MT_B64};
    case Encoding::Yenc:
        return {YencLine(head), MT_YENC};
    }
    return {};
}

class RealHeaderDetection : public ::testing::TestWithParam<std::tuple<int, Encoding>>
{
};

TEST_P(RealHeaderDetection, FirstLineShowsTheType)
{
    const RealHeader& header = RealHeaders()[std::get<0>(GetParam())];
    const EncodedLine encoded = Encode(header.head, std::get<1>(GetParam()));
    EXPECT_EQ(DetectLine(encoded.line, encoded.msgType), header.dataType) << encoded.line;
}

std::string RealHeaderCaseName(const ::testing::TestParamInfo<RealHeaderDetection::ParamType>& info)
{
    static constexpr std::array<const char*, 4> kNames = {"UU", "XX", "Base64", "Yenc"};
    return std::string(RealHeaders()[std::get<0>(info.param)].name) + "As" +
           kNames[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(AllEncodings, RealHeaderDetection,
                         ::testing::Combine(::testing::Range(0, 12),
                                            ::testing::Values(Encoding::UU, Encoding::XX, Encoding::Base64,
                                                              Encoding::Yenc)),
                         RealHeaderCaseName);

// ---------------------------------------------------------------- line rules

TEST(DetectDataType, FifteenCharacterLineIsNeverExamined)
{
    // Fifteen bytes of a JPEG head, none of which need escaping.
    const Bytes jpeg = L("\xFF\xD8\xFF\xDB\x00\x43\x00\x08\x06\x06\x07\x06\x05\x08\x07\x07");
    const std::string line15 = YencLine(jpeg.substr(0, 15));
    const std::string line16 = YencLine(jpeg);
    ASSERT_EQ(line15.size(), 16u); // with its line feed
    EXPECT_EQ(DetectDataType(line15.c_str(), 15, MT_YENC), DT_UNKNOWN);
    EXPECT_EQ(DetectDataType(line16.c_str(), 16, MT_YENC), DT_JPG);
}

TEST(DetectDataType, ShortLineOnlyMatchesSignaturesItCovers)
{
    // 20 bytes of a WMV header: too few for the 25-byte Windows Media
    // record, enough for the 16-byte ASF one.
    const std::string line = YencLine(AsfHeader(0x08).substr(0, 20));
    EXPECT_EQ(DetectLine(line, MT_YENC), kAsf);
    EXPECT_EQ(DetectLine(YencLine(AsfHeader(0x08)), MT_YENC), kWmv);

    const Bytes pic = L("\x01\x00\x00\x00\x01\x00\x08\x00\x44\x00\x00\x00\x00\x0C\x7F\x09\x06");
    EXPECT_EQ(DetectLine(YencLine(pic.substr(0, 16)), MT_YENC), DT_UNKNOWN);
    EXPECT_EQ(DetectLine(YencLine(pic), MT_YENC), kPic);
}

TEST(DetectDataType, YencEscapesAreUndone)
{
    // E0 encodes to a line feed and 13 to "=": both travel escaped.
    const Bytes doc = L("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\x00\x00\x00\x00\x00\x00\x00\x00\x3E\x00\x03\x00");
    const std::string docLine = YencLine(doc);
    ASSERT_NE(docLine.find("=J"), std::string::npos);
    EXPECT_EQ(DetectLine(docLine, MT_YENC), 7);

    const Bytes flash = L("FWS\x13\x8C\x0B\x00\x00\x78\x00\x05\x5F\x00\x00\x0F\xA0\x00\x00\x18\x01\x00");
    const std::string flashLine = YencLine(flash);
    ASSERT_NE(flashLine.find("=}"), std::string::npos);
    EXPECT_EQ(DetectLine(flashLine, MT_YENC), 64);
}

TEST(DetectDataType, YencLineEndingInALoneEscapeStopsThere)
{
    std::string line = YencLine(L("\xFF\xD8\xFF\xE1\x00\x10\x45\x78\x69\x66\x00\x00\x4D\x4D\x00\x2A"));
    line.back() = '=';
    EXPECT_EQ(DetectLine(line, MT_YENC), DT_JPG);
    line += "\r\n";
    EXPECT_EQ(DetectLine(line, MT_YENC), DT_JPG);
}

TEST(DetectDataType, LongYencLineFillsNoMoreThanTheSample)
{
    // A webm DocType at byte 63 lies outside the 63 bytes that are decoded.
    Bytes data = EbmlHead("matroska");
    data.resize(kTypeSampleFill, '\x01');
    EXPECT_EQ(DetectLine(YencLine(data + L("\x42\x82\x84webm")), MT_YENC), DT_UNKNOWN);
    data.resize(kTypeSampleFill - 7);
    EXPECT_EQ(DetectLine(YencLine(data + L("\x42\x82\x84webm")), MT_YENC), kWebm);
}

TEST(DetectDataType, QuotedPrintableAndPlainTextAreNeverExamined)
{
    const std::string jpeg = YencLine(RealHeaders()[0].head);
    ASSERT_EQ(DetectLine(jpeg, MT_YENC), DT_JPG);
    EXPECT_EQ(DetectLine(jpeg, MT_NONE), DT_UNKNOWN);
    EXPECT_EQ(DetectLine(jpeg, MT_QP), DT_UNKNOWN);
    EXPECT_EQ(DetectLine(jpeg, MT_TXT), DT_UNKNOWN);
    EXPECT_EQ(DetectLine(jpeg, MT_YENC | MT_QP), DT_UNKNOWN) << "one encoding bit at a time";
}

TEST(DetectDataType, MissingLineIsUnknown)
{
    EXPECT_EQ(DetectDataType(nullptr, 40, MT_YENC), DT_UNKNOWN);
}

// ---------------------------------------------------------------- extensions

TEST(MatchExtension, DigitsWildcardsAndCase)
{
    EXPECT_TRUE(MatchExtension("R##", "r07"));
    EXPECT_TRUE(MatchExtension("R##", ".R07"));
    EXPECT_TRUE(MatchExtension(".R##", "R99"));
    EXPECT_FALSE(MatchExtension("R##", "R7"));
    EXPECT_FALSE(MatchExtension("R##", "RA7"));
    EXPECT_FALSE(MatchExtension("R##", "R070"));
    EXPECT_TRUE(MatchExtension("?AR", "jar"));
    EXPECT_TRUE(MatchExtension("docx", "DOCX"));
    EXPECT_FALSE(MatchExtension("#", "x"));
}

TEST(MatchExtension, EmptyPatternMatchesNothing)
{
    EXPECT_FALSE(MatchExtension("", ""));
    EXPECT_FALSE(MatchExtension(".", "."));
    EXPECT_FALSE(MatchExtension("", "zip"));
}

TEST(AddTypeExtension, AllowedPatternsKeepTheName)
{
    EXPECT_EQ(AddTypeExtension("report.docx", DT_ZIP), "report.docx");
    EXPECT_EQ(AddTypeExtension("Report.XLSX", DT_ZIP), "Report.XLSX");
    EXPECT_EQ(AddTypeExtension("report.dat", DT_ZIP), "report.zip");
    EXPECT_EQ(AddTypeExtension("clip.mkv", kMp4), "clip.mkv");
    EXPECT_EQ(AddTypeExtension("song.flac", 46), "song.flac");
    EXPECT_EQ(AddTypeExtension("book.rar", kRar5), "book.rar");
    EXPECT_EQ(AddTypeExtension("book.dat", kRar5), "book.rar5");
}

TEST(AddTypeExtension, VolumeNumbersKeepTheName)
{
    EXPECT_EQ(AddTypeExtension("pics.r07", kRar), "pics.r07");
    EXPECT_EQ(AddTypeExtension("pics.s01", kRar), "pics.s01");
    EXPECT_EQ(AddTypeExtension("pics.001", kRar), "pics.001");
    EXPECT_EQ(AddTypeExtension("pics.part", kRar), "pics.rar");
    EXPECT_EQ(AddTypeExtension("pics.Rx", kRar), "pics.Rx") << "the first letter decides for rar";
    EXPECT_EQ(AddTypeExtension("old.a01", kArj), "old.a01");
    EXPECT_EQ(AddTypeExtension("old.b01", kArj), "old.arj");
    EXPECT_EQ(AddTypeExtension("set.c00", 49), "set.c00");
    EXPECT_EQ(AddTypeExtension("set.j02", 48), "set.j02");
}

TEST(AddTypeExtension, EncodedTextKeepsItsExtension)
{
    EXPECT_EQ(AddTypeExtension("notes.uue", DT_TXT), "notes.uue");
    EXPECT_EQ(AddTypeExtension("notes.UU", DT_TXT), "notes.UU");
    EXPECT_EQ(AddTypeExtension("notes.hqx2", DT_TXT), "notes.hqx2");
    EXPECT_EQ(AddTypeExtension("notes.uux", DT_TXT), "notes.txt");
    EXPECT_EQ(AddTypeExtension("notes.abc", DT_TXT), "notes.txt");
    EXPECT_EQ(AddTypeExtension("NOTES.TXT", DT_TXT), "NOTES.TXT");
}

TEST(AddTypeExtension, NameWithoutExtensionGetsThePrimary)
{
    EXPECT_EQ(AddTypeExtension("photo", DT_JPG), "photo.jpg");
    EXPECT_EQ(AddTypeExtension("photo.", DT_JPG), "photo.jpg");
    EXPECT_EQ(AddTypeExtension("PHOTO.JPG", DT_JPG), "PHOTO.JPG");
    EXPECT_EQ(AddTypeExtension("v1.2/photo", DT_JPG), "v1.2/photo.jpg")
        << "a dot in a folder is no extension";
    EXPECT_EQ(AddTypeExtension("../photo", DT_JPG), "../photo.jpg");
    EXPECT_EQ(AddTypeExtension("..\\photo", DT_JPG), "..\\photo.jpg");
}

TEST(AddTypeExtension, FixedRulesOutliveEditedLists)
{
    TypeExtensionTable table;
    ASSERT_TRUE(table.SetAllowed(DT_EXE, ""));
    ASSERT_TRUE(table.SetAllowed(56, ""));
    EXPECT_EQ(AddTypeExtension("setup.dll", DT_EXE, table), "setup.dll");
    EXPECT_EQ(AddTypeExtension("setup.bin", DT_EXE, table), "setup.exe");
    EXPECT_EQ(AddTypeExtension("show.wma", kWmv, table), "show.wma");
    EXPECT_EQ(AddTypeExtension("sheet.xls", DT_MSAPP), "sheet.xls");
    EXPECT_EQ(AddTypeExtension("sheet.db", DT_MSAPP), "sheet.db");
    EXPECT_EQ(AddTypeExtension("sheet.bin", DT_MSAPP), "sheet.doc");
}

TEST(AddTypeExtension, EditedListReplacesTheDefault)
{
    TypeExtensionTable table;
    ASSERT_TRUE(table.SetAllowed(DT_ZIP, "CBZ, EPUB"));
    EXPECT_EQ(table.Allowed(DT_ZIP), "CBZ, EPUB");
    EXPECT_EQ(AddTypeExtension("comic.cbz", DT_ZIP, table), "comic.cbz");
    EXPECT_EQ(AddTypeExtension("book.epub", DT_ZIP, table), "book.epub");
    EXPECT_EQ(AddTypeExtension("report.docx", DT_ZIP, table), "report.zip");
    EXPECT_EQ(AddTypeExtension("comic.cbz", DT_ZIP), "comic.zip") << "the defaults stay as they were";
    EXPECT_EQ(AddTypeExtension("report.docx", DT_ZIP), "report.docx");
}

TEST(AddTypeExtension, TypesWithoutRecordTakeNoList)
{
    TypeExtensionTable table;
    EXPECT_FALSE(table.SetAllowed(DT_TXT, "DAT"));
    EXPECT_FALSE(table.SetAllowed(DT_UNKNOWN, "DAT"));
    EXPECT_FALSE(table.SetAllowed(500, "DAT"));
    EXPECT_EQ(AddTypeExtension("notes.dat", DT_TXT, table), "notes.txt");
}

TEST(AddTypeExtension, UnknownTypeKeepsTheName)
{
    EXPECT_EQ(AddTypeExtension("data.bin", DT_UNKNOWN), "data.bin");
    EXPECT_EQ(AddTypeExtension("data", DT_UNKNOWN), "data");
    EXPECT_EQ(AddTypeExtension("data", -1), "data");
    EXPECT_EQ(AddTypeExtension("data", kDataTypeCount), "data");
}

TEST(TypeExtensionRecords, PreferencesSeeCategoriesAndPrimaries)
{
    const auto records = TypeExtensionRecords();
    ASSERT_EQ(records.size(), 62u);
    EXPECT_EQ(records.front().category, "image file");
    EXPECT_EQ(records.front().primary, "bmp");
    EXPECT_EQ(records.back().primary, "zoo");
    ASSERT_NE(FindTypeExtensionRecord(DT_MSAPP), nullptr);
    EXPECT_EQ(FindTypeExtensionRecord(DT_MSAPP)->primary, "doc");
    EXPECT_EQ(FindTypeExtensionRecord(kWma)->category, "audio file");
    EXPECT_EQ(FindTypeExtensionRecord(kAsf)->category, "audio/video file");
    for (int noRecord : {0, 22, 28, 32, 35, 36, 37, 45, 60, 68})
        EXPECT_EQ(FindTypeExtensionRecord(noRecord), nullptr) << noRecord;
    EXPECT_EQ(PrimaryExtension(kFlac), "flac");
    EXPECT_EQ(TypeExtensionTable::Defaults().Allowed(DT_EXE), "DLL, COM, VXD, SCR, DRV");
}

} // namespace
} // namespace zarvex
