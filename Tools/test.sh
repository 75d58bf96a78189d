#!/bin/sh
# Installs what is missing, builds every configuration and runs every test:
# the host suites natively, under -m32 and with ASan and UBSan, the firmware
# object check and budgets, the PE32 image check, the C consumer, then the
# slot fuzzer (corpus replay and a bounded run; FUZZ_SECONDS, default 60)
# and the boot of the PE32 image under EDK II's PEI core in OVMF IA32
# (minutes when the edk2 build is cached).
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
echo "== ovmf"
Tools/ovmf-check.sh
