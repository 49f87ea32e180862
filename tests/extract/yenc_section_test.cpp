// yEnc postings scanned, grouped and extracted by the real scanner, grouping
// and engine: the output against the original, and the part-level checks.
#include "extract_fixture.h"

#include "support/yenc_posting.h"

namespace zarvex::test {
namespace {

class YencExtract : public ExtractTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override { settings.StrictYenc = GetParam(); }
    // Writes each article to a file of its own, scans them all and extracts every record.
    int ScanArticles(const std::vector<std::string>& articles, const std::string& prefix = "art")
    {
        std::vector<std::string> inputs;
        for (std::size_t i = 0; i < articles.size(); ++i)
            inputs.push_back(dir.Write(prefix + std::to_string(i) + ".ntx", articles[i]));
        return ScanAndExtract(inputs);
    }
    const Bytes payload = RandomBytes(50'000, 77);
};

TEST_P(YencExtract, DamagedPartIsReplacedByItsGoodDuplicate)
{
    std::vector<std::string> articles = YencArticles(payload, "dup.bin", 20'000);
    std::string damaged = articles[1];
    const std::size_t at = damaged.find("=ypart");
    damaged[damaged.find('\n', at) + 10] ^= 1; // one data byte changed
    articles.insert(articles.begin() + 1, damaged);
    EXPECT_EQ(ScanArticles(articles), 1) << host.PlainLog();
    EXPECT_BYTES_EQ(payload, ReadFile(Out("dup.bin")));
    EXPECT_EQ(host.CountInLog("part fails CRC check"), 1) << host.PlainLog();
    EXPECT_EQ(host.CountInLog("Trying next duplicate part"), 1) << host.PlainLog();
}

TEST_P(YencExtract, WrongWholeFileCrcIsReportedWhenEveryPartWasDecoded)
{
    std::vector<std::string> articles = YencArticles(payload, "bad.bin", 20'000);
    std::string& last = articles.back();
    const std::size_t at = last.find(" crc32=") + 7;
    last[at] = last[at] == '0' ? '1' : '0';
    ScanArticles(articles);
    // Lenient decoding trusts the part CRCs, which all pass.
    EXPECT_EQ(host.CountInLog("File fails CRC check"), GetParam() ? 1 : 0) << host.PlainLog();
}

// No false alarms on sound postings: trailers whose " crc32=" is each part's
// own CRC (no "pcrc32="), which lenient decoding takes as the part CRC; and
// every output appended to one file, where each part's own length counts.
TEST_P(YencExtract, SoundPostingsRaiseNoAlarm)
{
    for (const bool append : {false, true}) {
        SCOPED_TRACE(append);
        Restart();
        std::vector<std::string> articles = YencArticles(payload, "own.bin", 20'000, {.partCrc = false, .fileCrc = false});
        for (std::size_t i = 0; i < articles.size(); ++i)
            articles[i].insert(articles[i].find('\n', articles[i].find("=yend")),
                               " crc32=" + YencHex(Crc32Of(payload.data() + i * 20'000, std::min<std::size_t>(20'000, payload.size() - i * 20'000))));
        run.AppendAllToOneFile = append;
        host.appendTarget = dir / "all.bin";
        EXPECT_EQ(ScanArticles(articles, append ? "a" : "o"), 1) << host.PlainLog();
        EXPECT_BYTES_EQ(payload, ReadFile(append ? dir / "all.bin" : Out("own.bin")));
        // Without "pcrc32=" a strict run takes the last " crc32=" for the whole file's.
        EXPECT_EQ(host.CountInLog("CRC check"), GetParam() ? 1 : 0) << host.PlainLog();
        EXPECT_EQ(host.CountInLog("specified size"), 0) << host.PlainLog();
    }
}

TEST_P(YencExtract, UnsoundOutputNeverReplacesAnExistingFile)
{
    // The size or the CRC the trailer states is wrong; "Overwrite" is answered.
    // Lenient decoding tests only the CRC: a part whose CRC passes is sound
    // whatever size its trailer states.
    for (const std::string key : {" size=", " crc32="}) {
        SCOPED_TRACE(key);
        std::string article = YencArticles(payload, "sound.bin", payload.size())[0];
        const std::size_t at = article.rfind(key) + key.size();
        article[at] = article[at] == '1' ? '2' : '1';
        WriteFile(Out("sound.bin"), "good old file");
        host.fallback = button::YesToAll;
        list.RemoveAll();
        ScanArticles({article}, key.substr(1, 4));
        const bool sound = key == " size=" && !GetParam();
        EXPECT_BYTES_EQ(sound ? payload : "good old file", ReadFile(Out("sound.bin")));
        EXPECT_EQ(list.GetAt(0)->m_Status & ST_DATAERROR, sound ? 0 : ST_DATAERROR) << host.PlainLog();
        EXPECT_EQ(host.CountInLog("part does not match specified size"), GetParam() && !sound ? 1 : 0);
    }
}

TEST_P(YencExtract, LargestPartNumberEndsTheOutputWithoutWrappingAround)
{
    std::vector<std::string> articles = YencArticles(payload, "last.bin", 30'000);
    std::string& last = articles.back();
    for (std::size_t at = 0; (at = last.find(" part=2", at)) != std::string::npos; at += 16)
        last.replace(at, 7, " part=2147483647");
    EXPECT_EQ(ScanArticles(articles), 1) << host.PlainLog();
    EXPECT_BYTES_EQ(payload.substr(0, 30'000), ReadFile(Out("last.bin")).substr(0, 30'000));
    EXPECT_LE(ReadFile(Out("last.bin")).size(), payload.size());
}

class YencStrictPlacement : public YencExtract {};

TEST_P(YencStrictPlacement, MissingPartLeavesZerosAndLaterPartsMergeIn)
{
    const std::vector<std::string> articles = YencArticles(payload, "holes.bin", 15'000);
    ASSERT_EQ(articles.size(), 4u);
    EXPECT_EQ(ScanArticles({articles[0], articles[2], articles[3]}), 1) << host.PlainLog();
    Bytes expected = payload;
    std::fill(expected.begin() + 15'000, expected.begin() + 30'000, '\0');
    EXPECT_BYTES_EQ(expected, ReadFile(Out("holes.bin")));
    EXPECT_NE(list.GetAt(0)->m_Status & GS_MASK, GS_COMPLETE);
    // The whole-file CRC covers parts this call did not decode: not checked.
    EXPECT_EQ(host.CountInLog("CRC check"), 0) << host.PlainLog();

    // A later extraction of the missing part (and the last one) merges into the file.
    list.RemoveAll();
    list.m_InputNames.clear();
    host.answers = {button::Yes}; // "&Merge"
    EXPECT_EQ(ScanArticles({articles[1], articles[3]}, "later"), 1) << host.PlainLog();
    EXPECT_EQ(host.Asked(Prompt::YencMerge), 1);
    EXPECT_BYTES_EQ(payload, ReadFile(Out("holes.bin")));
    EXPECT_EQ(host.CountInLog("CRC check"), 0) << host.PlainLog();
}

TEST_P(YencStrictPlacement, StoppedMergeLeavesTheFileAsItWas)
{
    const Bytes whole = RandomBytes(300'000, 5), old = RandomBytes(whole.size(), 6);
    WriteFile(Out("merge.bin"), old);                           // of the announced size: a merge target
    host.answers = {button::Yes};                               // "&Merge"
    host.onPump = [this] { host.abort = !host.asked.empty(); }; // 256 lines into the merge
    ScanArticles(YencArticles(whole, "merge.bin", 100'000));
    EXPECT_EQ(host.Asked(Prompt::YencMerge), 1);
    EXPECT_TRUE(host.abort);
    EXPECT_BYTES_EQ(old, ReadFile(Out("merge.bin")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outDir), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(Strict, YencStrictPlacement, ::testing::Values(true));

// A saved article cut before its trailer, and a transport article that lost
// it (its lone "." line then ends the data and is no byte of the file).
TEST_P(YencExtract, MissingTrailerIsReported)
{
    for (const bool transport : {false, true}) {
        SCOPED_TRACE(transport);
        Restart();
        YencPostingOptions options;
        options.dotStuffed = transport;
        std::string article = YencArticles(payload, "cut.bin", payload.size(), options)[0];
        article.erase(article.find("=yend"));
        if (transport) article += ".\n";
        ScanArticles({article}, transport ? "transport" : "saved");
        EXPECT_EQ(host.CountInLog("missing YENC footer"), 1) << host.PlainLog();
        EXPECT_BYTES_EQ(payload, ReadFile(Out("cut.bin")));
    }
}

// Headers that announce more than the input holds never make a big file;
// a trailer's wrong size is logged once.
TEST_P(YencExtract, AnnouncedSizesDoNotMakeBigFiles)
{
    std::string lines;
    for (const std::string& l : YencLines(payload.substr(0, 1000))) lines += l + "\n";
    const std::vector<std::string> articles = {
        "=ybegin part=1 total=2 line=128 size=1099511627776 name=tera.bin\n=ypart begin=1 end=1000\n" + lines +
            "=yend size=1000 part=1\n",
        "=ybegin part=2 total=2 line=128 size=-5 name=neg.bin\n=ypart begin=-100 end=99999999999\n" + lines +
            "=yend size=1000 part=2\n",
        "=ybegin line=128 size=1000 name=twice.bin\n=ybegin line=128 size=1000 name=twice.bin\n" + lines +
            "=yend size=1000\n",
        "=ybegin line=128 size=1099511627776 name=trailer.bin\n" + lines + "=yend size=1099511627776\n"};
    ScanArticles(articles);
    for (const auto& entry : std::filesystem::directory_iterator(outDir))
        EXPECT_LE(entry.file_size(), 2000u) << entry.path();
    EXPECT_EQ(host.CountInLog("part does not match specified size"), 1) << host.PlainLog();
}

INSTANTIATE_TEST_SUITE_P(StrictAndLenient, YencExtract, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "Strict" : "Lenient"; });

} // namespace
} // namespace zarvex::test

