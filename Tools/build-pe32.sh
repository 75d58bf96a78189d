#!/bin/sh
# Builds a PEIM as the PE images a board integrator drops into a firmware
# volume, for PEI in 32-bit mode (PE32, mingw i686) and in 64-bit mode
# (PE32+, mingw x86_64, in DIR/X64): NAME.efi (stripped), NAME.debug.efi
# (same image with its symbol table) and NAME.depex, the binary dependency
# expression, the same for both (the PEIMs and their dependencies:
# Tools/pe32-peim.sh). The transport carries the interfaces
# OSKEL_TRANSPORT_FLAGS chooses (-D flags; all it has when it is empty).
#
# The image runs in place from flash first, so it is linked at base 0 with
# base relocations for GenFv to rebase it and for the PEI core to relocate
# the shadow, with section alignment equal to file alignment as GenFv
# requires for execute-in-place images.
#   Tools/build-pe32.sh [DIR [NAME]]   (NAME: OskelCommandsPei, the default, or IpmiTransportPei)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/pe32}
name=${2:-OskelCommandsPei}
. "$root/Tools/pe32-peim.sh"
peim "$name"

common="-std=c++20 -ffreestanding -fno-exceptions -fno-rtti -fno-threadsafe-statics
  -fno-stack-protector -fno-tree-loop-distribute-patterns -fno-asynchronous-unwind-tables
  -fno-unwind-tables -Os -nostdlib -mno-stack-arg-probe -fno-ident
  -ffunction-sections -fdata-sections -Wall -Wextra -Werror
  -I$root/Include -I$root/Include/Pi ${OSKEL_TRANSPORT_FLAGS:-}"

# image DIR TOOL-PREFIX ENTRY-SYMBOL EXTRA-FLAGS ARCH
# NASM files go through the C preprocessor first, as EDK II's build rule
# does.
image() {
  dir=$1 prefix=$2 entry=$3 extra=$4 arch=$5
  mkdir -p "$dir/obj"
  objects=""
  for src in $(peim_sources "$arch"); do
    obj="$dir/obj/$(echo "$src" | tr '/' '_' | sed 's/\.[a-z]*$/.o/')"
    case "$src" in
      # i686 PE symbols carry a leading underscore, as ASM_PFX gives them
      # in an EDK II build for IA32.
      *.nasm)
        "$prefix-gcc" -E -P -x assembler-with-cpp '-DASM_PFX(Name)=_##Name' -o "$obj.nasm" "$root/$src"
        nasm -f win32 -o "$obj" "$obj.nasm" ;;
      # shellcheck disable=SC2086
      *) "$prefix-g++" $common $extra -c "$root/$src" -o "$obj" ;;
    esac
    objects="$objects $obj"
  done
  # shellcheck disable=SC2086
  "$prefix-g++" -nostdlib -Wl,--subsystem,11 -Wl,--image-base,0 -Wl,--dynamicbase \
    -Wl,--enable-reloc-section -Wl,--section-alignment,0x20 -Wl,--file-alignment,0x20 \
    -Wl,--gc-sections -Wl,-T,"$root/Tools/pe32.lds" -Wl,-e,"$entry" -Wl,-Map,"$dir/$name.map" \
    -o "$dir/$name.debug.efi" $objects
  "$prefix-strip" -o "$dir/$name.efi" "$dir/$name.debug.efi"
}

# i686 PE symbols carry a leading underscore; the entry is the C symbol.
image "$out" "${PE32_PREFIX:-i686-w64-mingw32}" "_${name}EntryPoint" "-mpreferred-stack-boundary=2" Ia32
# PEI in 64-bit mode: EFIAPI is the Microsoft x64 convention, mingw's own
# (no red zone, shadow space for register arguments). No MMX or SSE: the
# PEIM must not depend on the platform's FPU state.
image "$out/X64" "${PE32PLUS_PREFIX:-x86_64-w64-mingw32}" "${name}EntryPoint" "-mno-mmx -mno-sse" X64

peim_depex "$out" "$name"
echo "$out/$name.efi"
echo "$out/X64/$name.efi"
