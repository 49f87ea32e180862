#include "app/output_entries.h"
#include "model/records.h"
#include "model/settings.h"
#include "mails.h"
#include "platform/headless_host.h"

#include <gtest/gtest.h>

namespace zarvex {
namespace {

using Names = std::vector<std::string>;
using Padded = std::vector<std::optional<std::string>>;

// The window's renaming of the selected names: padding, the pattern shown and where it carries.
TEST(Rename, PadsNumbersPerStemBuildsThePatternAndCarriesWhatItsWildcardsMatched)
{
    EXPECT_EQ(PaddedNames({"pic1.jpg", "pic10.jpg"}), (Padded{"pic01.jpg", std::nullopt}));
    // Different text around the number: each stem on its own.
    EXPECT_EQ(PaddedNames({"a1.jpg", "b10.jpg", "a100.jpg"}), (Padded{"a001.jpg", std::nullopt, std::nullopt}));
    // No digits, or digits only at the start: left alone.
    EXPECT_EQ(PaddedNames({"photo.jpg", "1photo.jpg", "22photo.jpg"}), (Padded{std::nullopt, std::nullopt, std::nullopt}));
    // The last run of digits is the number.
    EXPECT_EQ(PaddedNames({"v2-part3.rar", "v2-part12.rar"}), (Padded{"v2-part03.rar", std::nullopt}));
    // clang-format off
    const std::pair<Names, const char*> cases[] = {
        {{"pic01.jpg", "pic10.jpg"}, "pic??.jpg"}, {{"PIC01.jpg", "pic02.JPG"}, "PIC0?.jpg"},
        {{"a.txt", "abc.txt"}, "a*.txt"}, {{"abc.txt", "a.txt"}, "a*.txt"},
        {{"holiday.jpg", "birthday.png"}, "*.??g"}, {{"readme", "readme2"}, "readme*."},
    };
    // clang-format on
    for (const auto& [names, pattern] : cases) EXPECT_EQ(WildcardPattern(names), pattern) << names[0];
    for (const auto& [to, agree] :
         {std::pair{"rome??.jpeg", true}, {"rome*.jpg", false}, {"rome.jpg", false}})
        EXPECT_EQ(WildcardsAgree("pic??.jpg", to), agree) << to;
    EXPECT_EQ(WildcardRename("pic07.jpg", "pic??.jpg", "rome??.jpeg"), "rome07.jpeg");
    EXPECT_EQ(WildcardRename("PIC07.JPG", "pic??.jpg", "x??.jpg"), "x07.jpg");
    EXPECT_EQ(WildcardRename("readme", "read*.", "doc*."), "docme");
    EXPECT_EQ(WildcardRename("other.jpg", "pic??.jpg", "x??.jpg"), std::nullopt);
}

TEST(SplitterRule, CentredBandSavesAsZero)
{
    for (const auto& [pos, percent] : {std::pair{500, 0}, {470, 0}, {539, 0}, {460, 46}, {540, 54}})
        EXPECT_EQ(SplitterPercent(pos, 1000), percent) << pos;
    // The band keeps room for the buttons at both ends.
    for (const auto& [percent, pos] : {std::pair{0, 500}, {34, 340}, {2, 80}, {99, 920}})
        EXPECT_EQ(SplitPosition(percent, 1000, 80), pos) << percent;
}

TEST(InputEntryText, SizeUnitsFollowTheThresholds)
{
    EXPECT_EQ(InputEntryText("/m/box.txt", 1024, false), "box.txt 1024 ");
    EXPECT_EQ(InputEntryText("/m/box.txt", 1025, true), ">box.txt 1 K");
    EXPECT_EQ(InputEntryText("box.txt", 0xA000000, false), "box.txt 163840 K");
    EXPECT_EQ(InputEntryText("box.txt", 0xA000001, false), "box.txt 160 M");
}

class OutputRecords : public ::testing::Test
{
protected:
    CFInfo* AddPart(CSortInfo& g, const std::string& name, int part, std::uint32_t type = MT_UU)
    {
        auto* p = new CFInfo;
        p->m_DestFile = name;
        p->m_Part = part;
        p->m_Total = part > 0 ? 2 : -1;
        p->m_MsgType = type;
        p->m_EPos = 4096;
        g.Append(p);
        return p;
    }
    Settings settings;
    MyCObArray list{settings};
};

TEST_F(OutputRecords, EntriesColoursAndExtractableFollowTheStatus)
{
    CSortInfo& g = *list.NewGroup();
    AddPart(g, "a.bin", 1);
    AddPart(g, "a.bin", 2);
    g.RebuildNames(true);
    g.m_Status = GS_COMPLETE;
    const auto entries = EntriesFor(g);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].text, "a.bin\t6K");
    EXPECT_EQ(EntryColour(g), 0x008000u);
    EXPECT_TRUE(IsExtractable(g));
    g.m_Status = GS_STARTED;
    EXPECT_EQ(EntryColour(g), 0x000080u);
    g.m_Status = GS_MISSING;
    g.m_Found = g.m_Expected = 1;
    EXPECT_FALSE(IsExtractable(g));
    g.m_Expected = 3;
    EXPECT_TRUE(IsExtractable(g));
    g.GetAt(0)->SetFlag(PF_OPENBUF); // a stream output is open: teal
    EXPECT_EQ(EntryColour(g), 0x008080u);
    g.GetAt(0)->ClearFlag(PF_OPENBUF);
}

