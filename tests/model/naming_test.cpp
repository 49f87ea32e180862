#include "model/naming.h"
#include "model/records.h"
#include "model/settings.h"
#include "model/subject_rename.h"
#include "part_builder.h"
#include "text/display_text.h"

#include <gtest/gtest.h>

#include <ctime>
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
    // clang-format off
    const std::pair<std::string, const char*> cases[] = {
        {"C:\\temp\\a*b?.zip", "ab.zip"}, {"pic.", "pic"}, {"a.b.c.jpg", "a.b.c.jpg"},
        {"say \"hi\" <now>|.txt", "say hi now.txt"}, {"con", ""}, {"LPT1", ""}, {"com", "com"},
        {"lptx", "lptx"}, {"con.txt", "con.txt"}, {".zip", "file01.zip"}, {"???", "file01"},
        {"my%20file.zip", "my file.zip"},
        {"%2e%2e", "file01"}, {"dGVzdA==.txt", "test.txt"}, {"Li4veA==.txt", "x.txt"},
        {"AAECAw==.bin", "AAECAw==.bin"}, {"../../etc/passwd", "passwd"}, {"..", "file01"}, {".", "file01"},
        {"/", "file01"}, {"dir\\..\\..\\boot.ini", "boot.ini"}, {"..hidden", "_..hidden"},
        {"x/.profile", "file01.profile"}, {"caf\xE9.txt", "caf\xC3\xA9.txt"},
        {"caf\xC3\xA9.txt", "caf\xC3\xA9.txt"}, {std::string("a\0b\x01\x1f\x7f.txt", 10), "ab.txt"}};
    // clang-format on
    for (const auto& [name, expected] : cases) EXPECT_EQ(Clean(name), expected) << name;
    for (const char* hostile :
         {"\\", "..\\..", "./.", "..%2F", "a/", "%00", "..%2F..%2Fetc%2Fpasswd", "\xFF\xFE\x80.bin"})
        ExpectPlainName(Clean(hostile));
}

TEST(CleanName, ShortNamesAndKeptEscapes)
{
    Settings shortNames, keep;
    shortNames.Force8 = true;
    keep.StripPercent = keep.DecodeUTF8 = false;
    EXPECT_EQ(Clean("a.b.c.jpg", shortNames), "a_b_c.jpg");
    EXPECT_EQ(Clean("holidaypictures2021.jpeg", shortNames), "holi2021.jpe");
    EXPECT_EQ(Clean("my file+1.txt", shortNames), "myfile1.txt");
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
    for (int i = 0; i < 150; ++i) accents += "\xC3\xA9";
    for (const auto& [stem, ext] : {std::pair{std::string(250, 'b'), std::string(".extension")}, {accents, ".txt"}}) {
        const std::string cut = Clean(stem + ext);
        ExpectPlainName(cut);
        EXPECT_EQ(cut.substr(cut.size() - ext.size()), ext);
    }
}

// ------------------------------------------------------------ made names

class Naming : public ::testing::Test, protected ListFixture
{
protected:
    // A group that already uses `name`.
    void Use(const std::string& name) { list.NewGroup()->Init(MakePart({.name = name})); }
    std::unique_ptr<CFInfo> TextPart(std::uint32_t msgType = MT_TXT)
    {
        return std::unique_ptr<CFInfo>(MakePart({.msgType = msgType}));
    }
    // Adds one-part postings under their own subjects (or parts of them) and evaluates.
    void AddAndEvaluate(const std::vector<PartFields>& parts)
    {
        for (const PartFields& s : parts) ASSERT_EQ(Add(s), 1) << s.name;
        list.Evaluate();
    }
};

TEST_F(Naming, MadeUpNamesCountOnFromTheListsNumber)
{
    EXPECT_EQ(MakeName(list, DT_JPG, "", nullptr), "file01.jpg");
    Use("file01.jpg");
    EXPECT_EQ(MakeName(list, DT_JPG, "", nullptr), "file04.jpg");
    EXPECT_EQ(list.m_NextFileNumber, 3);
}

