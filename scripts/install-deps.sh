#!/usr/bin/env bash
# Installs every Debian package Zarvex needs to build, test and benchmark.
# Safe to run again: when everything is present it does nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libcompfaceg1-dev nlohmann-json3-dev
  qt6-base-dev xvfb xauth
  sharutils python3 mpack
  # yEnc decoder no one here wrote, for the end-to-end benchmark.
  python3-sabyenc
  # The fuzz targets: clang with its libFuzzer and sanitizer runtimes.
  clang libclang-rt-14-dev
  # Tools no one here wrote, run by the tests to check decoded output.
  macutils compface imagemagick
  # docs/zarvex.1 is made from --help; a test checks that it has not drifted.
  help2man
  # The desktop files are checked (appstreamcli, desktop-file-validate).
  appstream desktop-file-utils shared-mime-info
  # The Debian package: cpack's DEB generator, its dependency lookup and its check.
  dpkg-dev fakeroot lintian
  # Pictures of the window (scripts/window-screenshot.sh) with a window manager.
  openbox
  # Compressed inputs and archives are read through libarchive.
  libarchive-dev
  # The tests make compressed inputs and archives with the system's own tools
  # (bsdtar writes the 7z ones) and compare TNEF unpacking with tnef.
  gzip bzip2 xz-utils zstd lz4 zip tar libarchive-tools tnef
  # Decoded news postings are verified and repaired with their .par2 recovery files.
  par2
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
