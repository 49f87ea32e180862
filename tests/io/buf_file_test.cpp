// Line reading of CBufFile: break forms, cuts, peeking, buffer edges, and a
// randomized comparison against a plain byte-at-a-time reader.
#include "io/buf_file.h"
#include "io/line_break.h"
#include "io/line_break_wide.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace zarvex {
namespace {

using test::TempDir;

constexpr int kMax = 1024;

// The tolerant line reader, one byte at a time, over a string.
struct ReferenceReader
{
    std::string data;
    std::size_t pos = 0;

    int Get() { return pos < data.size() ? static_cast<unsigned char>(data[pos++]) : -1; }

    // nullopt at the end of the file.
    std::optional<std::string> ReadLine(int max, bool& complete)
    {
        std::string line;
        complete = false;
        if (max <= 1) return line;
        for (;;) {
            const int c = Get();
            if (c < 0) {
                complete = true;
                return line.empty() ? std::nullopt : std::optional(line);
            }
            if (c != '\r' && c != '\n') {
                line += static_cast<char>(c);
                if (static_cast<int>(line.size()) == max - 1) return line;
                continue;
            }
            complete = true;
            const std::size_t at = pos;
            auto next = [&](std::string_view s) {
                return data.compare(at, s.size(), s) == 0 && (pos += s.size());
            };
            if (c == '\n') return line + (next("\r") ? "\r\n" : "\n");
            if (next("\n")) return line + "\r\n";
            return line + (next("\r\n") ? "\r\r\n" : "\n");
        }
    }
};

// A line read (or, `peek`, looked at) from `file`; nullopt at the end.
std::optional<std::string> Read(CBufFile& file, int max = kMax, bool* complete = nullptr, bool peek = false)
{
    std::vector<char> buf(static_cast<std::size_t>(std::max(max, 1)) + 2, '#');
    int len = -1;
    bool done = false;
    const char* got =
        peek ? file.PeekLine(buf.data(), max, &len) : file.ReadLine(buf.data(), max, &len, &done);
    if (complete) *complete = done;
    if (!got) return std::nullopt;
    EXPECT_EQ(got, buf.data());
    EXPECT_EQ(buf[static_cast<std::size_t>(len)], '\0') << "terminating zero";
    return std::string(buf.data(), static_cast<std::size_t>(len));
}

class BufFileLines : public ::testing::Test
{
protected:
    CBufFile& OpenWith(const std::string& content)
    {
        const std::string path = m_Dir.Write("in.txt", content);
        EXPECT_TRUE(m_File.Open(path, CBufFile::modeRead | CBufFile::shareDenyNone | CBufFile::typeBinary));
        return m_File;
    }
    std::vector<std::string> AllLines(const std::string& content, int max = kMax)
    {
        CBufFile& f = OpenWith(content);
        std::vector<std::string> lines;
        while (auto line = Read(f, max))
            lines.push_back(*line);
        return lines;
    }

