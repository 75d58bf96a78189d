#!/bin/sh
# On demand, not a test: the module's flash, stack and instruction budgets
# as Markdown tables for docs/budgets.md.
#  - .text/.rodata of the IA32 firmware object, in total and per folder;
#  - the IPMI transport's .text/.rodata and worst-case stack per operation,
#    for each choice of interfaces (KCS and BT, KCS only, BT only);
#  - worst-case stack of every slot and of the entry along the call graph
#    (Tools/firmware-budget.py says how calls through pointers are modelled);
#  - the stack each slot and the entry's first run use, measured on the
#    simulated board beside the call-graph bound;
#  - the module's own instructions for one representative call of each slot
#    (callgrind), the simulated transport and PEI services excluded;
#  - .text/.rodata of both PEIMs as the package DSC links them with each
#    EDK II tool chain (GCC5, CLANGDWARF, CLANGPDB), IA32 and X64, DEBUG
#    and RELEASE, in the edk2 cache of Tools/ovmf-check.sh.
set -eu
cd "$(dirname "$0")/.."
Tools/install-deps.sh valgrind
objs=build/native/CMakeFiles/OskelCommandsFirmwareObjects.dir
cmake --preset native >/dev/null
cmake --build --preset native --target OskelCommandsFirmware IpmiTransportFirmware IpmiTransportKcsFirmware IpmiTransportBtFirmware >/dev/null
echo "### Flash: IA32 firmware object, -Os, bytes"
echo
python3 Tools/firmware-budget.py sizes "$objs"
for image in build/pe32/*.efi; do
  [ -f "$image" ] && echo && echo "PE32 image $(basename "$image"): $(stat -c %s "$image") bytes"
done
echo
echo "### IPMI transport: IA32 firmware object per choice of interfaces, -Os, bytes; worst-case stack per operation"
for name in IpmiTransportFirmware IpmiTransportKcsFirmware IpmiTransportBtFirmware; do
  echo
  echo "#### $name"
  python3 Tools/firmware-budget.py transport "build/native/CMakeFiles/${name}Objects.dir" --check 400 || true
done
echo
echo "### Stack: worst case along the call graph, bytes"
echo
python3 Tools/firmware-budget.py stack "$objs" --check 512 || true
echo
Tools/ia32-exec.sh
cmake --preset i386 >/dev/null
cmake --build --preset i386 --target oskel-budget-probe >/dev/null
probe=build/i386/oskel-budget-probe
echo "### Stack: measured on the simulated board (-m32, the firmware objects), bytes"
echo
python3 Tools/firmware-budget.py measured build/i386/CMakeFiles/OskelCommandsFirmwareObjects.dir "$probe"
echo
echo "### Instructions per operation (callgrind, -m32, the firmware objects)"
echo
python3 Tools/firmware-budget.py instructions "$probe" || echo "(callgrind did not run here: the table in docs/budgets.md stands as last measured)"
echo
echo "### Flash per EDK II tool chain: the package DSC, DEBUG and RELEASE, bytes"
echo
# The package DSC as Tools/ovmf-check.sh builds it, in the same cache.
root=$(pwd)
cache=${OSKEL_EDK2_CACHE:-/var/tmp/oskel-edk2}
say() {
  echo "budget-report: $*" >&2
}
. Tools/edk2-tree.sh
. Tools/edk2-package.sh
echo "| Tool chain | Target | Arch | PEIM | .text | .rodata | relocated constants |"
echo "|---|---|---|---|---:|---:|---:|"
for toolchain in GCC5 CLANGDWARF CLANGPDB; do
  for target in DEBUG RELEASE; do
    edk2_build "$toolchain" "$log/budget-$toolchain-$target.log" 1800 \
      -p OskelCommandsPkg/OskelCommandsPkg.dsc -a IA32 -a X64 -b "$target" ||
      { say "package DSC $toolchain $target failed (log: $log/budget-$toolchain-$target.log)"; continue; }
    for arch in IA32 X64; do
      for module in OskelCommands/Pei/OskelCommandsPei IpmiTransport/Pei/IpmiTransportPei; do
        name=$(basename "$module")
        python3 Edk2/ModuleSections.py "$toolchain $target $arch $name" \
          "$edk2/Build/OskelCommandsPkg/${target}_$toolchain/$arch/OskelCommandsPkg/$module/DEBUG/$name.map" |
          sed -n 's/^\([^ ]*\) \([^ ]*\) \([^ ]*\) \([^:]*\): .text \([0-9]*\) bytes, .rodata \([0-9]*\) bytes, relocated constants (.data.rel.ro) \([0-9]*\) bytes$/| \1 | \2 | \3 | `\4` | \5 | \6 | \7 |/p'
      done
    done
  done
done
