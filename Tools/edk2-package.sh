# Sourced after Tools/edk2-tree.sh by the scripts that build the package
# with EDK II (needs root, cache, edk2 and log). Stages the package as an
# EDK II build sees it under $cache/packages/OskelCommandsPkg: the .dec and
# .dsc, the public headers (Ppi, Guid, IndustryStandard) and the compiler
# header without the standalone PI layer (MdePkg's own PiPei.h must be the
# one found), both PEIMs'
# sources with their INFs, and the INFs and sources under Edk2/. Writes
# $cache/conf-cxx, the Conf directory of the CLANG tool chains: edk2
# 2022.11's templates with the C++ build rule of Edk2/CxxBuildRule.txt
# appended, as an integrator adds it. Defines edk2_build (edk2 2022.11) and
# edk2_release_build (edk2-stable202605).

# Copied without their times: a source older than an object built from an
# earlier copy must still be rebuilt.
package=$cache/packages/OskelCommandsPkg
rm -rf "$package"
mkdir -p "$package/Include" "$package/OskelCommands" "$package/IpmiTransport"
cp "$root/OskelCommandsPkg.dec" "$root/OskelCommandsPkg.dsc" "$package/"
cp -R "$root/Include/Ppi" "$root/Include/Guid" "$root/Include/IndustryStandard" "$package/Include/"
cp "$root/Include/OskelCompiler.h" "$package/Include/"
cp -R "$root/OskelCommands/Pei" "$package/OskelCommands/"
cp -R "$root/IpmiTransport/Pei" "$package/IpmiTransport/"
cp -R "$root/Edk2" "$package/"

# Rewritten only when its content changes, so that a warm cache stays warm.
conf_cxx=$cache/conf-cxx
mkdir -p "$conf_cxx"
conf_file() {
  cat "$@" >"$conf_cxx/.new"
  if cmp -s "$conf_cxx/.new" "$conf_cxx/$name"; then rm "$conf_cxx/.new"; else mv "$conf_cxx/.new" "$conf_cxx/$name"; fi
}
name=tools_def.txt conf_file "$edk2/BaseTools/Conf/tools_def.template"
name=target.txt conf_file "$edk2/BaseTools/Conf/target.template"
name=build_rule.txt conf_file "$edk2/BaseTools/Conf/build_rule.template" "$root/Edk2/CxxBuildRule.txt"

# edk2_build TOOLCHAIN LOG TIMEOUT BUILD-ARGUMENTS...: one EDK II build in
# the tree, with the edk2 tree's own Conf for GCC5 (no C++ rule: the gcc
# driver file carries the C++ options) and conf-cxx for the CLANG tool
# chains. The tool chains' clang, lld-link and llvm-lib are on PATH.
edk2_build() {
  toolchain=$1 build_log=$2 limit=$3
  shift 3
  conf=$edk2/Conf
  case $toolchain in CLANG*) conf=$conf_cxx ;; esac
  # edksetup.sh reads the positional parameters: none may reach it.
  (cd "$edk2" && WORKSPACE=$edk2 PACKAGES_PATH=$edk2:$cache/packages CONF_PATH=$conf bash -c \
    'limit=$0 toolchain=$1; shift; args="$*"; set --; . ./edksetup.sh >/dev/null &&
     timeout -k 30 "$limit" build -t "$toolchain" -n 2 $args' \
    "$limit" "$toolchain" "$@" >"$build_log" 2>&1)
}

# edk2_release_build TOOLCHAIN LOG TIMEOUT BUILD-ARGUMENTS...: the same on
# edk2-stable202605 (edk2_release of Tools/edk2-tree.sh), with the release's
# own Conf for every tool chain: it has the C++ build rule built in.
edk2_release_build() {
  toolchain=$1 build_log=$2 limit=$3
  shift 3
  (cd "$edk2_release" && WORKSPACE=$edk2_release PACKAGES_PATH=$edk2_release:$cache/packages bash -c \
    'limit=$0 toolchain=$1; shift; args="$*"; set --; . ./edksetup.sh >/dev/null &&
     timeout -k 30 "$limit" build -t "$toolchain" -n 2 $args' \
    "$limit" "$toolchain" "$@" >"$build_log" 2>&1)
}
