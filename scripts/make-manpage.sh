#!/usr/bin/env bash
# Writes docs/zarvex.1 from "zarvex --help" and docs/zarvex.h2m with help2man.
#   make-manpage.sh ZARVEX            rewrite docs/zarvex.1
#   make-manpage.sh --check ZARVEX    fail when docs/zarvex.1 is not what
#                                     --help gives today (the date aside)
set -euo pipefail
cd "$(dirname "$0")/.."

check=false
if [ "${1:-}" = "--check" ]; then
  check=true
  shift
fi
zarvex=${1:?usage: make-manpage.sh [--check] PATH/TO/zarvex}

generate() {
  help2man --no-info --no-discard-stderr --section=1 \
    --include=docs/zarvex.h2m "$zarvex"
}
# The month in the header is the only line that changes by itself.
undated() { sed -E 's/^(\.TH [^"]*)"[^"]*"/\1"DATE"/'; }

if $check; then
  if ! diff -u <(undated < docs/zarvex.1) <(generate | undated); then
    echo "make-manpage: docs/zarvex.1 differs from zarvex --help; run scripts/make-manpage.sh $zarvex" >&2
    exit 1
  fi
else
  generate > docs/zarvex.1
fi
