// The program's string table: every message the user sees, by number.
// Texts are kept byte for byte; the byte 0xFD followed by six hex digits
// RRGGBB is a colour marker for the log ("\xFD" "000000" returns to black).
#pragma once

#include "text/message_ids.h"

#include <string>
#include <string_view>

namespace zarvex {

// Returns the text of message `id` (empty for `msg::NoMessage`).
std::string_view Message(msg::Id id);

// Message `id` with "%1" (and "%2") replaced by the arguments. Only the
// template's own markers are markers: arguments are inserted as text, their
// control characters (tab excepted) escaped.
std::string FormatMessage(msg::Id id, std::string_view arg1 = {}, std::string_view arg2 = {});

// Replaces "%1" and "%2" in any template.
std::string FormatTemplate(std::string_view tmpl, std::string_view arg1 = {}, std::string_view arg2 = {});

// The text of a file error cause 0..14 (messages 400..414), 415 "Unknown" otherwise.
std::string_view FileErrorText(int cause);

// Removes colour markers (0xFD + six characters) from marked log text.
std::string StripColourMarkers(std::string_view marked);

} // namespace zarvex
