#include "app/wildcards.h"

#include "text/text_utils.h"
#include "text/wild_match.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace zarvex {

bool HasWildcards(std::string_view arg)
{
    const std::size_t slash = arg.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? arg : arg.substr(slash + 1);
    return name.find_first_of("*?") != std::string_view::npos;
}

std::vector<std::string> ExpandWildcards(const std::string& arg)
{
    const std::size_t slash = arg.rfind('/');
    const std::string prefix = slash == std::string::npos ? std::string() : arg.substr(0, slash + 1);
    const std::string pattern = slash == std::string::npos ? arg : arg.substr(slash + 1);
    std::vector<std::string> matches;
    DIR* dir = ::opendir(prefix.empty() ? "." : prefix.c_str());
    if (!dir) return matches;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name[0] == '.' && pattern[0] != '.') continue;
        if (IsTempFileName(name) && pattern[0] != '~') continue; // a leftover of a killed run
        if (WildMatch(name.c_str(), pattern.c_str(), false) != 1) continue;
        std::string full = prefix + name;
        struct stat st
        {
        };
        if (::stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode)) matches.push_back(std::move(full));
    }
    ::closedir(dir);
    std::sort(matches.begin(), matches.end());
    return matches;
}

} // namespace zarvex
