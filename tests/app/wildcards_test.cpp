#include "app/wildcards.h"

#include "support/test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace zarvex {
namespace {

using Names = std::vector<std::string>;

TEST(Wildcards, OnlyTheFileNamePartCounts)
{
    EXPECT_TRUE(HasWildcards("*.txt"));
    EXPECT_TRUE(HasWildcards("/mail/part?.eml"));
    EXPECT_FALSE(HasWildcards("/mail*/inbox.txt"));
    EXPECT_FALSE(HasWildcards("plain.txt"));
}

TEST(Wildcards, MatchesRegularFilesInByteOrderKeepingTheFolderAsGiven)
{
    test::TempDir dir;
    dir.Write("b.txt", "");
    dir.Write("a.txt", "");
    dir.Write("B.TXT", "");
    dir.Write("a.eml", "");
    ASSERT_EQ(::mkdir((dir / "c.txt").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo((dir / "d.txt").c_str(), 0600), 0);
    const std::string base = dir.Path().string();
    EXPECT_EQ(ExpandWildcards(base + "/*.txt"), (Names{base + "/a.txt", base + "/b.txt"}));
    EXPECT_EQ(ExpandWildcards(base + "/?.*"),
              (Names{base + "/B.TXT", base + "/a.eml", base + "/a.txt", base + "/b.txt"}));
}

TEST(Wildcards, HiddenFilesNeedALeadingDotAndNoMatchGivesNothing)
{
    test::TempDir dir;
    dir.Write(".hidden.txt", "");
    dir.Write("shown.txt", "");
    const std::string base = dir.Path().string();
    EXPECT_EQ(ExpandWildcards(base + "/*.txt"), Names{base + "/shown.txt"});
    EXPECT_EQ(ExpandWildcards(base + "/.*.txt"), Names{base + "/.hidden.txt"});
    EXPECT_TRUE(ExpandWildcards(dir / "*.none").empty());
    EXPECT_TRUE(ExpandWildcards(dir / "missing/*.txt").empty());
}

} // namespace
} // namespace zarvex
