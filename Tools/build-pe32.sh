#!/bin/sh
# Builds a PEIM as the PE32 image a board integrator drops into a firmware
# volume: NAME.efi (stripped), NAME.debug.efi (same image with its symbol
# table) and NAME.depex, the binary dependency expression.
#   OskelCommandsPei (default): the module, "after IpmiTransportPpi";
#   KcsTransportPei: the KCS transport, "after the CPU I/O PPI is installed"
#   (before that the services table's CpuIo does no port I/O).
#
# The image runs in place from flash first, so it is linked at base 0 with
# base relocations for GenFv to rebase it and for the PEI core to relocate
# the shadowed copy; section alignment equals file alignment because GenFv
# maps the file 1:1 for execute-in-place.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/pe32}
name=${2:-OskelCommandsPei}
case "$name" in
  OskelCommandsPei) sources=OskelCommands/Pei; depex_guid=E50B6E5D-359B-4BE0-A0C0-0715A401C608 ;;
  KcsTransportPei) sources=KcsTransport/Pei; depex_guid=E6AF1F7B-FC3F-46DA-A828-A3B457A44282 ;;
  *) echo "unknown PEIM $name" >&2; exit 2 ;;
esac
cxx=${CXX_PE32:-i686-w64-mingw32-g++}
mkdir -p "$out/obj"

flags="-std=c++20 -ffreestanding -fno-exceptions -fno-rtti -fno-threadsafe-statics
  -fno-stack-protector -fno-tree-loop-distribute-patterns -fno-asynchronous-unwind-tables
  -fno-unwind-tables -mpreferred-stack-boundary=2 -Os -nostdlib -mno-stack-arg-probe -fno-ident
  -ffunction-sections -fdata-sections -Wall -Wextra -Werror
  -I$root/Include -I$root/Include/Pi"

objects=""
for src in $(cd "$root" && find $sources -name '*.cpp' | LC_ALL=C sort); do
  obj="$out/obj/$(echo "$src" | tr '/' '_' | sed 's/\.cpp$/.o/')"
  # shellcheck disable=SC2086
  $cxx $flags -c "$root/$src" -o "$obj"
  objects="$objects $obj"
done

# i686 PE symbols carry a leading underscore; the entry is the C symbol.
# shellcheck disable=SC2086
$cxx -nostdlib -Wl,--subsystem,11 -Wl,--image-base,0 -Wl,--dynamicbase \
  -Wl,--enable-reloc-section -Wl,--section-alignment,0x20 -Wl,--file-alignment,0x20 \
  -Wl,--gc-sections -Wl,-T,"$root/Tools/pe32.lds" -Wl,-e,_${name}EntryPoint -Wl,-Map,"$out/$name.map" \
  -o "$out/$name.debug.efi" $objects
i686-w64-mingw32-strip -o "$out/$name.efi" "$out/$name.debug.efi"

# Dependency expression: PUSH the GUID, END.
python3 -c 'import sys, uuid
sys.stdout.buffer.write(b"\x02" + uuid.UUID(sys.argv[1]).bytes_le + b"\x08")' \
  "$depex_guid" > "$out/$name.depex"
echo "$out/$name.efi"
