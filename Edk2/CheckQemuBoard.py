#!/usr/bin/env python3
"""Checks the boots of Tools/qemu-board-check.sh on the QEMU board with two
KCS BMCs (QEMU's BMC at CA2h, ipmi_sim at EA2h) and a BT BMC (ipmi_sim at
E4h): check, bite and stop, the four boots with BMC 1 broken (hung,
absent, disconnected, late) and the four with BMC 2 broken (bt-hung,
bt-absent, bt-disconnected, bt-late); and on the same board with a fourth
BMC, on SSIF (ipmi_sim at SMBus address 10h): ssif-check, and the four
boots with BMC 3 broken (ssif-hung, ssif-absent, ssif-disconnected,
ssif-late).

Usage: CheckQemuBoard.py RUNS_DIR IMAGES_DIR [check]
  RUNS_DIR/<boot>/debug.log, ipmitool.txt, ipmitool-bmc2.txt,
  ipmitool-bmc3.txt, boot-seconds;
  IMAGES_DIR holds the IA32 images the firmware was built with
  (OskelCommandsPei.efi, IpmiTransportPei.efi), whose entry points the
  check boot's loads must show. With "check", the check boot alone is
  checked (another build of the same PEIMs, booted once).

The board PEIM logs every byte written to or read from a KCS data register
and every control code written to a command register, and every byte of
the BT buffer and every write of the BT control register; the transactions
are rebuilt from those lines. KCS: Write Start opens a request, the data
bytes up to the one after Write End are the request, each byte read that
the host acknowledges with a Read (68h) is a response byte, and the byte
read without an acknowledgement is the dummy read that ends the
transaction. BT: CLR_WR_PTR opens a request message, the buffer writes up
to H2B_ATN are the message (length, NetFn/LUN, sequence number, command,
data); CLR_RD_PTR opens an answer, the buffer reads up to the host's next
control write are the answer; an answer belongs to the last request sent.
SSIF: the board's SMBus PEIM logs every block transaction to address 10h;
a request is a 02h write, or 06h, 07h middles and 08h, all taken (a part
that fails starts it again); its answer is the first 03h read taken whose
header is the request's NetFn + 1 and command (other blocks read first are
dropped, as the transport drops them), with the 09h blocks after it up to
the one numbered FFh when it starts 00h 01h. So every answer below is what QEMU's BMC, QEMU's BT interface or ipmi_sim
put in the interface. Prints PASS or FAIL per requirement with what is
missing, the non-zero completion codes the BMCs answered, then the verdict.
"""

import pathlib
import re
import struct
import sys

MODULE_GUID = "44562B5B-B8A0-4E79-BB84-E52DE676876C"
TRANSPORT_GUID = "01AC58A9-6817-4DA9-8AA2-945B268E04B0"
BMC_COMMANDS_PPI = "446289B6-DA10-45C2-B272-D051EBF15DE6"
IPMI_TRANSPORT_PPI = "E50B6E5D-359B-4BE0-A0C0-0715A401C608"
IO_BASES = (0x0000, 0x0200, 0x0400, 0x0800)
KCS_BMCS = (0, 1)
BT_BMC = 2
BT_CONTROL, BT_BUFFER = 0x00E4, 0x00E5
SSIF_BMC = 3
SSIF_ADDRESS = 0x10
BMCS = 3
BT_CLR_WR_PTR, BT_CLR_RD_PTR, BT_H2B_ATN = 0x01, 0x02, 0x04
BOOT_STAGE = 0x07
SETUP_COUNTDOWN = 3000       # five minutes of 100 ms ticks, from Setup
CONSUMER_COUNTDOWN = 3000    # the consumer's watchdog on BMCs 1 and 2
TRANSFER_SIZE = 300

WRITE_START, WRITE_END, READ, ABORT = 0x61, 0x62, 0x68, 0x60
LOAD_AT = re.compile(r"Loading PEIM at 0x([0-9a-f]+) EntryPoint=0x([0-9a-f]+)", re.IGNORECASE)
IO = re.compile(r"OskelBoard: io (out|in) port=([0-9a-f]+) value=([0-9a-f]+)", re.IGNORECASE)
CONSUMER = re.compile(r"OskelConsumer: (\w+) bmc=(\d) status=([0-9a-f]+) (.*)", re.IGNORECASE)
SMBUS = re.compile(r"OskelBoard: smbus (write|read) addr=([0-9a-f]+) cmd=([0-9a-f]+) status=(\S+) data=([0-9a-f]*)",
                   re.IGNORECASE)
INSTALLED = re.compile(r"OskelBoard: installed bmcs=(\d)")
ELAPSED = re.compile(r"\bus=(\d+)")

