#!/bin/sh
# Checks the module's PE32 (IA32) or PE32+ (X64) image against what GenFv and the PEI core need:
# an EFI boot service driver image (the subsystem EDK II gives every PEIM),
# linked at 0 with base relocations (without them the PEI core skips the
# PEIM silently), section alignment equal to file alignment (GenFv refuses
# anything else for execute-in-place), no writable section (the first run
# is in flash), nothing imported, and the entry at the image's own <name>EntryPoint.
set -eu
image=${1:?usage: check-pe32.sh IMAGE.efi [IMAGE.debug.efi]}
debug=${2:-${image%.efi}.debug.efi}
# Each PEIM's entry is named after its image: OskelCommandsPei.efi enters
# at OskelCommandsPeiEntryPoint.
entry_name=$(basename "$image" .efi)EntryPoint
fail=0

# The optional header's magic, right after the 20-byte file header that
# follows "PE\0\0" at e_lfanew, says which of the two it is.
lfanew=$(od -An -tu4 -j 60 -N 4 "$image" | tr -d ' ')
case $(od -An -tx2 -j $((lfanew + 24)) -N 2 "$image" | tr -d ' ') in
  020b) prefix=x86_64-w64-mingw32 format=pei-x86-64 magic=020b entry_symbol=$entry_name kind="PE32+" ;;
  *) prefix=i686-w64-mingw32 format=pei-i386 magic=010b entry_symbol=_$entry_name kind=PE32 ;;
esac
objdump=$prefix-objdump

headers=$($objdump -p "$image")
field() {
  echo "$headers" | awk -v name="$1" '$1 == name {print $2; exit}'
}
expect() {
  if [ "$2" != "$3" ]; then
    echo "FAIL $1: $2 (want $3)"; fail=1
  fi
}

expect "file format" "$(echo "$headers" | awk '/file format/ {print $NF; exit}')" "$format"
expect "magic" "$(field Magic)" "$magic"
expect "subsystem" "$(field Subsystem)" 0000000b
expect "image base" "$((0x$(field ImageBase)))" 0
expect "file alignment" "$(field FileAlignment)" 00000020
expect "section alignment" "$(field SectionAlignment)" 00000020

directory() {
  echo "$headers" | awk -v entry="$1" '$1 == "Entry" && $2 == entry {print $4; exit}'
}
expect "import directory size" "$(directory 1)" 00000000
# Relocatable: an image whose file header says its relocations were
# stripped (what mingw writes without --dynamicbase) is skipped by the PEI
# core silently. An image with no absolute address in it needs no base
# relocation, and lld-link then writes none: it is relocated as it is
# (EDK II's PE/COFF loader: no base relocations, RELOCS_STRIPPED clear).
# clang-cl's X64 code of the KCS transport is such an image.
relocations=yes
if [ "$(directory 5)" = 00000000 ] || [ -z "$(directory 5)" ]; then
  relocations=no
  case $(echo "$headers" | awk '$1 == "Characteristics" {print $2; exit}') in
    *[13579bdf]) echo "FAIL no base relocations, and the file header says they were stripped"; fail=1 ;;
    *) echo "no base relocations: nothing in the image to fix up" ;;
  esac
fi

# Every section loads at its file offset, and none is writable.
sections=$($objdump -h "$image")
# (objdump prints 64-bit addresses in 16 digits and file offsets in 8.)
misplaced=$(echo "$sections" | awk '$1 ~ /^[0-9]+$/ {vma = $4; off = $6; sub(/^0+/, "", vma); sub(/^0+/, "", off); if (vma != off) printf "%s ", $2}')
if [ -n "$misplaced" ]; then
  echo "FAIL sections not at their file offset: $misplaced"; fail=1
fi
writable=$(echo "$sections" | awk '$1 ~ /^[0-9]+$/ {name = $2; next} name != "" && $0 !~ /READONLY/ {printf "%s ", name} {name = ""}')
if [ -n "$writable" ]; then
  echo "FAIL writable sections: $writable"; fail=1
fi
required=.text
[ "$relocations" = yes ] && required="$required .reloc"
for section in $required; do
  echo "$sections" | awk '{print $2}' | grep -qx "$section" || { echo "FAIL no $section section"; fail=1; }
done

entry=$(field AddressOfEntryPoint)
# The image is linked at 0, so the symbol's address is its RVA.
symbol=$("$prefix-nm" "$debug" | awk -v name="$entry_symbol" '$3 == name && $2 == "T" {print $1; exit}')
expect "entry point ($entry_name)" "$((0x$entry))" "$((0x${symbol:-0}))"
[ -n "$symbol" ] || { echo "FAIL no $entry_symbol in $debug"; fail=1; }

text=$(echo "$sections" | awk '$2 == ".text" {print $3}')
rdata=$(echo "$sections" | awk '$2 == ".rdata" {print $3}')
echo "$kind image: $(wc -c < "$image") bytes, .text $((0x${text:-0})) bytes, .rdata $((0x${rdata:-0})) bytes"
[ "$fail" -eq 0 ] && echo "PASS $kind image check"
exit "$fail"
