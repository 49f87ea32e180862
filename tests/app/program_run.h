// Runs the built program in a temporary folder on generated mail files.
#pragma once

#include "mails.h"

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

class ProgramRun : public ::testing::Test
{
protected:
    struct Result { int status = -1; std::string err; };

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
               const std::string& shell = {})
    {
        const std::string err = dir / "stderr.txt";
        const std::string cd = "cd " + ShellQuote(dir.Path().string()) + " && ";
        const std::string redirect = " >" + ShellQuote(out) + " 2>" + ShellQuote(err);
        const int w = std::system((cd + (shell.empty() ? Command(args) : shell) + redirect).c_str());
        return {WIFEXITED(w) ? WEXITSTATUS(w) : -1, ReadFile(err)};
    }
    // An extraction run into `outDir` with the arguments `more`.
    Result Extract(const std::string& outDir, std::vector<std::string> more)
    {
        more.insert(more.begin(), {"--extract", "--outdir=" + outDir});
        return Run(more);
    }
    void Overwrite() { WriteFile(ini, "[Preferences]\nOverwrite=1\n"); }
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