// Names in use compare without case; a made-up name counts on.
TEST_F(Naming, SuffixesOnlyWhenRenamingIsAskedFor)
{
    settings.NoAutoRename = true;
    Use("pic.jpg");
    EXPECT_EQ(MakeName(list, DT_JPG, "pic.jpg", nullptr), "pic.jpg");
    settings.NoAutoRename = false;
    EXPECT_EQ(MakeName(list, DT_JPG, "Pic.JPG", nullptr), "Pic01.JPG");
    Use("file05.zip");
    EXPECT_EQ(MakeName(list, DT_ZIP, "file05.zip", nullptr), "file06.zip");
}

TEST_F(Naming, ExtensionOfAnotherTypeIsReplaced)
{
    const std::tuple<int, const char*, const char*> cases[] = {// clang-format off
        {DT_JPG, "photo.gif", "photo.jpg"}, {DT_JPG, "photo.holiday", "photo.holiday"},
        {DT_MSAPP, "sheet.xls", "sheet.xls"}, {DT_MSAPP, "sheet", "sheet.doc"}, {DT_UNKNOWN, "notes", "notes"}
    }; // clang-format on
    for (const auto& [dataType, name, expected] : cases)
        EXPECT_EQ(MakeName(list, dataType, name, nullptr), expected);
}

TEST_F(Naming, HostileBaseNamesStayInside)
{
    settings.NoAutoRename = false;
    Use("a." + std::string(300, 'e'));
    EXPECT_EQ(MakeName(list, DT_UNKNOWN, "a.\xE9", nullptr), "a.\xC3\xA9");
    for (const std::string& name :
         {"a." + std::string(300, 'e'), std::string("a.\xE9\xFF"), std::string("../../etc/passwd"),
          std::string(".."), std::string("/"), std::string("a/../../b.zip"), std::string(400, 'x')})
        ExpectPlainName(MakeName(list, DT_ZIP, name, nullptr));
}

// ------------------------------------------------------------ entry steps

// Volume numbers keep their extension; a tail too long for an extension is
// none; "apl" data always ends in ".apl".
TEST_F(Naming, FixExtension)
{
    const std::tuple<const char*, int, bool, const char*> cases[] = {// clang-format off
        {"data.001", DT_ZIP, false, "data.001"}, {"data.x", DT_ZIP, true, "data.zip"},
        {"archive.verylongext", DT_ZIP, true, "archive.verylongext.zip"},
        {"tool.exe", DT_APL, true, "tool.apl"},
    }; // clang-format on
    for (const auto& [name, dataType, changed, expected] : cases) {
        std::unique_ptr<CFInfo> part(MakePart(UuPart(name, 1, 1, 1)));
        part->m_DataType = dataType;
        EXPECT_EQ(FixExtension(list, *part), changed) << name;
        EXPECT_EQ(part->m_DestFile, expected);
    }
}

TEST_F(Naming, MultipartWithoutExtensionIsTypedAtEvaluation)
{
    PartFields first = UuPart("photo", 1, 3, 1);
    first.dataType = DT_JPG;
    ASSERT_EQ(list.AddPart(MakePart(first)), 1);
    EXPECT_TRUE(list.GetAt(0)->GetAt(0)->TestFlag(PF_RETYPE));
    AddAndEvaluate({UuPart("photo", 2, 3, 2), UuPart("photo", 3, 3, 3)});
    const CSortInfo& group = *list.GetAt(0);
    EXPECT_EQ(group.GetAt(0)->m_DestFile, "photo.jpg");
    EXPECT_FALSE(group.GetAt(0)->TestFlag(PF_RETYPE));
    EXPECT_TRUE(group.HasName("photo.jpg"));
    EXPECT_FALSE(group.HasName("photo"));
}

