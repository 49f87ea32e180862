// The user's preferences as the core reads them. One value is passed to the
// scanner, the grouping and the extractor; nothing in the core reads globals.
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

    // Section "DetectTypes": index 1..71 by DataType; index 0 is unused.
    std::array<bool, kDataTypeCount> DetectTypes = [] {
        std::array<bool, kDataTypeCount> all{};
        all.fill(true);
        return all;
    }();

    // Settings of the running program only, never written to the INI file.
    bool AssumeSortedOrder = false;   // "Assume &Sorted Message Order (last chance)"
    bool MimeTextOffForRun = false;   // set when "begin" turned out to be Base64
    bool YouChooseDuplicate = false;  // "You Choose Duplicate Part" (Extract dialog)
    bool AppendAllToOneFile = false;  // "A&ppend All to One File" (Extract dialog)
    // Every line goes through every scanner rule and the engine reads every
    // line on its own: the quiet-line shortcut and the runs of yEnc data
    // lines left out (tests compare both ways; the results must be the same).
    bool ScanFullRulesOnly = false;

    // "MimeText" as it holds for the rest of this run.
    bool MimeTextInEffect() const { return MimeText && !MimeTextOffForRun; }
    bool DetectsType(int dataType) const
    {
        return dataType > 0 && dataType < kDataTypeCount && DetectTypes[dataType];
    }
};

} // namespace zarvex
