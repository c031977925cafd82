#!/usr/bin/env bash
# The host build (Debian's clang): the platform-neutral units and their tests
# under AddressSanitizer and UndefinedBehaviorSanitizer, then every fuzz
# target for a bounded time: KS_FUZZ_SECONDS each (30 by default; set it
# higher for a longer hunt), KS_FUZZ_JOBS at a time (one per core by
# default). A finding fails the run and its input is left in the target's
# corpus folder, fuzz/corpus/<name>/, where the corpus replay test keeps it
# as a regression case once committed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KS_HOST_BUILD:-$root/build-host}
seconds=${KS_FUZZ_SECONDS:-30}
jobs=$(nproc)
fuzz_jobs=${KS_FUZZ_JOBS:-$jobs}

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_C_COMPILER=clang-16 -DCMAKE_CXX_COMPILER=clang++-16
fi
cmake --build "$build" -- -j"$jobs"

export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-16/bin/llvm-symbolizer
export UBSAN_OPTIONS=print_stacktrace=1
ctest --test-dir "$build" -j"$jobs" --output-on-failure --timeout 600

# Each target starts from its checked-in corpus plus what earlier runs in this
# build folder found; the targets run side by side.
logs=$build/fuzz-logs
mkdir -p "$logs"
names=()
while IFS=$'\t' read -r name exe corpus; do
  names+=("$name")
  mkdir -p "$build/fuzz-corpus/$name"
  while (($(jobs -rp | wc -l) >= fuzz_jobs)); do wait -n || true; done
  dict=()
  [ ! -f "$root/fuzz/dict/$name.dict" ] || dict=(-dict="$root/fuzz/dict/$name.dict")
  ( rc=0
    "$exe" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 "${dict[@]}" \
      -artifact_prefix="$corpus/" "$build/fuzz-corpus/$name" "$corpus" \
      >"$logs/$name.log" 2>&1 || rc=$?
    echo "$rc" >"$logs/$name.rc" ) &
done <"$build/fuzzers.tsv"
wait

passed=0 failed=0
for name in "${names[@]}"; do
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$logs/$name.log" | tail -n1)
  if [ "$(cat "$logs/$name.rc")" = 0 ]; then
    echo "fuzz_$name: ${runs:-0} executions in ${seconds} s, no finding"
    passed=$((passed + 1))
  else
    echo "fuzz_$name: FINDING after ${runs:-?} executions; input kept in fuzz/corpus/$name/:"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*property broken|.*exception escaped|artifact_prefix|Test unit written|Base64)' \
      "$logs/$name.log" | head -n 20 || true
    echo "  (whole log: $logs/$name.log)"
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
((failed == 0))
