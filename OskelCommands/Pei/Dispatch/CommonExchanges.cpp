/** @file
  Exchanges shared by operations of the same shape.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "CommonExchanges.h"

namespace Oskel {

EFI_STATUS OSKEL_INTERNAL
QueryIntoCallerBuffer (
  IN OUT Operation  &Op
  )
{
  //
  // The transport writes at most *ResponseLength bytes into the caller's
  // own buffer; nothing passes through ScratchBuffer.
  //
  return Send (
           Op,
           NetFnCommand (Op.Spec->NetFn, Op.Spec->Command),
           nullptr,
           0,
           Op.Get (CALLER_BUFFER_RESPONSE),
           Op.Get (CALLER_BUFFER_RESPONSE_LENGTH)
           );
}

EFI_STATUS OSKEL_INTERNAL
QueryScratchByte (
  IN OUT Operation  &Op,
  IN UINT8          RequestLength,
  OUT UINT8         *Value
  )
{
  EFI_STATUS  Status = SpecExchange (Op, { .RequestLength = RequestLength, .Capacity = 1, .Minimum = 1 });

  if (Status == EFI_SUCCESS) {
    *Value = Op.Scratch ()[0];
  }

  return Status;
}

}  // namespace Oskel
