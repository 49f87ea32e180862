// Scans, groups and extracts arbitrary bytes into a fresh output folder and
// checks that nothing was written anywhere else: next to the input there is
// only the output folder and the (empty again) working folder, and the
// output folder holds only plain files. The first byte picks the settings
// (every preference on, overwriting, raw saving, skipping incomplete ones).
#include "fuzz_support.h"

#include "extract/engine.h"
#include "model/records.h"
#include "platform/headless_host.h"
#include "scan/scanner.h"

#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using namespace zarvex;

std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) std::abort();
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

// Empties the output folder; anything but a plain file there is a finding.
void CheckAndEmpty(const std::string& out)
{
    for (const std::string& name : Entries(out)) {
        const std::string path = out + "/" + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) std::abort();
        if (::unlink(path.c_str()) != 0) std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const std::uint8_t options = data[0];
    const std::string root = fuzz::ScratchFolder();
    const std::string work = root + "/extract";
    const std::string out = work + "/out";
    const std::string input = work + "/in.txt";
    const std::string temp = work + "/tmp";
    static const bool made = ::mkdir(work.c_str(), 0700) == 0 && ::mkdir(out.c_str(), 0700) == 0 &&
                             ::mkdir(temp.c_str(), 0700) == 0;
    if (!made) std::abort();
    fuzz::WriteBytes(input, data + 1, size - 1);

    Settings settings = fuzz::ScanSettings((options & 1) != 0);
    RunContext run = fuzz::ScanRun((options & 1) != 0);
    settings.Overwrite = (options & 2) != 0;
    settings.WorkingDir = temp;
    HeadlessHost host(settings.Overwrite);
    MyCObArray list(settings, &host);
    ScanFile(input, list, settings, run, host);
    list.Evaluate();
    Extractor engine(list, settings, run, host);
    int answer = settings.Overwrite ? 2 : 0;
    // Raw saving (the encoded lines written as they are) and skipping
    // incomplete outputs as the other bits choose.
    for (int g = 0; g < list.GetSize() && g < 64; ++g)
        engine.ExtractOutputFile({.index = g, .outDir = out, .answerState = &answer,
                                  .skipIncomplete = (options & 8) != 0, .saveRaw = (options & 4) != 0});

    // Only the input, the output folder and the working folder side by
    // side; no temporary file stays behind.
    for (const std::string& name : Entries(work))
        if (name != "in.txt" && name != "out" && name != "tmp") std::abort();
    if (Entries(root).size() != 1 || !Entries(temp).empty()) std::abort();
    CheckAndEmpty(out);
    return 0;
}
