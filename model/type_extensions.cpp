// The type-extension table and the rules that decide whether a name's
// extension fits the type found in its data.
#include "model/file_types.h"

#include "model/data_types.h"
#include "text/ascii.h"

#include <algorithm>
#include <array>

namespace zarvex {
namespace {

constexpr std::string_view kImage = "image file";
constexpr std::string_view kAudio = "audio file";
constexpr std::string_view kVideo = "audio/video file";
constexpr std::string_view kDocument = "document";
constexpr std::string_view kData = "data file";
constexpr std::string_view kExecutable = "executable";
constexpr std::string_view kWeb = "web document";
constexpr std::string_view kArchive = "archive file";

constexpr std::string_view kOfficeDocuments = "PPT, DOT, XLS, XLSB, DB";

// In the order the preferences list them.
constexpr std::array<TypeExtensionRecord, kTypeExtensionRecordCount> kRecords = {{
    {6, kImage, "bmp", ""},
    {3, kImage, "gif", ""},
    {33, kImage, "img", ""},
    {1, kImage, "jpg", ""},
    {40, kImage, "pcx", ""},
    {42, kImage, "pic", ""},
    {18, kImage, "png", ""},
    {11, kImage, "ps", ""},
    {47, kImage, "psd", ""},
    {20, kImage, "tif", ""},
    {52, kImage, "wmf", ""},
    {58, kImage, "xif", ""},
    {69, kImage, "webp", ""},
    {71, kImage, "heic", ""},
    {14, kAudio, "aif", ""},
    {55, kAudio, "sid", ""},
    {12, kAudio, "au", ""},
    {8, kAudio, "mid", ""},
    {46, kAudio, "mp3", "flac"},
    {31, kAudio, "oct", ""},
    {61, kAudio, "ogg", ""},
    {38, kAudio, "ra", ""},
    {13, kAudio, "voc", ""},
    {51, kAudio, "vqf", ""},
    {4, kAudio, "wav", ""},
    {57, kAudio, "wma", "WMV"},
    {62, kVideo, "asf", "WMA, WMV"},
    {5, kVideo, "avi", ""},
    {19, kVideo, "mov", ""},
    {15, kVideo, "mpg", ""},
    {65, kVideo, "mp4", "MKV"},
    {54, kVideo, "ram", ""},
    {56, kVideo, "wmv", ""},
    {50, kVideo, "iff", ""},
    {64, kVideo, "swf", ""},
    {70, kVideo, "webm", ""},
    {7, kDocument, "doc", kOfficeDocuments},
    {43, kDocument, "doc", kOfficeDocuments},
    {10, kDocument, "hlp", ""},
    {44, kDocument, "pdf", ""},
    {53, kDocument, "prz", ""},
    {21, kDocument, "rtf", ""},
    {41, kDocument, "wri", ""},
    {63, kData, "par2", ""},
    {9, kExecutable, "exe", "DLL, COM, VXD, SCR, DRV"},
    {26, kExecutable, "sh", ""},
    {23, kWeb, "htm", "HTML"},
    {49, kArchive, "ace", "AC#"},
    {66, kArchive, "arc", ""},
    {34, kArchive, "arj", "A##"},
    {30, kArchive, "gz", ""},
    {24, kArchive, "hqx", ""},
    {48, kArchive, "jar", "J##"},
    {16, kArchive, "lha", ""},
    {39, kArchive, "rar", "R##, S##"},
    {67, kArchive, "rar5", "RAR"},
    {25, kArchive, "sit", ""},
    {27, kArchive, "tar", ""},
    {29, kArchive, "z", ""},
    {2, kArchive, "zip", "XLSX, XLSB, DOCX, DOCM, DOTX, PPTX"},
    {59, kArchive, "7z", ""},
    {17, kArchive, "zoo", ""},
}};

// Record index per DataType, -1 for the types without a record.
constexpr std::array<int, kDataTypeCount> kRecordOf = [] {
    std::array<int, kDataTypeCount> index{};
    index.fill(-1);
    for (int i = 0; i < kTypeExtensionRecordCount; ++i) {
        if (index[kRecords[i].dataType] != -1) throw "a type has two records";
        index[kRecords[i].dataType] = i;
    }
    return index;
}();

// Every record but MSapp's takes the type's own name as its extension.
static_assert(std::all_of(kRecords.begin(), kRecords.end(), [](const TypeExtensionRecord& r) {
    return r.primary == (r.dataType == DT_MSAPP ? "doc" : kDataTypeNames[r.dataType]);
}));
static_assert(kRecordOf[0] == -1 && kRecordOf[DT_TXT] == -1 && kRecordOf[28] == -1 &&
              kRecordOf[DT_APP] == -1);
static_assert(kRecordOf[35] == -1 && kRecordOf[36] == -1 && kRecordOf[37] == -1 && kRecordOf[45] == -1);
static_assert(kRecordOf[DT_APL] == -1 && kRecordOf[68] == -1, "flac files travel under the mp3 record");
static_assert(kRecords[kRecordOf[39]].allowed == "R##, S##" &&
              kRecords[kRecordOf[DT_ZIP]].category == kArchive);

// Extensions some types keep although the lists do not name them (the
// lists can be edited; these cannot).
enum class KeepBy
{
    Extension,
    FirstFour,
    FirstLetterOrDigit
};

struct KeepRule
{
    int dataType;
    KeepBy by;
    std::array<std::string_view, 16> keep; // with ".", or the first letters
};

constexpr std::array kKeepRules = {
    KeepRule{DT_MSAPP, KeepBy::Extension, {".DOC", ".XLS", ".PPT", ".DB"}},
    KeepRule{DT_EXE, KeepBy::Extension, {".EXE", ".DLL", ".COM", ".DRV", ".SCR", ".VXD"}},
    // Encoded-text files keep their extension.
    KeepRule{DT_TXT, KeepBy::FirstFour, {".HQX", ".UUE", ".UU", ".MM", ".B64", ".XXE"}},
    KeepRule{34, KeepBy::FirstLetterOrDigit, {"A"}},      // arj volumes
    KeepRule{39, KeepBy::FirstLetterOrDigit, {"R", "S"}}, // rar volumes
    KeepRule{48, KeepBy::FirstLetterOrDigit, {"J"}},      // jar volumes
    KeepRule{49, KeepBy::FirstLetterOrDigit, {"C", "A"}}, // ace volumes
    KeepRule{56, KeepBy::Extension, {".WMA", ".WMV"}},
    KeepRule{57, KeepBy::Extension, {".WMA", ".WMV"}},
    // Other names of the same data: the file is what its name says.
    KeepRule{DT_ZIP, KeepBy::Extension, {".DOCX", ".XLSX", ".PPTX", ".DOCM", ".XLSM", ".PPTM", ".ODT", ".ODS", ".ODP",
                                         ".ODG", ".EPUB", ".JAR", ".APK", ".XPI", ".CBZ", ".KMZ"}},
    KeepRule{1, KeepBy::Extension, {".JPEG", ".JPE", ".JFIF", ".JFI"}},
    KeepRule{20, KeepBy::Extension, {".TIFF"}},
    KeepRule{23, KeepBy::Extension, {".HTML", ".XHTML", ".SHTML"}},
    KeepRule{45, KeepBy::Extension, {".DAT"}}, // winmail.dat
};

// `ext` includes its "."; empty when the name has none.
bool KeptByRule(const KeepRule& rule, std::string_view ext)
{
    const auto listed = [&rule](std::string_view text) {
        return std::any_of(rule.keep.begin(), rule.keep.end(),
                           [text](std::string_view k) { return !k.empty() && EqualsIgnoreCase(k, text); });
    };
    switch (rule.by) {
    case KeepBy::Extension:
        return listed(ext);
    case KeepBy::FirstFour:
        return listed(ext.substr(0, 4));
    case KeepBy::FirstLetterOrDigit:
        return ext.size() > 1 && (IsAsciiDigit(ext[1]) || listed(ext.substr(1, 1)));
    }
    return false;
}

// The extension (with its ".") is the name of a file type of the table.
bool NamesAType(std::string_view ext)
{
    return ext.size() > 1 && std::any_of(kDataTypeNames.begin() + 1, kDataTypeNames.end(),
                                         [ext](std::string_view type) { return EqualsIgnoreCase(ext.substr(1), type); });
}

bool KeptByFixedRules(int dataType, std::string_view ext)
{
    // Text says nothing against a name of its own (".patch", ".csv", ".log"):
    // only an extension of another type is wrong for it.
    if (dataType == DT_TXT && !ext.empty() && !NamesAType(ext)) return true;
    return std::any_of(kKeepRules.begin(), kKeepRules.end(), [&](const KeepRule& rule) {
        return rule.dataType == dataType && KeptByRule(rule, ext);
    });
}

std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && IsAsciiSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsAsciiSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool ValidType(int dataType)
{
    return dataType >= 0 && dataType < kDataTypeCount;
}

} // namespace

std::span<const TypeExtensionRecord> TypeExtensionRecords()
{
    return kRecords;
}

const TypeExtensionRecord* FindTypeExtensionRecord(int dataType)
{
    if (!ValidType(dataType) || kRecordOf[dataType] < 0) return nullptr;
    return &kRecords[kRecordOf[dataType]];
}

std::string_view PrimaryExtension(int dataType)
{
    const TypeExtensionRecord* record = FindTypeExtensionRecord(dataType);
    return record != nullptr ? record->primary : DataTypeName(dataType);
}

TypeExtensionTable::TypeExtensionTable()
{
    for (const TypeExtensionRecord& record : kRecords)
        m_Allowed[record.dataType] = record.allowed;
}

const TypeExtensionTable& TypeExtensionTable::Defaults()
{
    static const TypeExtensionTable defaults;
    return defaults;
}

std::string_view TypeExtensionTable::Allowed(int dataType) const
{
    return ValidType(dataType) ? std::string_view(m_Allowed[dataType]) : std::string_view();
}

bool TypeExtensionTable::SetAllowed(int dataType, std::string_view patterns)
{
    if (FindTypeExtensionRecord(dataType) == nullptr) return false;
    m_Allowed[dataType] = patterns;
    return true;
}

bool TypeExtensionTable::Fits(int dataType, std::string_view ext) const
{
    if (FindTypeExtensionRecord(dataType) == nullptr) return false;
    std::string_view list = Allowed(dataType);
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        if (MatchExtension(Trimmed(list.substr(0, comma)), ext)) return true;
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    }
    return false;
}

