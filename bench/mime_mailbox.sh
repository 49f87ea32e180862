#!/usr/bin/env bash
# End-to-end MIME speed: a mailbox of 1,000 mails (about 200 MB), each with a
# short text part and one Base64 attachment of its own name, extracted by the
# built zarvex; against GNU `base64 -d` on the bare Base64 of the same
# attachments (one process over all of it, the decoding alone) and Python's
# `mailbox` + `email` writing the same 1,000 files, in the same run. Prints
# wall and cpu time (user + system; on a shared machine the steadier of the
# two), MB/s of mailbox, peak memory (/usr/bin/time -v), and checks that
# zarvex and Python wrote all 1,000 files under their names with the right
# bytes.
#
#   bench/mime_mailbox.sh [path/to/zarvex]     (default build/release/zarvex)
#   MIME_MAILS=1000 MIME_ATTACHMENT=150000      the mailbox's shape (bytes
#                                               per attachment, about)
#   MIME_ROUNDS=2                               measured rounds (the last one counts)
#   MIME_KEEP=1                                 keep the work folder
set -euo pipefail
cd "$(dirname "$0")/.."

zarvex=$(realpath "${1:-build/release/zarvex}")
mails=${MIME_MAILS:-1000}
size=${MIME_ATTACHMENT:-150000}
rounds=${MIME_ROUNDS:-2}
py=/usr/bin/python3

[ -x "$zarvex" ] || { echo "mime_mailbox: $zarvex not built" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "mime_mailbox: /usr/bin/time missing (apt-get install time)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zarvex-mime-XXXXXX")
[ -n "${MIME_KEEP:-}" ] || trap 'rm -rf "$work"' EXIT
mkdir -p "$work/want" "$work/zarvex" "$work/python" "$work/config/Zarvex"
# Text parts are not written as message files: Python writes attachments only.
printf '[Preferences]\nMimeText=0\n' >"$work/config/Zarvex/Zarvex.ini"

# The attachments (random bytes, sizes varying around `size`; the sizes are
# multiples of 57 so that the bare Base64 has no "=" padding inside and can be
# decoded as one stream), the mailbox written by the email package, and the
# bare Base64 of all attachments in order.
$py - "$work" "$mails" "$size" <<'PY'
import base64, os, random, sys
from email.mime.application import MIMEApplication
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText
work, mails, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(2026)
with open(os.path.join(work, "mailbox"), "w") as box, open(os.path.join(work, "bare.b64"), "wb") as bare:
    for i in range(1, mails + 1):
        name = f"attachment-{i:04d}.bin"
        data = rng.randbytes(57 * (size // 57 + rng.randrange(-40, 41)))
        with open(os.path.join(work, "want", name), "wb") as f:
            f.write(data)
        bare.write(base64.encodebytes(data))
        m = MIMEMultipart()
        m["From"] = f"sender{i}@example.org"
        m["To"] = "reader@example.org"
        m["Subject"] = f"file number {i}"
        m["Date"] = "Mon, 07 Dec 2026 12:00:00 +0000"
        m["Message-ID"] = f"<mail{i}@example.org>"
        m.attach(MIMEText(f"Here is {name}.\n"))
        a = MIMEApplication(data)
        a.add_header("Content-Disposition", "attachment", filename=name)
        m.attach(a)
        box.write("From sender@example.org Mon Dec  7 12:00:00 2026\n" + m.as_string() + "\n\n")
PY

# Python's side: the mailbox read with `mailbox`, each message parsed by
# `email`, each attachment written under its name.
cat >"$work/python_extract.py" <<'PY'
import mailbox, os, sys
out = sys.argv[2]
for msg in mailbox.mbox(sys.argv[1]):
    for part in msg.walk():
        name = part.get_filename()
        if name:
            with open(os.path.join(out, os.path.basename(name)), "wb") as f:
                f.write(part.get_payload(decode=True))
PY

boxBytes=$(stat -c %s "$work/mailbox")
sync

# Runs a command under /usr/bin/time -v; prints "label wall MB/s cpu MB/s peak".
# (zarvex exits with the number of files written; the outputs are checked below.)
measure() {
    local label=$1; shift
    /usr/bin/time -v -o "$work/$label.time" "$@" >"$work/$label.out" 2>&1 || true
    local wall cpu peak
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s }' "$work/$label.time")
    cpu=$(awk -F': ' '/User time|System time/ { s += $2 } END { print s }' "$work/$label.time")
    peak=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/$label.time")
    awk -v l="$label" -v w="$wall" -v c="$cpu" -v b="$boxBytes" -v p="$peak" \
        'BEGIN { printf "%-9s %7.2f s %7.1f MB/s %7.2f s %7.1f MB/s %8.1f MB\n", l, w, (w > 0 ? b / w / 1e6 : 0),
                 c, (c > 0 ? b / c / 1e6 : 0), p / 1024 }'
    echo "$cpu" >"$work/$label.cpu"
    echo "$wall" >"$work/$label.wall"
    echo "$peak" >"$work/$label.peak"
}

# Files of `want` missing from or differing in folder $1; extra files too.
check() {
    local dir=$1 bad=0 name
    for f in "$work/want"/*; do
        name=$(basename "$f")
        cmp -s "$f" "$dir/$name" || bad=$((bad + 1))
    done
    local extra
    extra=$(comm -13 <(ls "$work/want") <(ls "$dir") | wc -l)
    echo "$(basename "$dir"): $((mails - bad)) of $mails files written under their names and equal, $extra other files"
}

printf 'mailbox: %d mails, %.1f MB; load: %s\n' "$mails" "$(awk -v b="$boxBytes" 'BEGIN { print b / 1e6 }')" \
    "$(uptime | sed 's/.*load average: //')"
# The first round also warms the page cache after the files were made;
# the ratios are taken from the last round.
for round in $(seq "$rounds"); do
    echo "round $round       wall     (MB/s)       cpu     (MB/s)  peak memory"
    rm -rf "$work/zarvex" "$work/python" "$work/base64.bin"
    mkdir -p "$work/zarvex" "$work/python"
    sync
    measure zarvex env XDG_CONFIG_HOME="$work/config" "$zarvex" --extract --outdir="$work/zarvex" "$work/mailbox"
    measure base64 sh -c 'base64 -d "$1" >"$2"' sh "$work/bare.b64" "$work/base64.bin"
    measure python $py "$work/python_extract.py" "$work/mailbox" "$work/python"
done

check "$work/zarvex"
check "$work/python"
cat "$work/want"/* | cmp -s - "$work/base64.bin" && echo "base64 -d output: equal to the attachments in order" ||
    echo "base64 -d output: DIFFERS"
awk -v z="$(cat "$work/zarvex.wall")" -v zc="$(cat "$work/zarvex.cpu")" -v zp="$(cat "$work/zarvex.peak")" \
    -v b="$(cat "$work/base64.wall")" -v bc="$(cat "$work/base64.cpu")" \
    -v p="$(cat "$work/python.wall")" -v pc="$(cat "$work/python.cpu")" \
    'BEGIN { if (z > 0 && zc > 0) {
                 printf "zarvex against base64 -d: %.2fx by wall time, %.2fx by cpu time (goal 1.5x)\n", b / z, bc / zc
                 printf "zarvex against python:    %.2fx by wall time, %.2fx by cpu time (goal 5x)\n", p / z, pc / zc }
             printf "zarvex peak memory: %.1f MB (goal under 64 MB)\n", zp / 1024 }'
