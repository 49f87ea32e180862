// The core's only way out to whoever runs it: the desktop window or an
// unattended run. Scanning and extraction report progress, keep the user
// interface alive, read the stop request, write the log and ask questions
// through this interface and nothing else.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zarvex {

class CFInfo;

// Questions the core may ask; the value is the message or dialog number.
enum class Prompt {
    DuplicateInput = 100,  // "Duplicate file!..." with OK / Cancel
    NoFindings = 101,      // "No recognized encoded data..." with OK / Cancel
    OutOfMemory = 116,     // "Insufficient memory to complete operation!" with OK
    MissingStart = 121,    // "Can not extract file..." with OK
    ExtractError = 123,    // "Error extracting file!" with OK
    Overwrite = 800,       // "Overwrite File?" dialog
    YencMerge = 900,       // "YENC Merge/Replace/Skip File?" dialog
    FileError = 416,       // "File Error: ..." with OK / Cancel
    RecursiveFound = 141,  // "Possible recursively encoded file detected..." with Yes / No
    ClipboardNameDiffers = 142, // "Output filenames differ, ..." with OK
    ClipboardMultiple = 143,    // "Multiple recursive files detected, ..." with OK
    TooDeeplyNested = 144,      // "Too many nested messages. (MAX 4) ..." with OK
    StreamDecodeExisting = 148, // "Do you want to stream decode the existing files too?" with Yes / No
};

// Button values the prompts return.
namespace button {
inline constexpr int Ok = 1;
inline constexpr int Cancel = 2;
inline constexpr int Yes = 6;   // also "&Merge"
inline constexpr int No = 7;    // also "&Skip"
inline constexpr int YesToAll = 802;   // also "Mer&ge All"
inline constexpr int NoToAll = 803;    // also "S&kip All"
inline constexpr int Replace = 806;
inline constexpr int ReplaceAll = 807;
} // namespace button

class Host {
public:
    virtual ~Host() = default;

    // Progress in percent; a negative value hides the display.
    virtual void SetProgress(double percent) = 0;
    // Lets the user interface handle what is waiting. Returns false when the
    // user asked to quit; the caller then ends its work at the next line.
    virtual bool PumpMessages() = 0;

    // The stop request of the user (Esc, the stop command, Cancel in a prompt).
    virtual bool AbortRequested() const = 0;
    virtual void RequestAbort() = 0;
    virtual void ClearAbort() = 0;

    // True when there is somewhere to log to (a log window or a log file).
    virtual bool HasLog() const = 0;
    // Appends log text: UTF-8 with colour markers (byte 0xFD + RRGGBB).
    virtual void Log(std::string_view markedText) = 0;
    // The one-line status text of the window (empty: the idle text).
    virtual void SetStatus(std::string_view text) = 0;

    // Silent runs show no message boxes and make no sound.
    virtual bool Silent() const = 0;
    virtual void Beep() = 0;
    // Asks `prompt` about `subject` (a file name or message text) and returns the button chosen.
    virtual int Ask(Prompt prompt, std::string_view subject) = 0;
    // Whether the Shift key is held down now (a No with Shift means "no more such questions").
    virtual bool ShiftKeyDown() const { return false; }
    // A short visual hint that a damaged line was met.
    virtual void FlashProgress() {}
    // An output file was just created at `writePath` (its temporary name), and
    // nothing has been written to it yet.
    virtual void OutputCreated(std::string_view /*writePath*/) {}
    // An output file took its name `path` holding `size` bytes whose SHA-256
    // is `sha256` (told only when the run asks for digests, RunContext::HashOutputs).
    virtual void OutputWritten(std::string_view /*path*/, std::int64_t /*size*/, std::string_view /*sha256*/) {}
    // Called with the output name of each part just before it is grouped.
    virtual void RefreshOutputEntry(std::string_view /*outputName*/) {}
    // "A&ppend All to One File": asks for the one file every output of the
    // Extract command goes into, starting from `suggestedName`. Returns the
    // chosen path, or "" when the user cancelled.
    virtual std::string ChooseAppendTarget(std::string_view /*suggestedName*/) { return {}; }
    // "Select part to decode" ("You Choose Duplicate Part"): `parts` is a part
    // and its duplicates. Returns the index of the one to decode, or -1 for
    // Abort. Without a dialog the part itself is decoded.
    virtual int ChooseDuplicatePart(const std::vector<const CFInfo*>& /*parts*/) { return 0; }
};

} // namespace zarvex
