// Opening outputs: the overwrite and merge questions and the answer kept
// across one Extract command, appending everything to one file, and that
// replacing an existing file never loses it to an empty decode.
#include "extract_fixture.h"

#include "extract/output_path.h"
#include "extract/output_policy.h"

namespace zarvex::test {
namespace {

class OverwritePrompt : public ExtractTest {
protected:
    void SetUp() override
    {
        if (!HaveProgram("/usr/bin/uuencode")) GTEST_SKIP() << "GNU uuencode is not installed";
        for (int i = 0; i < 2; ++i) {
            payloads.push_back(RandomBytes(3000 + i, 20 + i));
            const std::string name = "f" + std::to_string(i) + ".bin";
            AddRecord({MakePart(WriteSection(dir, "in" + std::to_string(i), "Subject: s\n\n",
                                             GnuUuencode(payloads[i], name, dir), "", MT_UU),
                                name)});
            WriteFile(Out(name), "old content " + std::to_string(i));
        }
    }
    // Runs one Extract command over both records.
    std::vector<int> ExtractBoth(int answer)
    {
        answerState = answer;
        std::vector<int> results;
        for (int i = 0; i < 2 && !host.abort; ++i) results.push_back(Extract(i, &answerState));
        engine.EndExtractCommand();
        return results;
    }
    std::vector<Bytes> payloads;
    int answerState = 0;
};

TEST_F(OverwritePrompt, NoToAllSkipsBothWithOneQuestion)
{
    host.answers = {button::NoToAll};
    EXPECT_EQ(ExtractBoth(answer::Ask), (std::vector<int>{-1, -1}));
    EXPECT_EQ(host.Asked(Prompt::Overwrite), 1);
    EXPECT_EQ(answerState, answer::NoToAll);
    for (int i = 0; i < 2; ++i) {
        EXPECT_NE(list[i]->m_Status & ST_NOTEXTRACTED, 0);
        EXPECT_EQ(ReadFile(Out("f" + std::to_string(i) + ".bin")), "old content " + std::to_string(i));
    }
}

TEST_F(OverwritePrompt, YesForOneFileAsksAgainForTheNext)
{
    host.answers = {button::Yes, button::No};
    EXPECT_EQ(ExtractBoth(answer::Ask), (std::vector<int>{1, -1}));
    EXPECT_EQ(host.Asked(Prompt::Overwrite), 2);
    EXPECT_EQ(answerState, answer::Ask);
    EXPECT_BYTES_EQ(payloads[0], ReadFile(Out("f0.bin")));
    EXPECT_EQ(ReadFile(Out("f1.bin")), "old content 1");
    EXPECT_EQ(list[0]->m_Status & ST_NOTEXTRACTED, 0);
}

TEST_F(OverwritePrompt, YesToAllReplacesBothWithOneQuestion)
{
    host.answers = {button::YesToAll};
    EXPECT_EQ(ExtractBoth(answer::Ask), (std::vector<int>{1, 1}));
    EXPECT_EQ(host.Asked(Prompt::Overwrite), 1);
    EXPECT_BYTES_EQ(payloads[1], ReadFile(Out("f1.bin")));
}

TEST_F(OverwritePrompt, OverwritePreferenceAsksNothing)
{
    EXPECT_EQ(ExtractBoth(answer::YesToAll), (std::vector<int>{1, 1}));
    EXPECT_TRUE(host.asked.empty());
    EXPECT_BYTES_EQ(payloads[0], ReadFile(Out("f0.bin")));
}

TEST_F(OverwritePrompt, CancelAbortsTheCommand)
{
    host.answers = {button::Cancel};
    EXPECT_EQ(ExtractBoth(answer::Ask), (std::vector<int>{0}));
    EXPECT_TRUE(host.abort);
    EXPECT_EQ(ReadFile(Out("f0.bin")), "old content 0");
}

TEST_F(OverwritePrompt, EmptyDecodeKeepsTheOldFile)
{
    // The file the user agreed to replace is only replaced by data.
    list.RemoveAll();
    AddRecord({MakePart(WriteSection(dir, "empty", "Subject: s\n\n", "begin 644 f0.bin\n`\nend\n", "", MT_UU),
                        "f0.bin")});
    host.answers = {button::Yes};
    EXPECT_EQ(Extract(0, &answerState), extract_result::NothingWritten);
    EXPECT_EQ(host.CountInLog("No data written, empty file removed."), 1);
    EXPECT_EQ(ReadFile(Out("f0.bin")), "old content 0");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outDir), {}), 2) << "no temporary file left";
}

TEST_F(OverwritePrompt, AbortedDecodeKeepsTheOldFile)
{
    host.answers = {button::Yes};
    host.abort = true;
    EXPECT_EQ(Extract(0, &answerState), extract_result::NothingWritten);
    EXPECT_EQ(ReadFile(Out("f0.bin")), "old content 0");
}

TEST_F(OverwritePrompt, OutputReplacingAnInputIsSkipped)
{
    // With the output folder "*" the output lands beside the input; a name
    // equal to the input's own must not destroy it.
    list.RemoveAll();
    const Bytes text = GnuUuencode(payloads[0], "self.txt", dir);
    PartSpec spec = WriteSection(dir, "self.txt", "Subject: s\n\n", text, "", MT_UU);
    AddRecord({MakePart(spec, "self.txt")});
    answerState = answer::YesToAll;
    EXPECT_EQ(Extract(0, &answerState, "*"), extract_result::Skipped);
    EXPECT_NE(list[0]->m_Status & ST_NOTEXTRACTED, 0);
    EXPECT_EQ(ReadFile(spec.file), "Subject: s\n\n" + text);
}

