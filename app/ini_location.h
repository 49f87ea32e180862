// Where "Zarvex.ini" lives. A program whose file name contains "pe" (any
// case) runs portable and keeps its INI beside itself; otherwise an INI beside
// the program is used only when it already exists, and the per-user file is
// $XDG_CONFIG_HOME/Zarvex/Zarvex.ini (~/.config when the variable is unset).
#pragma once

#include <string>

namespace zarvex {

struct IniEnvironment {
    std::string overridePath;  // ZARVEX_INI: used as it is when set
    std::string xdgConfigHome; // XDG_CONFIG_HOME
    std::string home;          // HOME (or the password database's home folder)

    // Reads the three values from the process environment.
    static IniEnvironment FromProcess();
};

struct IniLocation {
    std::string path; // empty: no usable place (defaults are used, nothing is saved)
    bool portable = false;
};

// `programPath`: the program file's full path (see ProgramPath()).
IniLocation LocateIniFile(const std::string& programPath, const IniEnvironment& env);

// The running program's full path (/proc/self/exe), or empty.
std::string ProgramPath();

// True when the file name part of `programPath`, lower-cased, contains "pe".
bool IsPortableProgramName(const std::string& programPath);

// Opens `path` for reading and writing (creating it when `create`) and
// rewrites its first byte in place (a space for an empty file): the test that
// the file can really be written before it is chosen.
bool CanRewriteFirstByte(const std::string& path, bool create);

} // namespace zarvex
