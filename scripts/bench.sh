#!/usr/bin/env bash
# Builds and runs every benchmark under Wine (speed goals live here, never in
# timed tests).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KS_BUILD:-$root/build}

bash "$root/scripts/build.sh"
for exe in "$build"/bench/*.exe; do
  echo "== $(basename "$exe")"
  KS_BUILD_DIR=$build "$root/cmake/wine-run.sh" "$exe"
done
