// One output file of an extraction, and what happens to it at the end.
//
// A new output, and one that replaces an existing file, is decoded into a
// temporary "~ZRV<n>.TMP" created exclusively (never following a link) in the
// output folder and written through the descriptor that creation returned;
// nothing reopens it by name. Only Keep() gives it the output's name: a new
// output never takes the place of a file that appeared meanwhile, a
// replacing one is renamed over the old file in one step. Until then the old
// file is untouched, and an interrupted run leaves at most the temporary
// file behind. A merge (parts written inside an existing file) works on a
// temporary copy of that file, renamed over it in the same way. Appended
// outputs are written in place, after the file's old end; whatever stops
// them short of Keep() cuts the file back to its old length. Whatever goes
// wrong, only a file this object created is ever deleted, and an existing
// file keeps its old content byte for byte.
#pragma once

#include "io/buf_file.h"
#include "io/file_error.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace zarvex {

class OutputFile {
public:
    enum class Mode {
        CreateNew, // the path does not exist; a temporary file takes its name on success
        Replace,   // the path exists; a temporary file is renamed over it on success
        InPlace,   // the path exists; its content stays and is added to (merge, append)
    };

    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Called with the path of a file this object created, before any byte is written.
    using CreatedHook = std::function<void(const std::string& writePath)>;

    // Opens `path`; `atEnd` moves the position to the end (append: written
    // in place; an InPlace open without it is a merge, into a copy). On
    // failure fills `error` and returns false.
    bool Open(const std::string& path, Mode mode, bool atEnd, FileError* error, const CreatedHook& created = {});
    bool IsOpen() const { return m_File.IsOpen(); }
    // Whether the next Open counts the text and binary bytes written (only
    // recursive decoding reads the counts, and counting costs a pass).
    void CountBytes(bool on) { m_CountBytes = on; }
    CBufFile& File() { return m_File; }
    const std::string& Path() const { return m_Path; }
    // The file actually written (the temporary one while replacing).
    const std::string& WritePath() const { return m_WritePath; }
    Mode GetMode() const { return m_Mode; }

    // Closes the file and keeps what it holds: the temporary file takes the
    // output's name. Returns false with `error` filled when a pending write
    // or the rename fails, or when the temporary name no longer holds the
    // file this object wrote; the file is closed all the same and nothing
    // is renamed.
    // `seal`, when given, is called first with the descriptor of the file
    // holding every byte written (not for an output appended in place):
    // what it reads or sets there, no one can redirect through the name.
    using SealHook = std::function<void(int fd)>;
    bool Keep(FileError* error, const SealHook& seal = {});
    // A replacing output that is not to take the old file's place goes to
    // `path` instead, as a new file (Keep then never replaces anything).
    void Redirect(const std::string& path)
    {
        m_Path = path;
        m_Mode = Mode::CreateNew;
    }
    // Closes the file and deletes it when this object created it; an
    // appended file is cut back to its old length.
    void Discard();
    // The output holds this call's data under its own name (after Keep).
    bool Kept() const { return m_Kept; }
    // The device and inode of the file this object created (0, 0: none).
    std::pair<std::uint64_t, std::uint64_t> CreatedIdentity() const { return {m_Device, m_Inode}; }

    // Stream decoding holds an unfinished output between calls. It stays
    // under its temporary name all that time: the output's own name only
    // ever shows a finished file (Keep). Suspend closes the descriptor and
    // keeps the temporary file (an output written in place is not
    // suspended: false); Resume opens it again, not through a link, and only
    // when it still is the file this object created. False with `error`
    // filled when either fails.
    bool Suspend(FileError* error);
    bool Resume(FileError* error);
    // Back to the start of the output for decoding it again: a new or
    // replacing output is emptied, a merge keeps the bytes it has.
    void Restart();

private:
    std::uint32_t Flags() const;
    bool CloseQuietly(FileError* error);
    // Creates the temporary file beside `path`, holding a copy of it when `copy`.
    bool OpenTemporary(const std::string& path, bool copy, FileError* error, const CreatedHook& created);
    // Appending: the pending bytes are written (true), or the file is cut
    // back to its old length (false, `error` filled).
    bool SettleAppend(FileError* error);
    void CutBack();
    // The temporary name still holds the file this object created.
    bool StillOurs() const;
    // Gives the temporary file the output's name (see Keep).
    int MoveIntoPlace() const;

    CBufFile m_File;
    std::string m_Path;
    std::string m_WritePath;
    Mode m_Mode = Mode::CreateNew;
    bool m_Created = false; // m_WritePath was created by this object
    std::uint64_t m_Device = 0, m_Inode = 0; // identity of the file created
    std::int64_t m_OldLength = -1;           // appending in place: the length to cut back to
    // Suspended: the size and change time the file was left with (an inode
    // number alone may be given to a new file once the old one is deleted).
    std::int64_t m_LeftSize = -1;
    std::int64_t m_LeftTimeNs = 0;
    bool m_Kept = false;
    bool m_CountBytes = false;
};

// Creates an empty "~ZRV<n>.TMP" in `folder` with O_CREAT|O_EXCL|O_NOFOLLOW,
// taking the next number when a name is in use. Returns its path with the
// open descriptor in `fd` ("" with `err` set on failure).
std::string CreateTempIn(const std::string& folder, int* err, int* fd);

} // namespace zarvex
