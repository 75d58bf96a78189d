/** @file
  BMC settings store, OEM command C4h.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/Dispatch.h"
#include "../Dispatch/Pending.h"

using namespace Oskel;

namespace {

struct ReadBmcSettingArgs {
  UINT8                           Selector;
  VOID                          *Value;
  CONST BMC_SETTING_DESCRIPTOR  *Descriptor;
};

constexpr OperationSpec  mReadBmcSettingSpec = { .Kind = DispatchKind::SingleBmc, .Exchange = PendingExchange };

struct WriteBmcSettingArgs {
  UINT8                           Selector;
  BOOLEAN                         WriteFlag;
  CONST VOID                    *Value;
  CONST BMC_SETTING_DESCRIPTOR  *Descriptor;
};

constexpr OperationSpec  mWriteBmcSettingSpec = { .Kind = DispatchKind::Broadcast, .Exchange = PendingExchange };

}  // namespace

extern "C" EFI_STATUS EFIAPI
ReadBmcSetting (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8 Selector,
  IN VOID *Value,
  IN CONST BMC_SETTING_DESCRIPTOR *Descriptor,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST ReadBmcSettingArgs  Args = { Selector, Value, Descriptor };

  return Dispatch (mReadBmcSettingSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
WriteBmcSetting (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8 Selector,
  IN BOOLEAN WriteFlag,
  IN CONST VOID *Value,
  IN CONST BMC_SETTING_DESCRIPTOR *Descriptor,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST WriteBmcSettingArgs  Args = { Selector, WriteFlag, Value, Descriptor };

  return Dispatch (mWriteBmcSettingSpec, PeiServices, This, BmcInstance, Force, &Args);
}
