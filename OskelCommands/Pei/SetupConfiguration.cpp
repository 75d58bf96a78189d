/** @file
  Boot-time configuration from the Setup variable.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "BmcCommandsPei.h"

namespace Oskel {

EFI_STATUS
ApplySetupConfiguration (
  IN CONST EFI_PEI_SERVICES  **PeiServices
  )
{
  (VOID)PeiServices;
  return EFI_UNSUPPORTED;
}

}  // namespace Oskel
