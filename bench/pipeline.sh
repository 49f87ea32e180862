#!/usr/bin/env bash
# The whole pipeline's speed and memory on four generated corpora, each
# extracted end to end by the built zarvex (--extract) and set against the
# same run's figures of a plain tool on the same data:
#
#   mailbox  mails mixing MIME Base64, UU, Quoted-Printable and BinHex
#            attachments                         against  cat > /dev/null
#   mime     mails with one MIME Base64 attachment each
#                                                against  base64 -d on the bare Base64
#                                                (and with PIPE_PYTHON=1 Python's
#                                                mailbox + email writing the files)
#   yenc     multi-part yEnc postings, one spool against  python3-sabyenc
#   uu       one UU-encoded file                 against  GNU uudecode
#
# The mailbox is also gzip'd and read straight from the compressed file,
# against the unpacked run and against zcat into a file followed by zarvex.
#
# Every corpus is also read by `cat > /dev/null` (the read limit). Prints
# wall and cpu time (user + system; on a shared machine the steadier of the
# two), MB/s of input, peak memory (/usr/bin/time -v) and the ratio
# zarvex/peer, as a Markdown table; then checks every output against the
# original bytes.
#
#   bench/pipeline.sh [path/to/zarvex]     (default build/release/zarvex)
#   PIPE_MAILBOX_MB=500 PIPE_MIME_MB=200 PIPE_YENC_MB=500 PIPE_UU_MB=200
#                          corpus sizes in MB (0 leaves a corpus out)
#   PIPE_PYTHON=1          also time Python's mailbox + email on the mime corpus (slow)
#   PIPE_RUNS=3            runs of each command (best wall, best cpu, largest peak)
#   PIPE_WORK=dir          work folder (default: a new one in $TMPDIR or /tmp);
#                          a corpus already made there with the same size is reused
#   PIPE_OUT=dir           where the outputs go (default: the work folder; a
#                          tmpfs such as /dev/shm takes the disk out of the figures)
#   PIPE_KEEP=1            keep the work folder
set -euo pipefail
cd "$(dirname "$0")/.."

zarvex=$(realpath "${1:-build/release/zarvex}")
mailboxMB=${PIPE_MAILBOX_MB:-500}
mimeMB=${PIPE_MIME_MB:-200}
yencMB=${PIPE_YENC_MB:-500}
uuMB=${PIPE_UU_MB:-200}
runs=${PIPE_RUNS:-3}
py=/usr/bin/python3 # Debian's python, where python3-sabyenc is installed

need() { command -v "$1" >/dev/null || { echo "pipeline: $1 missing ($2)" >&2; exit 1; }; }
[ -x "$zarvex" ] || { echo "pipeline: $zarvex not built" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "pipeline: /usr/bin/time missing (apt-get install time)" >&2; exit 1; }
need uudecode "apt-get install sharutils"
need uuencode "apt-get install sharutils"
need base64 coreutils
$py -c 'import sabyenc3' 2>/dev/null || { echo "pipeline: python3-sabyenc missing (scripts/install-deps.sh)" >&2; exit 1; }

if [ -n "${PIPE_WORK:-}" ]; then
    work=$PIPE_WORK
    mkdir -p "$work"
else
    work=$(mktemp -d "${TMPDIR:-/tmp}/zarvex-pipeline-XXXXXX")
fi
[ -n "${PIPE_KEEP:-}" ] || [ -n "${PIPE_WORK:-}" ] || trap 'rm -rf "$work"' EXIT
out=${PIPE_OUT:-$work}
mkdir -p "$work/config/Zarvex" "$out"
# Text parts are not written as message files: only the attachments count.
printf '[Preferences]\nMimeText=0\n' >"$work/config/Zarvex/Zarvex.ini"

# ---- The corpora ---------------------------------------------------------------
# Each corpus goes into its own folder: the input file, the files it must
# give ("want/"), and what the peer reads. A "made" stamp holds the size it
# was made for.
cat >"$work/make_corpus.py" <<'PY'
import base64, binascii, os, quopri, random, subprocess, sys, zlib

kind, folder, megabytes = sys.argv[1], sys.argv[2], int(sys.argv[3])
target = megabytes * 1_000_000
rng = random.Random(2026)
want = os.path.join(folder, "want")
os.makedirs(want, exist_ok=True)

def keep(name, data):
    with open(os.path.join(want, name), "wb") as f:
        f.write(data)

def header(i, subject, extra=""):
    return (f"From sender@example.org Mon Dec  7 12:00:00 2026\n"
            f"From: sender{i}@example.org\nTo: reader@example.org\n"
            f"Subject: {subject}\nDate: Mon, 07 Dec 2026 12:00:00 +0000\n"
            f"Message-ID: <mail{i}@example.org>\n{extra}")

