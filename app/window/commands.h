// The command ids of the main window's menu, keys and buttons.
#pragma once

namespace zarvex::cmd {

inline constexpr int Open = 57601;
inline constexpr int Extract = 40006;
inline constexpr int ExtractButton = 1001;
inline constexpr int ExtractStream = 40037;
inline constexpr int SaveRaw = 40041;
inline constexpr int Exit = 57665;
inline constexpr int RecentFirst = 57616; // the recent-files list: 57616 to 57619
inline constexpr int RecentCount = 4;
inline constexpr int Paste = 57637;
inline constexpr int DeleteInputs = 40011;
inline constexpr int Clear = 57632;
inline constexpr int ClearButton = 1004;
inline constexpr int Copy = 57634;
inline constexpr int Rename = 40013;
inline constexpr int RenameFromSubject = 40039;
inline constexpr int Remove = 40017;
inline constexpr int FindSelect = 57636;
inline constexpr int SelectAll = 40038;
inline constexpr int PadNumbers = 40042;
inline constexpr int Properties = 40032;
inline constexpr int Preview = 40036;
inline constexpr int Rescan = 40031;
inline constexpr int Preferences = 40007;
inline constexpr int AdvancedPreferences = 40040;
inline constexpr int ToolBar = 59392;
inline constexpr int StatusBar = 59393;
inline constexpr int LogWindow = 40034;
inline constexpr int SortFiles = 40033;
inline constexpr int AlwaysOnTop = 40030;
inline constexpr int HelpContents = 40018;
inline constexpr int HelpSearch = 40019;
inline constexpr int HelpUsing = 57668;
inline constexpr int About = 57664;
inline constexpr int Abort = 40015;
inline constexpr int ListDump = 40016;
inline constexpr int CopySubject = 40021;
inline constexpr int CopyNewsgroups = 40022;
inline constexpr int CopyOriginalName = 40028;
// Beyond the menu resource: the folder the last extraction wrote into.
inline constexpr int OpenOutputFolder = 40100;

// Status texts.
inline constexpr int StatusReady = 57345;
inline constexpr const char* kReady = "Ready";
inline constexpr const char* kErrorsDetected = "Errors detected. See log window.";

} // namespace zarvex::cmd
