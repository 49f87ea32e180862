// Small helpers shared by the test programs: temporary folders, files,
// random payloads and a byte comparison that prints a hex diff.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zarvex::test {

using Bytes = std::string; // binary-safe byte string

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
public:
    // A fresh folder in `base`, or in the system's temporary folder.
    explicit TempDir(const std::filesystem::path& base = {});
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_Path; }
    std::string operator/(std::string_view name) const { return (m_Path / name).string(); }
    // Writes `content` to `name` inside the folder and returns its full path.
    std::string Write(std::string_view name, std::string_view content) const;

private:
    std::filesystem::path m_Path;
};

void WriteFile(const std::string& path, std::string_view content);
Bytes ReadFile(const std::string& path);
bool FileExists(const std::string& path);

// Deterministic pseudo-random bytes.
Bytes RandomBytes(std::size_t n, std::uint32_t seed);

// The lines of `text`, each with its LF (a last line without one as it is).
std::vector<std::string> Lines(std::string_view text);

// A hex/ASCII dump of the first difference between two byte strings.
std::string HexDiff(std::string_view expected, std::string_view actual);

// Runs `child` in a child process that exits with its result; the wait status (-1: no child).
int InChild(const std::function<int()>& child);
// Files this process writes may grow to `bytes` only; a write past it fails (EFBIG), with no signal.
void LimitFileSize(std::uint64_t bytes);

} // namespace zarvex::test

// Compares two byte strings; on mismatch prints sizes and a hex diff.
#define EXPECT_BYTES_EQ(expected, actual)                                                                    \
    do {                                                                                                     \
        const std::string zrv_e_(expected), zrv_a_(actual);                                                  \
        EXPECT_TRUE(zrv_e_ == zrv_a_) << ::zarvex::test::HexDiff(zrv_e_, zrv_a_);                            \
    } while (0)