EFI_DEVICE_ERROR = 0x80000007
CC_INIT_IN_PROGRESS = 0xD2
CC_INVALID_COMMAND = 0xC1
# The transport's flag wait on this board (the default), and the margin a
# fault boot may take over the good boot beyond what its bound names: two
# seconds for the jitter of QEMU under TCG on a loaded machine.
FLAG_WAIT = 5.0
MARGIN = 2.0
# A call to a BMC already written off may take what a refusal (an instance
# the board does not have) took in the same boot, plus this: the code of
# the guard runs for the first time there, which TCG translates first.
REFUSAL_MARGIN_US = 1000
HOST_PAUSE_US = 10000
# The faults: the BMC broken, what the boot may cost over the good boot
# (late: besides the seconds ipmi_sim started after power-on and QEMU's
# one-second reconnect), the statuses its calls return, and the requests
# that reach it. BT: QEMU's isa-ipmi-bt answers Get BT Interface
# Capabilities itself, so that question is answered (00h, 255-byte buffers)
# whatever the BMC behind it does.
FAULTS = {
    "hung": (1, FLAG_WAIT + MARGIN, 1, "the first command to BMC 1 (boot stage 7) waits for QEMU's C3h after 4 s; "
             "that timeout answer writes BMC 1 off; every consumer call to it is refused with EFI_DEVICE_ERROR"),
    "absent": (1, MARGIN, 0, "BMC 1's status register reads FFh: the boot stage fails at the first read and writes it off; "
               "every consumer call is refused with EFI_DEVICE_ERROR"),
    "disconnected": (1, MARGIN, 3, "QEMU answers D2h at once; the third D2h (boot stage, GetDeviceId, SendRawCommand) "
                     "writes BMC 1 off; the calls after it are refused with EFI_DEVICE_ERROR"),
    "late": (1, 1.0 + MARGIN, None, "the ready wait asks BMC 1 every 100 ms and gets D2h until ipmi_sim is up; "
             "then every call succeeds as in the good boot"),
    "bt-hung": (BT_BMC, FLAG_WAIT + MARGIN, 2, "QEMU's BT interface answers the capabilities; the boot stage waits "
                "for QEMU's C3h after 4 s, which writes BMC 2 off; every consumer call to it is refused with EFI_DEVICE_ERROR"),
    "bt-absent": (BT_BMC, MARGIN, 0, "BMC 2's control register reads FFh: the capabilities question fails at the first "
                  "read and writes it off; every consumer call is refused with EFI_DEVICE_ERROR"),
    "bt-disconnected": (BT_BMC, MARGIN, 4, "QEMU's BT interface answers the capabilities, its external BMC D2h to the "
                        "rest; the third D2h (boot stage, GetDeviceId, SendRawCommand) writes BMC 2 off; the calls after "
                        "it are refused with EFI_DEVICE_ERROR"),
    "bt-late": (BT_BMC, 1.0 + MARGIN, None, "the ready wait asks BMC 2 every 100 ms and gets D2h until ipmi_sim is up; "
                "then every call succeeds as in the good boot"),
    "ssif-hung": (SSIF_BMC, FLAG_WAIT + MARGIN, 2, "QEMU's smbus-ipmi answers the capabilities; the boot stage's reads "
                  "bring the block read last again (dropped) until QEMU's C3h after 4 s, which writes BMC 3 off; "
                  "every consumer call to it is refused with EFI_DEVICE_ERROR"),
    "ssif-absent": (SSIF_BMC, FLAG_WAIT + MARGIN, 0, "address 10h NACKs: the capabilities question is written again "
                    "every millisecond for one flag wait, which writes BMC 3 off; every consumer call is refused "
                    "with EFI_DEVICE_ERROR"),
    "ssif-disconnected": (SSIF_BMC, MARGIN, 4, "QEMU's smbus-ipmi answers the capabilities, its external BMC D2h to "
                          "the rest; the third D2h (boot stage, GetDeviceId, SendRawCommand) writes BMC 3 off; the "
                          "calls after it are refused with EFI_DEVICE_ERROR"),
    "ssif-late": (SSIF_BMC, 1.0 + MARGIN, None, "the ready wait asks BMC 3 every 100 ms and gets D2h until ipmi_sim is "
                  "up; then every call succeeds as in the good boot"),
}

NAMES = {
    (0x06, 0x01): "Get Device ID", (0x06, 0x22): "Reset Watchdog Timer", (0x06, 0x24): "Set Watchdog Timer",
    (0x06, 0x25): "Get Watchdog Timer", (0x06, 0x40): "Set Channel Access", (0x06, 0x41): "Get Channel Access",
    (0x06, 0x42): "Get Channel Info", (0x0C, 0x10): "Set Serial/Modem Configuration",
    (0x0C, 0x11): "Get Serial/Modem Configuration", (0x0C, 0x12): "Set Serial/Modem Mux",
    (0x2E, 0x90): "File Service", (0x2E, 0x92): "Block Upload", (0x3A, 0x0B): "Region Read",
    (0x3A, 0x0C): "Region Write", (0x3A, 0xC3): "Boot Stage", (0x3A, 0xC4): "Settings Store",
}


def pattern(size, step):
    return bytes((index * step + 1) & 0xFF for index in range(size))


