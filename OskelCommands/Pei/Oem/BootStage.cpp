/** @file
  Boot stage report and progress mailbox.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/Dispatch.h"

using namespace Oskel;

extern "C" EFI_STATUS EFIAPI
ReportBootStage (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   Stage,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  (VOID)PeiServices;
  (VOID)This;
  (VOID)Stage;
  (VOID)BmcInstance;
  (VOID)Force;
  return EFI_UNSUPPORTED;
}

extern "C" EFI_STATUS EFIAPI
ReportBootStageSecondary (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This
  )
{
  (VOID)PeiServices;
  (VOID)This;
  return EFI_UNSUPPORTED;
}
