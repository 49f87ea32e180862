// From input files to output files: scanned, grouped and extracted by the
// real scanner, grouping and engine, compared with the originals.
#include "extract_fixture.h"

namespace zarvex::test {
namespace {

using EndToEnd = ExtractTest;

// `file` cut into `total` mails of one mailbox, subjects numbered "(i/total)".
std::string Posting(const std::string& name, const Bytes& file, int total, int repeated = -1, bool damaged = false)
{
    const std::vector<std::string> lines = Lines(file);
    const std::size_t each = lines.size() / total;
    std::string mbox;
    for (int i = 0; i < total; ++i) {
        const std::size_t to = i + 1 == total ? lines.size() : (i + 1) * each;
        const std::string subject = total == 1 ? name : name + " (" + std::to_string(i + 1) + "/" +
                                                            std::to_string(total) + ")";
        const std::string mail = "From poster@example.org Mon Jan  1 10:00:00 2024\n" +
                                 Mail(subject, Join(lines, i * each, to));
        std::string copy = mail;
        if (i == repeated && damaged) copy.erase(copy.find("\nM", copy.find("\nM") + 1) + 30, 10);
        mbox += copy + (i == repeated ? mail : "");
    }
    return mbox;
}

struct PostingCase {
    const char* label;
    bool xx;
    int parts;
    std::size_t size;
    std::uint32_t seed;
};

class Postings : public EndToEnd, public ::testing::WithParamInterface<PostingCase> {};

TEST_P(Postings, GiveTheOriginalWithEachPartAtItsOffset)
{
    const PostingCase& c = GetParam();
    const Bytes payload = RandomBytes(c.size, c.seed);
    const Bytes file = c.xx ? XxFile(payload, "data.zip") : UuFile(payload, "data.zip");
    EXPECT_EQ(ScanAndExtract({dir.Write("in.mbox", Posting("data.zip", file, c.parts))}), 1) << host.PlainLog();
    EXPECT_BYTES_EQ(payload, ReadFile(Out("data.zip")));
    EXPECT_EQ(host.CountInLog(c.xx ? "XXencoded data" : "UUencoded data"), 1) << host.PlainLog();
    EXPECT_EQ(host.CountInLog("Error decoding"), 0) << host.PlainLog();
    if (c.parts > 1) {
        EXPECT_EQ(list[0]->GetAt(1)->m_ByteStart, list[0]->GetAt(0)->m_Length);
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, Postings,
                         ::testing::Values(PostingCase{"UuThreeParts", false, 3, 60'000, 102},
                                           PostingCase{"XxTwoParts", true, 2, 30'000, 105},
                                           // Part 2 opens with a line that holds no "-"
                                           // (valid Base64 characters only).
                                           PostingCase{"XxTwoPartsBase64LookingLine", true, 2, 40'000, 101}),
                         [](const auto& p) { return std::string(p.param.label); });

// A single part posted twice is two outputs: the second copy is renamed.
// (Two "begin" sections in one mail: the unattended run's test.)
TEST_F(EndToEnd, RepostedFileIsWrittenAgainUnderANewName)
{
    settings.NoAutoRename = false;
    const Bytes one = RandomBytes(4'500, 106);
    const std::string posting = Mail("a picture", UuFile(one, "pic.bin"));
    EXPECT_EQ(ScanAndExtract({dir.Write("pic1.eml", posting), dir.Write("pic2.eml", posting)}), 2) << host.PlainLog();
    EXPECT_BYTES_EQ(one, ReadFile(Out("pic.bin")));
    EXPECT_BYTES_EQ(one, ReadFile(Out("pic01.bin")));
}

// Two messages that each carry one Base64 section without a name are two
// files: bare lines without any header, or MIME bodies without a file name
// under one subject.
class NamelessSections : public EndToEnd, public ::testing::WithParamInterface<bool> {};

TEST_P(NamelessSections, StayApart)
{
    const Bytes a = RandomBytes(5'700, 108), b = RandomBytes(5'700, 109);
    auto message = [&](const Bytes& data) {
        const std::string head = "Subject: pictures\nMIME-Version: 1.0\nContent-Type: application/octet-stream\n"
                                 "Content-Transfer-Encoding: base64\n\n";
        return (GetParam() ? head : "") + Text(Base64Lines(data));
    };
    EXPECT_EQ(ScanAndExtract({dir.Write("a.txt", message(a)), dir.Write("b.txt", message(b))}), 2) << host.PlainLog();
    EXPECT_EQ(OutputsEqualTo(a), 1);
    EXPECT_EQ(OutputsEqualTo(b), 1);
}

INSTANTIATE_TEST_SUITE_P(BareAndMime, NamelessSections, ::testing::Bool());

// A part posted twice and kept ("AutoMultipartDupeRemoval" off) gives its
// data once: part 2 twice, the first copy intact or damaged (the other
// replaces it), or part 1 twice (its copy is a named output of its own).
struct DuplicateCase {
    const char* label;
    int repeated; // index of the part posted twice
    bool damaged; // the first copy has a short line
};

class KeptDuplicate : public EndToEnd, public ::testing::WithParamInterface<DuplicateCase> {};

TEST_P(KeptDuplicate, ContributesItsDataOnce)
{
    const DuplicateCase& c = GetParam();
    settings.AutoMultipartDupeRemoval = false;
    const Bytes payload = RandomBytes(4'500, 110);
    const std::string mbox = Posting("dup.bin", UuFile(payload, "dup.bin"), 3, c.repeated, c.damaged);
    EXPECT_EQ(ScanAndExtract({dir.Write("posting.mbox", mbox)}), 1) << host.PlainLog();
    EXPECT_BYTES_EQ(payload, ReadFile(Out("dup.bin")));
    EXPECT_EQ(host.CountInLog("Trying next duplicate part to correct errors..."), c.damaged ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Copies, KeptDuplicate,
                         ::testing::Values(DuplicateCase{"SecondPartTwice", 1, false},
                                           DuplicateCase{"SecondPartTwiceFirstCopyDamaged", 1, true},
                                           DuplicateCase{"FirstPartTwice", 0, false}),
                         [](const auto& p) { return std::string(p.param.label); });

} // namespace
} // namespace zarvex::test
