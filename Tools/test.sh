#!/bin/sh
# Installs what is missing, builds every configuration and runs every test:
# the host suites natively and under -m32, the firmware object and PE32
# image checks, the C consumer, then the boot of the PE32 image under
# EDK II's PEI core in OVMF IA32 (minutes when the edk2 build is cached).
set -eu
cd "$(dirname "$0")/.."
Tools/install-deps.sh
for preset in native i386; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
echo "== ovmf"
Tools/ovmf-check.sh
