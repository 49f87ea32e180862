// The user's preferences as the core reads them. One value is passed, read
// only, to the scanner, the grouping and the extractor; nothing in the core
// reads globals. What changes during a run lives in RunContext beside it.
// The INI file that stores these values is read and written by the program
// shell; field names follow the INI keys of section "Preferences".
#pragma once

#include <array>
#include <string>

namespace zarvex {

inline constexpr int kDataTypeCount = 72; // DataType indexes 0..71

struct Settings {
    // Section "Preferences".
    bool EOLConversion = true;
    bool AutoIndentDetect = false;
    bool AutoDuplicateRemoval = false;
    bool AutoMultipartDupeRemoval = true;
    bool AutoExtensionDetect = true;
    bool Force8 = false;
    bool MimeText = true;
    bool ExtendedMatching = true;
    bool EnableQP = true;
    int FolderStyle = 0;
    bool SortFiles = false;
    std::string WorkingDir;
    bool ToolBar = true;
    bool StatusBar = true;
    int FileMask = 1;
    bool StreamClose = false;
    int StreamOrder = 0;
    bool StreamStart = false;
    int StreamDel = 0;
    int StreamWait1 = 0;
    bool StripPercent = true;
    bool AutoMonitor = false;
    bool StrictYenc = false;
    bool EnableXFace = true;
    bool NoAutoRename = true;
    bool OldDragDrop = false;
    bool OldExtract = false;
    bool OnlyUseLastParen = false;
    bool DecodeUTF8 = false;
    bool Overwrite = false;
    bool IgnoreIncomplete = false;
    // winmail.dat (TNEF) outputs are unpacked into the files they hold,
    // and kept themselves unless TnefKeepContainer is off.
    bool UnpackTnef = true;
    bool TnefKeepContainer = true;
    // The most a compressed input or archive may unpack to, in MB (16 GB):
    // a decompression bomb stops there.
    int ArchiveLimitMB = 16384;

    // Section "DetectTypes": index 1..71 by DataType; index 0 is unused.
    std::array<bool, kDataTypeCount> DetectTypes = [] {
        std::array<bool, kDataTypeCount> all{};
        all.fill(true);
        return all;
    }();

    bool DetectsType(int dataType) const
    {
        return dataType > 0 && dataType < kDataTypeCount && DetectTypes[dataType];
    }
};

} // namespace zarvex