// A subject is not a path; a date and a long subject go into the name.
TEST_F(Naming, TextMessageNames)
{
    test::UtcZone zone;
    const struct { int dataType; std::string subject; std::int64_t time; std::string name; } cases[] = {
        {DT_UNKNOWN, "", 0, "message1.txt"}, {DT_UNKNOWN, "pics (1/2) of c:\\x", 0, "message1-pics (12) of cx.txt"},
        {DT_HTM, "", 0, "message1.htm"}, {DT_UNKNOWN, "", 1700000000, "message(14-Nov-2023).txt"},
        {DT_UNKNOWN, std::string(150, 's'), 1700000000, "message-" + std::string(100, 's') + "(14-Nov-2023).txt"}};
    for (const auto& c : cases) {
        auto part = TextPart();
        part->m_DataType = c.dataType;
        part->m_FullSubj = c.subject;
        part->m_Time = c.time;
        NameTextMessage(list, *part, nullptr);
        EXPECT_EQ(part->m_DestFile, c.name);
        EXPECT_EQ(part->m_DataType, c.dataType == DT_UNKNOWN ? DT_TXT : c.dataType);
    }
    CSortInfo group;
    group.Init(MakePart({.name = "message1.txt"}));
    auto inGroup = TextPart();
    NameTextMessage(list, *inGroup, &group);
    EXPECT_EQ(inGroup->m_DestFile, "message11.txt");
}

TEST_F(Naming, FaceImageNames)
{
    auto xface = TextPart(MT_XFACE), face = TextPart(MT_FACE);
    face->m_From = "../joe@example.org";
    NameFaceImage(*xface, settings);
    NameFaceImage(*face, settings);
    EXPECT_EQ(xface->m_DestFile, "X-Face.bmp");
    EXPECT_EQ(face->m_DestFile, "Face-..joe@example.org.png");
}

// ------------------------------------------------------------ renaming

