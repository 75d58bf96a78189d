#!/bin/sh
# Checks the module's PE32 image against what GenFv and the PEI core need:
# an EFI boot service driver image (the subsystem EDK II gives every PEIM),
# linked at 0 with base relocations (without them the PEI core skips the
# PEIM silently), section alignment equal to file alignment (GenFv refuses
# anything else for execute-in-place), no writable section (the first run
# is in flash), nothing imported, and the entry at the image's own <name>EntryPoint.
set -eu
image=${1:?usage: check-pe32.sh IMAGE.efi [IMAGE.debug.efi]}
debug=${2:-${image%.efi}.debug.efi}
objdump=i686-w64-mingw32-objdump
# Each PEIM's entry is named after its image: OskelCommandsPei.efi enters
# at OskelCommandsPeiEntryPoint.
entry_name=$(basename "$image" .efi)EntryPoint
fail=0

headers=$($objdump -p "$image")
field() {
  echo "$headers" | awk -v name="$1" '$1 == name {print $2; exit}'
}
expect() {
  if [ "$2" != "$3" ]; then
    echo "FAIL $1: $2 (want $3)"; fail=1
  fi
}

expect "file format" "$(echo "$headers" | awk '/file format/ {print $NF; exit}')" pei-i386
expect "magic" "$(field Magic)" 010b
expect "subsystem" "$(field Subsystem)" 0000000b
expect "image base" "$(field ImageBase)" 00000000
expect "file alignment" "$(field FileAlignment)" 00000020
expect "section alignment" "$(field SectionAlignment)" 00000020

directory() {
  echo "$headers" | awk -v entry="$1" '$1 == "Entry" && $2 == entry {print $4; exit}'
}
expect "import directory size" "$(directory 1)" 00000000
if [ "$(directory 5)" = 00000000 ] || [ -z "$(directory 5)" ]; then
  echo "FAIL no base relocations"; fail=1
fi

# Every section loads at its file offset, and none is writable.
sections=$($objdump -h "$image")
misplaced=$(echo "$sections" | awk '$1 ~ /^[0-9]+$/ && $4 != $6 {printf "%s ", $2}')
if [ -n "$misplaced" ]; then
  echo "FAIL sections not at their file offset: $misplaced"; fail=1
fi
writable=$(echo "$sections" | awk '$1 ~ /^[0-9]+$/ {name = $2; next} name != "" && $0 !~ /READONLY/ {printf "%s ", name} {name = ""}')
if [ -n "$writable" ]; then
  echo "FAIL writable sections: $writable"; fail=1
fi
for required in .text .reloc; do
  echo "$sections" | awk '{print $2}' | grep -qx "$required" || { echo "FAIL no $required section"; fail=1; }
done

entry=$(field AddressOfEntryPoint)
# The image is linked at 0, so the symbol's address is its RVA.
symbol=$(i686-w64-mingw32-nm "$debug" | awk -v name="_$entry_name" '$3 == name && $2 == "T" {print $1; exit}')
expect "entry point ($entry_name)" "$entry" "${symbol:-missing}"

text=$(echo "$sections" | awk '$2 == ".text" {print $3}')
rdata=$(echo "$sections" | awk '$2 == ".rdata" {print $3}')
echo "PE32 image: $(wc -c < "$image") bytes, .text $((0x${text:-0})) bytes, .rdata $((0x${rdata:-0})) bytes"
[ "$fail" -eq 0 ] && echo "PASS PE32 image check"
exit "$fail"
