#include "app/desktop/uninstall.h"

#include "app/desktop/associations.h"
#include "app/ini_file.h"
#include "text/messages.h"

#include <cstdio>
#include <ostream>

namespace zarvex {

int RunUninstall(const std::string& iniPath, const DesktopPaths& paths, bool silent, std::ostream& out,
                 std::ostream& err)
{
    IniFile settings;
    if (!iniPath.empty()) settings.Load(iniPath);
    const AssociationOutcome outcome = UninstallDesktop(paths, settings);
    for (const std::string& e : outcome.errors)
        err << "zarvex: " << e << '\n';
    if (!iniPath.empty()) std::remove(iniPath.c_str());
    if (!silent) out << Message(msg::AssociationsRemoved) << '\n';
    return outcome.errors.empty() ? 0 : 1;
}

} // namespace zarvex
