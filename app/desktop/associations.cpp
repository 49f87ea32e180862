#include "app/desktop/associations.h"

#include "app/ini_file.h"
#include "text/ascii.h"

#include <cstring>
#include <filesystem>

namespace zarvex {
namespace {

std::string PrefKey(std::size_t index)
{
    return "Pref" + std::to_string(index + 1);
}

// The first desktop entry of a "type=a.desktop;b.desktop;" value.
std::string_view FirstEntry(std::string_view value)
{
    return value.substr(0, value.find(';'));
}

bool IsOurs(const IniFile& list, const FileAssociation& a)
{
    return EqualsIgnoreCase(FirstEntry(list.GetString(kDefaultApplications, a.mimeType)), kDesktopId);
}

std::string WriteError(const FileAssociation& a, int err)
{
    return "Error writing registry value HKCR\\" + std::string(a.extension) + ".\r\n" + std::strerror(err);
}

void Take(IniFile& list, const FileAssociation& a, std::size_t index, IniFile& settings)
{
    const std::string previous = list.GetString(kDefaultApplications, a.mimeType);
    if (!previous.empty()) settings.Set(kAssociationSection, PrefKey(index), previous);
    list.Set(kDefaultApplications, a.mimeType, std::string(kDesktopId) + ";");
}

void Drop(IniFile& list, const FileAssociation& a, std::size_t index, IniFile& settings)
{
    const std::string previous = settings.GetString(kAssociationSection, PrefKey(index));
    if (previous.empty())
        list.Remove(kDefaultApplications, a.mimeType);
    else
        list.Set(kDefaultApplications, a.mimeType, previous);
    settings.Remove(kAssociationSection, PrefKey(index));
}

} // namespace

AssociationStates ReadAssociations(const DesktopPaths& paths)
{
    IniFile list;
    list.Load(paths.MimeAppsList());
    AssociationStates states{};
    for (std::size_t i = 0; i < kFileAssociations.size(); ++i)
        states[i] = IsOurs(list, kFileAssociations[i]);
    return states;
}

AssociationOutcome ApplyAssociations(const DesktopPaths& paths, const AssociationStates& wanted,
                                     IniFile& settings)
{
    AssociationOutcome outcome;
    IniFile list;
    if (const int e = list.Load(paths.MimeAppsList()); e != 0) {
        for (std::size_t i = 0; i < kFileAssociations.size(); ++i)
            if (wanted[i]) outcome.errors.push_back(WriteError(kFileAssociations[i], e));
        return outcome;
    }
    const IniFile settingsBefore = settings;
    std::vector<std::size_t> touched;
    for (std::size_t i = 0; i < kFileAssociations.size(); ++i) {
        const FileAssociation& a = kFileAssociations[i];
        if (wanted[i] == IsOurs(list, a)) continue;
        if (wanted[i])
            Take(list, a, i, settings);
        else
            Drop(list, a, i, settings);
        touched.push_back(i);
    }
    if (touched.empty()) return outcome;
    std::error_code ec;
    std::filesystem::create_directories(paths.configHome, ec);
    if (const int e = list.Save(paths.MimeAppsList()); e != 0) {
        settings = settingsBefore;
        for (std::size_t i : touched)
            outcome.errors.push_back(WriteError(kFileAssociations[i], e));
        return outcome;
    }
    // The file as another program now sees it must say what was written.
    const AssociationStates now = ReadAssociations(paths);
    for (std::size_t i : touched) {
        if (now[i] != wanted[i]) {
            outcome.errors.emplace_back("Error setting File Association in Registry");
            break;
        }
    }
    outcome.changed = true;
    return outcome;
}

AssociationOutcome UninstallDesktop(const DesktopPaths& paths, IniFile& settings)
{
    AssociationOutcome outcome = ApplyAssociations(paths, AssociationStates{}, settings);
    RemoveDesktopFiles(paths);
    return outcome;
}

} // namespace zarvex