def mime_mail(i, name, body_headers, body):
    b = f"=_boundary_{i}"
    return (header(i, f"file number {i}",
                   f'MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary="{b}"\n') +
            f"\nThis is a multi-part message in MIME format.\n\n--{b}\n"
            f"Content-Type: text/plain; charset=us-ascii\nContent-Transfer-Encoding: 7bit\n\n"
            f"Here is {name}.\n\n--{b}\n{body_headers}"
            f'Content-Disposition: attachment; filename="{name}"\n\n{body}\n--{b}--\n\n')

def base64_mail(i, name, data):
    return mime_mail(i, name, f'Content-Type: application/octet-stream; name="{name}"\n'
                     "Content-Transfer-Encoding: base64\n", base64.encodebytes(data).decode().rstrip("\n"))

def qp_mail(i, name, data):
    return mime_mail(i, name, f'Content-Type: text/plain; charset=iso-8859-1; name="{name}"\n'
                     "Content-Transfer-Encoding: quoted-printable\n", quopri.encodestring(data).decode().rstrip("\n"))

def uu_mail(i, name, data):
    lines = []
    for at in range(0, len(data), 45):
        lines.append(binascii.b2a_uu(data[at:at + 45]).decode().rstrip("\n"))
    return header(i, f"file number {i}") + f"\nHere is {name}.\n\nbegin 644 {name}\n" + "\n".join(lines) + "\n`\nend\n\n"

HQX = b"!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr"

def binhex_mail(i, name, data):
    def crc(b):
        return binascii.crc_hqx(b, 0).to_bytes(2, "big")
    head = bytes([len(name)]) + name.encode() + b"\0" + b"TEXTMACA" + b"\0\0" + \
        len(data).to_bytes(4, "big") + (0).to_bytes(4, "big")
    stream = head + crc(head) + data + crc(data) + crc(b"")
    marked = stream.replace(b"\x90", b"\x90\x00")
    marked += b"\0" * (-len(marked) % 3)
    chars = bytearray()
    for at in range(0, len(marked), 3):
        v = int.from_bytes(marked[at:at + 3], "big")
        chars += bytes(HQX[(v >> s) & 63] for s in (18, 12, 6, 0))
    text = ":" + chars.decode() + ":"
    lines = [text[at:at + 64] for at in range(0, len(text), 64)]
    return header(i, f"file number {i}") + f"\n(This file must be converted with BinHex 4.0)\n" + "\n".join(lines) + "\n\n"

def text_data(size):
    # Latin-1 text (Quoted-Printable keeps most of it as it is).
    words = [b"alpha", b"beta", b"gamma", b"delta", b"\xe9t\xe9", b"na\xefve", b"stra\xdfe", b"12345"]
    out = bytearray()
    while len(out) < size:
        out += b" ".join(rng.choice(words) for _ in range(rng.randrange(6, 14))) + b".\n"
    # One line break at the end: the body's last one belongs to the boundary.
    return bytes(out[:size - 1]).rstrip(b"\n") + b"\n"

