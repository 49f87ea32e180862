// File types from the first bytes of the data, and extensions that fit them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zarvex {

// The DataType of the signature found in `sample` (0 when none); only the
// first `len` bytes are looked at.
int DetectSignature(const unsigned char* sample, int len);
// Decodes the start of the first encoded line of a section (encoding `msgType`)
// and returns the DataType its signature shows; 0 when none.
int DetectDataType(const char* line, int len, std::uint32_t msgType);
// `name` with an extension that fits `dataType` (unchanged when it already fits).
std::string AddTypeExtension(std::string_view name, int dataType);
// The allowed-extension comparison: "#" one digit, "?" any character, case ignored, leading "." ignored.
bool MatchExtension(std::string_view pattern, std::string_view ext);

} // namespace zarvex
