// Text from the clipboard (or a dropped ".eml" file) on its way into the
// clipboard file: mail whose line ends were lost is broken into lines again.
#pragma once

#include <string>
#include <string_view>

namespace zarvex {

// True when a line that starts within the first 16,384 bytes is longer than
// 1,023 characters.
bool HasLongLines(std::string_view text);

// The text in lines of at most 88 characters: a line feed ends a line as it
// is; a longer stretch is cut at its last blank (the blank goes), or after
// 88 characters when it has none, and a "Content-"
// header (any case) or the BinHex note starts a line of its own. Every cut
// line ends in CR LF.
std::string RewrapLongLines(std::string_view text);

} // namespace zarvex
