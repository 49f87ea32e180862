// "/uninstall": gives every extension back to its previous default, removes
// the program's launcher entry and MIME package, deletes the settings file
// and says so (message 334) unless silent. Needs no display.
#pragma once

#include <iosfwd>
#include <string>

namespace zarvex {

struct DesktopPaths;

// `iniPath`: the settings file (its "Association" entries are read; then it
// is deleted). Messages go to `out`, errors to `err`. Returns the exit status.
int RunUninstall(const std::string& iniPath, const DesktopPaths& paths, bool silent, std::ostream& out,
                 std::ostream& err);

} // namespace zarvex
