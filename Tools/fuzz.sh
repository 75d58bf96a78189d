#!/bin/sh
# Builds the fuzzers with clang (libFuzzer, ASan, UBSan, -O2), replays each
# harness's committed corpus, then fuzzes each for the given number of
# seconds (default 60) on a scratch copy of it. Any finding stops the run
# with its input saved under build/fuzz/. A harness is Fuzz/<Name>Fuzzer.cpp
# with its target oskel-<name>-fuzzer and its corpus Fuzz/corpus/<name>/.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
Tools/install-deps.sh clang libclang-rt-14-dev
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE= -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DOSKEL_FUZZ=ON -DOSKEL_FUZZ_BASELINE=OFF -DOSKEL_FUZZ_OPT=-O2 -DOSKEL_BUILD_TESTS=OFF -DOSKEL_BUILD_FIRMWARE=OFF >/dev/null
harnesses=$(ls Fuzz/*Fuzzer.cpp | sed 's|Fuzz/\(.*\)Fuzzer.cpp|\1|' | tr 'A-Z' 'a-z')
for harness in $harnesses; do
  cmake --build build/fuzz --target "oskel-$harness-fuzzer" -j2
done
for harness in $harnesses; do
  fuzzer=build/fuzz/oskel-$harness-fuzzer
  corpus=Fuzz/corpus/$harness
  mkdir -p "$corpus"
  echo "== $harness: replaying $corpus ($(ls "$corpus" | wc -l) inputs)"
  $fuzzer -runs=0 "$corpus"
  if [ "$seconds" -gt 0 ]; then
    echo "== $harness: fuzzing for $seconds s"
    work=build/fuzz/work-$harness
    log=build/fuzz/fuzz-$harness.log
    rm -rf "$work" && mkdir -p "$work"
    # libFuzzer's progress lines go to a log; a finding prints its report.
    status=0
    $fuzzer -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 \
      -artifact_prefix=build/fuzz/ "$work" "$corpus" >"$log" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
      tail -n 60 "$log"
      exit "$status"
    fi
    grep -E "^(Done|stat::)" "$log"
  fi
done
