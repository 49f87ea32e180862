#include "support/test_support.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>

namespace zarvex::test {

TempDir::TempDir()
{
    std::string templ = (std::filesystem::temp_directory_path() / "zarvex-test-XXXXXX").string();
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

std::string HexDiff(std::string_view expected, std::string_view actual)
{
    std::ostringstream os;
    os << "expected " << expected.size() << " bytes, got " << actual.size() << " bytes";
    std::size_t i = 0;
    while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
    if (i == expected.size() && i == actual.size()) return os.str();
    os << "; first difference at offset " << i << "\n";
    const std::size_t from = i >= 8 ? i - 8 : 0;
    auto dump = [&](const char* label, std::string_view s) {
        os << label;
        for (std::size_t k = from; k < from + 24 && k < s.size(); ++k) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%02X ", static_cast<unsigned char>(s[k]));
            os << buf;
        }
        os << " |";
        for (std::size_t k = from; k < from + 24 && k < s.size(); ++k) {
            const unsigned char c = static_cast<unsigned char>(s[k]);
            os << (c >= 32 && c < 127 ? static_cast<char>(c) : '.');
        }
        os << "|\n";
    };
    dump("expected: ", expected);
    dump("actual:   ", actual);
    return os.str();
}

} // namespace zarvex::test
