/** @file
  The PEI services the module calls through helpers: locating a PPI and
  writing an I/O port.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "PeiServices.h"

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

EFI_STATUS OSKEL_INTERNAL
WriteIoPort8 (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN UINT16                  Port,
  IN UINT8                   Value
  )
{
  EFI_PEI_CPU_IO_PPI  *CpuIo = (*PeiServices)->CpuIo;

  return CpuIo->Io.Write (PeiServices, CpuIo, EfiPeiCpuIoWidthUint8, Port, 1, &Value);
}

}  // namespace Oskel
