#include "codec/crc32.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string_view>

namespace zarvex::test {
namespace {

class Crc32Kernels : public ::testing::TestWithParam<Crc32Kernel> {
protected:
    void SetUp() override
    {
        if (!Crc32KernelAvailable(GetParam())) GTEST_SKIP() << "this CPU lacks the kernel";
    }
    std::uint32_t Finished(std::string_view text) const
    {
        return ~Crc32UpdateWith(GetParam(), kCrc32Preset, text.data(), text.size());
    }
};

TEST_P(Crc32Kernels, PublishedCheckValues)
{
    // clang-format off
    const std::pair<std::string_view, std::uint32_t> cases[] = {{"", 0}, {"abc", 0x352441C2u},
        {"123456789", 0xCBF43926u}, {"The quick brown fox jumps over the lazy dog", 0x414FA339u}};
    // clang-format on
    for (const auto& [text, crc] : cases)
        EXPECT_EQ(Finished(text), crc) << text;
}

// Every length around the kernels' block sizes, at every alignment, from a
// running register: the result equals one table step per byte.
TEST_P(Crc32Kernels, EqualsSingleByteUpdatesForEveryLengthAndOffset)
{
    const Bytes data = RandomBytes(700, 11);
    for (std::size_t offset = 0; offset < 16; offset += 5) {
        for (std::size_t n = 0; n + offset <= data.size(); ++n) {
            std::uint32_t expected = 0x9E3779B9u;
            for (std::size_t i = 0; i < n; ++i) Crc32Update(static_cast<unsigned char>(data[offset + i]), &expected);
            ASSERT_EQ(Crc32UpdateWith(GetParam(), 0x9E3779B9u, data.data() + offset, n), expected)
                << "length " << n << " offset " << offset;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllKernels, Crc32Kernels,
                         ::testing::Values(Crc32Kernel::Table, Crc32Kernel::Slicing8, Crc32Kernel::CarryLess));

// The byte-at-a-time update is checked against every kernel above.
TEST(Crc32, ResetPresetsAndNullRegistersAreIgnored)
{
    std::uint32_t reg = 0;
    Crc32Reset(&reg);
    EXPECT_EQ(reg, 0xFFFFFFFFu);
    Crc32Update('x', nullptr);
    Crc32Reset(nullptr);
    const Bytes big = RandomBytes(100'000, 3);
    EXPECT_EQ(Crc32UpdateBulk(reg, big.data(), big.size()),
              Crc32UpdateWith(Crc32Kernel::Table, reg, big.data(), big.size()));
}

// A block's own register joined to a running one gives the register of the
// whole run, for every split of the data (empty halves too).
TEST(Crc32, CombineJoinsABlockRegisterToARunningOne)
{
    const Bytes data = RandomBytes(3000, 8);
    const std::uint32_t whole = Crc32UpdateBulk(kCrc32Preset, data.data(), data.size());
    for (std::size_t split : {0, 1, 7, 128, 1000, 2999, 3000}) {
        const std::uint32_t first = Crc32UpdateBulk(kCrc32Preset, data.data(), split);
        const std::uint32_t block = Crc32UpdateBulk(kCrc32Preset, data.data() + split, data.size() - split);
        EXPECT_EQ(Crc32Combine(first, block, data.size() - split), whole) << "split " << split;
    }
}

} // namespace
} // namespace zarvex::test
