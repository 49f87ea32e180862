// Single rules of the scan driver, driven on a scan state directly: those
// whose parts (text and Quoted-Printable parts) come from MIME headers.
#include "scan_fixture.h"

#include "model/data_types.h"
#include "scan/scan_state.h"

#include <cstring>
#include <memory>

namespace zarvex::test {
namespace {

class ScanRules : public ScanTest
{
protected:
    ScanRules() : state(inputPath, list, settings, host) {}
    enum class LineBufView
    {
        Current,
        TwoBefore
    };

    void SetLine(LineBufView which, const std::string& text)
    {
        scan::LineBuf& buf = which == LineBufView::Current ? *state.cur : *state.prev2;
        std::memcpy(buf.text, text.data(), text.size());
        buf.text[text.size()] = '\0';
        buf.len = static_cast<int>(text.size());
        if (which == LineBufView::Current) state.SetLength(buf.len);
    }
    CFInfo& OpenPartOfType(std::uint32_t type)
    {
        state.current = std::make_unique<CFInfo>();
        state.current->m_MsgType = type;
        state.current->m_Starts = 1;
        return *state.current;
    }

    std::string inputPath = "input.txt";
    scan::ScanState state;
};

TEST_F(ScanRules, OriginalMessageSeparatorInATextPartSkipsTheQuotedSubject)
{
    OpenPartOfType(MT_TXT);
    SetLine(LineBufView::Current, "-----Original Message-----\n");
    scan::QuotedReply(state);
    EXPECT_TRUE(state.skipOriginalMessage);

    SetLine(LineBufView::Current, "Subject: old (1/2)\n");
    EXPECT_EQ(scan::SubjectLine(state), scan::Next::SkipLine);
    EXPECT_FALSE(state.skipOriginalMessage);
    EXPECT_EQ(state.current->m_Part, -1); // the quoted subject renumbered nothing
}

TEST_F(ScanRules, SeparatorOutsideTextPartsIsOrdinary)
{
    OpenPartOfType(MT_UU);
    SetLine(LineBufView::Current, "-----Original Message-----\n");
    scan::QuotedReply(state);
    EXPECT_FALSE(state.skipOriginalMessage);
}

TEST_F(ScanRules, TextLineAfterTheSeparatorClearsTheMark)
{
    OpenPartOfType(MT_QP);
    SetLine(LineBufView::Current, "-----Original Message-----\n");
    scan::QuotedReply(state);
    SetLine(LineBufView::Current, "Thanks for the pictures.\n");
    scan::QuotedReply(state);
    EXPECT_FALSE(state.skipOriginalMessage);
}

TEST_F(ScanRules, EndInQuotedPrintablePartCountsAfterAUuLine)
{
    OpenPartOfType(MT_QP);
    SetLine(LineBufView::TwoBefore, UuLines(RandomBytes(45, 71))[0] + "\n");
    SetLine(LineBufView::Current, "end\n");
    scan::KeywordLines(state);
    EXPECT_EQ(state.current, nullptr);
    EXPECT_EQ(state.found, 1);
    const auto parts = AllParts(list);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].msgType, MT_UU);
    EXPECT_EQ(parts[0].ends, 1);
    EXPECT_EQ(parts[0].starts, 0);
}

TEST_F(ScanRules, EndInQuotedPrintablePartAfterTextIsText)
{
    OpenPartOfType(MT_QP);
    SetLine(LineBufView::TwoBefore, "See you soon.\n");
    SetLine(LineBufView::Current, "end\n");
    scan::KeywordLines(state);
    ASSERT_NE(state.current, nullptr);
    EXPECT_EQ(state.current->m_MsgType, MT_QP);
    EXPECT_EQ(state.found, 0);
}

TEST_F(ScanRules, EndInBase64PartIsText)
{
    OpenPartOfType(MT_B64);
    SetLine(LineBufView::Current, "end\n");
    scan::KeywordLines(state);
    EXPECT_NE(state.current, nullptr);
}

} // namespace
} // namespace zarvex::test
