// The clipboard input file: text pasted or dropped, and decoded text handed
// on by recursive decoding, collected in one temporary file in the working
// folder and scanned under the display name "Clipboard". Each paste is
// appended and only the new text is scanned; the file is deleted with the
// object.
#pragma once

#include "io/file_error.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zarvex {

struct InputContext;

inline constexpr std::string_view kClipboardName = "Clipboard";

class ClipboardFile
{
public:
    explicit ClipboardFile(std::string workingDir) : m_Dir(std::move(workingDir)) {}
    ~ClipboardFile() { Forget(); }
    ClipboardFile(const ClipboardFile&) = delete;
    ClipboardFile& operator=(const ClipboardFile&) = delete;

    // The file's path; empty until the first text arrives.
    const std::string& Path() const { return m_Path; }

    // Appends `text`, creating the file on first use. On failure `error` is
    // filled and the file is forgotten (deleted).
    bool Append(std::string_view text, FileError* error);
    // Appends two line feeds and the whole file at `path`; the next
    // RescanIfChanged scans the clipboard file again from its start.
    bool AppendFile(const std::string& path, FileError* error);

    // Scans what was appended since the last scan into the context's sort
    // list. The number of parts found (negative after a failed scan).
    int ScanNew(InputContext& ctx);
    // After AppendFile: the file's parts are replaced by a scan of the whole
    // file. The number of parts found; 0 when nothing was pending.
    int RescanIfChanged(InputContext& ctx);

    // Deletes the file and its scan position.
    void Forget();

private:
    bool Create(FileError* error);

    std::string m_Dir;
    std::string m_Path;
    std::int64_t m_ScannedPos = 0;  // where the last scan ended
    std::int64_t m_ScannedLine = 0; // and its line number
    bool m_RescanPending = false;
};

// Text from the clipboard or a dropped ".eml" file: appended to the clipboard
// file (re-wrapped when it has lines too long for the scanner, message 339)
// and scanned. False when the clipboard file cannot be written.
bool AddClipboardText(ClipboardFile& clipboard, std::string_view text, InputContext& ctx);

// Lines over 1,023 characters within the first 16 KB of `text`.
bool HasLongLines(std::string_view text);
// `text` in lines of at most 88 characters: a line feed ends a line as it
// is; a longer line is cut at a blank (which stays on its line), or before a
// "Content-" header or the BinHex note, or after 88 characters when it has
// no such place; cut lines end with CR LF. No character is lost.
std::string RewrapLongLines(std::string_view text);

} // namespace zarvex
