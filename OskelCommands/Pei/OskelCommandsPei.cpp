/** @file
  Entry of the BMC command PEIM.

  The PEI foundation calls the entry twice: first while the module executes
  in place from flash, then from the copy it makes in memory once memory is
  installed. Each run builds its own record; the second re-installs the
  service so consumers call into the memory copy.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "BmcCommandsPei.h"
#include "PeiServices.h"

using namespace Oskel;

namespace {

[[nodiscard]] BOOLEAN OSKEL_INTERNAL
AllocationFailed (
  IN EFI_STATUS  Status,
  IN VOID        *Buffer
  )
{
  return EFI_ERROR (Status) || (Buffer == nullptr);
}

}  // namespace

extern "C" EFI_STATUS EFIAPI
OskelCommandsPeiEntryPoint (
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  )
{
  EFI_STATUS              Status;
  BOOLEAN                 Shadowed;
  VOID                    *Transport;
  EFI_PEI_PPI_DESCRIPTOR  *Descriptor;
  EFI_PEI_PPI_DESCRIPTOR  *OldDescriptor;
  BMC_COMMANDS_PRIVATE    *Private;
  VOID                    *Installed;
  UINT8                   AllBmcs;

  (VOID)WriteIoPort8 (PeiServices, POST_CODE_PORT, POST_CODE_BMC_COMMANDS_ENTRY);

  //
  // EFI_ALREADY_STARTED: the foundation is running the memory copy.
  // Any other answer but EFI_NOT_FOUND counts as the first run; if the
  // registration failed the module is simply never re-entered.
  //
  Status = (*PeiServices)->RegisterForShadow (FileHandle);
  if (Status == EFI_NOT_FOUND) {
    return EFI_NOT_FOUND;
  }

  Shadowed = (Status == EFI_ALREADY_STARTED) ? TRUE : FALSE;

  Status = LocateFirstPpi (PeiServices, &mIpmiTransportPpiGuid, &Transport);
  if (EFI_ERROR (Status) || (Transport == nullptr)) {
    return EFI_NOT_FOUND;
  }

  //
  // Pool memory lives until the end of PEI; neither block is ever freed,
  // and the first run's pair stays valid after the second run's replaces it.
  //
  Descriptor = nullptr;
  Status     = (*PeiServices)->AllocatePool (PeiServices, sizeof (*Descriptor), reinterpret_cast<VOID **>(&Descriptor));
  if (AllocationFailed (Status, Descriptor)) {
    return EFI_OUT_OF_RESOURCES;
  }

  Private = nullptr;
  Status  = (*PeiServices)->AllocatePool (PeiServices, sizeof (*Private), reinterpret_cast<VOID **>(&Private));
  if (AllocationFailed (Status, Private)) {
    return EFI_OUT_OF_RESOURCES;
  }

  BuildBmcCommandsRecord (Private, static_cast<IPMI_TRANSPORT_PPI *>(Transport), PeiServices);

  Descriptor->Flags = EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST;
  Descriptor->Guid  = const_cast<EFI_GUID *>(&mBmcCommandsPpiGuid);
  Descriptor->Ppi   = &Private->Interface;

  if (Shadowed) {
    OldDescriptor = nullptr;
    Installed     = nullptr;
    Status        = (*PeiServices)->LocatePpi (PeiServices, &mBmcCommandsPpiGuid, 0, &OldDescriptor, &Installed);
    if (EFI_ERROR (Status) || (OldDescriptor == nullptr)) {
      return EFI_NOT_FOUND;
    }

    Status = (*PeiServices)->ReInstallPpi (PeiServices, OldDescriptor, Descriptor);
    return EFI_ERROR (Status) ? Status : EFI_SUCCESS;
  }

  Status = (*PeiServices)->InstallPpi (PeiServices, Descriptor);
  if (EFI_ERROR (Status)) {
    return Status;
  }

  //
  // First-run duties. Their failures are the BMC's business, not a reason
  // to withdraw the service.
  //
  AllBmcs = ALL_BMCS;
  (VOID)Private->Interface.ReportBootStage (PeiServices, &Private->Interface, BOOT_STAGE_PEI_BMC_COMMANDS, &AllBmcs, FALSE);
  (VOID)ApplySetupConfiguration (PeiServices);
  return EFI_SUCCESS;
}
