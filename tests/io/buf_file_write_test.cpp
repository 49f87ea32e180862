// CBufFile writing, positioning, whole-file operations and failures.
#include "io/buf_file.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zarvex {
namespace {

using test::Bytes;
using test::ReadFile;
using test::TempDir;

constexpr std::uint32_t kCreate = CBufFile::modeCreate | CBufFile::modeWrite | CBufFile::typeBinary;
constexpr std::uint32_t kInput = CBufFile::modeRead | CBufFile::shareDenyNone | CBufFile::typeBinary;

// Runs `body` in a child process and returns its exit code (or -1).
template <typename F> int InChild(F body)
{
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
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

std::string NextLine(CBufFile& f)
{
    char buf[64];
    int len = 0;
    bool complete = false;
    return f.ReadLine(buf, 64, &len, &complete) ? std::string(buf, static_cast<std::size_t>(len)) : "<none>";
}

TEST(BufFileWrite, SingleBytesAndBulkWritesAcrossManyBuffersKeepOrder)
{
    TempDir dir;
    const Bytes big = test::RandomBytes(70000, 3);
    const Bytes payload = test::RandomBytes(200001, 7);
    CBufFile f;
    ASSERT_TRUE(f.Open(dir / "out.bin", kCreate));
    f.PutChar('<');
    f.Write("small", 5);
    f.Write(big.data(), big.size());
    for (char c : payload)
        f.PutChar(static_cast<unsigned char>(c));
    f.PutChar('>');
    EXPECT_EQ(f.GetPosition(), static_cast<std::int64_t>(7 + big.size() + payload.size()));
    f.Close();
    EXPECT_BYTES_EQ("<small" + big + payload + ">", ReadFile(dir / "out.bin"));
}

TEST(BufFileWrite, CountsBinaryAndTextBytesWritten)
{
    TempDir dir;
    CBufFile f;
    ASSERT_TRUE(f.Open(dir / "out.bin", kCreate));
    for (unsigned char c : {'a', '\0', '\x01', '\x06', '\x07', '\x7f', '\x80', '\xff'})
        f.PutChar(c);
    f.Write("\x02text", 5);
    EXPECT_EQ(f.BinaryCount(), 5);
    EXPECT_EQ(f.TextCount(), 8);
}

TEST(BufFileWrite, ClosedFileAndNegativeSeekRaise)
{
    TempDir dir;
    CBufFile f;
    EXPECT_EQ(CauseOf([&] { f.PutChar('x'); }), kInvalidFile);
    ASSERT_TRUE(f.Open(dir.Write("f.txt", "abc"), kInput));
    EXPECT_EQ(CauseOf([&] { f.Seek(-5, 0); }), kBadSeek);
}

TEST(BufFileWrite, WriteAfterReadingLandsAtTheLogicalPosition)
{
    TempDir dir;
    const std::string path = dir.Write("rw.txt", "line one\nline two\n");
    CBufFile f;
    ASSERT_TRUE(f.Open(path, CBufFile::modeReadWrite));
    EXPECT_EQ(NextLine(f), "line one\n");
    f.Write("LINE", 4);
    EXPECT_EQ(f.GetPosition(), 13);
    f.Close();
    EXPECT_EQ(ReadFile(path), "line one\nLINE two\n");
    ASSERT_TRUE(f.Open(dir.Write("d.txt", "0123456789"), CBufFile::modeReadWrite));
    EXPECT_EQ(f.GetChar(), '0');
    f.Seek(3, 1); // relative to the logical position, not the OS one
    EXPECT_EQ(f.GetChar(), '4');
}

// A file-size limit in a child process stands in for a full disk.
int InChildWithSizeLimit(rlim_t limit, const std::string& path, const std::function<int(CBufFile&)>& body)
{
    return InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{limit, limit};
        if (::setrlimit(RLIMIT_FSIZE, &lim) != 0) return 100;
        CBufFile f;
        if (!f.Open(path, kCreate)) return 101;
        return body(f);
    });
}

TEST(BufFileWrite, FullDiskRaisesOnceAndKeepsWhatWasWritten)
{
    TempDir dir;
    const Bytes payload = test::RandomBytes(300000, 11);
    const int cause = InChildWithSizeLimit(100000, dir / "a.bin", [&](CBufFile& f) {
        const int lost = CauseOf([&] {
            for (char c : payload)
                f.PutChar(static_cast<unsigned char>(c));
        });
        return CauseOf([&] { f.Close(); }) == -1 ? lost : 103; // the loss was reported once; closing works
    });
    EXPECT_EQ(cause, kDiskFull);
    EXPECT_BYTES_EQ(payload.substr(0, 100000), ReadFile(dir / "a.bin"));
    const int onClose = InChildWithSizeLimit(10, dir / "b.bin", [](CBufFile& f) {
        f.Write("more than ten bytes", 19);
        return CauseOf([&] { f.Close(); });
    });
    EXPECT_EQ(onClose, kDiskFull) << "pending bytes that cannot be written on close";
    EXPECT_EQ(ReadFile(dir / "b.bin"), "more than ");
}

