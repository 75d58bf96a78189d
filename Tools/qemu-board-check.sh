#!/bin/sh
# Boots OVMF IA32 in QEMU on a board with three or four BMCs that other
# people wrote, on three system interfaces: BMC 0 is QEMU's own BMC
# (ipmi-bmc-sim) on an isa-ipmi-kcs at CA2h; BMC 1 is OpenIPMI's ipmi_sim
# with the OEM plug-in, reached through QEMU's external BMC
# (ipmi-bmc-extern, serial VM codec over loopback) on a second
# isa-ipmi-kcs at EA2h; BMC 2 is a second ipmi_sim with the plug-in behind
# a second external BMC on an isa-ipmi-bt at E4h; with the fw_cfg file
# opt/oskel/ssif, BMC 3 is a third behind a third external BMC on an
# smbus-ipmi at SMBus address 10h. The module and the IPMI transport (with
# SSIF) run as binary PEIMs, next to UefiCpuPkg's CpuIoPei, the board PEIM
# of Edk2/QemuBoardPei and the board's ICH9 SMBus PEIM of
# Edk2/QemuSmbusPei; the consumer of Edk2/QemuConsumerPei calls the
# service after memory, the same calls to BMCs 1, 2 and 3. Three boots:
#  - check: every consumer call, then ipmitool over each ipmi_sim's LAN
#    interface reads back the watchdog, the file, the setting and the boot
#    stages;
#  - bite: a POST watchdog of five seconds nobody stops: the BMC resets the
#    machine, which boots a second time;
#  - stop: the same watchdog stopped with a raw Set Watchdog Timer: no reset.
# Then eight boots of the same image, four with BMC 1 (KCS) broken and four
# with BMC 2 (BT) broken, the consumer making the calls of the check boot:
#  - hung: its ipmi_sim stopped (SIGSTOP) before power-on, continued after;
#  - absent: no ipmi_sim, no interface device (the HOBs still say three);
#  - disconnected: its ipmi_sim killed before power-on;
#  - late: its ipmi_sim started LATE_START seconds after power-on, with the
#    board's ready wait on (fw_cfg opt/oskel/ready-wait, READY_WAIT s).
# Then the four-BMC board: ssif-check, the check boot with BMC 3, and the
# four faults with BMC 3 (SSIF) broken (ssif-hung, ssif-absent: no
# smbus-ipmi, the address NACKs; ssif-disconnected, ssif-late).
# Each boot is timed from QEMU's start to the consumer's "done" line.
# Then Edk2/CheckQemuBoard.py prints PASS or FAIL per requirement. Before
# them, the same OVMF build with other builds of the two PEIMs in the mingw
# images' place makes the check boot and its ipmitool reads, checked alike:
# OSKEL_BOARD_OTHER_IMAGES names them (default "clangcl stable202605"):
#  - clangcl: the images clang-cl and lld-link build as Visual Studio would
#    (Tools/build-pe32-clangcl.sh);
#  - stable202605: the IA32 images edk2-stable202605's GCC tool chain built
#    from the package (Tools/edk2-package-check.sh leaves them in
#    $OSKEL_EDK2_CACHE/images/edk2-202605).
#
# Usage: qemu-board-check.sh [PLUGIN]  (default build/native/oskel-ipmi-sim-oem.so)
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
others=${OSKEL_BOARD_OTHER_IMAGES-clangcl stable202605}

say() {
  echo "qemu-board-check: $*"
}

"$root/Tools/install-deps.sh" build-essential uuid-dev nasm acpica-tools python3 \
  python-is-python3 dpkg-dev qemu-system-x86 g++-mingw-w64-i686 openipmi ipmitool \
  clang-tools lld
[ -f "$plugin" ] || { say "no ipmi_sim plug-in at $plugin (build the native preset)"; exit 1; }
plugin=$(cd "$(dirname "$plugin")" && pwd)/$(basename "$plugin")
. "$root/Tools/edk2-tree.sh"

