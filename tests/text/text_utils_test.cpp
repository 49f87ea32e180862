#include "text/text_utils.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <ctime>
#include <filesystem>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace zarvex {
namespace {

std::int64_t LocalTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

// ------------------------------------------------------------------ dates

TEST(MessageDates, WeekdayAndZoneAreIgnored)
{
    EXPECT_EQ(ParseDate("Tue, 5 Dec 2006 10:20:30 +0100"), LocalTime(2006, 12, 5, 10, 20, 30));
}

TEST(MessageDates, TwoDigitYearsFold)
{
    EXPECT_EQ(ParseDate("5 Dec 06 10:20:30 GMT"), LocalTime(2006, 12, 5, 10, 20, 30));
    EXPECT_EQ(ParseDate("5 Dec 49 1:2:3 X"), LocalTime(2049, 12, 5, 1, 2, 3));
    EXPECT_EQ(ParseDate("5 Dec 99 1:2:3 X"), LocalTime(1999, 12, 5, 1, 2, 3));
}

TEST(MessageDates, MonthFirstForm)
{
    EXPECT_EQ(ParseDate("Dec 5 10:20:30 2006"), LocalTime(2006, 12, 5, 10, 20, 30));
}

TEST(MessageDates, OutOfRangeGivesZero)
{
    EXPECT_EQ(ParseDate("32 Dec 2006 10:20:30 X"), 0);
    EXPECT_EQ(ParseDate("5 Dec 1979 10:20:30 X"), 0);
    EXPECT_EQ(ParseDate("5 Dec 2051 10:20:30 X"), 0);
    EXPECT_EQ(ParseDate("5 Dec 2006 24:20:30 X"), 0);
    EXPECT_EQ(ParseDate("5 Dec 2006 10:60:30 X"), 0);
    EXPECT_EQ(ParseDate("5 Decemberrrrr 2006 10:20:30"), 0); // month text over 10 characters
    EXPECT_EQ(ParseDate("99999999999999999999 Dec 2006 10:20:30"), 0);
}

TEST(MessageDates, ShortOrEmptyTextGivesZero)
{
    EXPECT_EQ(ParseDate(""), 0);
    EXPECT_EQ(ParseDate("Tue, 5"), 0);
    EXPECT_EQ(ParseDate("abc"), 0);
    EXPECT_EQ(ParseDate("garbage text without a date"), 0);
}

TEST(MessageDates, MonthByItsFirstLetters)
{
    EXPECT_EQ(ParseDate("5 December 2006 10:20:30"), LocalTime(2006, 12, 5, 10, 20, 30));
    EXPECT_EQ(ParseDate("5 DEC 2006 10:20:30"), LocalTime(2006, 12, 5, 10, 20, 30));
    EXPECT_EQ(ParseDate("5 Xyz 2006 10:20:30"), LocalTime(2006, 1, 5, 10, 20, 30)); // unknown: January
}

TEST(MessageDates, MissingTimeCountsAsMidnight)
{
    EXPECT_EQ(ParseDate("5 Dec 2006"), LocalTime(2006, 12, 5, 0, 0, 0));
}

// ----------------------------------------------------------- header lines

bool Header(std::string_view line, bool strict)
{
    return IsHeaderOrSeparator(line.data(), static_cast<int>(line.size()), strict);
}

TEST(HeaderLines, MailboxSeparatorNeedsAnAddress)
{
    EXPECT_TRUE(Header("From joe@example.com Sat Jan  1 00:00:00 2000\n", true));
    EXPECT_FALSE(Header("From someone without address\n", true));
    EXPECT_FALSE(Header("from joe@example.com Sat Jan  1 00:00:00 2000\n", true));
}

TEST(HeaderLines, NameColonBlankValue)
{
    EXPECT_TRUE(Header("From: Joe <joe@example.com>\n", true));
    EXPECT_TRUE(Header("Subject: hello\n", true));
    EXPECT_TRUE(Header("subject: hello\n", true));
    EXPECT_TRUE(Header("Xyz: 1\n", false));
    EXPECT_FALSE(Header("Xyz: 1\n", true));
}

TEST(HeaderLines, LeadingWhiteSpaceIsNeither)
{
    EXPECT_FALSE(Header(" Subject: hello\n", false));
    EXPECT_FALSE(Header("\tcontinued\n", false));
    EXPECT_FALSE(Header("", false));
}

TEST(HeaderLines, WildcardEntriesMatchTheWholeLine)
{
    EXPECT_TRUE(Header("X-Whatever: 1", true));
    EXPECT_TRUE(Header("Content-Type: text/plain\n", true));
    EXPECT_TRUE(Header("NNTP-Posting-Host: news.example.com\n", true));
    EXPECT_FALSE(Header("Content-Type:text/plain", true));
    EXPECT_FALSE(Header("Xyz:1", true));
}

TEST(HeaderLines, FirstWhiteSpaceMustFollowAColon)
{
    EXPECT_FALSE(Header("Hello world\n", false));
    EXPECT_FALSE(Header("Subject:\tx\n", false));
    EXPECT_FALSE(Header("Article 123 of comp.misc\n", true));
}

TEST(HeaderLines, NoWhiteSpaceAtAllChecksTheTable)
{
    EXPECT_TRUE(Header("Status:RO", false));
    EXPECT_FALSE(Header("To:x", false));
    EXPECT_FALSE(Header("begin", false));
}

// ------------------------------------------------------- names, entities

TEST(NameUnescaping, EntitiesBecomeUtf8)
{
    EXPECT_EQ(UnescapeName("&Agrave;"), "\xC3\x80");
    EXPECT_EQ(UnescapeName("&agrave;"), "\xC3\xA0");
    EXPECT_EQ(UnescapeName("a&trade;b"), "ab");
    EXPECT_EQ(UnescapeName("a&shy;b"), "ab");
    EXPECT_EQ(UnescapeName("&euro;5"), "\xE2\x82\xAC"
                                       "5");
    EXPECT_EQ(UnescapeName("&bull;"), "\xE2\x80\xA2");
    EXPECT_EQ(UnescapeName("&OElig;&oelig;"), "\xC5\x92\xC5\x93");
    EXPECT_EQ(UnescapeName("&Yuml;&yuml;"), "\xC5\xB8\xC3\xBF");
    EXPECT_EQ(UnescapeName("Tom &AMP; Jerry"), "Tom & Jerry");
    EXPECT_EQ(UnescapeName("&quot;x&quot;"), "\"x\"");
}

TEST(NameUnescaping, UnknownEntitiesStay)
{
    EXPECT_EQ(UnescapeName("a&b"), "a&b");
    EXPECT_EQ(UnescapeName("&foo;"), "&foo;");
    EXPECT_EQ(UnescapeName("&"), "&");
    EXPECT_EQ(UnescapeName("&#;"), "&#;");
    EXPECT_EQ(UnescapeName("&#12345;"), "&#12345;");
}

TEST(NameUnescaping, NumericEntities)
{
    EXPECT_EQ(UnescapeName("&#65;"), "A");
    EXPECT_EQ(UnescapeName("&#233;"), "\xC3\xA9");
    EXPECT_EQ(UnescapeName("&#xE9;"), "\xC3\xA9");
    EXPECT_EQ(UnescapeName("&#X41;"), "A");
    EXPECT_EQ(UnescapeName("&#x20AC;"), "\xE2\x82\xAC");
    EXPECT_EQ(UnescapeName("&#150;"), "\xE2\x80\x93"); // Windows-1252 en dash
}

TEST(NameUnescaping, PercentEscapes)
{
    EXPECT_EQ(UnescapeName("a%20b"), "a b");
    EXPECT_EQ(UnescapeName("a%2fb%2Fc"), "a/b/c");
    EXPECT_EQ(UnescapeName("100%"), "100");
    EXPECT_EQ(UnescapeName("a%4"), "a4");
    EXPECT_EQ(UnescapeName("50%%"), "50%");
    EXPECT_EQ(UnescapeName("%zz.txt"), "%zz.txt");
    EXPECT_EQ(UnescapeName("plain.txt"), "plain.txt");
}

// ---------------------------------------------------------- encoded words

TEST(EncodedWords, Base64Utf8)
{
    EXPECT_EQ(DecodeHeaderText("=?utf-8?B?w6k=?="), "\xC3\xA9");
    EXPECT_EQ(DecodeHeaderText("=?UTF-8?b?w6k?="), "\xC3\xA9"); // no padding
}

TEST(EncodedWords, QuotedPrintableLatin1BecomesUtf8)
{
    EXPECT_EQ(DecodeHeaderText("=?iso-8859-1?Q?caf=E9?="), "caf\xC3\xA9");
    EXPECT_EQ(DecodeHeaderText("=?utf-8?Q?a_b=3F?="), "a b?");
    EXPECT_EQ(DecodeHeaderText("=?utf-8?q?=E2=82=AC?="), "\xE2\x82\xAC");
}

TEST(EncodedWords, Utf7)
{
    EXPECT_EQ(DecodeHeaderText("=?utf-7?Q?+AOk-?="), "\xC3\xA9");
    EXPECT_EQ(DecodeHeaderText("=?UTF-7?Q?a+-b?="), "a+b");
    EXPECT_EQ(DecodeHeaderText("=?utf-7?Q?+2D3eAA-?="), "\xF0\x9F\x98\x80"); // a surrogate pair
}

TEST(EncodedWords, ByteOrderMark)
{
    EXPECT_EQ(DecodeHeaderText("=?utf-8?B?77u/?="), "");
    EXPECT_EQ(DecodeHeaderText("=?x-unknown?B?77u/w6k=?="), "\xC3\xA9");
}

TEST(EncodedWords, SurroundingTextAndWhiteSpaceAreCopied)
{
    EXPECT_EQ(DecodeHeaderText("Re: =?utf-8?B?w6k=?= x"), "Re: \xC3\xA9 x");
    EXPECT_EQ(DecodeHeaderText("=?utf-8?Q?a?= =?utf-8?Q?b?="), "a b");
}

TEST(EncodedWords, MalformedWordsAreCopied)
{
    EXPECT_EQ(DecodeHeaderText("=?utf-8?X?abc?="), "=?utf-8?X?abc?=");
    EXPECT_EQ(DecodeHeaderText("a =? b"), "a =? b");
    EXPECT_EQ(DecodeHeaderText("x = y"), "x = y");
    EXPECT_EQ(DecodeHeaderText("=?utf-8?B?w6k="), "=?utf-8?B?w6k=");
    EXPECT_EQ(DecodeHeaderText("plain"), "plain");
}

TEST(EncodedWords, RawUtf8IsKept)
{
    EXPECT_EQ(DecodeHeaderText("\xEF\xBB\xBF"
                               "caf\xC3\xA9"),
              "caf\xC3\xA9");
    EXPECT_EQ(DecodeHeaderText("a \xE2\x80\x93 b"), "a \xE2\x80\x93 b");
}

TEST(EncodedWords, Recognition)
{
    EXPECT_TRUE(IsEncodedWord("=?utf-8?B?w6k=?="));
    EXPECT_TRUE(IsEncodedWord("=?utf-8?Q?=E9?="));
    EXPECT_TRUE(IsEncodedWord("x =?iso-8859-1?q?a?= y"));
    EXPECT_FALSE(IsEncodedWord("=?utf-8?X?abc?="));
    EXPECT_FALSE(IsEncodedWord("plain text"));
    EXPECT_TRUE(IsEncodedWord("a \xE2\x80\x93 b"));
}

TEST(EncodedWords, Utf8Test)
{
    EXPECT_TRUE(LooksLikeUtf8("\xEF\xBB\xBFx"));
    EXPECT_TRUE(LooksLikeUtf8("\xE2\x82\xAC"));
    EXPECT_FALSE(LooksLikeUtf8("caf\xE9"));
    EXPECT_FALSE(LooksLikeUtf8("\xE2"));
}

// ------------------------------------------------------------ temporaries

TEST(TempFiles, NamesAreNewAndDistinct)
{
    test::TempDir dir;
    const std::string a = MakeTempFile(dir.Path().string());
    const std::string b = MakeTempFile(dir.Path().string() + "/");
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    EXPECT_NE(a, b);
    EXPECT_TRUE(test::FileExists(a));
    EXPECT_TRUE(test::FileExists(b));
    const std::string name = std::filesystem::path(a).filename().string();
    EXPECT_EQ(name.substr(0, 4), "~ZRV");
    EXPECT_EQ(name.substr(name.size() - 4), ".TMP");
    EXPECT_EQ(std::filesystem::path(a).parent_path(), dir.Path());
    EXPECT_EQ(test::ReadFile(a), "");
}

TEST(TempFiles, ExistingFilesAreNeverTakenOver)
{
    test::TempDir dir;
    // Every name but one is taken: the one free name is found, and none of
    // the existing files is touched.
    const std::string kept = dir.Write("kept", "keep");
    for (int n = 0; n < 8192; ++n) {
        const std::string name = dir / ("~ZRV" + std::to_string(n) + ".TMP");
        if (n == 4321) continue;
        ASSERT_EQ(link(kept.c_str(), name.c_str()), 0);
    }
    const std::string made = MakeTempFile(dir.Path().string());
    EXPECT_EQ(made, dir / "~ZRV4321.TMP");
    EXPECT_EQ(test::ReadFile(dir / "~ZRV17.TMP"), "keep");
    // With every name taken nothing is created and nothing is returned.
    EXPECT_EQ(MakeTempFile(dir.Path().string()), "");
}

TEST(TempFiles, PlantedLinkIsNotFollowed)
{
    test::TempDir dir;
    const std::string target = dir.Write("target", "secret");
    for (int n = 0; n < 8192; ++n)
        std::filesystem::create_symlink(target, dir / ("~ZRV" + std::to_string(n) + ".TMP"));
    EXPECT_EQ(MakeTempFile(dir.Path().string()), "");
    EXPECT_EQ(test::ReadFile(target), "secret");
}

TEST(TempFiles, MissingFolderGivesNoName)
{
    test::TempDir dir;
    EXPECT_EQ(MakeTempFile(dir / "missing"), "");
}

TEST(TempFiles, TempDirectoryFromTmpdir)
{
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    setenv("TMPDIR", "/var/tmp/", 1);
    EXPECT_EQ(GetTempDirectory(), "/var/tmp");
    unsetenv("TMPDIR");
    EXPECT_EQ(GetTempDirectory(), "/tmp");
    if (old) setenv("TMPDIR", saved.c_str(), 1);
}

TEST(FolderCheck, MissingOrNotAFolderIsZero)
{
    test::TempDir dir;
    EXPECT_EQ(CanWriteDirectory(""), 0);
    EXPECT_EQ(CanWriteDirectory(dir / "missing"), 0);
    EXPECT_EQ(CanWriteDirectory(dir.Write("file", "x")), 0);
}

TEST(FolderCheck, WritableFolderIsTwoAndLeavesNoProbe)
{
    test::TempDir dir;
    EXPECT_EQ(CanWriteDirectory(dir.Path().string()), 2);
    EXPECT_EQ(CanWriteDirectory(dir.Path().string() + "/"), 2);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(FolderCheck, ReadOnlyFolderIsOne)
{
    test::TempDir dir;
    std::string path;
    if (geteuid() != 0) {
        path = dir / "ro";
        std::filesystem::create_directory(path);
        chmod(path.c_str(), 0555);
    } else if (std::filesystem::is_directory("/proc/self")) {
        path = "/proc/self"; // root may write anywhere except in file systems that refuse new files
    } else {
        GTEST_SKIP() << "running as root without /proc: no folder refuses new files";
    }
    EXPECT_EQ(CanWriteDirectory(path), 1);
    if (geteuid() != 0) chmod(path.c_str(), 0755);
}

TEST(Wiping, FileIsZeroedAndDeleted)
{
    test::TempDir dir;
    const std::string file = dir.Write("wipe.tmp", std::string(20000, 'x'));
    const std::string other = dir / "other-name";
    ASSERT_EQ(link(file.c_str(), other.c_str()), 0); // a second name shows what was written
    EXPECT_TRUE(WipeAndDeleteFile(file));
    EXPECT_FALSE(test::FileExists(file));
    EXPECT_EQ(test::ReadFile(other), std::string(20000, '\0'));
}

TEST(Wiping, LinkIsRemovedButItsTargetKept)
{
    test::TempDir dir;
    const std::string target = dir.Write("target", "secret");
    const std::string linkPath = dir / "~ZRV1.TMP";
    std::filesystem::create_symlink(target, linkPath);
    EXPECT_FALSE(WipeAndDeleteFile(linkPath));
    EXPECT_FALSE(std::filesystem::is_symlink(linkPath));
    EXPECT_EQ(test::ReadFile(target), "secret");
}

TEST(Wiping, FoldersAndMissingFilesAreLeftAlone)
{
    test::TempDir dir;
    EXPECT_FALSE(WipeAndDeleteFile(dir / "missing"));
    EXPECT_FALSE(WipeAndDeleteFile(dir.Path().string()));
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path()));
}

