#!/bin/sh
# On demand, not a test: the module's flash, stack and instruction budgets
# as Markdown tables for the README.
#  - .text/.rodata of the IA32 firmware object, in total and per folder;
#  - the KCS transport's .text/.rodata and worst-case stack per operation;
#  - worst-case stack of every slot and of the entry along the call graph
#    (Tools/firmware-budget.py says how calls through pointers are modelled);
#  - the stack each slot and the entry's first run use, measured on the
#    simulated board beside the call-graph bound;
#  - the module's own instructions for one representative call of each slot
#    (callgrind), the simulated transport and PEI services excluded.
set -eu
cd "$(dirname "$0")/.."
Tools/install-deps.sh valgrind
objs=build/native/CMakeFiles/OskelCommandsFirmwareObjects.dir
cmake --preset native >/dev/null
cmake --build --preset native --target OskelCommandsFirmware KcsTransportFirmware >/dev/null
echo "### Flash: IA32 firmware object, -Os, bytes"
echo
python3 Tools/firmware-budget.py sizes "$objs"
for image in build/pe32/*.efi; do
  [ -f "$image" ] && echo && echo "PE32 image $(basename "$image"): $(stat -c %s "$image") bytes"
done
echo
echo "### KCS transport: IA32 firmware object, -Os, bytes; worst-case stack per operation"
echo
python3 Tools/firmware-budget.py kcs build/native/CMakeFiles/KcsTransportFirmwareObjects.dir --check 256 || true
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
python3 Tools/firmware-budget.py instructions "$probe"
