#!/usr/bin/env python3
"""Writes OvmfPkg/OskelOvmfIa32.dsc and .fdf next to OVMF's IA32 platform
files: the same platform with the BMC command PEIM (binary), the test
transport and the test consumer added to the PEI firmware volume, its own
output directory, and the rule that places a binary PEIM. The originals are
left untouched; the FDF keeps its CRLF line ends."""

import pathlib
import sys

MODULES = [
    "OskelCommandsPkg/Edk2/TestTransportPei/TestTransportPei.inf",
    "OskelCommandsPkg/Edk2/OskelCommandsPei/OskelCommandsPei.inf",
    "OskelCommandsPkg/Edk2/TestConsumerPei/TestConsumerPei.inf",
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
    ovmf = pathlib.Path(sys.argv[1]) / "OvmfPkg"

    dsc = (ovmf / "OvmfPkgIa32.dsc").read_text()
    dsc = replace_once(dsc, "Build/OvmfIa32\n", "Build/OskelOvmfIa32\n", "the DSC")
    dsc = replace_once(dsc, "OvmfPkg/OvmfPkgIa32.fdf", "OvmfPkg/OskelOvmfIa32.fdf", "the DSC")
    anchor = "  OvmfPkg/PlatformPei/PlatformPei.inf\n"
    dsc = replace_once(dsc, anchor, anchor + "".join(f"  {m}\n" for m in MODULES), "the DSC")
    (ovmf / "OskelOvmfIa32.dsc").write_text(dsc)

    #
    # The PEI core dispatches a volume in file order and switches to
    # permanent memory as soon as PlatformPei has installed it: the
    # transport and the module go before PlatformPei so that the module's
    # first run is the one in place, before memory.
    #
    fdf = (ovmf / "OvmfPkgIa32.fdf").read_bytes().decode()
    anchor = "INF  OvmfPkg/PlatformPei/PlatformPei.inf\r\n"
    fdf = replace_once(fdf, anchor, "".join(f"INF  {m}\r\n" for m in MODULES[:2]) + anchor, "the FDF")
    anchor = "INF  UefiCpuPkg/CpuMpPei/CpuMpPei.inf\r\n"
    fdf = replace_once(fdf, anchor, anchor + f"INF  {MODULES[2]}\r\n", "the FDF")
    anchor = "[Rule.Common.DXE_CORE]\r\n"
    fdf = replace_once(fdf, anchor, "\r\n".join(BINARY_PEIM_RULE) + "\r\n" + anchor, "the FDF")
    (ovmf / "OskelOvmfIa32.fdf").write_bytes(fdf.encode())


if __name__ == "__main__":
    main()
