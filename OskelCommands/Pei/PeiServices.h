/** @file
  The PEI services the module calls through helpers: locating the first
  instance of a PPI, as every run does for the transport, the variable
  service and its own service, and writing one byte to an I/O port, as
  the entry's POST code and the boot stage mailbox do.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include <PiPei.h>

#include <OskelCompiler.h>

namespace Oskel {

/**
  LocatePpi of instance 0 of Guid, without its descriptor.

  @param[in]  PeiServices  The PEI services table.
  @param[in]  Guid         The PPI wanted.
  @param[out] Ppi          The interface; NULL unless the PEI foundation
                           hands one back.

  @return LocatePpi's status. A caller checks *Ppi as well: only a
          conforming foundation pairs success with an interface.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
LocateFirstPpi (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN CONST EFI_GUID          *Guid,
  OUT VOID                   **Ppi
  );

/**
  One byte to an I/O port through the CPU I/O PPI of the services table.

  @param[in] PeiServices  The PEI services table.
  @param[in] Port         The port.
  @param[in] Value        The byte.

  @return The CPU I/O PPI's status.
**/
EFI_STATUS OSKEL_INTERNAL
WriteIoPort8 (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN UINT16                  Port,
  IN UINT8                   Value
  );

}  // namespace Oskel
