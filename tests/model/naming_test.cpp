#include "model/naming.h"
#include "model/records.h"
#include "model/settings.h"
#include "part_builder.h"
#include "text/display_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

namespace zarvex {
namespace {

using test::ListFixture;
using test::MakePart;
using test::PartFields;
using test::UuPart;

std::string Clean(std::string_view name, const Settings& settings = Settings())
{
    return CleanName(name, false, false, settings);
}

// A name the file system takes as one plain file inside the output folder.
void ExpectPlainName(const std::string& name)
{
    EXPECT_FALSE(name.empty());
    EXPECT_LE(name.size(), 255u) << name;
    EXPECT_EQ(name.find('/'), std::string::npos) << name;
    EXPECT_EQ(name.find('\0'), std::string::npos);
    EXPECT_NE(name[0], '.') << name; // neither "." nor ".." nor hidden
    EXPECT_TRUE(IsValidUtf8(name)) << name;
}

// Folders, forbidden characters and device names go; an empty stem gets a
// made-up name; escapes and Base64 words are decoded (unless the bytes are no
// text), then cleaned again; eight-bit names become UTF-8.
TEST(CleanName, DefaultRules)
{
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\temp\\a*b?.zip", "ab.zip"},
        {"pic.", "pic"},
        {"a.b.c.jpg", "a.b.c.jpg"},
        {"say \"hi\" <now>|.txt", "say hi now.txt"},
        {"con", ""},
        {"LPT1", ""},
        {"com", "com"},
        {"lptx", "lptx"},
        {"con.txt", "con.txt"},
        {".zip", "file01.zip"},
        {"???", "file01"},
        {"my%20file.zip", "my file.zip"},
        {"%2e%2e", "file01"},
        {"dGVzdA==.txt", "test.txt"},
        {"Li4veA==.txt", "x.txt"},
        {"AAECAw==.bin", "AAECAw==.bin"},
        {"../../etc/passwd", "passwd"},
        {"..", "file01"},
        {".", "file01"},
        {"/", "file01"},
        {"dir\\..\\..\\boot.ini", "boot.ini"},
        {"..hidden", "_..hidden"},
        {"x/.profile", "file01.profile"},
        {"caf\xE9.txt", "caf\xC3\xA9.txt"},
        {"caf\xC3\xA9.txt", "caf\xC3\xA9.txt"},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(Clean(name), expected) << name;
    EXPECT_EQ(Clean(std::string("a\0b\x01\x1f\x7f.txt", 10)), "ab.txt");
    for (const char* hostile : {"../../etc/passwd", "..", ".", "/", "\\", "..\\..", "./.", "..%2F", "a/",
                                "%00", "..%2F..%2Fetc%2Fpasswd", "\xFF\xFE\x80.bin"})
        ExpectPlainName(Clean(hostile));
}

TEST(CleanName, ShortNamesAndKeptEscapes)
{
    Settings settings;
    settings.Force8 = true;
    EXPECT_EQ(Clean("a.b.c.jpg", settings), "a_b_c.jpg");
    EXPECT_EQ(Clean("holidaypictures2021.jpeg", settings), "holi2021.jpe");
    EXPECT_EQ(Clean("my file+1.txt", settings), "myfile1.txt");
    Settings keep;
    keep.StripPercent = false;
    keep.DecodeUTF8 = false;
    EXPECT_EQ(Clean("my%20file.zip", keep), "my%20file.zip");
}

TEST(CleanName, LongNamesAreCutKeepingTheExtensionAndWholeCharacters)
{
    const std::string name = Clean(std::string(300, 'a') + "123.jpg");
    EXPECT_EQ(name.size(), 236u + 4u);
    EXPECT_EQ(name.substr(name.size() - 7), "123.jpg");
    // A stem just under the cut with a long extension, and a stem of
    // two-byte characters, still end up as valid names of at most 255 bytes.
    std::string accents;
    for (int i = 0; i < 150; ++i)
        accents += "\xC3\xA9";
    for (const auto& [stem, ext] :
         {std::pair{std::string(250, 'b'), std::string(".extension")}, {accents, ".txt"}}) {
        const std::string cut = Clean(stem + ext);
        ExpectPlainName(cut);
        EXPECT_EQ(cut.substr(cut.size() - ext.size()), ext);
    }
}

// ------------------------------------------------------------ made names

class MakeNames : public ::testing::Test, protected ListFixture
{
protected:
    // A group that already uses `name`.
    void Use(const std::string& name)
    {
        PartFields s;
        s.name = name;
        list.NewGroup()->Init(MakePart(s));
    }
};

TEST_F(MakeNames, MadeUpNamesCountOnFromTheListsNumber)
{
    const std::string first = MakeName(list, DT_JPG, "", nullptr);
    EXPECT_EQ(first, "file01.jpg");
    Use(first);
    EXPECT_EQ(MakeName(list, DT_JPG, "", nullptr), "file04.jpg");
    EXPECT_EQ(list.m_NextFileNumber, 3);
}

TEST_F(MakeNames, NumberedAndLetteredSuffixes)
{
    settings.NoAutoRename = true;
    Use("pic.jpg");
    EXPECT_EQ(MakeName(list, DT_JPG, "pic.jpg", nullptr), "pic.jpg") << "no renaming asked for";
    settings.NoAutoRename = false;
    EXPECT_EQ(MakeName(list, DT_JPG, "pic.jpg", nullptr), "pic01.jpg");
    Use("pic01.jpg");
    EXPECT_EQ(MakeName(list, DT_JPG, "pic.jpg", nullptr), "pic02.jpg");
    Use("PIC1.JPG");
    EXPECT_EQ(MakeName(list, DT_JPG, "pic1.jpg", nullptr), "pic1aa.jpg");
    Use("file05.zip");
    EXPECT_EQ(MakeName(list, DT_ZIP, "file05.zip", nullptr), "file06.zip");
}

TEST_F(MakeNames, ExtensionOfAnotherTypeIsReplaced)
{
    EXPECT_EQ(MakeName(list, DT_JPG, "photo.gif", nullptr), "photo.jpg");
    EXPECT_EQ(MakeName(list, DT_JPG, "photo.holiday", nullptr), "photo.holiday");
    EXPECT_EQ(MakeName(list, DT_MSAPP, "sheet.xls", nullptr), "sheet.xls");
    EXPECT_EQ(MakeName(list, DT_MSAPP, "sheet", nullptr), "sheet.doc");
    EXPECT_EQ(MakeName(list, DT_UNKNOWN, "notes", nullptr), "notes");
}

TEST_F(MakeNames, HostileBaseNamesStayInside)
{
    settings.NoAutoRename = false;
    Use("a." + std::string(300, 'e'));
    ExpectPlainName(MakeName(list, DT_UNKNOWN, "a." + std::string(300, 'e'), nullptr));
    ExpectPlainName(MakeName(list, DT_UNKNOWN, "a.\xE9\xFF", nullptr));
    EXPECT_EQ(MakeName(list, DT_UNKNOWN, "a.\xE9", nullptr), "a.\xC3\xA9");
    for (const std::string& name : {std::string("../../etc/passwd"), std::string(".."), std::string("/"),
                                    std::string("a/../../b.zip"), std::string(400, 'x')})
        ExpectPlainName(MakeName(list, DT_ZIP, name, nullptr));
}

// ------------------------------------------------------------ entry steps

class NamingSteps : public ::testing::Test, protected ListFixture
{
protected:
    std::unique_ptr<CFInfo> TextPart(std::uint32_t msgType = MT_TXT)
    {
        std::unique_ptr<CFInfo> part(MakePart(PartFields{}));
        part->m_MsgType = msgType;
        return part;
    }
};

TEST_F(NamingSteps, FixExtension)
{
    // Volume numbers keep their extension; a tail too long for an extension
    // is none; "apl" data always ends in ".apl".
    const std::tuple<const char*, int, bool, const char*> cases[] = {
        {"data.001", DT_ZIP, false, "data.001"},
        {"data.x", DT_ZIP, true, "data.zip"},
        {"archive.verylongext", DT_ZIP, true, "archive.verylongext.zip"},
        {"tool.exe", DT_APL, true, "tool.apl"},
    };
    for (const auto& [name, dataType, changed, expected] : cases) {
        std::unique_ptr<CFInfo> part(MakePart(UuPart(name, 1, 1, 1)));
        part->m_DataType = dataType;
        EXPECT_EQ(FixExtension(list, *part), changed) << name;
        EXPECT_EQ(part->m_DestFile, expected);
    }
}

TEST_F(NamingSteps, MultipartWithoutExtensionIsTypedAtEvaluation)
{
    for (int n : {1, 2, 3}) {
        PartFields s = UuPart("photo", n, 3, n);
        if (n == 1) s.dataType = DT_JPG;
        ASSERT_EQ(list.AddPart(MakePart(s)), 1);
    }
    EXPECT_TRUE(list.GetAt(0)->GetAt(0)->TestFlag(PF_RETYPE));
    list.Evaluate();
    const CSortInfo& group = *list.GetAt(0);
    EXPECT_EQ(group.GetAt(0)->m_DestFile, "photo.jpg");
    EXPECT_FALSE(group.GetAt(0)->TestFlag(PF_RETYPE));
    EXPECT_TRUE(group.HasName("photo.jpg"));
    EXPECT_FALSE(group.HasName("photo"));
}

TEST_F(NamingSteps, TextMessageNames)
{
    auto part = TextPart();
    NameTextMessage(list, *part, nullptr);
    EXPECT_EQ(part->m_DestFile, "message1.txt");
    EXPECT_EQ(part->m_DataType, DT_TXT);
    part->m_DestFile.clear();
    part->m_FullSubj = "pics (1/2) of c:\\x";
    NameTextMessage(list, *part, nullptr);
    EXPECT_EQ(part->m_DestFile, "message1-pics (12) of cx.txt") << "a subject is not a path";
    part->m_DestFile.clear();
    part->m_DataType = DT_HTM;
    NameTextMessage(list, *part, nullptr);
    EXPECT_EQ(part->m_DestFile, "message1.htm");

    CSortInfo group;
    PartFields taken;
    taken.name = "message1.txt";
    group.Init(MakePart(taken));
    auto inGroup = TextPart();
    NameTextMessage(list, *inGroup, &group);
    EXPECT_EQ(inGroup->m_DestFile, "message11.txt");
}

TEST_F(NamingSteps, DatedTextMessageName)
{
    test::UtcZone zone;
    auto part = TextPart();
    part->m_Time = 1700000000; // 14 Nov 2023
    NameTextMessage(list, *part, nullptr);
    EXPECT_EQ(part->m_DestFile, "message(14-Nov-2023).txt");
    part->m_DestFile.clear();
    part->m_FullSubj = std::string(150, 's');
    NameTextMessage(list, *part, nullptr);
    EXPECT_EQ(part->m_DestFile, "message-" + std::string(100, 's') + "(14-Nov-2023).txt");
}

TEST_F(NamingSteps, FaceImageNames)
{
    auto part = TextPart(MT_XFACE);
    NameFaceImage(*part, settings);
    EXPECT_EQ(part->m_DestFile, "X-Face.bmp");
    part->m_DestFile.clear();
    part->m_MsgType = MT_FACE;
    part->m_From = "../joe@example.org";
    NameFaceImage(*part, settings);
    EXPECT_EQ(part->m_DestFile, "Face-..joe@example.org.png");
}

// ------------------------------------------------------------ renaming

// Clashing names get numbered names; names ending in a digit get letters.
TEST(Renaming, ClashingFilesGetUniqueNames)
{
    test::ListFixture f;
    f.settings.NoAutoRename = false;
    const std::pair<const char*, const char*> posts[] = {{"pic.jpg", "pic.jpg"},
                                                         {"pic.jpg", "pic01.jpg"},
                                                         {"pic.jpg", "pic02.jpg"},
                                                         {"pic1.jpg", "pic1.jpg"},
                                                         {"pic1.jpg", "pic1aa.jpg"}};
    const char* const kSubjects[] = {"alpha", "beta", "gamma", "delta", "omega"};
    for (int i = 0; i < 5; ++i) {
        PartFields s = UuPart(posts[i].first, 1, 1, i + 1);
        s.subject = s.fullSubject = kSubjects[i];
        s.dataType = DT_JPG;
        ASSERT_EQ(f.list.AddPart(MakePart(s)), 1);
    }
    f.list.Evaluate();
    ASSERT_EQ(f.list.GetSize(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(f.list.GetAt(i)->GetAt(0)->m_DestFile, posts[i].second);
        EXPECT_TRUE(f.list.GetAt(i)->HasName(posts[i].second));
    }
}

TEST(Renaming, LaterPartsOfARenamedFileFollowTheFirst)
{
    test::ListFixture f;
    f.settings.NoAutoRename = false;
    for (const char* subject : {"first", "second"})
        for (int n : {1, 2}) {
            PartFields s = UuPart("a.zip", n, 2, n + (subject[0] == 's' ? 10 : 0));
            s.subject = s.fullSubject = subject;
            s.msgType = MT_YENC;
            s.name = "a.zip";
            s.starts = s.ends = 1;
            ASSERT_EQ(f.list.AddPart(MakePart(s)), 1);
        }
    f.list.Evaluate();
    ASSERT_EQ(f.list.GetSize(), 2);
    const CSortInfo& second = *f.list.GetAt(1);
    EXPECT_EQ(second.GetAt(0)->m_DestFile, "a01.zip");
    EXPECT_EQ(second.GetAt(1)->m_DestFile, "a01.zip");
    EXPECT_FALSE(second.GetAt(1)->TestFlag(PF_RENAME));
    EXPECT_EQ(f.list.GetAt(0)->GetAt(1)->m_DestFile, "a.zip");
}

} // namespace
} // namespace zarvex
