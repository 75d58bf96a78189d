#!/usr/bin/env python3
"""Flash and stack budgets of the IA32 firmware objects.

  firmware-budget.py sizes OBJDIR                   .text/.rodata in total and per folder
  firmware-budget.py stack OBJDIR [--check BYTES]   worst-case stack of every slot and of the
                                                    entry; fails when a slot (Setup path aside)
                                                    needs more than BYTES
  firmware-budget.py measured OBJDIR PROBE [--check]
                                                    the bound beside the depth the probe
                                                    measures; fails when one passes its bound
  firmware-budget.py instructions PROBE             the module's own instructions per operation
  firmware-budget.py transport OBJDIR [--check BYTES] [--ceiling BYTES]
                                                    the IPMI transport: .text/.rodata and
                                                    worst-case stack per operation
  firmware-budget.py doc DOC --objects OBJDIR --transport-objects OBJDIR [--probe PROBE]
      --flash-ceiling B --flash-target B --slot-stack B --transport-ceiling B
      --kcs-ceiling B --bt-ceiling B --transport-stack B --edk2-image-allowance B
      (--compare | --write)
                                                    the generated tables of DOC
                                                    (docs/budgets.md): compared, or
                                                    written again

The budgets themselves (BYTES) come from the CMake cache (OSKEL_SLOT_STACK,
OSKEL_TRANSPORT_STACK, OSKEL_TRANSPORT_FLASH_CEILING, ...); nothing here
restates them.

OBJDIR holds one object per source, each with the .ci call graph that
-fcallgraph-info=su writes beside it. The figures are those of the objects
linked with --gc-sections from the entry, as the firmware object is.

Calls through pointers are not in GCC's graph. They are modelled from the
objects and the sources:
  - Dispatch and RunGuarded call the Check and Exchange of the
    OperationSpec in force. A function that takes the address of a constant
    (an OperationSpec) or of a function puts the functions that constant
    points to (its Check and Exchange), or that function, in force for
    everything it calls; the steps it reaches through Dispatch inherit them.
    Of the operation table (mOperations, one row per slot) only the row
    named counts: the row whose offset a reference carries, or, for an IA32
    slot (a "mov $row, %al" and a jump to DispatchSlotEntry, no frame and no
    edge in GCC's graph), the row it loads; the entry itself indexes the
    table with that number and names no row. So a slot reaches exactly its
    own OperationSpec's steps, and a composite exchange exactly the steps of
    the OperationSpecs it runs.
  - A call through the record (This->FileOpen (...), Ppi->ReportBootStage
    (...)) is read from the source of the calling function: an edge to that
    slot, which then dispatches with its own OperationSpec.
  - Calls into the transport, the PEI services and the CPU I/O PPI leave the
    module; their own frames belong to the platform and are not counted.
Recursion, or a frame GCC could not bound, fails the check.
"""

import argparse
import contextlib
import difflib
import io
import os
import re
import subprocess
import sys
import tempfile
from collections import defaultdict

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def record_slots():
    """The slots of the service record in their order: the members of
    BMC_COMMANDS_PPI that follow PeiServices, as the public header declares
    them. The header is the list; nothing here repeats it."""
    with open(os.path.join(ROOT, "Include", "Ppi", "BmcCommands.h")) as f:
        text = f.read()
    body = re.search(r"struct\s+BmcCommandsPpi\s*\{(.*?)\};", text, re.S)
    if not body:
        sys.exit("Include/Ppi/BmcCommands.h: no struct BmcCommandsPpi to read the slots from")
    members = re.findall(r"^\s*(?:CONST\s+)?\w+\s+\**\s*(\w+)\s*(?:\[[^]]*\])?\s*;", body.group(1), re.M)
    if "PeiServices" not in members or members[-1] == "PeiServices":
        sys.exit("Include/Ppi/BmcCommands.h: no slots after PeiServices in BMC_COMMANDS_PPI")
    return members[members.index("PeiServices") + 1:]


SLOTS = record_slots()
ENTRY = "OskelCommandsPeiEntryPoint"
SETUP_MARK = "ApplySetupConfiguration"
# The functions that call through a pointer handed to them: the dispatcher's,
# which call an OperationSpec's Check and Exchange, and the chunk loop,
# which calls the chunk step of the transfer that runs it.
STEP_CALLERS = {"Dispatch", "RunGuarded", "TransferInChunks"}
# The operation table, one OperationSpec per slot, and the entry that every
# IA32 slot jumps to with its row number. The size of a row is read from the
# object that defines the table (operation_row): its size over the slots.
OPERATION_TABLE = "11mOperationsE"
OPERATION_ENTRY = "DispatchSlotEntry"
# Every slot's operation runs under this function.
DISPATCH = "Dispatch"
SLOT_CALL = re.compile(r"(?:->|\.)\s*(" + "|".join(SLOTS) + r")\s*\(")


