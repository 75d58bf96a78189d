/** @file
  Locating the first instance of a PPI.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "PpiLocation.h"

namespace Oskel {

EFI_STATUS OSKEL_INTERNAL
LocateFirstPpi (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN CONST EFI_GUID          *Guid,
  OUT VOID                   **Ppi
  )
{
  *Ppi = nullptr;
  return (*PeiServices)->LocatePpi (PeiServices, Guid, 0, nullptr, Ppi);
}

}  // namespace Oskel
