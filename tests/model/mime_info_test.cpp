#include "model/records.h"

#include <gtest/gtest.h>

#include <string>

namespace zarvex {
namespace {

TEST(MimeValues, QuotedValueRunsToItsClosingQuote)
{
    CMimeInfo mime;
    EXPECT_EQ(mime.SetFileName("\"my file.zip\"; size=3", false), 1);
    EXPECT_EQ(mime.m_FileName, "my file.zip");
    EXPECT_EQ(mime.SetFileName("\"a;b.zip\"", false), 1);
    EXPECT_EQ(mime.m_FileName, "a;b.zip");
}

TEST(MimeValues, QuotedValueContinuesOnTheNextLine)
{
    CMimeInfo mime;
    EXPECT_EQ(mime.SetFileName("\"my long fi", false), -1);
    EXPECT_EQ(mime.m_FileName, "my long fi");
    EXPECT_EQ(mime.SetFileName("\"cut\nle.zip\"", false), -1);
    EXPECT_EQ(mime.m_FileName, "cut");
    EXPECT_EQ(mime.SetBoundary("\"----=_Part"), -1);
    EXPECT_EQ(mime.SetPartialID("\"id@host"), -1);
}

TEST(MimeValues, UnquotedValueEndsAtWhiteSpaceOrSemicolon)
{
    CMimeInfo mime;
    EXPECT_EQ(mime.SetFileName("plain.zip; size=3", false), 1);
    EXPECT_EQ(mime.m_FileName, "plain.zip");
    EXPECT_EQ(mime.SetFileName("plain.zip more", false), 1);
    EXPECT_EQ(mime.m_FileName, "plain.zip");
    EXPECT_EQ(mime.SetFileName(std::string_view("a.zip\0b", 7), false), 1);
    EXPECT_EQ(mime.m_FileName, "a.zip");
    mime.SetCharset("utf-8; format=flowed");
    EXPECT_EQ(mime.m_Charset, "utf-8");
    mime.SetCharset("\"ISO-8859-1\"");
    EXPECT_EQ(mime.m_Charset, "ISO-8859-1");
    EXPECT_EQ(mime.SetPartialID("\"part.1@host\""), 1);
    EXPECT_EQ(mime.m_PartialID, "part.1@host");
}

TEST(MimeValues, StripPathDropsFoldersOfBothKinds)
{
    CMimeInfo mime;
    mime.SetFileName("\"C:\\My Files\\x.zip\"", true);
    EXPECT_EQ(mime.m_FileName, "x.zip");
    mime.SetFileName("/etc/passwd", true);
    EXPECT_EQ(mime.m_FileName, "passwd");
    mime.SetFileName("../../x.zip", true);
    EXPECT_EQ(mime.m_FileName, "x.zip");
    mime.SetFileName("dir/x.zip", false);
    EXPECT_EQ(mime.m_FileName, "dir/x.zip");
    mime.SetFileName("dir/", true);
    EXPECT_EQ(mime.m_FileName, "");
}

TEST(MimeValues, EncodedWordNamesAreDecodedBeforeFoldersAreStripped)
{
    CMimeInfo mime;
    // The Base64 text holds "/", which is no folder separator.
    mime.SetFileName("\"=?utf-8?B?w78/LmpwZw==?=\"", true);
    EXPECT_EQ(mime.m_FileName, "\xC3\xBF?.jpg");
    // A decoded folder part is still dropped.
    mime.SetFileName("=?utf-8?B?ZC/Dv8O/LmpwZw==?=", true);
    EXPECT_EQ(mime.m_FileName, "\xC3\xBF\xC3\xBF.jpg");
}

TEST(MimeValues, ValuesAreCappedAt1023Bytes)
{
    CMimeInfo mime;
    const std::string huge(5000, 'x');
    EXPECT_EQ(mime.SetFileName(huge, false), 1);
    EXPECT_EQ(mime.m_FileName.size(), 1023U);
    EXPECT_EQ(mime.SetBoundary("\"" + huge + "\""), 1);
    EXPECT_EQ(mime.m_Boundary.size(), 1023U);
}

TEST(MimeBoundary, WithAndWithoutLeadingDashes)
{
    CMimeInfo mime;
    EXPECT_FALSE(mime.IsBoundary("--anything"));
    mime.SetBoundary("\"----=_Part_1\"");
    EXPECT_EQ(mime.m_Boundary, "----=_Part_1");
    EXPECT_TRUE(mime.IsBoundary("------=_Part_1\n"));
    EXPECT_TRUE(mime.IsBoundary("------=_Part_1--\n"));
    EXPECT_TRUE(mime.IsBoundary("----=_Part_1"));
    EXPECT_FALSE(mime.IsBoundary("--=_Part_1"));
    EXPECT_FALSE(mime.IsBoundary(""));
    EXPECT_FALSE(mime.IsBoundary("-"));
}

} // namespace
} // namespace zarvex
