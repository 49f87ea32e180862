#!/usr/bin/env bash
# Builds Zarvex and runs the whole test suite: once in a normal build with
# warnings as errors, once with AddressSanitizer + UndefinedBehaviorSanitizer;
# then builds the fuzz targets with clang and runs each briefly.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/zarvex-ccache}"
export CCACHE_BASEDIR="$PWD"

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARVEX_WERROR=ON
cmake --build build/release -j "$jobs"
ctest --test-dir build/release --output-on-failure -j "$jobs"

cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZARVEX_WERROR=ON -DZARVEX_SANITIZE=ON \
      -DZARVEX_BUILD_BENCH=OFF
cmake --build build/sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/sanitize --output-on-failure -j "$jobs"

# Every fuzz target for a few seconds from its seeds (ZARVEX_FUZZ_SECONDS, 12).
ZARVEX_FUZZ_JOBS="$jobs" bash scripts/fuzz.sh "${ZARVEX_FUZZ_SECONDS:-12}"
