#include "app/unattended.h"

#include "fake_engine.h"
#include "model/settings.h"
#include "platform/headless_host.h"

#include <gtest/gtest.h>

namespace zarvex {
namespace {

class Unattended : public ::testing::Test
{
protected:
    Unattended() : list(settings, &host) {}
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

    test::TempDir dir;
    Settings settings;
    HeadlessHost host;
    MyCObArray list;
    test::FakeEngine engine;
};

TEST_F(Unattended, EveryNamedPartOfEveryGroupInOrder)
{
    AddGroup({"a.bin", "", "b.bin"}, GS_COMPLETE);
    AddGroup({""}, GS_MISSING); // nothing named: nothing to write
    AddGroup({"c.bin"}, GS_COMPLETE);
    EXPECT_EQ(RunUnattendedExtraction(list, settings, host, engine, dir.Path().string()), 3);
    EXPECT_EQ(engine.extracted, (std::vector<std::string>{"a.bin", "b.bin", "c.bin"}));
}

TEST_F(Unattended, FailuresFailTheRunWhichGoesOnAndStatusBitsFollowTheResult)
{
    CSortInfo* good = AddGroup({"a.bin"}, GS_COMPLETE | ST_NOTEXTRACTED);
    CSortInfo* skipped = AddGroup({"skip.bin"}, GS_COMPLETE);
    AddGroup({"fail.bin"}, GS_COMPLETE); // nothing written
    AddGroup({"b.bin"}, GS_COMPLETE);
    EXPECT_EQ(RunUnattendedExtraction(list, settings, host, engine, dir.Path().string()), -1);
    EXPECT_EQ(engine.extracted, (std::vector<std::string>{"a.bin", "b.bin"}));
    EXPECT_EQ(good->m_Status, GS_COMPLETE) << "a written group loses the bits above the low four";
    EXPECT_EQ(skipped->m_Status, GS_COMPLETE | ST_NOTEXTRACTED);
    // A damaged output is written but fails the run and keeps its mark.
    list.RemoveAll();
    CSortInfo* damaged = AddGroup({"damaged.bin"}, GS_COMPLETE | ST_NOTEXTRACTED);
    EXPECT_EQ(RunUnattendedExtraction(list, settings, host, engine, dir.Path().string()), -1);
    EXPECT_EQ(damaged->m_Status, GS_COMPLETE | ST_DATAERROR);
}

TEST_F(Unattended, OverwritePreferenceSetsTheSharedAnswerAndEmptyListSucceeds)
{
    EXPECT_EQ(RunUnattendedExtraction(list, settings, host, engine, dir.Path().string()), 0);
    EXPECT_EQ(engine.evaluations, 1);
    AddGroup({"a.bin", "b.bin"}, GS_COMPLETE);
    settings.Overwrite = true;
    RunUnattendedExtraction(list, settings, host, engine, dir.Path().string());
    EXPECT_EQ(engine.answers, (std::vector<int>{2, 2}));
}

} // namespace
} // namespace zarvex
