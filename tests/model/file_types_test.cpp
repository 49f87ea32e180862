#include "model/file_types.h"

#include "model/data_types.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

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
