#!/bin/sh
# Builds a PEIM's binary drop-in images as a Visual Studio build makes
# them, with clang-cl in Microsoft mode (_MSC_VER: the compiler header's
# Visual Studio branch, __fastcall between the PEIM's own functions on
# IA32, Microsoft name decoration) and lld-link: NAME.efi (PE32, IA32) and
# X64/NAME.efi (PE32+), each with NAME.debug.efi (the same link with its
# symbol table) and NAME.map (lld-link's map of input sections), and
# NAME.depex (the PEIMs and their dependencies: Tools/pe32-peim.sh). The
# layout is that of Tools/build-pe32.sh, so the binary INFs take either.
#   Tools/build-pe32-clangcl.sh [DIR [NAME]]   (DIR: build/pe32-clangcl;
#   NAME: OskelCommandsPei, the default, or IpmiTransportPei)
#
# Compiler options: those of EDK II's VS2019 and VS2022 tool chains for
# DEBUG (edk2 2022.11 and stable202605 alike, but stable202605's /GS),
# then the C++ options of the PEIM's source INF (its MSFT CXX_FLAGS line,
# read from it). DEBUG adds only /Z7 and /Gy to RELEASE's code options;
# /Gy here stands for what /GL gives RELEASE. Not passed, and why
# (docs/integrating.md, Visual Studio): /GL, which clang-cl ignores (its
# link-time code generation is lld's: larger); /FIAutoGen.h, which only an
# EDK II build makes; X64's /volatileMetadata-, unknown to clang-cl 14 and
# only about a table in the load configuration, which these images have
# not; stable202605's /GS, whose cookie and check live in the platform's
# StackCheckLib, out of a drop-in image's reach.
#
# Link options: EDK II's for VS2019 and VS2022, with the alignment of 20h
# made the file alignment too (GenFv's rule for execute-in-place), the
# PEIM's own entry point, and without /LTCG (no link-time code), /DEBUG
# (the .debug.efi link takes /DEBUG:SYMTAB instead) and RELEASE's
# /MERGE:.rdata=.data, which would put the constants in a writable
# section.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/pe32-clangcl}
name=${2:-OskelCommandsPei}
. "$root/Tools/pe32-peim.sh"
peim "$name"

tool() {
  for candidate in "$@"; do
    command -v "$candidate" >/dev/null 2>&1 && { echo "$candidate"; return; }
  done
  echo "build-pe32-clangcl: none of $* found (Debian: clang, lld)" >&2
  exit 1
}
clang_cl=${CLANG_CL:-$(tool clang-cl clang-cl-14 /usr/lib/llvm-14/bin/clang-cl)}
lld_link=${LLD_LINK:-$(tool lld-link lld-link-14)}

inf=$root/$sources/$name.inf
cxx_flags=$(sed -n 's/^ *MSFT:\*_\*_\*_CXX_FLAGS *= *//p' "$inf")
[ -n "$cxx_flags" ] || { echo "build-pe32-clangcl: no MSFT:*_*_*_CXX_FLAGS line in $inf" >&2; exit 1; }

common_flags="/nologo /c /WX /GS- /W4 /Gs32768 /D UNICODE /EHs-c- /GR- /GF /Gy /Gw /Z7 ${OSKEL_TRANSPORT_FLAGS:-}"
link_flags="/NOLOGO /NODEFAULTLIB /IGNORE:4001 /IGNORE:4281 /OPT:REF /OPT:ICF=10 /ALIGN:32
  /FILEALIGN:32 /SECTION:.xdata,D /SECTION:.pdata,D /DLL /SUBSYSTEM:EFI_BOOT_SERVICE_DRIVER
  /SAFESEH:NO /BASE:0 /DRIVER /WX /Brepro"

# image DIR TARGET MACHINE ARCH-FLAGS ARCH
# NASM files go through clang-cl's preprocessor first, as EDK II's NASM
# rule runs cl.exe /E on them; the NASM options are those of the tool
# chains.
image() {
  dir=$1 target=$2 machine=$3 arch_flags=$4 arch=$5
  mkdir -p "$dir/obj"
  objects=""
  for src in $(peim_sources "$arch"); do
    obj="$dir/obj/$(echo "$src" | tr '/' '_' | sed 's/\.[a-z]*$/.obj/')"
    case "$src" in
      # i686 PE symbols carry a leading underscore, as ASM_PFX gives them
      # in an EDK II build for IA32.
      *.nasm)
        "$clang_cl" --target="$target" /nologo /EP /TC '-DASM_PFX(Name)=_##Name' -- "$root/$src" >"$obj.nasm"
        nasm -Ox -f win32 -o "$obj" "$obj.nasm" ;;
      # A path that begins with / would read as an option: the source
      # follows --.
      # shellcheck disable=SC2086
      *) "$clang_cl" --target="$target" /Fo"$obj" $common_flags $arch_flags $cxx_flags \
           -I"$root/Include" -I"$root/Include/Pi" -- "$root/$src" ;;
    esac
    objects="$objects $obj"
  done
  # The same link twice: the image, and the image with its symbol table
  # for the checks. The import library a /DLL link writes stays in obj/.
  for debug in "" /DEBUG:SYMTAB; do
    # shellcheck disable=SC2086
    "$lld_link" $link_flags /MACHINE:"$machine" /ENTRY:"${name}EntryPoint" $debug \
      /IMPLIB:"$dir/obj/$name.lib" /LLDMAP:"$dir/$name.map" \
      /OUT:"$dir/$name${debug:+.debug}.efi" $objects
  done
  # A Microsoft compiler initialises at run time what it cannot
  # initialise at build time, through a pointer in .CRT$XC*; PEI runs no
  # such initialiser. Thread-local data has no place in PEI either.
  if grep -E '\((\.CRT\$|\.tls)' "$dir/$name.map"; then
    echo "build-pe32-clangcl: FAIL static initialisers or thread-local data in $dir/$name.efi" >&2
    exit 1
  fi
}

# The IA32 options: no SSE (/arch:IA32), /O1b2. X64: /O1b2s, and SSE
# registers where the compiler sees fit, as every x64 build of cl.exe.
image "$out" i686-pc-windows-msvc X86 "/arch:IA32 /O1b2" Ia32
image "$out/X64" x86_64-pc-windows-msvc X64 "/O1b2s" X64

peim_depex "$out" "$name"
echo "$out/$name.efi"
echo "$out/X64/$name.efi"
