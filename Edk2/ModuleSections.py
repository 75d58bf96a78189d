#!/usr/bin/env python3
"""Sizes of the module as an EDK II build links it, from the linker map of
its .dll (GCC5): EDK II's GccBase.lds folds .rodata into the output .text,
so the split is read from the input sections. Fails when the output .data
holds anything but relocated constants (.data.rel.ro*, where -fpie puts
constant tables of pointers on X64): the first run executes in place, so
nothing may be written.

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


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    label, path = sys.argv[1], sys.argv[2]
    sizes = {"text": 0, "rodata": 0, "relro": 0}
    writable = []
    for output, name, size in input_sections(path):
        if output == ".text" and name.startswith(".text"):
            sizes["text"] += size
        elif output == ".text" and name.startswith(".rodata"):
            sizes["rodata"] += size
        elif output == ".data" and name.startswith(".data.rel.ro"):
            sizes["relro"] += size
        elif output == ".data" and size:
            writable.append(f"{name} ({size} bytes)")
    print(f"{label}: .text {sizes['text']} bytes, .rodata {sizes['rodata']} bytes, "
          f"relocated constants (.data.rel.ro) {sizes['relro']} bytes")
    if writable:
        print(f"FAIL {label}: writable data " + ", ".join(writable))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
