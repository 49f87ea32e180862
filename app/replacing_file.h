// A file the run writes about itself (the log, the reports, the list dump)
// that appears in one step: it is written under a temporary name beside its
// target and renamed over the target only at the end. A run that fails or
// is killed leaves the target as it was.
#pragma once

#include <cstdio>
#include <string>

namespace zarvex {

class ReplacingFile
{
public:
    ReplacingFile() = default;
    ~ReplacingFile(); // an open file not committed is removed
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the temporary file beside `target`. 0 or an errno value.
    int Open(const std::string& target);
    std::FILE* Stream() const { return m_File; }
    const std::string& TemporaryPath() const { return m_Temp; }
    // Closes the stream and keeps the temporary file, for a writer that
    // writes it by name (TemporaryPath).
    void CloseStream();
    // Writes what is pending and renames the file over its target (with the
    // permissions a new file of the user's gets). 0 or an errno value; on
    // failure the temporary file is removed.
    int Commit();
    // Removes the temporary file.
    void Abandon();

private:
    std::string m_Target, m_Temp;
    std::FILE* m_File = nullptr;
};

// Writes `text` to `path` ("-": standard output) in one step through a
// ReplacingFile. False when that fails (nothing left behind).
bool WriteFileAtomically(const std::string& path, const std::string& text);

} // namespace zarvex
