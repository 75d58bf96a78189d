#!/bin/sh
# On demand, not a test: the module's flash, stack and instruction budgets
# as Markdown tables for the README.
#  - .text/.rodata of the IA32 firmware object, in total and per folder;
#  - worst-case stack of every slot and of the entry along the call graph
#    (Tools/firmware-budget.py says how calls through pointers are modelled);
#  - instructions for one representative call of each slot (callgrind on
#    the -m32 build of the module at -Os), the whole call: the simulated
#    transport and PEI services are included.
set -eu
cd "$(dirname "$0")/.."
Tools/install-deps.sh valgrind
objs=build/native/CMakeFiles/OskelCommandsFirmwareObjects.dir
cmake --preset native >/dev/null
cmake --build --preset native --target OskelCommandsFirmware >/dev/null
echo "### Flash: IA32 firmware object, -Os, bytes"
echo
python3 Tools/firmware-budget.py sizes "$objs"
for image in build/pe32/*.efi; do
  [ -f "$image" ] && echo && echo "PE32 image $(basename "$image"): $(stat -c %s "$image") bytes"
done
echo
echo "### Stack: worst case along the call graph, bytes"
echo
python3 Tools/firmware-budget.py stack "$objs" --check 512 || true
echo
echo "### Instructions per operation (callgrind, -m32 -Os, with the simulated transport)"
echo
cmake --preset i386 >/dev/null
cmake --build --preset i386 --target oskel-budget-probe >/dev/null
out=$(mktemp -d)
valgrind --tool=callgrind --callgrind-out-file="$out/cg" build/i386/oskel-budget-probe >/dev/null 2>"$out/log"
echo "| Operation | Instructions |"
echo "|---|---:|"
for dump in $(cd "$out" && ls cg.* | sort -t. -k2 -n | sed "s|^|$out/|"); do
  name=$(sed -n 's/^desc: Trigger: Client Request: //p' "$dump")
  [ -n "$name" ] || continue
  count=$(sed -n 's/^totals: //p' "$dump")
  echo "| \`$name\` | $count |"
done
rm -rf "$out"
