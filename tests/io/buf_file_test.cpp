// CBufFile: line reading (break forms, cuts, peeking, buffer edges, and a
// randomized comparison against a plain byte-at-a-time reader), writing,
// positioning, whole-file operations and failures.
#include "io/buf_file.h"
#include "io/line_break.h"
#include "io/line_break_wide.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace zarvex {
namespace {

using test::Bytes;
using test::ReadFile;
using test::TempDir;
using Pair = std::pair<std::int64_t, std::int64_t>;

constexpr int kMax = 1024;
constexpr std::uint32_t kCreate = CBufFile::modeCreate | CBufFile::modeWrite | CBufFile::typeBinary;
constexpr std::uint32_t kInput = CBufFile::modeRead | CBufFile::shareDenyNone | CBufFile::typeBinary;

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

// A fresh folder and a file object for each test.
class BufFileTest : public ::testing::Test
{
protected:
    void OpenWith(const std::string& content) { EXPECT_TRUE(f.Open(dir.Write("in.txt", content), kInput)); }
    std::vector<std::string> AllLines(const std::string& content, int max = kMax)
    {
        OpenWith(content);
        std::vector<std::string> lines;
        while (auto line = Read(f, max))
            lines.push_back(*line);
        return lines;
    }

    TempDir dir;
    CBufFile f;
};
using BufFileLines = BufFileTest;
using BufFileWrite = BufFileTest;
using BufFileOps = BufFileTest;
using BufFileOpen = BufFileTest;

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
    EXPECT_EQ(Pair(f.BinaryCount(), f.TextCount()), Pair(3, 5));
}

