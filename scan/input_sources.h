// Input files and folders on their way to the scanner: folders are expanded
// (their regular files, not their subfolders or links), shortcuts named by
// the user resolved, inputs
// already scanned refused, and inputs without findings reported and
// forgotten again so that they can be tried once more.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zarvex {

class Host;
class MyCObArray;
struct RunContext;
struct Settings;

// The scanner as AddInputFile calls it: ScanFile for real runs, something
// smaller in tests. Returns the parts found, or a negative value after a failure.
using ScanFunction =
    std::function<int(const std::string& path, MyCObArray& list, const Settings& settings, RunContext& run,
                      Host& host)>;

struct InputContext
{
    InputContext(MyCObArray& list, const Settings& s, RunContext& r, Host& h, ScanFunction scanner = {})
        : sortList(list), settings(s), run(r), host(h), scan(std::move(scanner))
    {
    }

    MyCObArray& sortList;
    const Settings& settings;
    RunContext& run;
    Host& host;
    ScanFunction scan;
    // No questions are asked (unattended runs); folder walks set it for their entries.
    bool quiet = false;
    // The input list: every input that produced parts, in the order scanned.
    std::vector<std::string> inputList;
    // Inputs that could not be opened for reading, with the errno value.
    std::vector<std::pair<std::string, int>> unreadable;
};

// Scans one file, or every regular file directly inside one folder (in
// sorted order). Result: the number of parts found (summed over a folder), 0
// when nothing was found or the input was refused, -1 when the batch should
// stop (Cancel in a question, or a failed scan, whose parts are removed again).
std::int32_t AddInputFile(const std::string& path, bool inFolder, InputContext& ctx);

// The absolute path with symbolic links, "." and ".." resolved; empty when
// the file does not exist.
std::string NormalisedPath(const std::string& path);

// The file a shortcut points to: a ".desktop" file of Type=Link whose URL is
// a local "file://" URL. Nothing for any other file. (Symbolic links need no
// help: NormalisedPath follows them.)
std::optional<std::string> DesktopLinkTarget(const std::string& path);

// The regular files directly inside `folder`, as full paths in byte order.
// Symbolic links (even to regular files), folders, FIFOs, sockets, devices
// and temporary files of this program ("~ZRV<n>.TMP") are left out.
std::vector<std::string> RegularFilesIn(const std::string& folder);

} // namespace zarvex
