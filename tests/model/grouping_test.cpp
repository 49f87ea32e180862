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
using test::YencPart;

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
    void AddPosting(const std::string& name, int total, const std::vector<int>& order, int firstSlot = 0)
    {
        for (int n : order)
            ASSERT_EQ(Add(UuPart(name, n, total, firstSlot + n)), 1) << "part " << n;
    }
};

// Parts come out in order. Without part 1 nothing can be written: missing
// (also for yEnc parts whose first part has no begin); with the begin but a
// gap: started.
TEST_F(Grouping, PostingsAreSortedAndCompleteMissingOrStarted)
{
    AddPosting("data.zip", 5, {3, 5, 1, 4, 2}, 0);
    AddPosting("a.zip", 5, {2, 5, 3, 4}, 10);
    AddPosting("b.zip", 5, {1, 2, 4, 5}, 20);
    for (int n = 1; n <= 5; ++n) {
        PartFields s = YencPart("clip.avi", n, 5, 30 + n);
        s.starts = s.dataType = 0;
        ASSERT_EQ(Add(s), 1);
    }
    list.Evaluate();
    ASSERT_EQ(list.GetSize(), 4);
    const CSortInfo& data = *list.GetAt(0);
    EXPECT_EQ(PartNumbers(data), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(std::tie(data.m_Found, data.m_Expected, list.GetAt(1)->m_Found), std::make_tuple(5, 5, 4));
    ASSERT_EQ(data.m_Named.size(), 1u);
    EXPECT_EQ(data.m_Named[0]->m_DestFile, "data.zip");
    const std::vector<int> status = {GS_COMPLETE, GS_MISSING, GS_STARTED, GS_MISSING};
    for (int g = 0; g < 4; ++g)
        EXPECT_EQ(list.GetAt(g)->m_Status, status[g]) << g;
    // Only changed groups are evaluated again.
    list.GetAt(1)->m_Status = GS_TOO_MANY;
    list.Evaluate();
    EXPECT_EQ(list.GetAt(1)->m_Status, GS_TOO_MANY);
}

// "file 1 of 3" and "file 2 of 3" of one posting share the subject; the
// yEnc sizes tell the files apart.
TEST_F(Grouping, FilesOfOneMultiFilePostingStayApart)
{
    for (int slot = 1; slot <= 4; ++slot) {
        const int file = 2 - slot % 2, n = (slot + 1) / 2;
        const std::string name = file == 1 ? "a.jpg" : "b.jpg";
        PartFields s = YencPart(name, n, 2, slot);
        s.subject = "holiday [/3] yEnc";
        s.fullSubject = "holiday [" + std::to_string(file) + "/3] \"" + name + "\" yEnc";
        s.group = file, s.groupTotal = 3;
        s.ySize = file * 2000 - 1000;
        s.yBegin = n == 1 ? 1 : s.ySize / 2 + 1;
        ASSERT_EQ(Add(s), 1);
    }
    list.Evaluate();
    ASSERT_EQ(list.GetSize(), 2);
    for (int g = 0; g < 2; ++g) {
        const CSortInfo& group = *list.GetAt(g);
        EXPECT_EQ(PartNumbers(group), (std::vector<int>{1, 2}));
        EXPECT_EQ(group.GetAt(0)->m_DestFile, group.GetAt(1)->m_DestFile);
        EXPECT_EQ(group.m_Status, GS_COMPLETE);
    }
}

// Same part number, other file number, and swapping changes nothing: the
// insertion must still end.
TEST_F(Grouping, NumbersSwappedAtMostOncePerInsertion)
{
    PartFields first = UuPart("x.bin", 1, 1, 1), second = UuPart("x.bin", 1, 1, 2);
    first.group = first.groupTotal = 2;
    second.file = "/in/other.txt";
    second.group = second.groupTotal = 1;
    ASSERT_EQ(Add(first), 1);
    EXPECT_EQ(Add(second), 1);
}

// A text message under 50 bytes, a Quoted-Printable part when that is off
// and a section scanned before add nothing.
TEST_F(Grouping, PartsThatAddNothing)
{
    AddPosting("data.zip", 2, {1, 2});
    for (int n = 1; n <= 2; ++n)
        EXPECT_EQ(Add(UuPart("data.zip", n, 2, n)), 0) << "the same section again";
    settings.EnableQP = false;
    EXPECT_EQ(Add({.subject = "q.txt", .msgType = MT_QP, .slot = 5}), 0);
    for (int bytes : {40, 60}) {
        CFInfo* part = MakePart({.subject = "hello", .msgType = MT_TXT, .slot = 6, .lines = 3});
        part->m_EPos = part->m_SPos + bytes;
        EXPECT_EQ(list.AddPart(part), bytes > 50) << bytes;
    }
    ASSERT_EQ(list.GetSize(), 2);
    EXPECT_EQ(list.GetAt(0)->GetSize(), 2);
    EXPECT_EQ(list.GetAt(1)->GetAt(0)->m_DestFile, "message1.txt");
    EXPECT_EQ(list.GetAt(1)->m_Status, GS_COMPLETE);
}

TEST_F(Grouping, GroupTakesItsFirstPartButNoNamelessYencPart)
{
    CSortInfo group;
    EXPECT_EQ(group.AddPart(MakePart(UuPart("v.bin", 2, 3, 2)), list), 0);
    EXPECT_EQ(std::make_pair(group.GetSize(), group.m_Expected), std::make_pair(1, 3));
    PartFields nameless = UuPart("v.bin", 3, 3, 3);
    nameless.msgType = MT_YENC;
    EXPECT_EQ(group.AddPart(MakePart(nameless), list), -1);
    EXPECT_EQ(group.GetSize(), 1);
}

TEST_F(Grouping, GrownPartReplacesItselfKeepingItsFlags)
{
    AddPosting("data.zip", 3, {1, 2, 3});
    CFInfo* old = list.GetAt(0)->GetAt(2);
    old->SetFlag(PF_WRITTEN | PF_CHECKFAIL);
    old->m_ByteStart = 5000;
    const std::int64_t grownEnd = old->m_EPos + 500;
    CFInfo* grown = MakePart(UuPart("data.zip", 3, 3, 3));
    grown->m_EPos = grownEnd;
    grown->SetFlag(PF_RENAME);
    EXPECT_EQ(list.AddPart(grown), 1);
    const CSortInfo& group = *list.GetAt(0);
    ASSERT_EQ(group.GetSize(), 3);
    EXPECT_EQ(group.GetAt(2), grown);
    EXPECT_EQ(std::tie(grown->m_EPos, grown->m_ByteStart), std::make_tuple(grownEnd, std::int64_t{5000}));
    // Not written any more, and its own low flags are dropped.
    EXPECT_EQ(grown->m_Flags & (PF_WRITTEN | PF_CHECKFAIL | PF_RENAME), std::uint32_t{PF_CHECKFAIL});
    EXPECT_EQ(group.m_Status, GS_CHANGED);
}

TEST_F(Grouping, FoundLineIsLoggedForEveryPartTaken)
{
    AddPosting("data.zip", 2, {1, 2});
    EXPECT_EQ(host.LogText(), "\tfound data.zip\t[ \"data.zip\" - my upload ] (1/2)\r\n"
                              "\tfound ------------\t[ \"data.zip\" - my upload ] (2/2)\r\n");
}

// ------------------------------------------------------------ duplicates

class Duplicates : public Grouping
{
protected:
    Duplicates() { settings.AutoDuplicateRemoval = true; }
    // Another copy of part `n`, from input `file`, `extraLines` longer.
    int AddCopy(const std::string& name, int n, int total, const std::string& file, int extraLines = 0)
    {
        PartFields copy = UuPart(name, n, total, n);
        copy.file = file;
        copy.lines += extraLines;
        return Add(copy);
    }
};

TEST_F(Duplicates, KeptWithoutRemovalAndRenamedAtEvaluation)
{
    settings.AutoDuplicateRemoval = settings.AutoMultipartDupeRemoval = settings.NoAutoRename = false;
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
    EXPECT_EQ(std::make_tuple(group.GetAt(0)->m_DestFile, group.GetAt(1)->m_DestFile, group.m_Named.size()),
              std::make_tuple("pic.jpg", "pic01.jpg", 2u));
    EXPECT_FALSE(group.GetAt(1)->TestFlag(PF_RENAME));
}

// A longer copy wins and the old one hangs in its chain; of equal copies the
// old one stays, except that a side that won before wins a tie.
TEST_F(Duplicates, ContestsOfCopiesAndTheirChains)
{
    // The extra lines of the copies from b.txt and c.txt, and what comes of them.
    const struct {
        std::vector<int> extraLines;
        std::vector<std::string> chain;
        int tookNew, keptOld;
        const char* log;
    } cases[] = {
        {{4}, {"/in/b.txt", "/in/news.txt"}, 1, 0, "\tDuplicate part detected --dropping existing part.\r\n"},
        {{0, 0}, {"/in/news.txt", "/in/b.txt", "/in/c.txt"}, 0, 2, "dropping newer part"},
        {{10, 10}, {"/in/c.txt", "/in/b.txt", "/in/news.txt"}, 2, 0, "dropping existing part"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keptOld);
        list.RemoveAll();
        const std::size_t logFrom = host.LogText().size();
        AddPosting("data.zip", 5, {1, 2, 3, 4, 5});
        const std::string files[] = {"/in/b.txt", "/in/c.txt"};
        for (std::size_t i = 0; i < c.extraLines.size(); ++i)
            ASSERT_EQ(AddCopy("data.zip", 3, 5, files[i], c.extraLines[i]), 1);
        const CSortInfo& group = *list.GetAt(0);
        ASSERT_EQ(group.GetSize(), 5);
        EXPECT_EQ(ChainFiles(group.GetAt(2)), c.chain);
        EXPECT_EQ(std::tie(group.m_TookNew, group.m_KeptOld), std::tie(c.tookNew, c.keptOld));
        EXPECT_NE(host.LogText().find(c.log, logFrom), std::string::npos);
    }
}

// Copies under the same subject that name another file: a short one for
// part 1 loses and leaves no name behind; a long one for part 3 with a begin
// (but no end) wins and is listed once.
TEST_F(Duplicates, CopiesWithAnotherNameLeaveOneNameEach)
{
    AddPosting("a.zip", 3, {1, 2, 3});
    for (int n : {1, 3}) {
        PartFields rival = UuPart("a.zip", n, 3, 9);
        rival.lines = n == 1 ? 10 : 100;
        rival.name = "b.zip", rival.starts = 1, rival.ends = 0, rival.dataType = DT_ZIP;
        ASSERT_EQ(Add(rival), n == 1 ? 0 : 1) << n;
    }
    const CSortInfo& group = *list.GetAt(0);
    ASSERT_EQ(group.GetSize(), 3);
    EXPECT_EQ(group.m_Named, (std::vector<CFInfo*>{group.GetAt(0), group.GetAt(2)}));
    EXPECT_EQ(std::tie(group.GetAt(0)->m_DestFile, group.GetAt(2)->m_DestFile), std::make_tuple("a.zip", "b.zip"));
}

TEST_F(Duplicates, MultipartContestOnlyForMultipartWhenAutoDuplicateOff)
{
    settings.AutoDuplicateRemoval = false;
    settings.AutoMultipartDupeRemoval = true;
    AddPosting("data.zip", 2, {1, 2});
    ASSERT_EQ(AddCopy("data.zip", 2, 2, "/in/b.txt"), 1);
    EXPECT_EQ(list.GetAt(0)->GetSize(), 2) << "the copy joined the chain";
}

TEST_F(Duplicates, FindPartAtLooksIntoDuplicateChains)
{
    AddPosting("data.zip", 2, {1, 2});
    ASSERT_EQ(AddCopy("data.zip", 2, 2, "/in/b.txt", -50), 1); // shorter: hangs below part 2
    int g = -1, i = -1, depth = -1;
    ASSERT_NE(list.FindPartAt("/in/b.txt", 2 * 100000 + 10, &g, &i, &depth), nullptr);
    EXPECT_EQ(std::vector<int>({g, i, depth}), std::vector<int>({0, 1, 1}));
    EXPECT_EQ(list.FindPartAt("/IN/B.TXT", 2 * 100000 + 10, &g, &i, &depth), nullptr)
        << "paths compare exactly";
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

// Messages are pumped every eighth group; one group divides by one.
TEST(Evaluate, ProgressAndMessagePumping)
{
    Settings settings;
    for (int groups : {1, 17}) {
        ProgressHost host;
        MyCObArray list(settings, &host);
        for (int g = 0; g < groups; ++g)
            ASSERT_EQ(list.AddPart(MakePart(UuPart("f" + std::to_string(g) + ".zip", 1, 1, g))), 1);
        list.Evaluate();
        if (groups == 1)
            EXPECT_EQ(host.values, (std::vector<double>{0.0, -1.0}));
        else
            EXPECT_EQ(std::tie(host.pumps, host.values[16]), std::make_tuple(2, 100.0));
    }
}

// ------------------------------------------------------------ index

// The plain rules for names and positions, walked over every group.
int NameInAnyGroup(const MyCObArray& list, const std::string& name, int after)
{
    for (int g = after < 0 || after >= list.GetSize() ? 0 : after + 1; g < list.GetSize(); ++g)
        if (list.GetAt(g)->HasName(name)) return g;
    return -1;
}

// Calls `f` on every part of every group, inactive copies included.
template <class F> void ForEachPart(const MyCObArray& list, F f)
{
    for (int g = 0; g < list.GetSize(); ++g)
        for (int i = 0; i < list.GetAt(g)->GetSize(); ++i)
            for (const CFInfo* p = list.GetAt(g)->GetAt(i); p; p = p->m_pNextDup.get())
                f(p);
}

const CFInfo* PartCovering(const MyCObArray& list, const std::string& path, std::int64_t pos)
{
    const CFInfo* found = nullptr;
    ForEachPart(list, [&](const CFInfo* p) {
        if (!found && p->m_File == path && p->m_SPos <= pos && pos < p->m_EPos) found = p;
    });
    return found;
}

// Every listed name is a part of its group, listed once.
void ExpectNamedAreElements(const MyCObArray& list)
{
    for (int g = 0; g < list.GetSize(); ++g) {
        const auto& named = list.GetAt(g)->m_Named;
        for (const CFInfo* part : named) {
            ASSERT_GE(list.GetAt(g)->IndexOfPart(part), 0);
            ASSERT_EQ(std::count(named.begin(), named.end(), part), 1);
        }
    }
}

// The indexed lookups give the answers of the plain walks over every group,
// empty names included. Sections of one input may overlap and repeat: a part
// of the same place may replace another (re-scan) or join as a copy.
TEST(GroupIndex, AgreesWithThePlainWalkOnRandomParts)
{
    const std::vector<std::string> subjects = {"", "alpha", "ALPHA", "beta", "gamma"};
    const std::vector<std::string> fulls = {"", "alpha (1/3)", "Alpha (2/3)", "beta [1/2]", "other"};
    const std::vector<std::string> names = {"", "a.zip", "A.ZIP", "b.jpg", "c"};
    const std::vector<std::uint32_t> types = {MT_UU, MT_YENC, MT_B64, MT_NONE};
    for (std::uint32_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        Settings settings;
        settings.ExtendedMatching = seed % 2 == 0;
        settings.NoAutoRename = seed % 3 != 0;
        settings.AutoDuplicateRemoval = seed % 4 < 2;
        MyCObArray list(settings);
        auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<std::uint32_t>(n)); };
        auto any = [&](const auto& v) { return v[static_cast<std::size_t>(pick(static_cast<int>(v.size())))]; };
        auto randomSpec = [&](int slot) {
            PartFields s{.file = pick(2) ? "/in/a" : "/in/b", .subject = any(subjects),
                         .fullSubject = any(fulls), .name = any(names), .msgType = any(types),
                         .dataType = pick(3) == 0 ? DT_ZIP : DT_UNKNOWN};
            s.total = pick(4) - 1, s.part = s.total > 0 ? 1 + pick(s.total) : -1;
            s.group = pick(3) - 1, s.groupTotal = s.group > 0 ? 2 : -1;
            s.starts = pick(2), s.ends = pick(2), s.slot = slot, s.lines = 50 + pick(100);
            s.ySize = pick(2) * 1000, s.yBegin = s.ySize ? 1 : -1;
            return s;
        };
        for (int i = 0; i < 300; ++i) {
            const std::unique_ptr<CFInfo> probe(MakePart(randomSpec(100000 + i)));
            probe->m_OrigName = probe->m_DestFile;
            ASSERT_EQ(list.FindGroup(*probe), list.FindGroupLinear(*probe)) << "step " << i;
            for (const std::string& name : names)
                for (int after : {-1, 0, 3})
                    ASSERT_EQ(list.FindNameInGroups(name, after), NameInAnyGroup(list, name, after));
            const std::string path = pick(2) ? "/in/a" : "/in/b";
            const std::int64_t pos = static_cast<std::int64_t>(pick(i + 1)) * 100000 + pick(7000);
            ASSERT_EQ(list.FindPartAt(path, pos, nullptr, nullptr, nullptr), PartCovering(list, path, pos));
            list.AddPart(MakePart(randomSpec(pick(3) == 0 ? pick(i + 1) : i)));
            ASSERT_NO_FATAL_FAILURE(ExpectNamedAreElements(list)) << "AddPart " << i;
            if (i % 97 == 96) list.Evaluate();
            if (i % 151 == 150) list.RemovePartsOf("/in/b");
            if (i % 113 == 112) list.RemovePartsOf("/in/a", pos);
            ASSERT_NO_FATAL_FAILURE(ExpectNamedAreElements(list)) << "Evaluate/RemovePartsOf " << i;
            // What was removed is gone with its inactive duplicates.
            ForEachPart(list, [&](const CFInfo* p) {
                EXPECT_FALSE(i % 151 == 150 && p->m_File == "/in/b") << i;
                EXPECT_FALSE(i % 113 == 112 && p->m_File == "/in/a" && (p->m_EPos > pos || p->m_SPos >= pos))
                    << i;
            });
            if (HasFailure()) return;
        }
    }
}

} // namespace
} // namespace zarvex