TEST_F(BufFileLines, OsPositionIsAWholeBufferAhead)
{
    OpenWith("Subject: x\r\n\r\nbody\n" + std::string(100000, 'z'));
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
            while (ReadBoth(f, ref, kMax)) {
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
            if (c >= 0) {
                file.UngetChar(c);
                --ref.pos;
            }
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

// The cause of the FileException `body` raises, or -1 when it raises none.
template <typename F> int CauseOf(F body)
{
    try {
        body();
    } catch (const FileException& e) {
        return e.Error().cause;
    }
    return -1;
}

// A file-size limit in a child process stands in for a full disk; the child's exit code.
int InChildWithSizeLimit(rlim_t limit, const std::string& path, const std::function<int(CBufFile&)>& body)
{
    return WEXITSTATUS(test::InChild([&] {
        test::LimitFileSize(limit);
        CBufFile f;
        return f.Open(path, kCreate) ? body(f) : 101;
    }));
}

// A file opened with uncountedWrites leaves Write and CommitWrite uncounted.
TEST_F(BufFileWrite, CountsBinaryAndTextBytesWritten)
{
    ASSERT_TRUE(f.Open(dir / "out.bin", kCreate));
    for (unsigned char c : {'a', '\0', '\x01', '\x06', '\x07', '\x7f', '\x80', '\xff'})
        f.PutChar(c);
    f.Write("\x02text", 5);
    EXPECT_EQ(Pair(f.BinaryCount(), f.TextCount()), Pair(5, 8));
    CBufFile quiet;
    ASSERT_TRUE(quiet.Open(dir / "quiet.bin", kCreate | CBufFile::uncountedWrites));
    quiet.Write("\x02text", 5);
    std::size_t room = 0;
    quiet.WriteRoom(4, room)[0] = 0x80;
    quiet.CommitWrite(1);
    EXPECT_EQ(Pair(quiet.BinaryCount(), quiet.TextCount()), Pair(0, 0));
    quiet.Close();
    EXPECT_EQ(ReadFile(dir / "quiet.bin"), std::string("\x02text\x80"));
}

TEST_F(BufFileWrite, ClosedFileAndNegativeSeekRaise)
{
    EXPECT_EQ(CauseOf([&] { f.PutChar('x'); }), kInvalidFile);
    ASSERT_TRUE(f.Open(dir.Write("f.txt", "abc"), kInput));
    EXPECT_EQ(CauseOf([&] { f.Seek(-5, 0); }), kBadSeek);
    EXPECT_EQ(CauseFromErrno(ENOSPC, false), kDiskFull) << "a real full disk, not the size limit used below";
}

// The loss is reported once and closing works; pending bytes that cannot be
// written are reported by Close.
TEST_F(BufFileWrite, FullDiskRaisesOnceAndKeepsWhatWasWritten)
{
    const Bytes payload = test::RandomBytes(300000, 11);
    const int cause = InChildWithSizeLimit(100000, dir / "a.bin", [&](CBufFile& out) {
        const int lost = CauseOf([&] {
            for (char c : payload)
                out.PutChar(static_cast<unsigned char>(c));
        });
        return CauseOf([&] { out.Close(); }) == -1 ? lost : 103;
    });
    EXPECT_EQ(cause, kDiskFull);
    EXPECT_BYTES_EQ(payload.substr(0, 100000), ReadFile(dir / "a.bin"));
    const int onClose = InChildWithSizeLimit(10, dir / "b.bin", [](CBufFile& out) {
        out.Write("more than ten bytes", 19);
        return CauseOf([&] { out.Close(); });
    });
    EXPECT_EQ(onClose, kDiskFull);
    EXPECT_EQ(ReadFile(dir / "b.bin"), "more than ");
}

// Writes `payload` through every kind of write call, chosen by `rng`; the
// position follows each call.
void WriteMixed(CBufFile& f, const Bytes& payload, std::mt19937& rng)
{
    for (std::size_t at = 0; at < payload.size();) {
        std::size_t n =
            std::min<std::size_t>(payload.size() - at, rng() % 3 == 0 ? rng() % 70000 : rng() % 100);
        const auto* src = reinterpret_cast<const unsigned char*>(payload.data()) + at;
        std::size_t room = 0;
        const int kind = static_cast<int>(rng() % 4);
        if (kind == 0) f.Write(src, n);
        for (std::size_t i = 0; kind == 1 && i < n; ++i)
            f.PutChar(src[i]);
        if (kind == 2) {
            n = std::min<std::size_t>(n, CBufFile::kReadChunk);
            std::memcpy(f.WriteRoom(n, room), src, n);
            f.CommitWrite(n);
        } else if (kind == 3) {
            unsigned char* space = f.PendingSpace(room);
            std::memcpy(space, src, n = std::min(n, room));
            f.CommitAsWrite(n);
        }
        at += n;
        ASSERT_EQ(f.GetPosition(), static_cast<std::int64_t>(at));
    }
}

// Outputs written behind hold every byte in order, however they end: Close,
// the destructor, or calls that need the file as it is.
class BufFileWriteBehind : public ::testing::TestWithParam<int>
{
protected:
    static constexpr std::uint32_t kMode =
        CBufFile::modeCreate | CBufFile::modeReadWrite | CBufFile::uncountedWrites | CBufFile::writeBehind;
    TempDir dir;
    const Bytes payload = test::RandomBytes(3'000'000, 5);
};

TEST_P(BufFileWriteBehind, EveryByteArrivesInOrder)
{
    const std::string path = dir / "big.bin";
    Bytes expected = payload;
    {
        CBufFile f;
        ASSERT_TRUE(f.Open(path, kMode));
        std::mt19937 rng(static_cast<std::uint32_t>(GetParam()));
        WriteMixed(f, payload, rng);
        if (GetParam() == 2) {
            EXPECT_EQ(f.GetLength(), static_cast<std::int64_t>(payload.size()));
            f.Flush();
            char back[100];
            ASSERT_EQ(f.ReadAt(2'500'000, back, sizeof back), sizeof back);
            EXPECT_BYTES_EQ(payload.substr(2'500'000, sizeof back), Bytes(back, sizeof back));
            f.Seek(1000, 0);
            f.Write("XY", 2);
            f.SeekToEnd();
            f.PutChar('Z');
            expected = expected.replace(1000, 2, "XY") + 'Z';
        }
        if (GetParam() != 1) f.Close(); // 1: the destructor closes
    }
    EXPECT_BYTES_EQ(expected, ReadFile(path));
}

INSTANTIATE_TEST_SUITE_P(Endings, BufFileWriteBehind, ::testing::Values(0, 1, 2));

// A later read after the end sees what another writer appended.
TEST_F(BufFileOps, BackwardSeeksReuseTheBufferUntilTheEnd)
{
    const std::string path = dir.Write("f.txt", "alpha\nbeta\n");
    ASSERT_TRUE(f.Open(path, kInput));
    Read(f);
    Read(f);
    test::WriteFile(path, "ALPHA\nBETA\n"); // only a fresh read would see this
    EXPECT_EQ(f.Seek(6, 0), 6);
    EXPECT_EQ(Read(f), "beta\n");
    EXPECT_EQ(f.GetPosition(), 11);
    EXPECT_EQ(Read(f), std::nullopt);
    CBufFile writer;
    ASSERT_TRUE(writer.Open(path, CBufFile::modeWrite));
    writer.SeekToEnd();
    writer.Write("three\n", 6);
    writer.Close();
    f.Seek(6, 0);
    const auto again = Read(f);
    EXPECT_TRUE(again == "beta\n" || again == "BETA\n") << again.value_or("<none>");
    EXPECT_EQ(Read(f), "three\n");
}

TEST_F(BufFileOps, SparseFileAboveFourGigabytesKeepsPositions)
{
    constexpr std::int64_t kFive = 5LL << 30, kSix = 6LL << 30;
    ASSERT_TRUE(f.Open(dir / "big.bin", kCreate | CBufFile::modeReadWrite));
    if (const int cause = CauseOf([&] { f.SetLength(kFive); }); cause >= 0)
        GTEST_SKIP() << "the file system refuses 5 GB files (cause " << cause << ")";
    EXPECT_EQ(f.GetLength(), kFive);
    EXPECT_EQ(f.Seek(kFive - 3, 0), kFive - 3);
    f.Write("end", 3);
    EXPECT_EQ(Pair(f.GetPosition(), f.GetLength()), Pair(kFive, kFive));
    ASSERT_TRUE(f.FillRange(kFive + 100, kSix, 0));
    EXPECT_EQ(f.GetPosition(), kSix);
    EXPECT_EQ(f.Seek((4LL << 30) + 1, 0), (4LL << 30) + 1);
    EXPECT_EQ(f.GetChar(), 0);
    f.Seek(kFive - 3, 0);
    EXPECT_EQ(f.GetChar(), 'e');
    f.Close();
    struct stat st = {};
    ASSERT_EQ(::stat((dir / "big.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, kSix);
    EXPECT_LT(st.st_blocks * 512LL, 64LL << 20) << "zeros were written instead of left sparse";
}

TEST_F(BufFileOps, AppendToCopiesTheWholeFileAndRewinds)
{
    const Bytes body = test::RandomBytes(150000, 21);
    CBufFile dst;
    ASSERT_TRUE(f.Open(dir.Write("src.bin", body), kInput));
    ASSERT_TRUE(dst.Open(dir.Write("dst.bin", "head"), CBufFile::modeReadWrite));
    f.GetChar();
    EXPECT_TRUE(f.AppendTo(dst));
    EXPECT_EQ(f.GetPosition(), 0);
    EXPECT_EQ(f.GetChar(), static_cast<unsigned char>(body[0]));
    dst.Close();
    EXPECT_BYTES_EQ("head" + body, ReadFile(dir / "dst.bin"));
}

TEST_F(BufFileOps, FillRangeOverwritesAndExtendsButRefusesBadRanges)
{
    const std::string path = dir.Write("f.bin", "abcdefgh");
    EXPECT_FALSE(f.FillRange(0, 10, 0)) << "closed file";
    ASSERT_TRUE(f.Open(path, CBufFile::modeReadWrite));
    EXPECT_FALSE(f.FillRange(10, 5, 0));
    ASSERT_TRUE(f.FillRange(2, 4, '*'));
    EXPECT_EQ(f.GetPosition(), 4);
    ASSERT_TRUE(f.FillRange(6, 12, 0) && f.FillRange(14, 16, '+'));
    f.Close();
    EXPECT_BYTES_EQ(std::string("ab**ef\0\0\0\0\0\0\0\0++", 16), ReadFile(path));
}

TEST_F(BufFileOps, SetLengthWritesPendingFirstAndSizesRemainAfterClose)
{
    ASSERT_TRUE(f.Open(dir / "f.bin", kCreate));
    f.Write("0123456789", 10);
    f.SetLength(4);
    EXPECT_EQ(f.GetLength(), 4);
    f.SeekToEnd();
    f.Write("5", 1);
    f.Close();
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(Pair(f.GetPosition(), f.GetLength()), Pair(5, 5));
    EXPECT_EQ(ReadFile(dir / "f.bin"), "01235");
}

// One byte pushed back before anything was read; 255 in front of a buffer,
// the bytes beyond that room dropped.
TEST_F(BufFileOps, UngetRoomInFrontOfTheBufferIsLimited)
{
    ASSERT_TRUE(f.Open(dir.Write("f.txt", "bc"), kInput));
    f.UngetChar('a');
    EXPECT_EQ(f.GetChar(), 'a');
    EXPECT_EQ(f.GetChar(), 'b');
    ASSERT_TRUE(f.Open(dir.Write("g.txt", std::string(100000, '.')), kInput));
    EXPECT_EQ(f.GetChar(), '.');
    f.UngetChar('.');
    for (int i = 0; i < 300; ++i)
        f.UngetChar('A' + i % 26);
    for (int i = 254; i >= 0; --i)
        ASSERT_EQ(f.GetChar(), 'A' + i % 26) << i;
    EXPECT_EQ(f.GetChar(), '.');
}

TEST_F(BufFileOpen, MissingFileOrFolderFailsWithCauseAndNeverThrows)
{
    FileError err;
    EXPECT_FALSE(f.Open(dir / "missing.txt", kInput, &err));
    EXPECT_EQ(std::tie(err.cause, err.osError, err.fileName),
              std::tuple(kFileNotFound, ENOENT, dir / "missing.txt"));
    EXPECT_FALSE(f.Open(dir / "no/such/dir/x", kCreate, &err));
    EXPECT_EQ(err.cause, kFileNotFound);
    EXPECT_FALSE(f.Open(dir.Path().string(), kInput, &err));
    EXPECT_EQ(err.cause, kAccessDenied);
    EXPECT_FALSE(f.IsOpen());
}

// The superuser reads anything: try it as an ordinary user in a child.
TEST_F(BufFileOpen, UnreadableFileGivesAccessDenied)
{
    const std::string path = dir.Write("secret.txt", "x");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    EXPECT_EQ(WEXITSTATUS(test::InChild([&] {
                  if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 100;
                  FileError err;
                  return CBufFile().Open(path, kInput, &err) ? 101 : err.cause;
              })),
              kAccessDenied);
}

TEST_F(BufFileOpen, CreateTruncatesUnlessAskedNotToAndReopenGivesReadWrite)
{
    const std::string path = dir.Write("f.txt", "old content");
    ASSERT_TRUE(f.Open(path, kCreate | CBufFile::modeNoTruncate));
    EXPECT_EQ(f.GetLength(), 11);
    ASSERT_TRUE(f.Open(path, kInput));
    f.Close();
    ASSERT_TRUE(f.Reopen());
    EXPECT_EQ(f.GetChar(), 'o');
    f.SeekToEnd();
    f.Write("!", 1);
    f.Close();
    EXPECT_EQ(ReadFile(path), "old content!");
    ASSERT_TRUE(f.Open(path, kCreate));
    EXPECT_EQ(f.GetLength(), 0);
}

TEST_F(BufFileOps, StatusReportsSizeTimesAndFolderBit)
{
    FileStatus st;
    ASSERT_TRUE(CBufFile::GetStatus(dir.Write("f.txt", "12345"), st));
    EXPECT_EQ(st.size, 5);
    EXPECT_TRUE(st.lastWriteTime > 1500000000 && st.creationTime > 0 && st.lastAccessTime > 0);
    EXPECT_EQ(st.attributes & kAttrDirectory, 0u);
    ASSERT_TRUE(CBufFile::GetStatus(dir.Path().string(), st));
    EXPECT_NE(st.attributes & kAttrDirectory, 0u);
    EXPECT_FALSE(CBufFile::GetStatus(dir / "missing", st));
}

// Random mixes of reads, writes, seeks and pushed-back bytes on one file
// opened for reading and writing, against a string that models the file (a
// gap reads as zeros). Writes after reads land at the logical position.
class BufFileMixedAccess : public ::testing::TestWithParam<std::uint32_t>
{
};

TEST_P(BufFileMixedAccess, PositionsLengthAndContentFollowTheModel)
{
    std::mt19937 rng(GetParam());
    TempDir dir;
    const std::string path = dir / "mixed.bin";
    CBufFile f;
    ASSERT_TRUE(f.Open(path, CBufFile::modeCreate | CBufFile::modeReadWrite));
    std::string model;
    std::size_t pos = 0;
    const auto put = [&](const std::string& s) {
        if (pos > model.size()) model.resize(pos, '\0');
        model.replace(pos, std::min(s.size(), model.size() - pos), s);
        pos += s.size();
    };
    const auto at = [&] { return static_cast<std::int64_t>(pos); };
    for (int step = 0; step < 20000; ++step) {
        const int roll = static_cast<int>(rng() % 100);
        if (roll < 30) {
            const auto c = static_cast<char>(rng());
            f.PutChar(static_cast<unsigned char>(c));
            put(std::string(1, c));
        } else if (roll < 33) {
            const std::string s = test::RandomBytes((rng() % 8 == 0) ? rng() % 90000 : rng() % 300, rng());
            f.Write(s.data(), s.size());
            put(s);
        } else if (roll < 70) {
            const int c = f.GetChar();
            ASSERT_EQ(c, pos < model.size() ? static_cast<unsigned char>(model[pos++]) : -1)
                << "step " << step;
            if (c >= 0 && rng() % 4 == 0) {
                f.UngetChar(c);
                --pos;
            }
        } else if (roll < 80) {
            pos = rng() % (model.size() + 20);
            f.Seek(at(), 0);
        } else if (roll < 85) {
            const auto delta = static_cast<std::int64_t>(rng() % 200) - std::min<std::int64_t>(at(), 100);
            f.Seek(delta, 1);
            pos = static_cast<std::size_t>(at() + delta);
        } else if (roll < 86) {
            f.Close();
            ASSERT_EQ(f.GetPosition(), at());
            ASSERT_TRUE(f.Reopen());
            pos = 0;
        } else if (roll < 95) {
            ASSERT_EQ(f.GetLength(), static_cast<std::int64_t>(model.size())) << "step " << step;
        }
        ASSERT_EQ(f.GetPosition(), at()) << "step " << step;
    }
    f.Close();
    EXPECT_BYTES_EQ(model, ReadFile(path));
}

INSTANTIATE_TEST_SUITE_P(Seeds, BufFileMixedAccess, ::testing::Values(1u, 7u, 19u, 123u, 4096u));

} // namespace
} // namespace zarvex
