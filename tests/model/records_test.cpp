#include "model/records.h"
#include "model/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace zarvex {
namespace {

std::vector<int> Numbers(const CFInfo& p)
{
    return {p.m_Part, p.m_Total, p.m_Group, p.m_GroupTotal};
}

TEST(CFInfo, SerialNumbersRiseAndCopiesTakeANewOne)
{
    const std::int32_t next = CFInfo::PeekNextSerial();
    CFInfo a, b;
    EXPECT_EQ(std::tie(a.m_ID, b.m_ID), std::make_tuple(next, next + 1));
    a.m_MsgType = MT_UU;
    a.m_Flags = PF_RENAME;
    a.m_DestFile = "x.zip";
    CFInfo copy(a);
    // A copy takes neither the encoding nor the flags.
    EXPECT_EQ(std::tie(copy.m_ID, copy.m_DestFile, copy.m_MsgType, copy.m_Flags),
              std::make_tuple(next + 2, "x.zip", 0u, 0u));
}

TEST(CFInfo, SameFileAcceptsUnknownTotals)
{
    CFInfo a, b;
    a.m_OrigName = b.m_OrigName = "f.rar";
    a.m_MsgType = b.m_MsgType = MT_YENC;
    a.m_Total = 5;
    for (int total : {-1, 0, 5, 6}) {
        b.m_Total = total;
        EXPECT_EQ(a.IsSameFile(b), total != 6) << total;
    }
}

// Numbers in the data that the subject also gives make the subject's pair
// the file numbers, and are cut from the subject. Leading zeros compare by
// value; numbers inside longer runs do not count.
TEST(CFInfo, FixNumbersFromDataTakesOnlyWholeSubjectNumbers)
{
    const std::tuple<const char*, const char*, std::vector<int>> cases[] = {
        {"(3/10) pics.rar (2/4)", "() pics.rar (2/4) (2/4)", {3, 10, 2, 4}},
        {"pics [03/10] (2/4)", "pics [] (2/4) (2/4)", {3, 10, 2, 4}},
        {"pics (2/4)", nullptr, {}},
        {"x 13/10 y (1/2)", nullptr, {}},
        {"x 3/100 y (1/2)", nullptr, {}},
        {"", nullptr, {}}};
    for (const auto& [subject, fixed, numbers] : cases) {
        CFInfo info;
        info.m_FullSubj = subject;
        info.m_Part = 2;
        info.m_Total = 4;
        SCOPED_TRACE(subject);
        EXPECT_EQ(info.FixNumbersFromData(3, 10), fixed != nullptr);
        EXPECT_EQ(info.m_FullSubj, fixed ? fixed : subject);
        EXPECT_EQ(Numbers(info), fixed ? numbers : std::vector<int>({2, 4, -1, -1}));
        EXPECT_EQ(info.m_Swapped, fixed ? 1 : 0);
    }
}

TEST(CSortInfo, FullSubjectLookupTellsNoneFromOthers)
{
    CSortInfo group;
    auto* part = new CFInfo;
    group.Init(part);
    EXPECT_EQ(group.IndexOfFullSubj("x"), -2);
    part->m_FullSubj = "Pics (1/2)";
    for (const auto& [subject, index] : {std::pair{"pics (1/2)", 0}, {"other", -1}, {"", -1}})
        EXPECT_EQ(group.IndexOfFullSubj(subject), index) << subject;
}

TEST(MyCObArray, InputNamesCompareExactly)
{
    Settings settings;
    MyCObArray list(settings);
    EXPECT_EQ(list.AddInputFile("/tmp/Mail.txt"), 0);
    EXPECT_EQ(list.AddInputFile("/tmp/mail.txt"), 0) << "Linux paths differ by case";
    EXPECT_EQ(list.AddInputFile("/tmp/Mail.txt"), -1);
    list.RemoveAll();
    EXPECT_TRUE(list.m_InputNames.empty());
    EXPECT_EQ(list.m_NextFileNumber, 1);
}

TEST(MsgTypeName, LowestNamedBitWins)
{
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0x22, "UU"}, {0x400, "Multi"}, {0, "?"}, {MT_FACE, "Face"}};
    for (const auto& [type, name] : cases)
        EXPECT_EQ(MsgTypeName(type), name) << type;
}

