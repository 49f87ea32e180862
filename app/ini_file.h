// An INI document of sections and "key=value" lines, kept line by line so
// that saving changes only the values we set: comments, blank lines, unknown
// sections and unknown keys stay where the user put them.
//
// Reading follows the usual profile-file rules: section and key names compare
// ignoring ASCII case, values are trimmed, and a value enclosed in matching
// quotes loses them. The first occurrence of a section or key wins.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarvex {

class IniFile
{
public:
    IniFile() = default;
    explicit IniFile(std::string_view text) { Parse(text); }

    // Replaces the document by `text` (LF, CR LF or CR line ends).
    void Parse(std::string_view text);
    // The document as file text, with the line ends it was read with.
    std::string Text() const;

    // Reads the file at `path`. A missing file gives an empty document and 0;
    // any other failure leaves the document empty and returns the errno value.
    int Load(const std::string& path);
    // Writes the document to `path` through a temporary file in the same
    // folder that replaces the old one only when completely written (in
    // place when the folder is not writable). Returns 0 or an errno value.
    int Save(const std::string& path) const;

    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // Strings default to empty.
    std::string GetString(std::string_view section, std::string_view key, std::string_view def = {}) const;
    // A leading decimal number with optional sign, saturated to 32 bits; text
    // without digits reads as 0, a missing key as `def`.
    std::int32_t GetInt(std::string_view section, std::string_view key, std::int32_t def) const;

    // Sets a value, replacing the key's line or adding it at the end of its
    // section (the section is added at the end of the document when missing).
    void Set(std::string_view section, std::string_view key, std::string_view value);
    void SetInt(std::string_view section, std::string_view key, long long value);
    // Deletes the key's line (the section stays, even when empty).
    void Remove(std::string_view section, std::string_view key);

    bool HasSection(std::string_view section) const;
    std::size_t LineCount() const { return m_Lines.size(); }

private:
    struct SectionSpan
    {
        std::size_t header; // index of the "[name]" line
        std::size_t end;    // one past its last line
    };
    std::optional<SectionSpan> FindSection(std::string_view section) const;
    std::optional<std::size_t> FindKey(const SectionSpan& span, std::string_view key) const;

    std::vector<std::string> m_Lines;
    std::string m_Eol = "\n";
    bool m_FinalEol = true;
};

} // namespace zarvex
