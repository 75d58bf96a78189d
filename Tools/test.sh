#!/bin/sh
# Installs what is missing, builds every configuration and runs every test:
# the host suites natively and under -m32, the firmware object check and
# the C consumer.
set -eu
cd "$(dirname "$0")/.."
Tools/install-deps.sh
for preset in native i386; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
