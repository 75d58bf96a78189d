#!/usr/bin/env python3
"""What an integrator gets from an EDK II build of a PEIM: its sizes from
the linker map of its .dll (GNU ld's for GCC5/GCC, ld.lld's for CLANGDWARF,
lld-link's /lldmap for CLANGPDB), and, given the image, the PE checks that
GenFv and the PEI core rely on.

From the map: EDK II's GccBase.lds folds .rodata into the output .text, so
the split is read from the input sections; constants count as .rodata
wherever the link puts them (CLANGPDB's RELEASE link merges .rdata into
.data; unwind tables .xdata/.pdata are constants too). Fails when the
image's writable data holds anything but
  - relocated constants (.data.rel.ro*, where -fpie puts constant tables
    of pointers on X64), which only the loader writes, and
  - the platform's stack protector guard, __stack_chk_guard, one pointer:
    the platform's StackCheckLib defines it and only reads it in PEI, so in
    place it is a constant of flash like the others;
the first run executes in place, so nothing else may be there.

From the image (--image): PE32 for IA32, PE32+ for X64, subsystem EFI boot
service driver, sections at their file offsets (GenFv's execute-in-place
rule), nothing imported, base relocations of the one type the
architecture's loader applies (HIGHLOW on IA32, DIR64 on X64) inside the
image's sections, and in a writable section no more fixups than the
constants placed there can hold. --ceiling bounds .text + .rodata.

Usage: ModuleSections.py LABEL MAP [--image EFI --arch IA32|X64] [--ceiling BYTES]
"""

import argparse
import re
import struct
import sys

OUTPUT = re.compile(r"^(\.\S+)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)")
INPUT = re.compile(r"^ (\.\S+)(?:\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+\S+)?\s*$")
CONTINUED = re.compile(r"^\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+\S+")


def input_sections(path):
    output = None
    pending = None
    with open(path) as lines:
        for line in lines:
            match = OUTPUT.match(line)
            if match:
                output, pending = match.group(1), None
                continue
            if pending:
                match = CONTINUED.match(line)
                if match:
                    yield output, pending, int(match.group(1), 16)
                pending = None
                continue
            match = INPUT.match(line)
            if match and output:
                if match.group(2):
                    yield output, match.group(1), int(match.group(2), 16)
                else:
                    pending = match.group(1)


LLD_HEADER = re.compile(r"^\s*(VMA\s+LMA|Address)\s+Size\s+Align\s+Out\s+In\s+Symbol")
LLD_INPUT = re.compile(r":\((\.[^)]*)\)\s*$")


def lld_sections(path):
    """(output, input section, size) from an ld.lld or lld-link map: an
    output section's name starts in the Out column, an input section's
    line ends in OBJECT:(NAME); symbols start further right."""
    output = None
    with open(path) as lines:
        header = next(lines)
        out_column = header.index("Out")
        columns = 3 if header.split()[0] == "VMA" else 2
        for line in lines:
            fields = line.split()
            if len(fields) < columns + 1:
                continue
            match = LLD_INPUT.search(line)
            if match:
                if output:
                    yield output, match.group(1), int(fields[columns - 1], 16)
            elif len(line) > out_column and line[out_column] == "." and line[out_column - 1] == " ":
                output = fields[-1]


def sections(path):
    with open(path) as lines:
        first = lines.readline()
    return lld_sections(path) if LLD_HEADER.match(first) else input_sections(path)


CONSTANT_INPUTS = (".rodata", ".rdata", ".xdata", ".pdata")
STACK_GUARD = "__stack_chk_guard"


def map_sizes(path, pointer):
    """(.text, .rodata, relocated constants, guard bytes, constant bytes per
    writable output section, writable input sections left unexplained)."""
    sizes = {"text": 0, "rodata": 0, "relro": 0, "guard": 0}
    constants = {}
    writable = []
    for output, name, size in sections(path):
        if output in (".text", ".rdata") and name.startswith(".text"):
            sizes["text"] += size
        elif name.startswith(CONSTANT_INPUTS):
            sizes["rodata"] += size
            constants[output] = constants.get(output, 0) + size
        elif output == ".data" and name.startswith(".data.rel.ro"):
            sizes["relro"] += size
            constants[output] = constants.get(output, 0) + size
        elif output in (".data", ".bss") and name.endswith("." + STACK_GUARD) and size == pointer:
            sizes["guard"] += size
        elif output in (".data", ".bss") and size:
            writable.append(f"{name} ({size} bytes)")
    return sizes, constants, writable


IMAGE_SCN_MEM_WRITE = 0x80000000
IMAGE_SCN_CNT_CODE = 0x00000020
ARCHES = {
    # arch: (optional header magic, machine, pointer size, relocation type)
    "IA32": (0x10B, 0x014C, 4, 3),   # IMAGE_REL_BASED_HIGHLOW
    "X64": (0x20B, 0x8664, 8, 10),   # IMAGE_REL_BASED_DIR64
}
EFI_BOOT_SERVICE_DRIVER = 11


