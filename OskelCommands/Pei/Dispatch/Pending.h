/** @file
  Worker of the slots whose commands are not yet implemented.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include "Dispatch.h"

namespace Oskel {

inline EFI_STATUS
PendingExchange (
  IN OUT Operation  &Op
  )
{
  (VOID)Op;
  return EFI_UNSUPPORTED;
}

}  // namespace Oskel