#
# The PE32 images of the module and of the transport (mingw's, and the
# other builds asked for), and the package as an EDK II build sees it
# (MdePkg's PiPei.h, not the standalone PI layer).
#
images_of() {
  for peim in OskelCommandsPei IpmiTransportPei; do
    "$root/Tools/$1" "$2" "$peim" >/dev/null
    "$root/Tools/check-pe32.sh" "$2/$peim.efi" >/dev/null
    "$root/Tools/check-pe32.sh" "$2/X64/$peim.efi" >/dev/null
  done
}
# images_dir OTHER: where the images of another build are.
images_dir() {
  case $1 in
    clangcl) echo "$cache/pe32-clangcl" ;;
    stable202605) echo "$cache/images/edk2-202605" ;;
    *) say "unknown image set $1 in OSKEL_BOARD_OTHER_IMAGES"; exit 2 ;;
  esac
}
images_of build-pe32.sh "$cache/pe32"
# The board's own images: the transport with SSIF as well, for BMC 3.
OSKEL_TRANSPORT_FLAGS=-DOSKEL_TRANSPORT_SSIF=1 images_of build-pe32.sh "$cache/pe32-ssif"
for other in $others; do
  case $other in
    clangcl) images_of build-pe32-clangcl.sh "$cache/pe32-clangcl" ;;
    *)
      dir=$(images_dir "$other")
      [ -f "$dir/IpmiTransportPei.efi" ] && [ -f "$dir/OskelCommandsPei.efi" ] ||
        { say "FAIL no $other images in $dir (run Tools/edk2-package-check.sh first)"; exit 1; } ;;
  esac
done
package=$cache/packages/OskelCommandsPkg
rm -rf "$package"
mkdir -p "$package/Include"
cp -p "$root/OskelCommandsPkg.dec" "$package/"
cp -pR "$root/Include/Ppi" "$root/Include/Guid" "$root/Include/IndustryStandard" "$package/Include/"
cp -pR "$root/Edk2" "$package/"
python3 "$root/Edk2/PatchOvmfBoard.py" "$edk2" OskelCommandsPkg/Edk2/IpmiTransportPei/IpmiTransportPei.inf

