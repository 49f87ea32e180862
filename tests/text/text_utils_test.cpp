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
    tm.tm_year = year - 1900, tm.tm_mon = month - 1, tm.tm_mday = day;
    tm.tm_hour = hour, tm.tm_min = minute, tm.tm_sec = second, tm.tm_isdst = -1;
    return std::mktime(&tm);
}

// Two-digit years fold into 1950-2049; weekday and zone are ignored; an
// unknown month is January; month text over 10 characters is refused.
TEST(MessageDates, ParseOrGiveZero)
{
    // clang-format off
    const struct { const char* text; int year, month, day, hour, minute, second; } dates[] = {
        {"Tue, 5 Dec 2006 10:20:30 +0100", 2006, 12, 5, 10, 20, 30},
        {"5 Dec 06 10:20:30 GMT", 2006, 12, 5, 10, 20, 30}, {"5 Dec 49 1:2:3 X", 2049, 12, 5, 1, 2, 3},
        {"5 Dec 99 1:2:3 X", 1999, 12, 5, 1, 2, 3}, {"Dec 5 10:20:30 2006", 2006, 12, 5, 10, 20, 30},
        {"5 December 2006 10:20:30", 2006, 12, 5, 10, 20, 30},
        {"5 DEC 2006 10:20:30", 2006, 12, 5, 10, 20, 30}, {"5 Xyz 2006 10:20:30", 2006, 1, 5, 10, 20, 30},
        {"5 Dec 2006", 2006, 12, 5, 0, 0, 0}
    };
    // clang-format on
    for (const auto& d : dates)
        EXPECT_EQ(ParseDate(d.text), LocalTime(d.year, d.month, d.day, d.hour, d.minute, d.second)) << d.text;
    for (const char* bad :
         {"32 Dec 2006 10:20:30 X", "5 Dec 1979 10:20:30 X", "5 Dec 2051 10:20:30 X", "5 Dec 2006 24:20:30 X",
          "5 Dec 2006 10:60:30 X", "5 Decemberrrrr 2006 10:20:30", "99999999999999999999 Dec 2006 10:20:30",
          "", "Tue, 5", "abc", "garbage text without a date"})
        EXPECT_EQ(ParseDate(bad), 0) << bad;
}

// A mailbox separator needs an address and a capital F; otherwise name,
// colon, blank, value (unknown names only when not strict); wildcard entries
// match the whole line; without white space after a colon the table decides.
TEST(HeaderLines, RecognisedByTheTableOrNameColonBlank)
{
    // clang-format off
    const struct { std::string_view line; bool strict, header; } cases[] = {
        {"From joe@example.com Sat Jan  1 00:00:00 2000\n", true, true},
        {"From someone without address\n", true, false},
        {"from joe@example.com Sat Jan  1 00:00:00 2000\n", true, false},
        {"From: Joe <joe@example.com>\n", true, true}, {"subject: hello\n", true, true},
        {"Xyz: 1\n", false, true}, {"Xyz: 1\n", true, false}, {" Subject: hello\n", false, false},
        {"\tcontinued\n", false, false}, {"", false, false}, {"X-Whatever: 1", true, true},
        {"Content-Type: text/plain\n", true, true}, {"NNTP-Posting-Host: news.example.com\n", true, true},
        {"Content-Type:text/plain", true, false}, {"Xyz:1", true, false}, {"Hello world\n", false, false},
        {"Subject:\tx\n", false, false}, {"Article 123 of comp.misc\n", true, false},
        {"Status:RO", false, true}, {"To:x", false, false}, {"begin", false, false}
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(IsHeaderOrSeparator(c.line.data(), static_cast<int>(c.line.size()), c.strict), c.header)
            << c.line;
}

// Unknown entities stay; numeric ones 128-159 are Windows-1252; a lone or
// broken percent escape loses its percent sign, "%%" gives one.
TEST(NameUnescaping, EntitiesAndPercentEscapesBecomeUtf8)
{
    // clang-format off
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"&Agrave;&agrave;", "\xC3\x80\xC3\xA0"}, {"a&trade;b&shy;c", "abc"}, {"&euro;5", "\xE2\x82\xAC" "5"},
        {"&bull;", "\xE2\x80\xA2"}, {"&OElig;&oelig;&Yuml;&yuml;", "\xC5\x92\xC5\x93\xC5\xB8\xC3\xBF"},
        {"Tom &AMP; Jerry &quot;x&quot;", "Tom & Jerry \"x\""}, {"a&b", "a&b"}, {"&foo;", "&foo;"},
        {"&", "&"}, {"&#;", "&#;"}, {"&#12345;", "&#12345;"}, {"&#65;&#X41;", "AA"},
        {"&#233;&#xE9;", "\xC3\xA9\xC3\xA9"}, {"&#x20AC;", "\xE2\x82\xAC"}, {"&#150;", "\xE2\x80\x93"},
        {"a%20b", "a b"}, {"a%2fb%2Fc", "a/b/c"}, {"100%", "100"}, {"a%4", "a4"}, {"50%%", "50%"},
        {"%zz.txt", "%zz.txt"}, {"plain.txt", "plain.txt"}
    };
    // clang-format on
    for (const auto& [in, out] : cases)
        EXPECT_EQ(UnescapeName(in), out) << in;
}

