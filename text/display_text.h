// Turning 8-bit text from messages into text fit for names and display.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zarvex {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view text);

// Text that is valid UTF-8 is returned as it is; any other text is read as
// Windows-1252 and converted to UTF-8. The result never holds the byte 0xFD,
// so it can be inserted into log text without being taken for a colour marker.
std::string ToDisplayUtf8(std::string_view text);

// Text from an input (a name, a subject, a path) as the log, the report and
// the list dump show it: ToDisplayUtf8, then every control character but the
// tab (and with `keepLineEnds` CR and LF) written as an escape ("\x1b" for C0
// and DEL, "\u009b" for C1, "\u202e" for the marks, embeddings, overrides and
// isolates that change the direction of text), so the text can neither start
// a line of its own, nor send terminal control sequences, nor show its
// characters in another order than they have.
std::string ToShownText(std::string_view text, bool keepLineEnds = false);

// The length of the direction control (U+061C, U+200E, U+200F, U+202A to
// U+202E, U+2066 to U+2069) that starts at `at` of UTF-8 `text`; 0 for none.
std::size_t BidiControlLength(std::string_view text, std::size_t at);

// The largest length <= limit that does not end inside a UTF-8 character:
// it backs over the continuation bytes of at most one character, so text
// that is not UTF-8 (a run of continuation bytes) is cut at the limit.
std::size_t Utf8CutPoint(std::string_view text, std::size_t limit);

// `text` cut to at most `maxBytes` bytes; UTF-8 text is cut between characters.
std::string_view CapText(std::string_view text, std::size_t maxBytes);

// A name cut to at most `maxBytes` bytes as CapText cuts, keeping its
// extension (the last "." and up to 15 bytes after it) when there is room.
std::string CapName(std::string_view name, std::size_t maxBytes);

} // namespace zarvex
