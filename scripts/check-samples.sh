#!/usr/bin/env bash
# Decodes the bundled sample mailbox with the given zarvex into a fresh
# folder and checks every payload against samples/SHA256SUMS; the exit
# status is 0 only when zarvex wrote one file per sum and every sum matched.
# Usage: scripts/check-samples.sh ZARVEX OUTDIR [--verbose]
set -uo pipefail
zarvex=$1
out=$2
verbose=${3:-}
samples="$(cd "$(dirname "$0")/../samples" && pwd)"

rm -rf "$out"
mkdir -p "$out"
# The run keeps its settings to itself instead of ~/.config/Zarvex.
export ZARVEX_INI="$out/Zarvex.ini"

status=0
"$zarvex" --extract --outdir="$out" --report="$out/report.txt" --logfile="$out/zarvex.log" \
    "$samples/sample-mail.mbox" || status=$?
expected=$(wc -l < "$samples/SHA256SUMS")

if [ -n "$verbose" ]; then
    echo
    echo "zarvex exited with status $status (the number of files written; 255 means a file failed)."
    echo "Decoded files in $out:"
    ls -l "$out"
    echo
    echo "Report ($out/report.txt):"
    cat "$out/report.txt" 2>/dev/null || echo "(no report)"
    echo
fi
echo "Checking the decoded files against samples/SHA256SUMS:"
failed=0
while read -r sum name; do
    found=""
    for f in "$out"/*; do
        if [ -f "$f" ] && [ "$(sha256sum < "$f" | cut -d' ' -f1)" = "$sum" ]; then found=$(basename "$f"); break; fi
    done
    if [ "$found" = "$name" ]; then echo "  $name: OK"
    elif [ -n "$found" ]; then echo "  $name: OK (written as $found)"
    else echo "  $name: MISSING"; failed=1; fi
done < "$samples/SHA256SUMS"
if [ "$status" -lt "$expected" ] || [ "$status" -eq 255 ]; then
    echo "zarvex exited with status $status, expected at least $expected files written"
    failed=1
fi
exit $failed
