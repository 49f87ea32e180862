// Files made by other encoders (sharutils, macutils, mpack, Python's email
// package, sabyenc), and BinHex, Quoted-Printable and face images, decoded by
// the installed program and compared with what tools no one here wrote make
// of the same input: hexbin, Python's email package, compface, ImageMagick. Each case runs a shell script in a fresh folder that writes
// the input as "in.*" and the peer's result into "want/"; after the run an
// optional script turns "out/" into "got/" (else "got/" is "out/"). Every
// file in "want/" must equal its namesake in "got/". A case is skipped
// where one of its tools is missing.
#include "support/test_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>

#ifdef ZARVEX_BINARY

namespace zarvex {
namespace {

struct PeerCase
{
    const char* label;
    const char* needs;         // programs that must be installed, blank-separated
    std::string make;          // writes in.* and want/*; fails when the peer does not agree with the case
    const char* check;         // after the run, in the same folder: fills got/ from out/ (empty: none)
    const char* ini;           // the settings file
    int status;                // the exit status
    const char* logged = "";   // a text the log holds
    const char* reported = ""; // a text the report holds
};

void PrintTo(const PeerCase& c, std::ostream* os) { *os << c.label; }

// A payload with long runs, runs of the marker byte 0x90 itself and single bytes.
constexpr const char* kRunsPayload = R"sh(python3 - <<'EOF'
import random
r, d = random.Random(5), bytearray()
while len(d) < 60000:
    k = r.random()
    d += b"\x90" * r.randrange(1, 9) if k < 0.1 else bytes([r.randrange(256)]) * (r.randrange(3, 400) if k < 0.3 else 1)
open("data.bin", "wb").write(d)
EOF
)sh";

// The standard note in front of what macutils' binhex writes (its own note after it).
constexpr const char* kToInHqx = R"sh(
binhex -d data.bin > hqx
{ echo "(This file must be converted with BinHex 4.0)"; echo; cat hqx; } > in.hqx
)sh";

// One character in the middle of the stream moved to its neighbour in the alphabet.
constexpr const char* kDamageOneCharacter = R"sh(python3 - <<'EOF'
alphabet = '!"#$%&\'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr'
lines = open("in.hqx").read().split("\n")
c = lines[22][30]
lines[22] = lines[22][:30] + alphabet[alphabet.index(c) ^ 1] + lines[22][31:]
open("in.hqx", "w").write("\n".join(lines))
EOF
)sh";

// A mail whose text goes Quoted-Printable through Python's email package
// (soft line breaks, "=3D", blanks at line ends), with raw blanks added at
// one line's end; want/notes.txt is what Python's decoder makes of the body
// with the given line end (`eol` in Python's spelling). The part's last
// line end is not written.
std::string QuotedPrintable(const char* eol)
{
    return std::string("python3 - <<'EOF'\neol = \"") + eol + R"sh("
from email.message import EmailMessage
import email.quoprimime
text = ("Price: 5 = five, a=b and ==3D== here.   \n"
        "Tabs and blanks at the end\t \t\n"
        "A long line " + "that goes on and on " * 12 + "until it ends.\n"
        "Umlauts: \u00e4\u00f6\u00fc and caf\u00e9.\n"
        "The last line")
m = EmailMessage()
m["From"], m["Subject"] = "Ann <ann@example.org>", "notes"
m.set_content(text, charset="utf-8", cte="quoted-printable")
mail = bytes(m).replace(b"caf=C3=A9.\n", b"caf=C3=A9.  \t \n")
assert b"=\n" in mail and b"=3D" in mail
open("in.eml", "wb").write(mail)
body = mail.split(b"\n\n", 1)[1].decode("ascii")
want = email.quoprimime.decode(body, eol).encode("latin-1")
assert want.endswith(eol.encode())
open("want/notes.txt", "wb").write(want[:-len(eol)])
EOF
)sh";
}

// A plain-text and an HTML part made by Python's email package; want/ holds
// their decoded bodies with CR LF line ends. A part keeps the line end
// before the next boundary.
constexpr const char* kTextParts = R"sh(python3 - <<'EOF'
from email.message import EmailMessage
m = EmailMessage()
m["From"], m["Subject"] = "Ann <ann@example.org>", "hello"
m.set_content("Plain line one\nline two with caf\u00e9\n", cte="8bit")
m.add_alternative("<html><body><p>Hi &amp; bye</p></body></html>\n", subtype="html")
open("in.eml", "wb").write(bytes(m))
for part, name in zip(m.iter_parts(), ["message1-hello.txt", "message1.htm"]):
    body = part.get_payload(decode=True).replace(b"\n", b"\r\n")
    open("want/" + name, "wb").write(body)
EOF
)sh";

