// Pieces shared by the fuzz targets: a private scratch folder for the
// process, input bytes written to a file there, and the two scanner
// settings every scanning target runs with.
#pragma once

#include "model/run_context.h"
#include "model/settings.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

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

// Writes `size` bytes to `path`, replacing what was there.
inline void WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
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

} // namespace zarvex::fuzz
