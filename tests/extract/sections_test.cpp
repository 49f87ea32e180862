// BinHex, BPST and text sections decoded by the engine: through the real
// scanner where it finds them by itself, from hand-built records for the
// parts that MIME headers announce. Comparisons with other tools are in
// peer_formats_test.cpp.
#include "extract_fixture.h"

#include "support/binhex_writer.h"
#include "support/bnews_writer.h"

namespace zarvex::test {
namespace {

class Sections : public ExtractTest {
protected:
    Sections()
    {
        settings.WorkingDir = work;
        std::filesystem::create_directory(work);
    }
    int ScanMail(const std::string& body)
    {
        return ScanAndExtract({dir.Write("in.eml", "From: Ann <ann@example.org>\nSubject: a file\n\n" + body)});
    }
    std::string work = dir / "work";
};

// Damaged BinHex streams keep what came through, and the collected
// characters never outlive the decode. The intact forks and a wrong data CRC
// are compared with hexbin in peer_formats_test.cpp.
TEST_F(Sections, DamagedBinHexKeepsWhatCameThrough)
{
    struct Case {
        void (*damage)(BinHexFile&);
        bool open; // no closing ":": the parts end first
        std::size_t written;
        const char* logged;
    };
    // clang-format off
    const Case cases[] = {
        {[](BinHexFile& f) { f.headerCrcDelta = 1; }, false, 0, "Error extracting file!"},
        {[](BinHexFile& f) { f.dataLengthDelta = 3'000'000'000; }, false, 1, "Unexpected End Of File."},
        {[](BinHexFile& f) { f.cutAfterBytes = 10'000; }, true, 1, "Unexpected End Of File."},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logged);
        Restart();
        BinHexFile f;
        f.name = "archive.sit";
        f.data = Bytes(500, '\x90') + RandomBytes(20'000, 21) + Bytes(300, 'q');
        c.damage(f);
        auto lines = BinHexLines(f);
        if (c.open) lines.back().pop_back();
        ScanMail("(This file must be converted with BinHex 4.0)\n\n" + Text(lines) + (c.open ? "" : "\nThanks.\n"));
        EXPECT_EQ(host.CountInLog(c.logged), 1) << host.PlainLog();
        const auto out = Written();
        ASSERT_EQ(out.size(), c.written);
        if (c.written) {
            const Bytes& got = out.at("archive.sit");
            const std::size_t n = std::min(got.size(), f.data.size());
            EXPECT_BYTES_EQ(f.data.substr(0, n), got.substr(0, n));
            EXPECT_GT(n, 9'000u);
        }
        EXPECT_NE(list.GetAt(0)->m_Status & ST_DATAERROR, 0);
        EXPECT_TRUE(std::filesystem::is_empty(work));
    }
}

// '-' is a BinHex character: a data line may begin with "---" and is data,
// while a separator line such as "--- end of part 1 ---" pauses the section
// until the next full data line.
TEST_F(Sections, BinHexLinesBeginningWithDashesAreDataButSeparatorsPause)
{
    BinHexFile f;
    f.name = "a.bin";
    f.runLength = false;
    f.data = RandomBytes(3'000, 5);
    for (char& c : f.data)
        if (c == '\x90') c = 'x';
    // Line 2 begins at character 127 of the data characters: the last
    // character of stream bytes 93-95 and the first two of bytes 96-98 (the
    // header of "a.bin" holds 27 bytes), each the value 12, '-'.
    f.data[68] = static_cast<char>((f.data[68] & ~0x3F) | 12);
    f.data[69] = '\x30';
    f.data[70] = static_cast<char>((f.data[70] & 0x0F) | 0xC0);
    std::vector<std::string> lines = BinHexLines(f);
    ASSERT_EQ(lines[2].substr(0, 3), "---");
    lines.insert(lines.begin() + 20, {"--- end of part 1 ---", "", "--- part 2 ---"});
    ScanMail("(This file must be converted with BinHex 4.0)\n\n" + Text(lines) + "\n");
    EXPECT_BYTES_EQ(f.data, ReadFile(Out("a.bin")));
}

// A BPST section ends after its size; one announcing more than it holds is a short file.
TEST_F(Sections, BpstSectionDecodesItsSize)
{
    for (const bool huge : {false, true}) {
        SCOPED_TRACE(huge);
        Restart();
        const Bytes data = huge ? RandomBytes(2'000, 10) : RandomBytes(5'000, 9);
        const std::string head = "<<BPST Size=" + std::string(huge ? "9000000000000000000" : "5000") + " File=[pic.gif] !BPST>>\n";
        EXPECT_EQ(ScanMail(head + Text(BNewsLines(data)) + (huge ? "" : "Bye\n")), 1) << host.PlainLog();
        const Bytes got = ReadFile(Out("pic.gif"));
        EXPECT_BYTES_EQ(huge ? data.substr(0, got.size()) : data, got);
        EXPECT_EQ(host.CountInLog("Short file"), huge ? 1 : 0) << host.PlainLog();
        EXPECT_NE(host.PlainLog().find("BNews encoded data"), std::string::npos);
    }
}

// Text parts arrive through MIME headers; their records are built here as
// the scanner would leave them (Quoted-Printable and plain text are compared
// with Python's email package in peer_formats_test.cpp).
TEST_F(Sections, MimeTextBodiesFollowTheirCharset)
{
    settings.EOLConversion = true;
    const struct {
        const char* charset;
        bool decodeUtf8;
        std::string section;
        Bytes expected;
    } cases[] = {
        {"utf-7", false, "Content-Type: text/plain;\n charset=utf-7\n\ncaf+AOk-\n", "caf\xC3\xA9\r\n"},
        {"utf-8", true, "Content-Type: text/plain\n\nok \xC3\xA9 \xE9\n", "ok \xC3\xA9 ?\r\n"}, // cleaned
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.charset);
        Restart();
        settings.DecodeUTF8 = c.decodeUtf8;
        AddSingle("body.txt", c.section, MT_TXT, "", "From: x@y\n\n")->GetAt(0)->SetCharset(c.charset);
        EXPECT_EQ(Extract(0), extract_result::Written) << host.PlainLog();
        EXPECT_BYTES_EQ(c.expected, ReadFile(Out("body.txt")));
    }
}

} // namespace
} // namespace zarvex::test