class Boot:
    def __init__(self, directory):
        self.directory = directory
        path = directory / "debug.log"
        self.lines = path.read_bytes().decode("ascii", "replace").splitlines() if path.exists() else []
        tool = directory / "ipmitool.txt"
        self.ipmitool = tool.read_text(errors="replace") if tool.exists() else ""
        tool = directory / "ipmitool-bmc2.txt"
        self.ipmitool2 = tool.read_text(errors="replace") if tool.exists() else ""
        tool = directory / "ipmitool-bmc3.txt"
        self.ipmitool3 = tool.read_text(errors="replace") if tool.exists() else ""
        installed = next((m for m in map(INSTALLED.search, self.lines) if m), None)
        self.bmcs = int(installed.group(1)) if installed else BMCS
        # The BMCs ipmi_sim plays: 1 and 2, and 3 on the four-BMC board.
        self.sims = [1, BT_BMC] + ([SSIF_BMC] if self.bmcs > SSIF_BMC else [])
        self.transactions = self.decode()
        self.consumer = [m for m in map(CONSUMER.search, self.lines) if m]

    def decode(self):
        """Transactions per BMC: bmc, request, response, aborted, line; BT
        ones also their sequence numbers, and the BT answers the host took
        and dropped in self.dropped."""
        ports = {}
        for bmc in KCS_BMCS:
            ports[IO_BASES[bmc] + 0xCA2] = (bmc, "data")
            ports[IO_BASES[bmc] + 0xCA3] = (bmc, "command")
        ports[BT_CONTROL] = (BT_BMC, "control")
        ports[BT_BUFFER] = (BT_BMC, "buffer")
        open_ = {}
        done = []
        self.dropped = []
        message = answer = sent = None
        for index, line in enumerate(self.lines):
            match = IO.search(line)
            if not match:
                continue
            direction, port, value = match.group(1), int(match.group(2), 16), int(match.group(3), 16)
            if port not in ports:
                continue
            bmc, register = ports[port]
            if register == "control":
                if answer is not None and answer:
                    # The host's first control write after its reads ends the answer.
                    if sent is not None and not sent["response"] and len(answer) >= 3 and answer[2] == sent["sequence"]:
                        sent["answer_length"] = answer[0]
                        sent["response"] = [answer[1]] + answer[3:]
                        sent["answer_sequence"] = answer[2]
                    else:
                        self.dropped.append((index, bytes(answer)))
                    answer = None
                if value & BT_CLR_WR_PTR:
                    message = []
                if value & BT_H2B_ATN and message is not None:
                    sent = {"bmc": bmc, "request": [message[1]] + message[3:] if len(message) >= 4 else [],
                            "response": [], "aborted": False, "line": index, "sequence": message[2] if len(message) > 2 else None,
                            "message_length": message[0] if message else None, "message_size": len(message)}
                    done.append(sent)
                    message = None
                if value & BT_CLR_RD_PTR:
                    answer = []
                continue
            if register == "buffer":
                if direction == "out" and message is not None:
                    message.append(value)
                elif direction == "in" and answer is not None:
                    answer.append(value)
                continue
            current = open_.get(bmc)
            if direction == "out" and register == "command":
                if value == WRITE_START:
                    if current:
                        done.append(current)
                    open_[bmc] = {"bmc": bmc, "request": [], "response": [], "phase": "write",
                                  "aborted": False, "line": index, "pending": None}
                elif current and value == WRITE_END:
                    current["phase"] = "last"
                elif current and value == ABORT:
                    current["aborted"] = True
                continue
            if not current:
                continue
            if direction == "out":
                if current["phase"] in ("write", "last"):
                    current["request"].append(value)
                    if current["phase"] == "last":
                        current["phase"] = "read"
                elif value == READ and current["pending"] is not None:
                    current["response"].append(current["pending"])
                    current["pending"] = None
            elif current["phase"] == "read":
                if current["pending"] is not None:
                    # A read without an acknowledgement before it: the dummy read.
                    done.append(current)
                    open_.pop(bmc)
                else:
                    current["pending"] = value
        for current in open_.values():
            if current["pending"] is not None:
                current["pending"] = None
            done.append(current)
        done += self.decode_ssif()
        done.sort(key=lambda t: t["line"])
        for t in done:
            request, response = t["request"], t["response"]
            t["netfn"] = request[0] >> 2 if request else None
            t["cmd"] = request[1] if len(request) > 1 else None
            t["data"] = bytes(request[2:])
            t["cc"] = response[2] if len(response) > 2 else None
            t["answer"] = bytes(response[3:])
            t["echo"] = (len(response) >= 3 and t["netfn"] is not None and response[0] >> 2 == t["netfn"] + 1
                         and response[1] == t["cmd"])
            if "sequence" in t:
                # BT: the message's length byte counts what follows it, the
                # answer's counts NetFn, sequence, command, code and data.
                t["echo"] = t["echo"] and t["message_length"] == t["message_size"] - 1 \
                    and t.get("answer_length") == len(response) + 1
        return done

    def decode_ssif(self):
        """SSIF transactions of BMC 3 from the SMBus lines; the blocks read
        and dropped as not the answer go to self.stale."""
        done = []
        self.stale = []
        parts = sent = answer = None
        for index, line in enumerate(self.lines):
            match = SMBUS.search(line)
            if not match or int(match.group(2), 16) != SSIF_ADDRESS:
                continue
            write, cmd = match.group(1) == "write", int(match.group(3), 16)
            taken, block = match.group(4) == "Success", bytes.fromhex(match.group(5))
            if write:
                if not taken or cmd in (0x02, 0x06):
                    parts = None
                if taken and cmd in (0x02, 0x06):
                    parts = [index, bytearray()]
                if taken and parts is not None:
                    parts[1] += block
                    if cmd in (0x02, 0x08):
                        request = list(parts[1])
                        sent = {"bmc": SSIF_BMC, "request": request, "response": [], "aborted": False,
                                "line": parts[0], "ssif": True}
                        done.append(sent)
                        parts = answer = None
                continue
            if not taken or sent is None or sent["response"]:
                continue
            if cmd == 0x03:
                start = len(block) == 32 and block[:2] == b"\x00\x01"
                head = block[2:] if start else block
                request = sent["request"]
                if len(head) < 3 or len(request) < 2 or head[0] >> 2 != (request[0] >> 2) + 1 or head[1] != request[1]:
                    self.stale.append((index, block))
                    continue
                answer = list(head) if start else None
                if not start:
                    sent["response"] = list(head)
            elif cmd == 0x09 and answer is not None and block:
                answer += block[1:]
                if block[0] == 0xFF:
                    sent["response"] = answer
                    answer = None
        return done

    def count(self, text):
        return sum(text in line for line in self.lines)

    def first(self, text, start=0):
        return next((i for i in range(start, len(self.lines)) if text in self.lines[i]), None)

    def sends(self, bmc, netfn, cmd, start=0, end=None):
        end = len(self.lines) if end is None else end
        return [t for t in self.transactions if t["bmc"] == bmc and t["netfn"] == netfn and t["cmd"] == cmd
                and start <= t["line"] < end]

    def call(self, name, bmc):
        return next((m for m in self.consumer if m.group(1) == name and int(m.group(2)) == bmc), None)