// Clashing names get numbered names; names ending in a digit get letters.
TEST_F(Naming, ClashingFilesGetUniqueNames)
{
    settings.NoAutoRename = false;
    const char* const names[] = {"pic.jpg", "pic.jpg", "pic.jpg", "pic1.jpg", "pic1.jpg"};
    const char* const expected[] = {"pic.jpg", "pic01.jpg", "pic02.jpg", "pic1.jpg", "pic1aa.jpg"};
    std::vector<PartFields> posts;
    for (int i = 0; i < 5; ++i)
        posts.push_back({.subject = "subject " + std::to_string(i), .fullSubject = "subject " + std::to_string(i),
                         .name = names[i], .dataType = DT_JPG, .part = 1, .total = 1, .starts = 1, .ends = 1,
                         .slot = i + 1});
    AddAndEvaluate(posts);
    ASSERT_EQ(list.GetSize(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(list.GetAt(i)->GetAt(0)->m_DestFile, expected[i]);
        EXPECT_TRUE(list.GetAt(i)->HasName(expected[i]));
    }
}

TEST_F(Naming, LaterPartsOfARenamedFileFollowTheFirst)
{
    settings.NoAutoRename = false;
    std::vector<PartFields> parts;
    for (int slot : {1, 2, 11, 12}) {
        parts.push_back(test::YencPart("a.zip", 2 - slot % 2, 2, slot));
        parts.back().subject = parts.back().fullSubject = slot < 10 ? "first" : "second";
        parts.back().starts = 1;
    }
    AddAndEvaluate(parts);
    ASSERT_EQ(list.GetSize(), 2);
    const CSortInfo& second = *list.GetAt(1);
    EXPECT_EQ(second.GetAt(0)->m_DestFile, "a01.zip");
    EXPECT_EQ(second.GetAt(1)->m_DestFile, "a01.zip");
    EXPECT_FALSE(second.GetAt(1)->TestFlag(PF_RENAME));
    EXPECT_EQ(list.GetAt(0)->GetAt(1)->m_DestFile, "a.zip");
}

// ------------------------------------------------------------ names from subjects

struct RuleCase { const char* subject; const char* fileName; SubjectRenameOptions options; const char* expected; };

SubjectRenameOptions With(void (*set)(SubjectRenameOptions&))
{
    SubjectRenameOptions o;
    set(o);
    return o;
}

const SubjectRenameOptions kAllRules = With([](SubjectRenameOptions& o) {
    o.RemoveSquareBrackets = o.RemoveSquareParens = o.RemoveFilename = o.RemoveTrailingDigits = true;
});

TEST(SubjectRename, RealSubjectsBuildTheName)
{
    const RuleCase cases[] = {
        {"Holiday [1/5] \xE2\x80\x9C" "dsc0042.jpg\xE2\x80\x9D yEnc (123 Kbytes)", "dsc0042.jpg", kAllRules, "Holiday"},
        {"Holiday [1/5] \"dsc0042.jpg\" yEnc (123 Kbytes)", "dsc0042.jpg", kAllRules, "Holiday"},
        // Nesting counts every enabled kind; a closing bracket at depth 0 is text.
        {"a [b (c] d) e] f", "x", With([](auto& o) { o.RemoveSquareBrackets = o.RemoveSquareParens = true; }),
         "a  e] f"},
        {"a [b (c] d) e] f", "x", With([](auto& o) { o.RemoveSquareBrackets = true; }), "a  d) e] f"},
        {"unclosed [rest of it", "x", kAllRules, "unclosed"},
        // "yEnc" goes wherever it stands, in any case.
        {"YENCpics yenc of Trip", "x", SubjectRenameOptions(), "pics  of Trip"},
        // Size words and trailing numbers.
        {"Trip video 1.4 Mbytes", "x", kAllRules, "Trip video"}, {"Trip video 700k", "x", kAllRules, "Trip video"},
        {"Trip 2006", "x", kAllRules, "Trip"}, {"Trip2006", "x", kAllRules, "Trip2006"},
        {"Trip 12, 345 bytes 5 Kb", "x", kAllRules, "Trip"},
        // Patterns: the last match is cut.
        {"a (1/2) b (3/4) c", "x", With([](auto& o) { o.RemovePattern = "(#/#)"; }), "a (12) b  c"},
        {"keep this", "x", With([](auto& o) { o.RemovePattern = "zz"; }), "keep this"},
        // Dropped characters, whole UTF-8 characters included.
        {"na\xC3\xAFve_file-x", "x", With([](auto& o) { o.RemoveChars = "_\xC3\xAF"; }), "navefile-x"},
        {"a  b   c", "x", With([](auto& o) { o.RemoveSpaces = true; }), "a b c"},
        {"photo.jpg from Bob", "photo.jpg", With([](auto& o) { o.AddFilename = true; }), "photo.jpg from Bob"},
        {"from Bob", "photo.jpg", With([](auto& o) { o.AddFilename = true; }), "from Bob_photo.jpg"},
        // A subject that cleans down to nothing gives no name.
        {"[1/5] yEnc (12 Kbytes)", "x", kAllRules, ""},
        // The result is one plain name.
        {"../../etc/passwd", "x", SubjectRenameOptions(), "_....etcpasswd"}};
    for (const RuleCase& c : cases) {
        int number = 1;
        EXPECT_EQ(BuildName({c.fileName, c.subject, "", 0}, c.options, Settings(), number), c.expected) << c.subject;
    }
}

TEST(SubjectRename, RangesPickCharactersInTheOrderGiven)
{
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"abcdefghijklmn", "1-4,10-", "abcdjklmn"}, {"abcdefghijklmn", "1", "abcdefghijklmn"},
        {"abcdefghijklmn", "", "abcdefghijklmn"},   {"abcdefghijklmn", " 3 , 1 - 2 ", "cab"},
        {"abc", "2-99,7", "bc"}, {"abcdef", "2-3;5", "bc"}, {"abcdef", "99999999999-", ""}};
    for (const auto& [text, range, expected] : cases) EXPECT_EQ(ApplyRange(text, range), expected) << range;
}

TEST(SubjectRename, FormatsDatesNumbersAndAuthors)
{
    std::tm tm{};
    tm.tm_year = 2006 - 1900, tm.tm_mon = 2, tm.tm_mday = 5;
    tm.tm_hour = 7, tm.tm_min = 8, tm.tm_sec = 9, tm.tm_isdst = -1;
    const RenameSource source{"f.jpg", "Trip", "bob@example.org", static_cast<std::int64_t>(std::mktime(&tm))};
    SubjectRenameOptions options;
    options.NameFormat = "%y-%m-%d %s";
    int number = 1;
    EXPECT_EQ(BuildName(source, options, Settings(), number), "2006-03-05 Trip");
    EXPECT_EQ(Format("%h%n%c %a %f 100%% %q %", source, number), "070809 bob@example.org f.jpg 100% %q %");

    options.NameFormat = "%s %#";
    for (const char* expected : {"Trip 01", "Trip 02", "Trip 03"})
        EXPECT_EQ(BuildName(source, options, Settings(), number), expected);
}

} // namespace
} // namespace zarvex
