/** @file
  The QEMU board with two KCS BMCs and a BT BMC, as the board PEIM, the
  consumer and the boot check see it.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#ifndef QEMU_BOARD_H_
#define QEMU_BOARD_H_

//
// BMC 0 (QEMU's BMC) has its KCS interface at CA2h/CA3h, BMC 1 (ipmi_sim
// behind QEMU's external BMC) at EA2h/EA3h: platform I/O bases 0 and 200h.
// BMC 2 (a second ipmi_sim behind an external BMC) is on BT, its control
// register at E4h (isa-ipmi-bt's port), the H2B/B2H buffer at E5h; its
// platform base, 400h, only places its progress mailbox.
//
#define QEMU_BOARD_BMC_COUNT  3

//
// With the fw_cfg file "opt/oskel/ssif", the board has a fourth BMC: a
// third ipmi_sim behind an external BMC on QEMU's smbus-ipmi, an SSIF BMC
// at 7-bit SMBus address 10h (its IPMB address, 20h) on the ICH9 SMBus,
// which the board's SMBus PEIM drives. Its platform base, 800h, only
// places its progress mailbox.
//
#define QEMU_BOARD_BMC_MAX         4
#define QEMU_BOARD_SSIF_BMC        3
#define QEMU_BOARD_SSIF_ADDRESS    0x10
#define QEMU_BOARD_SSIF_FWCFG      "opt/oskel/ssif"

#define KCS_DATA_PORT     0x0CA2
#define KCS_COMMAND_PORT  0x0CA3

#define QEMU_BOARD_BT_BMC      2
#define QEMU_BOARD_BT_CONTROL  0x00E4
#define QEMU_BOARD_BT_BUFFER   0x00E5

//
// Platform BMC information HOB, offsets in the data after the HOB's name:
// the BMC count in the byte before BMC 0's entry, BMC i's I/O base as a
// 16-bit little-endian value at 566 + 21 * i.
//
#define QEMU_BOARD_HOB_COUNT_OFFSET    565
#define QEMU_BOARD_HOB_IO_BASE_OFFSET  566
#define QEMU_BOARD_HOB_ENTRY_SIZE      21
#define QEMU_BOARD_HOB_DATA_SIZE(Count)  (QEMU_BOARD_HOB_IO_BASE_OFFSET + QEMU_BOARD_HOB_ENTRY_SIZE * (Count))

//
// The ACPI PM timer of q35 (ICH9 PMBASE 600h, timer at + 8): the
// transport's clock on this board, and the consumer's stopwatch.
//
#define QEMU_BOARD_PM_TIMER_PORT  0x0608
#define QEMU_BOARD_PM_TIMER_HZ    3579545

//
// The POST watchdog that Setup arms on BMC 0, in minutes.
//
#define QEMU_BOARD_SETUP_WATCHDOG_MINUTES  5

#endif
