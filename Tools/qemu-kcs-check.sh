#!/bin/sh
# Boots OVMF IA32 in QEMU on a board with two KCS BMCs that other people
# wrote: BMC 0 is QEMU's own BMC (ipmi-bmc-sim) on an isa-ipmi-kcs at CA2h,
# BMC 1 is OpenIPMI's ipmi_sim with the OEM plug-in, reached through
# QEMU's external BMC (ipmi-bmc-extern, serial VM codec over loopback) on a
# second isa-ipmi-kcs at EA2h. The module and the KCS transport run as
# binary PEIMs, next to UefiCpuPkg's CpuIoPei and the board PEIM of
# Edk2/KcsBoardPei; the consumer of Edk2/KcsConsumerPei calls the service
# after memory. Three boots:
#  - check: every consumer call, then ipmitool over ipmi_sim's LAN interface
#    reads back the watchdog, the file, the setting and the boot stages;
#  - bite: a POST watchdog of five seconds nobody stops: the BMC resets the
#    machine, which boots a second time;
#  - stop: the same watchdog stopped with a raw Set Watchdog Timer: no reset.
# Then four boots of the same image with BMC 1 broken, the consumer making
# the calls of the check boot:
#  - hung: ipmi_sim stopped (SIGSTOP) before power-on, continued after;
#  - absent: no ipmi_sim, no second isa-ipmi-kcs (the HOB still says two);
#  - disconnected: ipmi_sim killed before power-on;
#  - late: ipmi_sim started LATE_START seconds after power-on, with the
#    board's ready wait on (fw_cfg opt/oskel/ready-wait, READY_WAIT s).
# Each boot is timed from QEMU's start to the consumer's "done" line.
# Then Edk2/CheckKcsBoot.py prints PASS or FAIL per requirement. Before
# them, the same OVMF build with the images clang-cl and lld-link build as
# Visual Studio would (Tools/build-pe32-clangcl.sh) in the mingw images'
# place makes the check boot and its ipmitool reads, checked alike
# (OSKEL_KCS_CLANGCL=0 leaves it out).
#
# Usage: qemu-kcs-check.sh [PLUGIN]  (default build/native/oskel-ipmi-sim-oem.so)
# The edk2 tree and builds are shared with Tools/ovmf-check.sh under
# OSKEL_EDK2_CACHE (default /var/tmp/oskel-edk2).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${OSKEL_EDK2_CACHE:-/var/tmp/oskel-edk2}
plugin=${1:-$root/build/native/oskel-ipmi-sim-oem.so}
boot_timeout=${OSKEL_OVMF_TIMEOUT:-240}
late_start=4
ready_wait=20
build_timeout=${OSKEL_OVMF_BUILD_TIMEOUT:-1800}
clangcl=${OSKEL_KCS_CLANGCL:-1}
started=$(date +%s)

say() {
  echo "qemu-kcs-check: $*"
}

"$root/Tools/install-deps.sh" build-essential uuid-dev nasm acpica-tools python3 \
  python-is-python3 dpkg-dev qemu-system-x86 g++-mingw-w64-i686 openipmi ipmitool \
  clang-tools lld
[ -f "$plugin" ] || { say "no ipmi_sim plug-in at $plugin (build the native preset)"; exit 1; }
plugin=$(cd "$(dirname "$plugin")" && pwd)/$(basename "$plugin")
. "$root/Tools/edk2-tree.sh"

#
# The PE32 images of the module and of the transport (mingw's, and
# clang-cl's when asked for), and the package as an EDK II build sees it
# (MdePkg's PiPei.h, not the standalone PI layer).
#
images_of() {
  for peim in OskelCommandsPei KcsTransportPei; do
    "$root/Tools/$1" "$2" "$peim" >/dev/null
    "$root/Tools/check-pe32.sh" "$2/$peim.efi" >/dev/null
    "$root/Tools/check-pe32.sh" "$2/X64/$peim.efi" >/dev/null
  done
}
images_of build-pe32.sh "$cache/pe32"
[ "$clangcl" = 0 ] || images_of build-pe32-clangcl.sh "$cache/pe32-clangcl"
package=$cache/packages/OskelCommandsPkg
rm -rf "$package"
mkdir -p "$package/Include"
cp -p "$root/OskelCommandsPkg.dec" "$package/"
cp -pR "$root/Include/Ppi" "$root/Include/Guid" "$package/Include/"
cp -pR "$root/Edk2" "$package/"
python3 "$root/Edk2/PatchOvmfKcs.py" "$edk2" OskelCommandsPkg/Edk2/KcsTransportPei/KcsTransportPei.inf

