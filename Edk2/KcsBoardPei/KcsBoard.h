/** @file
  The QEMU board with two KCS BMCs, as the board PEIM, the consumer and the
  boot check see it.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#ifndef KCS_BOARD_H_
#define KCS_BOARD_H_

#define KCS_BOARD_BMC_COUNT  2

//
// Platform I/O base of each BMC: BMC 0 (QEMU's BMC) has its KCS interface
// at CA2h/CA3h, BMC 1 (ipmi_sim behind QEMU's external BMC) at EA2h/EA3h.
//
STATIC CONST UINT16  mKcsBoardIoBase[KCS_BOARD_BMC_COUNT] = { 0x0000, 0x0200 };

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
// The POST watchdog that Setup arms on BMC 0, in minutes.
//
#define KCS_BOARD_SETUP_WATCHDOG_MINUTES  5

STATIC
VOID
KcsBoardFillHob (
  OUT UINT8  *Data
  )
{
  UINTN  Index;

  Data[KCS_BOARD_HOB_COUNT_OFFSET] = KCS_BOARD_BMC_COUNT;
  for (Index = 0; Index < KCS_BOARD_BMC_COUNT; Index++) {
    Data[KCS_BOARD_HOB_IO_BASE_OFFSET + KCS_BOARD_HOB_ENTRY_SIZE * Index]     = (UINT8)mKcsBoardIoBase[Index];
    Data[KCS_BOARD_HOB_IO_BASE_OFFSET + KCS_BOARD_HOB_ENTRY_SIZE * Index + 1] = (UINT8)(mKcsBoardIoBase[Index] >> 8);
  }
}

#endif
