// Scans, groups and extracts arbitrary bytes into a fresh output folder and
// checks that nothing was written anywhere else: next to the input there is
// only the output folder and the (empty again) working folder, and the
// output folder holds only plain files. The first byte picks the settings
// (every preference on, overwriting, raw saving, skipping incomplete ones).
#include "fuzz_support.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zarvex;
    if (size == 0) return 0;
    const std::uint8_t options = data[0];
    const std::string root = fuzz::ScratchFolder();
    const std::string work = root + "/extract";
    const std::string out = work + "/out";
    const std::string input = work + "/in.txt";
    const std::string temp = work + "/tmp";
    static const bool made = ::mkdir(work.c_str(), 0700) == 0 && ::mkdir(out.c_str(), 0700) == 0 &&
                             ::mkdir(temp.c_str(), 0700) == 0;
    fuzz::Check(made);
    fuzz::WriteBytes(input, data + 1, size - 1);

    Settings settings = fuzz::ScanSettings((options & 1) != 0);
    RunContext run = fuzz::ScanRun((options & 1) != 0);
    settings.Overwrite = (options & 2) != 0;
    settings.WorkingDir = temp;
    // Raw saving (the encoded lines written as they are) and skipping
    // incomplete outputs as the other bits choose.
    fuzz::ScanAndExtract(
        input, settings, run, settings.Overwrite, out, 64, [](MyCObArray&) { return true; },
        [&](ExtractRequest& r) { r.skipIncomplete = (options & 8) != 0, r.saveRaw = (options & 4) != 0; });

    // Only the input, the output folder and the working folder side by
    // side; no temporary file stays behind.
    for (const std::string& name : fuzz::Entries(work))
        fuzz::Check(name == "in.txt" || name == "out" || name == "tmp");
    fuzz::Check(fuzz::Entries(root).size() == 1 && fuzz::Entries(temp).empty());
    fuzz::CheckAndEmpty(out, INT64_MAX);
    return 0;
}
