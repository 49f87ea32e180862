// Opening outputs: the overwrite and merge questions and the answer kept
// across one Extract command, and appending everything to one file.
#include "extract_fixture.h"

#include "extract/output_path.h"
#include "extract/output_policy.h"

namespace zarvex::test {
namespace {

class OverwritePrompt : public ExtractTest {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 2; ++i) {
            payloads.push_back(RandomBytes(3000 + i, 20 + i));
            const std::string name = "f" + std::to_string(i) + ".bin";
            AddSingle(name, UuFile(payloads[i], name), MT_UU, "Subject: s\n\n");
        }
    }
    const Bytes Old(int i) const { return "old content " + std::to_string(i); }
    std::vector<Bytes> payloads;
};

TEST_F(OverwritePrompt, AnswersAreKeptAcrossOneCommandAsGiven)
{
    struct Case {
        std::deque<int> answers;
        int state, questions, finalState;
        std::vector<int> results;
        bool replaced[2];
    };
    const Case cases[] = {
        {{button::NoToAll}, answer::Ask, 1, answer::NoToAll, {-1, -1}, {false, false}},
        {{button::Yes, button::No}, answer::Ask, 2, answer::Ask, {1, -1}, {true, false}},
        {{button::YesToAll}, answer::Ask, 1, answer::YesToAll, {1, 1}, {true, true}},
        {{}, answer::YesToAll, 0, answer::YesToAll, {1, 1}, {true, true}}, // the overwrite preference
        {{button::Cancel}, answer::Ask, 1, answer::Ask, {0}, {false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        for (int i = 0; i < 2; ++i) {
            WriteFile(Out("f" + std::to_string(i) + ".bin"), Old(i));
            list[i]->m_Status = GS_COMPLETE;
        }
        host.asked.clear();
        host.abort = false;
        host.answers = c.answers;
        int state = c.state;
        std::vector<int> results;
        for (int i = 0; i < 2 && !host.abort; ++i) results.push_back(Extract(i, &state));
        engine.EndExtractCommand();
        EXPECT_EQ(results, c.results);
        EXPECT_EQ(host.Asked(Prompt::Overwrite), c.questions);
        EXPECT_EQ(host.abort, c.answers == std::deque<int>{button::Cancel});
        if (!host.abort) {
            EXPECT_EQ(state, c.finalState);
        }
        for (int i = 0; i < 2; ++i) {
            const Bytes got = ReadFile(Out("f" + std::to_string(i) + ".bin"));
            EXPECT_BYTES_EQ(c.replaced[i] ? payloads[i] : Old(i), got);
            if (i < static_cast<int>(results.size()) && results[i] != 0) {
                EXPECT_EQ((list[i]->m_Status & ST_NOTEXTRACTED) != 0, results[i] == -1) << i;
            }
        }
    }
}

class OutputPolicyMerge : public ::testing::Test {
protected:
    TempDir dir;
    Settings settings;
    RunContext run;
    ScriptedHost host;
    MyCObArray list{settings, &host};
    OutputPolicy policy{settings, run, host};
};

// A yEnc record of three parts announcing 10 bytes, in strict mode.
TEST_F(OutputPolicyMerge, YencFileOfTheFullSizeGetsTheMergeQuestion)
{
    settings.StrictYenc = true;
    auto* part = new CFInfo;
    part->m_MsgType = MT_YENC;
    part->m_Total = 3;
    part->m_ySize = 10;
    CSortInfo* record = list.NewGroup();
    record->Append(part);
    int state = answer::Ask;
    const std::string path = dir.Write("y.bin", "0123456789");
    OutputRequest request{path, "y.bin", {}, false};
    host.answers = {button::Yes}; // "&Merge"
    OutputFile out;
    EXPECT_EQ(policy.Open(request, *record, &state, out), OpenOutcome::Opened);
    EXPECT_EQ(host.Asked(Prompt::YencMerge), 1);
    EXPECT_TRUE(policy.Merging());
    EXPECT_EQ(state, answer::Ask);
    out.Discard();
    EXPECT_EQ(ReadFile(path), "0123456789") << "a merge target is never deleted";

    host.answers = {button::NoToAll}; // "S&kip All"
    OutputFile skipped;
    EXPECT_EQ(policy.Open(request, *record, &state, skipped), OpenOutcome::Skipped);
    EXPECT_EQ(state, answer::NoToAll);

    state = answer::Ask;
    host.answers = {button::ReplaceAll}; // answers every later file too
    for (int i = 0; i < 2; ++i) {
        OutputFile replaced;
        EXPECT_EQ(policy.Open(request, *record, &state, replaced), OpenOutcome::Opened);
        EXPECT_FALSE(policy.Merging());
        replaced.Discard();
        EXPECT_EQ(ReadFile(path), "0123456789");
    }
    EXPECT_EQ(host.Asked(Prompt::YencMerge), 3);
    EXPECT_EQ(state, answer::YesToAll);

    settings.StrictYenc = false;
    state = answer::Ask;
    host.answers = {button::Yes};
    OutputFile plain;
    EXPECT_EQ(policy.Open(request, *record, &state, plain), OpenOutcome::Opened);
    EXPECT_EQ(host.Asked(Prompt::Overwrite), 1);
    EXPECT_FALSE(policy.Merging());
    plain.Discard();
}

// "Append All to One File": one target, named once for the command, new or
// existing (kept in front or replaced as answered); none chosen aborts.
TEST_F(OverwritePrompt, AppendAllWritesEveryOutputIntoOneFile)
{
    run.AppendAllToOneFile = true;
    list.RemoveAll();
    payloads.clear();
    for (int i = 0; i < 3; ++i) {
        payloads.push_back(RandomBytes(1000 + 7 * i, 40 + i));
        const std::string name = "split.r0" + std::to_string(i);
        AddSingle(name, UuFile(payloads[i], name), MT_UU, "Subject: s\n\n");
    }
    host.appendTarget = dir / "all.bin";
    for (const std::string old : {"", "OLD", "REPLACED"}) {
        SCOPED_TRACE(old);
        if (!old.empty()) WriteFile(host.appendTarget, old);
        host.asked.clear();
        host.suggestions.clear();
        host.answers = {old == "OLD" ? button::No : button::Yes};
        int state = answer::Ask;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(Extract(i, &state), extract_result::Written);
        engine.EndExtractCommand();
        EXPECT_EQ(host.Asked(Prompt::Overwrite), old.empty() ? 0 : 1);
        EXPECT_EQ(host.suggestions, std::vector<std::string>{"split"}) << "asked once, with the archive's base name";
        EXPECT_BYTES_EQ((old == "OLD" ? old : "") + payloads[0] + payloads[1] + payloads[2],
                        ReadFile(host.appendTarget));
        std::filesystem::remove(host.appendTarget);
    }
    EXPECT_FALSE(FileExists(Out("split.r00")));
    host.appendTarget.clear();
    EXPECT_EQ(Extract(0), extract_result::NothingWritten);
    EXPECT_TRUE(host.abort);
}

TEST(AppendSuggestionName, SplitArchivesSuggestTheirBaseName)
{
    for (const auto& [name, base] : {std::pair{"movie.r01", "movie"}, {"movie.001", "movie"}, {"movie.RAR", "movie"},
                                     {"movie.avi", "movie.avi"}, {"movie.a1", "movie.a1"}})
        EXPECT_EQ(AppendSuggestion(name), base) << name;
}

// A stopped append or one that hits a full disk cuts the target back to
// what it held before.
TEST_F(OverwritePrompt, StoppedOrFailedAppendLeavesTheTargetAsItWas)
{
    run.AppendAllToOneFile = true;
    host.appendTarget = dir / "all.bin";
    const Bytes big = RandomBytes(300'000, 9), old = "OLD" + RandomBytes(5000, 3);
    AddSingle("split.r03", UuFile(big, "split.r03"), MT_UU, "Subject: s\n\n");
    for (const bool fullDisk : {false, true}) {
        SCOPED_TRACE(fullDisk);
        WriteFile(host.appendTarget, old);
        const int status = InChild([&] {
            if (fullDisk) LimitFileSize(old.size() + 65536); // 64 KB after the old end
            host.onPump = [&] { host.abort = !fullDisk; };   // 256 lines into the data
            int state = answer::NoToAll;                     // appended without a question
            return Extract(2, &state) == extract_result::Written ? 1 : 0;
        });
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_BYTES_EQ(old, ReadFile(host.appendTarget));
    }
}

} // namespace
} // namespace zarvex::test
