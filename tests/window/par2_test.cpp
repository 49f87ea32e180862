#include "app/par2_repair.h"
#include "support/par2_posting.h"
#include "window_fixture.h"

namespace zarvex::test {
namespace {

// A posting of 10 yEnc parts whose part 4 never came, with recovery files
// for 20%: with "IgnoreIncomplete" on, the window writes it all the same,
// gap and all, par2 mends it, and the list and the summary show it whole.
TEST_F(WindowTest, Par2MendsAPostingThatLacksAPart)
{
    const std::string par2 = FindPar2Program();
    if (par2.empty()) GTEST_SKIP() << "par2 is not installed (scripts/install-deps.sh installs it)";
    const Bytes data = RandomBytes(100000, 7);
    std::string posting = Par2RecoveryArticles(data, "data.bin", par2, 20);
    ASSERT_FALSE(posting.empty());
    const auto parts = YencArticles(data, "data.bin", 10000);
    for (std::size_t n = 0; n < parts.size(); ++n)
        posting += n == 3 ? std::string() : parts[n];
    window->Preferences().core.IgnoreIncomplete = true;
    window->Preferences().core.StrictYenc = true;
    Read({posting}, "post");
    const std::string out = Mkdir("out");
    window->ExtractTo(out);
    EXPECT_BYTES_EQ(data, ReadFile(out + "/data.bin"));
    EXPECT_TRUE(window->Log()->View()->toPlainText().contains("par2 data.bin.par2: repaired 1 file"));
    EXPECT_TRUE(window->SummaryText().contains(" 0 incomplete")) << window->SummaryText().toStdString();
    EXPECT_EQ(window->OutputList()->topLevelItem(RowOf("data.bin"))->foreground(0).color(),
              QColor(0, 128, 0));
}

} // namespace
} // namespace zarvex::test
