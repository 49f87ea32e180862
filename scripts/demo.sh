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

# Decodes the sample and checks the payloads against samples/SHA256SUMS.
exec bash scripts/check-samples.sh build/demo-install/bin/zarvex build/demo-out --verbose
