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
using test::PartFields;
using test::UuPart;

std::vector<int> PartNumbers(const CSortInfo& group)
{
    std::vector<int> numbers;
    for (int i = 0; i < group.GetSize(); ++i)
        numbers.push_back(group.GetAt(i)->m_Part);
    return numbers;
}

// The input files of a part and its inactive copies, in chain order.
std::vector<std::string> ChainFiles(const CFInfo* head)
{
    std::vector<std::string> files;
    for (; head; head = head->m_pNextDup.get())
        files.push_back(head->m_File);
    return files;
}

class Grouping : public ::testing::Test, protected ListFixture
{
protected:
    int Add(const PartFields& fields) { return list.AddPart(MakePart(fields)); }
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

// Without part 1 nothing can be written: missing (also for yEnc parts whose
// first part has no begin). With the begin but a gap: started.
TEST_F(Grouping, IncompletePostingsAreMissingOrStarted)
{
    AddPosting("a.zip", 5, {2, 5, 3, 4}, 0);
    AddPosting("b.zip", 5, {1, 2, 4, 5}, 10);
    for (int n = 1; n <= 5; ++n) {
        PartFields s = UuPart("clip.avi", n, 5, 20 + n);
        s.msgType = MT_YENC;
        s.name = "clip.avi";
        s.starts = s.dataType = 0;
        s.ends = 1;
        ASSERT_EQ(Add(s), 1);
    }
    list.Evaluate();
    ASSERT_EQ(list.GetSize(), 3);
    EXPECT_EQ(list.GetAt(0)->m_Found, 4);
    EXPECT_EQ(list.GetAt(0)->m_Status, GS_MISSING);
    EXPECT_EQ(list.GetAt(1)->m_Status, GS_STARTED);
    EXPECT_EQ(list.GetAt(2)->m_Found, 5);
    EXPECT_EQ(list.GetAt(2)->m_Status, GS_MISSING);
}

TEST_F(Grouping, FilesOfOneMultiFilePostingStayApart)
{
    // "file 1 of 3" and "file 2 of 3" of one posting share the subject; the
    // yEnc sizes tell the files apart.
    auto part = [](const std::string& name, int file, int n, std::int64_t size, int slot) {
        PartFields s;
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
    PartFields first = UuPart("x.bin", 1, 1, 1);
    first.group = 2;
    first.groupTotal = 2;
    first.ends = 1;
    ASSERT_EQ(Add(first), 1);
    PartFields second = UuPart("x.bin", 1, 1, 2);
    second.file = "/in/other.txt";
    second.group = 1;
    second.groupTotal = 1;
    EXPECT_EQ(Add(second), 1);
}

TEST_F(Grouping, TextMessageTooShortIsDropped)
{
    PartFields s;
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

TEST_F(Grouping, GroupTakesItsFirstPartButNoNamelessYencPart)
{
    CSortInfo group;
    EXPECT_EQ(group.AddPart(MakePart(UuPart("v.bin", 2, 3, 2)), list), 0);
    EXPECT_EQ(group.GetSize(), 1);
    EXPECT_EQ(group.m_Expected, 3);
    PartFields nameless = UuPart("v.bin", 3, 3, 3);
    nameless.msgType = MT_YENC;
    EXPECT_EQ(group.AddPart(MakePart(nameless), list), -1);
    EXPECT_EQ(group.GetSize(), 1);
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
    PartFields s = UuPart("q.txt", 1, 1, 1);
    s.msgType = MT_QP;
    EXPECT_EQ(Add(s), 0);
    EXPECT_EQ(list.GetSize(), 0);
}

// ------------------------------------------------------------ duplicates

class Duplicates : public Grouping
{
protected:
    Duplicates() { settings.AutoDuplicateRemoval = true; }
    // Another copy of part `n`, from input `file`, `extraLines` longer.
    int AddCopy(const std::string& name, int n, int total, const char* file, int extraLines = 0)
    {
        PartFields copy = UuPart(name, n, total, n);
        copy.file = file;
        copy.lines += extraLines;
        return Add(copy);
    }
};

TEST_F(Duplicates, KeptWithoutRemovalAndRenamedAtEvaluation)
{
    settings.AutoDuplicateRemoval = false;
    settings.AutoMultipartDupeRemoval = false;
    settings.NoAutoRename = false;
    PartFields s = UuPart("pic.jpg", 1, 1, 1);
    s.dataType = DT_JPG;
    s.total = s.part = -1;
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
    ASSERT_EQ(Add(UuPart("pic.jpg", 1, 1, 1)), 1);
    CFInfo* first = list.GetAt(0)->GetAt(0);
    ASSERT_EQ(AddCopy("pic.jpg", 1, 1, "/in/second.txt", 4), 1);
    const CSortInfo& group = *list.GetAt(0);
    ASSERT_EQ(group.GetSize(), 1);
    EXPECT_EQ(group.GetAt(0)->m_File, "/in/second.txt");
    EXPECT_EQ(group.GetAt(0)->m_pNextDup.get(), first);
    EXPECT_EQ(group.m_TookNew, 1);
    EXPECT_NE(host.LogText().find("\tDuplicate part detected --dropping existing part.\r\n"),
              std::string::npos);
}

TEST_F(Duplicates, EqualCopiesKeepTheOldAndChainInArrivalOrder)
{
    AddPosting("data.zip", 5, {1, 2, 3, 4, 5});
    ASSERT_EQ(AddCopy("data.zip", 3, 5, "/in/b.txt"), 1);
    ASSERT_EQ(AddCopy("data.zip", 3, 5, "/in/c.txt"), 1);
    const CSortInfo& group = *list.GetAt(0);
    ASSERT_EQ(group.GetSize(), 5);
    EXPECT_EQ(ChainFiles(group.GetAt(2)),
              (std::vector<std::string>{"/in/news.txt", "/in/b.txt", "/in/c.txt"}));
    EXPECT_EQ(group.m_KeptOld, 2);
    EXPECT_NE(host.LogText().find("dropping newer part"), std::string::npos);
}

TEST_F(Duplicates, TieGoesToTheSideThatWonBefore)
{
    AddPosting("data.zip", 5, {1, 2, 3, 4, 5});
    ASSERT_EQ(AddCopy("data.zip", 3, 5, "/in/b.txt", 10), 1); // wins on length
    ASSERT_EQ(AddCopy("data.zip", 3, 5, "/in/c.txt", 10), 1); // a tie: arriving copies have won before
    const CSortInfo& group = *list.GetAt(0);
    EXPECT_EQ(group.m_TookNew, 2);
    EXPECT_EQ(group.m_KeptOld, 0);
    EXPECT_EQ(ChainFiles(group.GetAt(2)),
              (std::vector<std::string>{"/in/c.txt", "/in/b.txt", "/in/news.txt"}));
}

// A copy under the same subject that names another file.
PartFields Rival(int n, int total)
{
    PartFields rival = UuPart("b.zip", n, total, 9);
    rival.subject = "a.zip";
    rival.fullSubject = "\"a.zip\" - my upload";
    return rival;
}

TEST_F(Duplicates, LosingCopyWithAnotherNameLeavesNoNameBehind)
{
    AddPosting("a.zip", 2, {1, 2});
    PartFields rival = Rival(1, 2);
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
    AddPosting("a.zip", 3, {1, 2, 3});
    PartFields rival = Rival(3, 3);
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
    ASSERT_EQ(AddCopy("data.zip", 2, 2, "/in/b.txt"), 1);
    EXPECT_EQ(list.GetAt(0)->GetSize(), 2) << "the copy joined the chain";
}

// ------------------------------------------------------------ lookups

TEST_F(Grouping, FindPartAtLooksIntoDuplicateChains)
{
    settings.AutoDuplicateRemoval = true;
    AddPosting("data.zip", 2, {1, 2});
    PartFields copy = UuPart("data.zip", 2, 2, 7);
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
    PartFields other = UuPart("A.ZIP", 1, 1, 5);
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
    PartFields guess = UuPart("data.zip", 2, 3, 9);
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
    bool PumpMessages() override { return ++pumps > 0; }
    std::vector<double> values;
    int pumps = 0;
};

TEST(Evaluate, ProgressAndMessagePumping)
{
    Settings settings;
    for (int groups : {1, 17}) {
        ProgressHost host;
        MyCObArray list(settings, &host);
        for (int g = 0; g < groups; ++g)
            ASSERT_EQ(list.AddPart(MakePart(UuPart("f" + std::to_string(g) + ".zip", 1, 1, g))), 1);
        list.Evaluate();
        if (groups == 1) {
            // One group divides by one: no division by zero.
            EXPECT_EQ(host.values, (std::vector<double>{0.0, -1.0}));
        } else {
            EXPECT_EQ(host.pumps, 2) << "every eighth group";
            EXPECT_EQ(host.values[16], 100.0);
        }
    }
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
    for (std::uint32_t seed = 1; seed <= 12; ++seed) {
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
            PartFields s;
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
        for (int i = 0; i < 300; ++i) {
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
                for (int g = 0; g < list.GetSize(); ++g)
                    for (const CFInfo* part : list.GetAt(g)->m_Named) {
                        const auto& named = list.GetAt(g)->m_Named;
                        ASSERT_GE(list.GetAt(g)->IndexOfPart(part), 0)
                            << after << " seed " << seed << " " << i;
                        ASSERT_EQ(std::count(named.begin(), named.end(), part), 1) << after << " " << seed;
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
