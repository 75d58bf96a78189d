/** @file
  OEM command 1Ch family.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/Dispatch.h"
#include "../Dispatch/Pending.h"

using namespace Oskel;

namespace {

struct Oem1CSetWordArgs {
  UINT16  Value;
};

constexpr OperationSpec  mOem1CSetWordSpec = { .Kind = DispatchKind::BmcZeroOnly, .Exchange = PendingExchange };

constexpr OperationSpec  mOem1CClearSpec = { .Kind = DispatchKind::BmcZeroOnly, .Exchange = PendingExchange };

struct SetOem1CStateArgs {
  UINT32  State;
};

constexpr OperationSpec  mSetOem1CStateSpec = { .Kind = DispatchKind::BmcZeroOnly, .Exchange = PendingExchange };

struct GetOem1CStateArgs {
  UINT32  *State;
};

constexpr OperationSpec  mGetOem1CStateSpec = { .Kind = DispatchKind::SingleBmc, .Exchange = PendingExchange };

struct Oem1CSetWordExArgs {
  UINT16  Value;
};

constexpr OperationSpec  mOem1CSetWordExSpec = { .Kind = DispatchKind::BmcZeroOnly, .Exchange = PendingExchange };

}  // namespace

extern "C" EFI_STATUS EFIAPI
Oem1CSetWord (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT16 Value,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST Oem1CSetWordArgs  Args = { Value };

  return Dispatch (mOem1CSetWordSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
Oem1CClear (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  return Dispatch (mOem1CClearSpec, PeiServices, This, BmcInstance, Force, nullptr);
}

extern "C" EFI_STATUS EFIAPI
SetOem1CState (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32 State,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST SetOem1CStateArgs  Args = { State };

  return Dispatch (mSetOem1CStateSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
GetOem1CState (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32 *State,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST GetOem1CStateArgs  Args = { State };

  return Dispatch (mGetOem1CStateSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
Oem1CSetWordEx (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT16 Value,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST Oem1CSetWordExArgs  Args = { Value };

  return Dispatch (mOem1CSetWordExSpec, PeiServices, This, BmcInstance, Force, &Args);
}
