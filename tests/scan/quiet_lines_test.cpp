// The quiet-line shortcut must not change any result: generated mailboxes
// (headers, subjects, UU, XX, Base64 and yEnc sections, and the lines that
// can interrupt them) are scanned with and without it, and the list dumps,
// counts and stop positions must agree byte for byte.
#include "scan_fixture.h"

#include "model/list_dump.h"
#include "support/yenc_posting.h"

#include <random>
#include <utility>
#include <vector>

namespace zarvex::test {
namespace {

class MailboxWriter
{
public:
    explicit MailboxWriter(std::uint32_t seed) : m_Rng(seed) {}

    std::string Mailbox()
    {
        const int messages = 2 + Pick(6);
        for (int n = 0; n < messages; ++n)
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

    void Headers(int n, bool mime)
    {
        if (Chance(70)) Line("From poster" + std::to_string(n) + "@example.org Mon Dec  7 10:00:00 2026");
        Line("From: Poster <p" + std::to_string(n) + "@example.org>");
        if (Chance(80)) Line("Subject: " + Name() + " (" + std::to_string(1 + Pick(3)) + "/3)");
        Line("Date: Mon, 7 Dec 2026 10:00:00 +0000");
        if (Chance(20)) Line("Status: RO");
        if (Chance(20)) Line("X-Face: #|x\\-!ab");
        if (mime) {
            Line("Mime-Version: 1.0");
            Line("Content-Type: application/octet-stream; name=\"" + Name() + "\"");
            Line("Content-Transfer-Encoding: base64");
        }
        Line("");
    }

    // A line that may interrupt a run of data lines.
    std::string Interruption()
    {
        static const std::string kLines[] = {"",
                                       " ",
                                       "\t",
                                       "end",
                                       "`",
                                       "Mime-Version:1.0",
                                       "Content-Type:text/plain",
                                       "MIME-Version: 1.0",
                                       "Subject: x.jpg (2/3)",
                                       "From: a@b.org",
                                       "Status:RO",
                                       "Xref: news 1",
                                       "--boundary42",
                                       "-----Original Message-----",
                                       "section 2 of 3 of file big.zip",
                                       "Article 7 of comp.binaries",
                                       "=ybegin line=128 size=20 name=y.bin",
                                       "=yend size=20",
                                       "(This file must be converted with BinHex 4.0)",
                                       ":ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789ABCD",
                                       "<<BPST Size=100 !BPST>>",
                                       "begin 644 inner.bin",
                                       "Mi0123456789012345678901234567890123456789012345678901234567890",
                                       "co0123456789012345678901234567890123456789012345678901234567890",
                                       "M0123456789 0123456789012345678901234567890123456789012345678",
                                       "M0123456789012345678901234567890123456789012345678901234567=",
                                       "> quoted text",
                                       "plain words of a reply",
                                       std::string(75, 'Q') + "=", // a full Base64 line with padding
                                       std::string(59, 'Q') + "=",
                                       std::string(75, 'Q') + "\t"};
        return kLines[Pick(static_cast<int>(std::size(kLines)))];
    }

    void Data(const std::vector<std::string>& lines)
    {
        for (const std::string& l : lines) {
            if (Chance(3)) Line(Interruption());
            Line(l);
        }
    }

    std::vector<std::string> XxLines(int count)
    {
        static const std::string kXx = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        std::vector<std::string> lines;
        for (int i = 0; i < count; ++i) {
            std::string l = "h";
            for (int k = 0; k < 60; ++k)
                l += kXx[static_cast<std::size_t>(Pick(64))];
            lines.push_back(l);
        }
        lines.push_back("+");
        return lines;
    }

    void Message(int n)
    {
        m_Quote = Chance(15) ? "> " : "";
        m_CrLf = Chance(15);
        const int kind = Pick(7);
        Headers(n, kind == 2);
        if (Chance(50)) Line("Here is the file you asked for.");
        const Bytes data = RandomBytes(static_cast<std::size_t>(100 + Pick(3000)), m_Rng());
        switch (kind) {
        case 0:
        case 1:
            Line("begin 644 " + Name());
            Data(UuLines(data));
            if (Chance(85)) Line("end");
            break;
        case 2:
            Data(Base64Lines(data, Chance(70) ? 76 : 60));
            break;
        case 3:
            Line("begin 644 " + Name());
            Data(XxLines(5 + Pick(40)));
            if (Chance(85)) Line("end");
            break;
        case 4:
            Data(Chance(50) ? UuLines(data) : Base64Lines(data)); // no header at all
            break;
        default:
            Line("=ybegin line=128 size=" + std::to_string(data.size()) + " name=" + Name());
            Data(YencLines(data));
            Line("=yend size=" + std::to_string(data.size()));
            break;
        }
        if (Chance(70)) Line("");
        if (Chance(30)) Line("-- ");
    }

    std::mt19937 m_Rng;
    std::string m_Out;
    std::string m_Quote;
    bool m_CrLf = false;
};

// Part serial numbers count across the whole process; the dump shows them
// relative to the lowest one, so that two scans can be compared.
std::string RelativeIds(const std::string& dump)
{
    std::vector<std::pair<std::size_t, std::size_t>> spans; // digits after "ID:" / "ID="
    long lowest = -1;
    for (std::size_t at = dump.find("ID"); at != std::string::npos; at = dump.find("ID", at + 2)) {
        if (at + 2 >= dump.size() || (dump[at + 2] != ':' && dump[at + 2] != '=')) continue;
        std::size_t end = at + 3;
        while (end < dump.size() && dump[end] >= '0' && dump[end] <= '9')
            ++end;
        if (end == at + 3) continue;
        spans.emplace_back(at + 3, end);
        const long id = std::stol(dump.substr(at + 3, end - at - 3));
        if (lowest < 0 || id < lowest) lowest = id;
    }
    std::string out;
    std::size_t from = 0;
    for (const auto& [begin, end] : spans) {
        out += dump.substr(from, begin - from);
        out += std::to_string(std::stol(dump.substr(begin, end - begin)) - lowest);
        from = end;
    }
    return out + dump.substr(from);
}

struct Outcome
{
    int found = 0;
    std::int64_t stopPos = 0, stopLine = 0;
    std::string dump;
};

class QuietLines : public ::testing::Test
{
protected:
    Outcome Scan(const std::string& file, const Settings& settings, RunContext run, bool fullRules,
                 std::uint64_t stopPos)
    {
        run.ScanFullRulesOnly = fullRules; // a copy: the scan may change the run context
        CountingHost host;
        MyCObArray list{settings, &host};
        Outcome out;
        out.found = ScanFile(file, list, settings, run, host, &out.stopPos, &out.stopLine, stopPos);
        out.dump = RelativeIds(ListDumpText(&list));
        return out;
    }

