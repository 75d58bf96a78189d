# Sourced by the scripts that build a PEIM's binary drop-in images
# (Tools/build-pe32.sh with mingw, Tools/build-pe32-clangcl.sh with
# clang-cl): what each PEIM is, which sources each architecture builds and
# the dependency expression, written once for both. Needs root (the
# repository).

# peim NAME: sets sources (the PEIM's folder) and depex_guid.
#   OskelCommandsPei: the module, "after IpmiTransportPpi";
#   IpmiTransportPei: the IPMI transport, "after the CPU I/O PPI is installed"
#   (before that the services table's CpuIo does no port I/O).
peim() {
  case "$1" in
    OskelCommandsPei) sources=OskelCommands/Pei; depex_guid=E50B6E5D-359B-4BE0-A0C0-0715A401C608 ;;
    IpmiTransportPei) sources=IpmiTransport/Pei; depex_guid=E6AF1F7B-FC3F-46DA-A828-A3B457A44282 ;;
    *) echo "unknown PEIM $1" >&2; exit 2 ;;
  esac
}

# peim_sources ARCH: the sources as the source INF lists them for ARCH
# (Ia32 or X64), relative to root: the C++ files but those under another
# architecture's folder (Ia32/, X64/), and the NASM files of the ARCH folder.
peim_sources() {
  for src in $(cd "$root" && find $sources -name '*.cpp' -o -name '*.nasm' | LC_ALL=C sort); do
    case "$src" in
      */Ia32/*) [ "$1" = Ia32 ] || continue ;;
      */X64/*) [ "$1" = X64 ] || continue ;;
    esac
    echo "$src"
  done
}

# peim_depex DIR NAME: the dependency expression, PUSH the GUID and END,
# as DIR/NAME.depex and DIR/X64/NAME.depex (the same for both).
peim_depex() {
  python3 -c 'import sys, uuid
sys.stdout.buffer.write(b"\x02" + uuid.UUID(sys.argv[1]).bytes_le + b"\x08")' \
    "$depex_guid" > "$1/$2.depex"
  cp "$1/$2.depex" "$1/X64/$2.depex"
}
