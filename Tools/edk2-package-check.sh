#!/bin/sh
# Builds the package DSC by the steps docs/integrating.md gives, on both
# EDK II generations integrators use, and checks what each build hands an
# integrator: both PEIMs' images, IA32 and X64, DEBUG and RELEASE.
#  - edk2 2022.11 (Debian's source package): GCC5, CLANGDWARF, CLANGPDB;
#  - edk2-stable202605 (the release integrators build on today, from the
#    shared folder beside the repository): GCC, CLANGDWARF, CLANGPDB.
# Each image goes through Edk2/ModuleSections.py: sizes, no writable data
# but relocated constants and the platform's stack protector guard, the PE
# rules of execute-in-place, base relocations of the architecture's one
# type, and on IA32 the image ceiling below. The package DSC builds the
# IPMI transport with KCS and BT; on edk2 2022.11 with GCC5 its IA32
# RELEASE transport is built four times more, with KCS alone, BT alone,
# SSIF alone and all three, and checked the same way against the ceilings
# of those builds (not on the release, whose GCC images the OVMF boots
# take as they are).
#
# The edk2-stable202605 images that the OVMF boots and the QEMU board take
# as binary drop-ins (GCC IA32 and CLANGPDB X64, RELEASE) are laid out in
# $cache/images/edk2-202605 as Tools/build-pe32.sh lays out its own.
#
# OSKEL_EDK2_GENERATIONS (default "2022.11 202605") and
# OSKEL_PACKAGE_TOOLCHAINS (default: every tool chain of each generation)
# choose the builds. Everything is built under OSKEL_EDK2_CACHE (default
# /var/tmp/oskel-edk2).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${OSKEL_EDK2_CACHE:-/var/tmp/oskel-edk2}
generations=${OSKEL_EDK2_GENERATIONS:-2022.11 202605}
build_timeout=${OSKEL_OVMF_BUILD_TIMEOUT:-1800}
script_started=$(date +%s)

#
# What an EDK II image of a PEIM may hold on IA32: the flash ceiling of its
# CMake firmware object plus an allowance for what an EDK II build adds and
# the object does not have: _ModuleEntryPoint and its library glue, the
# platform's stack-check library (about 130 bytes with MdePkg's
# StackCheckLib) and the code generation of the other tool chains (clang's
# IA32 code of the module is about 330 bytes larger than GCC's). The
# budgets are CMake's (budgets.env of a configured build, default the
# native preset's).
#
budgets=${OSKEL_BUDGETS:-$root/build/native/budgets.env}
[ -f "$budgets" ] || { echo "edk2-package-check: no $budgets: configure the native preset first" >&2; exit 1; }
. "$budgets"
module_image_ceiling=$((OSKEL_FLASH_CEILING + OSKEL_EDK2_IMAGE_ALLOWANCE))
# The transport: KCS and BT (the package DSC's build), KCS alone, BT alone,
# SSIF alone, all three.
transport_image_ceiling=$((OSKEL_TRANSPORT_FLASH_CEILING + OSKEL_EDK2_IMAGE_ALLOWANCE))
transport_kcs_image_ceiling=$((OSKEL_KCS_FLASH_CEILING + OSKEL_EDK2_IMAGE_ALLOWANCE))
transport_bt_image_ceiling=$((OSKEL_BT_FLASH_CEILING + OSKEL_EDK2_IMAGE_ALLOWANCE))
transport_ssif_image_ceiling=$((OSKEL_SSIF_FLASH_CEILING + OSKEL_EDK2_IMAGE_ALLOWANCE))
transport_all_image_ceiling=$((OSKEL_ALL_FLASH_CEILING + OSKEL_EDK2_IMAGE_ALLOWANCE))

say() {
  echo "edk2-package-check: $*"
}

"$root/Tools/install-deps.sh" build-essential uuid-dev nasm python3 python-is-python3 dpkg-dev clang lld llvm xz-utils
. "$root/Tools/edk2-tree.sh"
. "$root/Tools/edk2-package.sh"
case " $generations " in *" 202605 "*) edk2_release ;; esac

failed=""
checked=0

# check_images TREE GENERATION TOOLCHAIN TARGET: both PEIMs of one build.
check_images() {
  tree=$1 generation=$2 toolchain=$3 target=$4
  for arch in IA32 X64; do
    for module in OskelCommands/Pei/OskelCommandsPei IpmiTransport/Pei/IpmiTransportPei; do
      name=$(basename "$module")
      dir=$tree/Build/OskelCommandsPkg/${target}_$toolchain/$arch/OskelCommandsPkg/$module
      ceiling=""
      if [ "$arch" = IA32 ]; then
        case $name in
          OskelCommandsPei) ceiling="--ceiling $module_image_ceiling" ;;
          *) ceiling="--ceiling $transport_image_ceiling" ;;
        esac
      fi
      # shellcheck disable=SC2086
      python3 "$root/Edk2/ModuleSections.py" "edk2 $generation $toolchain $target $arch $name" \
        "$dir/DEBUG/$name.map" --image "$dir/OUTPUT/$name.efi" --arch "$arch" $ceiling ||
        failed="$failed $generation-$toolchain-$target-$arch-$name"
      checked=$((checked + 1))
    done
  done
}

