#!/bin/sh
# Boots the module under EDK II's own PEI core in OVMF, next to a scripted
# IPMI transport and a consumer PEIM built by EDK II from Edk2/, and checks
# each debug log. One boot per firmware image, so that every EDK II tool
# chain of Linux boots the module from source and each binary drop-in
# image boots too:
#  - OskelOvmfIa32Src: OvmfPkgIa32, GCC5, the module from source;
#  - OskelOvmfX64: OvmfPkgX64 (PEI in 64-bit mode), CLANGPDB, from source;
#  - OskelOvmfIa32Dwarf: OvmfPkgIa32, CLANGDWARF, from source;
#  - OskelOvmfIa32Pe32: OvmfPkgIa32, GCC5, the mingw PE32 image as a binary
#    module;
#  - OskelOvmfIa32ClangCl, OskelOvmfX64ClangCl: OvmfPkgIa32 and OvmfPkgX64,
#    GCC5, the images clang-cl and lld-link build as Visual Studio would
#    (Tools/build-pe32-clangcl.sh) as a binary module;
#  - OskelOvmfIa32Stable202605, OskelOvmfX64Stable202605: OvmfPkgIa32 and
#    OvmfPkgX64, GCC5, the module as edk2-stable202605's GCC (IA32) and
#    CLANGPDB (X64) build it from source, as a binary module (the images
#    Tools/edk2-package-check.sh lays out: run it first);
#  - NAME=Ia32:DIR or NAME=X64:DIR: any images laid out as the binary INF
#    takes them (DIR/OskelCommandsPei.efi for IA32, DIR/X64/OskelCommandsPei.efi
#    for X64, DIR/OskelCommandsPei.depex), dropped in the same way.
# The binary boots of one architecture share one OVMF build (the platform
# is the same, only the images differ), so a further binary boot costs an
# incremental build and a boot. The package DSC builds of both EDK II
# generations are Tools/edk2-package-check.sh's.
# OSKEL_OVMF_BOOTS (default: the eight named boots) names the boots to run;
# "none" runs none of them. Each source boot has its own build directory,
# and each tool chain its own under it.
#
# Everything from the edk2 source package to the firmware images is built
# under OSKEL_EDK2_CACHE (default /var/tmp/oskel-edk2) and reused when
# present, so a rerun costs one incremental build and one boot per image.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${OSKEL_EDK2_CACHE:-/var/tmp/oskel-edk2}
boot_timeout=${OSKEL_OVMF_TIMEOUT:-240}
boots=${OSKEL_OVMF_BOOTS:-OskelOvmfIa32Src OskelOvmfX64 OskelOvmfIa32Dwarf OskelOvmfIa32Pe32
  OskelOvmfIa32ClangCl OskelOvmfX64ClangCl OskelOvmfIa32Stable202605 OskelOvmfX64Stable202605}
[ "$boots" = none ] && boots=""
# A cold OVMF build takes minutes on two cores; a stalled one must end the
# check rather than the CI run.
build_timeout=${OSKEL_OVMF_BUILD_TIMEOUT:-1800}
script_started=$(date +%s)

say() {
  echo "ovmf-check: $*"
}

#
# Every name is checked before anything is built: a misspelt one must not
# cost a cold build first.
#
# boot_spec NAME: sets arch (Ia32, X64), kind (source, binary), toolchain,
# images (a binary boot's image directory; for a named one, the script
# that builds it) and platform (the OVMF build: a source boot's own, one
# per architecture for the binary boots).
boot_spec() {
  images="" builder=""
  case $1 in
    OskelOvmfIa32Src) arch=Ia32 kind=source toolchain=GCC5 ;;
    OskelOvmfX64) arch=X64 kind=source toolchain=CLANGPDB ;;
    OskelOvmfIa32Dwarf) arch=Ia32 kind=source toolchain=CLANGDWARF ;;
    OskelOvmfIa32Pe32) arch=Ia32 kind=binary images=$cache/pe32 builder=build-pe32.sh ;;
    OskelOvmfIa32ClangCl) arch=Ia32 kind=binary images=$cache/pe32-clangcl builder=build-pe32-clangcl.sh ;;
    OskelOvmfX64ClangCl) arch=X64 kind=binary images=$cache/pe32-clangcl builder=build-pe32-clangcl.sh ;;
    OskelOvmfIa32Stable202605) arch=Ia32 kind=binary images=$cache/images/edk2-202605 ;;
    OskelOvmfX64Stable202605) arch=X64 kind=binary images=$cache/images/edk2-202605 ;;
    *=Ia32:?* | *=X64:?*)
      spec=${1#*=}
      arch=${spec%%:*} kind=binary images=$(cd "${spec#*:}" 2>/dev/null && pwd) ||
        { say "no image directory ${spec#*:} for ${1%%=*}"; exit 1; } ;;
    *) say "unknown boot $1 (a named boot, or NAME=Ia32:DIR or NAME=X64:DIR)"; exit 1 ;;
  esac
  name=${1%%=*}
  platform=$name
  if [ "$kind" = binary ]; then
    toolchain=GCC5 platform=OskelOvmf${arch}Binary
    image=$images/OskelCommandsPei.efi
    if [ "$arch" = X64 ]; then
      image=$images/X64/OskelCommandsPei.efi
    fi
  fi
}
for spec in $boots; do
  boot_spec "$spec"
  if [ -z "$builder" ] && [ "$kind" = binary ] && { [ ! -f "$image" ] || [ ! -f "$images/OskelCommandsPei.depex" ]; }; then
    say "$name: no $image, or no $images/OskelCommandsPei.depex (edk2-stable202605's images come from Tools/edk2-package-check.sh)"
    exit 1
  fi
