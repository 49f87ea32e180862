#include "codec/six_bit.h"

#include "codec/tables.h"
#include "tests/codec/codec_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace zarvex {
namespace {

// Decodes `line` by the plain loop or by the fast path with the best kernel this CPU has.
detail::GroupsDecoded Decode(bool fast, const std::string& line, int n, const detail::DecodeTable& table,
                             unsigned char missing, CBufFile* out)
{
    detail::LineSink sink(out);
    const auto* s = reinterpret_cast<const unsigned char*>(line.data());
    const int len = static_cast<int>(line.size());
    const auto result = fast ? detail::DecodeGroups(s, len, n, table, missing, sink)
                             : detail::DecodeGroupsPlain(s, len, n, table, missing, sink);
    sink.Flush();
    return result;
}

// Both paths decode the same lines, with and without output; the outputs
// of all lines are compared at the end. Lines of random length made mostly
// of alphabet characters, with now and then a byte from anywhere, and
// counts that fit the line or do not.
void ExpectSameAsPlain(const detail::DecodeTable& table, std::string_view alphabet, unsigned char missing,
                       std::uint32_t seed)
{
    std::mt19937 rng(seed);
    test::OutputCapture plainOut, fastOut;
    for (int round = 0; round < 400; ++round) {
        std::string line(static_cast<std::size_t>(std::uniform_int_distribution<int>(0, 1500)(rng)), ' ');
        for (char& c : line)
            c = rng() % 50 == 0 ? static_cast<char>(rng() % 256) : alphabet[rng() % alphabet.size()];
        const int n = std::uniform_int_distribution<int>(-3, 1200)(rng);
        for (bool withOutput : {true, false}) {
            const auto plain = Decode(false, line, n, table, missing, withOutput ? plainOut.File() : nullptr);
            const auto fast = Decode(true, line, n, table, missing, withOutput ? fastOut.File() : nullptr);
            SCOPED_TRACE("round " + std::to_string(round) + ", n " + std::to_string(n));
            EXPECT_EQ(std::pair(plain.end, plain.invalid), std::pair(fast.end, fast.invalid));
            EXPECT_TRUE(plain.end >= static_cast<int>(line.size()) || plain.byteSum == fast.byteSum);
        }
    }
    EXPECT_BYTES_EQ(plainOut.Take(), fastOut.Take());
}

TEST(SixBitGroups, FastPathMatchesPlainOnRandomLines)
{
    std::string everyUUCharacter;
    for (int c = 32; c <= 127; ++c)
        everyUUCharacter += static_cast<char>(c);
    ExpectSameAsPlain(kUUDecode, test::kUUAlphabetBackquote, 0, 11);
    ExpectSameAsPlain(kUUDecode, everyUUCharacter, 0, 13);
    ExpectSameAsPlain(kXXDecode, test::kXXAlphabetText, kInvalid, 12);
}

// Full UU lines of random UU characters, some with one or two bytes of any
// value (every value in turn) at random places: the full-line kernels
// decode the same bytes as the table loop and refuse the same lines.
class UUFullLine : public testing::TestWithParam<std::uint32_t> {};

TEST_P(UUFullLine, KernelsMatchTheTableLoop)
{
    std::mt19937 rng(GetParam());
    std::vector<bool (*)(const unsigned char*, unsigned char*)> kernels = {
        [](const unsigned char* s, unsigned char* out) { return detail::DecodeUUFullLine(s, out); }};
    if (detail::HaveUUFullLineAvx2()) kernels.push_back(&detail::DecodeUUFullLineAvx2);
    for (int round = 0; round < 1024; ++round) {
        unsigned char line[60];
        for (unsigned char& c : line)
            c = static_cast<unsigned char>(32 + rng() % 96);
        for (int odd = round % 3; odd > 0; --odd)
            line[(round / 3 + 29 * odd) % 60] = static_cast<unsigned char>((round + odd) % 256);
        unsigned char want[48] = {}, got[48] = {};
        const bool plain = detail::DecodeUUFullLine(line, want, detail::SixBitKernel::Scalar);
        for (auto* kernel : kernels) {
            std::fill(std::begin(got), std::end(got), 0xA5);
            SCOPED_TRACE("round " + std::to_string(round));
            ASSERT_EQ(plain, kernel(line, got));
            EXPECT_TRUE(!plain || std::equal(want, want + 45, got));
            EXPECT_TRUE(std::all_of(got + 45, got + 48, [](unsigned char c) { return c == 0xA5; }));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, UUFullLine, testing::Values(1u, 2u, 3u));

} // namespace
} // namespace zarvex
