#include "model/records.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace zarvex {
namespace {

// Quoted values run to their closing quote, or continue on the next line
// (-1); unquoted ones end at white space, ";" or a zero byte. Stripping the
// path drops folders of both kinds, after encoded words are decoded (their
// Base64 text may hold a "/").
TEST(MimeValues, FileNames)
{
    const std::tuple<std::string, bool, int, const char*> cases[] = {// clang-format off
        {"\"my file.zip\"; size=3", false, 1, "my file.zip"}, {"\"a;b.zip\"", false, 1, "a;b.zip"},
        {"\"my long fi", false, -1, "my long fi"}, {"\"cut\nle.zip\"", false, -1, "cut"},
        {"plain.zip; size=3", false, 1, "plain.zip"}, {"plain.zip more", false, 1, "plain.zip"},
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
    CMimeInfo mime;
    EXPECT_EQ(mime.SetBoundary("\"----=_Part"), -1);
    EXPECT_EQ(mime.SetPartialID("\"id@host"), -1);
    mime.SetCharset("utf-8; format=flowed");
    EXPECT_EQ(mime.m_Charset, "utf-8");
    mime.SetCharset("\"ISO-8859-1\"");
    EXPECT_EQ(mime.m_Charset, "ISO-8859-1");
    EXPECT_EQ(mime.SetPartialID("\"part.1@host\""), 1);
    EXPECT_EQ(mime.m_PartialID, "part.1@host");
    const std::string huge(5000, 'x');
    EXPECT_EQ(mime.SetFileName(huge, false), 1);
    EXPECT_EQ(mime.SetBoundary("\"" + huge + "\""), 1);
    EXPECT_EQ(std::make_pair(mime.m_FileName.size(), mime.m_Boundary.size()), std::make_pair(1023UL, 1023UL));
}

TEST(MimeBoundary, WithAndWithoutLeadingDashes)
{
    CMimeInfo mime;
    EXPECT_FALSE(mime.IsBoundary("--anything"));
    mime.SetBoundary("\"----=_Part_1\"");
    EXPECT_EQ(mime.m_Boundary, "----=_Part_1");
    for (const char* line : {"------=_Part_1\n", "------=_Part_1--\n", "----=_Part_1"})
        EXPECT_TRUE(mime.IsBoundary(line)) << line;
    for (const char* line : {"--=_Part_1", "", "-"})
        EXPECT_FALSE(mime.IsBoundary(line)) << line;
}

} // namespace
} // namespace zarvex
