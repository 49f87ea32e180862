// The application the desktop opens a file type with: the user's and the
// system's "mimeapps.list" files and the ".desktop" files of the XDG data
// folders, in the order and with the rules every XDG desktop follows. The
// chosen application's "Exec" line becomes an argument list, never a shell
// command, so no file name can inject anything.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarvex {

struct XdgFolders
{
    std::string configHome;              // $XDG_CONFIG_HOME or ~/.config
    std::vector<std::string> configDirs; // $XDG_CONFIG_DIRS or /etc/xdg
    std::string dataHome;                // $XDG_DATA_HOME or ~/.local/share
    std::vector<std::string> dataDirs;   // $XDG_DATA_DIRS or /usr/local/share:/usr/share
    std::vector<std::string> desktops;   // $XDG_CURRENT_DESKTOP, lower case
};

XdgFolders XdgFoldersFromEnvironment();

struct DesktopApp
{
    std::string id;   // "org.gnome.eog.desktop"
    std::string path; // the .desktop file
    std::string name; // its "Name="
    std::string exec; // its "Exec="
    std::string icon; // its "Icon="
};

// The default application for `mimeType`: the first installed entry of
// "[Default Applications]" in the mimeapps.list files (in their order of
// precedence), else of "[Added Associations]", else the first .desktop file
// that lists the type; entries of "[Removed Associations]" never count there.
std::optional<DesktopApp> FindDefaultApp(std::string_view mimeType, const XdgFolders& folders);

// The argument list to start `app` on `file`: the "Exec" line split by its
// quoting rules, with "%f %F %u %U" replaced by the file (appended when the
// line has none of them), "%c" by the name, "%k" by the .desktop file,
// "%i" by "--icon" and the icon, "%%" by "%", other codes dropped. Empty when
// the line cannot be parsed.
std::vector<std::string> ExpandExec(const DesktopApp& app, const std::string& file);

// Extensions (without the dot, any case) of files that run code when opened:
// previewing one asks first.
bool IsRiskyExtension(std::string_view extension);

// The name whose type chooses the viewer: a numbered piece of an archive
// ("x.rar.001") is looked up as the archive ("x.rar").
std::string ViewerLookupName(std::string_view name);

} // namespace zarvex
