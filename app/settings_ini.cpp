#include "app/settings_ini.h"

#include "model/data_types.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace zarvex {
namespace {

constexpr std::string_view kWindow = "Window";
constexpr std::string_view kRecent = "Recent Dir List";
constexpr std::string_view kPrefs = "Preferences";
constexpr std::string_view kDetect = "DetectTypes";

// One key of section "Preferences": exactly one of the three members is set.
struct PrefKey
{
    std::string_view name;
    bool Settings::*flag = nullptr;
    int Settings::*number = nullptr;
    std::string Settings::*text = nullptr;
    bool savedAtExit = true; // false: written by the Extract dialog only
};

constexpr PrefKey Flag(std::string_view name, bool Settings::*m, bool saved = true)
{
    return {name, m, nullptr, nullptr, saved};
}
constexpr PrefKey Number(std::string_view name, int Settings::*m)
{
    return {name, nullptr, m, nullptr, true};
}
constexpr PrefKey Text(std::string_view name, std::string Settings::*m)
{
    return {name, nullptr, nullptr, m, true};
}

// In the order the file has always been written.
constexpr std::array kPrefKeys = {
    Flag("EOLConversion", &Settings::EOLConversion),
    Flag("AutoIndentDetect", &Settings::AutoIndentDetect),
    Flag("AutoDuplicateRemoval", &Settings::AutoDuplicateRemoval),
    Flag("AutoMultipartDupeRemoval", &Settings::AutoMultipartDupeRemoval),
    Flag("AutoExtensionDetect", &Settings::AutoExtensionDetect),
    Flag("Force8", &Settings::Force8),
    Flag("MimeText", &Settings::MimeText),
    Flag("ExtendedMatching", &Settings::ExtendedMatching),
    Flag("EnableQP", &Settings::EnableQP),
    Number("FolderStyle", &Settings::FolderStyle),
    Flag("SortFiles", &Settings::SortFiles),
    Text("WorkingDir", &Settings::WorkingDir),
    Flag("ToolBar", &Settings::ToolBar),
    Flag("StatusBar", &Settings::StatusBar),
    Number("FileMask", &Settings::FileMask),
    Flag("StreamClose", &Settings::StreamClose),
    Number("StreamOrder", &Settings::StreamOrder),
    Flag("StreamStart", &Settings::StreamStart),
    Number("StreamDel", &Settings::StreamDel),
    Number("StreamWait1", &Settings::StreamWait1),
    Flag("StripPercent", &Settings::StripPercent),
    Flag("AutoMonitor", &Settings::AutoMonitor),
    Flag("StrictYenc", &Settings::StrictYenc),
    Flag("EnableXFace", &Settings::EnableXFace),
    Flag("NoAutoRename", &Settings::NoAutoRename),
    Flag("OldDragDrop", &Settings::OldDragDrop),
    Flag("OldExtract", &Settings::OldExtract),
    Flag("OnlyUseLastParen", &Settings::OnlyUseLastParen),
    Flag("DecodeUTF8", &Settings::DecodeUTF8),
    Flag("Overwrite", &Settings::Overwrite, false),
    Flag("IgnoreIncomplete", &Settings::IgnoreIncomplete, false),
    Flag("UnpackTnef", &Settings::UnpackTnef),
    Flag("TnefKeepContainer", &Settings::TnefKeepContainer),
    Number("ArchiveLimitMB", &Settings::ArchiveLimitMB),
};
static_assert(kPrefKeys.size() == 34);
static_assert(kPrefKeys[6].name == "MimeText" && kPrefKeys[11].name == "WorkingDir");

constexpr int kFileMaskEntries = 8;

std::string DirKey(int n)
{
    return "Dir" + std::to_string(n);
}

void LoadPreferences(const IniFile& ini, Settings& s)
{
    const Settings defaults;
    for (const PrefKey& key : kPrefKeys) {
        if (key.flag)
            s.*key.flag = ini.GetInt(kPrefs, key.name, defaults.*key.flag ? 1 : 0) != 0;
        else if (key.number)
            s.*key.number = ini.GetInt(kPrefs, key.name, defaults.*key.number);
        else
            s.*key.text = ini.GetString(kPrefs, key.name);
    }
    for (int type = 1; type < kDataTypeCount; ++type)
        s.DetectTypes[type] = ini.GetInt(kDetect, kDataTypeNames[type], 1) != 0;
}

void ApplyChecks(AppSettings& a)
{
    Settings& s = a.core;
    if (s.StreamStart && FolderState(a.StreamDir) != 2) s.StreamStart = false;
    a.StreamResume = s.StreamStart;
    if (s.FileMask > kFileMaskEntries) s.FileMask = 1;
    if (s.ArchiveLimitMB <= 0) s.ArchiveLimitMB = Settings{}.ArchiveLimitMB;
    if (FolderState(s.WorkingDir) != 2) s.WorkingDir = DefaultTempFolder();
}

} // namespace

