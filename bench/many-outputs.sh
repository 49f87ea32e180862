#!/usr/bin/env bash
# The cost per output file: one input of N tiny UU sections (N outputs),
# extracted with and without --report-json; wall time, peak memory and
# the memory per output over a run of one section.
#   bench/many-outputs.sh [ZARVEX] [N...]     (default: build/release/zarvex 100000 200000)
# Hold the build lock while it runs: nothing else may run beside it.
set -euo pipefail
zarvex=${1:-build/release/zarvex}
shift || true
counts=("${@:-100000 200000}")
work=$(mktemp -d /tmp/zarvex-many.XXXXXX)
trap 'rm -rf "$work"' EXIT

make_input() { # N PATH
  python3 - "$1" "$2" <<'PY'
import binascii, sys
n, path = int(sys.argv[1]), sys.argv[2]
with open(path, "w") as f:
    f.write("From: p@example.org\nSubject: many\n\n")
    for i in range(n):
        f.write("begin 644 f%07d.bin\n%s`\nend\n" % (i, binascii.b2a_uu((b"x%07d" % i) * 4, backtick=True).decode()))
PY
}

run() { # INPUT EXTRA... -> "seconds kilobytes"
  rm -rf "$work/out" && mkdir "$work/out"
  /usr/bin/time -f "%e %M" -o "$work/time" env ZARVEX_INI="$work/ini" "$zarvex" --extract \
    --outdir="$work/out" "$@" >/dev/null 2>&1 || true
  tail -1 "$work/time"
}

make_input 1 "$work/one.txt"
read -r _ base < <(run "$work/one.txt")
printf '%-10s %-14s %8s %10s %14s\n' outputs report "wall s" "peak MB" "KB per output"
for n in ${counts[@]}; do
  make_input "$n" "$work/in.txt"
  cat "$work/in.txt" >/dev/null
  for report in none json; do
    extra=()
    [[ $report == json ]] && extra=(--report-json="$work/r.json")
    read -r s kb < <(run "$work/in.txt" "${extra[@]}")
    printf '%-10s %-14s %8s %10.1f %14.2f\n' "$n" "$report" "$s" "$(echo "$kb/1024" | bc -l)" \
      "$(echo "($kb-$base)/$n" | bc -l)"
  done
done
