#!/bin/sh
# Boots the module's PE32 image as a binary PEIM of OVMF IA32 under QEMU,
# with EDK II's own PEI core, next to a scripted IPMI transport and a
# consumer PEIM built by EDK II from Edk2/, then checks the debug log.
#
# Everything from the edk2 source package to the firmware image is built
# under OSKEL_EDK2_CACHE (default /var/tmp/oskel-edk2) and reused when
# present, so a rerun costs one incremental build and one boot.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${OSKEL_EDK2_CACHE:-/var/tmp/oskel-edk2}
boot_timeout=${OSKEL_OVMF_TIMEOUT:-240}
# A cold OVMF build takes minutes on two cores; a stalled one must end the
# check rather than the CI run.
build_timeout=${OSKEL_OVMF_BUILD_TIMEOUT:-1800}
started=$(date +%s)

say() {
  echo "ovmf-check: $*"
}

"$root/Tools/install-deps.sh" build-essential uuid-dev nasm acpica-tools python3 \
  python-is-python3 dpkg-dev qemu-system-x86 g++-mingw-w64-i686
mkdir -p "$cache"
# One build and one boot at a time: the edk2 tree, the staged package and
# the run directory are shared by every checkout on the machine.
exec 9>"$cache/.lock"
flock 9

#
# The edk2 source package of the running Debian release.
#
edk2=$(find "$cache" -maxdepth 2 -name edksetup.sh -path "$cache/edk2-*" 2>/dev/null | head -n 1)
if [ -z "$edk2" ]; then
  if ! apt-get source --print-uris edk2 >/dev/null 2>&1; then
    [ "$(id -u)" -eq 0 ] || { say "no deb-src entry for edk2 (run as root to add one)"; exit 1; }
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
        >/etc/apt/sources.list.d/oskel-edk2-src.sources
    else
      sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >/etc/apt/sources.list.d/oskel-edk2-src.list
    fi
    apt-get update -qq
  fi
  say "fetching the edk2 source package"
  (cd "$cache" && apt-get source -qq edk2 >/dev/null 2>&1)
  edk2=$(find "$cache" -maxdepth 2 -name edksetup.sh -path "$cache/edk2-*" | head -n 1)
fi
edk2=$(dirname "$edk2")
log=$cache/logs
mkdir -p "$log"

if [ ! -x "$edk2/BaseTools/Source/C/bin/GenFv" ]; then
  say "building BaseTools"
  (cd "$edk2" && bash -c '. ./edksetup.sh >/dev/null && make -C BaseTools -j2' >"$log/basetools.log" 2>&1) ||
    { tail -n 30 "$log/basetools.log"; say "FAIL BaseTools build"; exit 1; }
fi

#
# The module's PE32 image, and the package as an EDK II build sees it:
# the .dec, the public headers without the standalone PI layer (MdePkg's
# own PiPei.h must be the one found), the INFs and sources under Edk2/,
# and the image and depex next to the binary INF.
#
"$root/Tools/build-pe32.sh" "$cache/pe32" >/dev/null
"$root/Tools/check-pe32.sh" "$cache/pe32/OskelCommandsPei.efi"

package=$cache/packages/OskelCommandsPkg
rm -rf "$package"
mkdir -p "$package/Include"
cp -p "$root/OskelCommandsPkg.dec" "$package/"
cp -pR "$root/Include/Ppi" "$package/Include/"
cp -pR "$root/Edk2" "$package/"
cp -p "$cache/pe32/OskelCommandsPei.efi" "$cache/pe32/OskelCommandsPei.depex" "$package/Edk2/OskelCommandsPei/"
python3 "$root/Edk2/PatchOvmf.py" "$edk2"

say "building OVMF IA32 with the module (log: $log/ovmf-build.log)"
(cd "$edk2" && WORKSPACE=$edk2 PACKAGES_PATH=$edk2:$cache/packages bash -c \
  '. ./edksetup.sh >/dev/null && timeout -k 30 "$0" build -a IA32 -t GCC5 -p OvmfPkg/OskelOvmfIa32.dsc -b DEBUG -D BUILD_SHELL=FALSE -n 2' "$build_timeout" \
  >"$log/ovmf-build.log" 2>&1) ||
  { grep -E "error|Error|ERROR" "$log/ovmf-build.log" | tail -n 30; say "FAIL OVMF build"; exit 1; }
built=$(date +%s)

#
# Boot with the debug console on port 402h and wait for the consumer's
# last line, or the time limit.
#
fv=$edk2/Build/OskelOvmfIa32/DEBUG_GCC5/FV
run=$cache/run
mkdir -p "$run"
cp "$fv/OVMF_VARS.fd" "$run/OVMF_VARS.fd"
: >"$run/debug.log"
qemu-system-i386 -machine q35 -m 256 \
  -drive if=pflash,format=raw,unit=0,file="$fv/OVMF_CODE.fd",readonly=on \
  -drive if=pflash,format=raw,unit=1,file="$run/OVMF_VARS.fd" \
  -debugcon file:"$run/debug.log" -global isa-debugcon.iobase=0x402 \
  -display none -net none -serial null -monitor none >"$run/qemu.log" 2>&1 &
qemu=$!
waited=0
while kill -0 "$qemu" 2>/dev/null && [ "$waited" -lt "$boot_timeout" ]; do
  grep -q "OskelConsumer: done" "$run/debug.log" && break
  sleep 1
  waited=$((waited + 1))
done
# Let the lines that follow the consumer reach the log, then stop QEMU with
# SIGKILL: after SIGTERM, QEMU 7.2 under TCG can deadlock in its own
# shutdown (seen here: "terminating on signal 15", then its main thread
# blocked on a futex for good), and nothing of the guest is kept anyway.
# The debug console is a file chardev, written as each byte arrives.
sleep 1
kill -KILL "$qemu" 2>/dev/null || true
wait "$qemu" 2>/dev/null || true
finished=$(date +%s)

say "build $((built - started)) s, boot $((finished - built)) s (log: $run/debug.log)"
python3 "$root/Edk2/CheckBootLog.py" "$run/debug.log" "$cache/pe32/OskelCommandsPei.efi"
