#!/usr/bin/env python3
"""Checks the OVMF debug log of a boot with the BMC command PEIM, the test
transport and the test consumer (Tools/ovmf-check.sh).

Usage: CheckBootLog.py DEBUG_LOG MODULE_IMAGE.efi

The PEI core logs where it loads the module each time; the test transport
logs every call with the caller's return address. A call therefore belongs
to the run whose image range holds its caller: the image that runs in place
(first run) or its shadow in memory (second run, after RegisterForShadow).
Prints PASS or FAIL per requirement, with what is missing, then the verdict.
"""

import re
import struct
import sys

MODULE_FILE_GUID = "44562B5B-B8A0-4E79-BB84-E52DE676876C"
BMC_COMMANDS_PPI_GUID = "446289B6-DA10-45C2-B272-D051EBF15DE6"
SETUP_GUID = "EC87D643-EBA4-4BB5-A1E5-3F3E36B20DA9"
BOOT_STAGE = 0x07

# The all-zero Setup path on BMC 0, whose serial channel is 2 and whose
# scripted Mux Switch Control and channel access bytes are 06h 08h and
# 2Ah 04h: bit 3 cleared and written back, both access settings disabled,
# no mux request, no comm-settings write, no watchdog.
CONSOLE_SEQUENCE = [
    (0, 0x06, 0x42, "01"),
    (0, 0x06, 0x42, "02"),
    (0, 0x0C, 0x11, "02080000"),
    (0, 0x0C, 0x10, "02080600"),
    (0, 0x06, 0x41, "0280"),
    (0, 0x06, 0x40, "02a804"),
    (0, 0x06, 0x41, "0240"),
    (0, 0x06, 0x40, "026804"),
]

CONSUMER_CHECKS = [
    "LocatePpi BmcCommandsPpi",
    "Record",
    "Reinstalled",
    "SingleInstance",
    "GetDeviceId bmc=0",
    "GetDeviceId bmc=1",
    "SendRawCommand bmc=1",
    "RefusedCommand bmc=1",
    "WriteKnownFile config",
    "ReadKnownFile config",
    "RegionRead bmc=1",
    "ReadBmcSetting smbioscrc bmc=1",
]

# Sends the consumer's calls must produce, from the shadow: (bmc, netfn,
# cmd, request bytes as a regular expression over their hex, what it is).
# The scripted BMC 0 hands out file handle 00C0F1E0h.
CONFIG_NAME = "config".encode().hex()
HANDLE = "e0f1c000"
CONSUMER_SENDS = [
    (0, 0x06, 0x01, "", "GetDeviceId to BMC 0"),
    (1, 0x06, 0x01, "", "GetDeviceId to BMC 1"),
    (1, 0x30, 0x7E, "0102030405", "raw command to BMC 1"),
    (0, 0x2E, 0x90, "4d4f0001030100400000010b" + CONFIG_NAME, "open of config for writing"),
    (0, 0x2E, 0x90, "4d4f0003" + HANDLE + "00000000[0-9a-f]{448}", "write of bytes 0..223"),
    (0, 0x2E, 0x90, "4d4f0003" + HANDLE + "e0000000[0-9a-f]{152}", "write of bytes 224..299"),
    (0, 0x2E, 0x90, "4d4f0001030100400000000b" + CONFIG_NAME, "open of config for reading"),
    (0, 0x2E, 0x90, "4d4f0002" + HANDLE + "00000000e000", "read of bytes 0..223"),
    (0, 0x2E, 0x90, "4d4f0002" + HANDLE + "e00000004c00", "read of bytes 224..299"),
    (0, 0x2E, 0x90, "4d4f0005" + HANDLE, "close"),
    (1, 0x3A, 0x0B, "000102e0", "region read, first chunk at 0100h"),
    (1, 0x3A, 0x0B, "e001024c", "region read, second chunk at 01E0h"),
    (1, 0x3A, 0xC4, "000013" + "92" + "/ac/uefi/smbioscrc".encode().hex(), "settings store read"),
]

SEND = re.compile(
    r"OskelTransport: SendCommand bmc=(\d+) netfn=([0-9a-f]+) lun=(\d+) cmd=([0-9a-f]+) req=([0-9a-f]*)"
    r" cap=(\d+) status=([0-9a-f]+) len=(\d+) resp=([0-9a-f]*) caller=0x([0-9a-f]+)", re.IGNORECASE)
IO_WRITE = re.compile(r"OskelTransport: IoWrite8 port=([0-9a-f]+) value=([0-9a-f]+) caller=0x([0-9a-f]+)", re.IGNORECASE)
STACK_MARK = re.compile(r"OskelConsumer: stack (\w+) sp=0x([0-9a-f]+)", re.IGNORECASE)
TRANSPORT_SP = re.compile(r"OskelTransport: .* sp=0x([0-9a-f]+)", re.IGNORECASE)
LOAD_AT = re.compile(r"Loading PEIM at 0x([0-9a-f]+) EntryPoint=0x([0-9a-f]+)", re.IGNORECASE)
IO_BASES = re.compile(r"OskelTransport: installed bmcs=(\d+) iobase0=([0-9a-f]+) iobase1=([0-9a-f]+)", re.IGNORECASE)