done

"$root/Tools/install-deps.sh" build-essential uuid-dev nasm acpica-tools python3 \
  python-is-python3 dpkg-dev qemu-system-x86 g++-mingw-w64-i686 g++-mingw-w64-x86-64 \
  clang clang-tools lld llvm
. "$root/Tools/edk2-tree.sh"
. "$root/Tools/edk2-package.sh"

#
# The named boots' images, each set built and checked once (mingw's, and
# clang-cl's as Visual Studio would build them).
#
built_images=""
for spec in $boots; do
  boot_spec "$spec"
  [ -n "$builder" ] || continue
  case " $built_images " in *" $builder "*) continue ;; esac
  "$root/Tools/$builder" "$images" >/dev/null
  "$root/Tools/check-pe32.sh" "$images/OskelCommandsPei.efi"
  "$root/Tools/check-pe32.sh" "$images/X64/OskelCommandsPei.efi"
  built_images="$built_images $builder"
done

# drop_in DIR: the images and depex of DIR next to the binary INF, copied
# with new times so that the binary boots' shared build takes them.
drop_in() {
  binary=$package/Edk2/OskelCommandsPei
  rm -rf "$binary/X64" "$binary"/*.efi "$binary"/*.depex
  mkdir -p "$binary/X64"
  cp "$1/OskelCommandsPei.depex" "$binary/"
  [ ! -f "$1/OskelCommandsPei.efi" ] || cp "$1/OskelCommandsPei.efi" "$binary/"
  [ ! -f "$1/X64/OskelCommandsPei.efi" ] || cp "$1/X64/OskelCommandsPei.efi" "$binary/X64/"
}

failed=""
checked=""

for spec in $boots; do
  boot_spec "$spec"
  build_arch=$(echo "$arch" | tr a-z A-Z)
  python3 "$root/Edk2/PatchOvmf.py" "$edk2" "$arch" "$kind" "$platform"
  [ "$kind" = binary ] && drop_in "$images"

  started=$(date +%s)
  say "$name: building OVMF $build_arch with $toolchain and the module ($kind${images:+ from $images}; log: $log/$name-build.log)"
  if ! edk2_build "$toolchain" "$log/$name-build.log" "$build_timeout" \
    -a "$build_arch" -p "OvmfPkg/$platform.dsc" -b DEBUG -D BUILD_SHELL=FALSE; then
    grep -E ": error|error:|Error [0-9]" "$log/$name-build.log" | grep -v '^"' | tail -n 30
    say "FAIL $name: OVMF build"
    failed="$failed $name"
    continue
  fi
  built=$(date +%s)

  if [ "$kind" = source ]; then
    module=$edk2/Build/$platform/DEBUG_$toolchain/$build_arch/OskelCommandsPkg/OskelCommands/Pei/OskelCommandsPei
    image=$module/OUTPUT/OskelCommandsPei.efi
    python3 "$root/Edk2/ModuleSections.py" "$name module ($toolchain $build_arch)" "$module/DEBUG/OskelCommandsPei.map" ||
      failed="$failed $name"
  fi

  #
  # Boot with the debug console on port 402h and wait for the consumer's
  # last line, or the time limit.
  #
  fv=$edk2/Build/$platform/DEBUG_$toolchain/FV
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
