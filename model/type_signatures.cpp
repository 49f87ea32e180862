// The signature table: the first bytes that give a file's type away.
#include "model/file_types.h"

#include "model/data_types.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace zarvex {
namespace {

constexpr int kMaxSignatureLength = 25;
using SignatureBytes = std::array<unsigned char, kMaxSignatureLength>;

// One record: the sample matches when (sample[i] & mask[i]) == (pattern[i] & mask[i])
// for every i below `length`.
struct Signature
{
    SignatureBytes pattern{};
    SignatureBytes mask{};
    int length = 0;
    int dataType = 0;
    // Also needs an EBML DocType "webm" somewhere after the head.
    bool webmDocType = false;
};

constexpr int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    throw "signature bytes are upper-case hex pairs";
}

// Reads "FF D8 FF" into `out`; returns the number of bytes.
constexpr int ParseHex(std::string_view hex, SignatureBytes& out)
{
    int n = 0;
    for (std::size_t i = 0; i < hex.size(); i += 3) {
        if (n == kMaxSignatureLength || i + 1 >= hex.size()) throw "signature too long or cut";
        if (i + 2 < hex.size() && hex[i + 2] != ' ') throw "signature bytes are separated by one blank";
        out[n++] = static_cast<unsigned char>(HexDigit(hex[i]) * 16 + HexDigit(hex[i + 1]));
    }
    return n;
}

// A record from its pattern and, where not every bit counts, its mask. The
// mask must cover the whole pattern, so a typing slip fails the build.
constexpr Signature Sig(int dataType, std::string_view typeName, std::string_view pattern,
                        std::string_view mask = {})
{
    if (kDataTypeNames[dataType] != typeName) throw "type index and name disagree";
    Signature s;
    s.dataType = dataType;
    s.length = ParseHex(pattern, s.pattern);
    if (mask.empty()) {
        std::fill_n(s.mask.begin(), s.length, 0xFF);
    } else if (ParseHex(mask, s.mask) != s.length) {
        throw "mask and pattern differ in length";
    }
    return s;
}

constexpr Signature WithLastByte(Signature s, int dataType, std::string_view typeName, unsigned char last)
{
    if (kDataTypeNames[dataType] != typeName) throw "type index and name disagree";
    s.dataType = dataType;
    s.pattern[s.length - 1] = last;
    return s;
}

constexpr Signature WebmHead()
{
    Signature s = Sig(70, "webm", "1A 45 DF A3");
    s.webmDocType = true;
    return s;
}

// An ASF header object followed by its size and a count of header objects;
// the low byte of that count tells Windows Media video (8) from audio (7, 5).
constexpr Signature kWindowsMediaVideo =
    Sig(56, "wmv", "30 26 B2 75 8E 66 CF 11 A6 D9 00 AA 00 62 CE 6C BD 03 00 00 00 00 00 00 08",
        "FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF 00 00 FF FF FF FF FF FF FF");

