/** @file
  Single-exchange OEM commands C1h, C2h, 20h, 10h and 62h.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/CommonExchanges.h"
#include "../Dispatch/Dispatch.h"

using namespace Oskel;

namespace {

//
// Commands C2h and 20h carry two bytes each way in the caller's buffer.
//
constexpr UINT8  OEM_EXCHANGE_LENGTH = 2;

//
// Values command 10h accepts.
//
constexpr UINT8  OEM_10_VALUE_MAX = 3;

//
// Buffer in, answer out over it. Length is the caller's in/out count
// (command 20h) or NULL when the count is not returned (command C2h).
//
struct InPlaceArgs {
  UINT8    *Buffer;
  UINT8    *Length;
};

struct ValueArgs {
  UINT8    *Value;
};

struct FlagArgs {
  BOOLEAN    Enable;
};

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
CheckC2Buffer (
  IN OUT Operation  &Op
  )
{
  return AnyNull (Op.ArgsAs<InPlaceArgs>().Buffer) ? EFI_INVALID_PARAMETER : EFI_SUCCESS;
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
Check20Buffer (
  IN OUT Operation  &Op
  )
{
  CONST InPlaceArgs  &Args = Op.ArgsAs<InPlaceArgs>();

  if (AnyNull (Args.Buffer, Args.Length) || (*Args.Length != OEM_EXCHANGE_LENGTH)) {
    return EFI_INVALID_PARAMETER;
  }

  return EFI_SUCCESS;
}

//
// The transport reads the request out of Buffer before it writes the answer
// over it. Under broadcast the next BMC is sent what this one answered. The
// count handed back never exceeds the two bytes the buffer is known to hold.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
ExchangeInPlace (
  IN OUT Operation  &Op
  )
{
  CONST InPlaceArgs  &Args    = Op.ArgsAs<InPlaceArgs>();
  UINT8              Received = OEM_EXCHANGE_LENGTH;
  EFI_STATUS         Status;

  Status = Send (Op, Op.Spec->NetFn, Op.Spec->Command, Args.Buffer, OEM_EXCHANGE_LENGTH, Args.Buffer, &Received);
  if (Args.Length != nullptr) {
    *Args.Length = (Received < OEM_EXCHANGE_LENGTH) ? Received : OEM_EXCHANGE_LENGTH;
  }

  return Status;
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
CheckValue (
  IN OUT Operation  &Op
  )
{
  return AnyNull (Op.ArgsAs<ValueArgs>().Value) ? EFI_INVALID_PARAMETER : EFI_SUCCESS;
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
CheckNewValue (
  IN OUT Operation  &Op
  )
{
  CONST UINT8  *Value = Op.ArgsAs<ValueArgs>().Value;

  return (AnyNull (Value) || (*Value > OEM_10_VALUE_MAX)) ? EFI_INVALID_PARAMETER : EFI_SUCCESS;
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
GetValue (
  IN OUT Operation  &Op
  )
{
  return QueryScratchByte (Op, 0, Op.ArgsAs<ValueArgs>().Value);
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
SetValue (
  IN OUT Operation  &Op
  )
{
  EFI_STATUS  Status;
  WireWriter  Request (Op.Scratch (), BMC_SCRATCH_BUFFER_SIZE);

  Request.Byte (*Op.ArgsAs<ValueArgs>().Value);
  Status = SendScratch (Op, Op.Spec->NetFn, Op.Spec->Command, Request.Length (), 0, nullptr);

  //
  // The BMC refuses the value in its present operating mode; callers tell
  // that apart from a transport that lacks the command.
  //
  return (Status == EFI_UNSUPPORTED) ? EFI_BMC_MODE_UNSUPPORTED : Status;
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
SetFlag (
  IN OUT Operation  &Op
  )
{
  UINT8  Request  = (Op.ArgsAs<FlagArgs>().Enable != 0) ? 1 : 0;
  UINT8  Capacity = 0;

  return Send (Op, Op.Spec->NetFn, Op.Spec->Command, &Request, sizeof (Request), nullptr, &Capacity);
}

constexpr OperationSpec  mOemC1QuerySpec = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_QUERY_C1,
  .Check    = CheckCallerBuffer,
  .Exchange = QueryIntoCallerBuffer
};

constexpr OperationSpec  mOemC2ExchangeSpec = {
  .Kind     = DispatchKind::Broadcast,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_EXCHANGE_C2,
  .Check    = CheckC2Buffer,
  .Exchange = ExchangeInPlace
};

constexpr OperationSpec  mOem20ExchangeSpec = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_EXCHANGE_20,
  .Check    = Check20Buffer,
  .Exchange = ExchangeInPlace
};

constexpr OperationSpec  mGetOem10ValueSpec = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_VALUE_10,
  .Check    = CheckValue,
  .Exchange = GetValue
};

constexpr OperationSpec  mSetOem10ValueSpec = {
  .Kind     = DispatchKind::Broadcast,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_VALUE_10,
  .Check    = CheckNewValue,
  .Exchange = SetValue
};

constexpr OperationSpec  mSetOem62FlagSpec = {
  .Kind     = DispatchKind::Broadcast,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_FLAG_62,
  .Exchange = SetFlag
};

}  // namespace

extern "C" EFI_STATUS EFIAPI
OemC1Query (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  OUT UINT8                  *Response,
  IN OUT UINT8               *ResponseLength,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST CallerBufferArgs  Args = { Response, ResponseLength };

  return Dispatch (mOemC1QuerySpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
OemC2Exchange (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN OUT UINT8               *Buffer,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST InPlaceArgs  Args = { Buffer, nullptr };

  return Dispatch (mOemC2ExchangeSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
Oem20Exchange (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN OUT UINT8               *Buffer,
  IN OUT UINT8               *Length,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST InPlaceArgs  Args = { Buffer, Length };

  return Dispatch (mOem20ExchangeSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
GetOem10Value (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  OUT UINT8                  *Value,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST ValueArgs  Args = { Value };

  return Dispatch (mGetOem10ValueSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
SetOem10Value (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   *Value,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST ValueArgs  Args = { Value };

  return Dispatch (mSetOem10ValueSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
SetOem62Flag (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN BOOLEAN                 Enable,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST FlagArgs  Args = { Enable };

  return Dispatch (mSetOem62FlagSpec, PeiServices, This, BmcInstance, Force, &Args);
}
