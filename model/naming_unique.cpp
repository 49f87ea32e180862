// Made-up names, names with the type's extension, and unique names.
#include "model/file_types.h"
#include "model/naming.h"
#include "model/naming_internal.h"
#include "model/records.h"
#include "model/settings.h"
#include "text/ascii.h"
#include "text/display_text.h"

#include <optional>

namespace zarvex {
namespace {

constexpr std::size_t kNameLimit = 255;
constexpr int kLetterSuffixes = 26 * 26;
constexpr std::size_t kLongestExtension = 64;

// The DataType whose short name is `ext` (without "."), or 0.
int TypeOfExtension(std::string_view ext)
{
    for (int t = 1; t < kDataTypeCount; ++t)
        if (EqualsIgnoreCase(kDataTypeNames[static_cast<std::size_t>(t)], ext)) return t;
    return 0;
}

bool IsOwnMsAppExtension(std::string_view ext)
{
    return EqualsIgnoreCase(ext, "doc") || EqualsIgnoreCase(ext, "xls") || EqualsIgnoreCase(ext, "ppt");
}

// "file" followed by a number of at least 1: that number, else 0.
int FileNumber(std::string_view stem)
{
    if (stem.size() <= 4 || stem.substr(0, 4) != "file") return 0;
    long long n = 0;
    for (char c : stem.substr(4)) {
        if (!IsAsciiDigit(c)) return 0;
        n = std::min<long long>(n * 10 + (c - '0'), 1'000'000'000);
    }
    return static_cast<int>(n);
}

std::string Suffix(bool letters, int& running)
{
    if (!letters) {
        ++running;
        std::string digits = std::to_string(running);
        return digits.size() < 2 ? "0" + digits : digits;
    }
    const int n = running++;
    if (n >= kLetterSuffixes) return "z" + std::to_string(n); // past "zz": still unique, still plain
    return {static_cast<char>('a' + n / 26), static_cast<char>('a' + n % 26)};
}

// The extension a made name gets: the given one unless it names another
// type, else the type's own.
std::string ExtensionFor(const Settings& settings, int dataType, std::string ext, const CFInfo* part)
{
    const bool checks =
        dataType != DT_UNKNOWN && dataType != DT_APP &&
        ((settings.AutoExtensionDetect && settings.DetectsType(dataType)) || dataType == DT_TXT);
    if (checks && ext.size() > 1) {
        const std::string_view bare = std::string_view(ext).substr(1);
        const int named = TypeOfExtension(bare);
        if (named != 0 && named != dataType && !(dataType == DT_MSAPP && IsOwnMsAppExtension(bare)))
            ext.clear();
    }
    if (!ext.empty()) return ext;
    if (dataType >= 1 && dataType < kDataTypeCount)
        return dataType == DT_MSAPP ? ".doc"
                                    : "." + std::string(kDataTypeNames[static_cast<std::size_t>(dataType)]);
    return part && part->m_MsgType == MT_TXT ? ".txt" : std::string();
}

// The current name of the first other part of the same original name whose
// extension differs, without its extension; empty when there is none.
std::string_view StemOf(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

std::string_view ExtensionOf(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

// The other part's current stem when it qualifies as the sibling.
std::optional<std::string> Sibling(const CFInfo* part, const CFInfo* other, const std::string& ext)
{
    if (other == part || other->TestFlag(PF_RENAME)) return std::nullopt;
    if (EqualsIgnoreCase(ExtensionOf(other->m_DestFile), ext)) return std::nullopt;
    return std::string(StemOf(other->m_DestFile));
}

RenameMemo::Stem* PartsOfStem(const MyCObArray& list, RenameMemo& memo, std::string_view key)
{
    if (!memo.indexed) {
        for (int g = 0; g < list.GetSize(); ++g)
            for (int i = 0; i < list.GetAt(g)->GetSize(); ++i) {
                const CFInfo* other = list.GetAt(g)->GetAt(i);
                RenameMemo::Stem& stem = memo.byOrigStem[std::string(StemOf(other->m_OrigName))];
                stem.parts.push_back(other);
                ++stem.extensions[std::string(ExtensionOf(other->m_DestFile))];
            }
        memo.indexed = true;
    }
    const auto it = memo.byOrigStem.find(key);
    return it == memo.byOrigStem.end() ? nullptr : &it->second;
}

// The memo's extension counts follow a part's new name.
void NoteNewName(const MyCObArray& list, const CFInfo& part, std::string_view oldName)
{
    if (!list.m_RenameMemo || !list.m_RenameMemo->indexed) return;
    RenameMemo::Stem* stem = PartsOfStem(list, *list.m_RenameMemo, StemOf(part.m_OrigName));
    if (!stem) return;
    --stem->extensions[std::string(ExtensionOf(oldName))];
    ++stem->extensions[std::string(ExtensionOf(part.m_DestFile))];
}

std::string SiblingStem(const MyCObArray& list, const CFInfo* part, const std::string& ext)
{
    if (!part || part->m_OrigName.empty()) return std::string();
    const std::string_view key = StemOf(part->m_OrigName);
    if (list.m_RenameMemo) {
        RenameMemo::Stem* stem = PartsOfStem(list, *list.m_RenameMemo, key);
        if (!stem) return std::string();
        // Only a part whose extension differs can be the sibling.
        const auto same = stem->extensions.find(ext);
        if (same != stem->extensions.end() && same->second == static_cast<int>(stem->parts.size()))
            return std::string();
        for (const CFInfo* other : stem->parts)
            if (auto sibling = Sibling(part, other, ext)) return *sibling;
        return std::string();
    }
    for (int g = 0; g < list.GetSize(); ++g) {
        const CSortInfo& group = *list.GetAt(g);
        for (int i = 0; i < group.GetSize(); ++i) {
            const CFInfo* other = group.GetAt(i);
            if (!EqualsIgnoreCase(StemOf(other->m_OrigName), key)) continue;
            if (auto stem = Sibling(part, other, ext)) return *stem;
        }
    }
    return std::string();
}

} // namespace

std::string MakeName(MyCObArray& list, int dataType, std::string_view baseName, CFInfo* part)
{
    const Settings& settings = list.GetSettings();
    std::string_view stemText = baseName, extText;
    const std::size_t dot = baseName.rfind('.');
    // A "." far from the end (a sentence in a subject) starts no extension.
    if (dot != std::string_view::npos && dot != 0 && baseName.size() - dot <= kLongestExtension) {
        stemText = baseName.substr(0, dot);
        extText = baseName.substr(dot);
    }
    if (settings.Force8 && stemText.size() > 8) stemText = stemText.substr(stemText.size() - 8);
    const NameParts cleaned = CleanNameParts(stemText, false, false, settings);
    std::string stem = cleaned.stem + cleaned.ext;
    if (!stem.empty()) stem = CleanName(stem, false, true, settings);

    const bool madeUp = stem.empty();
    int running = 0;
    bool letters = false;
    std::string candidateStem = stem;
    if (madeUp) {
        stem = "file";
        candidateStem = "file01";
        running = ++list.m_NextFileNumber;
    } else if (const int number = FileNumber(stem); number >= 1) {
        running = number;
        stem = "file";
    } else {
        letters = IsAsciiDigit(stem.back());
    }

    const std::string ext =
        ExtensionFor(settings, dataType, KeepAllowed(ToDisplayUtf8(extText), settings.Force8), part);
    if (const std::string sibling = SiblingStem(list, part, ext); !sibling.empty()) {
        candidateStem = sibling;
        stem = sibling;
    }
    std::string candidate = FitName(candidateStem + ext);
    if (settings.NoAutoRename && !madeUp) return candidate;
    int* resume = nullptr;
    while (list.FindNameInGroups(candidate, -1) >= 0) {
        if (!resume && list.m_RenameMemo) {
            std::string key = stem + '\0' + ext + '\0' + (letters ? 'a' : 'd') + std::to_string(running);
            resume = &list.m_RenameMemo->suffixSearches.try_emplace(std::move(key), running).first->second;
            running = *resume;
        }
        if (resume) *resume = running; // every suffix before this one is taken
        const std::string suffix = Suffix(letters, running);
        std::size_t room = kNameLimit - std::min(kNameLimit, suffix.size() + ext.size());
        if (settings.Force8) room = std::min<std::size_t>(room, suffix.size() < 8 ? 8 - suffix.size() : 0);
        candidate = stem.substr(0, Utf8CutPoint(stem, room)) + suffix + ext;
    }
    return candidate;
}

std::string TypedName(std::string_view name, int dataType)
{
    return FitName(AddTypeExtension(name, dataType));
}

void RenameDuplicate(MyCObArray& list, CSortInfo& group, int index)
{
    CFInfo& part = *group.GetAt(index);
    part.ClearFlag(PF_RENAME);
    // The parts after the first of a multi-part file follow the first.
    if (index != 0 && part.m_Total >= 2) return;
    const std::string oldName = part.m_DestFile;
    const std::string newName = MakeName(list, part.m_DataType, oldName, &part);
    part.m_DestFile = newName;
    NoteNewName(list, part, oldName);
    group.m_Names.insert(newName);
    if (group.IndexOfNamed(&part) < 0) group.m_Named.push_back(&part);
    if (part.m_Total <= 1) return;
    const std::string oldStem = SplitName(oldName).stem, newStem = SplitName(newName).stem;
    for (int k = index + 1; k < group.GetSize(); ++k) {
        CFInfo& later = *group.GetAt(k);
        if (later.m_OrigName != part.m_OrigName) continue;
        const NameParts own = SplitName(later.m_DestFile);
        if (!EqualsIgnoreCase(own.stem, oldStem)) continue;
        const std::string laterOld = later.m_DestFile;
        later.m_DestFile = FitName(newStem + own.ext);
        NoteNewName(list, later, laterOld);
        later.ClearFlag(PF_RENAME);
    }
}

} // namespace zarvex
