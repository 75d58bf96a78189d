/** @file
  The QEMU board with two KCS BMCs, as the board PEIM, the consumer and the
  boot check see it.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#ifndef KCS_BOARD_H_
#define KCS_BOARD_H_

//
// BMC 0 (QEMU's BMC) has its KCS interface at CA2h/CA3h, BMC 1 (ipmi_sim
// behind QEMU's external BMC) at EA2h/EA3h: platform I/O bases 0 and 200h.
//
#define KCS_BOARD_BMC_COUNT  2

#define KCS_DATA_PORT     0x0CA2
#define KCS_COMMAND_PORT  0x0CA3

//
// Platform BMC information HOB, offsets in the data after the HOB's name:
// the BMC count in the byte before BMC 0's entry, BMC i's I/O base as a
// 16-bit little-endian value at 566 + 21 * i.
//
#define KCS_BOARD_HOB_COUNT_OFFSET    565
#define KCS_BOARD_HOB_IO_BASE_OFFSET  566
#define KCS_BOARD_HOB_ENTRY_SIZE      21
#define KCS_BOARD_HOB_DATA_SIZE       (KCS_BOARD_HOB_IO_BASE_OFFSET + KCS_BOARD_HOB_ENTRY_SIZE * KCS_BOARD_BMC_COUNT)

//
// The ACPI PM timer of q35 (ICH9 PMBASE 600h, timer at + 8): the KCS
// transport's clock on this board, and the consumer's stopwatch.
//
#define KCS_BOARD_PM_TIMER_PORT  0x0608
#define KCS_BOARD_PM_TIMER_HZ    3579545

//
// The POST watchdog that Setup arms on BMC 0, in minutes.
//
#define KCS_BOARD_SETUP_WATCHDOG_MINUTES  5

#endif
