#!/bin/sh
# A mistake in adding or changing a slot must stop the build, with a message
# that says what to fix. Each case copies the module's sources and headers,
# makes one mistake in the copy, compiles the record's translation unit
# (where the slot list, the record and the rows meet) and requires the
# compile to fail with the expected message. The untouched copy must
# compile, so a failure is the mistake's and nothing else's.
# Usage: mistake-fails-to-compile.sh SOURCE_ROOT CXX CASE
set -eu
root=$1
cxx=$2
case_name=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

record=OskelCommands/Pei/BmcCommandsRecord.cpp
header=Include/Ppi/BmcCommands.h
list=OskelCommands/Pei/Dispatch/SlotList.h
arch=""

# CASE: FILE, the sed script that makes the mistake, the expected message.
case "$case_name" in
  RowAtWrongIndex)
    # The list out of the record's order: every row after the swap would
    # sit at another slot's index.
    file=$list
    edit='/DISPATCHED (OemC2Exchange)/{h;d};/DISPATCHED (Oem20Exchange)/{G}'
    expect='slot Oem20Exchange is not at its place in BMC_COMMANDS_PPI' ;;
  SlotWithoutRow)
    file=$record
    edit='s/^constexpr OperationSpec  FileCloseRow = {/constexpr OperationSpec  FileCloseRw = {/'
    expect="FileCloseRow" ;;
  ArgumentCountDisagrees)
    file=$record
    edit='/^constexpr OperationSpec  OemC1QueryRow = {/,/^};/s/\.Arguments = 2,/.Arguments = 3,/'
    expect='slot OemC1Query: .Arguments of its row must count its parameters between This and BmcInstance' ;;
  ArgumentsInWrongOrder)
    # MuxStatus moved first: the row still requires its third argument,
    # now a byte.
    file=$header
    edit='/^  IN UINT8                   Channel,$/{N;N;s/^\(.*\)\n\(.*\)\n\(.*\)$/\3\n\1\n\2/}'
    expect='slot SetSerialMux: .Required of its row names an argument that is not a pointer' ;;
  ArgumentWiderThanWord)
    # On IA32 a 64-bit argument takes two words of the caller's frame.
    file=$header
    edit='s/^  IN UINT16                  Countdown,$/  IN UINT64                  Countdown,/'
    arch=-m32
    expect='slot StartPostWatchdog: a parameter is wider than UINTN' ;;
  RecordSlotNotListed)
    file=$header
    edit='s/^  BMC_COMMANDS_REPORT_BOOT_STAGE_SECONDARY    ReportBootStageSecondary;   \/\/ slot 32$/&\n  BMC_COMMANDS_OEM_1C_CLEAR Unlisted;/'
    expect='BMC_COMMANDS_PPI and SlotList.h differ in their number of slots' ;;
  OperationCountDisagrees)
    file=$header
    edit='s/^\(#define BMC_OPERATION_COUNT  *\)\([0-9][0-9]*\)$/\1999/'
    expect='BMC_OPERATION_COUNT in Include/Ppi/BmcCommands.h must be the number of slots in SlotList.h' ;;
  *)
    echo "FAIL unknown case $case_name"; exit 1 ;;
esac

cp -R "$root/Include" "$root/OskelCommands" "$work/"

compile() {
  # shellcheck disable=SC2086
  "$cxx" $arch -std=c++20 -ffreestanding -fno-exceptions -fno-rtti -fsyntax-only \
    -I"$work/Include" -I"$work/Include/Pi" "$work/$record" >"$work/out" 2>&1
}

if ! compile; then
  echo "FAIL the untouched sources do not compile:"; head -n 20 "$work/out"; exit 1
fi

sed "$edit" "$root/$file" >"$work/$file"
if cmp -s "$root/$file" "$work/$file"; then
  echo "FAIL $case_name: the mistake was not made; $file no longer has what the edit expects"; exit 1
fi

if compile; then
  echo "FAIL $case_name: the sources with the mistake compiled"; exit 1
fi
if ! grep -qF "$expect" "$work/out"; then
  echo "FAIL $case_name: the compile failed without the expected message \"$expect\":"; head -n 30 "$work/out"; exit 1
fi
echo "PASS $case_name: $(grep -F "$expect" "$work/out" | head -n 1)"
