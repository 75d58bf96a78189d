/** @file
  The exchanges of the standard IPMI operations, and the argument
  positions that their rows in the operation table name.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include "../Dispatch/Dispatch.h"

namespace Oskel {

//
// Arguments of SendRawCommand and SetSerialMux, in slot order.
//
constexpr UINT8  RAW_NETFN       = 0;
constexpr UINT8  RAW_COMMAND     = 1;
constexpr UINT8  RAW_DATA        = 2;
constexpr UINT8  RAW_DATA_LENGTH = 3;

constexpr UINT8  MUX_CHANNEL = 0;
constexpr UINT8  MUX_SETTING = 1;
constexpr UINT8  MUX_STATUS  = 2;

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL CheckRawCommand (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ExchangeRawCommand (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ArmAndStartWatchdog (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL CheckSetSerialMux (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ExchangeSerialMux (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ConfigureSerialConsoleSteps (IN OUT Operation &Op);

}  // namespace Oskel
