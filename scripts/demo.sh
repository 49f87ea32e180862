#!/usr/bin/env bash
# Installs what is needed, builds Zarvex (Release), installs it under
# build/demo-install and decodes the bundled sample mailbox into build/demo-out.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/zarvex-ccache}"
export CCACHE_BASEDIR="$PWD"
cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DZARVEX_BUILD_TESTS=OFF -DZARVEX_BUILD_BENCH=OFF
cmake --build build/demo -j "$(nproc)"
cmake --install build/demo --prefix build/demo-install

out=build/demo-out
rm -rf "$out"
mkdir -p "$out"
# The demo keeps its settings to itself instead of ~/.config/Zarvex.
export ZARVEX_INI="$PWD/build/demo/Zarvex.ini"

status=0
build/demo-install/bin/zarvex --extract --outdir="$out" --report="$out/report.txt" \
    --logfile="$out/zarvex.log" samples/sample-mail.mbox || status=$?

echo
echo "zarvex exited with status $status (the number of files written; 255 means a file failed)."
echo "Decoded files in $out:"
ls -l "$out"
echo
echo "Report ($out/report.txt):"
cat "$out/report.txt" 2>/dev/null || echo "(no report)"
echo
echo "Checking the decoded files against samples/SHA256SUMS:"
missing=0
while read -r sum name; do
    found=""
    for f in "$out"/*; do
        if [ -f "$f" ] && [ "$(sha256sum < "$f" | cut -d' ' -f1)" = "$sum" ]; then found=$(basename "$f"); break; fi
    done
    if [ "$found" = "$name" ]; then echo "  $name: OK"
    elif [ -n "$found" ]; then echo "  $name: OK (written as $found)"
    else echo "  $name: MISSING"; missing=1; fi
done < samples/SHA256SUMS
exit $missing
