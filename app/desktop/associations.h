// Making the program the default application for its eight extensions, and
// giving each back: the default lives in the user's mimeapps.list
// ([Default Applications]); the default an extension's type had before the
// program took it over is remembered in "Zarvex.ini", section "Association",
// key "Pref<i+1>", and restored when the association is dropped.
#pragma once

#include "app/desktop/desktop_files.h"

#include <array>
#include <string>
#include <vector>

namespace zarvex {

class IniFile;

using AssociationStates = std::array<bool, kFileAssociations.size()>;

inline constexpr std::string_view kAssociationSection = "Association";
inline constexpr std::string_view kDefaultApplications = "Default Applications";

// Per extension: the program is its type's default application.
AssociationStates ReadAssociations(const DesktopPaths& paths);

struct AssociationOutcome
{
    bool changed = false;
    // Messages for the user, in order ("Error writing registry value ...").
    std::vector<std::string> errors;
};

// Brings every extension to its `wanted` state: taking one remembers the
// previous default in `settings`; dropping one restores that default (or
// removes the entry when there was none) and forgets it. A mimeapps.list
// that cannot be written changes nothing, `settings` included.
AssociationOutcome ApplyAssociations(const DesktopPaths& paths, const AssociationStates& wanted,
                                     IniFile& settings);

// "/uninstall": drops every association and removes the launcher entry and
// the MIME package. `settings` keeps the state for the caller to discard.
AssociationOutcome UninstallDesktop(const DesktopPaths& paths, IniFile& settings);

} // namespace zarvex
