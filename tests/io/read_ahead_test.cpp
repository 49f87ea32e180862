// ReadAhead: whatever the pattern of reads, and while the file grows, every
// read returns exactly the file's bytes at that moment.
#include "io/buf_file.h"
#include "io/read_ahead.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

namespace zarvex {
namespace {

using test::TempDir;

constexpr std::int64_t kBlock = static_cast<std::int64_t>(ReadAhead::kBlockSize);

struct OpenFd
{
    explicit OpenFd(const std::string& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~OpenFd() { ::close(fd); }
    int fd;
};

// Sequential runs, steps back inside and beyond the kept blocks, jumps
// forward and reads past the end, against the file's content.
TEST(ReadAhead, EveryReadPatternGivesTheFileBytes)
{
    std::mt19937 rng(7);
    TempDir dir;
    const std::string content = test::RandomBytes(3 * kBlock * 4 + 12345, 7);
    OpenFd file(dir.Write("data", content));
    auto ahead = ReadAhead::Start(file.fd);
    ASSERT_TRUE(ahead);
    std::int64_t pos = 0;
    for (int step = 0; step < 3000; ++step) {
        const int roll = static_cast<int>(rng() % 100);
        if (roll < 3)
            pos = static_cast<std::int64_t>(rng() % (content.size() + 1000));
        else if (roll < 8)
            pos -= std::min<std::int64_t>(pos, static_cast<std::int64_t>(rng() % (2 * kBlock * 4)));
        const std::size_t n = 1 + rng() % 70000;
        const std::string want =
            pos < static_cast<std::int64_t>(content.size()) ? content.substr(static_cast<std::size_t>(pos), n) : "";
        std::string buffer(n, '\0');
        const unsigned char* data = nullptr;
        const std::size_t got = ahead->Read(pos, reinterpret_cast<unsigned char*>(buffer.data()), n, data);
        ASSERT_EQ(std::string(reinterpret_cast<const char*>(data), got), want)
            << "step " << step << " pos " << pos;
        pos += static_cast<std::int64_t>(n);
        if (pos >= static_cast<std::int64_t>(content.size())) pos = 0;
    }
}

// A file read to its end and then appended to: the new bytes are read, not
// the end the read-ahead saw.
TEST(ReadAhead, BytesAppendedAfterTheEndWasSeenAreRead)
{
    TempDir dir;
    const std::string content = test::RandomBytes(3 * kBlock + 1000, 11);
    const std::string path = dir.Write("grow", content);
    CBufFile in;
    ASSERT_TRUE(in.Open(path, CBufFile::modeRead | CBufFile::typeBinary));
    const auto rest = [&in] {
        std::string seen;
        for (int c; (c = in.GetChar()) >= 0;)
            seen += static_cast<char>(c);
        return seen;
    };
    ASSERT_EQ(rest(), content);
    const std::string more = test::RandomBytes(kBlock + 77, 12);
    std::ofstream(path, std::ios::binary | std::ios::app) << more;
    in.Seek(static_cast<std::int64_t>(content.size()) - 10, 0);
    EXPECT_EQ(rest(), content.substr(content.size() - 10) + more);
}

} // namespace
} // namespace zarvex
