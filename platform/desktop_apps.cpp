#include "platform/desktop_apps.h"

#include "text/ascii.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <dirent.h>

namespace zarvex {
namespace {

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::vector<std::string> SplitList(const std::string& text, char separator)
{
    std::vector<std::string> out;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, separator);)
        if (!item.empty()) out.push_back(item);
    return out;
}

bool IsFile(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The keys of one group of an INI-style file ("[Desktop Entry]", "[Default Applications]").
using Group = std::vector<std::pair<std::string, std::string>>;

Group ReadGroup(const std::string& path, std::string_view wanted)
{
    Group group;
    std::ifstream in(path);
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            inside = line == "[" + std::string(wanted) + "]";
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!inside || eq == std::string::npos) continue;
        auto trim = [](std::string s) {
            while (!s.empty() && IsAsciiSpace(s.back())) s.pop_back();
            while (!s.empty() && IsAsciiSpace(s.front())) s.erase(0, 1);
            return s;
        };
        group.emplace_back(trim(line.substr(0, eq)), trim(line.substr(eq + 1)));
    }
    return group;
}

std::string Value(const Group& group, std::string_view key)
{
    for (const auto& [k, v] : group)
        if (k == key) return v;
    return {};
}

std::vector<std::string> ApplicationDirs(const XdgFolders& f)
{
    std::vector<std::string> dirs{f.dataHome + "/applications"};
    for (const std::string& d : f.dataDirs) dirs.push_back(d + "/applications");
    return dirs;
}

// The mimeapps.list files, most important first.
std::vector<std::string> MimeAppsLists(const XdgFolders& f)
{
    std::vector<std::string> lists;
    auto add = [&](const std::string& dir) {
        for (const std::string& desktop : f.desktops) lists.push_back(dir + "/" + desktop + "-mimeapps.list");
        lists.push_back(dir + "/mimeapps.list");
    };
    add(f.configHome);
    for (const std::string& d : f.configDirs) add(d);
    for (const std::string& d : ApplicationDirs(f)) add(d);
    return lists;
}

// The .desktop file of a desktop file id ("a-b.desktop" may also be "a/b.desktop").
std::optional<DesktopApp> LoadApp(const std::string& id, const XdgFolders& f)
{
    for (const std::string& dir : ApplicationDirs(f)) {
        std::string path = dir + "/" + id;
        if (!IsFile(path)) {
            std::string nested = id;
            std::replace(nested.begin(), nested.end(), '-', '/');
            path = dir + "/" + nested;
            if (!IsFile(path)) continue;
        }
        const Group entry = ReadGroup(path, "Desktop Entry");
        // The first file of an id hides the later ones, hidden or not.
        if (Value(entry, "Hidden") == "true" || Value(entry, "Exec").empty()) return std::nullopt;
        const std::string type = Value(entry, "Type");
        if (!type.empty() && type != "Application") return std::nullopt;
        return DesktopApp{id, path, Value(entry, "Name"), Value(entry, "Exec"), Value(entry, "Icon")};
    }
    return std::nullopt;
}

bool Listed(const std::string& ids, const std::string& id)
{
    const auto list = SplitList(ids, ';');
    return std::find(list.begin(), list.end(), id) != list.end();
}

std::vector<std::string> DesktopIdsIn(const std::string& dir)
{
    std::vector<std::string> ids;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > 8 && name.ends_with(".desktop")) ids.push_back(name);
        }
        ::closedir(d);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Splits an Exec line into arguments: blanks separate, double quotes group,
// and inside quotes a backslash escapes '"', '`', '$' and '\'.
std::optional<std::vector<std::string>> SplitExec(std::string_view exec)
{
    std::vector<std::string> args;
    std::string current;
    bool inQuotes = false, have = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (inQuotes) {
            if (c == '\\' && i + 1 < exec.size()) {
                current += exec[++i];
            } else if (c == '"') {
                inQuotes = false;
            } else {
                current += c;
            }
        } else if (c == '"') {
            inQuotes = have = true;
        } else if (c == ' ' || c == '\t') {
            if (have) args.push_back(std::move(current));
            current.clear();
            have = false;
        } else {
            current += c;
            have = true;
        }
    }
    if (inQuotes) return std::nullopt;
    if (have) args.push_back(std::move(current));
    return args;
}