def watchdog(call):
    """A Get Watchdog Timer answer the consumer printed, decoded. QEMU's BMC
    leaves bit 6 of the timer use clear while it counts, so a present
    countdown below the initial one also means running."""
    if not call or int(call.group(3), 16) != 0:
        return None
    data = bytes.fromhex(re.search(r"data=([0-9a-f]*)", call.group(4)).group(1))
    if len(data) < 6:
        return None
    initial = data[4] | data[5] << 8
    present = data[6] | data[7] << 8 if len(data) >= 8 else None
    return {"use": data[0], "action": data[1], "flags": data[3], "initial": initial, "present": present,
            "running": bool(data[0] & 0x40) or (present is not None and 0 < present < initial)}


def loads(boot, guid):
    return [i for i, line in enumerate(boot.lines) if f"Loading PEIM {guid}" in line]


def check_loads(boot, results):
    missing = []
    for guid, ppi, what in ((MODULE_GUID, BMC_COMMANDS_PPI, "module"), (TRANSPORT_GUID, IPMI_TRANSPORT_PPI, "transport")):
        where = loads(boot, guid)
        if len(where) != 2:
            missing.append(f"the {what} loaded twice ('Loading PEIM {guid}'), got {len(where)}")
            continue
        if boot.first(f"Install PPI: {ppi}", where[0]) is None:
            missing.append(f"'Install PPI: {ppi}' after the {what}'s first load")
        reinstall = boot.first(f"Reinstall PPI: {ppi}", where[1])
        if reinstall is None:
            missing.append(f"'Reinstall PPI: {ppi}' after the {what}'s load from memory")
    memory = boot.first("Install PPI: F894643D-C449-42D1-8EA8-85BDD8C65BDE")
    module = loads(boot, MODULE_GUID)
    if memory is None or len(module) != 2 or not module[0] < memory < module[1]:
        missing.append("the module's first run before permanent memory, its second after it")
    results.append(("module and transport run in place, then from memory, and reinstall their PPIs", missing))
    return module[1] if len(module) == 2 else len(boot.lines)


def entry_rva(path):
    data = path.read_bytes()
    return struct.unpack_from("<I", data, struct.unpack_from("<I", data, 0x3C)[0] + 24 + 16)[0]


def check_images(boot, images, results):
    """Each load of the module and of the transport enters where the
    image's header puts the entry: the firmware holds these images."""
    missing = []
    for guid, name in ((MODULE_GUID, "OskelCommandsPei"), (TRANSPORT_GUID, "IpmiTransportPei")):
        rva = entry_rva(images / f"{name}.efi")
        for where in loads(boot, guid):
            found = next((m for m in map(LOAD_AT.search, boot.lines[where + 1:where + 4]) if m), None)
            if not found or int(found.group(2), 16) - int(found.group(1), 16) != rva:
                missing.append(f"line {where + 1}: {name} entered at its image's entry point +{rva:x}"
                               + (f" (got +{int(found.group(2), 16) - int(found.group(1), 16):x})" if found else ""))
    results.append((f"the firmware's module and transport are the images of {images}", missing))


def kind(bmc):
    return "BT" if bmc == BT_BMC else "SSIF" if bmc == SSIF_BMC else "KCS"


