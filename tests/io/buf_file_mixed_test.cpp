// Random mixes of reads, writes, seeks and pushed-back bytes on one file
// opened for reading and writing, against a string that models the file.
#include "io/buf_file.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace zarvex {
namespace {

struct FileModel
{
    std::string bytes;
    std::size_t pos = 0;

    void Put(const std::string& s)
    {
        if (pos > bytes.size()) bytes.resize(pos, '\0'); // a gap reads as zeros
        bytes.replace(pos, std::min(s.size(), bytes.size() - pos), s);
        pos += s.size();
    }
    int Get() { return pos < bytes.size() ? static_cast<unsigned char>(bytes[pos++]) : -1; }
};

class BufFileMixedAccess : public ::testing::TestWithParam<std::uint32_t>
{
};

TEST_P(BufFileMixedAccess, PositionsLengthAndContentFollowTheModel)
{
    std::mt19937 rng(GetParam());
    test::TempDir dir;
    const std::string path = dir / "mixed.bin";
    CBufFile f;
    ASSERT_TRUE(f.Open(path, CBufFile::modeCreate | CBufFile::modeReadWrite));
    FileModel model;
    for (int step = 0; step < 20000; ++step) {
        const int roll = static_cast<int>(rng() % 100);
        if (roll < 30) {
            const auto c = static_cast<unsigned char>(rng());
            f.PutChar(c);
            model.Put(std::string(1, static_cast<char>(c)));
        } else if (roll < 33) {
            const std::size_t n = (rng() % 8 == 0) ? rng() % 90000 : rng() % 300;
            const std::string s = test::RandomBytes(n, rng());
            f.Write(s.data(), s.size());
            model.Put(s);
        } else if (roll < 70) {
            const int c = f.GetChar();
            ASSERT_EQ(c, model.Get()) << "step " << step;
            if (c >= 0 && rng() % 4 == 0) {
                f.UngetChar(c);
                --model.pos;
            }
        } else if (roll < 80) {
            const std::size_t target = rng() % (model.bytes.size() + 20);
            f.Seek(static_cast<std::int64_t>(target), 0);
            model.pos = target;
        } else if (roll < 85) {
            const auto delta = static_cast<std::int64_t>(rng() % 200) -
                               static_cast<std::int64_t>(std::min<std::size_t>(model.pos, 100));
            f.Seek(delta, 1);
            model.pos = static_cast<std::size_t>(static_cast<std::int64_t>(model.pos) + delta);
        } else if (roll < 86) {
            f.Close();
            ASSERT_EQ(f.GetPosition(), static_cast<std::int64_t>(model.pos));
            ASSERT_TRUE(f.Reopen());
            model.pos = 0;
        } else if (roll < 95) {
            ASSERT_EQ(f.GetLength(), static_cast<std::int64_t>(model.bytes.size())) << "step " << step;
        }
        ASSERT_EQ(f.GetPosition(), static_cast<std::int64_t>(model.pos)) << "step " << step;
    }
    f.Close();
    EXPECT_BYTES_EQ(model.bytes, test::ReadFile(path));
}

INSTANTIATE_TEST_SUITE_P(Seeds, BufFileMixedAccess, ::testing::Values(1u, 7u, 19u, 123u, 4096u));

} // namespace
} // namespace zarvex
