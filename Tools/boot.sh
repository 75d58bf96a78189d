#!/bin/sh
# Builds the IA32 firmware object, checks it, and boots the module on the
# simulated board (both passes), printing everything it did.
set -eu
cd "$(dirname "$0")/.."
Tools/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native --target OskelCommandsFirmware oskel-boot >/dev/null
Tools/check-firmware.sh build/native/OskelCommandsPei.ia32.o
build/native/oskel-boot "$@"
