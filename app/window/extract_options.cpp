#include "app/window/extract_options.h"

#include "text/wild_match.h"

#include <filesystem>
#include <system_error>

namespace zarvex {

void PutFolderFirst(std::array<std::string, 9>& dirs, const std::string& folder)
{
    const std::array<std::string, 9> old = dirs;
    std::size_t next = 0;
    dirs[next++] = folder;
    // The former ninth entry falls out: only Dir1 to Dir8 move down.
    for (std::size_t i = 0; i + 1 < old.size() && next < dirs.size(); ++i)
        if (!old[i].empty() && old[i] != folder) dirs[next++] = old[i];
}

std::vector<int> MatchingRows(const std::vector<std::string>& names, const std::string& pattern)
{
    std::vector<int> rows;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (WildMatch(names[i].c_str(), pattern.c_str(), true) == 1) rows.push_back(static_cast<int>(i));
    return rows;
}

std::string ChosenFolder(const std::string& text)
{
    if (text == "*/") return "*";
    std::string folder = text;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

bool FolderExists(const std::string& folder)
{
    std::error_code ec;
    return folder == "*" || std::filesystem::is_directory(folder, ec);
}

bool CreateFolder(const std::string& folder)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return !ec && std::filesystem::is_directory(folder, ec);
}

} // namespace zarvex