def objects(objdir):
    """The objects of the build: the list the build writes beside them
    (objects.txt: the folder they were built in, then one object a line),
    so that an object left behind by a renamed source is not linked, found
    in OBJDIR wherever that folder was copied to (one taken away from the
    copy is left out); every .o below OBJDIR where there is no list."""
    listed = os.path.join(objdir, "objects.txt")
    if os.path.exists(listed):
        with open(listed) as f:
            built, *names = [line.strip() for line in f if line.strip()]
        found = (os.path.normpath(os.path.join(objdir, os.path.relpath(name, built))) for name in names)
        return sorted(path for path in found if os.path.exists(path))
    found = []
    for root, _, files in os.walk(objdir):
        for name in files:
            if name.endswith(".o"):
                found.append(os.path.join(root, name))
    return sorted(found)


def link_map(objdir, entry=ENTRY):
    """The map of the objects linked as the firmware object is; the link's
    files live in a directory of their own, removed whatever ld does."""
    with tempfile.TemporaryDirectory(prefix="oskel-budget-") as work:
        out = os.path.join(work, "linked")
        subprocess.run(["ld", "-m", "elf_i386", "-r", "--gc-sections", "-u", entry,
                        "-Map", out + ".map", "-o", out + ".o"] + objects(objdir), check=True)
        with open(out + ".map") as f:
            return f.read()


def operation_row(objdir):
    """Bytes of one row of the operation table, from the object that defines
    it: the table's size over the number of slots of the record; 0 when no
    object defines it (the IPMI transport's). A table that is not a whole
    number of rows fails: the bound would read the wrong row for a slot."""
    for obj in objects(objdir):
        out = subprocess.run(["nm", "-S", obj], capture_output=True, text=True, check=True).stdout
        for line in out.splitlines():
            parts = line.split()
            if len(parts) == 4 and parts[3].endswith(OPERATION_TABLE) and parts[2] in "RrDd":
                size = int(parts[1], 16)
                if size == 0 or size % len(SLOTS) != 0:
                    sys.exit("%s: the operation table is %d bytes, not one row for each of the %d slots of the record" %
                             (obj, size, len(SLOTS)))
                return size // len(SLOTS)
    return 0


def kept_input_sections(map_text):
    """(section, size, object) of every input section the link kept."""
    body = map_text.split("Linker script and memory map", 1)[1]
    kept = []
    pending = None
    for line in body.splitlines():
        m = re.match(r"^ (\.\S+)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S+\.o)$", line)
        if m:
            kept.append((m.group(1), int(m.group(2), 16), m.group(3)))
            pending = None
            continue
        m = re.match(r"^ (\.\S+)$", line)
        if m:
            pending = m.group(1)
            continue
        m = re.match(r"^\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S+\.o)$", line)
        if m and pending:
            kept.append((pending, int(m.group(1), 16), m.group(2)))
        pending = None
    return kept


def folder_of(path):
    rel = re.sub(r"^.*FirmwareObjects\.dir/", "", path)
    return os.path.dirname(rel) + "/"


def sizes(objdir, entry=ENTRY):
    totals = defaultdict(lambda: [0, 0])
    for section, size, obj in kept_input_sections(link_map(objdir, entry)):
        kind = 0 if section.startswith(".text") else 1 if section.startswith(".rodata") else None
        if kind is not None:
            totals[folder_of(obj)][kind] += size
    rows = sorted(totals.items())
    print("| Folder | .text | .rodata |")
    print("|---|---:|---:|")
    for folder, (text, rodata) in rows:
        print("| `%s` | %d | %d |" % (folder, text, rodata))
    print("| total | %d | %d |" % (sum(r[1][0] for r in rows), sum(r[1][1] for r in rows)))
    return sum(r[1][0] + r[1][1] for r in rows)


class Graph:
    def __init__(self):
        self.frame = {}           # key -> bytes
        self.bounded = {}         # key -> GCC could bound it
        self.where = {}           # key -> (source, line)
        self.calls = defaultdict(set)
        self.indirect = set()     # keys with a call through a pointer
        self.refs = defaultdict(set)  # key -> functions whose address it puts in force
        self.global_names = {}    # mangled global name -> key
        self.tail = defaultdict(set)  # key -> callees reached by a jump that reuses the frame

    def key_of(self, obj, title):
        return title if ":" not in title else obj + "|" + title.split(":")[-1]


