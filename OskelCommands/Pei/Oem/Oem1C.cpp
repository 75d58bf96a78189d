/** @file
  OEM command 1Ch family: the 16-bit value and the on/off state.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/CommonExchanges.h"
#include "../Dispatch/Dispatch.h"
#include "../MemoryRoutines.h"
#include "OemCommands.h"

using namespace Oskel;

namespace {

//
// Byte 1 of a value write, and the longest request of the family.
//
constexpr UINT8  OEM_1C_VALUE_CLEAR        = 0x00;
constexpr UINT8  OEM_1C_VALUE_SET          = 0x01;
constexpr UINT8  OEM_1C_MAX_REQUEST_LENGTH = 5;

constexpr UINT32  OEM_1C_STATE_MAX     = 1;
constexpr UINT8   OEM_1C_STATE_TRAILER = 0x01;  // last byte of a state write

//
// Sends of a writer, back to back: 3 while the transport itself answers
// EFI_BMC_RETRY, 15 in all once it has answered EFI_NOT_READY.
//
constexpr UINT8  OEM_1C_RETRY_LIMIT     = 3;
constexpr UINT8  OEM_1C_NOT_READY_LIMIT = 15;

}  // namespace

namespace Oskel {

//
// Every writer of the family: Spec.Variant is the length of a value write,
// or 0 for the state write of SetOem1CState, whose three bytes after the
// state are fixed by the BMC's command format. Oem1CClear has no value
// argument. The request is written again on every attempt: ScratchBuffer
// is also the response buffer of the send before.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
WriteOem1C (
  IN OUT Operation  &Op
  )
{
  UINT8       Length = Op.Spec->Variant;
  UINT8       Request[OEM_1C_MAX_REQUEST_LENGTH] = {
    OEM_1C_WRITE_VALUE,
    (Length > OEM_1C_CLEAR_LENGTH) ? OEM_1C_VALUE_SET : OEM_1C_VALUE_CLEAR,
    0x00,
    0x00,
    0x00
  };
  EFI_STATUS  Status = EFI_BMC_RETRY;
  UINT8       Limit  = OEM_1C_RETRY_LIMIT;

  if (Length == OEM_1C_STATE_WRITE) {
    Request[0] = OEM_1C_SET_STATE;
    Request[1] = static_cast<UINT8>(Op.Get (OEM_1C_STATE));
    Request[4] = OEM_1C_STATE_TRAILER;
    Length     = OEM_1C_MAX_REQUEST_LENGTH;
  } else if (Op.Spec->Arguments != 0) {
    PutUint16Be (&Request[2], Op.Get (OEM_1C_VALUE));
  }

  for (UINT8 Attempts = 0; (Status == EFI_BMC_RETRY) && (Attempts < Limit); Attempts++) {
    CopyMem (Op.Scratch (), Request, Length);
    Status = SpecExchange (Op, { .RequestLength = Length });
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
  return (Op.Get (OEM_1C_STATE) > OEM_1C_STATE_MAX) ? EFI_INVALID_PARAMETER : EFI_SUCCESS;
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
ReadState (
  IN OUT Operation  &Op
  )
{
  EFI_STATUS  Status;
  UINT8       State = 0;

  Op.Scratch ()[0] = OEM_1C_GET_STATE;
  Status           = QueryScratchByte (Op, 1, &State);
  if (Status == EFI_SUCCESS) {
    *Op.Get (OEM_1C_STATE_OUT) = State;
  }

  return Status;
}

//
// The read is a step dispatched and guarded on its own; a failed read does
// not stop the write.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
SetStateUnlessHeld (
  IN OUT Operation  &Op
  )
{
  EFI_STATUS   Status;
  UINT32       Held   = 0;
  CONST UINTN  Read[] = { reinterpret_cast<UINTN>(&Held) };

  Status = DispatchStep (Op, OPERATION (GetOem1CState), Read);
  if ((Status == EFI_SUCCESS) && (Held == Op.Get (OEM_1C_STATE))) {
    return EFI_SUCCESS;
  }

  return RunGuarded (Op, WriteOem1C);
}

}  // namespace Oskel
