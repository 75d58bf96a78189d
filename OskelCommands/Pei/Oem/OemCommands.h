/** @file
  The exchanges of the controller's OEM commands on network function 3Ah,
  and the argument positions and variants that their operations' rows in
  the operation table name.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include "../Dispatch/Dispatch.h"

namespace Oskel {

//
// Commands C2h and 20h carry two bytes each way in the caller's buffer:
// argument 0, with the in/out count in argument 1 for command 20h alone.
//
constexpr UINT8  IN_PLACE_BUFFER = 0;
constexpr UINT8  IN_PLACE_LENGTH = 1;

//
// Arguments of RegionRead and RegionWrite, in slot order; the buffer is the
// caller's in both directions.
//
constexpr UINT8  REGION_OFFSET   = 0;
constexpr UINT8  REGION_SELECTOR = 1;
constexpr UINT8  REGION_LENGTH   = 2;
constexpr UINT8  REGION_BUFFER   = 3;

//
// Value writes of command 1Ch differ only in length (their Spec.Variant):
// the two-byte form clears the value; the four-byte form sets it, most
// significant byte first; the five-byte form sets it with a trailing 00h.
// Variant 0 is the state write of SetOem1CState.
//
constexpr UINT8  OEM_1C_CLEAR_LENGTH       = 2;
constexpr UINT8  OEM_1C_SET_WORD_LENGTH    = 4;
constexpr UINT8  OEM_1C_SET_WORD_EX_LENGTH = 5;
constexpr UINT8  OEM_1C_STATE_WRITE        = 0;

//
// Operation byte of a settings store request (Spec.Variant), and the
// arguments of ReadBmcSetting and WriteBmcSetting in slot order; a write
// has its flag before the value.
//
constexpr UINT8  SETTINGS_OP_READ         = 0x00;
constexpr UINT8  SETTINGS_OP_WRITE        = 0x03;
constexpr UINT8  SETTING_SELECTOR         = 0;
constexpr UINT8  READ_SETTING_VALUE       = 1;
constexpr UINT8  READ_SETTING_DESCRIPTOR  = 2;
constexpr UINT8  WRITE_SETTING_FLAG       = 1;
constexpr UINT8  WRITE_SETTING_VALUE      = 2;
constexpr UINT8  WRITE_SETTING_DESCRIPTOR = 3;

//
// The checks and exchanges of the OEM operations' rows. Each takes the
// operation in progress: its arguments (in the slot's order, above), its
// row (NetFn, Command, Variant), the BMC the dispatch selected and the
// record whose ScratchBuffer it uses.
//

//
// Oem20Exchange carries exactly two bytes: a count other than 2 is
// EFI_INVALID_PARAMETER before the guard.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL Check20Length (IN OUT Operation &Op);

/**
  Commands C2h and 20h: the caller's two bytes out and the answer back into
  the same buffer, which the transport reads before it writes; a broadcast
  sends the next BMC what this one answered.

  @retval EFI_SUCCESS  Answered; command 20h's count holds the bytes
                       received, at most 2.
  @retval Other        The transport's status or the completion code; the
                       count is set the same way.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ExchangeInPlace (IN OUT Operation &Op);

//
// Command 10h takes the values 0 to 3; a larger one is
// EFI_INVALID_PARAMETER before the guard.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL CheckNewValue (IN OUT Operation &Op);

/**
  Reads the value of command 10h into the caller's byte.

  @retval EFI_SUCCESS         The value was stored.
  @retval EFI_PROTOCOL_ERROR  The answer carried no value; the byte keeps
                              its contents.
  @retval Other               The transport's status or the completion code.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL GetValue (IN OUT Operation &Op);

/**
  Writes the caller's value with command 10h.

  @retval EFI_SUCCESS               The BMC took the value.
  @retval EFI_BMC_MODE_UNSUPPORTED  The transport answered EFI_UNSUPPORTED:
                                    the BMC refuses the value in its present
                                    operating mode.
  @retval Other                     The transport's status or the completion
                                    code.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL SetValue (IN OUT Operation &Op);

//
// Command 62h with the flag as one byte, 01h for any non-zero argument;
// the transport's status or the completion code.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL SetFlag (IN OUT Operation &Op);

//
// A region transfer of length 0 is EFI_BAD_BUFFER_SIZE before the guard:
// an empty transfer never consults the BMC's health.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL CheckRegionLength (IN OUT Operation &Op);

/**
  RegionRead or RegionWrite, by Spec.Command: the length in chunks of
  BMC_CHUNK_SIZE under one guard, chunk i at the region's Offset + 224 * i
  (wrapping at 64 KiB) and at 224 * i in the caller's buffer.

  @retval EFI_SUCCESS  Every chunk was answered; the length holds the bytes
                       moved, a read's no more than each chunk asked for.
  @retval Other        The first failed chunk's status; the length is not
                       written.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL TransferRegion (IN OUT Operation &Op);

/**
  Reports the stage, argument 0, to the BMC already selected: command C3h
  under a guard of its own, then the BMC's progress mailbox through the
  CPU I/O PPI, written even when the guard kept the command back.

  @retval EFI_SUCCESS    The last mailbox write succeeded; the command's
                         outcome reaches only the transport's bookkeeping.
  @retval EFI_NOT_FOUND  A BMC other than BMC 0 has no usable I/O base in
                         the platform's BMC information HOB.
  @retval Other          The last mailbox write's status.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ReportStage (IN OUT Operation &Op);

/**
  Every writer of command 1Ch: a value write of Spec.Variant bytes, or the
  state write of SetOem1CState (Variant OEM_1C_STATE_WRITE). Sent again,
  back to back, while the transport answers EFI_BMC_RETRY (3 sends) or,
  once it has answered EFI_NOT_READY, up to 15 sends in all.

  @retval EFI_SUCCESS    The BMC took the write.
  @retval EFI_BMC_RETRY  The transport was still not ready after the last
                         send.
  @retval Other          The transport's error or the completion code.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL WriteOem1C (IN OUT Operation &Op);

//
// The 1Ch state is 0 or 1; any other value is EFI_INVALID_PARAMETER before
// the guard.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL CheckState (IN OUT Operation &Op);

/**
  Reads the 1Ch state as a step of its own, then writes the new state
  under a guard of its own unless the BMC already holds it; a failed read
  does not stop the write.

  @retval EFI_SUCCESS  The BMC holds the state, read or written.
  @retval Other        WriteOem1C's status.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL SetStateUnlessHeld (IN OUT Operation &Op);

/**
  Reads the 1Ch state into the caller's UINT32.

  @retval EFI_SUCCESS         The state was stored.
  @retval EFI_PROTOCOL_ERROR  The answer carried no state; the caller's
                              value is left as it was.
  @retval Other               The transport's status or the completion code.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ReadState (IN OUT Operation &Op);

/**
  Reads or writes a setting of the BMC's settings store, by Spec.Variant:
  a built-in setting by selector or one the caller describes. The selector
  and descriptor are judged after phase 0, so an unusable BMC is reported
  as such whatever they hold.

  @retval EFI_SUCCESS              The store answered with success; a read's
                                   value is stored.
  @retval EFI_INVALID_PARAMETER    An unknown selector, a write-only setting
                                   read, a missing or out-of-range
                                   descriptor; nothing sent, no phase 1.
  @retval EFI_BAD_BUFFER_SIZE      A write's record longer than 243 bytes;
                                   nothing sent, no phase 1.
  @retval EFI_PROTOCOL_ERROR       No status byte, or a read's value cut
                                   short; the value is left as it was.
  @retval EFI_BMC_UNEXPECTED_CODE  A status byte the store does not define.
  @retval Other                    The store's status mapped to its EFI
                                   status, or the transport's.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ExchangeSetting (IN OUT Operation &Op);

}  // namespace Oskel