// `word` tells whether IsEncodedWord finds something to decode.
TEST(EncodedWords, DecodedToUtf8AndMalformedOnesCopied)
{
    // clang-format off
    const struct { std::string_view in, out; bool word; } cases[] = {
        {"=?utf-8?B?w6k=?=", "\xC3\xA9", true}, {"=?UTF-8?b?w6k?=", "\xC3\xA9", true}, // no padding
        {"=?iso-8859-1?Q?caf=E9?=", "caf\xC3\xA9", true}, {"=?utf-8?Q?a_b=3F?=", "a b?", true},
        {"=?utf-8?q?=E2=82=AC?=", "\xE2\x82\xAC", true}, {"=?utf-7?Q?+AOk-?=", "\xC3\xA9", true},
        {"=?UTF-7?Q?a+-b?=", "a+b", true},
        {"=?utf-7?Q?+2D3eAA-?=", "\xF0\x9F\x98\x80", true}, // a surrogate pair
        {"=?utf-7?B?0KFPaPay?=", "\uFFFD\uFFFDOh\uFFFD\uFFFD", true}, // 8-bit bytes are not UTF-7
        {"=?utf-8?B?77u/?=", "", true}, // a byte order mark alone
        {"=?x-unknown?B?77u/w6k=?=", "\xC3\xA9", true}, {"Re: =?utf-8?B?w6k=?= x", "Re: \xC3\xA9 x", true},
        // Blanks between words go; a character split between two words is whole.
        {"=?utf-8?Q?a?= \t =?utf-8?Q?b?=", "ab", true}, {"=?utf-8?Q?=C3?=\n =?utf-8?B?qQ==?=", "\xC3\xA9", true},
        {"=?utf-8?Q?a?= x =?utf-8?Q?b?=", "a x b", true}, {"=?utf-8?X?abc?=", "=?utf-8?X?abc?=", false},
        // The names real mail gives its character sets.
        {"=?ks_c_5601-1987?Q?=C7=D1?=", "\xED\x95\x9C", true}, {"=?gb2312?Q?=D6=D0?=", "\xE4\xB8\xAD", true},
        {"=?x-sjis?Q?=93=FA?=", "\xE6\x97\xA5", true}, {"=?iso-2022-jp?B?GyRCRnwbKEI=?=", "\xE6\x97\xA5", true},
        {"=?koi8-r?Q?=F1?=", "\xD0\xAF", true}, {"=?windows-1251?Q?=DF?=", "\xD0\xAF", true},
        {"=?x-no-such-set?Q?caf=E9?=", "caf\xC3\xA9", true}, {"=?utf-8*en?Q?a?=", "a", true},
        {"a =? b", "a =? b", false}, {"x = y", "x = y", false}, {"=?utf-8?B?w6k=", "=?utf-8?B?w6k=", false},
        {"plain", "plain", false}, {"\xEF\xBB\xBF" "caf\xC3\xA9", "caf\xC3\xA9", true},
        {"a \xE2\x80\x93 b", "a \xE2\x80\x93 b", true}
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeHeaderText(c.in), c.out) << c.in;
        EXPECT_EQ(IsEncodedWord(c.in), c.word) << c.in;
    }
    for (const auto& [text, utf8] : {std::pair{"\xEF\xBB\xBFx", true}, std::pair{"\xE2\x82\xAC", true},
                                     std::pair{"caf\xE9", false}, std::pair{"\xE2", false}})
        EXPECT_EQ(LooksLikeUtf8(text), utf8) << text;
}

TEST(TempFiles, NamesAreNewAndDistinct)
{
    test::TempDir dir;
    const std::string a = MakeTempFile(dir.Path().string());
    const std::string b = MakeTempFile(dir.Path().string() + "/");
    EXPECT_NE(a, b);
    EXPECT_TRUE(test::FileExists(a) && test::FileExists(b));
    EXPECT_EQ(std::filesystem::path(a).parent_path(), dir.Path());
    EXPECT_EQ(test::ReadFile(a), "");
    EXPECT_EQ(MakeTempFile(dir / "missing"), "");
}

