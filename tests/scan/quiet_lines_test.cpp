// The quiet-line shortcut (and the boundary read-ahead's pass over plain
// lines) must not change any result: generated mailboxes (headers,
// subjects, UU, XX, Base64, yEnc, BinHex and Quoted-Printable sections,
// multipart mails and digests, and the lines that can interrupt them, also
// in runs of their own) are scanned with and without it, and the list
// dumps, counts and stop positions must agree byte for byte. Whatever the
// lines, no scan hangs and every part lies inside the file.
#include "scan_fixture.h"

#include "model/list_dump.h"
#include "scan/break_search.h"
#include "support/binhex_writer.h"
#include "support/yenc_posting.h"

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

namespace zarvex::test {
namespace {

class MailboxWriter
{
public:
    explicit MailboxWriter(std::uint32_t seed) : m_Rng(seed) {}

    std::string Mailbox()
    {
        for (int n = 0, messages = 2 + Pick(6); n < messages; ++n)
            Message(n);
        return m_Out;
    }

private:
    int Pick(int range) { return std::uniform_int_distribution<int>(0, range - 1)(m_Rng); }
    bool Chance(int percent) { return Pick(100) < percent; }

    void Line(const std::string& text)
    {
        static const char* kEnds[] = {"\n", "\n", "\n", "\n", "\r\n", "\r\r\n"};
        m_Out += m_Quote + text + kEnds[m_CrLf ? 4 + Pick(2) : 0];
    }

    std::string Name() { return "file" + std::to_string(Pick(4)) + (Chance(50) ? ".jpg" : ".zip"); }

    void Headers(int n, const std::string& type, const std::string& encoding)
    {
        if (Chance(70)) Line("From poster" + std::to_string(n) + "@example.org Mon Dec  7 10:00:00 2026");
        Line("From: Poster <p" + std::to_string(n) + "@example.org>");
        if (Chance(80)) Line("Subject: " + Name() + " (" + std::to_string(1 + Pick(3)) + "/3)");
        Line("Date: Mon, 7 Dec 2026 10:00:00 +0000");
        if (Chance(20)) Line("Status: RO");
        if (Chance(20)) Line("X-Face: #|x\\-!ab");
        if (!encoding.empty()) {
            Line("Mime-Version: 1.0");
            Line("Content-Type: " + type + "; name=\"" + Name() + "\"");
            Line("Content-Transfer-Encoding: " + encoding);
        }
        Line("");
    }

    // A line that may interrupt a run of data lines.
    std::string Interruption()
    {
        // clang-format off
        static const std::string kLines[] = {
            "", " ", "\t", "end", "`", "Mime-Version:1.0", "Content-Type:text/plain", "MIME-Version: 1.0",
            "Subject: x.jpg (2/3)", "From: a@b.org", "Status:RO", "Xref: news 1", "--boundary42",
            "-----Original Message-----", "section 2 of 3 of file big.zip", "Article 7 of comp.binaries",
            "=ybegin line=128 size=20 name=y.bin", "=yend size=20",
            "(This file must be converted with BinHex 4.0)",
            ":ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789ABCD", "<<BPST Size=100 !BPST>>",
            "begin 644 inner.bin", "Mi0123456789012345678901234567890123456789012345678901234567890",
            "co0123456789012345678901234567890123456789012345678901234567890",
            "M0123456789 0123456789012345678901234567890123456789012345678",
            "M0123456789012345678901234567890123456789012345678901234567=", "> quoted text",
            "plain words of a reply", std::string(75, 'Q') + "=", std::string(59, 'Q') + "=",
            std::string(75, 'Q') + "\t", // full Base64 lines with padding, and one with a tab
            "Xyz: a header of no known name", "Status: RO", "From someone@example.org Mon Dec  7", "From nobody",
            "from: x@y.org", "Face: abc", "x-face: abc", "subject: x.jpg (2/3)", "begin the words",
            "=yend size=3 crc=0", "=ypart begin=1 end=9", "Article 3 words", "section 1 of 2", "(This is text)",
            "<<BPST Size=5", "words ending in a dash -", "words ending in a colon:", "ABCDEFGHIJ:",
            "words: then more", "word:\tafter a tab", "Plain: no blank before", "M0123 456:", "CONTENT-TYPE:text/plain",
            "mime-version:1.0", "Miss the blank", "Cont ent-Type:x", "Fwd: --Original Message--",
            "Fwd --Original Message--\nSubject: re (1/2)", "begin 644 ", "begin", "end ", "Subject: z",
            "Subject: y (2/2)", "Date: Mon, 7 Dec 2026 10:00:00", "Newsgroups: a.b", "--", ">",
            "=ybegin part=2 line=128 size=1000 name=", "<<BPST Size=100 File=[x] !BPST>>", "section 1/2 of file a.zip",
            "=", "  folded", "M", "h" + std::string(61, 'h')};
        // clang-format on
        return kLines[Pick(static_cast<int>(std::size(kLines)))];
    }

