#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KS_BUILD:-$root/build}

bash "$root/scripts/bootstrap.sh"
bash "$root/scripts/build.sh"
ctest --test-dir "$build" -j"$(nproc)" --output-on-failure --timeout 600