TEST_F(OutputRecords, PropertiesListMissingPartsAndCutLongTexts)
{
    CSortInfo& g = *list.NewGroup();
    for (int part : {1, 2, 5}) AddPart(g, "a.bin", part)->m_Subject = std::string(150, 's');
    g.RebuildNames(false);
    g.m_Expected = 9;
    const auto lines = PropertyLines(g, g.m_Named[0]);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].text, "Subject: " + std::string(100, 's') + "...");
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [](const auto& l) { return l.text == "Missing Parts: 3,4,6-9"; }));
    // The subject line copies the whole subject.
    EXPECT_EQ(PropertyClipboardText(g, g.m_Named[0], 40021), std::string(150, 's'));
}

TEST_F(OutputRecords, RemovingTheLastOutputTakesTheGroupAway)
{
    CSortInfo& g = *list.NewGroup();
    AddPart(g, "", 0, MT_TXT); // a description part goes with the part after it
    AddPart(g, "a.bin", 1);
    AddPart(g, "b.bin", 1);
    g.RebuildNames(true);
    ASSERT_EQ(g.m_Named.size(), 2u);
    RemoveOutput(list, g, g.m_Named[0], "a.bin");
    ASSERT_EQ(list.GetSize(), 1);
    ASSERT_EQ(g.GetSize(), 1);
    EXPECT_EQ(g.GetAt(0)->m_DestFile, "b.bin");
    RemoveOutput(list, g, g.m_Named[0], "b.bin");
    EXPECT_EQ(list.GetSize(), 0);
}

} // namespace
} // namespace zarvex

namespace zarvex {
namespace {

// The size column of a five-part UU posting is that of the whole file.
TEST(OutputSize, AMultiPartPostingIsSizedWhole)
{
    test::TempDir dir;
    Settings settings;
    RunContext run;
    HeadlessHost host;
    MyCObArray list(settings, &host);
    const std::string path = dir.Write("in.txt", test::UuPosting("five.dat", test::RandomBytes(120'000, 7), 5));
    ScanFile(path, list, settings, run, host);
    list.Evaluate();
    const std::vector<OutputEntry> entries = EntriesFor(list);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_NEAR(std::stoi(entries[0].text.substr(entries[0].text.find('\t') + 1)), 117, 6) << entries[0].text;
}

} // namespace
} // namespace zarvex
