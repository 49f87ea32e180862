// The engine's frame around the section handling: which records it takes,
// how it keeps the user interface alive, and the unexpected-data check.
#include "extract_fixture.h"

#include "extract/line_report.h"

namespace zarvex::test {
namespace {

class EngineFlow : public ExtractTest {
protected:
    CSortInfo* AddUURecord(const std::string& name, int status = GS_COMPLETE, int found = 1, int expected = 1)
    {
        CSortInfo* record = AddSingle(name, UuFile(payload, name), MT_UU, "Subject: s\n\n");
        record->m_Status = status;
        record->m_Found = found;
        record->m_Expected = expected;
        return record;
    }
    int ExtractSkipping(int index, bool skipIncomplete)
    {
        int state = 0;
        return engine.ExtractOutputFile(
            {.index = index, .outDir = outDir, .answerState = &state, .skipIncomplete = skipIncomplete});
    }
    const Bytes payload = RandomBytes(45 * 600, 17); // 600 full lines
};

TEST_F(EngineFlow, IncompleteRecordsAreExtractedUnlessSkippingOrSilentAndOneMissingItsStartIsRefused)
{
    CSortInfo* record = AddUURecord("m.bin", GS_MISSING, 0);
    EXPECT_EQ(ExtractSkipping(0, true), extract_result::Skipped);
    EXPECT_TRUE(host.asked.empty());
    EXPECT_EQ(Extract(0), extract_result::Skipped);
    ASSERT_EQ(host.asked.size(), 1u);
    EXPECT_EQ(host.asked[0], (std::pair<Prompt, std::string>{Prompt::MissingStart, Message(msg::MissingStart)}));
    EXPECT_NE(record->m_Status & ST_NOTEXTRACTED, 0);
    EXPECT_FALSE(FileExists(Out("m.bin")));

    list.RemoveAll();
    AddUURecord("p.bin", GS_MISSING, 1, 3);
    AddUURecord("u.bin", GS_STARTED, 2, 3);
    EXPECT_EQ(ExtractSkipping(1, true), extract_result::Skipped);
    EXPECT_EQ(ExtractSkipping(1, false), extract_result::Written);
    EXPECT_EQ(Extract(0), extract_result::Written);
    host.silent = true;
    EXPECT_EQ(Extract(0), extract_result::Skipped) << "silent runs never extract a record with parts missing";
    for (const std::string name : {"m", "u", "p"}) // a skip without a question is told in the log
        EXPECT_EQ(host.CountInLog(name + ".bin skipped: parts are missing."), 1) << host.PlainLog();
}

TEST_F(EngineFlow, RecordMissingItsStartIsNamedFromTheSubject)
{
    const std::vector<std::string> lines = Lines(UuFile(payload, "lost.bin"));
    CSortInfo* record =
        AddRecord({MakePart(WriteSection(dir, "p2", "", Join(lines, 1, 101), "", MT_UU, 2, 3), "")});
    record->m_Status = GS_MISSING;
    record->m_Expected = 3;
    EXPECT_EQ(Extract(0), extract_result::Written) << host.PlainLog();
    EXPECT_BYTES_EQ(payload.substr(0, 100 * 45), ReadFile(Out("test posting")));
}

TEST_F(EngineFlow, GivenPartSelectsItsRecordAndAnIndexBeyondTheListBeeps)
{
    AddUURecord("first.bin");
    CSortInfo* second = AddUURecord("second.bin");
    EXPECT_EQ(engine.ExtractOutputFile({.part = second->GetAt(0), .index = 0, .outDir = outDir}), extract_result::Written);
    EXPECT_TRUE(FileExists(Out("second.bin")));
    EXPECT_FALSE(FileExists(Out("first.bin")));
    EXPECT_EQ(Extract(3), extract_result::NothingWritten);
    EXPECT_EQ(host.beeps, 1);
}

TEST_F(EngineFlow, ProgressAndPumpingFollowTheLinesAndQuitEndsAtTheNextLineKeepingData)
{
    AddUURecord("p.bin");
    list[0]->GetAt(0)->m_EndLine = list[0]->GetAt(0)->m_StartLine + 604;
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_EQ(host.pumps, 604 / 256);
    EXPECT_EQ(host.lastProgress, -1) << "hidden at the end";
    EXPECT_EQ(host.status, "Extracting file p.bin...");

    AddUURecord("q.bin");
    host.quit = true;
    host.pumps = 0;
    EXPECT_EQ(Extract(1), extract_result::Written);
    EXPECT_EQ(host.pumps, 1);
    EXPECT_EQ(host.CountInLog("End not found, short file."), 1);
    const Bytes got = ReadFile(Out("q.bin"));
    EXPECT_LT(got.size(), payload.size());
    EXPECT_BYTES_EQ(payload.substr(0, got.size()), got);
}

TEST_F(EngineFlow, DamagedBase64LineWithDuplicateSaysItTriesTheAlternate)
{
    const Bytes data = RandomBytes(5700, 2);
    std::vector<std::string> lines = Lines(Text(Base64Lines(data)));
    const std::string good = Join(lines, 0, lines.size());
    lines[5] = lines[5].substr(0, 70) + "\n";
    CFInfo* part = MakePart(WriteSection(dir, "bad", "", Join(lines, 0, lines.size()), "", MT_B64), "b.bin");
    part->m_pNextDup.reset(MakePart(WriteSection(dir, "dup", "", good, "", MT_B64), "b.bin"));
    AddRecord({part});
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_EQ(host.CountInLog(" short line"), 1);
    EXPECT_EQ(host.CountInLog(", trying alternate part instead."), 1) << host.PlainLog();
    EXPECT_EQ(host.CountInLog("Extracting Base64 encoded data as file b.bin"), 2)
        << "the restart is announced";
    EXPECT_BYTES_EQ(data, ReadFile(Out("b.bin")));
}

TEST_F(EngineFlow, StatusOfAFinishedPartBecomesComplete)
{
    CSortInfo* record = AddUURecord("s.bin");
    record->GetAt(0)->m_Status = GS_STARTED;
    CFInfo parent;
    EXPECT_EQ(engine.ExtractOutputFile({.index = 0, .outDir = outDir, .depth = 1, .parentPart = &parent}),
              extract_result::Written);
    EXPECT_EQ(record->GetAt(0)->m_Status & 0xF, GS_COMPLETE);
    EXPECT_EQ(parent.m_Status, record->GetAt(0)->m_Status);
}

TEST_F(EngineFlow, LaterPartWhoseInputIsGoneEndsTheCallWithMinusOne)
{
    const std::vector<std::string> lines = Lines(UuFile(payload, "g.bin"));
    const std::size_t half = lines.size() / 2;
    CSortInfo* record = AddRecord({MakePart(WriteSection(dir, "g1", "", Join(lines, 0, half), "", MT_UU, 1, 2), "g.bin"),
                                   MakePart(WriteSection(dir, "g2", "", Join(lines, half, 99999), "", MT_UU, 2, 2), "")});
    std::filesystem::remove(record->GetAt(1)->m_File);
    EXPECT_EQ(Extract(0), extract_result::Skipped);
    EXPECT_FALSE(FileExists(Out("g.bin")));
    EXPECT_NE(record->GetAt(0)->m_Status & ST_NOTEXTRACTED, 0);
}

TEST_F(EngineFlow, PartsAfterTheEndOfTheFileArePlacedAtItsEnd)
{
    CFInfo* whole =
        MakePart(WriteSection(dir, "whole", "", UuFile(payload, "w.bin"), "trailer\n", MT_UU, 1, 2),
                 "w.bin");
    whole->m_EPos += 8; // the section goes on after "end"
    CFInfo* after = MakePart(WriteSection(dir, "after", "", "more text\n", "", MT_UU, 2, 2), "");
    AddRecord({whole, after});
    EXPECT_EQ(Extract(0), extract_result::Written);
    EXPECT_BYTES_EQ(payload, ReadFile(Out("w.bin")));
    EXPECT_EQ(after->m_ByteStart, static_cast<std::int64_t>(payload.size()));
    EXPECT_TRUE(after->TestFlag(PF_WRITTEN));
}

// A yEnc part whose trailer gives the wrong size is replaced by its duplicate.
TEST_F(EngineFlow, YencPartOfTheWrongSizeTakesTheDuplicate)
{
    const auto yencPart = [&](const std::string& file, std::int64_t endSize) {
        const std::string text = "=ybegin part=1 line=128 size=200 name=y.bin\n=yend size=100\n";
        CFInfo* p = MakePart(WriteSection(dir, file, "", text, "", MT_YENC, 1, 2), "y.bin");
        p->m_yBegin = 1;
        p->m_ySize = 200;
        p->m_yEndSize = endSize;
        return p;
    };
    CFInfo* part = yencPart("y0", 100);
    part->m_pNextDup.reset(yencPart("y1", 0));
    CSortInfo* record = AddRecord({part});
    Extract(0);
    EXPECT_EQ(host.CountInLog("Trying next duplicate part to correct errors..."), 1) << host.PlainLog();
    EXPECT_NE(record->GetAt(0)->m_Status & ST_DATAERROR, 0);
}

// The exact wording and colour markers of line error entries.
TEST(LineErrorText, WordingWithAndWithoutPartTotalSubjectAndReason)
{
    EXPECT_EQ(LineErrorText(msg::ShortLine, 17, 2, 5, "/in/a.txt", "holiday pictures"),
              "\xFD" "800000*Error decoding line 17 of \xFD" "000000/in/a.txt,\xFD" "800000"
              " short line\xFD" "000000"
              "\xFD" "800000 (Part 2 of 5  in holiday pictures)"
              "\xFD" "000000\r\n");
    EXPECT_EQ(LineErrorText(msg::LongLine, 3, 1, -1, "f", ""),
              "\xFD" "800000*Error decoding line 3 of \xFD" "000000f,\xFD" "800000 long line\xFD" "000000"
              "\xFD" "800000 (Part 1)\xFD" "000000\r\n");
    EXPECT_EQ(LineErrorText(msg::NoMessage, 9, -1, 3, "f", "s"),
              "\xFD" "800000*Error decoding line 9 of \xFD" "000000f,\xFD" "800000\xFD" "000000\r\n");
}

TEST(LineErrorText, MarkerBytesInNamesStayText)
{
    const std::string text = LineErrorText(msg::NoMessage, 1, 1, 1, "a\xFD" "00FF00b", "x\xFD" "0000FFy");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\xFD'), 5) << "only the template's own markers";
}

} // namespace
} // namespace zarvex::test
