// Pieces shared by the fuzz targets: a private scratch folder for the
// process, input bytes written to and read from files there, the scanner
// settings every scanning target runs with, and one scan, evaluation and
// extraction of an input file.
#pragma once

#include "extract/engine.h"
#include "model/records.h"
#include "model/run_context.h"
#include "model/settings.h"
#include "platform/headless_host.h"
#include "scan/scanner.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zarvex::fuzz {

// A folder of this process's own, made once (on tmpfs when there is one)
// and removed when the fuzzer exits normally; a crash leaves it for a look.
inline const std::string& ScratchFolder()
{
    static const std::string folder = [] {
        const char* base = std::getenv("ZARVEX_FUZZ_TMP");
        if (!base) base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string templ = std::string(base) + "/zarvex-fuzz-XXXXXX";
        if (!::mkdtemp(templ.data())) std::abort();
        return templ;
    }();
    static const bool removedAtExit = std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(ScratchFolder(), ignored);
    }) == 0;
    (void)removedAtExit;
    return folder;
}

// A broken promise is a finding.
inline void Check(bool ok)
{
    if (!ok) std::abort();
}

// Writes `size` bytes to `path`, replacing what was there.
inline void WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

inline std::string ReadBytes(const std::string& path)
{
    std::string bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    Check(f != nullptr);
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, n);
    std::fclose(f);
    return bytes;
}

// The names in `folder`, without "." and "..".
inline std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    Check(dir != nullptr);
    while (const dirent* e = ::readdir(dir))
        if (std::string name = e->d_name; name != "." && name != "..") names.push_back(name);
    ::closedir(dir);
    return names;
}

// Removes what an extraction wrote into `folder`; anything but a plain file,
// or one taking more than `maxBytes` on disk, is a finding.
inline void CheckAndEmpty(const std::string& folder, std::int64_t maxBytes)
{
    for (const std::string& name : Entries(folder)) {
        const std::string path = folder + "/" + name;
        struct stat st {};
        Check(::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode));
        Check(static_cast<std::int64_t>(st.st_blocks) * 512 <= maxBytes);
        Check(::unlink(path.c_str()) == 0);
    }
}

// Default settings, or every scanner preference switched on.
inline Settings ScanSettings(bool allOn)
{
    Settings s;
    if (allOn) {
        s.AutoIndentDetect = true;
        s.MimeText = true;
        s.EnableXFace = true;
        s.EnableQP = true;
        s.ExtendedMatching = true;
        s.DecodeUTF8 = true;
        s.StripPercent = true;
        s.StrictYenc = true;
        s.Force8 = true;
        s.AutoDuplicateRemoval = true;
        s.NoAutoRename = false;
        s.OnlyUseLastParen = true;
    }
    return s;
}

// A fresh run, or one that assumes sorted message order as well.
inline RunContext ScanRun(bool allOn)
{
    RunContext run;
    run.AssumeSortedOrder = allOn;
    return run;
}

// Scans `input`, evaluates the list and lets `check` look at it; unless it
// says no, extracts up to `maxGroups` outputs into `outDir` with `adjust`
// applied to each request. With `overwrite` every question says "all".
template <typename CheckList, typename Adjust>
void ScanAndExtract(const std::string& input, const Settings& settings, RunContext& run, bool overwrite,
                    const std::string& outDir, int maxGroups, CheckList check, Adjust adjust)
{
    HeadlessHost host(overwrite);
    MyCObArray list(settings, &host);
    ScanFile(input, list, settings, run, host);
    list.Evaluate();
    if (!check(list)) return;
    Extractor engine(list, settings, run, host);
    int answer = overwrite ? 2 : 0;
    for (int g = 0; g < list.GetSize() && g < maxGroups; ++g) {
        ExtractRequest request{.index = g, .outDir = outDir, .answerState = &answer};
        adjust(request);
        engine.ExtractOutputFile(request);
    }
}

} // namespace zarvex::fuzz