# board IMAGES: the images of IMAGES next to the binary INFs, copied with
# new times (the same build takes one set, then the other), and the
# board's OVMF IA32 built with them.
board() {
  for peim in OskelCommandsPei KcsTransportPei; do
    mkdir -p "$package/Edk2/$peim/X64"
    cp "$1/$peim.efi" "$1/$peim.depex" "$package/Edk2/$peim/"
    cp "$1/X64/$peim.efi" "$package/Edk2/$peim/X64/"
  done
  say "building the KCS board's OVMF IA32 with $1 (log: $log/kcs-build.log)"
  (cd "$edk2" && WORKSPACE=$edk2 PACKAGES_PATH=$edk2:$cache/packages bash -c \
    'limit=$0; set --; . ./edksetup.sh >/dev/null &&
     timeout -k 30 "$limit" build -a IA32 -t GCC5 -p OvmfPkg/OskelKcsOvmfIa32.dsc -b DEBUG -D BUILD_SHELL=FALSE -n 2' \
    "$build_timeout" >"$log/kcs-build.log" 2>&1) ||
    { grep -E "error|Error|ERROR" "$log/kcs-build.log" | tail -n 30; say "FAIL OVMF build"; exit 1; }
}
fv=$edk2/Build/OskelKcsOvmfIa32/DEBUG_GCC5/FV

#
# Each boot gets its own ipmi_sim, on free loopback ports, with a fresh
# state directory; both processes are stopped by their PIDs.
#
sim_pid=""
qemu_pid=""
stop_all() {
  [ -n "$qemu_pid" ] && kill -KILL "$qemu_pid" 2>/dev/null
  [ -n "$sim_pid" ] && kill -KILL "$sim_pid" 2>/dev/null
  wait 2>/dev/null
  qemu_pid=""
  sim_pid=""
}
trap stop_all EXIT
. "$root/Tools/ipmi-sim-board.sh"
ipmi() {
  timeout 15 ipmitool -I lan -H 127.0.0.1 -p "$lan" -U admin -P secret -R 2 -N 2 "$@"
}

prepare_ipmi_sim() {
  lan=$(free_port)
  serial=$(free_port)
  ipmi_sim_files "$1" "$serial" "$lan" "$plugin" 1
}

launch_ipmi_sim() {
  ipmi_sim -c "$1/lan.conf" -f "$1/emulation" -s "$1/state" -n >"$1/ipmi_sim.log" 2>&1 &
  sim_pid=$!
}

start_ipmi_sim() {
  run=$1
  prepare_ipmi_sim "$run"
  launch_ipmi_sim "$run"
  waited=0
  until ipmi mc info >/dev/null 2>&1; do
    waited=$((waited + 1))
    if [ "$waited" -ge 20 ] || ! kill -0 "$sim_pid" 2>/dev/null; then
      cat "$run/ipmi_sim.log"
      say "FAIL ipmi_sim did not answer on 127.0.0.1:$lan"
      exit 1
    fi
    sleep 0.5
  done
}

# boot NAME FWCFG PATTERN COUNT SETTLE [BMC1 [READY]]: boots until PATTERN
# has appeared COUNT times in the debug log (or the time limit), then
# SETTLE seconds more. BMC1 is how BMC 1 is: sim (ipmi_sim answering),
# hung, absent, disconnected or late; READY the board's ready wait in
# seconds. The seconds from QEMU's start to PATTERN go to NAME/boot-seconds.
now() {
  date +%s.%N
}

boot() {
  name=$1
  bmc1=${6:-sim}
  run=$runs/$name
  mkdir -p "$run"
  case $bmc1 in
    sim | hung | disconnected) start_ipmi_sim "$run" ;;
    late) prepare_ipmi_sim "$run" ;;
  esac
  case $bmc1 in
    hung) kill -STOP "$sim_pid" ;;
    disconnected) kill -KILL "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; sim_pid="" ;;
  esac
  bmc1_devices=""
  [ "$bmc1" != absent ] && bmc1_devices="-chardev socket,id=bmc1link,host=127.0.0.1,port=$serial,reconnect=1
    -device ipmi-bmc-extern,chardev=bmc1link,id=bmc1 -device isa-ipmi-kcs,bmc=bmc1,ioport=0xea2,irq=0"
  cp "$fv/OVMF_VARS.fd" "$run/OVMF_VARS.fd"
  : >"$run/debug.log"
  fwcfg=""
  [ -n "$2" ] && fwcfg="-fw_cfg name=opt/oskel/watchdog,string=$2"
  [ -n "${7:-}" ] && fwcfg="$fwcfg -fw_cfg name=opt/oskel/ready-wait,string=$7"
  echo "$bmc1" >"$run/bmc1"
  # shellcheck disable=SC2086
  qemu-system-i386 -machine q35 -m 256 \
    -drive if=pflash,format=raw,unit=0,file="$fv/OVMF_CODE.fd",readonly=on \
    -drive if=pflash,format=raw,unit=1,file="$run/OVMF_VARS.fd" \
    -debugcon file:"$run/debug.log" -global isa-debugcon.iobase=0x402 \
    -display none -net none -serial null -monitor none $fwcfg \
    -device ipmi-bmc-sim,id=bmc0 -device isa-ipmi-kcs,bmc=bmc0 \
    $bmc1_devices >"$run/qemu.log" 2>&1 &
  qemu_pid=$!
  powered=$(now)
  if [ "$bmc1" = late ]; then
    sleep "$late_start"
    launch_ipmi_sim "$run"
    echo "$(now) $powered" | awk '{ printf "%.2f\n", $1 - $2 }' >"$run/late-start-seconds"
  fi
  limit=$(echo "$powered $boot_timeout" | awk '{ printf "%d\n", $1 + $2 }')
  while kill -0 "$qemu_pid" 2>/dev/null && [ "$(date +%s)" -lt "$limit" ]; do
    if [ "$(grep -c "$3" "$run/debug.log")" -ge "$4" ]; then
      echo "$(now) $powered" | awk '{ printf "%.2f\n", $1 - $2 }' >"$run/boot-seconds"
      break
    fi
    sleep 0.1
  done
  sleep "$5"
  [ "$bmc1" = hung ] && kill -CONT "$sim_pid"
  true
}