# board IMAGES: the images of IMAGES next to the binary INFs, copied with
# new times (the same build takes one set, then another), and the board's
# OVMF IA32 built with them.
board() {
  for peim in OskelCommandsPei IpmiTransportPei; do
    mkdir -p "$package/Edk2/$peim/X64"
    cp "$1/$peim.efi" "$1/$peim.depex" "$package/Edk2/$peim/"
    cp "$1/X64/$peim.efi" "$package/Edk2/$peim/X64/"
  done
  say "building the board's OVMF IA32 with $1 (log: $log/board-build.log)"
  (cd "$edk2" && WORKSPACE=$edk2 PACKAGES_PATH=$edk2:$cache/packages bash -c \
    'limit=$0; set --; . ./edksetup.sh >/dev/null &&
     timeout -k 30 "$limit" build -a IA32 -t GCC5 -p OvmfPkg/OskelBoardOvmfIa32.dsc -b DEBUG -D BUILD_SHELL=FALSE -n 2' \
    "$build_timeout" >"$log/board-build.log" 2>&1) ||
    { grep -E "error|Error|ERROR" "$log/board-build.log" | tail -n 30; say "FAIL OVMF build"; exit 1; }
}
fv=$edk2/Build/OskelBoardOvmfIa32/DEBUG_GCC5/FV

#
# Each boot gets its own ipmi_sim for BMC 1 and for BMC 2, on free loopback
# ports, with fresh state directories; every process is stopped by its PID.
#
sim1_pid=""
sim2_pid=""
sim3_pid=""
qemu_pid=""
stop_all() {
  for pid in "$qemu_pid" "$sim1_pid" "$sim2_pid" "$sim3_pid"; do
    [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
  done
  wait 2>/dev/null
  qemu_pid=""
  sim1_pid=""
  sim2_pid=""
  sim3_pid=""
}
trap stop_all EXIT
. "$root/Tools/ipmi-sim-board.sh"
# ipmi BMC ARGS...: ipmitool over the LAN interface of BMC 1's or BMC 2's
# ipmi_sim in the boot at hand.
ipmi() {
  bmc=$1
  shift
  eval "port=\$lan$bmc"
  timeout 15 ipmitool -I lan -H 127.0.0.1 -p "$port" -U admin -P secret -R 2 -N 2 "$@"
}

# prepare_ipmi_sim BMC DIR: the files and ports of BMC's ipmi_sim; BMC 2
# reports its system interface as BT (ipmi_sim has no SSIF type: BMC 3's
# reports KCS).
prepare_ipmi_sim() {
  interface=kcs
  [ "$1" = 2 ] && interface=bt
  eval "lan$1=\$(free_port); serial$1=\$(free_port)"
  eval "ipmi_sim_files \"\$2\" \"\$serial$1\" \"\$lan$1\" \"\$plugin\" $1 $interface"
}

launch_ipmi_sim() {
  ipmi_sim -c "$2/lan.conf" -f "$2/emulation" -s "$2/state" -n >"$2/ipmi_sim.log" 2>&1 &
  eval "sim$1_pid=$!"
}

start_ipmi_sim() {
  prepare_ipmi_sim "$1" "$2"
  launch_ipmi_sim "$1" "$2"
  waited=0
  until ipmi "$1" mc info >/dev/null 2>&1; do
    waited=$((waited + 1))
    eval "pid=\$sim$1_pid"
    if [ "$waited" -ge 20 ] || ! kill -0 "$pid" 2>/dev/null; then
      cat "$2/ipmi_sim.log"
      say "FAIL ipmi_sim of BMC $1 did not answer"
      exit 1
    fi
    sleep 0.5
  done
}

now() {
  date +%s.%N
}

# ready_bmc BMC STATE DIR: BMC's ipmi_sim as STATE says before power-on:
# sim (answering), hung, absent, disconnected or late.
ready_bmc() {
  mkdir -p "$3"
  case $2 in
    sim | hung | disconnected) start_ipmi_sim "$1" "$3" ;;
    late) prepare_ipmi_sim "$1" "$3" ;;
  esac
  eval "pid=\$sim$1_pid"
  case $2 in
    hung) kill -STOP "$pid" ;;
    disconnected) kill -KILL "$pid"; wait "$pid" 2>/dev/null || true; eval "sim$1_pid=''" ;;
  esac
}