def read_relocations(obj):
    out = subprocess.run(["readelf", "-rW", obj], capture_output=True, text=True, check=True).stdout
    relocs = defaultdict(list)
    section = None
    for line in out.splitlines():
        m = re.match(r"Relocation section '\.rel(\.\S+)'", line)
        if m:
            section = m.group(1)
            continue
        parts = line.split()
        if section and len(parts) >= 5 and parts[2].startswith("R_386_"):
            relocs[section].append((parts[2], parts[4], int(parts[0], 16)))
    return relocs


def section_bytes(obj, section):
    out = subprocess.run(["readelf", "-x", section, obj], capture_output=True, text=True, check=True).stdout
    data = bytearray()
    for line in out.splitlines():
        m = re.match(r"\s+0x[0-9a-f]+ ((?:[0-9a-f]{2,8} ){1,4})", line)
        if m:
            data += bytes.fromhex(m.group(1).replace(" ", ""))
    return bytes(data)


def read_tail_calls(obj):
    """(section, target) pairs where a function ends in a jump to another:
    the caller's frame is gone before the callee's is built."""
    out = subprocess.run(["objdump", "-dr", obj], capture_output=True, text=True, check=True).stdout
    section, last, found = None, "", set()
    for line in out.splitlines():
        m = re.match(r"Disassembly of section (\S+):", line)
        if m:
            section = m.group(1)
            continue
        m = re.match(r"\s+[0-9a-f]+: (R_386_\w+)\s+(\S+)", line)
        if m:
            if last == "jmp" and m.group(1) in ("R_386_PC32", "R_386_PLT32"):
                found.add((section, m.group(2)))
            continue
        m = re.match(r"\s+[0-9a-f]+:\s+(?:[0-9a-f]{2} )+\s*(\S+)", line)
        if m:
            last = m.group(1)
    return found


def read_assembly(g, obj):
    """The functions of an assembly object, which has no call graph file:
    read from its code. A function's frame is its return address and the
    words it pushes before its call; a jump to another function reuses the
    frame. Returns {function: row} of the IA32 slots ("mov $row, %al" and a
    jump, no frame)."""
    out = subprocess.run(["objdump", "-dr", obj], capture_output=True, text=True, check=True).stdout
    rows, current, pushes, last = {}, None, 0, ""
    for line in out.splitlines():
        m = re.match(r"[0-9a-f]+ <(\w+)>:", line)
        if m:
            name = m.group(1)
            current = name if name in g.global_names or name in SLOTS or name == OPERATION_ENTRY else obj + "|" + name
            g.frame[current], g.bounded[current] = 4, True
            g.where[current] = (obj, 0)
            pushes, first = 0, True
            continue
        m = re.match(r"\s+[0-9a-f]+: (R_386_\w+)\s+(\S+)", line)
        if m and current:
            target = m.group(2)
            if last == "call":
                g.calls[current].add(target)
            elif last == "jmp":
                g.tail[current].add(target)
            continue
        m = re.match(r"\s+[0-9a-f]+:\s+(?:[0-9a-f]{2} )+\s*(\S+)\s*(.*)", line)
        if not (m and current):
            continue
        last, operands = m.group(1), m.group(2)
        if first and last == "mov" and operands.endswith(",%al"):
            rows[current] = int(operands.split(",")[0].lstrip("$"), 16)
            g.frame[current] = 0
        first = False
        if last == "push":
            pushes += 1
            g.frame[current] = 4 + 4 * pushes
        local = re.search(r"<(\w+)>$", operands)
        if last == "jmp" and local and not re.search(r"<\w+\+0x", operands):
            g.tail[current].add(obj + "|" + local.group(1))
    for slot, row in rows.items():
        if slot not in SLOTS or SLOTS.index(slot) != row:
            sys.exit("%s: slot %s loads row %d, its place in the record is %s" %
                     (obj, slot, row, SLOTS.index(slot) if slot in SLOTS else "none"))
    return rows


