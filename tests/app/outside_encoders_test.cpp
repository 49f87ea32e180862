// Files made by encoders others wrote, decoded by the installed program: the
// output must carry the name the encoder gave and the original bytes. Each
// case is skipped where its encoder is not installed.
#include "support/test_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>

#ifdef ZARVEX_BINARY

namespace zarvex {
namespace {

struct OutsideEncoder {
    const char* label;
    const char* needs;  // a program that must be installed
    const char* script; // run in a folder holding "data.bin"; writes the inputs as in*
};

// The Python encoders run under Debian's python, where python3-sabyenc lives.
const OutsideEncoder kEncoders[] = {
    {"SharutilsUuencode", "uuencode", "uuencode data.bin data.bin > in.txt"},
    {"SharutilsUuencodeBase64", "uuencode", "uuencode -m data.bin data.bin > in.txt"},
    {"MacutilsBinHex", "binhex", "binhex -d data.bin > in.hqx"},
    {"MpackSplitMessages", "mpack", "mpack -s 'the data' -m 20000 -o in data.bin"},
    {"PythonEmailAttachment", "/usr/bin/python3",
     "/usr/bin/python3 -c '\n"
     "from email.message import EmailMessage\n"
     "m = EmailMessage(); m[\"Subject\"] = \"data\"; m[\"From\"] = \"a@example.org\"\n"
     "m.set_content(\"The file is attached.\\n\")\n"
     "m.add_attachment(open(\"data.bin\", \"rb\").read(), maintype=\"application\",\n"
     "                 subtype=\"octet-stream\", filename=\"data.bin\")\n"
     "open(\"in.eml\", \"wb\").write(bytes(m))'"},
    // A three-part yEnc posting, one article a file, given in reverse order.
    {"SabyencMultipartPosting", "/usr/bin/python3",
     "/usr/bin/python3 -c 'import sabyenc3' 2>/dev/null || exit 3\n"
     "/usr/bin/python3 -c '\n"
     "import sabyenc3, zlib\n"
     "data = open(\"data.bin\", \"rb\").read(); step = (len(data) + 2) // 3\n"
     "for i in range(3):\n"
     "    piece = data[i * step:(i + 1) * step]; enc, crc = sabyenc3.encode(piece)\n"
     "    head = (f\"Subject: data.bin yEnc ({i + 1}/3)\\n\\n=ybegin part={i + 1} total=3 line=128 \"\n"
     "            f\"size={len(data)} name=data.bin\\r\\n=ypart begin={i * step + 1} end={i * step + len(piece)}\\r\\n\")\n"
     "    tail = f\"\\r\\n=yend size={len(piece)} part={i + 1} pcrc32={crc:08x} crc32={zlib.crc32(data):08x}\\r\\n\"\n"
     "    open(f\"in{3 - i}.txt\", \"wb\").write(head.encode() + enc + tail.encode())'"},
};

void PrintTo(const OutsideEncoder& e, std::ostream* os) { *os << e.label; }

class OutsideEncoders : public ::testing::TestWithParam<OutsideEncoder> {};

TEST_P(OutsideEncoders, DecodeToTheNameAndBytesTheyWereGiven)
{
    const OutsideEncoder& e = GetParam();
    if (std::system(("command -v " + std::string(e.needs) + " >/dev/null 2>&1").c_str()) != 0)
        GTEST_SKIP() << e.needs << " is not installed";
    test::TempDir dir;
    const test::Bytes payload = test::RandomBytes(70'000, 23);
    dir.Write("data.bin", payload);
    const int made = std::system(("cd '" + dir.Path().string() + "' && { " + e.script + "\n}").c_str());
    if (WIFEXITED(made) && WEXITSTATUS(made) == 3) GTEST_SKIP() << "the encoder's module is not installed";
    ASSERT_EQ(made, 0) << "the encoder failed";

    std::string command = "cd '" + dir.Path().string() + "' && mkdir out && ZARVEX_INI=zarvex.ini '" +
                          ZARVEX_BINARY + "' --extract --outdir=out --logfile=log.txt";
    for (const auto& f : std::filesystem::directory_iterator(dir.Path()))
        if (f.path().filename().string().starts_with("in")) command += " '" + f.path().string() + "'";
    const int run = std::system(command.c_str());
    const std::string log = test::ReadFile(dir / "log.txt");
    EXPECT_TRUE(WIFEXITED(run) && WEXITSTATUS(run) >= 1 && WEXITSTATUS(run) < 250) << log;
    ASSERT_TRUE(test::FileExists(dir / "out/data.bin")) << log;
    EXPECT_BYTES_EQ(payload, test::ReadFile(dir / "out/data.bin"));
}

INSTANTIATE_TEST_SUITE_P(Peers, OutsideEncoders, ::testing::ValuesIn(kEncoders),
                         [](const auto& p) { return std::string(p.param.label); });

} // namespace
} // namespace zarvex

#endif