# boot NAME FWCFG PATTERN COUNT SETTLE [BMC1 [BMC2 [READY [BMC3]]]]: boots
# until PATTERN has appeared COUNT times in the debug log (or the time
# limit), then SETTLE seconds more. BMC1 and BMC2 are how BMCs 1 and 2 are
# (see ready_bmc; sim by default); READY the board's ready wait in seconds;
# BMC3, when given, how the fourth BMC, on SSIF, is (the fw_cfg file
# opt/oskel/ssif has the board add it). The seconds from QEMU's start to
# PATTERN go to NAME/boot-seconds.
boot() {
  name=$1
  bmc1=${6:-sim}
  bmc2=${7:-sim}
  bmc3=${9:-}
  run=$runs/$name
  mkdir -p "$run"
  ready_bmc 1 "$bmc1" "$run/bmc1"
  ready_bmc 2 "$bmc2" "$run/bmc2"
  [ -n "$bmc3" ] && ready_bmc 3 "$bmc3" "$run/bmc3"
  devices="-device ipmi-bmc-sim,id=bmc0 -device isa-ipmi-kcs,bmc=bmc0"
  [ "$bmc1" != absent ] && devices="$devices -chardev socket,id=bmc1link,host=127.0.0.1,port=$serial1,reconnect=1
    -device ipmi-bmc-extern,chardev=bmc1link,id=bmc1 -device isa-ipmi-kcs,bmc=bmc1,ioport=0xea2,irq=0"
  [ "$bmc2" != absent ] && devices="$devices -chardev socket,id=bmc2link,host=127.0.0.1,port=$serial2,reconnect=1
    -device ipmi-bmc-extern,chardev=bmc2link,id=bmc2 -device isa-ipmi-bt,bmc=bmc2,ioport=0xe4,irq=0"
  [ -n "$bmc3" ] && [ "$bmc3" != absent ] && devices="$devices -chardev socket,id=bmc3link,host=127.0.0.1,port=$serial3,reconnect=1
    -device ipmi-bmc-extern,chardev=bmc3link,id=bmc3 -device smbus-ipmi,bmc=bmc3,address=0x10"
  cp "$fv/OVMF_VARS.fd" "$run/OVMF_VARS.fd"
  : >"$run/debug.log"
  fwcfg=""
  [ -n "$2" ] && fwcfg="-fw_cfg name=opt/oskel/watchdog,string=$2"
  [ -n "${8:-}" ] && fwcfg="$fwcfg -fw_cfg name=opt/oskel/ready-wait,string=$8"
  [ -n "$bmc3" ] && fwcfg="$fwcfg -fw_cfg name=opt/oskel/ssif,string=10"
  echo "$bmc1" >"$run/bmc1-state"
  echo "$bmc2" >"$run/bmc2-state"
  [ -n "$bmc3" ] && echo "$bmc3" >"$run/bmc3-state"
  # shellcheck disable=SC2086
  qemu-system-i386 -machine q35 -m 256 \
    -drive if=pflash,format=raw,unit=0,file="$fv/OVMF_CODE.fd",readonly=on \
    -drive if=pflash,format=raw,unit=1,file="$run/OVMF_VARS.fd" \
    -debugcon file:"$run/debug.log" -global isa-debugcon.iobase=0x402 \
    -display none -net none -serial null -monitor none $fwcfg \
    $devices >"$run/qemu.log" 2>&1 &
  qemu_pid=$!
  powered=$(now)
  for bmc in 1 2 3; do
    eval "state=\$bmc$bmc"
    if [ "$state" = late ]; then
      sleep "$late_start"
      launch_ipmi_sim "$bmc" "$run/bmc$bmc"
      echo "$(now) $powered" | awk '{ printf "%.2f\n", $1 - $2 }' >"$run/late-start-seconds"
    fi
  done
  limit=$(echo "$powered $boot_timeout" | awk '{ printf "%d\n", $1 + $2 }')
  while kill -0 "$qemu_pid" 2>/dev/null && [ "$(date +%s)" -lt "$limit" ]; do
    if [ "$(grep -c "$3" "$run/debug.log")" -ge "$4" ]; then
      echo "$(now) $powered" | awk '{ printf "%.2f\n", $1 - $2 }' >"$run/boot-seconds"
      break
    fi
    sleep 0.1
  done
  sleep "$5"
  [ "$bmc1" = hung ] && kill -CONT "$sim1_pid"
  [ "$bmc2" = hung ] && kill -CONT "$sim2_pid"
  [ "$bmc3" = hung ] && kill -CONT "$sim3_pid"
  true
}

# What ipmitool reads from BMC's ipmi_sim after the check boot.
bmc_side() {
  bmc=$1
  echo "== mc info"; ipmi "$bmc" mc info || true
  echo "== mc watchdog get"; ipmi "$bmc" mc watchdog get || true
  echo "== boot stages"; ipmi "$bmc" raw 0x2e 0xf0 0x4d 0x4f 0x00 || true
  echo "== setting smbioscrc"; ipmi "$bmc" raw 0x3a 0xc4 0x00 0x00 0x13 0x92 $(printf /ac/uefi/smbioscrc | od -An -tx1 | sed 's/ / 0x/g') || true
  name=$(printf config | od -An -tx1 | sed 's/ / 0x/g')
  echo "== file config"
  set -- $(ipmi "$bmc" raw 0x2e 0x90 0x4d 0x4f 0x00 0x01 0x03 0x00 0 0 0 0 0x00 0x03 $name || true)
  if [ "$#" -eq 7 ]; then
    handle="0x$4 0x$5 0x$6 0x$7"
    offset=0
    while [ "$offset" -lt 300 ]; do
      ipmi "$bmc" raw 0x2e 0x90 0x4d 0x4f 0x00 0x02 $handle $(printf '0x%02x 0x%02x' $((offset & 255)) $((offset >> 8))) 0 0 0x1e 0x00 || break
      offset=$((offset + 30))
    done
    ipmi "$bmc" raw 0x2e 0x90 0x4d 0x4f 0x00 0x05 $handle >/dev/null || true
  fi
}

