// The program's place on the desktop: the launcher entry "zarvex.desktop"
// (with the action "Extract" that extracts a file into its own folder) and
// the MIME package that gives each of the program's extensions its file type.
// The per-user copies live under $XDG_DATA_HOME; an installed program ships
// them under the prefix's share/ folder instead.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace zarvex {

// The per-user folders of the XDG base directories.
struct DesktopPaths
{
    std::string dataHome;   // $XDG_DATA_HOME, else ~/.local/share
    std::string configHome; // $XDG_CONFIG_HOME, else ~/.config

    static DesktopPaths FromProcess();

    std::string DesktopFile() const { return dataHome + "/applications/zarvex.desktop"; }
    std::string MimePackage() const { return dataHome + "/mime/packages/zarvex.xml"; }
    std::string MimeAppsList() const { return configHome + "/mimeapps.list"; }
};

inline constexpr std::string_view kDesktopId = "zarvex.desktop";

// One extension the program can be made the default for, in the order of the
// check boxes 1301 to 1308 of the Preferences dialog; index i is remembered
// as "Pref<i+1>" in section "Association".
struct FileAssociation
{
    std::string_view label;     // check box text
    std::string_view extension; // as shown, with its dot
    std::string_view mimeType;  // the file type the extension is given
};

inline constexpr std::array<FileAssociation, 8> kFileAssociations = {{
    {".UU&E", ".UUE", "text/x-uuencode"},
    {".&UU", ".UU", "application/x-zarvex-uu"},
    {".&XXE", ".XXE", "application/x-zarvex-xxe"},
    {".&MM", ".MM", "application/x-zarvex-mm"},
    {".&B64", ".B64", "application/x-zarvex-b64"},
    {".&HQX", ".HQX", "application/mac-binhex40"},
    {".&NTX", ".NTX", "application/x-zarvex-ntx"},
    {".MIM", ".MIM", "application/x-zarvex-mim"},
}};

// The launcher entry for the program at `exec`.
std::string DesktopEntryText(const std::string& exec);
// The MIME package: one type per extension of kFileAssociations.
std::string MimePackageText();

// Writes the launcher entry and the MIME package into the user's folders
// where they are missing or differ, then refreshes the desktop's caches.
// Returns 1 when something was written, 0 when all was in place, -1 on failure.
int RegisterDesktopFiles(const DesktopPaths& paths, const std::string& programPath);
// Removes both files (and refreshes the caches); false when one stays.
bool RemoveDesktopFiles(const DesktopPaths& paths);

// True for a program installed under a prefix whose share/ folder holds its
// launcher entry (<prefix>/bin/zarvex with <prefix>/share/applications/zarvex.desktop):
// such a program needs no per-user registration.
bool IsInstalledProgram(const std::string& programPath);

// Writes `text` to `path` (creating its folders) unless the file already
// holds exactly that text. 1 written, 0 unchanged, -1 failed.
int WriteFileIfDifferent(const std::string& path, std::string_view text);

} // namespace zarvex
