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

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL Check20Length (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ExchangeInPlace (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL CheckNewValue (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL GetValue (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL SetValue (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL SetFlag (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL CheckRegionLength (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL TransferRegion (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ReportStage (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL WriteOem1C (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL CheckState (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL SetStateUnlessHeld (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ReadState (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ExchangeSetting (IN OUT Operation &Op);

}  // namespace Oskel