bool MatchExtension(std::string_view pattern, std::string_view ext)
{
    if (pattern.starts_with('.')) pattern.remove_prefix(1);
    if (ext.starts_with('.')) ext.remove_prefix(1);
    if (pattern.empty() || pattern.size() != ext.size()) return false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const unsigned char p = pattern[i], e = ext[i];
        if (p == '?') continue;
        if (p == '#' ? !IsAsciiDigit(e) : AsciiUpper(p) != AsciiUpper(e)) return false;
    }
    return true;
}

std::string AddTypeExtension(std::string_view name, int dataType, const TypeExtensionTable& table)
{
    // An unknown type says nothing about the name.
    if (dataType <= DT_UNKNOWN || dataType >= kDataTypeCount) return std::string(name);

    // A "." inside a folder part of the name does not start an extension.
    std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && name.find_first_of("/\\", dot) != std::string_view::npos)
        dot = std::string_view::npos;
    const std::string_view stem = dot == std::string_view::npos ? name : name.substr(0, dot);
    const std::string_view ext = dot == std::string_view::npos ? std::string_view() : name.substr(dot);

    const std::string_view primary = PrimaryExtension(dataType);
    const bool fits = (ext.size() > 1 && EqualsIgnoreCase(ext.substr(1), primary)) ||
                      table.Fits(dataType, ext) || KeptByFixedRules(dataType, ext);
    if (fits) return std::string(name);

    std::string candidate(stem);
    candidate += '.';
    candidate += primary;
    return candidate;
}

} // namespace zarvex
