/** @file
  OEM command 1Ch family: the 16-bit value and the on/off state.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/CommonExchanges.h"
#include "../Dispatch/Dispatch.h"

using namespace Oskel;

namespace {

//
// Value writes of sub-function 00h differ only in length: the two-byte
// form clears the value; the four-byte form sets it, most significant byte
// first; the five-byte form sets it with a trailing 00h.
//
constexpr UINT8  OEM_1C_VALUE_CLEAR        = 0x00;
constexpr UINT8  OEM_1C_VALUE_SET          = 0x01;
constexpr UINT8  OEM_1C_CLEAR_LENGTH       = 2;
constexpr UINT8  OEM_1C_SET_WORD_LENGTH    = 4;
constexpr UINT8  OEM_1C_SET_WORD_EX_LENGTH = 5;
constexpr UINT8  OEM_1C_MAX_REQUEST_LENGTH = 5;

constexpr UINT32  OEM_1C_STATE_MAX = 1;

//
// Sends of a writer, back to back: 3 while the transport itself answers
// EFI_BMC_RETRY, 15 in all once it has answered EFI_NOT_READY.
//
constexpr UINT8  OEM_1C_RETRY_LIMIT     = 3;
constexpr UINT8  OEM_1C_NOT_READY_LIMIT = 15;

struct WriteArgs {
  UINT8     Request[OEM_1C_MAX_REQUEST_LENGTH];
  UINT8     Length;
  UINT32    State;    // SetOem1CState: as the caller gave it, checked before it is narrowed
};

struct ReadStateArgs {
  UINT32    *State;
};

//
// The request is rewritten on every attempt: ScratchBuffer is also the
// response buffer of the send before.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
SendRetried (
  IN OUT Operation  &Op
  )
{
  CONST WriteArgs  &Args  = Op.ArgsAs<WriteArgs>();
  EFI_STATUS       Status = EFI_BMC_RETRY;
  UINT8            Limit  = OEM_1C_RETRY_LIMIT;

  for (UINT8 Attempts = 0; (Status == EFI_BMC_RETRY) && (Attempts < Limit); Attempts++) {
    WireWriter  Request (Op.Scratch (), BMC_SCRATCH_BUFFER_SIZE);

    Request.Bytes (Args.Request, Args.Length);
    Status = SendScratch (Op, Op.Spec->NetFn, Op.Spec->Command, Request.Length (), 0, nullptr);
    if (Status == EFI_NOT_READY) {
      Status = EFI_BMC_RETRY;
      Limit  = OEM_1C_NOT_READY_LIMIT;
    }
  }

  return Status;
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
CheckState (
  IN OUT Operation  &Op
  )
{
  return (Op.ArgsAs<WriteArgs>().State > OEM_1C_STATE_MAX) ? EFI_INVALID_PARAMETER : EFI_SUCCESS;
}

//
// The read goes through the record's own slot, so it is dispatched and
// guarded on its own; a failed read does not stop the write.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
SetStateUnlessHeld (
  IN OUT Operation  &Op
  )
{
  EFI_STATUS  Status;
  UINT32      Held = 0;

  Status = Op.This->GetOem1CState (Op.PeiServices, Op.This, &Held, Op.BmcInstance, Op.Force);
  if ((Status == EFI_SUCCESS) && (Held == Op.ArgsAs<WriteArgs>().State)) {
    return EFI_SUCCESS;
  }

  return RunGuarded (Op, SendRetried);
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
CheckStatePointer (
  IN OUT Operation  &Op
  )
{
  return AnyNull (Op.ArgsAs<ReadStateArgs>().State) ? EFI_INVALID_PARAMETER : EFI_SUCCESS;
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
ReadState (
  IN OUT Operation  &Op
  )
{
  EFI_STATUS  Status;
  UINT8       State = 0;
  WireWriter  Request (Op.Scratch (), BMC_SCRATCH_BUFFER_SIZE);

  Request.Byte (OEM_1C_GET_STATE);
  Status = QueryScratchByte (Op, Request.Length (), &State);
  if (Status == EFI_SUCCESS) {
    *Op.ArgsAs<ReadStateArgs>().State = State;
  }

  return Status;
}

constexpr OperationSpec  mWriteValueSpec = {
  .Kind     = DispatchKind::BmcZeroOnly,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_1C,
  .Exchange = SendRetried
};

constexpr OperationSpec  mSetOem1CStateSpec = {
  .Kind     = DispatchKind::BmcZeroOnly,
  .Guarded  = FALSE,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_1C,
  .Check    = CheckState,
  .Exchange = SetStateUnlessHeld
};

constexpr OperationSpec  mGetOem1CStateSpec = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_1C,
  .Check    = CheckStatePointer,
  .Exchange = ReadState
};

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
WriteValue (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT16                  Value,
  IN UINT8                   Length,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  UINT8      Action = (Length > OEM_1C_CLEAR_LENGTH) ? OEM_1C_VALUE_SET : OEM_1C_VALUE_CLEAR;
  WriteArgs  Args   = { { OEM_1C_WRITE_VALUE, Action, 0x00, 0x00, 0x00 }, Length, 0 };

  WireWriter (&Args.Request[2], sizeof (Value)).Uint16 (Value, ByteOrder::BigEndian);
  return Dispatch (mWriteValueSpec, PeiServices, This, BmcInstance, Force, &Args);
}

}  // namespace

extern "C" EFI_STATUS EFIAPI
Oem1CSetWord (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT16                  Value,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  return WriteValue (PeiServices, This, Value, OEM_1C_SET_WORD_LENGTH, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
Oem1CClear (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  return WriteValue (PeiServices, This, 0, OEM_1C_CLEAR_LENGTH, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
SetOem1CState (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32                  State,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  //
  // The three bytes after the state are fixed by the BMC's command format.
  //
  CONST WriteArgs  Args = {
    { OEM_1C_SET_STATE, static_cast<UINT8>(State), 0x00, 0x00, 0x01 },
    OEM_1C_MAX_REQUEST_LENGTH,
    State
  };

  return Dispatch (mSetOem1CStateSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
GetOem1CState (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  OUT UINT32                 *State,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST ReadStateArgs  Args = { State };

  return Dispatch (mGetOem1CStateSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
Oem1CSetWordEx (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT16                  Value,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  return WriteValue (PeiServices, This, Value, OEM_1C_SET_WORD_EX_LENGTH, BmcInstance, Force);
}
