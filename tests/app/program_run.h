// Runs the built program in a temporary folder on generated mail files.
#pragma once

#include "extract/extract_fixture.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#ifdef ZARVEX_BINARY

namespace zarvex::test {

inline std::string ShellQuote(const std::string& s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline std::vector<std::string> RegularFiles(const std::string& folder)
{
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.is_regular_file()) files.push_back(e.path().string());
    return files;
}

// A UU posting of `data` in `total` messages; `damagedCopy` (1-based) is
// posted twice, its first copy missing ten characters of a data line.
inline std::string UuPosting(const std::string& name, const std::string& data, int total = 2,
                             int damagedCopy = 0)
{
    std::vector<std::string> lines = UuLines(data);
    lines.insert(lines.begin(), "begin 644 " + name);
    lines.insert(lines.end(), {"`", "end"});
    const std::size_t each = lines.size() / total;
    std::string mbox;
    for (int i = 0; i < total; ++i) {
        const std::string body =
            Text({lines.begin() + i * each, i + 1 == total ? lines.end() : lines.begin() + (i + 1) * each});
        const std::string mail =
            Mail(total == 1 ? name : name + " (" + std::to_string(i + 1) + "/" + std::to_string(total) + ")",
                 body);
        if (i + 1 == damagedCopy)
            mbox += std::string(mail).erase(mail.find("\nM", mail.find("\nM") + 1) + 30, 10);
        mbox += mail;
    }
    return mbox;
}

class ProgramRun : public ::testing::Test
{
protected:
    struct Result
    {
        int status = -1;
        std::string err;
    };

    // The program with its settings file and `args`, for the shell.
    std::string Command(const std::vector<std::string>& args) const
    {
        std::string cmd = envPrefix + "ZARVEX_INI=" + ShellQuote(ini) + " " + ShellQuote(ZARVEX_BINARY);
        for (const std::string& a : args)
            cmd += " " + ShellQuote(a);
        return cmd;
    }
    // Runs `shell` (by default the program) in the test folder; its standard output goes to `out`.
    Result Run(const std::vector<std::string>& args, const std::string& out = "/dev/null",
               std::string shell = {})
    {
        if (shell.empty()) shell = Command(args);
        const std::string err = dir / "stderr.txt";
        const int w = std::system(("cd " + ShellQuote(dir.Path().string()) + " && " + shell + " >" +
                                   ShellQuote(out) + " 2>" + ShellQuote(err))
                                      .c_str());
        return {WIFEXITED(w) ? WEXITSTATUS(w) : -1, ReadFile(err)};
    }
    std::string MakeFolder(const std::string& name)
    {
        ::mkdir((dir / name).c_str(), 0755);
        return dir / name;
    }

    TempDir dir;
    std::string envPrefix; // e.g. "env -u DISPLAY "
    std::string ini = dir / "Zarvex.ini";
};

} // namespace zarvex::test

#endif // ZARVEX_BINARY
