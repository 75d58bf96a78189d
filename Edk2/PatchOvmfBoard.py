#!/usr/bin/env python3
"""Writes OvmfPkg/OskelBoardOvmfIa32.dsc and .fdf next to OVMF's IA32 platform
files: the QEMU board with two KCS BMCs, a BT BMC and an SSIF BMC.
UefiCpuPkg's CpuIoPei, the board PEIM (platform BMC HOB, the transport's
settings and interfaces HOBs, Setup, the logging CPU I/O front), the board's
ICH9 SMBus PEIM, the IPMI transport and the BMC command PEIM (binary
images) go before PlatformPei, so that both run in
place before memory; the consumer runs after CpuMpPei, from memory.

Usage: PatchOvmfBoard.py EDK2_TREE TRANSPORT_INF"""

import pathlib
import sys

from PatchOvmf import BINARY_PEIM_RULE, replace_once


def main():
    ovmf = pathlib.Path(sys.argv[1]) / "OvmfPkg"
    early = [
        "UefiCpuPkg/CpuIoPei/CpuIoPei.inf",
        "OskelCommandsPkg/Edk2/QemuBoardPei/QemuBoardPei.inf",
        "OskelCommandsPkg/Edk2/QemuSmbusPei/QemuSmbusPei.inf",
        sys.argv[2],
        "OskelCommandsPkg/Edk2/OskelCommandsPei/OskelCommandsPei.inf",
    ]
    late = "OskelCommandsPkg/Edk2/QemuConsumerPei/QemuConsumerPei.inf"

    dsc = (ovmf / "OvmfPkgIa32.dsc").read_text()
    dsc = replace_once(dsc, "Build/OvmfIa32\n", "Build/OskelBoardOvmfIa32\n", "the DSC")
    dsc = replace_once(dsc, "OvmfPkg/OvmfPkgIa32.fdf", "OvmfPkg/OskelBoardOvmfIa32.fdf", "the DSC")
    anchor = "  OvmfPkg/PlatformPei/PlatformPei.inf\n"
    dsc = replace_once(dsc, anchor, anchor + "".join(f"  {m}\n" for m in early + [late]), "the DSC")
    (ovmf / "OskelBoardOvmfIa32.dsc").write_text(dsc)

    fdf = (ovmf / "OvmfPkgIa32.fdf").read_bytes().decode()
    anchor = "INF  OvmfPkg/PlatformPei/PlatformPei.inf\r\n"
    fdf = replace_once(fdf, anchor, "".join(f"INF  {m}\r\n" for m in early) + anchor, "the FDF")
    anchor = "INF  UefiCpuPkg/CpuMpPei/CpuMpPei.inf\r\n"
    fdf = replace_once(fdf, anchor, anchor + f"INF  {late}\r\n", "the FDF")
    anchor = "[Rule.Common.DXE_CORE]\r\n"
    fdf = replace_once(fdf, anchor, "\r\n".join(BINARY_PEIM_RULE) + "\r\n" + anchor, "the FDF")
    (ovmf / "OskelBoardOvmfIa32.fdf").write_bytes(fdf.encode())


if __name__ == "__main__":
    main()