def image_layout(path):
    with open(path, "rb") as image:
        data = image.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    optional = pe + 24
    entry = struct.unpack_from("<I", data, optional + 16)[0]
    size = struct.unpack_from("<I", data, optional + 56)[0]
    return entry, size


class Log:
    def __init__(self, path, entry_rva, image_size):
        with open(path, "rb") as log:
            self.lines = log.read().decode("ascii", "replace").splitlines()
        self.runs = []
        for index, line in enumerate(self.lines):
            if f"Loading PEIM {MODULE_FILE_GUID}" not in line:
                continue
            for following in self.lines[index + 1:index + 4]:
                match = LOAD_AT.search(following)
                if match:
                    base = int(match.group(1), 16)
                    self.runs.append({"line": index, "base": base, "end": base + image_size,
                                      "entry": int(match.group(2), 16), "entry_ok":
                                      int(match.group(2), 16) == base + entry_rva})
                    break
        self.sends = []
        self.writes = []
        for index, line in enumerate(self.lines):
            match = SEND.search(line)
            if match:
                self.sends.append({
                    "line": index, "bmc": int(match.group(1)), "netfn": int(match.group(2), 16),
                    "lun": int(match.group(3)), "cmd": int(match.group(4), 16), "req": match.group(5).lower(),
                    "status": int(match.group(7), 16), "resp": match.group(9).lower(),
                    "run": self.run_of(int(match.group(10), 16))})
            match = IO_WRITE.search(line)
            if match:
                self.writes.append({
                    "line": index, "port": int(match.group(1), 16), "value": int(match.group(2), 16),
                    "run": self.run_of(int(match.group(3), 16))})

    def run_of(self, caller):
        for number, run in enumerate(self.runs, start=1):
            if run["base"] <= caller < run["end"]:
                return number
        return 0

    def first(self, text, start=0):
        for index in range(start, len(self.lines)):
            if text in self.lines[index]:
                return index
        return None

    def find(self, pattern):
        for line in self.lines:
            match = re.search(pattern, line)
            if match:
                return match
        return None


