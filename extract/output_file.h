// One output file of an extraction, and what happens to it at the end.
//
// A new output is created exclusively under its own name. An output that
// replaces an existing file is written under a temporary name in the same
// folder and renamed over the old file only when it is closed with data, so
// an empty or aborted decode never costs the user the old file. Merged and
// appended outputs are written in place. Whatever goes wrong, only a file
// this object created is ever deleted.
#pragma once

#include "io/buf_file.h"
#include "io/file_error.h"

#include <string>

namespace zarvex {

class OutputFile {
public:
    enum class Mode {
        CreateNew, // the path must not exist; it is created
        Replace,   // the path exists; write a temporary file, rename over it on success
        InPlace,   // the path exists; open it without truncation (merge, append)
    };

    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens `path`; `atEnd` moves the position to the end (append). On
    // failure fills `error` and returns false.
    bool Open(const std::string& path, Mode mode, bool atEnd, FileError* error);
    bool IsOpen() const { return m_File.IsOpen(); }
    CBufFile& File() { return m_File; }
    const std::string& Path() const { return m_Path; }
    // The file actually written (the temporary one while replacing).
    const std::string& WritePath() const { return m_WritePath; }
    Mode GetMode() const { return m_Mode; }

    // Closes the file and keeps what it holds (a replacement takes the
    // target's name). Returns false with `error` filled when a pending write
    // or the rename fails; the file is closed all the same.
    bool Keep(FileError* error);
    // Closes the file and deletes it when this object created it.
    void Discard();
    // The output holds this call's data under its own name (after Keep).
    bool Kept() const { return m_Kept; }

private:
    bool CloseQuietly(FileError* error);

    CBufFile m_File;
    std::string m_Path;
    std::string m_WritePath;
    Mode m_Mode = Mode::CreateNew;
    bool m_Created = false; // m_WritePath was created by this object
    bool m_Kept = false;
};

// Creates `path` with O_CREAT|O_EXCL (never following or reusing an existing
// name) and closes it. Returns 0 or the errno value.
int CreateExclusive(const std::string& path);
// Creates an empty "~ZRV<n>.TMP" in `folder`, taking the next number when a
// name is in use, and returns its path ("" with `err` set on failure).
std::string CreateTempIn(const std::string& folder, int* err);

} // namespace zarvex
