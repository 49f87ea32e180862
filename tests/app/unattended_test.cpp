#include "app/unattended.h"

#include "app/core_engine.h"
#include "extract/extract_fixture.h"
#include "fake_engine.h"
#include "model/list_dump.h"
#include "model/run_context.h"
#include "model/settings.h"
#include "platform/headless_host.h"

#include <gtest/gtest.h>

namespace zarvex {
namespace {

// The run over a stand-in engine for its own logic, and over the real core.
class Unattended : public ::testing::Test
{
protected:
    Unattended() : list(settings, &host) { std::filesystem::create_directory(dir / "out"); }
    CSortInfo* AddGroup(std::vector<std::string> names, int status)
    {
        CSortInfo* group = list.NewGroup();
        for (const std::string& name : names) {
            auto* part = new CFInfo;
            part->m_File = dir / "in.txt";
            part->m_DestFile = name;
            group->Append(part);
            if (!name.empty()) group->m_Named.push_back(part);
        }
        group->m_Status = status;
        return group;
    }
    int Run(Engine& engine) { return RunUnattendedExtraction(list, settings, run, host, engine, dir / "out"); }
    void Scan(const std::string& name, const std::string& body)
    {
        const std::string path = dir.Write(name, "From: poster@example.org\nSubject: files\n\n" + body);
        list.AddInputFile(path);
        core.Scan(path, list, settings, run, host);
    }

    test::TempDir dir;
    Settings settings;
    RunContext run;
    HeadlessHost host;
    MyCObArray list;
    test::FakeEngine fake;
    CoreEngine core;
};

TEST_F(Unattended, EveryNamedPartOfEveryGroupInOrderWithTheSharedOverwriteAnswer)
{
    EXPECT_EQ(Run(fake), 0) << "an empty list succeeds";
    EXPECT_EQ(fake.evaluations, 1);
    AddGroup({"a.bin", "", "b.bin"}, GS_COMPLETE);
    AddGroup({""}, GS_MISSING); // nothing named: nothing to write
    AddGroup({"c.bin"}, GS_COMPLETE);
    settings.Overwrite = true;
    EXPECT_EQ(Run(fake), 3);
    EXPECT_EQ(fake.extracted, (std::vector<std::string>{"a.bin", "b.bin", "c.bin"}));
    EXPECT_EQ(fake.answers, (std::vector<int>{2, 2, 2}));
}

TEST_F(Unattended, FailuresFailTheRunWhichGoesOnAndStatusBitsFollowTheResult)
{
    CSortInfo* good = AddGroup({"a.bin"}, GS_COMPLETE | ST_NOTEXTRACTED);
    CSortInfo* skipped = AddGroup({"skip.bin"}, GS_COMPLETE);
    AddGroup({"fail.bin"}, GS_COMPLETE); // nothing written
    AddGroup({"b.bin"}, GS_COMPLETE);
    EXPECT_EQ(Run(fake), -1);
    EXPECT_EQ(fake.extracted, (std::vector<std::string>{"a.bin", "b.bin"}));
    EXPECT_EQ(good->m_Status, GS_COMPLETE) << "a written group loses the bits above the low four";
    EXPECT_EQ(skipped->m_Status, GS_COMPLETE | ST_NOTEXTRACTED);
    // A damaged output is written but fails the run and keeps its mark.
    list.RemoveAll();
    CSortInfo* damaged = AddGroup({"damaged.bin"}, GS_COMPLETE | ST_NOTEXTRACTED);
    EXPECT_EQ(Run(fake), -1);
    EXPECT_EQ(damaged->m_Status, GS_COMPLETE | ST_DATAERROR);
}

TEST_F(Unattended, TwoBeginSectionsInOneMailGiveTwoFiles)
{
    const test::Bytes one = test::RandomBytes(4'500, 1), two = test::RandomBytes(2'000, 2);
    Scan("two.eml", test::UuFile(one, "one.bin") + "\n" + test::UuFile(two, "two.bin"));
    EXPECT_EQ(Run(core), 2);
    EXPECT_EQ(test::ReadFile(dir / "out/one.bin"), one);
    EXPECT_EQ(test::ReadFile(dir / "out/two.bin"), two);
}

TEST_F(Unattended, AnOutputThatWroteNothingFailsAndItsPartSaysSo)
{
    const std::string uu = test::UuFile(test::RandomBytes(4'500, 3), "gone.bin");
    Scan("gone.eml", uu);
    // Every line after "begin" is overwritten after the scan: the output gets no data.
    std::string text = test::ReadFile(dir / "gone.eml");
    for (std::size_t i = text.find('\n', text.find("begin ")); i < text.size(); ++i)
        if (text[i] != '\n') text[i] = 'x';
    test::WriteFile(dir / "gone.eml", text);
    host.KeepLog(true);
    EXPECT_EQ(Run(core), -1) << host.LogText();
    const CFInfo& part = *list[0]->GetAt(0);
    EXPECT_NE(part.m_Status & ST_NOTEXTRACTED, 0);
    EXPECT_NE(ReportText(list).find("Extract Status: " + std::to_string(part.m_Status) + "\r\n"),
              std::string::npos);
}

} // namespace
} // namespace zarvex