    void ExpectSameBothWays(const std::string& file, const Settings& settings, const RunContext& run,
                            std::uint64_t stopPos)
    {
        const Outcome full = Scan(file, settings, run, true, stopPos);
        const Outcome quick = Scan(file, settings, run, false, stopPos);
        EXPECT_EQ(quick.found, full.found);
        EXPECT_EQ(quick.stopPos, full.stopPos);
        EXPECT_EQ(quick.stopLine, full.stopLine);
        EXPECT_EQ(quick.dump, full.dump);
        if (full.found > 0) ++m_ScansWithParts;
    }

    TempDir m_Dir;
    int m_ScansWithParts = 0;
};

TEST_F(QuietLines, GeneratedMailboxesGiveTheSameListWithAndWithoutTheShortcut)
{
    for (std::uint32_t seed = 1; seed <= 150; ++seed) {
        SCOPED_TRACE(seed);
        MailboxWriter writer(seed);
        const std::string text = writer.Mailbox();
        const std::string file = m_Dir.Write("box" + std::to_string(seed) + ".txt", text);
        Settings settings;
        std::mt19937 rng(seed * 7919u);
        settings.AutoIndentDetect = rng() % 2 == 0;
        settings.EnableXFace = rng() % 4 != 0;
        RunContext run;
        run.AssumeSortedOrder = rng() % 5 == 0;
        settings.MimeText = rng() % 3 != 0;
        ExpectSameBothWays(file, settings, run, 0);
        // Stopped part-way, inside whatever run of lines is there.
        ExpectSameBothWays(file, settings, run, 1 + rng() % text.size());
        if (HasFailure()) return;
    }
    EXPECT_GT(m_ScansWithParts, 200); // the mailboxes did hold sections
}

} // namespace
} // namespace zarvex::test
