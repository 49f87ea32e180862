// The program's settings as stored in "Zarvex.ini": the core's preferences
// (zarvex::Settings, section "Preferences" and "DetectTypes") plus the values
// only the program shell uses (sections "Window" and "Recent Dir List").
// They are read once at start and written once at exit.
#pragma once

#include "app/ini_file.h"
#include "model/settings.h"

#include <array>
#include <string>

namespace zarvex {

inline constexpr int kDefaultCenter = 34;

struct AppSettings
{
    Settings core;

    // Section "Window".
    std::string Coordinates; // "left,top,right,bottom" of the normal rectangle, or empty
    bool Minimized = false;
    int Center = kDefaultCenter; // splitter position in percent; 0 = centred

    // Section "Recent Dir List".
    std::string OpenDir;
    std::string StreamDir;
    std::array<std::string, 9> Dirs; // "Dir1" (current extraction folder) .. "Dir9"

    // Section "Preferences": outputs that a .par2 recovery set covers are
    // verified, and repaired when they need it, after each extraction.
    bool Par2Repair = true;
    // A follow run writes a posting that still lacks parts, gaps and all,
    // for par2 to mend once its recovery files are in and no part of it has
    // arrived for this many seconds.
    int Par2WaitSeconds = 300;

    // Derived at load: stream mode resumes at start-up.
    bool StreamResume = false;
};

// Reads every key (missing keys take their defaults) and applies the checks
// made after reading: "StreamStart" needs a writable "StreamDir", "FileMask"
// above 8 becomes 1, and a "WorkingDir" that is not a writable folder becomes
// $TMPDIR (or /tmp).
AppSettings LoadSettings(const IniFile& ini);

// Writes every key the program owns into `ini`, keeping all other lines.
// `extractionRun`: "Minimized" is then written as 0. "Overwrite" and
// "IgnoreIncomplete" belong to the Extract dialog and are not written here.
void StoreSettings(const AppSettings& settings, bool extractionRun, IniFile& ini);

// Writes what the Extract dialog chose at once: "Dir1" to "Dir9",
// "Overwrite" and "IgnoreIncomplete".
void StoreExtractChoices(const AppSettings& settings, IniFile& ini);

// The splitter value as saved: 47 to 53 per cent count as centred (0).
int CenterForSaving(int center);

// Folder test: 0 missing (or not a folder), 1 present but not writable, 2 writable.
int FolderState(const std::string& dir);

// The folder for temporary files when none is configured: $TMPDIR, else /tmp.
std::string DefaultTempFolder();

} // namespace zarvex
