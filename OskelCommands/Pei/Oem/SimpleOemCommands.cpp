/** @file
  Single-exchange OEM commands C1h, C2h, 20h, 10h and 62h.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/CommonExchanges.h"
#include "../Dispatch/Dispatch.h"
#include "OemCommands.h"

using namespace Oskel;

namespace {

//
// Commands C2h and 20h carry two bytes each way.
//
constexpr UINT8  OEM_EXCHANGE_LENGTH = 2;

//
// Values command 10h accepts; the value is argument 0, by pointer.
//
constexpr UINT8  OEM_10_VALUE_MAX = 3;

}  // namespace

namespace Oskel {

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
Check20Length (
  IN OUT Operation  &Op
  )
{
  return (*Op.Get (IN_PLACE_LENGTH) != OEM_EXCHANGE_LENGTH) ? EFI_INVALID_PARAMETER : EFI_SUCCESS;
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
  UINT8       *Buffer  = Op.Get (IN_PLACE_BUFFER);
  UINT8       Received = OEM_EXCHANGE_LENGTH;
  EFI_STATUS  Status;

  Status = Send (Op, NetFnCommand (Op.Spec->NetFn, Op.Spec->Command), Buffer, OEM_EXCHANGE_LENGTH, Buffer, &Received);
  if (Op.Spec->Arguments > IN_PLACE_LENGTH.Index) {
    *Op.Get (IN_PLACE_LENGTH) = (Received < OEM_EXCHANGE_LENGTH) ? Received : OEM_EXCHANGE_LENGTH;
  }

  return Status;
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
CheckNewValue (
  IN OUT Operation  &Op
  )
{
  return (*Op.Get (SET_10_VALUE) > OEM_10_VALUE_MAX) ? EFI_INVALID_PARAMETER : EFI_SUCCESS;
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
GetValue (
  IN OUT Operation  &Op
  )
{
  return QueryScratchByte (Op, 0, Op.Get (GET_10_VALUE));
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
SetValue (
  IN OUT Operation  &Op
  )
{
  EFI_STATUS  Status;

  Op.Scratch ()[0] = *Op.Get (SET_10_VALUE);
  Status           = SpecExchange (Op, { .RequestLength = 1 });

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
  Op.Scratch ()[0] = (Op.Get (FLAG_62) != 0) ? 1 : 0;
  return SpecExchange (Op, { .RequestLength = 1 });
}

}  // namespace Oskel
