#!/bin/sh
# A BMC of the virtual board is OpenIPMI's ipmi_sim on loopback: the module's
# GetDeviceId returns the identity of the emulation file, SendRawCommand
# round-trips, a command ipmi_sim lacks comes back as its completion code.
# ipmi_sim is started here and stopped by its PID.
set -eu
sim=${1:?usage: ipmi-sim.sh OSKEL-SIM}
root=$(cd "$(dirname "$0")/../.." && pwd)
"$root/Tools/install-deps.sh"
work=$(mktemp -d)
pid=""
# SIGKILL: a wait on a daemon that stalls in its own shutdown would hang the
# test, and its state directory is thrown away with $work.
cleanup() { [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

. "$root/Tools/ipmi-sim-board.sh"
port=$(free_port)
ipmi_sim_files "$work" "$port"
ipmi_sim -c "$work/lan.conf" -f "$work/emulation" -s "$work/state" -n >"$work/ipmi_sim.log" 2>&1 &
pid=$!

cat >"$work/script" <<'SCRIPT'
GetDeviceId
SendRawCommand netfn=0x06 cmd=0x01
SendRawCommand netfn=0x30 cmd=0x99 data=01
SCRIPT
"$sim" --bmcs 1 --ipmi-sim "0=127.0.0.1:$port" --setup watchdog-enable=0 "$work/script" >"$work/out.txt"
section() { awk -v title="== script line $1:" 'index($0, "== ") == 1 {on = (index($0, title) == 1)} on' "$work/out.txt"; }
fail=0

# Device ID 22h, revision 03h, firmware 1.05, IPMI 2.0, support 9Fh,
# manufacturer 00BEEFh, product 1234h.
identity='22 03 01 05 02 9F EF BE 00 34 12'
section 1 | grep -q "=> EFI_SUCCESS" || { echo "FAIL GetDeviceId did not succeed"; fail=1; }
section 1 | grep -q "response \[$identity" || { echo "FAIL GetDeviceId: not the emulation file's identity"; section 1; fail=1; }

section 2 | grep -q "response \[$identity" || { echo "FAIL SendRawCommand Get Device ID did not round-trip"; section 2; fail=1; }
section 3 | grep -q '=> completion code C1h' || { echo "FAIL a command ipmi_sim lacks did not come back as C1h"; section 3; fail=1; }

[ "$fail" -ne 0 ] && { cat "$work/ipmi_sim.log"; exit 1; }
echo "PASS ipmi_sim peer"
