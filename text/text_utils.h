// Shared text helpers: encoded header words, names with escapes, dates,
// header lines, temporary files and folder checks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zarvex {

bool IsEncodedWord(std::string_view text);
// Decodes RFC 2047 encoded words (B and Q); UTF-8 and UTF-7 become UTF-8 text.
std::string DecodeHeaderText(std::string_view src);
// The raw UTF-8 test of header text: a byte order mark, or E2 followed by a byte >= 0x80.
bool LooksLikeUtf8(std::string_view text);
// Percent escapes and HTML character entities in a file name.
std::string UnescapeName(std::string_view text);
// A message date in local time, seconds since 1970; 0 when unparsable.
// "5 Dec 2006 10:20:30 +0100" or "Dec 5 10:20:30 2006", a weekday with a comma before either.
std::int64_t ParseDate(std::string_view text);
// A mail or news header line, or a mailbox "From " separator line.
bool IsHeaderOrSeparator(const char* line, int len, bool strict);

// Temporary files and folders.
std::string GetTempDirectory();
// Creates a new empty "~ZRV<n>.TMP" in `dir` (the temporary folder when
// `dir` is empty) and returns its path. An existing file is never taken over:
// when every name is in use or the folder refuses new files, the result is empty.
std::string MakeTempFile(const std::string& dir);
// The same, with the new file left open for writing in `fd` (-1 on failure
// with errno set), created with `mode` (less the umask).
std::string OpenTempFile(const std::string& dir, int& fd, unsigned mode = 0600);
// "~ZRV<n>.TMP" or "~TMP<n>.TMP": the name of a temporary file this program
// makes (one left in a folder by a run that was killed, perhaps).
bool IsTempFileName(std::string_view name);
// 0 missing (or not a folder), 1 present but not writable, 2 writable.
int CanWriteDirectory(const std::string& dir);
// Overwrites a regular file with zero bytes and deletes it. A symbolic link is
// never followed. True when every byte was overwritten and the file is gone.
bool WipeAndDeleteFile(const std::string& path);

int NumericCompare(std::string_view a, std::string_view b, std::size_t n, bool ignoreCase, bool skipSpaces,
                   bool alnumOnly);
std::string IntToString(long long n, int minWidth);
// Named data streams of a file (extended attributes "user.*"): each reported
// as "name\t%8llu"; returns the count, -1 for a folder or unreadable file, -2 without support.
int ListStreams(const std::string& path, const std::function<void(const std::string&)>& sink);

} // namespace zarvex
