#!/usr/bin/env python3
"""Sizes of a PEIM as an EDK II build links it, from the linker map of its
.dll: GNU ld's (GCC5), ld.lld's (CLANGDWARF) or lld-link's /lldmap
(CLANGPDB). EDK II's GccBase.lds folds .rodata into the output .text, so
the split is read from the input sections. Fails when the output .data
holds anything but relocated constants (.data.rel.ro*, where -fpie puts
constant tables of pointers on X64): the first run executes in place, so
nothing may be written. Constants count as .rodata wherever the link puts
them.

Usage: ModuleSections.py LABEL MAP
"""

import re
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


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    label, path = sys.argv[1], sys.argv[2]
    sizes = {"text": 0, "rodata": 0, "relro": 0}
    writable = []
    for output, name, size in sections(path):
        # CLANGPDB's RELEASE link merges .rdata into .data (/MERGE): the
        # constants are counted by their input section wherever they land.
        if output in (".text", ".rdata") and name.startswith(".text"):
            sizes["text"] += size
        elif name.startswith((".rodata", ".rdata")):
            sizes["rodata"] += size
        elif output == ".data" and name.startswith(".data.rel.ro"):
            sizes["relro"] += size
        elif output in (".data", ".bss") and size:
            writable.append(f"{name} ({size} bytes)")
    print(f"{label}: .text {sizes['text']} bytes, .rodata {sizes['rodata']} bytes, "
          f"relocated constants (.data.rel.ro) {sizes['relro']} bytes")
    if writable:
        print(f"FAIL {label}: writable data " + ", ".join(writable))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
