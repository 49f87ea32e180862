// Recursive decoding and the clipboard input file: decoded text that holds
// encoded files, and pasted text, through the scanner and the engine.
#include "extract_fixture.h"
#include "scan/clipboard_file.h"
#include "scan/input_sources.h"

namespace zarvex::test {
namespace {

const Bytes kInner = RandomBytes(2000, 21);

class Recursion : public ExtractTest
{
protected:
    Recursion() { engine.SetClipboardFile(&clipboard); }

    // A posting of a UU-encoded mailbox named `outer` that holds `inner`, UU-encoded.
    std::string NestedPosting(const std::string& outer, const std::string& inner)
    {
        return dir.Write("in-" + outer + std::to_string(++m_Inputs),
                         Mail(outer, UuFile(Mail("inner", UuFile(kInner, inner)), outer)));
    }

    ClipboardFile clipboard{dir.Path().string()};
    InputContext ctx{list, settings, run, host};

private:
    int m_Inputs = 0;
};

TEST_F(Recursion, MailboxHoldingAFileOfItsOwnNameIsDecodedInPlaceAfterYes)
{
    host.answers = {button::Yes};
    EXPECT_EQ(ScanAndExtract({NestedPosting("box.txt", "box.txt")}), 1) << host.PlainLog();
    EXPECT_EQ(host.Asked(Prompt::RecursiveFound), 1);
    const auto files = Written();
    ASSERT_EQ(files.size(), 1u) << "no temporary file is left";
    EXPECT_BYTES_EQ(kInner, files.at("box.txt"));
}

TEST_F(Recursion, OuterFileIsKeptWhenTheNestedOneYieldsNothing)
{
    const std::string mailbox = Mail("inner", "begin 644 box.txt\n`\nend\n");
    host.answers = {button::Yes};
    EXPECT_EQ(ScanAndExtract({dir.Write("in", Mail("box.txt", UuFile(mailbox, "box.txt")))}), 1);
    ASSERT_EQ(host.Asked(Prompt::RecursiveFound), 1);
    EXPECT_EQ(Written(), (std::map<std::string, Bytes>{{"box.txt", mailbox}}));
}

TEST_F(Recursion, NestedFileOfAnotherNameGoesToTheClipboardFile)
{
    host.answers = {button::Yes, button::Ok};
    EXPECT_EQ(ScanAndExtract({NestedPosting("box.txt", "other.bin")}), 0);
    ASSERT_EQ(host.Asked(Prompt::ClipboardNameDiffers), 1);
    EXPECT_NE(host.asked.back().second.find("other.bin"), std::string::npos);
    EXPECT_TRUE(Written().empty()) << "the mailbox moved to the clipboard file";
    // The Extract command rescans the clipboard file after its loop.
    EXPECT_EQ(clipboard.RescanIfChanged(ctx), 1);
    EXPECT_EQ(clipboard.RescanIfChanged(ctx), 0) << "nothing new";
    Restart();
    EXPECT_EQ(ScanAndExtract({clipboard.Path()}), 1);
    EXPECT_BYTES_EQ(kInner, Written().at("other.bin"));
}

TEST_F(Recursion, NoWithShiftEndsTheQuestionsForTheRestOfTheCommand)
{
    for (const bool shift : {false, true}) {
        SCOPED_TRACE(shift);
        Restart();
        host.asked.clear();
        run.RecursiveDecoding = true; // the start of an Extract command
        host.shift = shift;
        EXPECT_EQ(ScanAndExtract({NestedPosting("a.txt", "a.txt"), NestedPosting("b.txt", "b.txt")}), 2);
        EXPECT_EQ(host.Asked(Prompt::RecursiveFound), shift ? 1 : 2);
        EXPECT_EQ(run.RecursiveDecoding, !shift);
    }
}

TEST_F(Recursion, LongLinesOfPastedTextAreRewrappedWithoutLosingACharacter)
{
    const Bytes payload = RandomBytes(3780, 22);
    const std::string body = "Content-Type: application/octet-stream; name=\"pay.bin\" "
                             "Content-Transfer-Encoding: base64 " +
                             Base64Encode(payload);
    ASSERT_GT(body.size(), 5000u);
    const std::string text = "From: poster@example.org\nSubject: pasted\nMIME-Version: 1.0\n" + body + "\n";
    ASSERT_TRUE(AddClipboardText(clipboard, text, ctx));
    EXPECT_EQ(host.CountInLog("Unusually long lines detected."), 1);
    const Bytes file = ReadFile(clipboard.Path());
    std::size_t longest = 0;
    for (const std::string& line : Lines(file))
        longest = std::max(longest, line.size());
    EXPECT_LE(longest, 90u) << "88 characters and CR LF";
    const auto withoutBreaks = [](std::string s) {
        return std::erase_if(s, [](char c) { return c == '\r' || c == '\n'; }), s;
    };
    EXPECT_EQ(withoutBreaks(file), withoutBreaks(text));
    EXPECT_EQ(ScanAndExtract({}), 1) << host.PlainLog();
    EXPECT_BYTES_EQ(payload, Written().at("pay.bin"));
}

TEST_F(Recursion, SecondPasteIsAppendedAndOnlyItsTextIsScanned)
{
    const Bytes first = Mail("first", UuFile(kInner, "first.bin")),
                second = Mail("second", UuFile(kInner, "second.bin"));
    ASSERT_TRUE(AddClipboardText(clipboard, first, ctx));
    ASSERT_EQ(list.GetSize(), 1);
    const CFInfo* firstPart = list[0]->GetAt(0);
    ASSERT_TRUE(AddClipboardText(clipboard, second + std::string(1, '\0') + "after the terminator", ctx));
    EXPECT_EQ(ReadFile(clipboard.Path()), first + "\r\n" + second + "\r\n");
    ASSERT_EQ(list.GetSize(), 2);
    EXPECT_EQ(list[0]->GetAt(0), firstPart) << "the first text was not scanned again";
    EXPECT_GE(list[1]->GetAt(0)->m_SPos, static_cast<std::int64_t>(first.size()));
    EXPECT_EQ(ctx.inputList, std::vector<std::string>{clipboard.Path()});
    EXPECT_EQ(host.Asked(Prompt::NoFindings), 0);
}

} // namespace
} // namespace zarvex::test