// Tried in this order; the first match wins, so the more specific records
// (XIF before TIFF, Windows Media before plain ASF) come first.
constexpr std::array kSignatures = {
    Sig(1, "jpg", "FF D8 FF"),
    Sig(2, "zip", "50 4B 03 04"),
    // The mask admits both "87a" and "89a".
    Sig(3, "gif", "47 49 46 38 39 61", "FF FF FF FF F1 FF"),
    Sig(4, "wav", "52 49 46 46 00 00 00 00 57 41 56 45", "FF FF FF FF 00 00 00 00 FF FF FF FF"),
    Sig(5, "avi", "52 49 46 46 00 00 00 00 41 56 49 20", "FF FF FF FF 00 00 00 00 FF FF FF FF"),
    Sig(6, "bmp", "42 4D FF FF FF 00 00", "FF FF 00 00 00 00 FF"),
    // Compound document (Office 97 and later).
    Sig(7, "doc", "D0 CF 11 E0 A1 B1 1A E1"),
    // Word 2 document.
    Sig(7, "doc", "DB A5 2D 00 78 40 09 04"),
    Sig(8, "mid", "4D 54 68 64 00 00 00"),
    Sig(9, "exe", "4D 5A FF 01 00 00", "FF FF 00 00 00 FF"),
    Sig(10, "hlp", "3F 5F 03 00"),
    Sig(10, "hlp", "4C 4E 02 00"),
    Sig(11, "ps", "25 21 50 53 2D 41 64 6F 62 65 0D 0A"),
    // Encapsulated PostScript with a binary preview.
    Sig(11, "ps", "C5 D0 D3 C6 FF 00 00 00", "FF FF FF FF 00 FF FF FF"),
    Sig(12, "au", "2E 73 6E 64 00 00"),
    Sig(13, "voc", "43 72 65 61 74 69 76 65 20 56 6F 69"),
    Sig(14, "aif", "46 4F 52 4D 00 00 00 00 41 49 46", "FF FF FF FF FF 00 00 00 00 00 FF"),
    Sig(15, "mpg", "00 00 01 B3"),
    Sig(15, "mpg", "00 00 01 BA"),
    Sig(16, "lha", "00 00 2D 6C 68 35 2D", "00 00 0F FF FF F0 FF"),
    Sig(17, "zoo", "5A 4F 4F 20 32 2E 31 30 20 41"),
    Sig(18, "png", "89 50 4E 47 0D 0A 1A 0A 00"),
    Sig(34, "arj", "60 EA 20 00 1E 00 01 00 14", "FF FF F0 FF FF F0 FF F0 F0"),
    Sig(38, "ra", "2E 72 61 FD 00 0F 00", "FF FF FF FF FF F0 FF"),
    Sig(54, "ram", "2E 52 4D 46 00 00 00", "FF FF FF FF FF F0 FF"),
    Sig(39, "rar", "52 61 72 21 1A 07 00"),
    Sig(67, "rar5", "52 61 72 21 1A 07 01 00"),
    Sig(58, "xif", "49 49 2A 00 FF FF FF 00 20 65 58 74 65 6E 64 65",
        "FF FF FF FF 00 00 00 F7 FF FF FF FF FF FF FF FF"),
    Sig(58, "xif", "49 49 2A 00 FF FF FF 00 58 45 52 4F 58 20 44 49",
        "FF FF FF FF 00 00 00 F7 FF FF FF FF FF FF FF FF"),
    // Intel byte order.
    Sig(20, "tif", "49 49 2A 00 FF FF FF 00", "FF FF FF FF 00 00 00 F7"),
    // Motorola byte order.
    Sig(20, "tif", "4D 4D 00 2A 00 00 FF 00", "FF FF FF FF 00 00 00 F7"),
    Sig(40, "pcx", "0A 0F 01 0F 00 00 00 00 DB 00", "FF F0 FF 00 FF FF FF FF 00 F0"),
    Sig(41, "wri", "31 BE 00 00 00 AB 00 00 00"),
    Sig(42, "pic", "01 00 00 00 01 00 08 00 44 00 00 00 00 0C 7F 09 06"),
    Sig(19, "mov", "FF FF FF FF 6D 64 61 74", "00 00 00 00 FF FF FF FF"),
    Sig(19, "mov", "FF FF FF FF 6D 6F 6F 76", "00 00 00 00 FF FF FF FF"),
    Sig(44, "pdf", "25 50 44 46 2D 31 2E 31 0D", "FF FF FF FF FF FF FF F0 FF"),
    Sig(46, "mp3", "FF FA 90 44 00 00 00 00", "FF FF FF FF 00 00 FF FF"),
    Sig(46, "mp3", "FF FB 90 44 00 00", "FF FF 00 00 FF FF"),
    Sig(47, "psd", "38 42 50 53 00 01 00 00"),
    Sig(48, "jar", "FF FF FF FF 40 00 00 00 FF FF FF FF 00 00 1A 4A",
        "00 00 00 00 FF FF FF FF 00 00 00 00 FF FF FF FF"),
    Sig(49, "ace", "FF FF FF FF FF FF FF 2A 2A 41 43 45 2A 2A 0B",
        "00 00 00 00 FF FF 00 FF FF FF FF FF FF FF FF"),
    Sig(50, "iff", "46 4F 52 4D 00"),
    // Only the third byte of the header size after the version is free.
    Sig(51, "vqf", "54 57 49 4E 39 37 30 31 32 30 30 30 00 00 00 00 43 4F 4D 4D 00",
        "FF FF FF FF FF FF FF FF FF FF FF FF FF FF 00 FF FF FF FF FF FF"),
    // Placeable metafile.
    Sig(52, "wmf", "D7 CD C6 9A 00 00"),
    Sig(52, "wmf", "01 00 09 00 00 03"),
    Sig(53, "prz", "00 01 0F 00 46 52 45 45 4C 41 4E 43 45 04 00"),
    Sig(25, "sit", "53 49 54 21 00"),
    Sig(25, "sit", "53 74 75 66 66 49 74 20 28 63 29 31"),
    Sig(55, "sid", "50 53 49 44 00"),
    kWindowsMediaVideo,
    WithLastByte(kWindowsMediaVideo, 57, "wma", 0x07),
    WithLastByte(kWindowsMediaVideo, 57, "wma", 0x05),
    Sig(59, "7z", "37 7A BC AF 27 1C 00 02", "FF FF FF FF FF FF FF F0"),
    Sig(61, "ogg", "4F 67 67 53 00"),
    Sig(62, "asf", "30 26 B2 75 8E 66 CF 11 A6 D9 00 AA 00 62 CE 6C"),
    Sig(63, "par2", "50 41 52 32 00 50 4B 54", "FF FF FF FF 0F FF FF FF"),
    // Compressed Flash.
    Sig(64, "swf", "43 57 53 09 FF FF FF 00", "FF FF FF E0 00 00 00 FF"),
    Sig(64, "swf", "46 57 53 09 FF FF FF 00", "FF FF FF E0 00 00 00 FF"),
    Sig(65, "mp4", "00 00 00 18 66 74 79 70 6D 70 34 32 00 00", "FF FF FF 00 00 FF FF FF FF FF FF 0F FF FF"),
    Sig(66, "arc", "41 72 43 01 00"),
    Sig(68, "flac", "66 4C 61 43"),
    Sig(69, "webp", "52 49 46 46 FF FF FF FF 57 45 42 50 56 50 38 20",
        "FF FF FF FF 00 00 00 00 FF FF FF FF FF FF FF FF"),
    WebmHead(),
    Sig(71, "heic", "00 00 00 18 66 74 79 70 6D 69 66 31 00", "FF FF FF 00 FF FF FF FF FF FF FF FF FF"),
    Sig(71, "heic", "00 00 00 24 66 74 79 70 6D 73 66 31 00", "FF FF FF 00 FF FF FF FF FF FF FF FF FF"),
};

