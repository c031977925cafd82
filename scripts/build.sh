#!/usr/bin/env bash
# Configures (once) and builds the Windows executable and its tests into build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KS_BUILD:-$root/build}

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
fi
cmake --build "$build" -- -j"$(nproc)"
