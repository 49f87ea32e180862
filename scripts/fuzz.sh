#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build/fuzz) and runs each for a
# chosen time: scripts/fuzz.sh [seconds per target] [target ...]
# (default 60 s, every target in fuzz/). Each target starts from the seeds
# scripts/fuzz-seeds.py writes and keeps its corpus in build/fuzz/corpus/;
# a crash, leak or hang is saved in build/fuzz/findings/<target>/. Prints the
# CPU time each target ran and what it found; exits non-zero on a finding.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/*_fuzz.cpp; do
    n=$(basename "$f" .cpp)
    targets+=("${n%_fuzz}")
  done
fi

export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/zarvex-ccache}"
export CCACHE_BASEDIR="$PWD"
jobs="${ZARVEX_FUZZ_JOBS:-2}"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARVEX_FUZZ=ON \
  -DZARVEX_BUILD_TESTS=OFF -DZARVEX_BUILD_BENCH=OFF -DZARVEX_WERROR=ON >/dev/null
binaries=()
for t in "${targets[@]}"; do binaries+=("zarvex_${t}_fuzz"); done
cmake --build build/fuzz -j "$jobs" --target "${binaries[@]}"

python3 scripts/fuzz-seeds.py build/fuzz/seeds
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

failed=0
summary=()
for t in "${targets[@]}"; do
  bin="build/fuzz/fuzz/zarvex_${t}_fuzz"
  corpus="build/fuzz/corpus/$t"
  findings="build/fuzz/findings/$t"
  mkdir -p "$corpus" "$findings"
  log="build/fuzz/$t.log"
  seeds=()
  [ -d "build/fuzz/seeds/$t" ] && seeds=("build/fuzz/seeds/$t")
  status=0
  /usr/bin/time -f "%U %S" -o "build/fuzz/$t.time" \
    "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 \
      -artifact_prefix="$findings/" "$corpus" "${seeds[@]}" >"$log" 2>&1 || status=$?
  # A failing run makes time(1) put "Command exited with non-zero status N"
  # (or "terminated by signal N") before the figures: read the last line only.
  cpu=$(tail -n 1 "build/fuzz/$t.time" | awk '{printf "%.1f", $1 + $2}')
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  if [ "$status" -ne 0 ]; then
    failed=1
    summary+=("$t: FINDING after ${cpu} s CPU (see $log and $findings/)")
  else
    summary+=("$t: clean, ${cpu} s CPU, ${runs} runs, corpus $(ls "$corpus" | wc -l) files")
  fi
done
printf '%s\n' "${summary[@]}"
exit "$failed"