int FolderState(const std::string& dir)
{
    struct stat st
    {
    };
    if (dir.empty() || ::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return 0;
    return ::access(dir.c_str(), W_OK | X_OK) == 0 ? 2 : 1;
}

std::string DefaultTempFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? std::string(tmp) : std::string("/tmp");
}

int CenterForSaving(int center)
{
    return center >= 47 && center <= 53 ? 0 : center;
}

AppSettings LoadSettings(const IniFile& ini)
{
    AppSettings a;
    a.Center = ini.GetInt(kWindow, "Center", kDefaultCenter);
    a.Coordinates = ini.GetString(kWindow, "Coordinates");
    a.Minimized = ini.GetInt(kWindow, "Minimized", 0) != 0;
    a.OpenDir = ini.GetString(kRecent, "OpenDir");
    a.StreamDir = ini.GetString(kRecent, "StreamDir");
    for (int n = 1; n <= 9; ++n)
        a.Dirs[n - 1] = ini.GetString(kRecent, DirKey(n));
    LoadPreferences(ini, a.core);
    a.Par2Repair = ini.GetInt(kPrefs, "Par2Repair", 1) != 0;
    a.Par2WaitSeconds = std::clamp(ini.GetInt(kPrefs, "Par2WaitSeconds", 300), 0, 86400);
    ApplyChecks(a);
    return a;
}

void StoreSettings(const AppSettings& a, bool extractionRun, IniFile& ini)
{
    ini.Set(kWindow, "Coordinates", a.Coordinates);
    ini.SetInt(kWindow, "Minimized", a.Minimized && !extractionRun ? 1 : 0);
    ini.SetInt(kWindow, "Center", CenterForSaving(a.Center));

    ini.Set(kRecent, "OpenDir", a.OpenDir);
    ini.Set(kRecent, "StreamDir", a.StreamDir);
    // The saved "MimeText" is the user's choice: the scanner's switch-off for
    // the current run lives in RunContext, which is never saved.
    const Settings& s = a.core;
    for (const PrefKey& key : kPrefKeys) {
        if (!key.savedAtExit) continue;
        if (key.flag)
            ini.SetInt(kPrefs, key.name, s.*key.flag ? 1 : 0);
        else if (key.number)
            ini.SetInt(kPrefs, key.name, s.*key.number);
        else
            ini.Set(kPrefs, key.name, s.*key.text);
    }
    ini.SetInt(kPrefs, "Par2Repair", a.Par2Repair ? 1 : 0);
    ini.SetInt(kPrefs, "Par2WaitSeconds", a.Par2WaitSeconds);
    ini.Set(kRecent, DirKey(1), a.Dirs[0]);
    for (int type = 1; type < kDataTypeCount; ++type)
        ini.SetInt(kDetect, kDataTypeNames[type], s.DetectTypes[type] ? 1 : 0);
}

void StoreExtractChoices(const AppSettings& a, IniFile& ini)
{
    for (int n = 1; n <= static_cast<int>(a.Dirs.size()); ++n)
        ini.Set(kRecent, DirKey(n), a.Dirs[static_cast<std::size_t>(n - 1)]);
    ini.SetInt(kPrefs, "Overwrite", a.core.Overwrite ? 1 : 0);
    ini.SetInt(kPrefs, "IgnoreIncomplete", a.core.IgnoreIncomplete ? 1 : 0);
}

} // namespace zarvex
