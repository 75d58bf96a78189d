#!/bin/sh
# Boots the module under EDK II's own PEI core in OVMF, next to a scripted
# IPMI transport and a consumer PEIM built by EDK II from Edk2/, and checks
# each debug log. Four firmware images, one boot each, so that every EDK II
# tool chain of Linux boots the module from source:
#  - OskelOvmfIa32Src: OvmfPkgIa32, GCC5, the module from source;
#  - OskelOvmfX64: OvmfPkgX64 (PEI in 64-bit mode), CLANGPDB, from source;
#  - OskelOvmfIa32Dwarf: OvmfPkgIa32, CLANGDWARF, from source;
#  - OskelOvmfIa32Pe32: OvmfPkgIa32, GCC5, the mingw PE32 image as a binary
#    module.
# The package DSC builds of both EDK II generations are
# Tools/edk2-package-check.sh's. OSKEL_OVMF_BOOTS (default: all four)
# names the boots to run. Each image has its own build directory, and each
# tool chain its own under it.
#
# Everything from the edk2 source package to the firmware images is built
# under OSKEL_EDK2_CACHE (default /var/tmp/oskel-edk2) and reused when
# present, so a rerun costs one incremental build and one boot per image.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${OSKEL_EDK2_CACHE:-/var/tmp/oskel-edk2}
boot_timeout=${OSKEL_OVMF_TIMEOUT:-240}
boots=${OSKEL_OVMF_BOOTS:-OskelOvmfIa32Src OskelOvmfX64 OskelOvmfIa32Dwarf OskelOvmfIa32Pe32}
# A cold OVMF build takes minutes on two cores; a stalled one must end the
# check rather than the CI run.
build_timeout=${OSKEL_OVMF_BUILD_TIMEOUT:-1800}
script_started=$(date +%s)

say() {
  echo "ovmf-check: $*"
}

"$root/Tools/install-deps.sh" build-essential uuid-dev nasm acpica-tools python3 \
  python-is-python3 dpkg-dev qemu-system-x86 g++-mingw-w64-i686 g++-mingw-w64-x86-64 \
  clang lld llvm
. "$root/Tools/edk2-tree.sh"
. "$root/Tools/edk2-package.sh"

#
# The module's PE32 and PE32+ images, and the images and depex next to the
# binary INF.
#
"$root/Tools/build-pe32.sh" "$cache/pe32" >/dev/null
"$root/Tools/check-pe32.sh" "$cache/pe32/OskelCommandsPei.efi"
"$root/Tools/check-pe32.sh" "$cache/pe32/X64/OskelCommandsPei.efi"
binary=$package/Edk2/OskelCommandsPei
mkdir -p "$binary/X64"
cp -p "$cache/pe32/OskelCommandsPei.efi" "$cache/pe32/OskelCommandsPei.depex" "$binary/"
cp -p "$cache/pe32/X64/OskelCommandsPei.efi" "$binary/X64/"

failed=""
checked=""

for name in $boots; do
  case $name in
    OskelOvmfIa32Src) arch=Ia32 kind=source toolchain=GCC5 ;;
    OskelOvmfX64) arch=X64 kind=source toolchain=CLANGPDB ;;
    OskelOvmfIa32Dwarf) arch=Ia32 kind=source toolchain=CLANGDWARF ;;
    OskelOvmfIa32Pe32) arch=Ia32 kind=binary toolchain=GCC5 ;;
    *) say "unknown boot $name"; exit 1 ;;
  esac
  build_arch=$(echo "$arch" | tr a-z A-Z)
  python3 "$root/Edk2/PatchOvmf.py" "$edk2" "$arch" "$kind" "$name"

  started=$(date +%s)
  say "$name: building OVMF $build_arch with $toolchain and the module ($kind; log: $log/$name-build.log)"
  if ! edk2_build "$toolchain" "$log/$name-build.log" "$build_timeout" \
    -a "$build_arch" -p "OvmfPkg/$name.dsc" -b DEBUG -D BUILD_SHELL=FALSE; then
    grep -E ": error|error:|Error [0-9]" "$log/$name-build.log" | grep -v '^"' | tail -n 30
    say "FAIL $name: OVMF build"
    failed="$failed $name"
    continue
  fi
  built=$(date +%s)

  if [ "$kind" = source ]; then
    module=$edk2/Build/$name/DEBUG_$toolchain/$build_arch/OskelCommandsPkg/OskelCommands/Pei/OskelCommandsPei
    image=$module/OUTPUT/OskelCommandsPei.efi
    python3 "$root/Edk2/ModuleSections.py" "$name module ($toolchain $build_arch)" "$module/DEBUG/OskelCommandsPei.map" ||
      failed="$failed $name"
  else
    image=$cache/pe32/OskelCommandsPei.efi
  fi

  #
  # Boot with the debug console on port 402h and wait for the consumer's
  # last line, or the time limit.
  #
  fv=$edk2/Build/$name/DEBUG_$toolchain/FV
  run=$cache/run/$name
  mkdir -p "$run"
  cp "$fv/OVMF_VARS.fd" "$run/OVMF_VARS.fd"
  : >"$run/debug.log"
  qemu=qemu-system-i386
  [ "$arch" = X64 ] && qemu=qemu-system-x86_64
  "$qemu" -machine q35 -m 256 \
    -drive if=pflash,format=raw,unit=0,file="$fv/OVMF_CODE.fd",readonly=on \
    -drive if=pflash,format=raw,unit=1,file="$run/OVMF_VARS.fd" \
    -debugcon file:"$run/debug.log" -global isa-debugcon.iobase=0x402 \
    -display none -net none -serial null -monitor none >"$run/qemu.log" 2>&1 &
  qemu_pid=$!
  waited=0
  while kill -0 "$qemu_pid" 2>/dev/null && [ "$waited" -lt "$boot_timeout" ]; do
    grep -q "OskelConsumer: done" "$run/debug.log" && break
    sleep 1
    waited=$((waited + 1))
  done
  # Let the lines that follow the consumer reach the log, then stop QEMU
  # with SIGKILL: after SIGTERM, QEMU 7.2 under TCG can deadlock in its own
  # shutdown (seen here: "terminating on signal 15", then its main thread
  # blocked on a futex for good), and nothing of the guest is kept anyway.
  # The debug console is a file chardev, written as each byte arrives.
  sleep 1
  kill -KILL "$qemu_pid" 2>/dev/null || true
  wait "$qemu_pid" 2>/dev/null || true
  finished=$(date +%s)

  say "$name: build $((built - started)) s, boot $((finished - built)) s (log: $run/debug.log)"
  python3 "$root/Edk2/CheckBootLog.py" "$run/debug.log" "$image" || failed="$failed $name"
  checked="$checked $name"
done

say "checked:$checked; total $(($(date +%s) - script_started)) s"
if [ -n "$failed" ]; then
  say "FAIL$failed"
  exit 1
fi
say "PASS$checked"