TEST(BufFilePosition, LengthCountsPendingBytesPastTheEndOnly)
{
    TempDir dir;
    const std::string path = dir.Write("f.bin", std::string(1000, 'a'));
    CBufFile f;
    ASSERT_TRUE(f.Open(path, CBufFile::modeReadWrite));
    f.Seek(10, 0);
    f.Write("xyz", 3);
    EXPECT_EQ(f.GetLength(), 1000);
    f.SeekToEnd();
    for (int i = 0; i < 10; ++i)
        f.PutChar('b');
    struct stat st = {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 1000) << "still pending";
    EXPECT_EQ(f.GetLength(), 1010);
    EXPECT_EQ(f.GetPosition(), 1010);
    EXPECT_EQ(f.GetPosition(true), 1000);
}

TEST(BufFilePosition, BackwardSeeksReuseTheBufferUntilTheEnd)
{
    TempDir dir;
    const std::string path = dir.Write("f.txt", "alpha\nbeta\n");
    CBufFile f;
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

TEST(BufFileLarge, SparseFileAboveFourGigabytesKeepsPositions)
{
    TempDir dir;
    constexpr std::int64_t kFive = 5LL << 30;
    CBufFile f;
    ASSERT_TRUE(f.Open(dir / "big.bin", kCreate | CBufFile::modeReadWrite));
    if (const int cause = CauseOf([&] { f.SetLength(kFive); }); cause >= 0)
        GTEST_SKIP() << "the file system refuses 5 GB files (cause " << cause << ")";
    EXPECT_EQ(f.GetLength(), kFive);
    EXPECT_EQ(f.Seek(kFive - 3, 0), kFive - 3);
    f.Write("end", 3);
    EXPECT_EQ(f.GetPosition(), kFive);
    EXPECT_EQ(f.GetLength(), kFive);
    ASSERT_TRUE(f.FillRange(kFive + 100, kFive + (1LL << 30), 0));
    EXPECT_EQ(f.GetPosition(), kFive + (1LL << 30));
    EXPECT_EQ(f.Seek((4LL << 30) + 1, 0), (4LL << 30) + 1);
    EXPECT_EQ(f.GetChar(), 0);
    f.Seek(kFive - 3, 0);
    EXPECT_EQ(f.GetChar(), 'e');
    f.Close();
    struct stat st = {};
    ASSERT_EQ(::stat((dir / "big.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, kFive + (1LL << 30));
    EXPECT_LT(st.st_blocks * 512LL, 64LL << 20) << "zeros were written instead of left sparse";
}

TEST(BufFileOps, AppendToCopiesTheWholeFileAndRewinds)
{
    TempDir dir;
    const Bytes body = test::RandomBytes(150000, 21);
    CBufFile src;
    CBufFile dst;
    ASSERT_TRUE(src.Open(dir.Write("src.bin", body), kInput));
    ASSERT_TRUE(dst.Open(dir.Write("dst.bin", "head"), CBufFile::modeReadWrite));
    src.GetChar();
    EXPECT_TRUE(src.AppendTo(dst));
    EXPECT_EQ(src.GetPosition(), 0);
    EXPECT_EQ(src.GetChar(), static_cast<unsigned char>(body[0]));
    dst.Close();
    EXPECT_BYTES_EQ("head" + body, ReadFile(dir / "dst.bin"));
}

TEST(BufFileOps, FillRangeOverwritesAndExtendsButRefusesBadRanges)
{
    TempDir dir;
    const std::string path = dir.Write("f.bin", "abcdefgh");
    CBufFile f;
    EXPECT_FALSE(f.FillRange(0, 10, 0)) << "closed file";
    ASSERT_TRUE(f.Open(path, CBufFile::modeReadWrite));
    EXPECT_FALSE(f.FillRange(10, 5, 0));
    ASSERT_TRUE(f.FillRange(2, 4, '*'));
    EXPECT_EQ(f.GetPosition(), 4);
    ASSERT_TRUE(f.FillRange(6, 12, 0));
    ASSERT_TRUE(f.FillRange(14, 16, '+'));
    f.Close();
    EXPECT_BYTES_EQ(std::string("ab**ef\0\0\0\0\0\0\0\0++", 16), ReadFile(path));
}

TEST(BufFileOps, SetLengthWritesPendingFirstAndSizesRemainAfterClose)
{
    TempDir dir;
    CBufFile f;
    ASSERT_TRUE(f.Open(dir / "f.bin", kCreate));
    f.Write("0123456789", 10);
    f.SetLength(4);
    EXPECT_EQ(f.GetLength(), 4);
    f.SeekToEnd();
    f.Write("5", 1);
    f.Close();
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.GetPosition(), 5);
    EXPECT_EQ(f.GetLength(), 5);
    EXPECT_EQ(ReadFile(dir / "f.bin"), "01235");
}

TEST(BufFileUnget, RoomInFrontOfTheBufferIsLimited)
{
    TempDir dir;
    CBufFile f;
    ASSERT_TRUE(f.Open(dir.Write("f.txt", "bc"), kInput));
    f.UngetChar('a'); // before anything was read
    EXPECT_EQ(f.GetChar(), 'a');
    EXPECT_EQ(f.GetChar(), 'b');
    ASSERT_TRUE(f.Open(dir.Write("g.txt", std::string(100000, '.')), kInput));
    EXPECT_EQ(f.GetChar(), '.');
    f.UngetChar('.');
    for (int i = 0; i < 300; ++i)
        f.UngetChar('A' + i % 26);
    for (int i = 254; i >= 0; --i)
        ASSERT_EQ(f.GetChar(), 'A' + i % 26) << i;
    EXPECT_EQ(f.GetChar(), '.') << "the bytes beyond the room were dropped";
}

TEST(BufFileOpen, MissingFileOrFolderFailsWithCauseAndNeverThrows)
{
    TempDir dir;
    CBufFile f;
    FileError err;
    EXPECT_FALSE(f.Open(dir / "missing.txt", kInput, &err));
    EXPECT_EQ(err.cause, kFileNotFound);
    EXPECT_EQ(err.osError, ENOENT);
    EXPECT_EQ(err.fileName, dir / "missing.txt");
    EXPECT_FALSE(f.Open(dir / "no/such/dir/x", kCreate, &err));
    EXPECT_EQ(err.cause, kFileNotFound);
    EXPECT_FALSE(f.Open(dir.Path().string(), kInput, &err));
    EXPECT_EQ(err.cause, kAccessDenied);
    EXPECT_FALSE(f.IsOpen());
}

TEST(BufFileOpen, UnreadableFileGivesAccessDenied)
{
    TempDir dir;
    const std::string path = dir.Write("secret.txt", "x");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    // The superuser reads anything: try it as an ordinary user in a child.
    const int cause = InChild([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 100;
        CBufFile f;
        FileError err;
        return f.Open(path, kInput, &err) ? 101 : err.cause;
    });
    EXPECT_EQ(cause, kAccessDenied);
}

TEST(BufFileOpen, CreateTruncatesUnlessAskedNotToAndReopenGivesReadWrite)
{
    TempDir dir;
    const std::string path = dir.Write("f.txt", "old content");
    CBufFile f;
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

TEST(BufFileStatus, ReportsSizeTimesAndFolderBit)
{
    TempDir dir;
    FileStatus st;
    ASSERT_TRUE(CBufFile::GetStatus(dir.Write("f.txt", "12345"), st));
    EXPECT_EQ(st.size, 5);
    EXPECT_GT(st.lastWriteTime, 1500000000);
    EXPECT_GT(st.creationTime, 0);
    EXPECT_GT(st.lastAccessTime, 0);
    EXPECT_EQ(st.attributes & kAttrDirectory, 0u);
    ASSERT_TRUE(CBufFile::GetStatus(dir.Path().string(), st));
    EXPECT_NE(st.attributes & kAttrDirectory, 0u);
    EXPECT_FALSE(CBufFile::GetStatus(dir / "missing", st));
}

TEST(FileErrorCause, ErrnoValuesMapToCauses)
{
    const struct
    {
        int error;
        bool seeking;
        int cause;
    } cases[] = {{0, false, kNoError},           {ENOENT, false, kFileNotFound}, {ENOTDIR, false, kBadPath},
                 {EMFILE, false, kTooManyOpenFiles}, {EROFS, false, kAccessDenied}, {EBADF, false, kInvalidFile},
                 {EIO, false, kHardIO},           {ENOSPC, false, kDiskFull},     {EINVAL, false, kGeneric},
                 {EINVAL, true, kBadSeek},        {ESPIPE, true, kBadSeek},       {EXDEV, false, kGeneric}};
    for (const auto& c : cases)
        EXPECT_EQ(CauseFromErrno(c.error, c.seeking), c.cause) << c.error;
}

} // namespace
} // namespace zarvex
