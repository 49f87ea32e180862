#!/usr/bin/env bash
# End-to-end yEnc speed: one spool of a multi-part posting (by default 270
# parts of 768,000 bytes, about 200 MB) extracted by the built zarvex, and
# the same spool decoded by Debian's python3-sabyenc (its C decoder fed one
# article at a time by a short Python loop), in the same run. Prints wall
# and cpu time (user + system; on a shared machine the steadier of the two),
# GB/s of spool read by each, peak memory (/usr/bin/time -v), and
# checks both outputs against the original.
#
#   bench/yenc_end_to_end.sh [path/to/zarvex]     (default build/release/zarvex)
#   YENC_PARTS=270 YENC_PART_SIZE=768000          the posting's shape
#   YENC_RUNS=5                                   runs of each side (the best counts)
#   YENC_KEEP=1                                   keep the work folder
set -euo pipefail
cd "$(dirname "$0")/.."

zarvex=$(realpath "${1:-build/release/zarvex}")
parts=${YENC_PARTS:-270}
partSize=${YENC_PART_SIZE:-768000}
py=/usr/bin/python3 # Debian's python, where python3-sabyenc is installed

[ -x "$zarvex" ] || { echo "yenc_end_to_end: $zarvex not built" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "yenc_end_to_end: /usr/bin/time missing (apt-get install time)" >&2; exit 1; }
$py -c 'import sabyenc3' 2>/dev/null || { echo "yenc_end_to_end: python3-sabyenc missing (scripts/install-deps.sh)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zarvex-yenc-XXXXXX")
[ -n "${YENC_KEEP:-}" ] || trap 'rm -rf "$work"' EXIT

# The payload and the spool, encoded by sabyenc's encoder (128-character
# lines, CR LF), one mbox message per part, in order.
$py - "$work" "$parts" "$partSize" <<'PY'
import os, random, sys, zlib, sabyenc3
work, parts, part_size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(2026)
payload = rng.randbytes(parts * part_size)
with open(os.path.join(work, "payload.bin"), "wb") as f:
    f.write(payload)
total_crc = zlib.crc32(payload)
name = "big.bin"
with open(os.path.join(work, "spool.mbox"), "wb") as f:
    for i in range(parts):
        piece = payload[i * part_size:(i + 1) * part_size]
        data, crc = sabyenc3.encode(piece)
        n = i + 1
        head = (f"From poster@example.org Mon Dec  7 12:00:00 2026\n"
                f"From: poster@example.org\nNewsgroups: alt.binaries.test\n"
                f"Subject: [{n}/{parts}] - \"{name}\" yEnc ({n}/{parts})\n"
                f"Message-ID: <part{n}@example.org>\n\n"
                f"=ybegin part={n} total={parts} line=128 size={len(payload)} name={name}\r\n"
                f"=ypart begin={i * part_size + 1} end={i * part_size + len(piece)}\r\n")
        tail = f"\r\n=yend size={len(piece)} part={n} pcrc32={crc:08x}"
        if n == parts:
            tail += f" crc32={total_crc:08x}"
        f.write(head.encode() + data + (tail + "\r\n\n").encode())
PY

# sabyenc's side: articles cut at the mbox separators of a memory map (a
# copy of one article at a time), decoded, the data written in order.
cat >"$work/sabyenc_decode.py" <<'PY'
import mmap, sys, sabyenc3
src, dst = sys.argv[1], sys.argv[2]
with open(src, "rb") as f, open(dst, "wb") as out:
    m = mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ)
    start, bad = 0, 0
    while start < len(m):
        end = m.find(b"\nFrom ", start)
        end = len(m) if end < 0 else end + 1
        data, name, crc_ok = sabyenc3.decode_usenet_chunks([m[start:end]])
        out.write(data)
        bad += not crc_ok
        start = end
    if bad:
        print(f"sabyenc: {bad} parts fail their CRC", file=sys.stderr)
PY

spoolBytes=$(stat -c %s "$work/spool.mbox")
sync

# Runs a command YENC_RUNS times (default 5) under /usr/bin/time -v; prints
# "label seconds GB/s peakMB" for the fastest run by wall and by cpu time (a
# shared machine slows single runs at random; the first run of a program
# also pays for cold caches).
# (zarvex exits with the number of files written; the outputs are checked below.)
measure() {
    local label=$1; shift
    local wall="" cpu="" peak=0 w c p i
    for ((i = 0; i < ${YENC_RUNS:-5}; i++)); do
        case $label in # each run writes its output anew
        zarvex) rm -rf "$work/out" && mkdir -p "$work/out" ;;
        sabyenc) rm -f "$work/sabyenc.bin" ;;
        esac
        /usr/bin/time -v -o "$work/$label.time" "$@" >"$work/$label.out" 2>&1 || true
        w=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s }' "$work/$label.time")
        c=$(awk -F': ' '/User time|System time/ { s += $2 } END { print s }' "$work/$label.time")
        p=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/$label.time")
        wall=$(awk -v a="$wall" -v b="$w" 'BEGIN { print (a == "" || b < a) ? b : a }')
        cpu=$(awk -v a="$cpu" -v b="$c" 'BEGIN { print (a == "" || b < a) ? b : a }')
        peak=$(awk -v a="$peak" -v b="$p" 'BEGIN { print (b > a) ? b : a }')
    done
    awk -v l="$label" -v w="$wall" -v c="$cpu" -v b="$spoolBytes" -v p="$peak" \
        'BEGIN { printf "%-8s %7.2f s %6.2f GB/s %7.2f s %6.2f GB/s %8.1f MB\n", l, w, (w > 0 ? b / w / 1e9 : 0),
                 c, (c > 0 ? b / c / 1e9 : 0), p / 1024 }'
    echo "$cpu" >"$work/$label.cpu"
    echo "$wall" >"$work/$label.wall"
}

printf 'spool: %d parts of %d bytes, %.1f MB of yEnc articles\n' "$parts" "$partSize" "$(awk -v b="$spoolBytes" 'BEGIN { print b / 1e6 }')"
echo "who      best wall (GB/s)  best cpu (GB/s)   peak memory   (of ${YENC_RUNS:-5} runs each)"
measure zarvex "$zarvex" --extract --outdir="$work/out" "$work/spool.mbox"
measure sabyenc $py "$work/sabyenc_decode.py" "$work/spool.mbox" "$work/sabyenc.bin"

cmp -s "$work/payload.bin" "$work/out/big.bin" && echo "zarvex output: identical" || echo "zarvex output: DIFFERS"
cmp -s "$work/payload.bin" "$work/sabyenc.bin" && echo "sabyenc output: identical" || echo "sabyenc output: DIFFERS"
awk -v z="$(cat "$work/zarvex.wall")" -v s="$(cat "$work/sabyenc.wall")" -v zc="$(cat "$work/zarvex.cpu")" \
    -v sc="$(cat "$work/sabyenc.cpu")" \
    'BEGIN { if (z > 0 && zc > 0) printf "zarvex against sabyenc: %.2fx by wall time, %.2fx by cpu time\n", s / z, sc / zc }'