# The check boot, then the BMC side of it with ipmitool, for BMC 1 (KCS)
# and BMC 2 (BT), and BMC 3 (SSIF) when NAME is ssif-check.
check_boot() {
  which=${1:-check}
  if [ "$which" = ssif-check ]; then
    boot "$which" "" "OskelConsumer: done" 1 1 sim sim "" sim
  else
    boot "$which" "" "OskelConsumer: done" 1 1
  fi
  bmc_side 1 >"$runs/$which/ipmitool.txt" 2>&1
  bmc_side 2 >"$runs/$which/ipmitool-bmc2.txt" 2>&1
  if [ "$which" = ssif-check ]; then
    bmc_side 3 >"$runs/$which/ipmitool-bmc3.txt" 2>&1
  fi
  stop_all
}

# fresh_runs DIR: the boots' logs go to DIR, emptied first.
fresh_runs() {
  runs=$1
  rm -rf "$runs"
  mkdir -p "$runs"
}

# The other builds first, so that the board's build ends with the mingw
# images, which the steps by hand (docs/qemu-board.md) take.
status=0
for other in $others; do
  dir=$(images_dir "$other")
  building=$(date +%s)
  board "$dir"
  rebuilt=$(date +%s)
  fresh_runs "$cache/run/board-$other"
  check_boot
  say "$other images: build $((rebuilt - building)) s, check boot $(($(date +%s) - rebuilt)) s (logs: $runs)"
  python3 "$root/Edk2/CheckQemuBoard.py" "$runs" "$dir" check || status=1
done

building=$(date +%s)
board "$cache/pe32-ssif"
built=$(date +%s)
fresh_runs "$cache/run/board"
check_boot
check_boot ssif-check

# The bite: a second start of the consumer means the machine was reset.
boot bite bite "OskelConsumer: start" 2 1
ipmi 1 mc watchdog get >"$runs/bite/ipmitool.txt" 2>&1 || true
stop_all

# The stop: wait well past the countdown for a reset that must not come.
boot stop stop "OskelConsumer: done" 1 12
ipmi 1 mc watchdog get >"$runs/stop/ipmitool.txt" 2>&1 || true
stop_all

# BMC 1 (KCS), then BMC 2 (BT), broken four ways; the consumer's mode names
# the fault.
for fault in hung absent disconnected; do
  boot "$fault" "$fault" "OskelConsumer: done" 1 0 "$fault" sim
  stop_all
done
boot late late "OskelConsumer: done" 1 0 late sim "$ready_wait"
stop_all
for fault in hung absent disconnected; do
  boot "bt-$fault" "bt-$fault" "OskelConsumer: done" 1 0 sim "$fault"
  stop_all
done
boot bt-late bt-late "OskelConsumer: done" 1 0 sim late "$ready_wait"
stop_all
# BMC 3 (SSIF) broken on the four-BMC board, BMCs 1 and 2 answering.
for fault in hung absent disconnected; do
  boot "ssif-$fault" "ssif-$fault" "OskelConsumer: done" 1 0 sim sim "" "$fault"
  stop_all
done
boot ssif-late ssif-late "OskelConsumer: done" 1 0 sim sim "$ready_wait" late
stop_all
finished=$(date +%s)

say "mingw images: build $((built - building)) s, boots $((finished - built)) s (logs: $runs)"
python3 "$root/Edk2/CheckQemuBoard.py" "$runs" "$cache/pe32-ssif" || status=1
exit "$status"
