#!/usr/bin/env bash
# Builds the soft canvas benchmark on the host in Release, without
# sanitizers or fuzzers, and runs it beside pixman on the same machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KS_BENCH_BUILD:-$root/build-bench}

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_COMPILER=clang-16 -DCMAKE_CXX_COMPILER=clang++-16 \
    -DKS_SANITIZE=OFF -DKS_FUZZ=OFF >/dev/null
fi
cmake --build "$build" --target zyl_soft_bench -- -j"$(nproc)" >/dev/null
"$build/bench/zyl_soft_bench" | tee "$build/bench/zyl_soft_bench.txt"