// -------------------------------------------------------------- compare

TEST(NumericCompare, DigitRunsCompareByValue)
{
    EXPECT_LT(NumericCompare("part2", "part10", 100, false, false, false), 0);
    EXPECT_GT(NumericCompare("part10", "part2", 100, false, false, false), 0);
    EXPECT_EQ(NumericCompare("a10", "a010", 100, false, false, false), 0);
    EXPECT_GT(NumericCompare("1000000000000000000000000000000", "9", 100, false, false, false), 0);
}

TEST(NumericCompare, Options)
{
    EXPECT_EQ(NumericCompare("ABC", "abc", 100, true, false, false), 0);
    EXPECT_NE(NumericCompare("ABC", "abc", 100, false, false, false), 0);
    EXPECT_EQ(NumericCompare("a 1", "a1", 100, false, true, false), 0);
    EXPECT_EQ(NumericCompare("a-1", "a_1", 100, false, false, true), 0);
    EXPECT_NE(NumericCompare("a-1", "a_1", 100, false, false, false), 0);
}

TEST(NumericCompare, LimitAndLength)
{
    EXPECT_EQ(NumericCompare("abcX", "abcY", 3, false, false, false), 0);
    EXPECT_LT(NumericCompare("abc", "abcd", 100, false, false, false), 0);
    EXPECT_EQ(NumericCompare("", "", 100, false, false, false), 0);
}

