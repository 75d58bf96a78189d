/** @file
  What the scripted BMC pair of the test transport holds, shared with the
  consumer PEIM that checks the BMC command service against it.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#define SCRIPTED_BMC_COUNT  2

//
// Get Device ID answer of BMC i: device id 20h + i, firmware 2.05,
// IPMI 2.0, manufacturer 00h 4Fh 4Dh, product 1234h + i.
//
#define SCRIPTED_DEVICE_ID_LENGTH  15

STATIC CONST UINT8  mScriptedDeviceId[SCRIPTED_BMC_COUNT][SCRIPTED_DEVICE_ID_LENGTH] = {
  { 0x20, 0x81, 0x02, 0x05, 0x02, 0xBF, 0x4D, 0x4F, 0x00, 0x34, 0x12, 0x00, 0x00, 0x00, 0x00 },
  { 0x21, 0x81, 0x02, 0x05, 0x02, 0xBF, 0x4D, 0x4F, 0x00, 0x35, 0x12, 0x00, 0x00, 0x00, 0x00 }
};

//
// An OEM command the service has no slot for: the BMC answers with the
// request bytes in reverse order.
//
#define SCRIPTED_RAW_NETFN    0x30
#define SCRIPTED_RAW_COMMAND  0x7E

//
// Serial channel of every scripted BMC; channel 1 is a LAN channel.
//
#define SCRIPTED_SERIAL_CHANNEL  2

//
// Value of the "/ac/uefi/smbioscrc" setting of BMC i.
//
#define SCRIPTED_SMBIOS_CRC(Bmc)  (0x5EC0DE00u | (UINT32)(Bmc))

//
// Room of the one file each scripted BMC keeps.
//
#define SCRIPTED_FILE_CAPACITY  1024

//
// Byte at Offset of region Selector: a pattern that differs per offset,
// per selector and per 256-byte page, so a misplaced chunk shows.
//
STATIC inline UINT8
ScriptedRegionByte (
  IN UINT8   Selector,
  IN UINT16  Offset
  )
{
  return (UINT8)((Offset * 7) ^ (Offset >> 8) ^ (Selector * 0x1D));
}

//
// The caller's stack pointer just before its call: the word above the
// return address, which a function that takes its frame address keeps in
// a frame pointer on IA32 and X64 (GCC and Clang, the tool chains these
// test PEIMs are built with). The boot check measures the module's stack
// from these (Edk2/CheckBootLog.py).
//
#define CALLER_STACK_POINTER()  ((UINT64)(UINTN)__builtin_frame_address (0) + 2 * sizeof (UINTN))
