#!/bin/sh
# Builds the IA32 firmware object, checks it, and boots the module on the
# virtual board (both passes), printing everything it did and the BMCs'
# state; options and a script are passed to oskel-sim (see --help).
set -eu
cd "$(dirname "$0")/.."
Tools/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native --target OskelCommandsFirmware oskel-sim >/dev/null
Tools/check-firmware.sh build/native/OskelCommandsPei.ia32.o
build/native/oskel-sim "$@"
