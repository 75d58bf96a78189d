#!/usr/bin/env python3
"""Edk2/ModuleSections.py refuses what must not reach an integrator's flash:
each row is a linker map and a PE image that differ from a good EDK II
build in one way, and the verdict the check must give."""

import pathlib
import struct
import subprocess
import sys
import tempfile
import unittest

CHECK = pathlib.Path(__file__).resolve().parents[2] / "Edk2" / "ModuleSections.py"

GOOD_MAP = """\
.text           0x0000000000000240     0x1000
 .text.Entry    0x0000000000000240      0x800 Entry.obj
 .rodata.Table  0x0000000000000a40      0x400 Table.obj
.data           0x0000000000001240       0x40
"""

READ = 0x40000000
WRITE = 0x80000000
CODE = 0x00000020
DATA = 0x00000040


def pe_image(arch="IA32", subsystem=11, sections=None, fixups=None, imports=False, misplaced=False):
    """A PE32 (IA32) or PE32+ (X64) image as GenFw writes one: .text,
    .data and .reloc at their file offsets, FIXUPS (rva, type) as base
    relocation blocks of one 4 KiB page each."""
    pe32 = arch == "IA32"
    sections = sections or [(".text", 0x240, 0x1000, CODE | READ), (".data", 0x1240, 0x40, DATA | READ | WRITE)]
    fixups = fixups if fixups is not None else [(0x250, 3 if pe32 else 10)]
    block = b""
    for page in sorted({rva & ~0xFFF for rva, _ in fixups}):
        entries = [struct.pack("<H", kind << 12 | (rva & 0xFFF)) for rva, kind in fixups if rva & ~0xFFF == page]
        block += struct.pack("<II", page, 8 + 2 * len(entries)) + b"".join(entries)
    reloc_rva = 0x1280
    sections = sections + [(".reloc", reloc_rva, len(block), DATA | READ)]
    optional_size = 224 if pe32 else 240
    headers = bytearray(0x240)
    struct.pack_into("<I", headers, 0x3C, 0x40)
    headers[0x40:0x44] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", headers, 0x44, 0x14C if pe32 else 0x8664, len(sections), 0, 0, 0, optional_size, 0)
    optional = 0x58
    struct.pack_into("<H", headers, optional, 0x10B if pe32 else 0x20B)
    struct.pack_into("<II", headers, optional + 32, 0x20, 0x20)
    struct.pack_into("<H", headers, optional + 68, subsystem)
    directories = optional + (96 if pe32 else 112)
    if imports:
        struct.pack_into("<II", headers, directories + 8, 0x1240, 0x14)
    struct.pack_into("<II", headers, directories + 40, reloc_rva, len(block))
    for index, (name, rva, size, flags) in enumerate(sections):
        entry = optional + optional_size + 40 * index
        headers[entry:entry + 8] = name.encode().ljust(8, b"\0")
        raw = rva + 0x20 if misplaced and name == ".data" else rva
        struct.pack_into("<IIII", headers, entry + 8, size, rva, size, raw)
        struct.pack_into("<I", headers, entry + 36, flags)
    image = bytearray(reloc_rva + len(block))
    image[:len(headers)] = headers
    image[reloc_rva:] = block
    return bytes(image)


def verdict(text, image=None, arch="IA32", ceiling=None):
    with tempfile.TemporaryDirectory() as scratch:
        map_path = pathlib.Path(scratch) / "Peim.map"
        map_path.write_text(text)
        command = [sys.executable, str(CHECK), "label", str(map_path)]
        if image is not None:
            image_path = pathlib.Path(scratch) / "Peim.efi"
            image_path.write_bytes(image)
            command += ["--image", str(image_path), "--arch", arch]
        if ceiling is not None:
            command += ["--ceiling", str(ceiling)]
        result = subprocess.run(command, capture_output=True, text=True, check=False)
        return result.returncode, result.stdout


ROWS = [
    # (name, map, image, arch, ceiling, passes, words the output must hold)
    ("good IA32 image", GOOD_MAP, pe_image(), "IA32", None, True, ["1 base relocations"]),
    ("good X64 image", GOOD_MAP, pe_image("X64"), "X64", None, True, []),
    ("a variable in .data", GOOD_MAP + " .data.mCounter 0x0000000000001240 0x4 Counter.obj\n",
     None, "IA32", None, False, [".data.mCounter"]),
    ("a zeroed variable in .bss", GOOD_MAP + ".bss 0x0000000000001280 0x10\n .bss.mState 0x0000000000001280 0x10 State.obj\n",
     None, "IA32", None, False, [".bss.mState"]),
    ("the platform's stack guard, one IA32 pointer",
     GOOD_MAP + " .bss.__stack_chk_guard 0x0000000000001240 0x4 StackCheckLibNullGcc.obj\n",
     pe_image(), "IA32", None, True, ["stack protector guard 4 bytes"]),
    ("a stack guard wider than a pointer",
     GOOD_MAP + " .data.__stack_chk_guard 0x0000000000001240 0x8 StackCheckLib.obj\n",
     pe_image(), "IA32", None, False, ["__stack_chk_guard (8 bytes)"]),
    ("relocated constants of X64", GOOD_MAP + " .data.rel.ro.mTable 0x0000000000001240 0x10 Table.obj\n",
     pe_image("X64", fixups=[(0x1240, 10), (0x1248, 10)]), "X64", None, True, ["relocated constants (.data.rel.ro) 16"]),
    ("a fixup in writable data beyond its constants", GOOD_MAP + " .data.rel.ro.mTable 0x0000000000001240 0x8 Table.obj\n",
     pe_image("X64", fixups=[(0x1240, 10), (0x1248, 10)]), "X64", None, False, ["2 fixups in writable section .data"]),
    ("a 16-bit fixup", GOOD_MAP, pe_image(fixups=[(0x250, 2)]), "IA32", None, False, ["relocation type 2"]),
    ("an IA32 fixup type in an X64 image", GOOD_MAP, pe_image("X64", fixups=[(0x250, 3)]), "X64", None, False,
     ["relocation type 3"]),
    ("a fixup outside every section", GOOD_MAP, pe_image(fixups=[(0x1F0, 3)]), "IA32", None,
     False, ["outside the image's sections"]),
    ("a PE32+ image given as IA32", GOOD_MAP, pe_image("X64"), "IA32", None, False, ["magic 0x20b"]),
    ("an application's subsystem", GOOD_MAP, pe_image(subsystem=10), "IA32", None, False, ["subsystem 10"]),
    ("an import directory", GOOD_MAP, pe_image(imports=True), "IA32", None, False, ["import directory"]),
    ("a section away from its file offset", GOOD_MAP, pe_image(misplaced=True), "IA32", None, False,
     ["not at its file offset"]),
    ("code and constants at the ceiling", GOOD_MAP, None, "IA32", 0xC00, True, []),
    ("one byte over the ceiling", GOOD_MAP, None, "IA32", 0xBFF, False, ["above the 3071-byte ceiling"]),
]


class ModuleSectionsTest(unittest.TestCase):
    def test_rows(self):
        for name, text, image, arch, ceiling, passes, words in ROWS:
            with self.subTest(name):
                status, output = verdict(text, image, arch, ceiling)
                self.assertEqual(status == 0, passes, output)
                for word in words:
                    self.assertIn(word, output)


if __name__ == "__main__":
    unittest.main()
