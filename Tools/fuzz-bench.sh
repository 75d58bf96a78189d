#!/bin/sh
# Executions per second of a fuzzer built three ways, run one after the
# other for the same seconds (default 30) from the same corpus with the
# same seed:
#   first     -O0, a fresh board per input, every source instrumented
#   first-O1  the same at -O1
#   current   -O2, boards reused and reset, module alone instrumented
#   Tools/fuzz-bench.sh [SECONDS] [HARNESS]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-30}
harness=${2:-slot}
Tools/install-deps.sh clang libclang-rt-14-dev
build() {
  cmake -S . -B "build/fuzz-bench/$1" -G Ninja -DCMAKE_BUILD_TYPE= -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DOSKEL_FUZZ=ON -DOSKEL_FUZZ_BASELINE="$2" -DOSKEL_FUZZ_OPT="$3" -DOSKEL_BUILD_TESTS=OFF -DOSKEL_BUILD_FIRMWARE=OFF >/dev/null
  cmake --build "build/fuzz-bench/$1" --target "oskel-$harness-fuzzer" -j2 >/dev/null
}
build first ON -O0
build first-O1 ON -O1
build current OFF -O2
printf '%-10s %12s %12s %10s\n' build executions exec/s rss_mb
for name in first first-O1 current; do
  work=build/fuzz-bench/$name/corpus
  rm -rf "$work" && cp -r "Fuzz/corpus/$harness" "$work"
  log=build/fuzz-bench/$name/run.log
  "build/fuzz-bench/$name/oskel-$harness-fuzzer" -seed=1 -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="build/fuzz-bench/$name/" "$work" >"$log" 2>&1
  printf '%-10s %12s %12s %10s\n' "$name" \
    "$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")" \
    "$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")" \
    "$(sed -n 's/^stat::peak_rss_mb: *//p' "$log")"
done
