// News postings that come with par2 recovery files, made by the par2
// program itself (a peer: its repair must accept what Zarvex writes).
#pragma once

#include "support/yenc_posting.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace zarvex::test {

// The .par2 files for `data` named `name` (`percent` recovery in blocks of
// 100 bytes, made by `program`), each as a single-part yEnc article; empty
// when par2 failed.
inline std::string Par2RecoveryArticles(const Bytes& data, const std::string& name,
                                        const std::string& program, int percent)
{
    TempDir made;
    WriteFile(made / name, data);
    const std::string command = "cd '" + made.Path().string() + "' && '" + program + "' create -q -q -r" +
                                std::to_string(percent) + " -b100 '" + name + ".par2' '" + name +
                                "' >/dev/null";
    if (std::system(command.c_str()) != 0) return {};
    std::string articles;
    for (const auto& file : std::filesystem::directory_iterator(made.Path()))
        if (file.path().extension() == ".par2")
            articles += YencArticles(ReadFile(file.path()), file.path().filename(), 1 << 20)[0];
    return articles;
}

} // namespace zarvex::test
