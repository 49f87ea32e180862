// CBufFile writing, positioning, whole-file operations and failures.
#include "io/buf_file.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

namespace zarvex {
namespace {

using test::Bytes;
using test::ReadFile;
using test::TempDir;
using Pair = std::pair<std::int64_t, std::int64_t>;

constexpr std::uint32_t kCreate = CBufFile::modeCreate | CBufFile::modeWrite | CBufFile::typeBinary;
constexpr std::uint32_t kInput = CBufFile::modeRead | CBufFile::shareDenyNone | CBufFile::typeBinary;

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

// A fresh folder and a file object for each test.
class BufFileWrite : public ::testing::Test
{
protected:
    TempDir dir;
    CBufFile f;
};
using BufFileOps = BufFileWrite;
using BufFileOpen = BufFileWrite;

std::string NextLine(CBufFile& f)
{
    char buf[64];
    int len = 0;
    bool done = false;
    return f.ReadLine(buf, 64, &len, &done) ? std::string(buf, static_cast<std::size_t>(len)) : "<none>";
}

// A file opened with uncountedWrites leaves Write and CommitWrite uncounted.
TEST_F(BufFileWrite, CountsBinaryAndTextBytesWritten)
{
    ASSERT_TRUE(f.Open(dir / "out.bin", kCreate));
    for (unsigned char c : {'a', '\0', '\x01', '\x06', '\x07', '\x7f', '\x80', '\xff'}) f.PutChar(c);
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
            for (char c : payload) out.PutChar(static_cast<unsigned char>(c));
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
        std::size_t n = std::min<std::size_t>(payload.size() - at, rng() % 3 == 0 ? rng() % 70000 : rng() % 100);
        const auto* src = reinterpret_cast<const unsigned char*>(payload.data()) + at;
        std::size_t room = 0;
        const int kind = static_cast<int>(rng() % 4);
        if (kind == 0) f.Write(src, n);
        for (std::size_t i = 0; kind == 1 && i < n; ++i) f.PutChar(src[i]);
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
    NextLine(f);
    NextLine(f);
    test::WriteFile(path, "ALPHA\nBETA\n"); // only a fresh read would see this
    EXPECT_EQ(f.Seek(6, 0), 6);
    EXPECT_EQ(NextLine(f), "beta\n");
    EXPECT_EQ(f.GetPosition(), 11);
    EXPECT_EQ(NextLine(f), "<none>");
    CBufFile writer;
    ASSERT_TRUE(writer.Open(path, CBufFile::modeWrite));
    writer.SeekToEnd();
    writer.Write("three\n", 6);
    writer.Close();
    f.Seek(6, 0);
    const std::string again = NextLine(f);
    EXPECT_TRUE(again == "beta\n" || again == "BETA\n") << again;
    EXPECT_EQ(NextLine(f), "three\n");
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
    for (int i = 0; i < 300; ++i) f.UngetChar('A' + i % 26);
    for (int i = 254; i >= 0; --i) ASSERT_EQ(f.GetChar(), 'A' + i % 26) << i;
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
class BufFileMixedAccess : public ::testing::TestWithParam<std::uint32_t> {};

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
            if (c >= 0 && rng() % 4 == 0) f.UngetChar(c), --pos;
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
