#include "support/test_support.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zarvex::test {

TempDir::TempDir(const std::filesystem::path& base)
{
    std::string templ = ((base.empty() ? std::filesystem::temp_directory_path() : base) / "zarvex-test-XXXXXX").string();
    if (!::mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    m_Path = templ;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::permissions(m_Path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_Path, ec);
}

std::string TempDir::Write(std::string_view name, std::string_view content) const
{
    const std::string path = (m_Path / name).string();
    WriteFile(path, content);
    return path;
}

void WriteFile(const std::string& path, std::string_view content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

Bytes RandomBytes(std::size_t n, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes out(n, '\0');
    for (auto& c : out) c = static_cast<char>(rng() & 0xFF);
    return out;
}

std::vector<std::string> Lines(std::string_view text)
{
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; start < text.size(); start = end) {
        end = std::min(text.find('\n', start), text.size() - 1) + 1;
        lines.emplace_back(text.substr(start, end - start));
    }
    return lines;
}

std::string HexDiff(std::string_view expected, std::string_view actual)
{
    std::size_t i = 0;
    while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
    std::ostringstream os;
    os << "expected " << expected.size() << " bytes, got " << actual.size() << " bytes";
    if (i == expected.size() && i == actual.size()) return os.str();
    os << "; first difference at offset " << i << "\n";
    for (const auto& [label, s] : {std::pair{"expected:", expected}, {"actual:  ", actual}}) {
        os << label << std::hex;
        for (std::size_t k = i >= 8 ? i - 8 : 0; k < i + 16 && k < s.size(); ++k)
            os << ' ' << (static_cast<unsigned char>(s[k]) >> 4) << (static_cast<unsigned char>(s[k]) & 15);
        os << std::dec << "\n";
    }
    return os.str();
}

int InChild(const std::function<int()>& child)
{
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(child());
    int status = -1;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid ? status : -1;
}

void LimitFileSize(std::uint64_t bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

} // namespace zarvex::test