// A known 48 by 48 bitmap drawn by ImageMagick and compressed by compface.
constexpr const char* kXFaceMail = R"sh(
/usr/bin/convert -size 48x48 pattern:crosshatch30 -fill black -draw "circle 24,24 24,10" \
    -fill white -draw "rectangle 5,30 20,44" -monochrome face.xbm
{ printf 'From: Ann <ann@example.org>\nSubject: hello\nX-Face:'; compface face.xbm; printf '\nHi.\n'; } > in.eml
[ $(wc -l < in.eml) -ge 6 ] # the face takes continuation lines
/usr/bin/convert face.xbm -depth 8 gray:want/face.gray
)sh";

constexpr const char* kXFacePixels = R"sh(
[ $(wc -c < out/X-Face-ann@example.org.bmp) -eq 446 ]
/usr/bin/convert out/X-Face-ann@example.org.bmp -depth 8 gray:got/face.gray
)sh";

constexpr const char* kFaceMail = R"sh(
/usr/bin/convert -size 40x30 gradient:red-blue want/face.png
python3 - <<'EOF'
import base64
b = base64.b64encode(open("want/face.png", "rb").read()).decode()
folded = "\n ".join(b[i:i + 70] for i in range(0, len(b), 70))
open("in.eml", "w").write("From: Ann <ann@example.org>\nSubject: hello\nFace: " + folded + "\n\nHi.\n")
EOF
)sh";

constexpr const char* kFacePng = R"sh(
/usr/bin/identify out/Face-ann@example.org.png
cp out/Face-ann@example.org.png got/face.png
)sh";

// A hostile X-Face value, the header line and four continuation lines: no
// output (compface would make up a face from these, or overrun its number).
PeerCase HostileXFace(const char* label, const std::string& first, const std::string& more)
{
    std::string make = "printf '%s\\n' 'From: Ann <ann@example.org>' 'X-Face: " + first + "'";
    for (int i = 0; i < 4 && !more.empty(); ++i) make += " ' " + more + "'";
    return {label, "", make + " 'Subject: hello' '' 'Hi.' > in.eml", "[ -z \"$(ls out)\" ]", "", 255,
            "No data written, empty file removed."};
}

// Files from other encoders decode to the name and bytes they were given:
// want/data.bin is the payload.
std::string Encoded(const std::string& encode)
{
    return "python3 -c 'import random; open(\"want/data.bin\", \"wb\").write(random.Random(23).randbytes(70000))'\n"
           "cp want/data.bin .\n" + encode;
}

constexpr const char* kPythonAttachment = R"sh(python3 - <<'EOF'
from email.message import EmailMessage
m = EmailMessage(); m["Subject"] = "data"; m["From"] = "a@example.org"
m.set_content("The file is attached.\n")
m.add_attachment(open("data.bin", "rb").read(), maintype="application", subtype="octet-stream", filename="data.bin")
open("in.eml", "wb").write(bytes(m))
EOF
)sh";

// A three-part yEnc posting, one article a file, given in reverse order (by
// Debian's python, where python3-sabyenc lives).
constexpr const char* kSabyencParts = R"sh(/usr/bin/python3 -c 'import sabyenc3' 2>/dev/null || exit 3
/usr/bin/python3 - <<'EOF'
import sabyenc3, zlib
data = open("data.bin", "rb").read(); step = (len(data) + 2) // 3
for i in range(3):
    piece = data[i * step:(i + 1) * step]; enc, crc = sabyenc3.encode(piece)
    head = (f"Subject: data.bin yEnc ({i + 1}/3)\n\n=ybegin part={i + 1} total=3 line=128 "
            f"size={len(data)} name=data.bin\r\n=ypart begin={i * step + 1} end={i * step + len(piece)}\r\n")
    tail = f"\r\n=yend size={len(piece)} part={i + 1} pcrc32={crc:08x} crc32={zlib.crc32(data):08x}\r\n"
    open(f"in.{3 - i}.txt", "wb").write(head.encode() + enc + tail.encode())
EOF
)sh";

constexpr const char* kDefaults = "";
constexpr const char* kLfLines = "[Preferences]\nEOLConversion=0\n";

