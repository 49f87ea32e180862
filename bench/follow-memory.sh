#!/usr/bin/env bash
# Memory of a long follow run: ARTICLES single-part yEnc articles (512 bytes
# each, every one its own output) are appended to one spool file in STEPS
# steps while "zarvex --follow" runs on it. After each step the script waits
# until the step's outputs were written, then reads the run's resident and
# peak memory (VmRSS, VmHWM). Flat figures mean that the records of written
# outputs are dropped as the run goes.
#   bench/follow-memory.sh [ZARVEX] [ARTICLES] [STEPS]   (default: build/release/zarvex 100000 100)
# Hold the build lock while it runs: nothing else may run beside it.
set -euo pipefail
zarvex=${1:-build/release/zarvex}
articles=${2:-100000}
steps=${3:-100}
work=$(mktemp -d /tmp/zarvex-follow.XXXXXX)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
mkdir "$work/out" "$work/spool" "$work/steps"

# The steps, made before the run starts so that making them costs it nothing.
python3 - "$articles" "$steps" "$work/steps" <<'PY'
import random, sys, zlib
n, steps, folder = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
rnd = random.Random(1)
def yenc(data):
    out, line = [], bytearray()
    for b in data:
        c = (b + 42) & 0xFF
        if c in (0, 10, 13, 61) or (c in (9, 32, 46) and not line):
            line += b"=" + bytes([(c + 64) & 0xFF])
        else:
            line.append(c)
        if len(line) >= 128:
            out.append(bytes(line)); line = bytearray()
    if line: out.append(bytes(line))
    return b"\n".join(out) + b"\n"
per = (n + steps - 1) // steps
for s in range(steps):
    with open("%s/%04d" % (folder, s), "wb") as f:
        for i in range(s * per, min(n, (s + 1) * per)):
            data = rnd.randbytes(512)
            name = b"f%07d.bin" % i
            f.write(b"From: poster@example.org\nNewsgroups: alt.binaries.test\nSubject: " + name +
                    b" yEnc\n\n=ybegin line=128 size=512 name=" + name + b"\n" + yenc(data) +
                    b"=yend size=512 crc32=%08x\n\n" % zlib.crc32(data))
PY

spool="$work/spool/spool.txt"
: > "$spool"
ZARVEX_INI="$work/ini" "$zarvex" --follow --silent --outdir="$work/out" --report-json="$work/events.jsonl" \
  "$spool" 2>"$work/err" &
pid=$!
start=$(date +%s.%N)
written=0
echo "step articles-written rss-kB peak-kB heap-kB"
for f in "$work"/steps/*; do
  cat "$f" >> "$spool"
  written=$(( written + $(grep -c '^=ybegin' "$f") ))
  # Wait for the step's outputs (one JSON line each); give up after a minute.
  for _ in $(seq 600); do
    [ "$(wc -l < "$work/events.jsonl" 2>/dev/null || echo 0)" -ge "$written" ] && break
    sleep 0.1
  done
  step=$(basename "$f")
  if (( 10#$step % 10 == 9 )) || [ "$f" = "$(ls "$work"/steps/* | tail -1)" ]; then
    echo "$((10#$step + 1)) $written $(awk '/VmRSS/ {print $2}' /proc/$pid/status) $(awk '/VmHWM/ {print $2}' /proc/$pid/status) $(awk '/RssAnon/ {print $2}' /proc/$pid/status)"
  fi
done
end=$(date +%s.%N)
peak=$(awk '/VmHWM/ {print $2}' /proc/$pid/status)
kill -TERM "$pid"
status=0; wait "$pid" || status=$?
pid=
echo "outputs written: $(ls "$work/out" | wc -l) of $articles; exit status $status"
echo "peak memory: $peak kB; $(echo "$end - $start" | bc) s for the whole run"