# transport_builds TREE GENERATION TOOLCHAIN BUILDER: the transport alone,
# IA32 RELEASE, with KCS alone, BT alone, SSIF alone and all three, each
# image checked against its ceiling (a choice's defines, comma-separated). Last for this tool chain: the images it leaves are
# those builds', and the next run copies the package afresh.
transport_builds() {
  tree=$1 generation=$2 toolchain=$3 builder=$4
  module=IpmiTransport/Pei/IpmiTransportPei
  for choice in "KCS-only TRANSPORT_BT=0 $transport_kcs_image_ceiling" "BT-only TRANSPORT_KCS=0 $transport_bt_image_ceiling" \
                "SSIF-only TRANSPORT_KCS=0,TRANSPORT_BT=0,TRANSPORT_SSIF=1 $transport_ssif_image_ceiling" \
                "all-three TRANSPORT_SSIF=1 $transport_all_image_ceiling"; do
    set -- $choice
    build_log=$log/package-$generation-$toolchain-RELEASE-transport-$1.log
    defines=$(echo "$2" | sed 's/^/-D /; s/,/ -D /g')
    # shellcheck disable=SC2086
    if "$builder" "$toolchain" "$build_log" "$build_timeout" -p OskelCommandsPkg/OskelCommandsPkg.dsc \
      -m "OskelCommandsPkg/$module.inf" -a IA32 -b RELEASE $defines; then
      dir=$tree/Build/OskelCommandsPkg/RELEASE_$toolchain/IA32/OskelCommandsPkg/$module
      python3 "$root/Edk2/ModuleSections.py" "edk2 $generation $toolchain RELEASE IA32 IpmiTransportPei, $1" \
        "$dir/DEBUG/IpmiTransportPei.map" --image "$dir/OUTPUT/IpmiTransportPei.efi" --arch IA32 --ceiling "$3" ||
        failed="$failed $generation-$toolchain-RELEASE-IA32-IpmiTransportPei-$1"
      checked=$((checked + 1))
    else
      grep -E ": error|error:" "$build_log" | tail -n 30
      say "FAIL edk2 $generation $toolchain RELEASE transport $1 (log: $build_log)"
      failed="$failed $generation-$toolchain-RELEASE-transport-$1"
    fi
  done
}

for generation in $generations; do
  case $generation in
    2022.11) tree=$edk2 toolchains="GCC5 CLANGDWARF CLANGPDB" builder=edk2_build ;;
    202605) tree=$edk2_release toolchains="GCC CLANGDWARF CLANGPDB" builder=edk2_release_build ;;
    *) say "unknown generation $generation (2022.11 or 202605)"; exit 1 ;;
  esac
  for toolchain in $toolchains; do
    case " ${OSKEL_PACKAGE_TOOLCHAINS:-$toolchains} " in *" $toolchain "*) ;; *) continue ;; esac
    for target in DEBUG RELEASE; do
      started=$(date +%s)
      build_log=$log/package-$generation-$toolchain-$target.log
      if "$builder" "$toolchain" "$build_log" "$build_timeout" \
        -p OskelCommandsPkg/OskelCommandsPkg.dsc -a IA32 -a X64 -b "$target"; then
        say "edk2 $generation $toolchain $target, IA32 and X64: built in $(($(date +%s) - started)) s (log: $build_log)"
        check_images "$tree" "$generation" "$toolchain" "$target"
        case $generation-$toolchain-$target in 2022.11-GCC5-RELEASE) transport_builds "$tree" "$generation" "$toolchain" "$builder" ;; esac
      else
        grep -E ": error|error:|Error [0-9]|error [0-9A-F]+:" "$build_log" | grep -v '^"' | tail -n 30
        say "FAIL edk2 $generation $toolchain $target build (log: $build_log)"
        failed="$failed $generation-$toolchain-$target"
      fi
    done
  done
done

#
# The release's images for the binary drop-in boots, IA32 from GCC and X64
# from CLANGPDB, with the dependency expressions EDK II wrote for them.
#
case " $generations " in *" 202605 "*)
  images=$cache/images/edk2-202605
  rm -rf "$images"
  mkdir -p "$images/X64"
  for module in OskelCommands/Pei/OskelCommandsPei IpmiTransport/Pei/IpmiTransportPei; do
    name=$(basename "$module")
    ia32=$edk2_release/Build/OskelCommandsPkg/RELEASE_GCC/IA32/OskelCommandsPkg/$module/OUTPUT
    x64=$edk2_release/Build/OskelCommandsPkg/RELEASE_CLANGPDB/X64/OskelCommandsPkg/$module/OUTPUT
    if [ -f "$ia32/$name.efi" ] && [ -f "$x64/$name.efi" ]; then
      cp "$ia32/$name.efi" "$ia32/$name.depex" "$images/"
      cp "$x64/$name.efi" "$x64/$name.depex" "$images/X64/"
    fi
  done
esac

say "$checked images checked; total $(($(date +%s) - script_started)) s"
if [ -n "$failed" ]; then
  say "FAIL$failed"
  exit 1
fi
say "PASS"
