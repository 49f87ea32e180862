// The program's string table: every message the user sees, by number.
// Texts are kept byte for byte; the byte 0xFD followed by six hex digits
// RRGGBB is a colour marker for the log ("\xFD" "000000" returns to black).
#pragma once

#include <string>
#include <string_view>

namespace zarvex {

// Returns the text of message `id`, or an empty view for an unknown id.
std::string_view Message(int id);

// Message `id` with "%1" (and "%2") replaced by the arguments. Only the
// template's own markers are markers: arguments are inserted as they are.
std::string FormatMessage(int id, std::string_view arg1 = {}, std::string_view arg2 = {});

// Replaces "%1" and "%2" in any template.
std::string FormatTemplate(std::string_view tmpl, std::string_view arg1 = {}, std::string_view arg2 = {});

// The text of a file error cause 0..14 (messages 400..414), 415 "Unknown" otherwise.
std::string_view FileErrorText(int cause);

// Removes colour markers (0xFD + six characters) from marked log text.
std::string StripColourMarkers(std::string_view marked);

} // namespace zarvex
