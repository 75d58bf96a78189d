#!/bin/sh
# A bad option and a malformed script line each give a message naming what
# was wrong and a non-zero exit, and nothing of the script runs.
set -eu
sim=${1:?usage: command-line.sh OSKEL-SIM}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0

expect() {  # expect NAME PATTERN COMMAND...
  name=$1 pattern=$2; shift 2
  if "$@" >"$work/out" 2>"$work/err"; then
    echo "FAIL $name: exit 0"; fail=1; return
  fi
  grep -q -- "$pattern" "$work/err" || { echo "FAIL $name: message was: $(cat "$work/err")"; fail=1; }
  if grep -q '^== ' "$work/out"; then echo "FAIL $name: something ran"; fail=1; fi
}

expect "unknown option" "unknown option '--frobnicate'" "$sim" --frobnicate
expect "bad count" "--bmcs expects a number from 0 to 8, got 'many'" "$sim" --bmcs many
expect "index beyond the board" "--unusable expects I with I a BMC index below 2" "$sim" --unusable 2
expect "fault syntax" "--completion-code 0=6/1: expects NETFN/CMD/CODE" "$sim" --completion-code 0=6/1

printf 'GetDeviceId\n# a comment\nReadKnownFile id=config count=lots\nGetDeviceId\n' >"$work/malformed"
expect "malformed number" "line 3: ReadKnownFile: 'count' expects a number" "$sim" "$work/malformed"
printf 'GetDeviceId\nFrobnicate x=1\n' >"$work/unknown"
expect "unknown operation" "line 2: unknown operation 'Frobnicate'; expected one of OemC1Query" "$sim" "$work/unknown"
printf 'RegionRead selector=1\n' >"$work/missing"
expect "missing argument" "line 1: RegionRead: missing 'length'" "$sim" "$work/missing"

"$sim" --help >"$work/help"
for option in --bmcs --io-base --setup --setup-file --unusable --not-ready --device-error --completion-code --short --json --pcap --ipmi-sim ReportBootStageSecondary; do
  grep -q -- "$option" "$work/help" || { echo "FAIL --help does not document $option"; fail=1; }
done

[ "$fail" -eq 0 ] && echo "PASS command line"
exit "$fail"