TEST(OutputPolicyMerge, YencFileOfTheFullSizeGetsTheMergeQuestion)
{
    TempDir dir;
    Settings settings;
    settings.StrictYenc = true;
    ScriptedHost host;
    MyCObArray list(settings, &host);
    CSortInfo* record = list.NewGroup();
    auto* part = new CFInfo;
    part->m_MsgType = MT_YENC;
    part->m_Total = 3;
    part->m_ySize = 10;
    record->Append(part);
    const std::string path = dir.Write("y.bin", "0123456789");
    OutputPolicy policy(settings, host);
    OutputRequest request{path, "y.bin", {}, false};

    host.answers = {button::Yes}; // "&Merge"
    int state = answer::Ask;
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

    settings.StrictYenc = false;
    state = answer::Ask;
    host.answers = {button::Yes};
    OutputFile plain;
    EXPECT_EQ(policy.Open(request, *record, &state, plain), OpenOutcome::Opened);
    EXPECT_EQ(host.Asked(Prompt::Overwrite), 1);
    EXPECT_FALSE(policy.Merging());
    plain.Discard();
}

TEST(OutputPolicyMerge, ReplaceAllAnswersEveryLaterFile)
{
    TempDir dir;
    Settings settings;
    settings.StrictYenc = true;
    ScriptedHost host;
    MyCObArray list(settings, &host);
    CSortInfo* record = list.NewGroup();
    auto* part = new CFInfo;
    part->m_MsgType = MT_YENC;
    part->m_Total = 2;
    part->m_ySize = 3;
    record->Append(part);
    OutputPolicy policy(settings, host);
    host.answers = {button::ReplaceAll};
    int state = answer::Ask;
    for (int i = 0; i < 2; ++i) {
        const std::string path = dir.Write("y" + std::to_string(i), "abc");
        OutputFile out;
        EXPECT_EQ(policy.Open(OutputRequest{path, "y", {}, false}, *record, &state, out), OpenOutcome::Opened);
        EXPECT_FALSE(policy.Merging());
        out.Discard();
        EXPECT_EQ(ReadFile(path), "abc");
    }
    EXPECT_EQ(host.Asked(Prompt::YencMerge), 1);
    EXPECT_EQ(state, answer::YesToAll);
}

class AppendAll : public ExtractTest {
protected:
    void SetUp() override
    {
        if (!HaveProgram("/usr/bin/uuencode")) GTEST_SKIP() << "GNU uuencode is not installed";
        settings.AppendAllToOneFile = true;
        for (int i = 0; i < 3; ++i) {
            payloads.push_back(RandomBytes(1000 + 7 * i, 40 + i));
            const std::string name = "split.r0" + std::to_string(i);
            AddRecord({MakePart(WriteSection(dir, "in" + std::to_string(i), "Subject: s\n\n",
                                             GnuUuencode(payloads[i], name, dir), "", MT_UU),
                                name)});
        }
        host.appendTarget = dir / "all.bin";
    }
    void ExtractAll()
    {
        int state = answer::Ask;
        for (int i = 0; i < 3; ++i) results.push_back(Extract(i, &state));
        engine.EndExtractCommand();
    }
    std::vector<Bytes> payloads;
    std::vector<int> results;
};

TEST_F(AppendAll, ExistingTargetAnsweredNoKeepsOldContentFirst)
{
    WriteFile(host.appendTarget, "OLD");
    host.answers = {button::No};
    ExtractAll();
    EXPECT_EQ(results, (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(host.Asked(Prompt::Overwrite), 1);
    EXPECT_EQ(host.suggestions, std::vector<std::string>{"split"}) << "asked once, with the archive's base name";
    EXPECT_BYTES_EQ("OLD" + payloads[0] + payloads[1] + payloads[2], ReadFile(host.appendTarget));
}

TEST_F(AppendAll, ExistingTargetAnsweredYesIsReplaced)
{
    WriteFile(host.appendTarget, "OLD");
    host.answers = {button::Yes};
    ExtractAll();
    EXPECT_BYTES_EQ(payloads[0] + payloads[1] + payloads[2], ReadFile(host.appendTarget));
}

TEST_F(AppendAll, NewTargetIsCreatedWithoutQuestions)
{
    ExtractAll();
    EXPECT_TRUE(host.asked.empty());
    EXPECT_BYTES_EQ(payloads[0] + payloads[1] + payloads[2], ReadFile(host.appendTarget));
    EXPECT_FALSE(FileExists(Out("split.r00")));
}

TEST_F(AppendAll, NoTargetChosenAbortsTheCommand)
{
    host.appendTarget.clear();
    EXPECT_EQ(Extract(0), extract_result::NothingWritten);
    EXPECT_TRUE(host.abort);
}

TEST(AppendSuggestionName, SplitArchivesSuggestTheirBaseName)
{
    EXPECT_EQ(AppendSuggestion("movie.r01"), "movie");
    EXPECT_EQ(AppendSuggestion("movie.001"), "movie");
    EXPECT_EQ(AppendSuggestion("movie.RAR"), "movie");
    EXPECT_EQ(AppendSuggestion("movie.avi"), "movie.avi");
    EXPECT_EQ(AppendSuggestion("movie.a1"), "movie.a1");
}

} // namespace
} // namespace zarvex::test