    TempDir m_Dir;
    CBufFile m_File;
};

using Lines = std::vector<std::string>;

// LF, CR LF, LF CR and CR each end one line; CR CR LF is kept as it is; CR CR before
// text is a line then an empty line; a break at the end of the file is stored as LF;
// a cut line's break follows alone, and the break fits after max - 2 bytes.
TEST_F(BufFileLines, BreakFormsCutsAndEndOfFile)
{
    // clang-format off
    const struct { std::string content; int max; Lines lines; } cases[] = {
        {"a\nb\r\nc\n\rd\re", kMax, {"a\n", "b\r\n", "c\r\n", "d\n", "e"}},
        {"a\r\r\nb\r\r\n", kMax, {"a\r\r\n", "b\r\r\n"}}, {"a\r\rb", kMax, {"a\n", "\n", "b"}},
        {"a\r\r\r\rb", kMax, {"a\n", "\n", "\n", "\n", "b"}}, {"a\r", kMax, {"a\n"}},
        {"a\r\r", kMax, {"a\n", "\n"}}, {"a\n", kMax, {"a\n"}}, {"\n\n", kMax, {"\n", "\n"}},
        {"a\n\r\nb", kMax, {"a\r\n", "\n", "b"}}, {"abcdefg\n", 4, {"abc", "def", "g\n"}},
        {"abcdefg\r\nnext\n", 8, {"abcdefg", "\r\n", "next\n"}}, {"ab\r\r\nc", 4, {"ab\r\r\n", "c"}},
        {"", kMax, {}},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(AllLines(c.content, c.max), c.lines) << c.content;
}

TEST_F(BufFileLines, ConsumedBytesAreCountedOnce)
{
    AllLines("ab\x01\x80\r\r\x02\n");
    EXPECT_EQ(std::pair(m_File.BinaryCount(), m_File.TextCount()),
              (std::pair<std::int64_t, std::int64_t>(3, 5)));
}

TEST_F(BufFileLines, OsPositionIsAWholeBufferAhead)
{
    CBufFile& f = OpenWith("Subject: x\r\n\r\nbody\n" + std::string(100000, 'z'));
    Read(f);
    EXPECT_EQ(f.GetPosition(), 12);
    EXPECT_EQ(f.GetPosition(true), 65535);
}

// Reads one line from both readers; false at the end or after a mismatch.
bool ReadBoth(CBufFile& file, ReferenceReader& ref, int max)
{
    bool refComplete = false, complete = false;
    const auto expected = ref.ReadLine(max, refComplete);
    EXPECT_EQ(Read(file, max, &complete), expected) << "max " << max;
    EXPECT_TRUE(!expected || complete == refComplete) << "complete flag";
    EXPECT_EQ(file.GetPosition(), static_cast<std::int64_t>(ref.pos));
    return expected && !::testing::Test::HasFailure();
}

// Every break form placed at every offset around the first buffer edge.
TEST_F(BufFileLines, BreakFormsAcrossTheBufferEdgeMatchPlainReader)
{
    for (const std::string form : {"\r\r", "\r\rx", "\r\r\n", "\n\r", "\r\n", "\r", "\n"}) {
        for (std::size_t at = 65530; at <= 65537; ++at) {
            const std::string content = std::string(at, 'q') + form + "tail";
            ReferenceReader ref{content};
            OpenWith(content);
            while (ReadBoth(m_File, ref, kMax)) {
            }
            ASSERT_FALSE(HasFailure()) << "offset " << at;
        }
    }
}

std::string RandomText(std::mt19937& rng, std::size_t size)
{
    const int breakPercent = 3 + static_cast<int>(rng() % 60);
    std::string s;
    while (s.size() < size) {
        const int roll = static_cast<int>(rng() % 100);
        if (roll < breakPercent)
            s += (rng() & 1) ? '\r' : '\n';
        else
            s += static_cast<char>(roll < breakPercent + 2 ? rng() & 0xFF : 'A' + rng() % 58);
    }
    return s;
}

// Random mixes of CR, LF and text, random line limits, peeks, pushed-back
// bytes and short backward seeks, against the plain reader.
class BufFileRandomLines : public ::testing::TestWithParam<std::uint32_t>
{
};

TEST_P(BufFileRandomLines, MatchReaderThatTakesOneByteAtATime)
{
    std::mt19937 rng(GetParam());
    TempDir dir;
    const std::string content = RandomText(rng, 140000 + rng() % 70000);
    ReferenceReader ref{content};
    CBufFile file;
    ASSERT_TRUE(file.Open(dir.Write("r.txt", content), CBufFile::modeRead | CBufFile::typeBinary));
    int seeksLeft = 300; // backward seeks, bounded so the reader always gets to the end
    for (int step = 0;; ++step) {
        const int roll = static_cast<int>(rng() % 100);
        const int max = 1 + static_cast<int>(rng() % 4 == 0 ? rng() % 6 : rng() % 1500);
        if (roll < 12) {
            ReferenceReader copy = ref;
            bool unused = false;
            ASSERT_EQ(Read(file, max, nullptr, true), copy.ReadLine(max, unused)) << "step " << step;
        } else if (roll < 16) {
            const int c = file.GetChar();
            ASSERT_EQ(c, ref.Get());
            if (c >= 0) file.UngetChar(c), --ref.pos;
        } else if (roll < 19 && seeksLeft-- > 0) {
            ref.pos -= std::min<std::size_t>(ref.pos, rng() % 3000);
            file.Seek(static_cast<std::int64_t>(ref.pos), 0);
        } else if (!ReadBoth(file, ref, max)) {
            ASSERT_FALSE(HasFailure()) << "step " << step;
            break;
        }
        ASSERT_EQ(file.GetPosition(), static_cast<std::int64_t>(ref.pos)) << "step " << step;
    }
    EXPECT_EQ(ref.pos, content.size());
}

INSTANTIATE_TEST_SUITE_P(Seeds, BufFileRandomLines, ::testing::Values(1u, 17u, 2024u, 424242u));

// The fast searches (the wide ones where the CPU has them) against the plain one.
TEST(LineBreakSearch, FastSearchEqualsPlainSearch)
{
    using Search = std::size_t (*)(const unsigned char*, std::size_t, std::int64_t&, unsigned char*);
    const Search wide = HaveWideLineBreak() ? &FindLineBreakWide : &FindLineBreak;
    const Search wide32 = HaveWideLineBreak() ? &FindLineBreakAvx2 : &FindLineBreak;
    std::mt19937 rng(5);
    std::string s(300, 'a');
    for (int round = 0; round < 5000; ++round) {
        const unsigned breakOdds = 1 + rng() % 200;
        for (auto& c : s)
            c = (rng() % breakOdds == 0) ? ((rng() & 1) ? '\r' : '\n') : static_cast<char>(rng() & 0xFF);
        const auto* p = reinterpret_cast<const unsigned char*>(s.data());
        const std::size_t start = rng() % 40;
        const std::size_t n = rng() % (s.size() - start);
        std::int64_t plainBinary = 0;
        const std::size_t plain = FindLineBreakPlain(p + start, n, plainBinary);
        for (const Search search : {Search(&FindLineBreak), wide, wide32}) {
            std::int64_t fastBinary = 0;
            std::vector<unsigned char> copy(n); // exactly n bytes: the sanitizer sees any overrun
            ASSERT_EQ(search(p + start, n, fastBinary, copy.data()), plain) << "round " << round;
            ASSERT_EQ(fastBinary, plainBinary) << "round " << round;
            ASSERT_TRUE(
                std::equal(copy.begin(), copy.begin() + static_cast<std::ptrdiff_t>(plain), p + start));
        }
    }
}

// Every byte value but CR and LF, then random bytes: 6 control characters
// and the 128 upper ones look binary.
TEST(LineBreakSearch, FastBinaryCountEqualsPlainCountAtEveryLength)
{
    std::mt19937 rng(6);
    std::string s;
    for (int c = 0; c < 256; ++c)
        if (c != '\r' && c != '\n') s += static_cast<char>(c);
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    std::int64_t binary = 0;
    EXPECT_EQ(FindLineBreak(p, s.size(), binary), s.size());
    EXPECT_EQ(binary, 6 + 128);
    EXPECT_EQ(CountBinaryLooking(p, s.size()), 6 + 128);
    for (int i = 0; i < 200; ++i)
        s += static_cast<char>(rng() & 0xFF);
    p = reinterpret_cast<const unsigned char*>(s.data());
    for (std::size_t start = 0; start < 17; ++start) {
        for (std::size_t n = 0; start + n <= s.size(); ++n) {
            std::int64_t plain = 0;
            for (std::size_t i = 0; i < n; ++i)
                plain += IsBinaryLooking(p[start + i]);
            ASSERT_EQ(CountBinaryLooking(p + start, n), plain) << "start " << start << ", n " << n;
            if (!HaveWideLineBreak()) continue;
            ASSERT_EQ(CountBinaryLookingWide(p + start, n), plain) << "wide, n " << n;
        }
    }
}

} // namespace
} // namespace zarvex
