#!/bin/sh
# Boots the module under EDK II's own PEI core in OVMF, next to a scripted
# IPMI transport and a consumer PEIM built by EDK II from Edk2/, and checks
# each debug log. Three firmware images, one boot each:
#  - OskelOvmfIa32Src: OvmfPkgIa32 with the module built from source by EDK II;
#  - OskelOvmfX64: OvmfPkgX64 (PEI in 64-bit mode), module built from source;
#  - OskelOvmfIa32Pe32: OvmfPkgIa32 with the mingw PE32 image as a binary
#    module.
# OSKEL_OVMF_BOOTS (default: all three) names the ones to run. The names
# differ from older checkouts' single OskelOvmfIa32 (binary module), so that
# checkouts sharing the cache never reuse each other's build directory.
#
# Everything from the edk2 source package to the firmware images is built
# under OSKEL_EDK2_CACHE (default /var/tmp/oskel-edk2) and reused when
# present, so a rerun costs one incremental build and one boot per image.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${OSKEL_EDK2_CACHE:-/var/tmp/oskel-edk2}
boot_timeout=${OSKEL_OVMF_TIMEOUT:-240}
boots=${OSKEL_OVMF_BOOTS:-OskelOvmfIa32Src OskelOvmfX64 OskelOvmfIa32Pe32}
# A cold OVMF build takes minutes on two cores; a stalled one must end the
# check rather than the CI run.
build_timeout=${OSKEL_OVMF_BUILD_TIMEOUT:-1800}
script_started=$(date +%s)

say() {
  echo "ovmf-check: $*"
}

"$root/Tools/install-deps.sh" build-essential uuid-dev nasm acpica-tools python3 \
  python-is-python3 dpkg-dev qemu-system-x86 g++-mingw-w64-i686 g++-mingw-w64-x86-64
. "$root/Tools/edk2-tree.sh"

#
# The module's PE32 and PE32+ images, and the package as an EDK II build
# sees it: the .dec and .dsc, the public headers without the standalone PI
# layer (MdePkg's own PiPei.h must be the one found), the module's sources
# with their INF, the INFs and sources under Edk2/, and the images and
# depex next to the binary INF.
#
"$root/Tools/build-pe32.sh" "$cache/pe32" >/dev/null
"$root/Tools/check-pe32.sh" "$cache/pe32/OskelCommandsPei.efi"
"$root/Tools/check-pe32.sh" "$cache/pe32/X64/OskelCommandsPei.efi"

package=$cache/packages/OskelCommandsPkg
rm -rf "$package"
mkdir -p "$package/Include" "$package/OskelCommands"
cp -p "$root/OskelCommandsPkg.dec" "$root/OskelCommandsPkg.dsc" "$package/"
cp -pR "$root/Include/Ppi" "$package/Include/"
cp -pR "$root/OskelCommands/Pei" "$package/OskelCommands/"
mkdir -p "$package/KcsTransport"
cp -pR "$root/KcsTransport/Pei" "$package/KcsTransport/"
cp -pR "$root/Edk2" "$package/"
binary=$package/Edk2/OskelCommandsPei
mkdir -p "$binary/X64"
cp -p "$cache/pe32/OskelCommandsPei.efi" "$cache/pe32/OskelCommandsPei.depex" "$binary/"
cp -p "$cache/pe32/X64/OskelCommandsPei.efi" "$binary/X64/"

failed=""
checked=""

#
# Both PEIMs of the package from source against MdePkg alone, for PEI in
# 32-bit and in 64-bit mode, with their sizes.
#
say "package DSC: the module and the KCS transport from source, IA32 and X64 (log: $log/package-build.log)"
if (cd "$edk2" && WORKSPACE=$edk2 PACKAGES_PATH=$edk2:$cache/packages bash -c \
  'limit=$0; set --; . ./edksetup.sh >/dev/null &&
   timeout -k 30 "$limit" build -p OskelCommandsPkg/OskelCommandsPkg.dsc -a IA32 -a X64 -t GCC5 -b DEBUG -n 2' \
  "$build_timeout" >"$log/package-build.log" 2>&1); then
  for arch in IA32 X64; do
    for module in OskelCommands/Pei/OskelCommandsPei KcsTransport/Pei/KcsTransportPei; do
      python3 "$root/Edk2/ModuleSections.py" "package $arch $(basename "$module")" \
        "$edk2/Build/OskelCommandsPkg/DEBUG_GCC5/$arch/OskelCommandsPkg/$module/DEBUG/$(basename "$module").map" ||
        failed="$failed package"
    done
  done
else
  grep -E "error|Error|ERROR" "$log/package-build.log" | tail -n 30
  say "FAIL package DSC build"
  failed="$failed package"
fi
for name in $boots; do
  case $name in
    OskelOvmfIa32Src) arch=Ia32 kind=source ;;
    OskelOvmfX64) arch=X64 kind=source ;;
    OskelOvmfIa32Pe32) arch=Ia32 kind=binary ;;
    *) say "unknown boot $name"; exit 1 ;;
  esac
  build_arch=$(echo "$arch" | tr a-z A-Z)
  python3 "$root/Edk2/PatchOvmf.py" "$edk2" "$arch" "$kind" "$name"

  started=$(date +%s)
  say "$name: building OVMF $build_arch with the module ($kind; log: $log/$name-build.log)"
  # edksetup.sh reads the positional parameters: none may reach it.
  if ! (cd "$edk2" && WORKSPACE=$edk2 PACKAGES_PATH=$edk2:$cache/packages bash -c \
    'limit=$0 arch=$1 dsc=OvmfPkg/$2.dsc; set --; . ./edksetup.sh >/dev/null &&
     timeout -k 30 "$limit" build -a "$arch" -t GCC5 -p "$dsc" -b DEBUG -D BUILD_SHELL=FALSE -n 2' \
    "$build_timeout" "$build_arch" "$name" >"$log/$name-build.log" 2>&1); then
    grep -E "error|Error|ERROR" "$log/$name-build.log" | grep -v "^\"" | tail -n 30
    say "FAIL $name: OVMF build"
    failed="$failed $name"
    continue
  fi
  built=$(date +%s)

  if [ "$kind" = source ]; then
    module=$edk2/Build/$name/DEBUG_GCC5/$build_arch/OskelCommandsPkg/OskelCommands/Pei/OskelCommandsPei
    image=$module/OUTPUT/OskelCommandsPei.efi
    python3 "$root/Edk2/ModuleSections.py" "$name module" "$module/DEBUG/OskelCommandsPei.map" ||
      failed="$failed $name"
  else
    image=$cache/pe32/OskelCommandsPei.efi
  fi

  #
  # Boot with the debug console on port 402h and wait for the consumer's
  # last line, or the time limit.
  #
  fv=$edk2/Build/$name/DEBUG_GCC5/FV
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
