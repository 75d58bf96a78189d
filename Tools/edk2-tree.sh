# Sourced by the scripts that build firmware with EDK II. Takes the cache's
# lock for the rest of the caller's run, then makes sure the edk2 source
# package of the running Debian release and its BaseTools are under $cache;
# sets edk2 (the tree) and log (its build logs). Needs root, cache and say.

mkdir -p "$cache"
# One build and one boot at a time: the edk2 tree, the staged package and
# the run directory are shared by every checkout on the machine.
exec 9>"$cache/.lock"
flock 9

edk2=$(find "$cache" -maxdepth 2 -name edksetup.sh -path "$cache/edk2-*" 2>/dev/null | head -n 1)
if [ -z "$edk2" ]; then
  if ! apt-get source --print-uris edk2 >/dev/null 2>&1; then
    [ "$(id -u)" -eq 0 ] || { say "no deb-src entry for edk2 (run as root to add one)"; exit 1; }
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
        >/etc/apt/sources.list.d/oskel-edk2-src.sources
    else
      sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >/etc/apt/sources.list.d/oskel-edk2-src.list
    fi
    apt-get update -qq
  fi
  say "fetching the edk2 source package"
  (cd "$cache" && apt-get source -qq edk2 >/dev/null 2>&1)
  edk2=$(find "$cache" -maxdepth 2 -name edksetup.sh -path "$cache/edk2-*" | head -n 1)
fi
edk2=$(dirname "$edk2")
log=$cache/logs
mkdir -p "$log"

if [ ! -x "$edk2/BaseTools/Source/C/bin/GenFv" ]; then
  say "building BaseTools"
  (cd "$edk2" && bash -c '. ./edksetup.sh >/dev/null && make -C BaseTools -j2' >"$log/basetools.log" 2>&1) ||
    { tail -n 30 "$log/basetools.log"; say "FAIL BaseTools build"; exit 1; }
fi

# edk2_release: the edk2 release integrators build on today, edk2-stable202605,
# from the trimmed copy of the release (MdePkg, BaseTools, Conf) that the
# shared folder next to the repository holds: unpacked under
# $cache/release and its BaseTools built once. Sets edk2_release (the tree).
edk2_release() {
  release_tarball=${OSKEL_EDK2_RELEASE_TARBALL:-$root/../shared/edk2/edk2-stable202605.tar.xz}
  edk2_release=$cache/release/edk2-stable202605
  if [ ! -f "$edk2_release/edksetup.sh" ]; then
    [ -f "$release_tarball" ] || { say "no edk2-stable202605 at $release_tarball"; exit 1; }
    say "unpacking $(basename "$release_tarball")"
    rm -rf "$cache/release"
    mkdir -p "$cache/release"
    tar -xJf "$release_tarball" -C "$cache/release"
  fi
  if [ ! -x "$edk2_release/BaseTools/Source/C/bin/GenFv" ]; then
    say "building edk2-stable202605's BaseTools"
    (cd "$edk2_release" && bash -c '. ./edksetup.sh >/dev/null && make -C BaseTools -j2' >"$log/basetools-202605.log" 2>&1) ||
      { tail -n 30 "$log/basetools-202605.log"; say "FAIL edk2-stable202605 BaseTools build"; exit 1; }
  fi
}
