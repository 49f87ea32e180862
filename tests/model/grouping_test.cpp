#include "model/records.h"
#include "model/settings.h"
#include "part_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

namespace zarvex {
namespace {

using test::ListFixture;
using test::MakePart;
using test::PartSpec;
using test::UuPart;

std::vector<int> PartNumbers(const CSortInfo& group)
{
    std::vector<int> numbers;
    for (int i = 0; i < group.GetSize(); ++i)
        numbers.push_back(group.GetAt(i)->m_Part);
    return numbers;
}

class Grouping : public ::testing::Test, protected ListFixture
{
protected:
    int Add(const PartSpec& spec) { return list.AddPart(MakePart(spec)); }
    void AddPosting(const std::string& name, int total, const std::vector<int>& order, int firstSlot = 0)
    {
        for (int n : order)
            ASSERT_EQ(Add(UuPart(name, n, total, firstSlot + n)), 1) << "part " << n;
    }
};

TEST_F(Grouping, ShuffledPostingComesOutCompleteInPartOrder)
{
    AddPosting("data.zip", 5, {3, 5, 1, 4, 2});
    list.Evaluate();
    ASSERT_EQ(list.GetSize(), 1);
    const CSortInfo& group = *list.GetAt(0);
    EXPECT_EQ(PartNumbers(group), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(group.m_Found, 5);
    EXPECT_EQ(group.m_Expected, 5);
    EXPECT_EQ(group.m_Status, GS_COMPLETE);
    ASSERT_EQ(group.m_Named.size(), 1u);
    EXPECT_EQ(group.m_Named[0]->m_DestFile, "data.zip");
}

TEST_F(Grouping, PartsThreeOneTwoCountThree)
{
    AddPosting("a.zip", 3, {3, 1, 2});
    const CSortInfo& group = *list.GetAt(0);
    EXPECT_EQ(PartNumbers(group), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(group.m_Found, 3);
}

TEST_F(Grouping, MissingFirstPartLeavesPartsMissing)
{
    AddPosting("data.zip", 5, {2, 5, 3, 4});
    list.Evaluate();
    const CSortInfo& group = *list.GetAt(0);
    EXPECT_EQ(group.m_Found, 4);
    EXPECT_EQ(group.m_Status, GS_MISSING);
}

TEST_F(Grouping, MissingMiddlePartAfterTheBeginIsStarted)
{
    AddPosting("data.zip", 5, {1, 2, 4, 5});
    list.Evaluate();
    EXPECT_EQ(list.GetAt(0)->m_Status, GS_STARTED);
}

TEST_F(Grouping, YencWithoutBeginOnPartOneIsMissing)
{
    for (int n = 1; n <= 5; ++n) {
        PartSpec s = UuPart("clip.avi", n, 5, n);
        s.msgType = MT_YENC;
        s.name = "clip.avi";
        s.starts = 0;
        s.ends = 1;
        s.dataType = DT_UNKNOWN;
        ASSERT_EQ(Add(s), 1);
    }
    list.Evaluate();
    ASSERT_EQ(list.GetSize(), 1);
    EXPECT_EQ(list.GetAt(0)->m_Found, 5);
    EXPECT_EQ(list.GetAt(0)->m_Status, GS_MISSING);
}

TEST_F(Grouping, TwoPostingsWithOtherSubjectsStayApart)
{
    AddPosting("a.zip", 2, {1, 2}, 0);
    AddPosting("b.zip", 2, {2, 1}, 10);
    list.Evaluate();
    ASSERT_EQ(list.GetSize(), 2);
    EXPECT_EQ(list.GetAt(0)->m_Status, GS_COMPLETE);
    EXPECT_EQ(list.GetAt(1)->m_Status, GS_COMPLETE);
}

TEST_F(Grouping, FilesOfOneMultiFilePostingStayApart)
{
    // "file 1 of 3" and "file 2 of 3" of one posting share the subject; the
    // yEnc sizes tell the files apart.
    auto part = [](const std::string& name, int file, int n, std::int64_t size, int slot) {
        PartSpec s;
        s.subject = "holiday [/3] yEnc";
        s.fullSubject = "holiday [" + std::to_string(file) + "/3] \"" + name + "\" yEnc";
        s.name = name;
        s.msgType = MT_YENC;
        s.part = n;
        s.total = 2;
        s.group = file;
        s.groupTotal = 3;
        s.starts = n == 1;
        s.ends = 1;
        s.slot = slot;
        s.ySize = size;
        s.yBegin = n == 1 ? 1 : size / 2 + 1;
        return s;
    };
    ASSERT_EQ(Add(part("a.jpg", 1, 1, 1000, 1)), 1);
    ASSERT_EQ(Add(part("b.jpg", 2, 1, 3000, 2)), 1);
    ASSERT_EQ(Add(part("a.jpg", 1, 2, 1000, 3)), 1);
    ASSERT_EQ(Add(part("b.jpg", 2, 2, 3000, 4)), 1);
    list.Evaluate();
    ASSERT_EQ(list.GetSize(), 2);
    for (int g = 0; g < 2; ++g) {
        const CSortInfo& group = *list.GetAt(g);
        EXPECT_EQ(PartNumbers(group), (std::vector<int>{1, 2}));
        EXPECT_EQ(group.GetAt(0)->m_DestFile, group.GetAt(1)->m_DestFile);
        EXPECT_EQ(group.m_Status, GS_COMPLETE);
    }
}

TEST_F(Grouping, NumbersSwappedAtMostOncePerInsertion)
{
    // Same part number, other file number, and swapping changes nothing:
    // the insertion must still end.
    PartSpec first = UuPart("x.bin", 1, 1, 1);
    first.group = 2;
    first.groupTotal = 2;
    first.ends = 1;
    ASSERT_EQ(Add(first), 1);
    PartSpec second = UuPart("x.bin", 1, 1, 2);
    second.file = "/in/other.txt";
    second.group = 1;
    second.groupTotal = 1;
    EXPECT_EQ(Add(second), 1);
}

TEST_F(Grouping, TextMessageTooShortIsDropped)
{
    PartSpec s;
    s.msgType = MT_TXT;
    s.subject = "hello";
    s.lines = 3;
    CFInfo* shortText = MakePart(s);
    shortText->m_EPos = shortText->m_SPos + 40;
    EXPECT_EQ(list.AddPart(shortText), 0);
    CFInfo* longer = MakePart(s);
    longer->m_EPos = longer->m_SPos + 60;
    EXPECT_EQ(list.AddPart(longer), 1);
    ASSERT_EQ(list.GetSize(), 1);
    EXPECT_EQ(list.GetAt(0)->GetAt(0)->m_DestFile, "message1.txt");
    EXPECT_EQ(list.GetAt(0)->m_Status, GS_COMPLETE);
}

TEST_F(Grouping, YencPartWithoutNameIsDroppedByTheGroup)
{
    CSortInfo group;
    PartSpec s = UuPart("v.bin", 1, 2, 1);
    group.Init(MakePart(s));
    PartSpec nameless = UuPart("v.bin", 2, 2, 2);
    nameless.msgType = MT_YENC;
    EXPECT_EQ(group.AddPart(MakePart(nameless), list), -1);
    EXPECT_EQ(group.GetSize(), 1);
}

TEST_F(Grouping, EmptyGroupTakesThePartAsItsFirst)
{
    CSortInfo group;
    EXPECT_EQ(group.AddPart(MakePart(UuPart("v.bin", 2, 3, 1)), list), 0);
    EXPECT_EQ(group.GetSize(), 1);
    EXPECT_EQ(group.m_Expected, 3);
}

TEST_F(Grouping, SameFileScannedTwiceAddsNothing)
{
    AddPosting("data.zip", 3, {1, 2, 3});
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(Add(UuPart("data.zip", n, 3, n)), 0);
    ASSERT_EQ(list.GetSize(), 1);
    EXPECT_EQ(list.GetAt(0)->GetSize(), 3);
}

TEST_F(Grouping, GrownPartReplacesItselfKeepingItsFlags)
{
    AddPosting("data.zip", 3, {1, 2, 3});
    CFInfo* old = list.GetAt(0)->GetAt(2);
    old->SetFlag(PF_WRITTEN | PF_CHECKFAIL);
    old->m_ByteStart = 5000;
    const std::int64_t oldEnd = old->m_EPos;
    CFInfo* grown = MakePart(UuPart("data.zip", 3, 3, 3));
    grown->m_EPos = oldEnd + 500;
    grown->SetFlag(PF_RENAME);
    EXPECT_EQ(list.AddPart(grown), 1);
    const CSortInfo& group = *list.GetAt(0);
    ASSERT_EQ(group.GetSize(), 3);
    EXPECT_EQ(group.GetAt(2), grown);
    EXPECT_EQ(grown->m_EPos, oldEnd + 500);
    EXPECT_EQ(grown->m_ByteStart, 5000);
    EXPECT_TRUE(grown->TestFlag(PF_CHECKFAIL));
    EXPECT_FALSE(grown->TestFlag(PF_WRITTEN));
    EXPECT_FALSE(grown->TestFlag(PF_RENAME)) << "its own low flags are dropped";
    EXPECT_EQ(group.m_Status, GS_CHANGED);
}

TEST_F(Grouping, FoundLineIsLoggedForEveryPartTaken)
{
    AddPosting("data.zip", 2, {1, 2});
    EXPECT_EQ(host.LogText(), "\tfound data.zip\t[ \"data.zip\" - my upload ] (1/2)\r\n"
                              "\tfound ------------\t[ \"data.zip\" - my upload ] (2/2)\r\n");
}

TEST_F(Grouping, QuotedPrintableDroppedWhenDisabled)
{
    settings.EnableQP = false;
    PartSpec s = UuPart("q.txt", 1, 1, 1);
    s.msgType = MT_QP;
    EXPECT_EQ(Add(s), 0);
    EXPECT_EQ(list.GetSize(), 0);
}

// ------------------------------------------------------------ duplicates

class Duplicates : public Grouping
{
};

TEST_F(Duplicates, KeptWithoutRemovalAndRenamedAtEvaluation)
{
    settings.AutoDuplicateRemoval = false;
    settings.AutoMultipartDupeRemoval = false;
    settings.NoAutoRename = false;
    PartSpec s = UuPart("pic.jpg", 1, 1, 1);
    s.dataType = DT_JPG;
    s.total = -1;
    s.part = -1;
    s.ends = 1;
    ASSERT_EQ(Add(s), 1);
    s.file = "/in/second.txt";
    ASSERT_EQ(Add(s), 1);
    ASSERT_EQ(list.GetSize(), 1);
    const CSortInfo& group = *list.GetAt(0);
    ASSERT_EQ(group.GetSize(), 2);
    EXPECT_TRUE(group.GetAt(1)->TestFlag(PF_RENAME));
    EXPECT_NE(host.LogText().find("\tNot discarding duplicate part.\r\n"), std::string::npos);
    list.Evaluate();
    EXPECT_EQ(group.GetAt(0)->m_DestFile, "pic.jpg");
    EXPECT_EQ(group.GetAt(1)->m_DestFile, "pic01.jpg");
    EXPECT_FALSE(group.GetAt(1)->TestFlag(PF_RENAME));
    EXPECT_EQ(group.m_Named.size(), 2u);
}

TEST_F(Duplicates, LongerCopyWinsAndOldHangsInItsChain)
{
    settings.AutoDuplicateRemoval = true;
    PartSpec s = UuPart("pic.jpg", 1, 1, 1);
    s.dataType = DT_JPG;
    ASSERT_EQ(Add(s), 1);
    CFInfo* first = list.GetAt(0)->GetAt(0);
    s.file = "/in/second.txt";
    s.lines += 4;
    CFInfo* second = MakePart(s);
    ASSERT_EQ(list.AddPart(second), 1);
    const CSortInfo& group = *list.GetAt(0);
    ASSERT_EQ(group.GetSize(), 1);
    EXPECT_EQ(group.GetAt(0), second);
    EXPECT_EQ(second->m_pNextDup.get(), first);
    EXPECT_EQ(group.m_TookNew, 1);
    EXPECT_NE(host.LogText().find("\tDuplicate part detected --dropping existing part.\r\n"),
              std::string::npos);
}

TEST_F(Duplicates, EqualCopiesKeepTheOldAndChainInArrivalOrder)
{
    settings.AutoDuplicateRemoval = true;
    AddPosting("data.zip", 5, {1, 2, 3, 4, 5});
    for (const char* file : {"/in/b.txt", "/in/c.txt"}) {
        PartSpec copy = UuPart("data.zip", 3, 5, 3);
        copy.file = file;
        ASSERT_EQ(Add(copy), 1);
    }
    const CSortInfo& group = *list.GetAt(0);
    ASSERT_EQ(group.GetSize(), 5);
    const CFInfo* head = group.GetAt(2);
    ASSERT_NE(head->m_pNextDup, nullptr);
    EXPECT_EQ(head->m_pNextDup->m_File, "/in/b.txt");
    ASSERT_NE(head->m_pNextDup->m_pNextDup, nullptr);
    EXPECT_EQ(head->m_pNextDup->m_pNextDup->m_File, "/in/c.txt");
    EXPECT_EQ(group.m_KeptOld, 2);
    EXPECT_NE(host.LogText().find("dropping newer part"), std::string::npos);
}

TEST_F(Duplicates, TieGoesToTheSideThatWonBefore)
{
    settings.AutoDuplicateRemoval = true;
    AddPosting("data.zip", 5, {1, 2, 3, 4, 5});
    PartSpec longer = UuPart("data.zip", 3, 5, 3);
    longer.file = "/in/b.txt";
    longer.lines += 10;
    ASSERT_EQ(Add(longer), 1); // wins on length
    PartSpec same = longer;
    same.file = "/in/c.txt";
    ASSERT_EQ(Add(same), 1); // a tie: arriving copies have won here before
    const CSortInfo& group = *list.GetAt(0);
    EXPECT_EQ(group.m_TookNew, 2);
    EXPECT_EQ(group.m_KeptOld, 0);
    const CFInfo* head = group.GetAt(2);
    EXPECT_EQ(head->m_File, "/in/c.txt");
    ASSERT_NE(head->m_pNextDup, nullptr);
    EXPECT_EQ(head->m_pNextDup->m_File, "/in/b.txt");
    ASSERT_NE(head->m_pNextDup->m_pNextDup, nullptr);
    EXPECT_EQ(head->m_pNextDup->m_pNextDup->m_File, "/in/news.txt");
}

TEST_F(Duplicates, LosingCopyWithAnotherNameLeavesNoNameBehind)
{
    settings.AutoDuplicateRemoval = true;
    AddPosting("a.zip", 2, {1, 2});
    PartSpec rival = UuPart("b.zip", 1, 2, 9);
    rival.subject = "a.zip";
    rival.fullSubject = "\"a.zip\" - my upload";
    rival.lines = 10;
    ASSERT_EQ(Add(rival), 0) << "not the same part: the loser is deleted";
    const CSortInfo& group = *list.GetAt(0);
    EXPECT_EQ(group.GetSize(), 2);
    ASSERT_EQ(group.m_Named.size(), 1u);
    EXPECT_EQ(group.m_Named[0], group.GetAt(0));
    EXPECT_FALSE(group.HasName("b.zip"));
}

TEST_F(Duplicates, WinningCopyWithAnotherNameIsListedOnce)
{
    settings.AutoDuplicateRemoval = true;
    AddPosting("a.zip", 3, {1, 2, 3});
    PartSpec rival = UuPart("b.zip", 3, 3, 9);
    rival.subject = "a.zip";
    rival.fullSubject = "\"a.zip\" - my upload";
    rival.name = "b.zip";
    rival.starts = 1;
    rival.ends = 0; // not a complete file of its own
    rival.dataType = DT_ZIP;
    ASSERT_EQ(Add(rival), 1);
    const CSortInfo& group = *list.GetAt(0);
    ASSERT_EQ(group.GetSize(), 3);
    EXPECT_EQ(group.GetAt(2)->m_DestFile, "b.zip");
    EXPECT_EQ(std::count(group.m_Named.begin(), group.m_Named.end(), group.GetAt(2)), 1);
}

TEST_F(Duplicates, MultipartContestOnlyForMultipartWhenAutoDuplicateOff)
{
    settings.AutoDuplicateRemoval = false;
    settings.AutoMultipartDupeRemoval = true;
    AddPosting("data.zip", 2, {1, 2});
    PartSpec copy = UuPart("data.zip", 2, 2, 2);
    copy.file = "/in/b.txt";
    ASSERT_EQ(Add(copy), 1);
    EXPECT_EQ(list.GetAt(0)->GetSize(), 2) << "the copy joined the chain";
}

// ------------------------------------------------------------ lookups

TEST_F(Grouping, FindPartAtLooksIntoDuplicateChains)
{
    settings.AutoDuplicateRemoval = true;
    AddPosting("data.zip", 2, {1, 2});
    PartSpec copy = UuPart("data.zip", 2, 2, 7);
    copy.file = "/in/b.txt";
    copy.lines = 50; // shorter: the copy loses and hangs below part 2
    ASSERT_EQ(Add(copy), 1);
    int g = -1, i = -1, depth = -1;
    CFInfo* found = list.FindPartAt("/in/b.txt", 7 * 100000 + 10, &g, &i, &depth);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(g, 0);
    EXPECT_EQ(i, 1);
    EXPECT_EQ(depth, 1);
    EXPECT_EQ(list.FindPartAt("/IN/B.TXT", 7 * 100000 + 10, &g, &i, &depth), nullptr)
        << "paths compare exactly";
}

TEST_F(Grouping, FindNameInGroupsStartsAfterTheGivenGroup)
{
    AddPosting("a.zip", 1, {1}, 0);
    PartSpec other = UuPart("A.ZIP", 1, 1, 5);
    other.subject = "another";
    other.fullSubject = "another";
    ASSERT_EQ(Add(other), 1);
    EXPECT_EQ(list.FindNameInGroups("a.zip", -1), 0);
    EXPECT_EQ(list.FindNameInGroups("a.zip", 0), 1);
    EXPECT_EQ(list.FindNameInGroups("a.zip", 1), -1);
    EXPECT_EQ(list.FindNameInGroups("a.zip", 7), 0) << "out of range starts at the front";
}

TEST_F(Grouping, GuessEncodingTakesTheGroupsEncoding)
{
    AddPosting("data.zip", 3, {1, 3});
    PartSpec guess = UuPart("data.zip", 2, 3, 9);
    guess.msgType = MT_NONE;
    const std::unique_ptr<CFInfo> probe(MakePart(guess));
    const std::int32_t next = list.m_NextFileNumber;
    EXPECT_EQ(list.GuessEncoding(*probe), static_cast<std::uint32_t>(MT_UU));
    EXPECT_EQ(list.m_NextFileNumber, next);
}

// ------------------------------------------------------------ evaluation

class ProgressHost : public HeadlessHost
{
public:
    void SetProgress(double percent) override { values.push_back(percent); }
    bool PumpMessages() override
    {
        ++pumps;
        return true;
    }
    std::vector<double> values;
    int pumps = 0;
};

TEST(Evaluate, ProgressWithOneGroupDividesByOne)
{
    Settings settings;
    ProgressHost host;
    MyCObArray list(settings, &host);
    ASSERT_EQ(list.AddPart(MakePart(UuPart("a.zip", 1, 1, 1))), 1);
    list.Evaluate();
    ASSERT_EQ(host.values.size(), 2u);
    EXPECT_EQ(host.values[0], 0.0);
    EXPECT_EQ(host.values[1], -1.0);
}

TEST(Evaluate, MessagesPumpedEveryEighthGroup)
{
    Settings settings;
    ProgressHost host;
    MyCObArray list(settings, &host);
    for (int g = 0; g < 17; ++g)
        ASSERT_EQ(list.AddPart(MakePart(UuPart("f" + std::to_string(g) + ".zip", 1, 1, g))), 1);
    list.Evaluate();
    EXPECT_EQ(host.pumps, 2);
    EXPECT_EQ(host.values[16], 100.0);
}

TEST(Evaluate, OnlyChangedGroupsAreEvaluated)
{
    Settings settings;
    MyCObArray list(settings);
    ASSERT_EQ(list.AddPart(MakePart(UuPart("a.zip", 1, 2, 1))), 1);
    list.GetAt(0)->m_Status = GS_TOO_MANY;
    list.Evaluate();
    EXPECT_EQ(list.GetAt(0)->m_Status, GS_TOO_MANY);
}

// ------------------------------------------------------------ index

// The plain rules for names and positions, walked over every group.
int NameInAnyGroup(const MyCObArray& list, const std::string& name, int after)
{
    for (int g = after < 0 || after >= list.GetSize() ? 0 : after + 1; g < list.GetSize(); ++g)
        if (list.GetAt(g)->HasName(name)) return g;
    return -1;
}

const CFInfo* PartCovering(const MyCObArray& list, const std::string& path, std::int64_t pos)
{
    for (int g = 0; g < list.GetSize(); ++g)
        for (int i = 0; i < list.GetAt(g)->GetSize(); ++i)
            for (const CFInfo* p = list.GetAt(g)->GetAt(i); p; p = p->m_pNextDup.get())
                if (p->m_File == path && p->m_SPos <= pos && pos < p->m_EPos) return p;
    return nullptr;
}

// The indexed lookups give the answers of the plain walks over every group.
TEST(GroupIndex, AgreesWithThePlainWalkOnRandomParts)
{
    for (std::uint32_t seed = 1; seed <= 16; ++seed) {
        std::mt19937 rng(seed);
        Settings settings;
        settings.ExtendedMatching = seed % 2 == 0;
        settings.NoAutoRename = seed % 3 != 0;
        settings.AutoDuplicateRemoval = seed % 4 < 2;
        MyCObArray list(settings);
        auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<std::uint32_t>(n)); };
        const std::vector<std::string> subjects = {"", "alpha", "ALPHA", "beta", "gamma"};
        const std::vector<std::string> fulls = {"", "alpha (1/3)", "Alpha (2/3)", "beta [1/2]", "other"};
        const std::vector<std::string> names = {"", "a.zip", "A.ZIP", "b.jpg", "c"};
        const std::vector<std::uint32_t> types = {MT_UU, MT_YENC, MT_B64, MT_NONE};
        auto randomSpec = [&](int slot) {
            PartSpec s;
            s.file = pick(2) ? "/in/a" : "/in/b";
            s.subject = subjects[static_cast<std::size_t>(pick(5))];
            s.fullSubject = fulls[static_cast<std::size_t>(pick(5))];
            s.name = names[static_cast<std::size_t>(pick(5))];
            s.msgType = types[static_cast<std::size_t>(pick(4))];
            s.dataType = pick(3) == 0 ? DT_ZIP : DT_UNKNOWN;
            s.total = pick(4) - 1;
            s.part = s.total > 0 ? 1 + pick(s.total) : -1;
            s.group = pick(3) - 1;
            s.groupTotal = s.group > 0 ? 2 : -1;
            s.starts = pick(2);
            s.ends = pick(2);
            s.slot = slot;
            s.lines = 50 + pick(100);
            s.ySize = pick(2) * 1000;
            s.yBegin = s.ySize ? 1 : -1;
            return s;
        };
        for (int i = 0; i < 400; ++i) {
            const std::unique_ptr<CFInfo> probe(MakePart(randomSpec(100000 + i)));
            probe->m_OrigName = probe->m_DestFile;
            ASSERT_EQ(list.FindGroup(*probe), list.FindGroupLinear(*probe))
                << "seed " << seed << " step " << i;
            for (const std::string& name : names)
                for (int after : {-1, 0, 3})
                    ASSERT_EQ(list.FindNameInGroups(name, after), NameInAnyGroup(list, name, after));
            const std::string path = pick(2) ? "/in/a" : "/in/b";
            const std::int64_t pos = static_cast<std::int64_t>(pick(i + 1)) * 100000 + pick(7000);
            ASSERT_EQ(list.FindPartAt(path, pos, nullptr, nullptr, nullptr), PartCovering(list, path, pos));
            // Sections of one input may overlap and repeat: a part of the
            // same place may replace another (re-scan) or join as a copy.
            auto listedAreElements = [&](const char* after) {
                for (int g = 0; g < list.GetSize(); ++g) {
                    const auto& named = list.GetAt(g)->m_Named;
                    for (const CFInfo* part : named) {
                        ASSERT_GE(list.GetAt(g)->IndexOfPart(part), 0)
                            << "a listed part is an element after " << after << ", seed " << seed << " step "
                            << i;
                        ASSERT_EQ(std::count(named.begin(), named.end(), part), 1)
                            << "listed once after " << after << ", seed " << seed << " step " << i;
                    }
                }
            };
            list.AddPart(MakePart(randomSpec(pick(3) == 0 ? pick(i + 1) : i)));
            listedAreElements("AddPart");
            if (i % 97 == 96) list.Evaluate();
            listedAreElements("Evaluate");
            if (i % 151 == 150) list.RemovePartsOf("/in/b");
            listedAreElements("RemovePartsOf");
        }
    }
}

} // namespace
} // namespace zarvex
