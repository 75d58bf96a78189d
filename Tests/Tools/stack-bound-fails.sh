#!/bin/sh
# The stack bound must refuse what it cannot bound. Each case takes a copy
# of the firmware objects, breaks one thing, and requires the bound to fail
# for that reason: a slot of the record missing from the objects, a slot
# jump whose target no object defines, and slots whose jump never reaches
# the dispatch.
# Usage: stack-bound-fails.sh OBJDIR SOURCE_ROOT SLOT_STACK
set -eu
objdir=$1
root=$2
budget=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
slots=OskelCommands/Pei/Dispatch/Ia32/SlotEntry.nasm
# The slots' object, wherever the build put it.
slots_object=$(cd "$objdir" && find . -name 'SlotEntry.nasm.o' | head -n 1)
[ -n "$slots_object" ] || { echo "FAIL no SlotEntry.nasm.o under $objdir"; exit 1; }

# expect NAME PATTERN: the bound over $work/objs fails with PATTERN.
expect() {
  status=0
  python3 "$root/Tools/firmware-budget.py" stack "$work/objs" --check "$budget" >"$work/out" 2>&1 || status=$?
  if [ "$status" -ne 0 ] && grep -q "$2" "$work/out"; then
    echo "PASS $1"
  else
    echo "FAIL $1: exit $status, expected \"$2\"; output:"
    tail -n 5 "$work/out"
    failed=1
  fi
}

# fresh: a pristine copy of the objects.
fresh() {
  rm -rf "$work/objs"
  cp -R "$objdir" "$work/objs"
}

# slots_from SED: the slots reassembled from the source edited by SED,
# preprocessed as the build does.
slots_from() {
  sed "$1" "$root/$slots" >"$work/SlotEntry.edited.nasm"
  cc -E -P -x assembler-with-cpp '-DASM_PFX(Name)=Name' -I"$root/$(dirname "$slots")" \
    -o "$work/SlotEntry.nasm" "$work/SlotEntry.edited.nasm"
  nasm -f elf32 -o "$work/objs/$slots_object" "$work/SlotEntry.nasm"
}

fresh
python3 "$root/Tools/firmware-budget.py" stack "$work/objs" --check "$budget" >/dev/null ||
  { echo "FAIL the pristine objects do not pass"; exit 1; }

fresh
rm "$work/objs/$slots_object"
expect "a slot missing from the objects" "slot OemC1Query of the record is in none of the objects"

fresh
slots_from 's/^    jmp     short SlotEntry$/    jmp     Elsewhere/; s/^extern ASM_PFX(DispatchSlotEntry)$/&\nextern Elsewhere/'
expect "a slot jump that cannot be followed" "jumps to Elsewhere, which no object analysed defines"

fresh
slots_from 's/^    jmp     short SlotEntry$/    jmp     short Nowhere/; s/^SlotEntry:$/Nowhere:\n    ret\n&/'
expect "slots that never reach the dispatch" "has no path to Dispatch"

[ "$failed" -eq 0 ] && echo "PASS the stack bound refuses what it cannot bound"
exit "$failed"