def main():
    log_path, image_path = sys.argv[1], sys.argv[2]
    entry_rva, image_size = image_layout(image_path)
    log = Log(log_path, entry_rva, image_size)
    results = []

    def require(name, missing):
        results.append((name, missing))

    runs = log.runs
    first = runs[0] if runs else None
    second = runs[1] if len(runs) > 1 else None

    missing = []
    if not first:
        missing.append(f"'Loading PEIM {MODULE_FILE_GUID}' followed by 'Loading PEIM at'")
    elif not first["entry_ok"]:
        missing.append("entry point where the image's header puts it")
    elif not any(write["run"] == 1 and write["port"] == 0x80 and write["value"] == 0x14 for write in log.writes):
        missing.append("POST code 14h on port 80h from the image in place")
    require("module loaded by the PEI core and run in place (POST code 14h)", missing)

    install = log.first(f"Install PPI: {BMC_COMMANDS_PPI_GUID}", first["line"] if first else 0)
    require("BmcCommandsPpi installed by the first run",
            [] if install is not None and (not second or install < second["line"]) else
            [f"'Install PPI: {BMC_COMMANDS_PPI_GUID}' between the two loads"])

    missing = []
    bases = next((m for m in map(IO_BASES.search, log.lines) if m), None)
    if not bases:
        missing.append("the transport's 'installed' line")
    for bmc in range(2):
        if not any(send["run"] == 1 and send["bmc"] == bmc and send["netfn"] == 0x3A and send["cmd"] == 0xC3
                   and send["req"] == f"01{BOOT_STAGE:02x}" and send["status"] == 0 for send in log.sends):
            missing.append(f"SendCommand bmc={bmc} netfn=3a cmd=c3 req=0107 status=0 from the first run")
        if bases:
            base = int(bases.group(2 + bmc), 16)
            mailbox = [(base + 0xCB5, 0), (base + 0xCB6, 0), (base + 0xCB7, 0), (base + 0xCB8, BOOT_STAGE),
                       (base + 0xCBF, 0xA5), (base + 0x4E, 0x3E), (base + 0x4F, BOOT_STAGE)]
            written = [(write["port"], write["value"]) for write in log.writes if write["run"] == 1]
            if not any(written[i:i + len(mailbox)] == mailbox for i in range(len(written))):
                missing.append(f"BMC {bmc} mailbox writes " + " ".join(f"{p:04x}={v:02x}" for p, v in mailbox))
    require("boot stage 7 reported through the transport to every BMC, with the mailbox writes", missing)

    missing = []
    if not log.find(rf"OskelTransport: GetVariable name=Setup guid={SETUP_GUID} .*caller=0x"):
        missing.append(f"GetVariable name=Setup guid={SETUP_GUID}")
    console = [(send["bmc"], send["netfn"], send["cmd"], send["req"]) for send in log.sends
               if send["run"] == 1 and not (send["netfn"] == 0x3A and send["cmd"] == 0xC3)]
    if console != CONSOLE_SEQUENCE:
        missing.append("first-run sends after the stage reports: want "
                       + ", ".join(f"bmc={b} {n:02x}/{c:02x} req={r}" for b, n, c, r in CONSOLE_SEQUENCE)
                       + "; got " + (", ".join(f"bmc={b} {n:02x}/{c:02x} req={r}" for b, n, c, r in console)
                                     or "none"))
    require("Setup read, then the all-zero console sequence on BMC 0 (no watchdog)", missing)

    missing = []
    if not second:
        missing.append(f"a second 'Loading PEIM {MODULE_FILE_GUID}' with 'Loading PEIM at'")
    else:
        if second["base"] == first["base"]:
            missing.append("a shadow at another address than the image in place")
        if not second["entry_ok"]:
            missing.append("shadow entry point where the image's header puts it")
        if not any(write["run"] == 2 and write["port"] == 0x80 and write["value"] == 0x14 for write in log.writes):
            missing.append("POST code 14h on port 80h from the shadow")
        reinstall = log.first(f"Reinstall PPI: {BMC_COMMANDS_PPI_GUID}", second["line"])
        if reinstall is None:
            missing.append(f"'Reinstall PPI: {BMC_COMMANDS_PPI_GUID}' after the second load")
        if any(send["run"] == 2 and send["netfn"] == 0x3A and send["cmd"] == 0xC3 for send in log.sends):
            missing.append("no boot stage report from the shadow")
    require("RegisterForShadow: module re-entered from memory, service re-installed, duties not repeated", missing)

    missing = [f"'OskelConsumer: PASS {check} '" for check in CONSUMER_CHECKS
               if not log.find(rf"OskelConsumer: PASS {re.escape(check)} ")]
    missing += [line.strip() for line in log.lines if "OskelConsumer: FAIL" in line]
    done = log.find(r"OskelConsumer: done checks=(\d+) failed=(\d+)")
    if not done or done.group(2) != "0":
        missing.append("'OskelConsumer: done ... failed=0'" + (f" (got {done.group(0)})" if done else ""))
    require("consumer PEIM: every call returned what the scripted BMCs hold", missing)

    missing = []
    for bmc, netfn, cmd, request, what in CONSUMER_SENDS:
        if not any(send["run"] == 2 and send["bmc"] == bmc and send["netfn"] == netfn and send["cmd"] == cmd
                   and send["status"] == 0 and re.fullmatch(request, send["req"]) for send in log.sends):
            missing.append(f"{what}: SendCommand bmc={bmc} netfn={netfn:02x} cmd={cmd:02x}"
                           + (f" req={request}" if request else "") + " status=0 from the shadow")
    require("consumer calls went through the shadowed module to the transport", missing)

    print("Module runs, as the PEI core and the transport logged them:")
    for run in runs:
        print("     " + log.lines[run["line"]].strip() + " / " + log.lines[run["line"] + 1].strip())
        for index in range(run["line"] + 2, min(run["line"] + 6, len(log.lines))):
            if "PPI: " + BMC_COMMANDS_PPI_GUID in log.lines[index] or "port=0080" in log.lines[index]:
                print("     " + log.lines[index].strip())
    round_trip = log.first("OskelConsumer: PASS GetDeviceId bmc=1 ")
    if round_trip is not None:
        print("A consumer round trip:")
        for index in range(max(0, round_trip - 5), round_trip + 1):
            print("     " + log.lines[index].strip())

    #
    # The module's stack in this boot, per slot the consumer calls: from the
    # consumer's stack pointer before it calls the slot (its arguments not
    # yet pushed) down to the lowest stack pointer at which the module
    # calls the transport. So it counts the slot's arguments and return
    # address, the module's frames and the arguments of that transport
    # call; the transport's own frames and leaves that call nothing are not
    # in it.
    #
    depths, slot, base = {}, None, 0
    for line in log.lines:
        match = STACK_MARK.search(line)
        if match:
            slot, base = match.group(1), int(match.group(2), 16)
            continue
        match = TRANSPORT_SP.search(line)
        if match and slot:
            depths[slot] = max(depths.get(slot, 0), base - int(match.group(1), 16))
        elif line.startswith("OskelConsumer: PASS") or line.startswith("OskelConsumer: FAIL"):
            slot = None
    if depths:
        print("Module stack at transport calls, bytes: " +
              ", ".join(f"{name} {depth}" for name, depth in depths.items()) +
              f"; worst {max(depths.values())}")

    failed = [(name, lacking) for name, lacking in results if lacking]
    for name, lacking in results:
        print(("FAIL " if lacking else "PASS ") + name)
        for item in lacking:
            print("     missing: " + item)
    if failed:
        print(f"FAIL ovmf-check: {len(failed)} of {len(results)} requirements not met")
        return 1
    print(f"PASS ovmf-check: {len(results)} requirements met")
    return 0


if __name__ == "__main__":
    sys.exit(main())