constexpr std::string_view kRiskyExtensions[] = {
    "exe", "com", "bat", "scr", "vbs", "hta", "reg", "cmd", "pif", "js",  "msi",
    "lnk", "ps1", "sh",  "run", "desktop", "appimage",
};

} // namespace

bool IsRiskyExtension(std::string_view extension)
{
    return std::any_of(std::begin(kRiskyExtensions), std::end(kRiskyExtensions),
                       [&](std::string_view e) { return EqualsIgnoreCase(e, extension); });
}

std::string ViewerLookupName(std::string_view name)
{
    const std::size_t n = name.size();
    const bool numbered = n > 8 && name[n - 4] == '.' && IsAsciiDigit(name[n - 3]) && IsAsciiDigit(name[n - 2]) &&
                          IsAsciiDigit(name[n - 1]) && name[n - 8] == '.';
    return std::string(numbered ? name.substr(0, n - 4) : name);
}

XdgFolders XdgFoldersFromEnvironment()
{
    const std::string home = Env("HOME");
    XdgFolders f;
    f.configHome = Env("XDG_CONFIG_HOME").empty() ? home + "/.config" : Env("XDG_CONFIG_HOME");
    f.dataHome = Env("XDG_DATA_HOME").empty() ? home + "/.local/share" : Env("XDG_DATA_HOME");
    f.configDirs = SplitList(Env("XDG_CONFIG_DIRS").empty() ? "/etc/xdg" : Env("XDG_CONFIG_DIRS"), ':');
    f.dataDirs = SplitList(Env("XDG_DATA_DIRS").empty() ? "/usr/local/share:/usr/share" : Env("XDG_DATA_DIRS"), ':');
    for (std::string d : SplitList(Env("XDG_CURRENT_DESKTOP"), ':')) f.desktops.push_back(ToLowerAscii(d));
    return f;
}

std::optional<DesktopApp> FindDefaultApp(std::string_view mimeType, const XdgFolders& folders)
{
    const std::string type(mimeType);
    const auto lists = MimeAppsLists(folders);
    std::vector<std::string> removed;
    for (const std::string& list : lists)
        for (const std::string& id : SplitList(Value(ReadGroup(list, "Removed Associations"), type), ';'))
            removed.push_back(id);
    auto usable = [&](const std::string& id) { return std::find(removed.begin(), removed.end(), id) == removed.end(); };

    for (const std::string& list : lists)
        for (const std::string& id : SplitList(Value(ReadGroup(list, "Default Applications"), type), ';'))
            if (auto app = LoadApp(id, folders)) return app;
    for (const std::string& list : lists)
        for (const std::string& id : SplitList(Value(ReadGroup(list, "Added Associations"), type), ';'))
            if (usable(id))
                if (auto app = LoadApp(id, folders)) return app;
    for (const std::string& dir : ApplicationDirs(folders))
        for (const std::string& id : DesktopIdsIn(dir))
            if (usable(id) && Listed(Value(ReadGroup(dir + "/" + id, "Desktop Entry"), "MimeType"), type))
                if (auto app = LoadApp(id, folders)) return app;
    return std::nullopt;
}

std::vector<std::string> ExpandExec(const DesktopApp& app, const std::string& file)
{
    const auto split = SplitExec(app.exec);
    if (!split || split->empty()) return {};
    std::vector<std::string> args;
    bool fileGiven = false;
    for (const std::string& arg : *split) {
        if (arg == "%i") {
            if (!app.icon.empty()) {
                args.push_back("--icon");
                args.push_back(app.icon);
            }
            continue;
        }
        std::string out;
        bool dropped = false;
        for (std::size_t i = 0; i < arg.size(); ++i) {
            if (arg[i] != '%' || i + 1 == arg.size()) {
                out += arg[i];
                continue;
            }
            switch (const char code = arg[++i]) {
            case 'f': case 'F': case 'u': case 'U':
                out += file;
                fileGiven = true;
                break;
            case 'c': out += app.name; break;
            case 'k': out += app.path; break;
            case '%': out += '%'; break;
            default:
                (void)code; // deprecated or unknown codes are dropped
                dropped = true;
            }
        }
        if (!out.empty() || !dropped) args.push_back(std::move(out));
    }
    if (args.empty()) return {};
    if (!fileGiven) args.push_back(file);
    return args;
}

} // namespace zarvex
