/** @file
  Single-exchange OEM commands C1h, C2h, 20h, 10h and 62h.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/Dispatch.h"
#include "../Dispatch/Pending.h"

using namespace Oskel;

namespace {

struct OemC1QueryArgs {
  UINT8  *Response;
  UINT8  *ResponseLength;
};

constexpr OperationSpec  mOemC1QuerySpec = { .Kind = DispatchKind::SingleBmc, .Exchange = PendingExchange };

struct OemC2ExchangeArgs {
  UINT8  *Buffer;
};

constexpr OperationSpec  mOemC2ExchangeSpec = { .Kind = DispatchKind::Broadcast, .Exchange = PendingExchange };

struct Oem20ExchangeArgs {
  UINT8  *Buffer;
  UINT8  *Length;
};

constexpr OperationSpec  mOem20ExchangeSpec = { .Kind = DispatchKind::SingleBmc, .Exchange = PendingExchange };

struct GetOem10ValueArgs {
  UINT8  *Value;
};

constexpr OperationSpec  mGetOem10ValueSpec = { .Kind = DispatchKind::SingleBmc, .Exchange = PendingExchange };

struct SetOem10ValueArgs {
  UINT8  *Value;
};

constexpr OperationSpec  mSetOem10ValueSpec = { .Kind = DispatchKind::Broadcast, .Exchange = PendingExchange };

struct SetOem62FlagArgs {
  BOOLEAN  Enable;
};

constexpr OperationSpec  mSetOem62FlagSpec = { .Kind = DispatchKind::Broadcast, .Exchange = PendingExchange };

}  // namespace

extern "C" EFI_STATUS EFIAPI
OemC1Query (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8 *Response,
  IN UINT8 *ResponseLength,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST OemC1QueryArgs  Args = { Response, ResponseLength };

  return Dispatch (mOemC1QuerySpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
OemC2Exchange (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8 *Buffer,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST OemC2ExchangeArgs  Args = { Buffer };

  return Dispatch (mOemC2ExchangeSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
Oem20Exchange (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8 *Buffer,
  IN UINT8 *Length,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST Oem20ExchangeArgs  Args = { Buffer, Length };

  return Dispatch (mOem20ExchangeSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
GetOem10Value (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8 *Value,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST GetOem10ValueArgs  Args = { Value };

  return Dispatch (mGetOem10ValueSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
SetOem10Value (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8 *Value,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST SetOem10ValueArgs  Args = { Value };

  return Dispatch (mSetOem10ValueSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
SetOem62Flag (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN BOOLEAN Enable,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST SetOem62FlagArgs  Args = { Enable };

  return Dispatch (mSetOem62FlagSpec, PeiServices, This, BmcInstance, Force, &Args);
}