// Quoted values run to their closing quote, or continue on the next line
// (-1); unquoted ones end at ";", a zero byte, or white space before the
// next parameter (names with blanks come unquoted from some mailers). Stripping the
// path drops folders of both kinds, after encoded words are decoded (their
// Base64 text may hold a "/").
TEST(MimeValues, FileNames)
{
    const std::tuple<std::string, bool, int, const char*> cases[] = {// clang-format off
        {"\"my file.zip\"; size=3", false, 1, "my file.zip"}, {"\"a;b.zip\"", false, 1, "a;b.zip"},
        {"\"my long fi", false, -1, "my long fi"}, {"\"cut\nle.zip\"", false, -1, "cut"},
        {"plain.zip; size=3", false, 1, "plain.zip"}, {"My file.txt ; a=1", false, 1, "My file.txt"},
        {"plain.zip size=3", false, 1, "plain.zip"},
        {std::string("a.zip\0b", 7), false, 1, "a.zip"}, {"\"C:\\My Files\\x.zip\"", true, 1, "x.zip"},
        {"/etc/passwd", true, 1, "passwd"}, {"../../x.zip", true, 1, "x.zip"},
        {"dir/x.zip", false, 1, "dir/x.zip"}, {"dir/", true, 1, ""},
        {"\"=?utf-8?B?w78/LmpwZw==?=\"", true, 1, "\xC3\xBF?.jpg"},
        {"=?utf-8?B?ZC/Dv8O/LmpwZw==?=", true, 1, "\xC3\xBF\xC3\xBF.jpg"},
    }; // clang-format on
    for (const auto& [value, stripPath, result, expected] : cases) {
        CMimeInfo mime;
        EXPECT_EQ(mime.SetFileName(value, stripPath), result) << value;
        EXPECT_EQ(mime.m_FileName, expected) << value;
    }
}

// Other values end like names; all are capped at 1023 bytes.
TEST(MimeValues, OtherValues)
{
    CMimeInfo mime, quoted;
    EXPECT_EQ(std::make_pair(mime.SetBoundary("\"----=_Part"), mime.SetPartialID("\"id@host")), std::pair(-1, -1));
    mime.SetCharset("utf-8; format=flowed");
    quoted.SetCharset("\"ISO-8859-1\"");
    EXPECT_EQ(std::tie(mime.m_Charset, quoted.m_Charset), std::make_tuple("utf-8", "ISO-8859-1"));
    EXPECT_EQ(mime.SetPartialID("\"part.1@host\""), 1);
    EXPECT_EQ(mime.m_PartialID, "part.1@host");
    const std::string huge(5000, 'x');
    EXPECT_EQ(std::make_pair(mime.SetFileName(huge, false), mime.SetBoundary("\"" + huge + "\"")), std::pair(1, 1));
    EXPECT_EQ(std::make_pair(mime.m_FileName.size(), mime.m_Boundary.size()), std::make_pair(1023UL, 1023UL));
}

TEST(MimeBoundary, WithAndWithoutLeadingDashes)
{
    CMimeInfo mime;
    EXPECT_FALSE(mime.IsBoundary("--anything"));
    mime.SetBoundary("\"----=_Part_1\"");
    EXPECT_EQ(mime.m_Boundary, "----=_Part_1");
    const char* lines[] = {"------=_Part_1\n", "------=_Part_1--\n", "----=_Part_1", "--=_Part_1", "", "-"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(mime.IsBoundary(lines[i]), i < 3) << lines[i];
}

} // namespace
} // namespace zarvex
