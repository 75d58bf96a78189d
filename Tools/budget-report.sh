#!/bin/sh
# On demand, not a test: the figures that take tools the test command does
# not run, as Markdown tables for docs/budgets-on-demand.md.
#  - the IPMI transport's .text/.rodata and worst-case stack per operation
#    for each choice of interfaces (KCS and BT, KCS only, BT only), each
#    against its ceiling;
#  - the module's own instructions for one representative call of each slot
#    (callgrind, -m32, the firmware objects), the simulated transport and
#    PEI services excluded;
#  - .text/.rodata of both PEIMs as the package DSC links them with each
#    EDK II tool chain (GCC5, CLANGDWARF, CLANGPDB), IA32 and X64, DEBUG
#    and RELEASE, in the edk2 cache of Tools/ovmf-check.sh.
# The tables the test command compares (flash, stack bound, measured
# stack) are written into docs/budgets.md by
#   python3 Tools/firmware-budget.py doc --write ...
# as docs/budgets.md says. Any step that fails stops the report with its
# reason: a table is printed whole or not at all.
set -eu
cd "$(dirname "$0")/.."
Tools/install-deps.sh valgrind
cmake --preset native >/dev/null
cmake --build --preset native --target IpmiTransportFirmware IpmiTransportKcsFirmware IpmiTransportBtFirmware >/dev/null
. build/native/budgets.env
Tools/ia32-exec.sh
say() {
  echo "budget-report: $*" >&2
}
fail() {
  say "FAIL $*"
  exit 1
}
echo "### IPMI transport per choice of interfaces (IA32 firmware object, -Os)"
for choice in "IpmiTransportFirmware KCS-and-BT $OSKEL_TRANSPORT_FLASH_CEILING" \
              "IpmiTransportKcsFirmware KCS-only $OSKEL_KCS_FLASH_CEILING" \
              "IpmiTransportBtFirmware BT-only $OSKEL_BT_FLASH_CEILING"; do
  set -- $choice
  echo
  echo "#### $2"
  echo
  python3 Tools/firmware-budget.py transport "build/native/CMakeFiles/$1Objects.dir" \
    --check "$OSKEL_TRANSPORT_STACK" --ceiling "$3" || fail "the transport built $2 is over a budget"
done
echo
cmake --preset i386 >/dev/null
cmake --build --preset i386 --target oskel-budget-probe >/dev/null
echo "### Instructions per operation (callgrind, -m32, the firmware objects)"
echo
python3 Tools/firmware-budget.py instructions build/i386/oskel-budget-probe ||
  fail "callgrind did not count every operation (a valgrind that cannot run 32-bit programs needs libc6-dbg:i386)"
echo
echo "### Flash per EDK II tool chain: the package DSC, DEBUG and RELEASE, bytes"
echo
# The package DSC as Tools/ovmf-check.sh builds it, in the same cache.
root=$(pwd)
cache=${OSKEL_EDK2_CACHE:-/var/tmp/oskel-edk2}
. Tools/edk2-tree.sh
. Tools/edk2-package.sh
rows=$(mktemp)
trap 'rm -f "$rows"' EXIT
echo "| Tool chain | Target | Arch | PEIM | .text | .rodata | relocated constants |"
echo "|---|---|---|---|---:|---:|---:|"
for toolchain in GCC5 CLANGDWARF CLANGPDB; do
  for target in DEBUG RELEASE; do
    edk2_build "$toolchain" "$log/budget-$toolchain-$target.log" 1800 \
      -p OskelCommandsPkg/OskelCommandsPkg.dsc -a IA32 -a X64 -b "$target" ||
      fail "package DSC $toolchain $target did not build (log: $log/budget-$toolchain-$target.log)"
    for arch in IA32 X64; do
      for module in OskelCommands/Pei/OskelCommandsPei IpmiTransport/Pei/IpmiTransportPei; do
        name=$(basename "$module")
        label="$toolchain $target $arch $name"
        python3 Edk2/ModuleSections.py "$label" \
          "$edk2/Build/OskelCommandsPkg/${target}_$toolchain/$arch/OskelCommandsPkg/$module/DEBUG/$name.map" >"$rows" ||
          fail "$label: the linker map could not be read"
        sed -n 's/^\([^ ]*\) \([^ ]*\) \([^ ]*\) \([^:]*\): .text \([0-9]*\) bytes, .rodata \([0-9]*\) bytes, relocated constants (.data.rel.ro) \([0-9]*\) bytes$/| \1 | \2 | \3 | `\4` | \5 | \6 | \7 |/p' "$rows" | grep . ||
          fail "$label: Edk2/ModuleSections.py printed no line this report understands: $(cat "$rows")"
      done
    done
  done
done