def check_stage_and_setup(boot, shadow, results):
    missing = []
    for bmc in range(boot.bmcs):
        stage = boot.sends(bmc, 0x3A, 0xC3, 0, shadow)
        if not any(t["data"] == bytes([0x01, BOOT_STAGE]) and t["echo"] for t in stage):
            missing.append(f"a {kind(bmc)} Boot Stage request 01 {BOOT_STAGE:02x} to BMC {bmc}"
                           " before the shadow, answered with the echoed NetFn and command")
        mailbox = [0x0CB5, 0x0CB6, 0x0CB7, 0x0CB8, 0x0CBF, 0x004E, 0x004F]
        written = {int(m.group(2), 16) for m in map(IO.search, boot.lines[:shadow]) if m and m.group(1) == "out"}
        if not all(port + IO_BASES[bmc] in written for port in mailbox):
            missing.append(f"the progress mailbox writes of BMC {bmc}")
    for bmc in boot.sims:
        text = tool_text(boot, bmc)
        stages = re.search(r"== boot stages\s*\n\s*4d 4f 00 ([0-9a-f]{2})((?: [0-9a-f]{2})*)", text)
        if not stages or f"{BOOT_STAGE:02x}" not in stages.group(2).split():
            missing.append(f"stage 07 in the boot-stage history ipmitool reads from BMC {bmc}'s OEM module")
    ssif = " and over SSIF to BMC 3" if boot.bmcs > SSIF_BMC else ""
    results.append((f"boot stage 7 over KCS to BMCs 0 and 1, over BT to BMC 2{ssif}, recorded by the OEM modules of "
                    + " and ".join(map(str, boot.sims)), missing))

    missing = []
    if boot.first("OskelBoard: GetVariable name=Setup size=2778 status=0") is None:
        missing.append("the module's GetVariable of Setup (2778 bytes, EFI_SUCCESS)")
    armed = [t for t in boot.sends(0, 0x06, 0x24, 0, shadow)
             if len(t["data"]) == 6 and t["data"][4] | t["data"][5] << 8 == SETUP_COUNTDOWN]
    if not armed:
        missing.append(f"Set Watchdog Timer to BMC 0 with countdown {SETUP_COUNTDOWN} before the shadow")
    elif not any(t["cc"] == 0 for t in boot.sends(0, 0x06, 0x22, armed[0]["line"], shadow)):
        missing.append("Reset Watchdog Timer to BMC 0 after the Set, answered 00h")
    console = boot.sends(0, 0x06, 0x42, 0, shadow)
    if not console:
        missing.append("the serial console sequence (Get Channel Info first) to BMC 0 before the shadow")
    got = watchdog(boot.call("GetWatchdogTimer", 0))
    # QEMU's BMC counts in whole seconds, so a read within the first second
    # after Reset Watchdog Timer still shows the initial countdown; the Reset
    # itself, answered 00h, is the start (checked above).
    if not got or got["use"] & 0x07 != 0x02 or got["initial"] != SETUP_COUNTDOWN \
            or got["present"] is None or got["present"] > got["initial"]:
        missing.append("QEMU's BMC reporting the BIOS/POST watchdog of Setup"
                       + (f" (got {got})" if got else ""))
    results.append(("Setup arms the POST watchdog on BMC 0 and runs the serial console sequence", missing))


def check_answers(boot, results):
    missing = []
    for t in boot.transactions:
        if t["aborted"]:
            continue
        if not t["echo"]:
            missing.append(f"line {t['line'] + 1}: BMC {t['bmc']} answer "
                           f"{bytes(t['response']).hex()} to {bytes(t['request']).hex()} does not echo NetFn + 1 and command")
    for bmc in range(boot.bmcs):
        if not any(t["bmc"] == bmc for t in boot.transactions):
            missing.append(f"BMC {bmc}'s traffic in the board's port and SMBus log")
    if boot.dropped:
        missing.append(f"no BT answer dropped in the good boot (got {[(i + 1, a.hex()) for i, a in boot.dropped]})")
    bt = sum(1 for t in boot.transactions if t["bmc"] == BT_BMC)
    ssif = sum(1 for t in boot.transactions if t["bmc"] == SSIF_BMC)
    # QEMU's smbus-ipmi does not NACK a read before its answer; a block it
    # gave instead (the one read last) is dropped by the transport, and
    # counted here.
    ssif_text = f", {ssif} over SSIF, {len(boot.stale)} SSIF blocks read before the answer and dropped" if ssif else ""
    results.append((f"every answer echoes its request, BT ones its sequence number and lengths too"
                    f" ({len(boot.transactions)} transactions, {bt} over BT{ssif_text})", missing))


def identity(text):
    fields = {}
    for key in ("Device ID", "Device Revision", "Firmware Revision", "IPMI Version", "Manufacturer ID",
                "Product ID"):
        match = re.search(rf"^{key}\s*:\s*(\S+)", text, re.MULTILINE)
        if match:
            fields[key] = match.group(1)
    return fields


def tool_text(boot, bmc):
    return {1: boot.ipmitool, BT_BMC: boot.ipmitool2, SSIF_BMC: boot.ipmitool3}[bmc]