def read_graph(objdir):
    row_size = operation_row(objdir)
    g = Graph()
    local_by_section = {}
    per_object = []
    assembly_slots = {}
    for obj in objects(objdir):
        if obj.endswith(".nasm.o"):
            assembly_slots.update(read_assembly(g, obj))
            continue
        ci = obj[:-2] + ".ci"
        if not os.path.exists(ci):
            sys.exit("missing %s: build with -fcallgraph-info=su" % ci)
        with open(ci) as f:
            text = f.read()
        for m in re.finditer(r'node: \{ title: "([^"]+)" label: "([^"]*)"', text):
            title, label = m.group(1), m.group(2)
            if title == "__indirect_call":
                continue
            lines = label.split("\\n")
            m2 = re.match(r"(\d+) bytes \(([^)]*)\)", lines[-1])
            if not m2:
                continue
            key = g.key_of(obj, title)
            src, line = lines[1].rsplit(":", 2)[0], int(lines[1].rsplit(":", 2)[1])
            g.frame[key] = max(g.frame.get(key, 0), int(m2.group(1)))
            g.bounded[key] = m2.group(2) == "static" or "bounded" in m2.group(2)
            g.where[key] = (src, line)
            mangled = title.split(":")[-1]
            if ":" in title:
                local_by_section[(obj, ".text." + mangled)] = key
            else:
                g.global_names[mangled] = key
        for m in re.finditer(r'edge: \{ sourcename: "([^"]+)" targetname: "([^"]+)"', text):
            src, dst = g.key_of(obj, m.group(1)), m.group(2)
            if dst == "__indirect_call":
                g.indirect.add(src)
            else:
                g.calls[src].add(g.key_of(obj, dst))
        per_object.append(obj)

    def function_key(obj, name):
        if (obj, name) in local_by_section:
            return local_by_section[(obj, name)]
        if name.startswith(".text."):
            name = name[len(".text."):]
        return g.global_names.get(name)

    # A constant defined in another object (an OperationSpec that several
    # sources run) sits, with -fdata-sections, in a section of its own
    # named after it.
    relocs_of = {obj: read_relocations(obj) for obj in per_object}
    data_section = {}
    for obj, relocs in relocs_of.items():
        for section in relocs:
            if section.startswith(".rodata.") or section.startswith(".data.rel.ro."):
                data_section[section.split(".", 2)[2]] = (obj, section)

    def constant_functions(obj, target, rows=None):
        """The functions a constant points to; of the operation table, only
        those of the rows given."""
        if target.startswith(".rodata"):
            where = (obj, target)
        elif target in data_section:
            where = data_section[target]
        else:
            return []
        found = []
        for kind2, target2, offset in relocs_of[where[0]].get(where[1], []):
            if rows is not None and offset // row_size not in rows:
                continue
            fn = function_key(where[0], target2) if kind2 == "R_386_32" else None
            if fn:
                found.append(fn)
        return found

    # A slot on IA32 is "mov $slot, %al; jmp" to the slot entry: its row is
    # the number it loads.
    table = next((s for s in data_section if OPERATION_TABLE in s), None)
    if table is None and assembly_slots:
        sys.exit("the operation table (%s) is in none of the objects: no slot's row can be read" % OPERATION_TABLE)
    for slot, row in assembly_slots.items():
        g.refs[slot].update(constant_functions(None, table, {row}))
    for obj in per_object:
        for section, entries in relocs_of[obj].items():
            owner = function_key(obj, section) if section.startswith(".text.") else None
            if owner is None or g.frame.get(owner) != 0:
                continue
            code = section_bytes(obj, section)
            if code[:1] == b"\xb0" and any(OPERATION_ENTRY in t for _, t, _ in entries):
                table = next((s for s in data_section if OPERATION_TABLE in s), None)
                if table:
                    g.refs[owner].update(constant_functions(obj, table, {code[1]}))

    for obj in per_object:
        for section, target in read_tail_calls(obj):
            owner, callee = function_key(obj, section), function_key(obj, target)
            if owner and callee:
                g.tail[owner].add(callee)
        relocs = relocs_of[obj]
        for section, entries in relocs.items():
            if not section.startswith(".text."):
                continue
            owner = function_key(obj, section)
            if owner is None:
                continue
            code = None
            for kind, target, offset in entries:
                if kind != "R_386_32":
                    continue
                rows = None
                if OPERATION_TABLE in target:
                    # The slot entry indexes the table with the number the
                    # slot handed it; any other code names one row, whose
                    # offset is the addend kept in the instruction.
                    if OPERATION_ENTRY in owner:
                        continue
                    code = code or section_bytes(obj, section)
                    addend = int.from_bytes(code[offset:offset + 4], "little")
                    # Row 0 is no step's: an addend of 0 is the table's
                    # base indexed at run time, whose row the bound cannot
                    # know.
                    if addend == 0 or addend % row_size != 0:
                        sys.exit("%s indexes the operation table at run time: name its rows" % section)
                    rows = {addend // row_size}
                constants = constant_functions(obj, target, rows)
                if constants:
                    g.refs[owner].update(constants)
                else:
                    fn = function_key(obj, target)
                    if fn:
                        g.refs[owner].add(fn)
    return g


def function_body(src, line):
    with open(src) as f:
        lines = f.read().splitlines()
    depth, started, body = 0, False, []
    for text in lines[line - 1:]:
        body.append(text)
        depth += text.count("{") - text.count("}")
        started = started or "{" in text
        if started and depth <= 0:
            break
    return "\n".join(body)


def slot_calls(g):
    calls = defaultdict(set)
    for key in g.indirect:
        src, line = g.where[key]
        for name in SLOT_CALL.findall(function_body(src, line)):
            if name in g.frame:
                calls[key].add(name)
    return calls


class Depth:
    def __init__(self, g, skip=()):
        self.g = g
        self.slot_calls = slot_calls(g)
        self.skip = set(skip)
        self.memo = {}

    def of(self, key, context=frozenset(), stack=()):
        g = self.g
        if not g.bounded.get(key, True):
            raise RuntimeError("unbounded frame: " + self.name(key))
        own = frozenset(g.refs.get(key, ()))
        context = own if own else context
        memo_key = (key, context)
        # The same function may nest under another OperationSpec (Dispatch inside a
        # composite's step); only the same function with the same steps in
        # force is a cycle.
        if memo_key in stack:
            raise RuntimeError("recursion: " + " -> ".join(self.name(k) for k, _ in stack + (memo_key,)))
        if memo_key in self.memo:
            return self.memo[memo_key]
        callees = self.callees(key, context)
        worst, path = g.frame[key], [key]
        for callee in sorted(callees):
            if self.name(callee) in self.skip:
                continue
            d, p = self.of(callee, context, stack + (memo_key,))
            # A tail call reuses the caller's place on the stack.
            if callee not in g.tail.get(key, ()):
                d += g.frame[key]
            if d > worst:
                worst, path = d, [key] + p
        result = (worst, path)
        self.memo[memo_key] = result
        return result

    def callees(self, key, context):
        """What key calls or jumps to with the steps of context in force. A
        target in none of the objects cannot be followed: the bound would
        silently leave it out, so that fails."""
        g = self.g
        if key not in g.frame:
            raise RuntimeError("%s is in none of the objects analysed" % self.name(key))
        # A slot that is a jump alone (no frame) has no edge in GCC's graph:
        # its jump is read from the object.
        direct = g.calls.get(key, set()) | g.tail.get(key, set())
        lost = sorted(self.name(c) for c in direct if c not in g.frame)
        if lost:
            raise RuntimeError("%s calls or jumps to %s, which no object analysed defines" % (self.name(key), ", ".join(lost)))
        callees = set(direct)
        if key in g.indirect:
            callees |= self.slot_calls.get(key, set())
            if self.name(key) in STEP_CALLERS:
                callees |= context
        return callees

    def reaches(self, key, target):
        """Whether some call path from key, with the steps it puts in force,
        arrives at the function named target."""
        seen, todo = set(), [(key, frozenset())]
        while todo:
            current, context = todo.pop()
            own = frozenset(self.g.refs.get(current, ()))
            context = own if own else context
            if (current, context) in seen:
                continue
            seen.add((current, context))
            if self.name(current) == target:
                return True
            todo.extend((c, context) for c in self.callees(current, context))
        return False

    def name(self, key):
        title = key.split("|")[-1]
        if title.startswith("_Z"):
            demangled = subprocess.run(["c++filt", title], capture_output=True, text=True).stdout.strip()
            return demangled.replace("(anonymous namespace)::", "").replace("OskelTransport::", "").replace("Oskel::", "").split("(")[0]
        return title


def stack(objdir, limit):
    g = read_graph(objdir)
    depth = Depth(g)
    aside = Depth(g, skip={SETUP_MARK})
    rows, worst_slot, failures = [], 0, []
    try:
        # Every slot of the record is bounded, or the check fails: a slot
        # missing from the objects, or one whose calls never reach the
        # dispatch, was not measured at all.
        for slot in SLOTS:
            if slot not in g.frame:
                raise RuntimeError("slot %s of the record is in none of the objects analysed" % slot)
            if not depth.reaches(slot, DISPATCH):
                raise RuntimeError("slot %s has no path to %s: its bound would leave out the operation" % (slot, DISPATCH))
        for index, slot in enumerate(SLOTS):
            d, path = aside.of(slot)
            rows.append((index, slot, d, path))
            worst_slot = max(worst_slot, d)
            if limit and d > limit:
                failures.append("%s needs %d bytes, budget %d" % (slot, d, limit))
        entry, entry_path = aside.of(ENTRY)
        setup, setup_path = depth.of(ENTRY)
    except RuntimeError as error:
        print("FAIL " + str(error))
        return 1
    print("| Slot | Operation | Worst-case stack (bytes) | Deepest path |")
    print("|---:|---|---:|---|")
    for index, slot, d, path in rows:
        print("| %d | `%s` | %d | %s |" % (index, slot, d, " → ".join(depth.name(k) for k in path)))
    print("| | entry, Setup path aside | %d | %s |" % (entry, " → ".join(depth.name(k) for k in entry_path)))
    print("| | entry through the Setup path | %d | %s |" % (setup, " → ".join(depth.name(k) for k in setup_path)))
    print()
    print("worst slot: %d bytes" % worst_slot)
    for failure in failures:
        print("FAIL " + failure)
    if limit and not failures:
        print("PASS every slot within %d bytes (Setup path aside)" % limit)
    return 1 if failures else 0


def static_bounds(objdir):
    """{operation: bound} for every slot, for the entry with the Setup path
    aside and for the entry through it."""
    g = read_graph(objdir)
    bounds = {slot: Depth(g, skip={SETUP_MARK}).of(slot)[0] for slot in SLOTS}
    bounds["entry-setup-aside"] = Depth(g, skip={SETUP_MARK}).of(ENTRY)[0]
    bounds["entry"] = Depth(g).of(ENTRY)[0]
    return bounds


def run_probe(probe, mode, wrapper=()):
    """{name: (status, figures...)} from the probe's output lines."""
    out = subprocess.run(list(wrapper) + [probe, mode], capture_output=True, text=True)
    if out.returncode != 0:
        sys.exit("%s %s failed (%d):\n%s" % (probe, mode, out.returncode, out.stderr))
    rows = {}
    for line in out.stdout.splitlines():
        parts = line.split()
        rows[parts[0]] = (int(parts[1], 16),) + tuple(int(p) for p in parts[2:])
    return rows


ENTRY_ROWS = [("entry-setup-aside", "entry, Setup path aside"),
              ("entry", "entry through the Setup path")]


def measured(objdir, probe, check):
    bounds = static_bounds(objdir)
    rows = run_probe(probe, "stack")
    failures = []
    print("| Slot | Operation | Bound (call graph) | Measured at platform calls | Measured fill-and-scan | Platform stack, not counted |")
    print("|---:|---|---:|---:|---:|---:|")
    labelled = [(str(i), slot, "`%s`" % slot) for i, slot in enumerate(SLOTS)]
    labelled += [("", key, label) for key, label in ENTRY_ROWS]
    for index, key, label in labelled:
        if key not in rows:
            failures.append("%s not measured" % key)
            continue
        status, at_calls, painted, platform = rows[key]
        print("| %s | %s | %d | %d | %d | %d |" % (index, label, bounds[key], at_calls, painted, platform))
        if status != 0:
            failures.append("%s: the representative call returned 0x%x" % (key, status))
        if max(at_calls, painted) > bounds[key]:
            failures.append("%s: measured %d bytes, above its bound of %d" % (key, max(at_calls, painted), bounds[key]))
    print()
    for failure in failures:
        print("FAIL " + failure)
    if not failures:
        print("PASS every measured depth within its call-graph bound")
    return 1 if (check and failures) else 0


MODULE_SOURCES = "/OskelCommands/Pei/"


def module_instructions(dump):
    """(module's own instructions, whole call) of one callgrind dump written
    with --compress-strings=no --compress-pos=no: the exclusive cost of every
    function whose source lies in the module."""
    own, whole, in_module, call_line = 0, 0, False, False
    function_file = ""
    with open(dump) as f:
        for line in f:
            if line.startswith("totals:"):
                whole = int(line.split()[1])
            elif line.startswith("fl="):
                function_file = line[3:].strip()
            elif line.startswith("fn="):
                in_module = MODULE_SOURCES in function_file
            elif line.startswith("calls="):
                call_line = True
            elif line[:1].isdigit():
                # The line after calls= is the callee's inclusive cost.
                if not call_line and in_module:
                    own += int(line.split()[1])
                call_line = False
    return own, whole


def instructions(probe):
    with tempfile.TemporaryDirectory() as out:
        rows = run_probe(probe, "instructions",
                         ["valgrind", "--tool=callgrind", "--quiet", "--compress-strings=no", "--compress-pos=no",
                          "--callgrind-out-file=%s/cg" % out])
        dumps = {}
        for name in os.listdir(out):
            path = os.path.join(out, name)
            with open(path) as f:
                for line in f:
                    marker = "desc: Trigger: Client Request: "
                    if line.startswith(marker):
                        dumps[line[len(marker):].strip()] = path
                        break
        print("| Operation | Module instructions | Whole call, simulated platform included |")
        print("|---|---:|---:|")
        failures = []
        for key, label in [(s, "`%s`" % s) for s in SLOTS] + [("entry", "entry, first run (Setup path included)")]:
            if key not in dumps or key not in rows:
                failures.append("%s not counted" % key)
                continue
            if rows[key][0] != 0:
                failures.append("%s: the representative call returned 0x%x" % (key, rows[key][0]))
            own, whole = module_instructions(dumps[key])
            print("| %s | %d | %d |" % (label, own, whole))
    for failure in failures:
        print("FAIL " + failure)
    return 1 if failures else 0


TRANSPORT_ENTRY = "IpmiTransportPeiEntryPoint"
TRANSPORT_OPERATIONS = ["TransportSendCommand", "TransportTrackBmcStatus", "TransportSelectBmc", "TransportGetBmcCount",
                        "TransportPrepareSecondaryBmc", TRANSPORT_ENTRY]


def transport(objdir, limit, ceiling):
    """The IPMI transport: it calls nothing of its own through a pointer, so
    GCC's graph is the whole graph; CPU I/O and PEI service frames are the
    platform's."""
    flash = sizes(objdir, TRANSPORT_ENTRY)
    print()
    failures = []
    if ceiling:
        print("%s flash: %d bytes of .text and .rodata, ceiling %d" % ("PASS" if flash <= ceiling else "FAIL", flash, ceiling))
        print()
        if flash > ceiling:
            failures.append("the transport takes %d bytes of flash, ceiling %d" % (flash, ceiling))
    g = read_graph(objdir)
    depth = Depth(g)
    print("| Operation | Worst-case stack (bytes) | Deepest path |")
    print("|---|---:|---|")
    try:
        for op in TRANSPORT_OPERATIONS:
            d, path = depth.of(op)
            print("| `%s` | %d | %s |" % (op, d, " → ".join(depth.name(k) for k in path)))
            if limit and d > limit:
                failures.append("%s needs %d bytes, budget %d" % (op, d, limit))
    except RuntimeError as error:
        print("FAIL " + str(error))
        return 1
    print()
    for failure in failures:
        print("FAIL " + failure)
    if limit and not failures:
        print("PASS every transport operation within %d bytes" % limit)
    return 1 if failures else 0


# A generated table of the budgets document lies between these two lines.
DOC_BEGIN = "<!-- generated by Tools/firmware-budget.py doc: %s -->"
DOC_END = "<!-- end of generated %s -->"


def printed(function, *args):
    """What function prints, and its status."""
    out = io.StringIO()
    with contextlib.redirect_stdout(out):
        status = function(*args)
    return out.getvalue().rstrip("\n"), status


def flash_summary(objdir, ceiling, target):
    """The module's flash per folder, and its total against the ceiling
    and the target."""
    total = sizes(objdir)
    print()
    print("%d bytes of `.text` + `.rodata`: %d below the %d-byte ceiling, %s the %d-byte target." %
          (total, ceiling - total, ceiling,
           "%d below" % (target - total) if total <= target else "%d above" % (total - target), target))
    return 1 if total > ceiling else 0


def doc(args):
    """The document's generated tables, from the firmware objects of this
    build: every figure is read from an object or measured by a program of
    this build, so the same tree gives the same text. Sections this build
    cannot make (the measured stack outside 32-bit builds) are left as they
    are. --compare fails on any difference; --write puts the new text in."""
    sections = {
        "budgets": ("| Budget | CMake cache variable | Bytes |\n|---|---|---:|\n"
                    "| module flash ceiling, `.text` + `.rodata` (fails above) | `OSKEL_FLASH_CEILING` | %d |\n"
                    "| module flash target (reported) | `OSKEL_FLASH_TARGET` | %d |\n"
                    "| stack of every slot | `OSKEL_SLOT_STACK` | %d |\n"
                    "| IPMI transport flash ceiling, KCS and BT (fails above) | `OSKEL_TRANSPORT_FLASH_CEILING` | %d |\n"
                    "| IPMI transport flash ceiling, KCS only (fails above) | `OSKEL_KCS_FLASH_CEILING` | %d |\n"
                    "| IPMI transport flash ceiling, BT only (fails above) | `OSKEL_BT_FLASH_CEILING` | %d |\n"
                    "| stack of every IPMI transport operation, every build | `OSKEL_TRANSPORT_STACK` | %d |\n"
                    "| what an EDK II IA32 image of either PEIM may hold above its object's ceiling | `OSKEL_EDK2_IMAGE_ALLOWANCE` | %d |"
                    % (args.flash_ceiling, args.flash_target, args.slot_stack, args.transport_ceiling, args.kcs_ceiling,
                       args.bt_ceiling, args.transport_stack, args.edk2_image_allowance), 0),
        "flash": printed(flash_summary, args.objects, args.flash_ceiling, args.flash_target),
        "transport": printed(transport, args.transport_objects, args.transport_stack, args.transport_ceiling),
        "stack": printed(stack, args.objects, args.slot_stack),
    }
    if args.probe:
        sections["measured"] = printed(measured, args.objects, args.probe, True)
    failed = [name for name, (_, status) in sections.items() if status]
    with open(args.doc) as f:
        old = f.read()
    new = old
    stale = []
    for name, (text, _) in sections.items():
        begin, end = DOC_BEGIN % name, DOC_END % name
        if begin not in new or end not in new:
            print("FAIL %s has no generated section %s: it needs the lines\n%s\n%s" % (args.doc, name, begin, end))
            return 1
        head, rest = new.split(begin, 1)
        written, tail = rest.split(end, 1)
        if written != "\n\n" + text + "\n\n":
            stale.append(name)
        new = head + begin + "\n\n" + text + "\n\n" + end + tail
    if failed:
        print("FAIL a budget check failed while the tables were made: " + ", ".join(failed))
    if args.write:
        if new != old:
            with open(args.doc, "w") as f:
                f.write(new)
        print("%s: %s written" % (args.doc, ", ".join(sections)))
        return 1 if failed else 0
    if new != old:
        sys.stdout.writelines(difflib.unified_diff(old.splitlines(True), new.splitlines(True), args.doc, "this build"))
        print("FAIL %s is stale (%s): write it again with\n  python3 %s --write" %
              (args.doc, ", ".join(stale), " ".join([sys.argv[0]] + [a for a in sys.argv[1:] if a != "--compare"])))
        return 1
    print("PASS %s: %s as this build makes them" % (args.doc, ", ".join(sections)))
    return 1 if failed else 0


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    commands = parser.add_subparsers(dest="command", required=True)
    p = commands.add_parser("sizes", help=".text/.rodata of the module's objects, in total and per folder")
    p.add_argument("objdir")
    p = commands.add_parser("stack", help="worst-case stack of every slot and of the entry")
    p.add_argument("objdir")
    p.add_argument("--check", type=int, default=0, metavar="BYTES", help="fail when a slot needs more")
    p = commands.add_parser("measured", help="the call-graph bound beside the depth the probe measures")
    p.add_argument("objdir")
    p.add_argument("probe")
    p.add_argument("--check", action="store_true", help="fail when a measured depth passes its bound")
    p = commands.add_parser("instructions", help="the module's own instructions per operation (callgrind)")
    p.add_argument("probe")
    p = commands.add_parser("transport", help="the IPMI transport's flash and stack")
    p.add_argument("objdir")
    p.add_argument("--check", type=int, default=0, metavar="BYTES", help="fail when an operation needs more stack")
    p.add_argument("--ceiling", type=int, default=0, metavar="BYTES", help="fail when .text and .rodata pass this")
    p = commands.add_parser("doc", help="the generated tables of the budgets document")
    p.add_argument("doc")
    p.add_argument("--objects", required=True, metavar="OBJDIR", help="the module's firmware objects")
    p.add_argument("--transport-objects", required=True, metavar="OBJDIR", help="the IPMI transport's firmware objects (KCS and BT)")
    p.add_argument("--probe", metavar="PROBE", help="the budget probe, for the measured stack (32-bit builds)")
    for name in ("flash-ceiling", "flash-target", "slot-stack", "transport-ceiling", "kcs-ceiling", "bt-ceiling",
                 "transport-stack", "edk2-image-allowance"):
        p.add_argument("--" + name, type=int, required=True, metavar="BYTES")
    mode = p.add_mutually_exclusive_group(required=True)
    mode.add_argument("--compare", action="store_true", help="fail when a table differs from this build's")
    mode.add_argument("--write", action="store_true", help="write this build's tables into the document")
    args = parser.parse_args(argv)
    if args.command == "doc":
        return doc(args)
    if args.command == "sizes":
        sizes(args.objdir)
        return 0
    if args.command == "stack":
        return stack(args.objdir, args.check)
    if args.command == "measured":
        return measured(args.objdir, args.probe, args.check)
    if args.command == "transport":
        return transport(args.objdir, args.check, args.ceiling)
    return instructions(args.probe)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
