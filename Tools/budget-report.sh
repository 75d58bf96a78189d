#!/bin/sh
# On demand, not a test: the figures that take tools the test command does
# not run, as Markdown tables for docs/budgets-on-demand.md.
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
Tools/ia32-exec.sh
say() {
  echo "budget-report: $*" >&2
}
fail() {
  say "FAIL $*"
  exit 1
}
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
      for module in OskelCommands/Pei/OskelCommandsPei KcsTransport/Pei/KcsTransportPei; do
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
