#include "platform/cleanup_list.h"
#include "support/test_support.h"

#include <filesystem>
#include <unistd.h>

namespace zarvex::test {
namespace {

// A hard link the test keeps shows what the wipe did to the file's bytes.
struct ListedFile
{
    ListedFile(const TempDir& dir, const std::string& name, std::size_t size)
        : path(dir.Write(name, RandomBytes(size, 7))), link(dir / (name + ".link"))
    {
        EXPECT_EQ(::link(path.c_str(), link.c_str()), 0);
    }
    bool WipedAndGone() const
    {
        const Bytes left = ReadFile(link);
        return !FileExists(path) && left.find_first_not_of('\0') == std::string::npos;
    }
    std::string path, link;
};

class CleanupListTest : public ::testing::Test
{
protected:
    TempDir dir;
    CleanupList list;
};
// Wiped at once, or on a thread.
class CleanupWipe : public CleanupListTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CleanupWipe, ListedFilesAreZeroFilledThenDeleted)
{
    const ListedFile a(dir, "viewed.jpg", 20'000), b(dir, "dragged.bin", 3);
    ASSERT_TRUE(list.Add(a.path, CleanupState::InViewer));
    ASSERT_TRUE(list.Add(b.path, CleanupState::Dragged));
    EXPECT_FALSE(list.Add(dir / "missing", CleanupState::Waiting));

    const bool done = list.DeleteState(CleanupState::InViewer, GetParam());
    EXPECT_EQ(done, GetParam()); // a wipe on a thread reports no success yet
    EXPECT_FALSE(FileExists(a.path)); // the name is free at once: renamed before the wipe
    list.WaitForWipes();
    list.Pass();
    EXPECT_TRUE(a.WipedAndGone());
    EXPECT_EQ(ReadFile(a.link).size(), 20'000u);
    EXPECT_TRUE(FileExists(b.path)); // another state is left alone
    ASSERT_EQ(list.Entries().size(), 1u);

    list.WipeAllNow();
    EXPECT_TRUE(b.WipedAndGone());
    EXPECT_TRUE(list.Entries().empty());
}

INSTANTIATE_TEST_SUITE_P(SyncAndThread, CleanupWipe, ::testing::Bool());

// A listed path that now names another file (replaced, or a link planted
// there) is forgotten without touching what it names.
TEST_F(CleanupListTest, NeverTouchesAFileItDidNotWrite)
{
    const std::string replaced = dir.Write("a.txt", "ours"), linked = dir.Write("b.txt", "ours too");
    const std::string victim = dir.Write("victim", "keep me");
    for (const std::string& path : {replaced, linked}) ASSERT_TRUE(list.Add(path, CleanupState::Waiting));
    WriteFile(replaced + ".new", "the user's own"); // saved over it the way editors do
    std::filesystem::rename(replaced + ".new", replaced);
    std::filesystem::remove(linked);
    std::filesystem::create_symlink(victim, linked);

    EXPECT_TRUE(list.DeleteState(CleanupState::Waiting, true));
    list.WipeAllNow();
    EXPECT_EQ(ReadFile(replaced), "the user's own");
    EXPECT_EQ(ReadFile(victim), "keep me");
    EXPECT_TRUE(std::filesystem::is_symlink(linked));
}

TEST_F(CleanupListTest, ARewriteFindsThePathFree)
{
    const ListedFile copy(dir, "copy.zip", 100);
    ASSERT_TRUE(list.Add(copy.path, CleanupState::InViewer));
    EXPECT_TRUE(list.ClearForRewrite(copy.path));
    EXPECT_TRUE(copy.WipedAndGone());
    EXPECT_TRUE(list.ClearForRewrite(dir / "never-listed"));
    WriteFile(copy.path, "new");
    ASSERT_TRUE(list.Add(copy.path, CleanupState::InViewer));
    list.Pass();
    EXPECT_EQ(list.Entries().size(), 1u);
}

} // namespace
} // namespace zarvex::test