    void Data(const std::vector<std::string>& lines)
    {
        for (const std::string& l : lines) {
            if (Chance(3)) Line(Interruption());
            Line(l);
        }
    }

    std::vector<std::string> XxLines(std::size_t bytes)
    {
        return SixBitLines(RandomBytes(bytes, m_Rng()), kXXAlphabetText, "+");
    }
    // Six-bit lines in `alphabet` and a closing line.
    static std::vector<std::string> SixBitLines(const Bytes& data, std::string_view alphabet, const char* last)
    {
        auto lines = EncodeSixBitLines(data, alphabet);
        lines.emplace_back(last);
        return lines;
    }

    // Quoted-Printable text: words, escapes and soft breaks.
    std::vector<std::string> QpLines(int count)
    {
        static const char* kWords[] = {"na=EFve", "stra=DFe", "alpha", "Subject", "=E9t=E9", "-", "12345", "beta:"};
        std::vector<std::string> lines;
        for (int i = 0; i < count; ++i) {
            std::string l;
            for (int w = 1 + Pick(10); w > 0; --w)
                l += std::string(l.empty() ? "" : " ") + kWords[Pick(8)];
            lines.push_back(l + (Chance(20) ? "=" : ""));
        }
        return lines;
    }

    void Message(int n)
    {
        m_Quote = Chance(15) ? "> " : "";
        m_CrLf = Chance(15);
        const int kind = Pick(10);
        static const std::string kTypes[] = {"application/octet-stream", "text/plain; charset=iso-8859-1"};
        Headers(n, kTypes[kind == 8], kind == 2 ? "base64" : kind == 8 ? "quoted-printable" : "");
        if (Chance(50)) Line("Here is the file you asked for.");
        const Bytes data = RandomBytes(static_cast<std::size_t>(100 + Pick(3000)), m_Rng());
        switch (kind) {
        case 0:
        case 1:
            Line("begin 644 " + Name());
            Data(Chance(50) ? UuLines(data) : SixBitLines(data, kUUAlphabetSpace, "`")); // zeros as blanks
            if (Chance(85)) Line("end");
            break;
        case 2:
            Data(Base64Lines(data, Chance(70) ? 76 : 60));
            break;
        case 3:
            Line("begin 644 " + Name());
            Data(XxLines(45 * static_cast<std::size_t>(5 + Pick(40))));
            if (Chance(85)) Line("end");
            break;
        case 4:
            Data(Chance(50) ? UuLines(data) : Base64Lines(data)); // no header at all
            break;
        case 5: // lines that trigger every rule, and nothing else
            for (int i = 0; i < 300; ++i)
                Line(Interruption());
            break;
        case 7:
            Multipart(n, data);
            break;
        case 8:
            Data(QpLines(10 + Pick(60)));
            break;
        case 9: {
            Line("(This file must be converted with BinHex 4.0)");
            BinHexFile file;
            file.data = data;
            Data(BinHexLines(file));
            break;
        }
        default:
            Line("=ybegin line=128 size=" + std::to_string(data.size()) + " name=" + Name());
            Data(YencLines(data));
            Line("=yend size=" + std::to_string(data.size()));
            break;
        }
        if (Chance(70)) Line("");
        if (Chance(30)) Line("-- ");
    }

    // A multipart mail or a digest of messages (the read-ahead to its closing
    // boundary counts their "Subject:" lines), with long lines, odd breaks
    // and closing lines among its Base64 data.
    void Multipart(int n, const Bytes& data)
    {
        const std::string b = "sep" + std::to_string(n);
        Line(std::string("Content-Type: multipart/") + (Chance(50) ? "digest" : "mixed") + "; boundary=\"" + b + "\"");
        Line("");
        for (int k = 0; k < 1 + Pick(3); ++k) {
            Line("--" + b);
            if (Chance(50)) Line("Subject: part " + Name());
            Line("Content-Type: application/octet-stream; name=\"" + Name() + "\"");
            Line("Content-Transfer-Encoding: base64");
            Line("");
            for (const std::string& l : Base64Lines(data)) {
                // Longer than a line buffer: ReadLine gives its rest as lines of their own.
                if (Chance(2)) m_Out += std::string(1023 * (1 + Pick(2)), 'x') + "Subject: cut" + (Chance(50) ? "\r" : "\n\r");
                if (Chance(2)) Line(Chance(50) ? "--" + b + "--" : "From someone else");
                Line(l);
            }
        }
        if (Chance(85)) Line("--" + b + "--");
    }

