// Hostile output names, inputs that changed after the scan, and a full disk:
// a clear file error, no crash, nothing written outside the output folder,
// and what was already written stays.
#include "extract_fixture.h"

#include "extract/output_path.h"
#include "text/display_text.h"

namespace zarvex::test {
namespace {

class BadInput : public ExtractTest {
protected:
    const Bytes payload = RandomBytes(100'000, 9);
};

class HostileName : public BadInput, public ::testing::WithParamInterface<std::string> {};

TEST_P(HostileName, NeverWritesOutsideTheOutputFolder)
{
    std::filesystem::create_directories(outDir + "/sub");
    const Bytes text = UuFile(payload, "x");
    AddRecord({MakePart(WriteSection(dir, "in.txt", "Subject: s\n\n", text, "", MT_UU), GetParam())});
    EXPECT_EQ(Extract(0, nullptr, outDir + "/sub"), extract_result::Skipped);
    EXPECT_NE(list[0]->m_Status & ST_NOTEXTRACTED, 0);
    EXPECT_EQ(host.CountInLog("File Error: All or part of the path is invalid."), 1) << host.PlainLog();
    EXPECT_EQ(std::distance(std::filesystem::recursive_directory_iterator(outDir), {}), 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2) << "in.txt, out";
}

INSTANTIATE_TEST_SUITE_P(Names, HostileName,
                         ::testing::Values("../x", "/etc/passwd", "..", ".", "", "a/b", "sub/../../x",
                                           std::string("a\0b", 3)));

TEST_F(BadInput, SymbolicLinkInTheOutputFolderIsReplacedNotFollowed)
{
    const std::string outside = dir.Write("outside.txt", "keep me");
    std::filesystem::create_symlink(outside, Out("link.bin"));
    std::filesystem::create_symlink(dir / "created-outside", Out("dangling.bin"));
    const Bytes text = UuFile(payload, "x");
    AddSingle("link.bin", text);
    AddSingle("dangling.bin", text);
    int state = 2; // replace without asking
    EXPECT_EQ(Extract(0, &state), extract_result::Written);
    EXPECT_EQ(Extract(1, &state), extract_result::Written);
    EXPECT_EQ(ReadFile(outside), "keep me");
    EXPECT_FALSE(FileExists(dir / "created-outside"));
    EXPECT_BYTES_EQ(payload, ReadFile(Out("link.bin")));
    EXPECT_BYTES_EQ(payload, ReadFile(Out("dangling.bin")));
}

TEST_F(BadInput, LinkSwappedInAfterCreationIsNeverWrittenThrough)
{
    // Whoever can write into the output folder swaps the file just created
    // for a link to a file elsewhere: the decoded data must not go there.
    const std::string outside = dir.Write("outside.txt", "keep me");
    const Bytes text = UuFile(payload, "x");
    AddSingle("new.bin", text);
    AddSingle("old.bin", text);
    WriteFile(Out("old.bin"), "old");
    int swapped = 0;
    host.onOutputCreated = [&](const std::string& path) {
        ++swapped;
        std::filesystem::remove(path);
        std::filesystem::create_symlink(outside, path);
    };
    int state = answer::YesToAll;
    EXPECT_EQ(Extract(0, &state), extract_result::NothingWritten);
    EXPECT_EQ(Extract(1, &state), extract_result::NothingWritten);
    EXPECT_EQ(swapped, 2);
    EXPECT_TRUE(ReadFile(outside) == "keep me") << "written through the link";
    EXPECT_FALSE(FileExists(Out("new.bin")));
    EXPECT_EQ(ReadFile(Out("old.bin")), "old");
    EXPECT_EQ(host.CountInLog("File Error: "), 2) << host.PlainLog();
}

TEST_F(BadInput, KilledMidWriteLeavesNoShortFileUnderTheOutputName)
{
    AddSingle("big.bin", UuFile(payload, "big.bin"));
    WriteFile(Out("old.bin"), "old");
    AddSingle("old.bin", UuFile(payload, "old.bin"));
    for (int index : {0, 1}) {
        const int status = InChild([&] {
            host.onPump = [] { ::raise(SIGKILL); }; // after 256 lines: well inside the data
            int state = answer::YesToAll;
            return Extract(index, &state);
        });
        ASSERT_TRUE(WIFSIGNALED(status)) << index << ": the child was to be killed while writing";
    }
    EXPECT_FALSE(FileExists(Out("big.bin")));
    EXPECT_EQ(ReadFile(Out("old.bin")), "old");
    const std::vector<std::string> left = TemporaryFilesIn(outDir);
    EXPECT_EQ(left.size(), 2u);
    // The next run ignores what the killed one left and writes the file whole.
    int state = answer::YesToAll;
    EXPECT_EQ(Extract(0, &state), extract_result::Written);
    EXPECT_EQ(Extract(1, &state), extract_result::Written);
    EXPECT_BYTES_EQ(payload, ReadFile(Out("big.bin")));
    EXPECT_BYTES_EQ(payload, ReadFile(Out("old.bin")));
    EXPECT_EQ(TemporaryFilesIn(outDir), left);
}

TEST_F(BadInput, MissingOutputFolderGivesTheFileErrorAskedUnlessSilent)
{
    AddSingle("nf.bin", UuFile(payload, "x"));
    for (const bool silent : {false, true}) {
        host.silent = silent;
        EXPECT_EQ(Extract(0, nullptr, dir / "no-such-folder"), extract_result::Skipped);
    }
    EXPECT_EQ(host.CountInLog("File Error: The file could not be located."), 2) << host.PlainLog();
    EXPECT_EQ(host.Asked(Prompt::FileError), 1);
    EXPECT_NE(list[0]->m_Status & ST_NOTEXTRACTED, 0);
}

TEST_F(BadInput, FolderWithTheOutputNameStaysAndNoTemporaryFileIsLeft)
{
    std::filesystem::create_directory(Out("taken.bin"));
    AddSingle("taken.bin", UuFile(payload, "x"));
    int state = 2;
    EXPECT_EQ(Extract(0, &state), extract_result::NothingWritten);
    EXPECT_EQ(host.CountInLog("File Error: "), 1) << host.PlainLog();
    EXPECT_NE(list[0]->m_Status & ST_NOTEXTRACTED, 0);
    EXPECT_TRUE(std::filesystem::is_directory(Out("taken.bin")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outDir), {}), 1);
}

TEST_F(BadInput, TruncatedInputReportsAndKeepsData)
{
    const Bytes text = UuFile(payload, "t.bin");
    PartRange range = WriteSection(dir, "in.txt", "Subject: s\n\n", text, "", MT_UU);
    WriteFile(range.file, ("Subject: s\n\n" + text).substr(0, 12 + text.size() / 2));
    AddRecord({MakePart(range, "t.bin")});
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_EQ(host.CountInLog("File Error: End of file reached."), 1) << host.PlainLog();
    EXPECT_EQ(host.Asked(Prompt::FileError), 1);
    const Bytes got = ReadFile(Out("t.bin"));
    ASSERT_GT(got.size(), payload.size() / 3);
    // The line cut in the middle decodes to garbage; everything before it is right.
    EXPECT_BYTES_EQ(payload.substr(0, got.size() - 45), got.substr(0, got.size() - 45));
}

TEST_F(BadInput, InputDeletedAfterTheScanLeavesNoOutputAndCancelAborts)
{
    for (int answerButton : {button::No, button::Cancel}) {
        SCOPED_TRACE(answerButton);
        host.log.clear();
        const std::string name = "gone" + std::to_string(answerButton) + ".bin";
        std::filesystem::remove(AddSingle(name, UuFile(payload, name))->GetAt(0)->m_File);
        host.answers = {answerButton};
        const int result = Extract(list.GetSize() - 1);
        EXPECT_EQ(host.CountInLog("File Error: The file could not be located."), 1) << host.PlainLog();
        EXPECT_FALSE(FileExists(Out(name)));
        EXPECT_EQ(host.abort, answerButton == button::Cancel);
        if (answerButton == button::No) {
            EXPECT_EQ(result, extract_result::Skipped);
        }
    }
}

// The payload size and the file size limit of the child: large outputs meet
// the limit in the bytes written behind the decoding, in the middle or in the
// last buffers handed over.
class FullDisk : public BadInput, public ::testing::WithParamInterface<std::pair<std::size_t, rlim_t>> {};

TEST_P(FullDisk, RemovesTheOutputAndKeepsTheOldFile)
{
    const auto [size, fileLimit] = GetParam();
    const Bytes data = RandomBytes(size, 9);
    AddSingle("big.bin", UuFile(data, "big.bin"));
    AddSingle("old.bin", UuFile(data, "old.bin"));
    WriteFile(Out("old.bin"), "old");
    const std::string logPath = dir / "child.log";
    const int status = InChild([&] {
        LimitFileSize(fileLimit);
        int answerState = answer::YesToAll, results = 0;
        for (int i = 0; i < 2; ++i) results = results * 10 + Extract(i, &answerState);
        LimitFileSize(RLIM_INFINITY);
        WriteFile(logPath, host.PlainLog() + "\nstatus: " + host.status);
        return results;
    });
    ASSERT_TRUE(WIFEXITED(status)) << "the child crashed";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "both results NothingWritten: a file cut short is no success";
    const Bytes log = ReadFile(logPath);
    EXPECT_EQ(CountOf(log, "\tFile Error: The disk is full!"), 2) << log;
    EXPECT_EQ(CountOf(log, "a write failed"), 2) << log;
    EXPECT_NE(log.find("status: File Error: The disk is full!"), std::string::npos) << log;
    EXPECT_EQ(log.find("short file"), std::string::npos) << log;
    EXPECT_FALSE(FileExists(Out("big.bin")));
    EXPECT_EQ(ReadFile(Out("old.bin")), "old");
    EXPECT_TRUE(TemporaryFilesIn(outDir).empty());
}

INSTANTIATE_TEST_SUITE_P(Limits, FullDisk,
                         ::testing::Values(std::pair<std::size_t, rlim_t>{100'000, 65536},
                                           std::pair<std::size_t, rlim_t>{3'000'000, 1'500'000},
                                           std::pair<std::size_t, rlim_t>{3'000'000, 2'800'000}));

TEST(OutputPathRules, OnePlainNameInsideTheFolder)
{
    EXPECT_EQ(BuildOutputPath("/out", "a.bin"), "/out/a.bin");
    EXPECT_EQ(BuildOutputPath("/out/", "a.bin", ".uu"), "/out/a.bin.uu");
    EXPECT_EQ(BuildOutputPath("/", "a.bin"), "/a.bin");
    EXPECT_EQ(BuildOutputPath("/out", ".."), "");
    EXPECT_EQ(BuildOutputPath("/out", "x/y"), "");
    EXPECT_EQ(BuildOutputPath("/out", ".x"), "/out/_.x") << "hidden names get an underscore";
    EXPECT_EQ(ResolveOutputFolder("*", "/in/mail.txt"), "/in");
    EXPECT_EQ(ResolveOutputFolder("*", "mail.txt"), ".");
    EXPECT_EQ(ResolveOutputFolder("*", "/mail.txt"), "/");
}

TEST(OutputPathRules, LongNamesAreShortenedKeepingExtensionAndCharacters)
{
    std::string name(100, 'x');
    for (int i = 0; i < 100; ++i) name += "\xC3\xA9"; // 200 bytes of "é"
    name += ".jpeg";
    const std::string safe = SafeOutputName(name, ".uu");
    EXPECT_LE(safe.size(), kMaxNameBytes);
    EXPECT_TRUE(safe.ends_with(".jpeg.uu"));
    EXPECT_TRUE(IsValidUtf8(safe));
    // Bytes that are no UTF-8 (a run of continuation bytes) are cut at the
    // limit, never all dropped down to a bare ".bin".
    const std::string odd = "e" + std::string(21, '\xBE') + std::string(300, '\x99') + ".bin";
    EXPECT_EQ(SafeOutputName(odd, ".uu"), odd.substr(0, kMaxNameBytes - 7) + ".bin.uu");
    EXPECT_EQ(Utf8CutPoint("a\xE2\x84\xA2", 3), 1u);
    EXPECT_EQ(Utf8CutPoint("a\xE2\x84\xA2", 4), 4u);
}

} // namespace
} // namespace zarvex::test