def check_consumer(boot, results):
    missing = []
    calls = {(m.group(1), int(m.group(2))): m for m in boot.consumer}
    for bmc in range(boot.bmcs):
        call = calls.get(("GetDeviceId", bmc))
        if not call or int(call.group(3), 16) != 0:
            missing.append(f"GetDeviceId bmc={bmc} status=0" + (f" (got {call.group(0)})" if call else ""))
        call = calls.get(("UnassignedCommand", bmc))
        if not call or int(call.group(3), 16) != CC_INVALID_COMMAND or "outcome=cc-c1 " not in call.group(0) \
                or "len=0 " not in call.group(0):
            missing.append(f"UnassignedCommand bmc={bmc} status=c1 outcome=cc-c1 len=0"
                           + (f" (got {call.group(0).strip()})" if call else ""))
    for call in boot.consumer:
        status = int(call.group(3), 16)
        want = "done" if status == 0 else f"cc-{status & 0xFF:02x}" if status < 0x80000000 else "failed"
        if f"outcome={want} " not in call.group(0):
            missing.append(f"{call.group(1)} bmc={call.group(2)} status={call.group(3)} logged as outcome={want}")
    for bmc in boot.sims:
        device = calls.get(("GetDeviceId", bmc))
        fields = identity(tool_text(boot, bmc))
        if device and fields:
            data = bytes.fromhex(re.search(r"data=([0-9a-f]*)", device.group(4)).group(1))
            want = [("Device ID", data[0] if data else None), ("Device Revision", data[1] & 0x0F if len(data) > 1 else None),
                    ("Manufacturer ID", data[6] | data[7] << 8 | data[8] << 16 if len(data) > 8 else None)]
            for key, value in want:
                if key not in fields or value is None or int(fields[key]) != value:
                    missing.append(f"BMC {bmc}: ipmitool mc info {key} {fields.get(key)} = consumer's {value}")
            if len(data) > 3 and fields.get("Firmware Revision") != f"{data[2] & 0x7F}.{data[3]:02x}":
                missing.append(f"BMC {bmc}: ipmitool mc info Firmware Revision {fields.get('Firmware Revision')}"
                               f" = consumer's {data[2] & 0x7F}.{data[3]:02x}")
        elif not fields:
            missing.append(f"BMC {bmc}: ipmitool mc info output")
        raw = calls.get(("SendRawCommand", bmc))
        if not raw or not device or raw.group(4).split("data=")[-1] != device.group(4).split("data=")[-1]:
            missing.append(f"SendRawCommand Get Device ID on BMC {bmc} returning the GetDeviceId answer")
        for name in ("StartPostWatchdog", "WriteKnownFile", "ReadKnownFilePieces", "RegionWrite", "RegionRead",
                     "WriteBmcSetting", "ReadBmcSetting", "UploadBlocks"):
            call = calls.get((name, bmc))
            if not call or int(call.group(3), 16) != 0 or "differs" in call.group(4):
                missing.append(f"{name} bmc={bmc} status=0" + (" match" if name not in ("StartPostWatchdog",) else "")
                               + (f" (got {call.group(0).strip()})" if call else ""))
        for name in ("ReadKnownFile", "RegionReadLong"):
            call = calls.get((name, bmc))
            if not call or int(call.group(3), 16) == 0:
                missing.append(f"{name} bmc={bmc} failing (ipmi_sim answers at most 36 bytes)"
                               + (f" (got {call.group(0).strip()})" if call else ""))
    if boot.first("OskelConsumer: done mode=check") is None:
        missing.append("'OskelConsumer: done mode=check'")
    same = "BMC 1 over KCS, BMC 2 over BT and BMC 3 over SSIF" if boot.bmcs > SSIF_BMC else \
        "BMC 1 over KCS and BMC 2 over BT"
    results.append((f"consumer calls on all {boot.bmcs} BMCs, the same to {same}", missing))

    for bmc in boot.sims:
        missing = []
        text = tool_text(boot, bmc)
        watchdog = text.split("== mc watchdog get")[-1].split("==")[0]
        for want in (r"Watchdog Timer Use:\s+BIOS/POST", r"Watchdog Timer Action:\s+Hard Reset",
                     rf"Initial Countdown:\s+{CONSUMER_COUNTDOWN / 10:.1f} sec"):
            if not re.search(want, watchdog):
                missing.append(f"ipmitool mc watchdog get: {want}")
        setting = re.search(r"== setting smbioscrc\s*\n(.*)", text)
        if not setting or "44 33 22 11" not in setting.group(1):
            missing.append("ipmitool reading smbioscrc 11223344h through the OEM module"
                           + (f" (got {setting.group(1).strip()})" if setting else ""))
        # ipmitool prints 16 bytes a line: each read answers the manufacturer
        # id, the count 001Eh and 30 bytes.
        answer = bytes.fromhex("".join(re.findall(r"\b[0-9a-f]{2}\b", text.split("== file config")[-1])))
        data = b"".join(answer[i + 5:i + 35] for i in range(0, len(answer), 35) if answer[i:i + 5] == bytes.fromhex("4d4f001e00"))
        if data != pattern(TRANSFER_SIZE, 7):
            missing.append(f"ipmitool reading back the 300 bytes of config the consumer wrote (got {len(data)} bytes)")
        results.append((f"ipmitool over BMC {bmc}'s ipmi_sim LAN sees the watchdog, the setting and the file", missing))


def seconds(boot, name):
    path = boot.directory / name
    return float(path.read_text().strip()) if path.exists() else None


def elapsed(call):
    match = ELAPSED.search(call.group(4))
    return int(match.group(1)) if match else None


def check_others(boot, good, results, name, broken):
    """BMC 0 gets its boot stage and its watchdog exactly as in the good
    boot, and the BMC of 1 and 2 that is not broken answers every call as
    in the good boot."""
    missing = []
    module = loads(boot, MODULE_GUID)
    shadow = module[1] if len(module) == 2 else len(boot.lines)
    if len(module) != 2:
        missing.append("the module loaded in place and from memory")
    if not any(t["data"] == bytes([0x01, BOOT_STAGE]) and t["echo"] for t in boot.sends(0, 0x3A, 0xC3, 0, shadow)):
        missing.append(f"boot stage {BOOT_STAGE:02x} to BMC 0 before the shadow")
    armed = [t for t in boot.sends(0, 0x06, 0x24, 0, shadow)
             if len(t["data"]) == 6 and t["data"][4] | t["data"][5] << 8 == SETUP_COUNTDOWN]
    if not armed or not any(t["cc"] == 0 for t in boot.sends(0, 0x06, 0x22, armed[0]["line"], shadow)):
        missing.append(f"Set Watchdog Timer ({SETUP_COUNTDOWN}) and Reset Watchdog Timer answered 00h on BMC 0")
    got, want = watchdog(boot.call("GetWatchdogTimer", 0)), watchdog(good.call("GetWatchdogTimer", 0))
    if not got or not want or (got["use"], got["action"], got["initial"]) != (want["use"], want["action"], want["initial"]):
        missing.append(f"BMC 0's watchdog as in the good boot (got {got}, good {want})")
    device, good_device = boot.call("GetDeviceId", 0), good.call("GetDeviceId", 0)
    if not device or not good_device or int(device.group(3), 16) != 0 \
            or device.group(4).split("data=")[-1] != good_device.group(4).split("data=")[-1]:
        missing.append("GetDeviceId bmc=0 answered as in the good boot")
    others = [bmc for bmc in boot.sims if bmc != broken]
    for m in boot.consumer:
        other = int(m.group(2))
        if other not in others:
            continue
        want = good.call(m.group(1), other)
        if not want or int(want.group(3), 16) != int(m.group(3), 16):
            missing.append(f"{m.group(1)} bmc={other} status {m.group(3)} as in the good boot ({want.group(3) if want else 'none'})")
    if boot.first(f"OskelConsumer: done mode={name}") is None:
        missing.append(f"'OskelConsumer: done mode={name}'")
    results.append((f"{name}: the boot reaches the consumer's end; BMC 0 gets its boot stage and watchdog,"
                    f" BMC {' and '.join(map(str, others))} answer{'s' if len(others) == 1 else ''} as in the good boot",
                    missing))


