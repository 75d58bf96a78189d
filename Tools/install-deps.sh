#!/bin/sh
# Installs the Debian packages the builds and tests need, when missing
# (clang-tools and lld: clang-cl and lld-link, for the Visual Studio-style
# images).
# Extra package names may be given as arguments.
set -eu
need=""
for pkg in cmake ninja-build g++ g++-multilib binutils nasm googletest python3 graphviz tshark openipmi libopenipmi-dev ipmitool g++-mingw-w64-i686 g++-mingw-w64-x86-64 libclang-rt-14-dev clang-tools lld "$@"; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need="$need $pkg"
done
[ -z "$need" ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "missing Debian packages:$need (run as root, or install them)" >&2
  exit 1
fi
apt-get update -qq
# tshark asks whether non-root users may capture; answer it up front.
echo "wireshark-common wireshark-common/install-setuid boolean false" | debconf-set-selections
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $need >/dev/null
