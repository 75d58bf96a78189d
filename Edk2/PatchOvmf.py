#!/usr/bin/env python3
"""Writes OvmfPkg/<NAME>.dsc and .fdf next to one of OVMF's platforms
(OvmfPkgIa32 or OvmfPkgX64, PEI in that mode): the same platform with the
BMC command PEIM, the test transport and the test consumer added to the
PEI firmware volume, its own output directory Build/<NAME>, the build
options the CLANG tool chains need on edk2 2022.11 with Debian's clang
(CLANG_OPTIONS, as docs/integrating.md gives them), and, for
the binary module, the rule that places a binary PEIM. The originals are
left untouched; the FDF keeps its CRLF line ends.

Usage: PatchOvmf.py EDK2_DIR Ia32|X64 source|binary NAME
"""

import pathlib
import sys

TRANSPORT = "OskelCommandsPkg/Edk2/TestTransportPei/TestTransportPei.inf"
CONSUMER = "OskelCommandsPkg/Edk2/TestConsumerPei/TestConsumerPei.inf"
MODULE = {
    "source": "OskelCommandsPkg/OskelCommands/Pei/OskelCommandsPei.inf",
    "binary": "OskelCommandsPkg/Edk2/OskelCommandsPei/OskelCommandsPei.inf",
}

#
# OVMF of edk2 2022.11 with clang 14: IntelTdx.c sets a variable it never
# reads, which clang 14 reports and the release's compilers did not; and
# CLANGDWARF IA32 leaves the code model to the compiler, whose Debian build
# makes position-independent code that GenFw cannot take. The family of
# CLANGDWARF's options is GCC; CLANGPDB's is its own.
#
CLANG_OPTIONS = [
    "  GCC:*_CLANGDWARF_*_CC_FLAGS        = -Wno-unused-but-set-variable",
    "  GCC:*_CLANGDWARF_IA32_CC_FLAGS     = -fno-pic -fno-pie -malign-double",
    "  GCC:*_CLANGDWARF_IA32_DLINK2_FLAGS = -no-pie",
    "  CLANGPDB:*_*_*_CC_FLAGS            = -Wno-unused-but-set-variable",
]

BINARY_PEIM_RULE = [
    "[Rule.Common.PEIM.BINARY]",
    "  FILE PEIM = $(NAMED_GUID) {",
    "    PEI_DEPEX PEI_DEPEX Optional |.depex",
    "    PE32      PE32      Align=Auto |.efi",
    '    UI        STRING="$(MODULE_NAME)" Optional',
    "  }",
    "",
]


def replace_once(text, old, new, where):
    if text.count(old) != 1:
        sys.exit(f"PatchOvmf: expected one '{old.strip()}' in {where}")
    return text.replace(old, new)


def main():
    if len(sys.argv) != 5 or sys.argv[2] not in ("Ia32", "X64") or sys.argv[3] not in MODULE:
        sys.exit(__doc__.strip().splitlines()[-1])
    ovmf = pathlib.Path(sys.argv[1]) / "OvmfPkg"
    arch, kind, name = sys.argv[2], sys.argv[3], sys.argv[4]
    modules = [TRANSPORT, MODULE[kind], CONSUMER]

    dsc = (ovmf / f"OvmfPkg{arch}.dsc").read_text()
    dsc = replace_once(dsc, f"Build/Ovmf{arch}\n", f"Build/{name}\n", "the DSC")
    dsc = replace_once(dsc, f"OvmfPkg/OvmfPkg{arch}.fdf", f"OvmfPkg/{name}.fdf", "the DSC")
    anchor = "  OvmfPkg/PlatformPei/PlatformPei.inf\n"
    dsc = replace_once(dsc, anchor, anchor + "".join(f"  {m}\n" for m in modules), "the DSC")
    anchor = "[BuildOptions]\n"
    dsc = replace_once(dsc, anchor, anchor + "".join(f"{o}\n" for o in CLANG_OPTIONS), "the DSC")
    (ovmf / f"{name}.dsc").write_text(dsc)

    #
    # The PEI core dispatches a volume in file order and switches to
    # permanent memory as soon as PlatformPei has installed it: the
    # transport and the module go before PlatformPei so that the module's
    # first run is the one in place, before memory.
    #
    fdf = (ovmf / f"OvmfPkg{arch}.fdf").read_bytes().decode()
    anchor = "INF  OvmfPkg/PlatformPei/PlatformPei.inf\r\n"
    fdf = replace_once(fdf, anchor, "".join(f"INF  {m}\r\n" for m in modules[:2]) + anchor, "the FDF")
    anchor = "INF  UefiCpuPkg/CpuMpPei/CpuMpPei.inf\r\n"
    fdf = replace_once(fdf, anchor, anchor + f"INF  {modules[2]}\r\n", "the FDF")
    if kind == "binary":
        anchor = "[Rule.Common.DXE_CORE]\r\n"
        fdf = replace_once(fdf, anchor, "\r\n".join(BINARY_PEIM_RULE) + "\r\n" + anchor, "the FDF")
    (ovmf / f"{name}.fdf").write_bytes(fdf.encode())


if __name__ == "__main__":
    main()
