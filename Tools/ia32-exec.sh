#!/bin/sh
# Makes sure this machine runs the -m32 host builds. Some x86_64 kernels
# (virtual machines built without IA32 emulation) refuse every 32-bit ELF
# with "Exec format error"; there the kernel is taught to hand i386 ELF
# files to Debian's statically linked qemu-i386 through binfmt_misc. The
# F flag opens the interpreter once, at registration, so every process of
# the run finds it. Needs root when the kernel refuses.
set -eu
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
printf 'int main (void) { return 7; }\n' >"$probe/p.c"
cc -m32 "$probe/p.c" -o "$probe/p"
status=0
"$probe/p" 2>/dev/null || status=$?
[ "$status" -eq 7 ] && exit 0
[ "$(id -u)" -eq 0 ] || { echo "ia32-exec: this kernel runs no 32-bit programs (run as root to add qemu-i386)" >&2; exit 1; }
"$(dirname "$0")/install-deps.sh" qemu-user-static
binfmt=/proc/sys/fs/binfmt_misc
[ -f "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
if [ ! -f "$binfmt/qemu-i386" ]; then
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    >"$binfmt/register"
fi
status=0
"$probe/p" 2>/dev/null || status=$?
[ "$status" -eq 7 ] || { echo "ia32-exec: 32-bit programs still do not run" >&2; exit 1; }
echo "ia32-exec: 32-bit programs run under qemu-i386 on this kernel"
