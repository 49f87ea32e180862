#!/usr/bin/env bash
# Generates samples/sample-mail.mbox: a small mailbox with encoded attachments
# whose decoded contents are known (their SHA-256 sums go to samples/SHA256SUMS):
#   gradient.png  UUencoded by sharutils' uuencode, posted in two messages (1/2, 2/2)
#   notes.zip     a MIME Base64 attachment, built with python3's email package
#   tiny.bin      an XXencoded section (python3's binascii UU lines mapped to the XX alphabet)
# The output is the same on every run: payloads and dates are fixed.
set -euo pipefail
cd "$(dirname "$0")/.."

command -v uuencode >/dev/null || { echo "make-sample: uuencode missing (apt-get install sharutils)" >&2; exit 1; }
command -v python3 >/dev/null || { echo "make-sample: python3 missing" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The payloads.
python3 - "$work" <<'PY'
import io, random, struct, sys, zipfile, zlib
work = sys.argv[1]
rng = random.Random(2026)

def png(width, height):
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            # A gradient with noise, so that the image does not compress to nothing.
            raw += bytes(((x * 5 + rng.randrange(40)) & 255, (y * 5) & 255, rng.randrange(256)))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))

open(f"{work}/gradient.png", "wb").write(png(40, 40))

buf = io.BytesIO()
with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
    info = zipfile.ZipInfo("notes.txt", date_time=(2026, 1, 2, 3, 4, 6))
    z.writestr(info, "Zarvex sample notes.\n" * 40)
open(f"{work}/notes.zip", "wb").write(buf.getvalue())

open(f"{work}/tiny.bin", "wb").write(bytes(range(256)) + bytes(rng.randrange(256) for _ in range(200)))
PY

(cd "$work" && uuencode gradient.png gradient.png > gradient.uu)

python3 - "$work" samples <<'PY'
import binascii, email.policy, hashlib, os, sys
from email.message import EmailMessage
work, out = sys.argv[1], sys.argv[2]

def header(subject, date, msgid):
    return (f"From: Sample Poster <poster@example.org>\nNewsgroups: alt.binaries.test\n"
            f"Subject: {subject}\nDate: {date}\nMessage-ID: <{msgid}@example.org>\n\n")

mbox = []
def add(text):
    mbox.append("From poster@example.org Fri Jan  2 03:04:05 2026\n" + text.rstrip("\n") + "\n\n")

# The UU posting in two messages, split in the middle of the data lines.
uu = open(f"{work}/gradient.uu").read().splitlines()
half = len(uu) // 2
add(header("gradient.png (1/2)", "Fri, 2 Jan 2026 03:04:05 +0000", "uu1")
    + "Here is the picture, part one.\n\n" + "\n".join(uu[:half]) + "\n")
add(header("gradient.png (2/2)", "Fri, 2 Jan 2026 03:05:05 +0000", "uu2") + "\n".join(uu[half:]) + "\n")

# The MIME message with a Base64 attachment.
msg = EmailMessage(policy=email.policy.default.clone(linesep="\n"))
msg["From"] = "Sample Sender <sender@example.org>"
msg["To"] = "you@example.org"
msg["Subject"] = "The notes you asked for"
msg["Date"] = "Fri, 2 Jan 2026 04:00:00 +0000"
msg["Message-ID"] = "<mime1@example.org>"
msg.set_content("The notes are attached.\n")
msg.add_attachment(open(f"{work}/notes.zip", "rb").read(), maintype="application", subtype="zip",
                   filename="notes.zip")
msg.set_boundary("zarvex-sample-boundary")
add(msg.as_string())

# The XX section: UU lines from binascii, every character mapped to the XX alphabet.
xx_alphabet = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
data = open(f"{work}/tiny.bin", "rb").read()
lines = ["begin 644 tiny.bin"]
for i in range(0, len(data), 45):
    uu_line = binascii.b2a_uu(data[i:i + 45]).decode().rstrip("\n")
    lines.append("".join(xx_alphabet[(ord(c) - 32) & 63] for c in uu_line))
lines += [xx_alphabet[0], "end"]
add(header("tiny.bin in XX", "Fri, 2 Jan 2026 05:00:00 +0000", "xx1") + "\n".join(lines) + "\n")

os.makedirs(out, exist_ok=True)
open(f"{out}/sample-mail.mbox", "w", newline="\n").write("".join(mbox))
with open(f"{out}/SHA256SUMS", "w") as sums:
    for name in ("gradient.png", "notes.zip", "tiny.bin"):
        sums.write(hashlib.sha256(open(f"{work}/{name}", "rb").read()).hexdigest() + "  " + name + "\n")
PY

echo "make-sample: wrote samples/sample-mail.mbox ($(wc -c < samples/sample-mail.mbox) bytes) and samples/SHA256SUMS"
