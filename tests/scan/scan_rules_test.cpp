// Single rules of the scan driver, driven on a scan state directly: those
// whose parts (text and Quoted-Printable parts) come from MIME headers.
#include "scan_fixture.h"

#include "model/data_types.h"

#include "scan/scan_state.h"
#include <tuple>

#include <cstring>
#include <memory>

namespace zarvex::test {
namespace {

class ScanRules : public ScanTest
{
protected:
    ScanRules() : state(inputPath, list, settings, run, host) {}

    // Puts `text` into the current line buffer, or into the one two lines back.
    void SetLine(const std::string& text, bool twoBefore = false)
    {
        scan::LineBuf& buf = twoBefore ? *state.prev2 : *state.cur;
        std::memcpy(buf.text, text.data(), text.size());
        buf.text[text.size()] = '\0';
        buf.len = static_cast<int>(text.size());
        if (!twoBefore) state.SetLength(buf.len);
    }
    void OpenPartOfType(std::uint32_t type)
    {
        state.current = std::make_unique<CFInfo>();
        state.current->m_MsgType = type;
        state.current->m_Starts = 1;
    }

    std::string inputPath = "input.txt";
    scan::ScanState state;
};

TEST_F(ScanRules, OriginalMessageSeparatorInATextPartSkipsTheQuotedSubject)
{
    OpenPartOfType(MT_TXT);
    SetLine("-----Original Message-----\n");
    scan::QuotedReply(state);
    EXPECT_TRUE(state.skipOriginalMessage);

    SetLine("Subject: old (1/2)\n");
    EXPECT_EQ(scan::SubjectLine(state), scan::Next::SkipLine);
    EXPECT_FALSE(state.skipOriginalMessage);
    EXPECT_EQ(state.current->m_Part, -1); // the quoted subject renumbered nothing
}

TEST_F(ScanRules, SeparatorOutsideTextPartsIsOrdinaryAndATextLineClearsTheMark)
{
    OpenPartOfType(MT_UU);
    SetLine("-----Original Message-----\n");
    scan::QuotedReply(state);
    EXPECT_FALSE(state.skipOriginalMessage);

    OpenPartOfType(MT_QP);
    scan::QuotedReply(state);
    ASSERT_TRUE(state.skipOriginalMessage);
    SetLine("Thanks for the pictures.\n");
    scan::QuotedReply(state);
    EXPECT_FALSE(state.skipOriginalMessage);
}

TEST_F(ScanRules, EndInQuotedPrintablePartCountsAfterAUuLine)
{
    OpenPartOfType(MT_QP);
    SetLine(UuLines(RandomBytes(45, 71))[0] + "\n", true);
    SetLine("end\n");
    scan::KeywordLines(state);
    EXPECT_EQ(state.current, nullptr);
    EXPECT_EQ(state.found, 1);
    const auto parts = AllParts(list);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0]->m_MsgType, MT_UU);
    EXPECT_EQ(std::tie(parts[0]->m_Ends, parts[0]->m_Starts), std::make_tuple(1, 0));
}

TEST_F(ScanRules, EndInQuotedPrintablePartAfterTextOrInBase64IsText)
{
    for (const std::uint32_t type : {MT_QP, MT_B64}) {
        SCOPED_TRACE(type);
        OpenPartOfType(type);
        SetLine("See you soon.\n", true);
        SetLine("end\n");
        scan::KeywordLines(state);
        ASSERT_NE(state.current, nullptr);
        EXPECT_EQ(state.current->m_MsgType, type);
        EXPECT_EQ(state.found, 0);
    }
}

} // namespace
} // namespace zarvex::test