# The check boot, then the BMC side of it with ipmitool.
check_boot() {
  boot check "" "OskelKcsConsumer: done" 1 1
  {
    echo "== mc info"; ipmi mc info || true
    echo "== mc watchdog get"; ipmi mc watchdog get || true
    echo "== boot stages"; ipmi raw 0x2e 0xf0 0x4d 0x4f 0x00 || true
    echo "== setting smbioscrc"; ipmi raw 0x3a 0xc4 0x00 0x00 0x13 0x92 $(printf /ac/uefi/smbioscrc | od -An -tx1 | sed 's/ / 0x/g') || true
    name=$(printf config | od -An -tx1 | sed 's/ / 0x/g')
    echo "== file config"
    set -- $(ipmi raw 0x2e 0x90 0x4d 0x4f 0x00 0x01 0x03 0x00 0 0 0 0 0x00 0x03 $name || true)
    if [ "$#" -eq 7 ]; then
      handle="0x$4 0x$5 0x$6 0x$7"
      offset=0
      while [ "$offset" -lt 300 ]; do
        ipmi raw 0x2e 0x90 0x4d 0x4f 0x00 0x02 $handle $(printf '0x%02x 0x%02x' $((offset & 255)) $((offset >> 8))) 0 0 0x1e 0x00 || break
        offset=$((offset + 30))
      done
      ipmi raw 0x2e 0x90 0x4d 0x4f 0x00 0x05 $handle >/dev/null || true
    fi
  } >"$runs/check/ipmitool.txt" 2>&1
  stop_all
}

# fresh_runs DIR: the boots' logs go to DIR, emptied first.
fresh_runs() {
  runs=$1
  rm -rf "$runs"
  mkdir -p "$runs"
}

# The clang-cl images first, so that the board's build ends with the mingw
# images, which the steps by hand (docs/qemu-board.md) take.
status=0
if [ "$clangcl" != 0 ]; then
  building=$(date +%s)
  board "$cache/pe32-clangcl"
  rebuilt=$(date +%s)
  fresh_runs "$cache/run/kcs-clangcl"
  check_boot
  say "clang-cl images: build $((rebuilt - building)) s, check boot $(($(date +%s) - rebuilt)) s (logs: $runs)"
  python3 "$root/Edk2/CheckKcsBoot.py" "$runs" "$cache/pe32-clangcl" check || status=1
fi

building=$(date +%s)
board "$cache/pe32"
built=$(date +%s)
fresh_runs "$cache/run/kcs"
check_boot

# The bite: a second start of the consumer means the machine was reset.
boot bite bite "OskelKcsConsumer: start" 2 1
ipmi mc watchdog get >"$runs/bite/ipmitool.txt" 2>&1 || true
stop_all

# The stop: wait well past the countdown for a reset that must not come.
boot stop stop "OskelKcsConsumer: done" 1 12
ipmi mc watchdog get >"$runs/stop/ipmitool.txt" 2>&1 || true
stop_all

# BMC 1 broken four ways; the consumer's mode names the fault.
for fault in hung absent disconnected; do
  boot "$fault" "$fault" "OskelKcsConsumer: done" 1 0 "$fault"
  stop_all
done
boot late late "OskelKcsConsumer: done" 1 0 late "$ready_wait"
stop_all
finished=$(date +%s)

say "mingw images: build $((built - building)) s, boots $((finished - built)) s (logs: $runs)"
python3 "$root/Edk2/CheckKcsBoot.py" "$runs" "$cache/pe32" || status=1
exit "$status"
