#!/bin/sh
# Installs what is missing, builds every configuration and runs every test:
# the host suites natively, under -m32 and with ASan and UBSan, clang-tidy
# over both PEIMs, the firmware
# object check and budgets, the PE32 image check, the C consumer, the
# coverage floor of the module (and what the fuzz corpora reach), then the
# fuzzers (corpus replay and a bounded run; FUZZ_SECONDS, default 60),
# then EDK II: the package DSC built on edk2 2022.11 (GCC5, CLANGDWARF,
# CLANGPDB) and on edk2-stable202605 (GCC, CLANGDWARF, CLANGPDB), IA32 and
# X64, DEBUG and RELEASE, every image checked, and the OVMF boots under
# EDK II's PEI core that between them boot the module as each tool chain
# builds it, the mingw images, the images clang-cl builds as Visual Studio
# would and the images of edk2-stable202605 (minutes when the edk2 cache
# is warm), then the boots on the QEMU board whose BMCs are QEMU's and
# three ipmi_sims, on KCS, BT and SSIF.
set -eu
cd "$(dirname "$0")/.."
started=$(date +%s)
# Stage headers carry the seconds since the start, so a slow machine's log
# tells where its time went.
stage() {
  echo "== $1 (at $(($(date +%s) - started)) s)"
}
stage dependencies
Tools/install-deps.sh
Tools/ia32-exec.sh
passed=0
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for preset in native i386 sanitize; do
  stage "$preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  status=0
  ctest --preset "$preset" >"$log" 2>&1 || status=$?
  cat "$log"
  [ "$status" -eq 0 ] || exit "$status"
  passed=$((passed + $(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log")))
done
stage tidy
Tools/tidy.sh
passed=$((passed + 1))
stage coverage
Tools/coverage.sh
passed=$((passed + 1))
stage fuzz
Tools/fuzz.sh "${FUZZ_SECONDS:-60}"
passed=$((passed + 1))
stage edk2-package
Tools/edk2-package-check.sh
passed=$((passed + 1))
stage ovmf
Tools/ovmf-check.sh
passed=$((passed + 1))
stage qemu-board
Tools/qemu-board-check.sh build/native/oskel-ipmi-sim-oem.so
passed=$((passed + 1))
# Every ctest test of the three builds, clang-tidy, the coverage floor, the fuzzer runs,
# the package DSC builds of both generations, the OVMF boots, and the boots on the QEMU board
# with two KCS BMCs, a BT BMC and an SSIF BMC.
echo "checks: $passed passed, 0 failed ($(($(date +%s) - started)) s)"
