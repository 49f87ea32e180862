// Where an output file goes: the folder, one plain name inside it, and the
// checks that keep every write inside the folder the user chose.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

namespace zarvex {

// Longest name and path the file system takes, in bytes.
inline constexpr std::size_t kMaxNameBytes = 255;
inline constexpr std::size_t kMaxPathBytes = 4095;

// The folder of `path` ("" when it has none; "/" for a file in the root).
std::string FolderOf(std::string_view path);

// The output folder: `outDir`, where "*" means the folder of `firstInput`
// and an empty folder means the current one.
std::string ResolveOutputFolder(std::string_view outDir, std::string_view firstInput);

// `name` as one plain file name: empty when it is empty, ".", "..", or holds
// "/" or NUL; a leading "." becomes "_.", a temporary file's name gets a
// "_" in front, a direction control (U+202E, ...) becomes "_"; too long
// names are shortened,
// keeping their extension and whole UTF-8 characters. `suffix` (".uu" for raw
// saves) is appended and counted in the length.
std::string SafeOutputName(std::string_view name, std::string_view suffix = {});

// Folder + "/" + the safe name, or "" when no safe path can be made.
std::string BuildOutputPath(std::string_view folder, std::string_view name, std::string_view suffix = {});

// The suffix of an output's name: ".uu" for a raw save, whatever the
// encoding (text, Quoted-Printable and BinHex are decoded even there, but
// the file is still the raw save's, never one a normal extraction writes).
std::string_view OutputSuffix(bool saveRaw);

// A free path beside `path` ("name_2.ext", "name_3.ext", ...), or "" when
// none is free or the name would grow too long.
std::string FreePathBeside(const std::string& path);

// The name to suggest for an append target: a split archive's base name
// (".r01", ".001", ".rar" cut off), else the name itself.
std::string AppendSuggestion(std::string_view outputName);

} // namespace zarvex