    std::mt19937 m_Rng;
    std::string m_Out;
    std::string m_Quote;
    bool m_CrLf = false;
};

// Part serial numbers count across the whole process: made relative to the
// lowest, two scans can be compared.
std::string DumpWithRelativeIds(MyCObArray& list)
{
    const auto parts = AllParts(list);
    std::int32_t lowest = INT32_MAX;
    for (const CFInfo* p : parts)
        lowest = std::min(lowest, p->m_ID);
    for (CFInfo* p : parts)
        p->m_ID -= lowest;
    return ListDumpText(&list);
}

class QuietLines : public ::testing::Test
{
protected:
    // The count, the stop position and line, and the list dump of one scan.
    std::string Scan(const std::string& file, const Settings& settings, RunContext run, bool fullRules,
                     std::uint64_t stopPos)
    {
        run.ScanFullRulesOnly = fullRules; // a copy: the scan may change the run context
        CountingHost host;
        MyCObArray list{settings, &host};
        std::int64_t pos = 0, line = 0;
        const int found = ScanFile(file, list, settings, run, host, &pos, &line, stopPos);
        m_ScansWithParts += fullRules && found > 0;
        const auto size = static_cast<std::int64_t>(std::filesystem::file_size(file));
        for (const CFInfo* p : AllParts(list))
            EXPECT_TRUE(0 <= p->m_SPos && p->m_SPos <= p->m_EPos && p->m_EPos <= size && p->m_StartLine <= p->m_EndLine)
                << Where(p);
        return std::to_string(found) + " parts, stop at " + Where(pos, pos, line, line) + "\n" +
               DumpWithRelativeIds(list);
    }

    void ExpectSameBothWays(const std::string& file, const Settings& settings, const RunContext& run,
                            std::uint64_t stopPos)
    {
        EXPECT_EQ(Scan(file, settings, run, false, stopPos), Scan(file, settings, run, true, stopPos));
    }

    TempDir m_Dir;
    int m_ScansWithParts = 0;
};

TEST_F(QuietLines, GeneratedMailboxesGiveTheSameListWithAndWithoutTheShortcut)
{
    for (std::uint32_t seed = 1; seed <= 150; ++seed) {
        SCOPED_TRACE(seed);
        const std::string text = MailboxWriter(seed).Mailbox();
        const std::string file = m_Dir.Write("box" + std::to_string(seed) + ".txt", text);
        Settings settings;
        RunContext run;
        std::mt19937 rng(seed * 7919u);
        settings.AutoIndentDetect = rng() % 2 == 0;
        settings.EnableXFace = rng() % 4 != 0;
        run.AssumeSortedOrder = rng() % 5 == 0;
        settings.MimeText = rng() % 3 != 0;
        ExpectSameBothWays(file, settings, run, 0);
        // Stopped part-way, inside whatever run of lines is there.
        ExpectSameBothWays(file, settings, run, 1 + rng() % text.size());
        if (HasFailure()) return;
    }
    EXPECT_GT(m_ScansWithParts, 200); // the mailboxes did hold sections
}

// The search of the quiet runs: its masks, and the lines it finds with them,
// as a byte-by-byte search finds them, over texts of breaks and blanks.
TEST(QuietLineSearch, FindsTheBreaksAndFirstBlanksOfTheByteByByteSearch)
{
    std::mt19937 rng(5);
    constexpr std::size_t kLimit = 300;
    for (int round = 0; round < 40; ++round) {
        // Lines from a few bytes to past the limit, with and without blanks.
        std::string text(64 * 9 + rng() % 64, 'x');
        for (char& c : text) {
            const auto r = rng() % (8 + 4 * round);
            c = r == 0 ? '\n' : r == 1 ? '\r' : r == 2 ? ' ' : 'x';
        }
        const auto* data = reinterpret_cast<const unsigned char*>(text.data());
        std::uint64_t fast[16], plain[16];
        scan::BreakAndBlankMasks(data + round, 8, fast, fast + 8);
        scan::BreakAndBlankMasksPlain(data + round, 8, plain, plain + 8);
        ASSERT_TRUE(std::equal(fast, fast + 16, plain));
        scan::LineBreaks lines(data, text.size());
        std::size_t at = 0, k = 0, blank = 0;
        for (; lines.Next(at, kLimit, k, blank); at += k + 1) {
            const std::size_t end = text.find_first_of("\r\n", at);
            ASSERT_EQ(at + k, end);
            ASSERT_EQ(at + blank, std::min(text.find(' ', at), end));
        }
        // It stops at a line over the limit, or in the last block of 64 bytes.
        const std::size_t next = text.find_first_of("\r\n", at);
        EXPECT_TRUE(next == std::string::npos || next - at >= kLimit || next + 64 > text.size()) << round;
    }
}

} // namespace
} // namespace zarvex::test