if kind == "mailbox":
    makers = [("bin", base64_mail), ("uu", uu_mail), ("txt", qp_mail), ("hqx", binhex_mail)]
    size, written, i = 400_000, 0, 0
    with open(os.path.join(folder, "input"), "w") as box:
        while written < target:
            i += 1
            ext, make = makers[(i - 1) % len(makers)]
            n = size + rng.randrange(-size // 4, size // 4)
            data = text_data(n) if ext == "txt" else rng.randbytes(n)
            name = f"{ext}-{i:05d}.{ext}"
            # Decoded Quoted-Printable text has CR LF line breaks; the last
            # one belongs to the boundary after it.
            keep(name, data[:-1].replace(b"\n", b"\r\n") if ext == "txt" else data)
            mail = make(i, name, data)
            box.write(mail)
            written += len(mail)
elif kind == "mime":
    # Sizes are multiples of 57, so the bare Base64 has no "=" padding
    # inside and decodes as one stream.
    size, written, i = 150_000, 0, 0
    with open(os.path.join(folder, "input"), "w") as box, open(os.path.join(folder, "peer.in"), "wb") as bare:
        while written < target:
            i += 1
            name = f"attachment-{i:05d}.bin"
            data = rng.randbytes(57 * (size // 57 + rng.randrange(-40, 41)))
            keep(name, data)
            bare.write(base64.encodebytes(data))
            mail = base64_mail(i, name, data)
            box.write(mail)
            written += len(mail)
elif kind == "yenc":
    import sabyenc3
    part_size, file_parts = 768_000, 50
    files = max(1, round(target / (part_size * 1.02 * file_parts)))
    with open(os.path.join(folder, "input"), "wb") as f:
        for k in range(1, files + 1):
            name = f"posting-{k:03d}.bin"
            payload = rng.randbytes(part_size * file_parts if target >= part_size * file_parts
                                    else max(1, target // files))
            keep(name, payload)
            parts = (len(payload) + part_size - 1) // part_size
            total_crc = zlib.crc32(payload)
            for p in range(parts):
                piece = payload[p * part_size:(p + 1) * part_size]
                data, crc = sabyenc3.encode(piece)
                n = p + 1
                head = (f"From poster@example.org Mon Dec  7 12:00:00 2026\n"
                        f"From: poster@example.org\nNewsgroups: alt.binaries.test\n"
                        f"Subject: [{k}/{files}] - \"{name}\" yEnc ({n}/{parts})\n"
                        f"Message-ID: <part{k}.{n}@example.org>\n\n"
                        f"=ybegin part={n} total={parts} line=128 size={len(payload)} name={name}\r\n"
                        f"=ypart begin={p * part_size + 1} end={p * part_size + len(piece)}\r\n")
                tail = f"\r\n=yend size={len(piece)} part={n} pcrc32={crc:08x}"
                if n == parts:
                    tail += f" crc32={total_crc:08x}"
                f.write(head.encode() + data + (tail + "\r\n\n").encode())
elif kind == "uu":
    # uuencode makes 61 characters of 45 bytes.
    payload = rng.randbytes(target * 45 // 62)
    keep("payload.bin", payload)
    with open(os.path.join(folder, "payload.bin"), "wb") as f:
        f.write(payload)
    with open(os.path.join(folder, "input"), "wb") as f:
        subprocess.run(["uuencode", os.path.join(folder, "payload.bin"), "payload.bin"], stdout=f, check=True)
    os.remove(os.path.join(folder, "payload.bin"))
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

# Python's side of the mime corpus: the mailbox read with `mailbox`, each
# message parsed by `email`, each attachment written under its name.
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

makeCorpus() {
    local kind=$1 mb=$2 dir="$work/$1"
    [ "$mb" -gt 0 ] || return 0
    if [ "$(cat "$dir/made" 2>/dev/null)" != "$mb" ]; then
        rm -rf "$dir" && mkdir -p "$dir"
        echo "making the $kind corpus ($mb MB) ..." >&2
        $py "$work/make_corpus.py" "$kind" "$dir" "$mb"
        echo "$mb" >"$dir/made"
    fi
}
makeCorpus mailbox "$mailboxMB"
makeCorpus mime "$mimeMB"
makeCorpus yenc "$yencMB"
makeCorpus uu "$uuMB"
sync

# ---- Measuring --------------------------------------------------------------------
# Runs a command PIPE_RUNS times under /usr/bin/time -v (`prepare` first,
# unmeasured) and sets W (best wall s), C (best cpu s), P (largest peak KB).
measure() {
    local prepare=$1; shift
    local w c p i
    W="" C="" P=0
    for ((i = 0; i < runs; i++)); do
        eval "$prepare"
        /usr/bin/time -v -o "$work/time.txt" "$@" >"$work/cmd.out" 2>&1 || true
        w=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s }' "$work/time.txt")
        c=$(awk -F': ' '/User time|System time/ { s += $2 } END { print s }' "$work/time.txt")
        p=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")
        W=$(awk -v a="$W" -v b="$w" 'BEGIN { print (a == "" || b < a) ? b : a }')
        C=$(awk -v a="$C" -v b="$c" 'BEGIN { print (a == "" || b < a) ? b : a }')
        P=$(awk -v a="$P" -v b="$p" 'BEGIN { print (b > a) ? b : a }')
    done
}

# One table row: who, input bytes, and W C P of the run.
row() {
    awk -v l="$1" -v b="$2" -v w="$W" -v c="$C" -v p="$P" -v r="${3:-}" \
        'BEGIN { printf "| %-22s | %8.1f | %6.2f | %7.0f | %6.2f | %7.0f | %7.1f | %-15s |\n", l, b / 1e6, w,
                 (w > 0 ? b / w / 1e6 : 0), c, (c > 0 ? b / c / 1e6 : 0), p / 1024, r }'
}

ratio() { awk -v zw="$1" -v zc="$2" -v pw="$3" -v pc="$4" 'BEGIN { printf "%.2fx wall, %.2fx cpu", pw / zw, pc / zc }'; }

# Files of want/ missing from or differing in folder $2 of corpus $1.
check() {
    local dir="$work/$1" out=$2 total=0 bad=0 f
    for f in "$dir/want"/*; do
        total=$((total + 1))
        cmp -s "$f" "$out/$(basename "$f")" || bad=$((bad + 1))
    done
    echo "$1: zarvex wrote $((total - bad)) of $total files equal to the originals"
}

echo
printf 'zarvex %s (tree %s), outputs in %s; %d runs each (best wall, best cpu, largest peak); load before: %s\n\n' \
    "$zarvex" "$(git describe --always --dirty 2>/dev/null || echo '?')" "$out" "$runs" "$(uptime | sed 's/.*load average: //')"
echo "| corpus / program       |       MB | wall s |  MB/s   |  cpu s | MB/s cpu | peak MB | zarvex vs peer  |"
echo "|------------------------|---------:|-------:|--------:|-------:|--------:|--------:|-----------------|"
checks=()
for kind in mailbox mime yenc uu; do
    dir="$work/$kind"
    [ -f "$dir/made" ] && [ "$(cat "$dir/made")" != 0 ] || continue
    case $kind in
    mailbox) [ "$mailboxMB" -gt 0 ] || continue ;;
    mime) [ "$mimeMB" -gt 0 ] || continue ;;
    yenc) [ "$yencMB" -gt 0 ] || continue ;;
    uu) [ "$uuMB" -gt 0 ] || continue ;;
    esac
    bytes=$(stat -c %s "$dir/input")
    # The page cache may have dropped a corpus made a while ago: read it
    # once, so that every program below reads it from memory.
    cat "$dir"/input "$dir"/peer.in >/dev/null 2>&1 || true
    measure "rm -rf '$out/$kind.out' && mkdir -p '$out/$kind.out'" \
        env XDG_CONFIG_HOME="$work/config" "$zarvex" --extract --outdir="$out/$kind.out" "$dir/input"
    zw=$W zc=$C
    row "$kind: zarvex" "$bytes"
    case $kind in
    mime)
        measure "rm -f '$out/peer.out'" sh -c 'base64 -d "$1" >"$2"' sh "$dir/peer.in" "$out/peer.out"
        row "$kind: base64 -d" "$bytes" "$(ratio "$zw" "$zc" "$W" "$C")"
        if [ -n "${PIPE_PYTHON:-}" ]; then
            measure "rm -rf '$out/python.out' && mkdir -p '$out/python.out'" \
                $py "$work/python_extract.py" "$dir/input" "$out/python.out"
            row "$kind: python email" "$bytes" "$(ratio "$zw" "$zc" "$W" "$C")"
            rm -rf "$out/python.out"
        fi ;;
    yenc)
        measure "rm -f '$out/peer.out'" $py "$work/sabyenc_decode.py" "$dir/input" "$out/peer.out"
        row "$kind: sabyenc" "$bytes" "$(ratio "$zw" "$zc" "$W" "$C")" ;;
    uu)
        measure "rm -f '$out/peer.out'" uudecode -o "$out/peer.out" "$dir/input"
        row "$kind: uudecode" "$bytes" "$(ratio "$zw" "$zc" "$W" "$C")" ;;
    esac
    measure : sh -c 'cat "$1" >/dev/null' sh "$dir/input"
    row "$kind: cat > /dev/null" "$bytes" "$(ratio "$zw" "$zc" "$W" "$C")"
    checks+=("$(check "$kind" "$out/$kind.out")")
    if [ "$kind" = mailbox ]; then
        # The same mailbox gzip'd: read straight from the compressed file
        # (unpacked into the working folder, $TMPDIR) against the unpacked
        # run above and against zcat into a file, then zarvex on that.
        [ "$dir/input.gz" -nt "$dir/input" ] || gzip -c "$dir/input" >"$dir/input.gz"
        cat "$dir/input.gz" >/dev/null
        rm -rf "$out/$kind.out"
        measure "rm -rf '$out/$kind.out' && mkdir -p '$out/$kind.out'" \
            env XDG_CONFIG_HOME="$work/config" "$zarvex" --extract --outdir="$out/$kind.out" "$dir/input.gz"
        gw=$W gc=$C
        row "$kind.gz: zarvex" "$bytes" "$(ratio "$gw" "$gc" "$zw" "$zc") (unpacked)"
        checks+=("$(check "$kind" "$out/$kind.out") (from input.gz)")
        measure "rm -rf '$out/$kind.out' '$out/unpacked' && mkdir -p '$out/$kind.out'" \
            sh -c 'zcat "$1" >"$2" && env XDG_CONFIG_HOME="$3" "$4" --extract --outdir="$5" "$2"' \
            sh "$dir/input.gz" "$out/unpacked" "$work/config" "$zarvex" "$out/$kind.out"
        row "$kind.gz: zcat, then zarvex" "$bytes" "$(ratio "$gw" "$gc" "$W" "$C")"
        rm -f "$out/unpacked"
    fi
    rm -rf "$out/$kind.out" "$out/peer.out"
done
echo
printf '%s\n' "${checks[@]}"
echo "(the MB/s of a peer are of the corpus it stands for, so the columns compare;"
echo " base64 -d reads the bare Base64 of the attachments, the others the corpus itself)"
