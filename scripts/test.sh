#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KS_BUILD:-$root/build}

bash "$root/scripts/bootstrap.sh"
bash "$root/scripts/build.sh"
# Windows and GUI tests need a display: Wine draws its windows into a private Xvfb.
xvfb-run -a ctest --test-dir "$build" -j"$(nproc)" --output-on-failure --timeout 600