TEST(IntToString, PaddingAndSign)
{
    EXPECT_EQ(IntToString(5, 3), "005");
    EXPECT_EQ(IntToString(-5, 3), "-005");
    EXPECT_EQ(IntToString(0, 0), "0");
    EXPECT_EQ(IntToString(1234, 2), "1234");
    EXPECT_EQ(IntToString(7, 17), "7");
    EXPECT_EQ(IntToString(7, -1), "7");
    EXPECT_EQ(IntToString(LLONG_MIN, 0), "-9223372036854775808");
}

// --------------------------------------------------------------- streams

TEST(Streams, UserAttributesAreListedWithTheirSize)
{
    test::TempDir dir;
    const std::string file = dir.Write("f.txt", "data");
    if (setxattr(file.c_str(), "user.comment", "hello", 5, 0) != 0)
        GTEST_SKIP() << "no extended attributes here: " << errno;
    std::vector<std::string> lines;
    EXPECT_EQ(ListStreams(file, [&](const std::string& line) { lines.push_back(line); }), 1);
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(lines[0], "comment\t       5");
}

TEST(Streams, PlainFileHasNone)
{
    test::TempDir dir;
    const std::string file = dir.Write("f.txt", "data");
    const int r = ListStreams(file, [](const std::string&) { ADD_FAILURE(); });
    EXPECT_TRUE(r == 0 || r == -2);
}

TEST(Streams, FolderOrMissingFileIsMinusOne)
{
    test::TempDir dir;
    EXPECT_EQ(ListStreams(dir.Path().string(), nullptr), -1);
    EXPECT_EQ(ListStreams(dir / "missing", nullptr), -1);
}

} // namespace
} // namespace zarvex
