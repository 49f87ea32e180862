#!/usr/bin/env bash
# Takes pictures of the desktop window with the bundled sample mailbox read,
# on a virtual X server: docs/window.png (main window) and docs/log-window.png.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/zarvex-ccache}" CCACHE_BASEDIR="$PWD"
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target zarvex_window_shot
mkdir -p docs
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/tests/zarvex_window_shot" docs/window.png docs/log-window.png samples/sample-mail.mbox
echo "window-screenshot: wrote docs/window.png and docs/log-window.png"
