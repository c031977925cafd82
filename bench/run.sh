#!/usr/bin/env bash
# Builds and runs the core benchmark under Wine, then measures OpenSSL's
# SHA-256 on the same machine in the same run for comparison.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KS_BUILD:-$root/build}

[ -f "$build/build.ninja" ] || bash "$root/scripts/build.sh" >/dev/null
cmake --build "$build" --target core_bench -- -j4 >/dev/null
(cd "$build" && "$root/cmake/wine-run.sh" "$build/bench/core_bench.exe") | tee "$build/bench/core_bench.txt"

for size in 16384 1048576; do
  ours=$(sed -n "s/^sha256 $size bytes: \([0-9.]*\) MB\/s/\1/p" "$build/bench/core_bench.txt")
  openssl=$(openssl speed -evp sha256 -bytes "$size" -seconds 2 -mr 2>/dev/null |
            sed -n 's/^+F:[0-9]*:sha256:\([0-9.]*\)$/\1/p' | awk '{ printf "%.1f", $1 / 1e6 }')
  awk -v s="$size" -v o="$ours" -v r="$openssl" \
    'BEGIN { printf "openssl sha256 %s bytes: %s MB/s; ours/openssl = %.2f\n", s, r, o / r }'
done
