#!/usr/bin/env bash
# Builds the Debian package (zarvex_VERSION_ARCH.deb) with cpack and checks
# it with lintian:
#   make-deb.sh [BUILD_DIR]        default build/deb; the package is left there
# Needs dpkg-dev (dependencies), fakeroot and lintian (scripts/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/deb}
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/zarvex-ccache}" CCACHE_BASEDIR="$PWD"

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
      -DZARVEX_PACKAGE=ON -DZARVEX_BUILD_TESTS=OFF -DZARVEX_BUILD_BENCH=OFF
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/zarvex_*.deb
(cd "$build" && fakeroot cpack -G DEB)
deb=$(ls "$build"/zarvex_*.deb)
echo "make-deb: wrote $deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
# Errors fail the script; warnings and notes are shown.
lintian --fail-on error --display-info "$deb"
echo "make-deb: lintian found no errors"