def touched(boot, call, bmc):
    """Whether a data byte or a control code of the BMC's interface was
    logged between the consumer line before this call's line and its own
    (the board logs no status polls)."""
    lines = [i for i, line in enumerate(boot.lines) if "OskelConsumer: " in line]
    own = next(i for i in lines if call.group(0) in boot.lines[i])
    before = max([i for i in lines if i < own], default=0)
    if bmc == SSIF_BMC:
        return any(m and int(m.group(2), 16) == SSIF_ADDRESS for m in map(SMBUS.search, boot.lines[before:own]))
    ports = {BT_CONTROL, BT_BUFFER} if bmc == BT_BMC else {IO_BASES[bmc] + 0xCA2, IO_BASES[bmc] + 0xCA3}
    return any(m and int(m.group(2), 16) in ports for m in map(IO.search, boot.lines[before:own]))


def check_fault(runs, goods, results, timing):
    """The fault boots, each against the good boot of its board: check for
    the three-BMC board, ssif-check for the four-BMC one."""
    for name, (bmc, bound, expected, rule) in FAULTS.items():
        good = goods[bmc == SSIF_BMC]
        good_seconds = seconds(good, "boot-seconds")
        boot = Boot(runs / name)
        check_others(boot, good, results, name, bmc)
        calls = [m for m in boot.consumer if int(m.group(2)) == bmc]
        statuses = [int(m.group(3), 16) for m in calls]
        missing = []
        if not calls:
            missing.append(f"consumer calls to BMC {bmc}")
        if name.endswith("late"):
            for m in calls:
                want = good.call(m.group(1), bmc)
                if not want or int(want.group(3), 16) != int(m.group(3), 16):
                    missing.append(f"{m.group(1)} bmc={bmc} status {m.group(3)} as in the good boot"
                                   f" ({want.group(3) if want else 'none'})")
            if not any(t["data"] == bytes([0x01, BOOT_STAGE]) and t["echo"] for t in boot.sends(bmc, 0x3A, 0xC3)):
                missing.append(f"boot stage 7 reaching BMC {bmc} once it answered")
        elif name.endswith("disconnected"):
            refused = [i for i, status in enumerate(statuses) if status == EFI_DEVICE_ERROR]
            early = statuses[:refused[0]] if refused else statuses
            if not refused or any(status != CC_INIT_IN_PROGRESS for status in early) or len(early) > 2 \
                    or any(status != EFI_DEVICE_ERROR for status in statuses[refused[0]:]):
                missing.append(f"at most two D2h answers, then EFI_DEVICE_ERROR for every call (got {statuses})")
        else:
            if any(status != EFI_DEVICE_ERROR for status in statuses):
                missing.append(f"EFI_DEVICE_ERROR for every call to BMC {bmc} (got {[hex(s) for s in statuses]})")
        sent = [t for t in boot.transactions if t["bmc"] == bmc]
        if expected is not None and len(sent) != expected:
            missing.append(f"{expected} transactions reaching BMC {bmc}, got {len(sent)}")
        if bmc == BT_BMC:
            for t in sent:
                if t["response"] and not t["echo"]:
                    missing.append(f"line {t['line'] + 1}: BT answer {bytes(t['response']).hex()} to "
                                   f"{bytes(t['request']).hex()} does not echo NetFn + 1, command, sequence and lengths")
        results.append((f"{name}: calls to BMC {bmc} as documented ({rule})", missing))

        missing = []
        took = seconds(boot, "boot-seconds")
        allowed = bound + (seconds(boot, "late-start-seconds") or 0.0)
        if took is None or good_seconds is None:
            missing.append("both boot times")
            delay = None
        else:
            delay = took - good_seconds
            if delay > allowed:
                missing.append(f"a delay of at most {allowed:.1f} s over the good boot, got {delay:.2f} s")
        refusals = [elapsed(m) for m in boot.consumer if m.group(1) == "Refusal"]
        limit = max(refusals) + REFUSAL_MARGIN_US if refusals and None not in refusals else None
        if limit is None:
            missing.append("the refusal timed in the same boot")
        # A call to a BMC written off must leave that BMC's interface alone
        # (no data byte or control code logged between the consumer's line
        # before it and its own) and take no longer than a refusal plus the
        # margin. QEMU's PM timer runs on the host's clock, so a host that
        # deschedules the virtual CPU shows as one slow call: one per boot
        # is let pass when it touched nothing and stayed under
        # HOST_PAUSE_US, and is printed.
        written_off = [m for m in calls if int(m.group(3), 16) == EFI_DEVICE_ERROR]
        slow = []
        for m in written_off:
            if touched(boot, m, bmc):
                missing.append(f"{m.group(1)} bmc={bmc} on a BMC written off reached its interface")
            if limit is not None and (elapsed(m) is None or elapsed(m) > limit):
                slow.append(m)
        for m in slow:
            if len(slow) > 1 or elapsed(m) is None or elapsed(m) >= HOST_PAUSE_US:
                missing.append(f"{m.group(1)} bmc={bmc} on a BMC written off took {elapsed(m)} us, a refusal {max(refusals)} us")
            else:
                print(f"     {name}: {m.group(1)} bmc={bmc} took {elapsed(m)} us without touching it (one host pause let pass)")
        timing.append((name, bmc, took, delay, allowed, refusals, [(m.group(1), m.group(3), elapsed(m)) for m in calls]))
        results.append((f"{name}: boot delay within {allowed:.1f} s, calls to a BMC written off no slower than a refusal",
                        missing))


