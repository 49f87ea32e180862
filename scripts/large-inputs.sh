#!/usr/bin/env bash
# Inputs too large for the test suite, run by hand (about a minute):
#  1. a sparse file whose first 4.5 GB are a hole (one line of zero bytes)
#     followed by a UU and a yEnc posting: both are found at their 64-bit
#     positions (JSON report) and decode to the original bytes;
#  2. a 2 GB hole with no line break and a 2 GB line after "begin 644":
#     nothing is written and memory stays bounded;
#  3. a 1 GB "Subject:" line and a 1 GB MIME boundary parameter in front of
#     a UU posting: the posting still decodes.
# Every run must stay under 64 MB of peak memory.
# Usage: scripts/large-inputs.sh ZARVEX [FOLDER]  (FOLDER must allow sparse files)
set -euo pipefail
zarvex=$(realpath "$1")
work=$(mktemp -d "${2:-/tmp}/zarvex-large-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
export ZARVEX_INI="$work/Zarvex.ini"
limit_kb=$((64 * 1024))
failed=0

python3 - <<'PY'
import binascii, random, zlib
rng = random.Random(16)
uu_data = bytes(rng.randrange(256) for _ in range(20000))
y_data = bytes(rng.randrange(256) for _ in range(30000))
open("uu.orig", "wb").write(uu_data)
open("y.orig", "wb").write(y_data)
uu = b"begin 644 far.uu.bin\n" + b"".join(binascii.b2a_uu(uu_data[i:i + 45]) for i in range(0, len(uu_data), 45)) + b"`\nend\n"
enc = bytearray()
for i, b in enumerate(y_data):
    c = (b + 42) & 0xFF
    enc += b"=" + bytes([(c + 64) & 0xFF]) if c in (0, 10, 13, 61) else bytes([c])
    if i % 128 == 127:
        enc += b"\n"
y = b"=ybegin line=128 size=%d name=far.y.bin\n" % len(y_data) + bytes(enc) + b"\n=yend size=%d crc32=%08x\n" % (
    len(y_data), zlib.crc32(y_data))
hole = 4_500_000_000
with open("big.txt", "wb") as f:
    f.truncate(hole)
    f.seek(hole)
    f.write(b"\nSubject: far uu\n\n" + uu + b"\nSubject: far yenc\n\n" + y)
print(hole + len(b"\nSubject: far uu\n\n"))
with open("noline.txt", "wb") as f:
    f.truncate(2 << 30)
for name, head in (("subject", b"Subject: "), ("boundary", b"Subject: b\nMIME-Version: 1.0\n"
                                                    b"Content-Type: multipart/mixed; boundary=\"")):
    with open(name + ".txt", "wb") as f:
        f.write(b"From: a@example.org\n" + head)
        for _ in range(1024):
            f.write(b"s" * (1 << 20))
        f.write(b"\"\n\n" + uu.replace(b"far.uu.bin", b"after.bin"))
with open("longline.txt", "wb") as f:
    f.write(b"begin 644 long.bin\nM")
    for _ in range(2048):
        f.write(b"M" * (1 << 20))
PY

run() { # name, input, arguments...
  local name=$1 input=$2
  shift 2
  mkdir -p "out-$name"
  local status=0
  /usr/bin/time -f "%e %M" -o "time-$name" "$zarvex" --extract --outdir="out-$name" --logfile="log-$name" \
    --report-json="report-$name.json" "$@" "$input" || status=$?
  read -r secs kb < <(tail -n 1 "time-$name")
  echo "$name: exit $status, ${secs} s, peak ${kb} KB"
  if [ "$kb" -gt "$limit_kb" ]; then echo "  FAIL: peak memory over 64 MB"; failed=1; fi
}
check() { # description, command...
  local what=$1
  shift
  if "$@"; then echo "  ok: $what"; else echo "  FAIL: $what"; failed=1; fi
}

run big big.txt
check "UU part decoded" cmp -s out-big/far.uu.bin uu.orig
check "yEnc part decoded" cmp -s out-big/far.y.bin y.orig
check "parts at their 64-bit positions" python3 - <<'PY'
import json
r = json.load(open("report-big.json"))
starts = sorted(p["bytes"]["start"] for o in r["outputs"] for p in o["partList"])
assert len(starts) == 2 and starts[0] == 4_500_000_018 and starts[1] > starts[0], starts
assert all(p["bytes"]["end"] > 4_500_000_018 for o in r["outputs"] for p in o["partList"])
PY
run noline noline.txt
check "nothing written for a 2 GB line of zeros" test -z "$(ls out-noline)"
run longline longline.txt
check "nothing written for a 2 GB data line" test -z "$(ls out-longline)"
for name in subject boundary; do
  run "$name" "$name.txt"
  check "posting after a 1 GB header line decoded" cmp -s "out-$name/after.bin" uu.orig
done
exit "$failed"