// Every name of the short range is taken by a file or a planted link (as
// anyone who can write the folder can do): a free name of another number is
// found, no link is followed and no file touched.
TEST(TempFiles, ExistingFilesAndPlantedLinksAreNeverTakenOver)
{
    test::TempDir dir;
    const std::string target = dir.Write("target", "secret");
    for (int n = 0; n < 8192; ++n) {
        const std::string name = dir / ("~ZRV" + std::to_string(n) + ".TMP");
        if (n % 2)
            std::filesystem::create_symlink(target, name);
        else
            ASSERT_EQ(link(target.c_str(), name.c_str()), 0);
    }
    const std::string made = MakeTempFile(dir.Path().string());
    ASSERT_FALSE(made.empty());
    const std::string name = made.substr(made.rfind('/') + 1);
    EXPECT_TRUE(IsTempFileName(name)) << name;
    EXPECT_GE(std::stoll(name.substr(4)), 8192) << name;
    EXPECT_EQ(test::ReadFile(target), "secret");
    EXPECT_EQ(test::ReadFile(made), "");
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

TEST(FolderCheck, WritableFolderIsTwoLeavingNoProbeAndMissingOrNotAFolderIsZero)
{
    test::TempDir dir;
    EXPECT_EQ(CanWriteDirectory(dir.Path().string()), 2);
    EXPECT_EQ(CanWriteDirectory(dir.Path().string() + "/"), 2);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
    EXPECT_EQ(CanWriteDirectory(""), 0);
    EXPECT_EQ(CanWriteDirectory(dir / "missing"), 0);
    EXPECT_EQ(CanWriteDirectory(dir.Write("file", "x")), 0);
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

// Links, folders and missing files are not wiped (the zero fill of a file
// is seen through the cleanup list, which wipes with this function).
TEST(Wiping, NoLinkFolderOrMissingFile)
{
    test::TempDir dir;
    const std::string target = dir.Write("target", "secret");
    const std::string linkPath = dir / "~ZRV1.TMP";
    std::filesystem::create_symlink(target, linkPath);
    EXPECT_FALSE(WipeAndDeleteFile(linkPath));
    EXPECT_FALSE(std::filesystem::is_symlink(linkPath));
    EXPECT_EQ(test::ReadFile(target), "secret"); // the link is removed, its target kept
    EXPECT_FALSE(WipeAndDeleteFile(dir / "missing"));
    EXPECT_FALSE(WipeAndDeleteFile(dir.Path().string()));
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path()));
}

TEST(NumericCompare, DigitRunsByValueAndOptions)
{
    // clang-format off
    const struct { const char *a, *b; std::size_t n; bool ignoreCase, skipSpaces, alnumOnly; int sign; } cases[] = {
        {"part2", "part10", 100, false, false, false, -1}, {"part10", "part2", 100, false, false, false, 1},
        {"a10", "a010", 100, false, false, false, 0},
        {"1000000000000000000000000000000", "9", 100, false, false, false, 1},
        {"ABC", "abc", 100, true, false, false, 0}, {"ABC", "abc", 100, false, false, false, 2},
        {"a 1", "a1", 100, false, true, false, 0}, {"a-1", "a_1", 100, false, false, true, 0},
        {"a-1", "a_1", 100, false, false, false, 2}, {"abcX", "abcY", 3, false, false, false, 0},
        {"abc", "abcd", 100, false, false, false, -1}, {"", "", 100, false, false, false, 0}};
    // clang-format on
    for (const auto& c : cases) {
        const int r = NumericCompare(c.a, c.b, c.n, c.ignoreCase, c.skipSpaces, c.alnumOnly);
        EXPECT_TRUE(c.sign == 2 ? r != 0 : (r > 0) - (r < 0) == c.sign) << c.a << " ~ " << c.b; // 2: unequal
    }
}

TEST(IntToString, PaddingAndSign)
{
    const std::tuple<long long, int, const char*> cases[] = {
        {5, 3, "005"}, {-5, 3, "-005"}, {0, 0, "0"}, {1234, 2, "1234"}, {7, 17, "7"}, {7, -1, "7"},
        {LLONG_MIN, 0, "-9223372036854775808"}};
    for (const auto& [n, width, text] : cases)
        EXPECT_EQ(IntToString(n, width), text) << n << " " << width;
}

TEST(Streams, UserAttributesAreListedWithTheirSize)
{
    test::TempDir dir;
    const std::string file = dir.Write("f.txt", "data");
    const int none = ListStreams(file, [](const std::string&) { ADD_FAILURE(); });
    EXPECT_TRUE(none == 0 || none == -2);
    EXPECT_EQ(ListStreams(dir.Path().string(), nullptr), -1);
    EXPECT_EQ(ListStreams(dir / "missing", nullptr), -1);
    if (setxattr(file.c_str(), "user.comment", "hello", 5, 0) != 0)
        GTEST_SKIP() << "no extended attributes here: " << errno;
    std::vector<std::string> lines;
    EXPECT_EQ(ListStreams(file, [&](const std::string& line) { lines.push_back(line); }), 1);
    EXPECT_EQ(lines, std::vector<std::string>{"comment\t       5"});
}

} // namespace
} // namespace zarvex
