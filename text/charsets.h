// Character sets of mail: bytes in a named character set made UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace zarvex {

// Bytes in `charset` converted to UTF-8 through the system's converter,
// under the name it knows for the alias mail programs write
// ("ks_c_5601-1987" is CP949, "x-sjis" CP932, ...). An unknown or empty
// character set, or bytes that do not convert: valid UTF-8 stays as it is,
// anything else is read as Windows-1252.
std::string CharsetToUtf8(std::string_view bytes, std::string_view charset);

} // namespace zarvex
