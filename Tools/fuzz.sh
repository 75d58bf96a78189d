#!/bin/sh
# Builds the slot fuzzer with clang (libFuzzer, ASan, UBSan), replays the
# committed corpus, then fuzzes for the given number of seconds (default
# 60) on a scratch copy of it. Any finding stops the run with its input
# saved under build/fuzz/.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
Tools/install-deps.sh clang libclang-rt-14-dev
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DOSKEL_FUZZ=ON -DOSKEL_BUILD_TESTS=OFF -DOSKEL_BUILD_FIRMWARE=OFF >/dev/null
cmake --build build/fuzz --target oskel-slot-fuzzer -j2
fuzzer=build/fuzz/oskel-slot-fuzzer
echo "== replaying Fuzz/corpus ($(ls Fuzz/corpus | wc -l) inputs)"
$fuzzer -runs=0 Fuzz/corpus
if [ "$seconds" -gt 0 ]; then
  echo "== fuzzing for $seconds s"
  rm -rf build/fuzz/work && mkdir -p build/fuzz/work
  # libFuzzer's progress lines go to a log; a finding prints its report.
  status=0
  $fuzzer -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 \
    -artifact_prefix=build/fuzz/ build/fuzz/work Fuzz/corpus >build/fuzz/fuzz.log 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 60 build/fuzz/fuzz.log
    exit "$status"
  fi
  grep -E "^(Done|stat::)" build/fuzz/fuzz.log
fi

# The KCS transport's fuzzer: the BMC side of the registers from the input.
kcs_seconds=${KCS_FUZZ_SECONDS:-$seconds}
cmake --build build/fuzz --target oskel-kcs-fuzzer -j2
kcs=build/fuzz/oskel-kcs-fuzzer
echo "== replaying Fuzz/kcs-corpus ($(ls Fuzz/kcs-corpus | wc -l) inputs)"
$kcs -runs=0 Fuzz/kcs-corpus
if [ "$kcs_seconds" -gt 0 ]; then
  echo "== fuzzing the KCS transport for $kcs_seconds s"
  rm -rf build/fuzz/kcs-work && mkdir -p build/fuzz/kcs-work
  status=0
  $kcs -max_total_time="$kcs_seconds" -max_len=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix=build/fuzz/kcs- build/fuzz/kcs-work Fuzz/kcs-corpus >build/fuzz/kcs-fuzz.log 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 60 build/fuzz/kcs-fuzz.log
    exit "$status"
  fi
  grep -E "^(Done|stat::)" build/fuzz/kcs-fuzz.log
fi