def main():
    runs, images = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    results = []
    check = Boot(runs / "check")
    shadow = check_loads(check, results)
    check_images(check, images, results)
    check_stage_and_setup(check, shadow, results)
    check_answers(check, results)
    check_consumer(check, results)
    if sys.argv[3:] == ["check"]:
        return verdict(results, check, [], [], [])

    # The four-BMC board: the same requirements, BMC 3 on SSIF with them.
    ssif = Boot(runs / "ssif-check")
    own = []
    check_images(ssif, images, own)
    check_stage_and_setup(ssif, check_loads(ssif, own), own)
    check_answers(ssif, own)
    check_consumer(ssif, own)
    results += [(f"ssif-check: {name}", missing) for name, missing in own]

    bite = Boot(runs / "bite")
    starts = bite.count("OskelConsumer: start mode=bite")
    armed = [m for m in bite.consumer if m.group(1) == "StartPostWatchdog" and int(m.group(3), 16) == 0]
    # After the reset, QEMU's BMC reports the BIOS/POST expiry (flag bit 2).
    after = [watchdog(m) for m in bite.consumer if m.group(1) == "GetWatchdogTimer" and int(m.group(2)) == 0]
    expired = len(after) >= 2 and after[1] is not None and after[1]["flags"] & 0x04
    results.append(("the watchdog bites: the BMC resets the machine, which boots again",
                    [] if starts >= 2 and armed and expired else
                    [f"two consumer starts in the bite boot (got {starts}), the watchdog armed (got {len(armed)}),"
                     f" BMC 0 reporting the BIOS/POST expiry after the reset (got {after[1:2]})"]))

    timing = []
    check_fault(runs, (check, ssif), results, timing)

    stop = Boot(runs / "stop")
    starts = stop.count("OskelConsumer: start mode=stop")
    stopped = [m for m in stop.consumer if m.group(1) == "StopWatchdog" and int(m.group(3), 16) == 0]
    results.append(("a watchdog stopped with SendRawCommand does not reset the machine",
                    [] if starts == 1 and stop.first("OskelConsumer: done mode=stop") is not None
                    and len(stopped) == BMCS else
                    [f"one consumer start (got {starts}), 'done mode=stop', a stop answered on each of the {BMCS} BMCs (got {len(stopped)})"]))

    return verdict(results, check, bite.consumer[:4], stop.consumer, timing)


def verdict(results, check, bite_lines, stop_lines, timing):
    print("Non-zero completion codes the BMCs answered (check boot):")
    seen = {}
    for t in check.transactions:
        if t["cc"] not in (None, 0):
            key = (t["bmc"], t["netfn"], t["cmd"], t["cc"])
            seen[key] = seen.get(key, 0) + 1
    for (bmc, netfn, cmd, cc), times in sorted(seen.items()):
        name = NAMES.get((netfn, cmd), "")
        print(f"     BMC {bmc} NetFn {netfn:02X}h command {cmd:02X}h {name}: {cc:02X}h x{times}")
    print("Consumer lines:")
    for m in check.consumer + bite_lines + stop_lines:
        print("     " + m.group(0).strip())

    four = check.directory.parent / "ssif-check" / "boot-seconds"
    also = f", ssif-check {four.read_text().strip()} s" if four.exists() else ""
    print(f"Boot times, QEMU start to the consumer's end (good boots: check {seconds(check, 'boot-seconds')} s{also}):")
    for name, bmc, took, delay, allowed, refusals, calls in timing:
        shown = "none" if delay is None else f"{delay:+.2f} s"
        print(f"     {name}: {took} s, {shown} over the good boot (bound {allowed:.1f} s); refusals {refusals} us")
        for call, status, us in calls:
            print(f"         {call} bmc={bmc} status={status} {us} us")

    failed = [name for name, lacking in results if lacking]
    for name, lacking in results:
        print(("FAIL " if lacking else "PASS ") + name)
        for item in lacking:
            print("     missing: " + item)
    if failed:
        print(f"FAIL qemu-board-check: {len(failed)} of {len(results)} requirements not met")
        return 1
    print(f"PASS qemu-board-check: {len(results)} requirements met")
    return 0


if __name__ == "__main__":
    sys.exit(main())