const PeerCase kCases[] = {
    {"SharutilsUuencode", "uuencode python3", Encoded("uuencode data.bin data.bin > in.txt"), "", kDefaults, 1},
    {"SharutilsUuencodeBase64", "uuencode python3", Encoded("uuencode -m data.bin data.bin > in.txt"), "",
     kDefaults, 1},
    {"MacutilsBinHex", "binhex python3", Encoded("binhex -d data.bin > in.hqx"), "", kDefaults, 1},
    {"MpackSplitMessages", "mpack python3", Encoded("mpack -s 'the data' -m 20000 -o in data.bin"), "", kDefaults, 1},
    {"MpackSplitMessagesInOneMailbox", "mpack python3",
     Encoded("mpack -s 'the data' -m 20000 -o part data.bin\n"
             "for f in part.*; do echo 'From mpack@example.org Mon Dec  7 10:00:00 2026'; cat $f; echo; done > in.mbox"),
     "", kDefaults, 1},
    {"PythonEmailAttachment", "python3", Encoded(kPythonAttachment), "", kDefaults, 2},
    {"SabyencMultipartPosting", "python3", Encoded(kSabyencParts), "", kDefaults, 1},
    {"BinHexWithRunsLikeHexbin", "binhex hexbin python3",
     std::string(kRunsPayload) + kToInHqx +
         "[ $(wc -c < hqx) -lt 30000 ] # packed by runs\n"
         "(cd want && hexbin -d ../in.hqx && mv data.bin.data data.bin)",
     "", kDefaults, 1, "BinHex4 encoded data"},
    {"BinHexDamagedCrc", "binhex hexbin python3",
     "python3 -c 'import random; open(\"data.bin\", \"wb\").write(random.Random(9).randbytes(40000))'" +
         std::string(kToInHqx) + kDamageOneCharacter +
         "mkdir hb && cd hb && hexbin -d ../in.hqx 2>&1 | grep 'CRC mismatch'",
     "[ $(wc -c < out/data.bin) -eq 40000 ]", kDefaults, 255, "Invalid CRC, file corrupt!",
     "Extract Status: 32"},
    {"BinHexResourceForkLikeHexbin", "binhex hexbin python3",
     std::string(kRunsPayload) +
         "binhex -r data.bin > in.hqx\n(cd want && hexbin -r ../in.hqx && mv data.bin.rsrc data.bin)",
     "", kDefaults, 1, "BinHex4 encoded data"},
    {"QuotedPrintableCrLf", "python3", QuotedPrintable("\\r\\n"), "", kDefaults, 1, "Quoted-Printable data"},
    {"QuotedPrintableLf", "python3", QuotedPrintable("\\n"), "", kLfLines, 1, "Quoted-Printable data"},
    {"TextPartsLikePythonEmail", "python3", kTextParts, "", kDefaults, 2, "Text data"},
    {"XFaceOfAKnownBitmap", "/usr/bin/convert compface", kXFaceMail, kXFacePixels, kDefaults, 1},
    {"FacePng", "/usr/bin/convert /usr/bin/identify python3", kFaceMail, kFacePng, kDefaults, 1,
     "Face PNG data"},
    HostileXFace("XFaceEmpty", "", ""),
    HostileXFace("XFace700z", std::string(60, 'z'), std::string(160, 'z')),
    HostileXFace("XFace300z", std::string(60, 'z'), std::string(60, 'z')),
    HostileXFace("XFace1000Chars", std::string(200, '~'), std::string(200, '!')),
};

using PeerFormats = ::testing::TestWithParam<PeerCase>;

int RunIn(const std::string& dir, const std::string& script)
{
    return std::system(("cd '" + dir + "' && { " + script + "\n} >>tools.txt 2>&1").c_str());
}

TEST_P(PeerFormats, DecodeAsTheToolsDo)
{
    const PeerCase& c = GetParam();
    const std::string have =
        std::string("for p in ") + c.needs + "; do command -v $p >/dev/null || exit 1; done";
    if (std::system(have.c_str()) != 0) GTEST_SKIP() << "needs " << c.needs;
    test::TempDir dir;
    const std::string at = dir.Path().string();
    dir.Write("zarvex.ini", c.ini);
    const int made = RunIn(at, std::string("mkdir out want got\n") + c.make);
    if (WIFEXITED(made) && WEXITSTATUS(made) == 3) GTEST_SKIP() << "a Python module is missing";
    ASSERT_EQ(made, 0) << test::ReadFile(dir / "tools.txt");

    std::string command = "cd '" + at + "' && ZARVEX_INI=zarvex.ini '" + ZARVEX_BINARY +
                          "' --extract --outdir=out --logfile=log.txt --report=report.txt";
    for (const auto& f : std::filesystem::directory_iterator(dir.Path()))
        if (f.path().filename().string().starts_with("in.")) command += " '" + f.path().string() + "'";
    const int run = std::system(command.c_str());
    const std::string log = test::ReadFile(dir / "log.txt");
    ASSERT_TRUE(WIFEXITED(run)) << log;
    EXPECT_EQ(WEXITSTATUS(run), c.status) << log;
    EXPECT_NE(log.find(c.logged), std::string::npos) << log;
    EXPECT_NE(test::ReadFile(dir / "report.txt").find(c.reported), std::string::npos);
    const std::string check = *c.check ? c.check : "cp -r out/. got/";
    ASSERT_EQ(RunIn(at, check), 0) << log << test::ReadFile(dir / "tools.txt");
    for (const auto& want : std::filesystem::directory_iterator(dir / "want")) {
        const std::string got = dir / ("got/" + want.path().filename().string());
        ASSERT_TRUE(test::FileExists(got)) << got << "\n" << log;
        EXPECT_BYTES_EQ(test::ReadFile(want.path().string()), test::ReadFile(got));
    }
}

INSTANTIATE_TEST_SUITE_P(Peers, PeerFormats, ::testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.label); });

} // namespace
} // namespace zarvex

#endif
