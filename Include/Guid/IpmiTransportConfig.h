/** @file
  Platform settings of the IPMI transport PEIM, in two GUID-extension HOBs
  that a board PEIM builds before the transport runs. Without them the
  transport takes the defaults below: every BMC on KCS at its platform
  base, 5 s flag waits on the 8254, no ready wait.

  Multi-byte fields are little-endian. Offsets count from the first byte of
  data after the HOB's name. A HOB's data may be longer than its fields:
  the PEI core rounds a HOB up to a multiple of 8 bytes and need not zero
  the padding, so no field is ever read from the padding of a shorter HOB.

  The settings HOB (IPMI_TRANSPORT_CONFIG_HOB_GUID), the clock and the
  waits of every BMC; one with fewer than IPMI_CONFIG_DATA_SIZE bytes of
  data is ignored:

    0..3   flag wait, microseconds per wait on an interface flag (KCS: IBF,
           OBF; BT: B_BUSY, B2H_ATN; SSIF: the BMC taking the request,
           then its answer, each retried while the BMC NACKs) (0: default)
    4..7   ready wait at entry, microseconds in all, one wait shared by
           all BMCs (0: off)
    8..9   I/O port of the ACPI PM timer (0: none, the 8254 is used)

  Both waits are counted in whole steps of 256 microseconds, rounded up: a
  flag wait of 1 waits 256 microseconds, one of 257 waits 512.

  The ready wait runs at the first run's entry: Get Device ID to each BMC
  in turn, again every 100 ms until it answers with the device available,
  while the ready wait lasts, counted from the first BMC's first question.
  Each BMC gets one question at least, however much of the wait the BMCs
  before it took; a BMC not ready when its turn ends is written off.

  A PM timer port that does not count (a power-management base the
  chipset does not decode reads all ones) is noticed after 32 polls of a
  wait that see no change, and the 8254 times the rest of that wait and
  of the PEIM's run (the run from memory tries the PM timer again); with
  the 8254 stopped too, such a wait ends there and counts as run out.

  The interfaces HOB (IPMI_TRANSPORT_INTERFACES_HOB_GUID), which system
  interface each BMC is on and where; BMC i is the i-th BMC of the platform
  BMC information HOB:

    0      number of entries that follow, N (more than 8 is taken as 8)
    1..3   reserved, 0
    4 + 4 * i, for i below N, BMC i's entry, IPMI_INTERFACE_ENTRY_SIZE bytes:
      +0     interface: IPMI_INTERFACE_KCS, IPMI_INTERFACE_BT,
             IPMI_INTERFACE_SSIF
      +1     reserved, 0
      +2..3  where: KCS: 0 (its registers are at the BMC's platform base
             + CA2h/CA3h, as without this HOB); BT: the I/O port of its
             control register (BT_CTRL; the buffer is the next port, the
             interrupt mask the one after); SSIF: +2 the BMC's 7-bit
             SMBus target address (bits 6:0, bit 7 0: 10h for the address
             byte 20h on the wire), +3 reserved, 0. The SSIF BMC is
             reached through the board's EFI_PEI_SMBUS2_PPI (the first
             instance), which must be installed before the transport's
             first command to that BMC: without it the BMC is written off.

  A BMC without an entry (i at or above N, or an entry the HOB does not
  hold whole) is on KCS. A BMC whose interface the build does not carry
  (the build options OSKEL_TRANSPORT_KCS, OSKEL_TRANSPORT_BT and
  OSKEL_TRANSPORT_SSIF, see IpmiTransportPei.inf), or whose interface
  value is unknown, or whose SSIF address has bit 7 set, has no
  interface: every command to it fails with EFI_DEVICE_ERROR without a
  port access, and the first writes it off as silence does. A build that
  carries KCS alone does not read this HOB: every BMC is on KCS at its
  platform base, as with the transport before BT.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

//
// The settings HOB's GUID is the one the KCS-only transport read: a board
// built for it keeps working unchanged.
//
#define IPMI_TRANSPORT_CONFIG_HOB_GUID \
  { 0x6da78d91, 0x327b, 0x43c8, { 0x89, 0x24, 0x28, 0x59, 0x82, 0x4c, 0x9b, 0x09 } }

#define IPMI_TRANSPORT_INTERFACES_HOB_GUID \
  { 0x3c1f5e0a, 0x8d27, 0x4b96, { 0xa4, 0x1e, 0x6b, 0x02, 0xc9, 0x73, 0x5d, 0xe8 } }

#define IPMI_CONFIG_FLAG_WAIT_OFFSET   0
#define IPMI_CONFIG_READY_WAIT_OFFSET  4
#define IPMI_CONFIG_PM_TIMER_OFFSET    8
#define IPMI_CONFIG_DATA_SIZE          10

//
// Five seconds per flag: a BMC may take seconds over its slowest command,
// and host timeouts of that order are the usual choice; longer settings
// are taken as one minute.
//
#define IPMI_CONFIG_DEFAULT_FLAG_WAIT_US  5000000
#define IPMI_CONFIG_MAX_WAIT_US           60000000

#define IPMI_INTERFACES_COUNT_OFFSET      0
#define IPMI_INTERFACES_FIRST_OFFSET      4
#define IPMI_INTERFACE_ENTRY_SIZE         4
#define IPMI_INTERFACE_TYPE_OFFSET        0
#define IPMI_INTERFACE_ADDRESS_OFFSET     2
#define IPMI_INTERFACES_MAX               8

//
// Interface values of an entry. 0 is KCS, so that an entry of zeros means
// what no entry means.
//
#define IPMI_INTERFACE_KCS  0
#define IPMI_INTERFACE_BT   1
#define IPMI_INTERFACE_SSIF 2