def image_problems(path, arch, constants):
    """What in the PE image breaks the rules above, and the number of base
    relocations."""
    magic_want, machine_want, pointer, fixup_type = ARCHES[arch]
    data = open(path, "rb").read()
    problems = []
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        return ["no PE signature"], 0
    machine, count, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    if (magic, machine) != (magic_want, machine_want):
        problems.append(f"magic {magic:#x} machine {machine:#x}, want {magic_want:#x} {machine_want:#x} for {arch}")
        return problems, 0
    section_alignment, file_alignment = struct.unpack_from("<II", data, optional + 32)
    subsystem = struct.unpack_from("<H", data, optional + 68)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    if subsystem != EFI_BOOT_SERVICE_DRIVER:
        problems.append(f"subsystem {subsystem}, want {EFI_BOOT_SERVICE_DRIVER}")
    if section_alignment != file_alignment:
        problems.append(f"section alignment {section_alignment:#x} is not the file alignment {file_alignment:#x}")

    table = []
    for index in range(count):
        entry = optional + optional_size + 40 * index
        name = data[entry:entry + 8].rstrip(b"\0").decode(errors="replace")
        virtual_size, rva, raw_size, raw = struct.unpack_from("<IIII", data, entry + 8)
        flags = struct.unpack_from("<I", data, entry + 36)[0]
        table.append((name, rva, max(virtual_size, raw_size), raw, flags))
        if rva != raw:
            problems.append(f"section {name or '(unnamed)'} at {rva:#x}, not at its file offset {raw:#x}")

    def section_of(rva):
        return next((s for s in table if s[1] <= rva < s[1] + s[2]), None)

    def directory(index):
        return struct.unpack_from("<II", data, directories + 8 * index)

    if directory(1)[1] != 0:
        problems.append("an import directory: the image must stand alone")
    reloc_rva, reloc_size = directory(5)
    fixups = 0
    writable_fixups = {}
    position = reloc_rva
    while reloc_size and position < reloc_rva + reloc_size:
        page, block = struct.unpack_from("<II", data, position)
        if block < 8:
            problems.append(f"a relocation block of {block} bytes at {position:#x}")
            break
        for offset in range(position + 8, position + block, 2):
            entry = struct.unpack_from("<H", data, offset)[0]
            kind, target = entry >> 12, page + (entry & 0xFFF)
            if kind == 0:
                continue
            fixups += 1
            where = section_of(target)
            if kind != fixup_type:
                problems.append(f"relocation type {kind} at {target:#x} ({arch} takes type {fixup_type} alone)")
            elif where is None or target + pointer > where[1] + where[2]:
                problems.append(f"relocation at {target:#x} outside the image's sections")
            elif where[4] & IMAGE_SCN_MEM_WRITE:
                writable_fixups[where[0]] = writable_fixups.get(where[0], 0) + 1
        position += block
    for name, count_in in writable_fixups.items():
        room = constants.get(name, 0)
        if count_in * pointer > room:
            problems.append(f"{count_in} fixups in writable section {name}, where the map places {room} bytes of constants")
    return problems, fixups


def main():
    parser = argparse.ArgumentParser(description=__doc__.strip().splitlines()[0])
    parser.add_argument("label")
    parser.add_argument("map")
    parser.add_argument("--image", help="the PE image (.efi) built from MAP")
    parser.add_argument("--arch", choices=sorted(ARCHES), help="the image's architecture")
    parser.add_argument("--ceiling", type=int, help="bound on .text + .rodata, bytes")
    options = parser.parse_args()
    if options.image and not options.arch:
        parser.error("--image needs --arch")
    pointer = ARCHES[options.arch][2] if options.arch else 8
    sizes, constants, writable = map_sizes(options.map, pointer)
    line = (f"{options.label}: .text {sizes['text']} bytes, .rodata {sizes['rodata']} bytes, "
            f"relocated constants (.data.rel.ro) {sizes['relro']} bytes")
    if sizes["guard"]:
        line += f", stack protector guard {sizes['guard']} bytes"
    failures = []
    if writable:
        failures.append("writable data " + ", ".join(writable))
    if options.image:
        problems, fixups = image_problems(options.image, options.arch, constants)
        line += f"; image {len(open(options.image, 'rb').read())} bytes, {fixups} base relocations"
        failures += problems
    if options.ceiling is not None and sizes["text"] + sizes["rodata"] > options.ceiling:
        failures.append(f".text + .rodata {sizes['text'] + sizes['rodata']} bytes, above the {options.ceiling}-byte ceiling")
    print(line)
    for failure in failures:
        print(f"FAIL {options.label}: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