static_assert(kSignatures.size() == 66);
static_assert(kSignatures[0].dataType == 1 && kSignatures[0].length == 3);
static_assert(kSignatures[2].mask[4] == 0xF1 && kSignatures[2].dataType == 3);
static_assert(kSignatures[26].dataType == 67 && kSignatures[26].pattern[6] == 0x01);
static_assert(kSignatures[43].length == 21 && kSignatures[43].mask[14] == 0 &&
              kSignatures[43].mask[20] == 0xFF);
static_assert(kSignatures[50].length == 25 && kSignatures[50].mask[16] == 0 &&
              kSignatures[50].pattern[24] == 0x08);
static_assert(kSignatures[51].pattern[24] == 0x07 && kSignatures[52].pattern[24] == 0x05);
static_assert(kSignatures[52].pattern[23] == 0x00 && kSignatures[52].mask[17] == 0 &&
              kSignatures[52].dataType == 57);
static_assert(kSignatures[55].dataType == 62 && kSignatures[63].webmDocType &&
              kSignatures[63].dataType == 70);
static_assert(kSignatures[65].dataType == 71 && kSignatures[65].pattern[3] == 0x24);
static_assert(std::all_of(kSignatures.begin(), kSignatures.end(),
                          [](const Signature& s) { return s.dataType > 0 && s.dataType < kDataTypeCount; }));
static_assert(std::none_of(kSignatures.begin(), kSignatures.end(),
                           [](const Signature& s) { return s.length > kTypeSampleFill; }));

constexpr bool MaskedEqual(const unsigned char* data, const unsigned char* pattern, const unsigned char* mask,
                           int length)
{
    for (int i = 0; i < length; ++i)
        if ((data[i] & mask[i]) != (pattern[i] & mask[i])) return false;
    return true;
}

// The DocType element (ID 42 82, a size in one byte whatever its value,
// then "webm") that tells a WebM stream from other Matroska files.
constexpr std::array<unsigned char, 7> kWebmDocType = {0x42, 0x82, 0x87, 0x77, 0x65, 0x62, 0x6D};
constexpr std::array<unsigned char, 7> kWebmDocTypeMask = {0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF};

constexpr bool HasWebmDocType(const unsigned char* sample, int filled, int headLength)
{
    const int width = static_cast<int>(kWebmDocType.size());
    for (int at = headLength; at + width <= filled; ++at)
        if (MaskedEqual(sample + at, kWebmDocType.data(), kWebmDocTypeMask.data(), width)) return true;
    return false;
}

// Only the bytes really decoded take part: a record longer than them
// cannot match, even where its tail would agree with the zero fill.
constexpr bool Matches(const Signature& s, const unsigned char* sample, int filled)
{
    if (s.length > filled) return false;
    if (!MaskedEqual(sample, s.pattern.data(), s.mask.data(), s.length)) return false;
    return !s.webmDocType || HasWebmDocType(sample, filled, s.length);
}

constexpr int FindSignature(const unsigned char* sample, int len)
{
    if (sample == nullptr || len <= 0) return DT_UNKNOWN;
    const int filled = std::min(len, kTypeSampleSize);
    for (const Signature& s : kSignatures)
        if (Matches(s, sample, filled)) return s.dataType;
    return DT_UNKNOWN;
}

template <std::size_t N> constexpr int FindIn(const char (&text)[N])
{
    std::array<unsigned char, N - 1> bytes{};
    for (std::size_t i = 0; i + 1 < N; ++i)
        bytes[i] = static_cast<unsigned char>(text[i]);
    return FindSignature(bytes.data(), static_cast<int>(N - 1));
}

static_assert(FindIn("GIF87a") == DT_GIF && FindIn("GIF89a") == DT_GIF && FindIn("GIF90a") == DT_UNKNOWN);
static_assert(FindIn("RIFF\x10\0\0\0WEBPVP8 ") == 69 && FindIn("RIFF\x10\0\0\0WAVEfmt ") == 4);
static_assert(FindIn("GIF8") == DT_UNKNOWN, "a head cut short never matches");

} // namespace

int DetectSignature(const unsigned char* sample, int len)
{
    return FindSignature(sample, len);
}

} // namespace zarvex
