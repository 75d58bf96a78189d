#!/bin/sh
# The capture of the default boot plus a Get Device ID decodes in tshark:
# Set Watchdog Timer with its fields, request and response paired, every
# checksum correct.
set -eu
sim=${1:?usage: pcap-tshark.sh OSKEL-SIM}
root=$(cd "$(dirname "$0")/../.." && pwd)
"$root/Tools/install-deps.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf 'GetDeviceId bmc=1\n' >"$work/script"
"$sim" --quiet --pcap "$work/run.pcap" "$work/script" >"$work/out.txt"
decode() { tshark -r "$work/run.pcap" -d i2c.message,ipmi -o ipmi.dissect_bus_commands:TRUE "$@" 2>/dev/null; }
decode -V >"$work/decoded.txt"
fail=0

# Get Device ID: the request and the response that answers it.
decode -T fields -e frame.number -e ipmi.header.netfn -e ipmi.header.command -e ipmi.response_to >"$work/fields.txt"
request=$(awk -F'\t' '$2 == "0x06" && $3 == "0x01" {print $1; exit}' "$work/fields.txt")
response=$(awk -F'\t' '$2 == "0x07" && $3 == "0x01" {print $4; exit}' "$work/fields.txt")
if [ -z "$request" ] || [ "$request" != "$response" ]; then
  echo "FAIL Get Device ID request ($request) and response (to $response) do not pair up"; fail=1
fi

frames=$(grep -c '^Frame ' "$work/decoded.txt" || true)
correct=$(grep -c 'hecksum: 0x[0-9a-f]* (correct)' "$work/decoded.txt" || true)
if [ "$frames" -eq 0 ] || [ "$correct" -ne $((2 * frames)) ] || grep -q 'incorrect' "$work/decoded.txt"; then
  echo "FAIL checksums: $correct correct of $((2 * frames)) in $frames frames"; fail=1
fi

for want in 'Command: Set Watchdog Timer' 'Timer use: BIOS/POST (0x2)' 'Timeout action: Hard Reset (0x1)' 'Initial countdown value (100ms/count): 3000'; do
  grep -q "$want" "$work/decoded.txt" || { echo "FAIL Set Watchdog Timer lacks '$want'"; fail=1; }
done

[ "$fail" -eq 0 ] && echo "PASS $frames frames decoded"
exit "$fail"
