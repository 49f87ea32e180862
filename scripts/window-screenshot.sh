#!/usr/bin/env bash
# Takes pictures of the desktop window with the bundled sample mailbox read
# and extracted, on a virtual X server with a window manager (openbox):
# docs/window.png (main window), docs/log-window.png (the log after the
# extraction, with its summary) and docs/window-dark.png (a dark theme).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/zarvex-ccache}" CCACHE_BASEDIR="$PWD"
command -v openbox > /dev/null || { echo "window-screenshot: needs openbox (scripts/install-deps.sh)" >&2; exit 1; }
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target zarvex_window_shot
mkdir -p docs
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x700x24" bash -c '
  openbox > /dev/null 2>&1 &
  sleep 1
  "$0" docs samples/sample-mail.mbox
  status=$?
  kill %1
  exit $status' "$build/tests/zarvex_window_shot"
echo "window-screenshot: wrote docs/window.png, docs/log-window.png and docs/window-dark.png"
