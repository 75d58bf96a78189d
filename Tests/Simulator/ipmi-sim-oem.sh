#!/bin/sh
# OpenIPMI's ipmi_sim with the OEM plug-in loaded serves the commands the
# virtual board's BMCs serve: the module, through the serial VM codec,
# reports a boot stage, writes a file, writes a region in two chunks and
# reads it back across the chunk boundary, writes and reads a setting and
# uploads blocks; a second boot reads the file back from ipmi_sim's
# process; then ipmitool, over ipmi_sim's LAN interface, reads the file
# and the boot-stage history with raw commands. ipmi_sim answers at most
# 36 bytes (an IPMB message), so reads stay within that and a longer one
# must come back as CAh with ipmi_sim still serving.
# ipmi_sim is started here on loopback and stopped by its PID.
set -eu
sim=${1:?usage: ipmi-sim-oem.sh OSKEL-SIM PLUGIN}
plugin=${2:?usage: ipmi-sim-oem.sh OSKEL-SIM PLUGIN}
root=$(cd "$(dirname "$0")/../.." && pwd)
"$root/Tools/install-deps.sh"
work=$(mktemp -d)
pid=""
cleanup() { [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
fail=0
check() {  # check DESCRIPTION COMMAND...: PASS or FAIL with what was seen
  what=$1
  shift
  if "$@" >"$work/seen" 2>&1; then echo "PASS $what"; else echo "FAIL $what"; sed 's/^/    /' "$work/seen"; fail=1; fi
}

. "$root/Tools/ipmi-sim-board.sh"
lan=$(free_port)
serial=$(free_port)
ipmi_sim_files "$work" "$serial" "$lan" "$plugin" 0
ipmi_sim -c "$work/lan.conf" -f "$work/emulation" -s "$work/state" -n >"$work/ipmi_sim.log" 2>&1 &
pid=$!
ipmi() { timeout 10 ipmitool -I lan -H 127.0.0.1 -p "$lan" -U admin -P secret -R 1 -N 2 "$@"; }
waited=0
until ipmi mc info >/dev/null 2>&1; do
  waited=$((waited + 1))
  [ "$waited" -lt 20 ] && kill -0 "$pid" 2>/dev/null || { echo "FAIL ipmi_sim did not answer on its LAN port"; cat "$work/ipmi_sim.log"; exit 1; }
  sleep 0.5
done

# Writes that span chunk boundaries: 300 bytes for the region (224 + 76),
# 500 for the upload; a 40-byte file read back 30 bytes at a time.
hex() { python3 -c "import sys; print(bytes((i * $2 + 1) % 256 for i in range($1)).hex())"; }
file_data=$(hex 40 7)
cat >"$work/script" <<SCRIPT
ReportBootStage stage=0x21
WriteKnownFile id=config data=$file_data
RegionWrite selector=2 offset=0xF0 data=$(hex 300 3)
RegionRead selector=2 offset=0x1C0 length=32 out=$work/region.out
RegionRead selector=2 offset=0xF0 length=224
WriteBmcSetting selector=smbioscrc value=11223344
ReadBmcSetting selector=smbioscrc out=$work/setting.out
UploadBlocks tag=0xC0FFEE value=5 data=$(hex 500 5)
SCRIPT
"$sim" --bmcs 1 --ipmi-sim "0=127.0.0.1:$serial" --setup watchdog-enable=0 --quiet "$work/script" >"$work/boot1.txt" 2>&1 || true
results() { grep -c '^  => EFI_SUCCESS' "$1"; }
check "every operation of the first boot but the long read succeeds on ipmi_sim" test "$(results "$work/boot1.txt")" -eq 9
# Bytes D0h to F0h of the 300 written from offset F0h: the first chunk's
# last 16 and the second chunk's first 16.
check "the region read back across the chunk boundary" test "$(od -An -tx1 "$work/region.out" | tr -d ' \n')" = "$(hex 300 3 | cut -c 417-480)"
check "a read longer than ipmi_sim's answer buffer comes back as CAh" grep -q 'completion code CAh' "$work/boot1.txt"
check "the setting read back" test "$(od -An -tx1 "$work/setting.out" | tr -d ' \n')" = 11223344

printf 'ReadKnownFile id=config count=30 out=%s\n' "$work/file.out" >"$work/script2"
"$sim" --bmcs 1 --ipmi-sim "0=127.0.0.1:$serial" --setup watchdog-enable=0 --quiet "$work/script2" >"$work/boot2.txt" 2>&1 || true
check "a second boot reads the file back from ipmi_sim" test "$(od -An -tx1 "$work/file.out" 2>/dev/null | tr -d ' \n')" = "$(echo "$file_data" | cut -c 1-60)"

# From the BMC side: the history is the count, then every stage in order
# (each boot's entry reports stage 7 from flash).
history=$(ipmi raw 0x2e 0xf0 0x4d 0x4f 0x00 | tr -d '\n')
check "the history holds stage 7 from each boot and stage 21h" test "$history" = " 4d 4f 00 03 07 21 07"
name=$(printf config | od -An -tx1 | sed 's/ / 0x/g')
opened=$(ipmi raw 0x2e 0x90 0x4d 0x4f 0x00 0x01 0x03 0x00 0 0 0 0 0x00 0x03 $name | tr -d '\n')
set -- $opened
check "ipmitool opens the file for reading" test "$#" -eq 7
[ "$#" -eq 7 ] || set -- 0 0 0 0 0 0 0
handle="0x$4 0x$5 0x$6 0x$7"
first=$(ipmi raw 0x2e 0x90 0x4d 0x4f 0x00 0x02 $handle 0 0 0 0 0x1e 0x00 | tr -d ' \n')
rest=$(ipmi raw 0x2e 0x90 0x4d 0x4f 0x00 0x02 $handle 0x1e 0 0 0 0x1e 0x00 | tr -d ' \n')
check "ipmitool reads the file the module wrote" test "$first$rest" = "4d4f001e00$(echo "$file_data" | cut -c 1-60)4d4f000a00$(echo "$file_data" | cut -c 61-80)"
check "ipmitool closes it" ipmi raw 0x2e 0x90 0x4d 0x4f 0x00 0x05 $handle
# A command the plug-in does not serve keeps ipmi_sim's own answer path.
ipmi raw 0x3a 0x99 >"$work/unknown" 2>&1 || true
check "an unknown OEM command answers C1h" grep -q 'rsp=0xc1' "$work/unknown"

if [ "$fail" -ne 0 ]; then
  for f in boot1.txt boot2.txt ipmi_sim.log; do echo "== $f"; cat "$work/$f"; done
  exit 1
fi
echo "PASS ipmi_sim OEM plug-in"
