#!/bin/sh
# Installs what is missing, builds every configuration and runs every test:
# the host suites natively, under -m32 and with ASan and UBSan, the firmware
# object check and budgets, the C consumer, then the slot fuzzer (corpus
# replay and a bounded run; FUZZ_SECONDS, default 60).
set -eu
cd "$(dirname "$0")/.."
Tools/install-deps.sh
for preset in native i386 sanitize; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
Tools/fuzz.sh "${FUZZ_SECONDS:-60}"
