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

// In a text or Quoted-Printable part the separator makes the quoted subject
// renumber nothing; a plain text line clears the mark; elsewhere the
// separator is an ordinary line.
TEST_F(ScanRules, OriginalMessageSeparatorSkipsTheQuotedSubjectOfATextPart)
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

    OpenPartOfType(MT_TXT);
    SetLine("-----Original Message-----\n");
    scan::QuotedReply(state);
    EXPECT_TRUE(state.skipOriginalMessage);
    SetLine("Subject: old (1/2)\n");
    EXPECT_EQ(scan::SubjectLine(state), scan::Next::SkipLine);
    EXPECT_FALSE(state.skipOriginalMessage);
    EXPECT_EQ(state.current->m_Part, -1);
}

// An "end" line closes a Quoted-Printable part as UU only after a UU line;
// after text, or in a Base64 part, it is text.
TEST_F(ScanRules, EndLineInQuotedPrintableOrBase64Part)
{
    const std::string uu = UuLines(RandomBytes(45, 71))[0] + "\n";
    for (const auto& [type, before] : {std::pair{MT_QP, "See you soon.\n"},
                                       {MT_B64, "See you soon.\n"},
                                       {MT_B64, uu.c_str()},
                                       {MT_QP, uu.c_str()}}) {
        SCOPED_TRACE(before);
        OpenPartOfType(type);
        SetLine(before, true);
        SetLine("end\n");
        scan::KeywordLines(state);
        if (type != MT_QP || before != uu) {
            ASSERT_NE(state.current, nullptr);
            EXPECT_EQ(state.current->m_MsgType, type);
            EXPECT_EQ(state.found, 0);
            continue;
        }
        EXPECT_EQ(state.current, nullptr);
        EXPECT_EQ(state.found, 1);
        const auto parts = AllParts(list);
        ASSERT_EQ(parts.size(), 1u);
        EXPECT_EQ(parts[0]->m_MsgType, MT_UU);
        EXPECT_EQ(std::tie(parts[0]->m_Ends, parts[0]->m_Starts), std::make_tuple(1, 0));
    }
}

} // namespace
} // namespace zarvex::test
