// File types from the first bytes of the data, and extensions that fit them.
#pragma once

#include "model/settings.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zarvex {

// The first bytes of a section are decoded into a zero-filled sample of this
// size; at most kTypeSampleFill bytes of it are filled.
inline constexpr int kTypeSampleSize = 64;
inline constexpr int kTypeSampleFill = kTypeSampleSize - 1;

// The DataType of the signature found in `sample` (0 when none); only the
// first `len` bytes are looked at (at most kTypeSampleSize), and a signature
// longer than them never matches.
int DetectSignature(const unsigned char* sample, int len);
// Decodes the start of the first encoded line of a section (encoding `msgType`)
// and returns the DataType its signature shows; 0 when none. Lines shorter
// than 16 characters, and "QP" or unknown encodings, are not examined.
int DetectDataType(const char* line, int len, std::uint32_t msgType);

// One row of the type-extension table, as the preferences show it.
struct TypeExtensionRecord
{
    int dataType;
    std::string_view category; // "image file", "archive file", ...
    std::string_view primary;  // the extension a name of this type is given
    std::string_view allowed;  // default extension patterns, ", " between them
};
inline constexpr int kTypeExtensionRecordCount = 62;

// All records in display order.
std::span<const TypeExtensionRecord> TypeExtensionRecords();
// The record of `dataType`, or null for the types without one ("---", "txt", ...).
const TypeExtensionRecord* FindTypeExtensionRecord(int dataType);
// The record's primary extension, else the type's short name.
std::string_view PrimaryExtension(int dataType);

// The allowed-extension lists in force. Starts with the defaults; the
// preferences may replace any type's list.
class TypeExtensionTable
{
public:
    TypeExtensionTable();
    static const TypeExtensionTable& Defaults();

    // The list of `dataType` as text ("R##, S##"); empty for none.
    std::string_view Allowed(int dataType) const;
    // Replaces the list of a type that has a record; false (and no change) otherwise.
    bool SetAllowed(int dataType, std::string_view patterns);
    // Whether `ext` (with or without its ".") matches one of the type's patterns.
    bool Fits(int dataType, std::string_view ext) const;

private:
    std::array<std::string, kDataTypeCount> m_Allowed;
};

// `name` with an extension that fits `dataType` (unchanged when it already
// fits, and for type 0).
std::string AddTypeExtension(std::string_view name, int dataType,
                             const TypeExtensionTable& table = TypeExtensionTable::Defaults());
// The allowed-extension comparison: "#" one digit, "?" any character, case ignored, leading "." ignored.
bool MatchExtension(std::string_view pattern, std::string_view ext);

} // namespace zarvex
