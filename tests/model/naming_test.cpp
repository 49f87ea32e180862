#include "model/naming.h"
#include "model/records.h"
#include "model/settings.h"
#include "part_builder.h"
#include "text/display_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <vector>

namespace zarvex {
namespace {

using test::ListFixture;
using test::MakePart;
using test::PartSpec;
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
    EXPECT_NE(name, ".");
    EXPECT_NE(name, "..");
    EXPECT_NE(name[0], '.') << name;
    EXPECT_TRUE(IsValidUtf8(name)) << name;
}

TEST(CleanName, FoldersAndForbiddenCharactersGo)
{
    EXPECT_EQ(Clean("C:\\temp\\a*b?.zip"), "ab.zip");
    EXPECT_EQ(Clean("C:\\x\\y.txt"), "y.txt");
    EXPECT_EQ(Clean("pic."), "pic");
    EXPECT_EQ(Clean("a.b.c.jpg"), "a.b.c.jpg");
    EXPECT_EQ(Clean("say \"hi\" <now>|.txt"), "say hi now.txt");
}

TEST(CleanName, ShortNames)
{
    Settings settings;
    settings.Force8 = true;
    EXPECT_EQ(Clean("a.b.c.jpg", settings), "a_b_c.jpg");
    EXPECT_EQ(Clean("holidaypictures2021.jpeg", settings), "holi2021.jpe");
    EXPECT_EQ(Clean("my file+1.txt", settings), "myfile1.txt");
}

TEST(CleanName, DeviceNamesAreRefused)
{
    EXPECT_EQ(Clean("con"), "");
    EXPECT_EQ(Clean("LPT1"), "");
    EXPECT_EQ(Clean("com"), "com");
    EXPECT_EQ(Clean("lptx"), "lptx");
    EXPECT_EQ(Clean("con.txt"), "con.txt");
}

TEST(CleanName, EmptyStemGetsAFileName)
{
    EXPECT_EQ(Clean(".zip"), "file01.zip");
    EXPECT_EQ(Clean("???"), "file01");
}

TEST(CleanName, EscapesAreDecodedThenCleaned)
{
    EXPECT_EQ(Clean("my%20file.zip"), "my file.zip");
    Settings keep;
    keep.StripPercent = false;
    keep.DecodeUTF8 = false;
    EXPECT_EQ(Clean("my%20file.zip", keep), "my%20file.zip");
    ExpectPlainName(Clean("..%2F..%2Fetc%2Fpasswd"));
    EXPECT_EQ(Clean("%2e%2e"), "file01");
}

TEST(CleanName, Base64WordIsDecodedAndCleanedAgain)
{
    EXPECT_EQ(Clean("dGVzdA==.txt"), "test.txt");
    EXPECT_EQ(Clean("Li4veA==.txt"), "x.txt") << "the decoded \"../x\" is cleaned like any name";
    EXPECT_EQ(Clean("AAECAw==.bin"), "AAECAw==.bin") << "bytes that are not text stay encoded";
}

TEST(CleanName, HostileNamesBecomePlainNames)
{
    EXPECT_EQ(Clean("../../etc/passwd"), "passwd");
    EXPECT_EQ(Clean(".."), "file01");
    EXPECT_EQ(Clean("."), "file01");
    EXPECT_EQ(Clean("/"), "file01");
    EXPECT_EQ(Clean("dir\\..\\..\\boot.ini"), "boot.ini");
    EXPECT_EQ(Clean(std::string("a\0b\x01\x1f\x7f.txt", 10)), "ab.txt");
    EXPECT_EQ(Clean("..hidden"), "_..hidden");
    EXPECT_EQ(Clean("x/.profile"), "file01.profile");
    for (const char* hostile :
         {"../../etc/passwd", "..", ".", "/", "\\", "..\\..", "./.", "..%2F", "a/", "%00"})
        ExpectPlainName(Clean(hostile));
}

TEST(CleanName, LongNamesAreCutToTheLimitKeepingTheExtension)
{
    const std::string name = Clean(std::string(300, 'a') + "123.jpg");
    EXPECT_EQ(name.size(), 236u + 4u);
    EXPECT_EQ(name.substr(name.size() - 7), "123.jpg");
    // A stem just under the cut, with a long extension, still fits 255 bytes.
    const std::string longExt = Clean(std::string(250, 'b') + ".extension");
    ExpectPlainName(longExt);
    EXPECT_EQ(longExt.substr(longExt.size() - 10), ".extension");
}

TEST(CleanName, CutsNeverSplitAUtf8Character)
{
    std::string stem;
    for (int i = 0; i < 150; ++i)
        stem += "\xC3\xA9"; // é
    const std::string name = Clean(stem + ".txt");
    ExpectPlainName(name);
    EXPECT_EQ(name.substr(name.size() - 4), ".txt");
}

TEST(CleanName, EightBitNamesBecomeUtf8)
{
    EXPECT_EQ(Clean("caf\xE9.txt"), "caf\xC3\xA9.txt");
    EXPECT_EQ(Clean("caf\xC3\xA9.txt"), "caf\xC3\xA9.txt") << "valid UTF-8 stays";
    ExpectPlainName(Clean("\xFF\xFE\x80.bin"));
}

// ------------------------------------------------------------ made names

class MakeNames : public ::testing::Test, protected ListFixture
{
protected:
    // A group that already uses `name`.
    void Use(const std::string& name)
    {
        CSortInfo* group = list.NewGroup();
        PartSpec s;
        s.name = name;
        group->Init(MakePart(s));
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
    settings.NoAutoRename = false;
    Use("pic.jpg");
    EXPECT_EQ(MakeName(list, DT_JPG, "pic.jpg", nullptr), "pic01.jpg");
    Use("pic01.jpg");
    EXPECT_EQ(MakeName(list, DT_JPG, "pic.jpg", nullptr), "pic02.jpg");
    Use("PIC1.JPG");
    EXPECT_EQ(MakeName(list, DT_JPG, "pic1.jpg", nullptr), "pic1aa.jpg");
    Use("file05.zip");
    EXPECT_EQ(MakeName(list, DT_ZIP, "file05.zip", nullptr), "file06.zip");
}

TEST_F(MakeNames, NoAutoRenameKeepsGivenNames)
{
    settings.NoAutoRename = true;
    Use("pic.jpg");
    EXPECT_EQ(MakeName(list, DT_JPG, "pic.jpg", nullptr), "pic.jpg");
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
    const std::vector<std::string> hostile = {"../../etc/passwd", "..", "/", "a/../../b.zip",
                                              std::string(400, 'x')};
    for (const std::string& name : hostile)
        ExpectPlainName(MakeName(list, DT_ZIP, name, nullptr));
}

// ------------------------------------------------------------ entry steps

class NamingSteps : public ::testing::Test, protected ListFixture
{
};

TEST_F(NamingSteps, VolumeNumbersKeepTheirExtension)
{
    PartSpec s = UuPart("data.001", 1, 1, 1);
    std::unique_ptr<CFInfo> part(MakePart(s));
    EXPECT_FALSE(FixExtension(list, *part));
    EXPECT_EQ(part->m_DestFile, "data.001");
    part->m_DestFile = "data.x";
    EXPECT_TRUE(FixExtension(list, *part));
    EXPECT_EQ(part->m_DestFile, "data.zip");
}

TEST_F(NamingSteps, LongTailIsNoExtension)
{
    std::unique_ptr<CFInfo> part(MakePart(UuPart("archive.verylongext", 1, 1, 1)));
    EXPECT_TRUE(FixExtension(list, *part));
    EXPECT_EQ(part->m_DestFile, "archive.verylongext.zip");
}

TEST_F(NamingSteps, AplAlwaysEndsInApl)
{
    std::unique_ptr<CFInfo> part(MakePart(UuPart("tool.exe", 1, 1, 1)));
    part->m_DataType = DT_APL;
    FixExtension(list, *part);
    EXPECT_EQ(part->m_DestFile, "tool.apl");
}

TEST_F(NamingSteps, MultipartWithoutExtensionIsTypedAtEvaluation)
{
    for (int n : {1, 2, 3}) {
        PartSpec s = UuPart("photo", n, 3, n);
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
    std::unique_ptr<CFInfo> part(MakePart(PartSpec{}));
    part->m_MsgType = MT_TXT;
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
}

TEST_F(NamingSteps, DatedTextMessageName)
{
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "UTC", 1);
    tzset();
    std::unique_ptr<CFInfo> part(MakePart(PartSpec{}));
    part->m_MsgType = MT_TXT;
    part->m_Time = 1700000000; // 14 Nov 2023
    NameTextMessage(list, *part, nullptr);
    EXPECT_EQ(part->m_DestFile, "message(14-Nov-2023).txt");
    part->m_DestFile.clear();
    part->m_FullSubj = std::string(150, 's');
    NameTextMessage(list, *part, nullptr);
    EXPECT_EQ(part->m_DestFile, "message-" + std::string(100, 's') + "(14-Nov-2023).txt");
    if (old) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

TEST_F(NamingSteps, TextMessageNumberedInItsGroup)
{
    CSortInfo group;
    PartSpec s;
    s.name = "message1.txt";
    group.Init(MakePart(s));
    std::unique_ptr<CFInfo> part(MakePart(PartSpec{}));
    part->m_MsgType = MT_TXT;
    NameTextMessage(list, *part, &group);
    EXPECT_EQ(part->m_DestFile, "message11.txt");
}

TEST_F(NamingSteps, FaceImageNames)
{
    std::unique_ptr<CFInfo> part(MakePart(PartSpec{}));
    part->m_MsgType = MT_XFACE;
    NameFaceImage(*part, settings);
    EXPECT_EQ(part->m_DestFile, "X-Face.bmp");
    part->m_DestFile.clear();
    part->m_MsgType = MT_FACE;
    part->m_From = "../joe@example.org";
    NameFaceImage(*part, settings);
    EXPECT_EQ(part->m_DestFile, "Face-..joe@example.org.png");
}

// ------------------------------------------------------------ renaming

class Renaming : public ::testing::Test, protected ListFixture
{
protected:
    Renaming() { settings.NoAutoRename = false; }
    void AddSingle(const std::string& name, const std::string& subject, int slot)
    {
        PartSpec s = UuPart(name, 1, 1, slot);
        s.subject = subject;
        s.fullSubject = subject;
        s.dataType = DT_JPG;
        ASSERT_EQ(list.AddPart(MakePart(s)), 1);
    }
};

TEST_F(Renaming, ClashingFilesGetNumberedNames)
{
    AddSingle("pic.jpg", "first", 1);
    AddSingle("pic.jpg", "second", 2);
    AddSingle("pic.jpg", "third", 3);
    list.Evaluate();
    ASSERT_EQ(list.GetSize(), 3);
    EXPECT_EQ(list.GetAt(0)->GetAt(0)->m_DestFile, "pic.jpg");
    EXPECT_EQ(list.GetAt(1)->GetAt(0)->m_DestFile, "pic01.jpg");
    EXPECT_EQ(list.GetAt(2)->GetAt(0)->m_DestFile, "pic02.jpg");
    EXPECT_TRUE(list.GetAt(2)->HasName("pic02.jpg"));
}

TEST_F(Renaming, NamesEndingInADigitGetLetters)
{
    AddSingle("pic1.jpg", "first", 1);
    AddSingle("pic1.jpg", "second", 2);
    list.Evaluate();
    EXPECT_EQ(list.GetAt(1)->GetAt(0)->m_DestFile, "pic1aa.jpg");
}

TEST_F(Renaming, LaterPartsOfARenamedFileFollowTheFirst)
{
    for (const char* subject : {"first", "second"})
        for (int n : {1, 2}) {
            PartSpec s = UuPart("a.zip", n, 2, n + (subject[0] == 's' ? 10 : 0));
            s.subject = subject;
            s.fullSubject = subject;
            s.msgType = MT_YENC;
            s.name = "a.zip";
            s.starts = s.ends = 1;
            ASSERT_EQ(list.AddPart(MakePart(s)), 1);
        }
    list.Evaluate();
    ASSERT_EQ(list.GetSize(), 2);
    const CSortInfo& second = *list.GetAt(1);
    EXPECT_EQ(second.GetAt(0)->m_DestFile, "a01.zip");
    EXPECT_EQ(second.GetAt(1)->m_DestFile, "a01.zip");
    EXPECT_FALSE(second.GetAt(1)->TestFlag(PF_RENAME));
    EXPECT_EQ(list.GetAt(0)->GetAt(1)->m_DestFile, "a.zip");
}

} // namespace
} // namespace zarvex
