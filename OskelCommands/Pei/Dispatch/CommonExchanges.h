/** @file
  Exchanges shared by operations of the same shape.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include "Dispatch.h"

namespace Oskel {

//
// Arguments of an operation whose whole answer lands in the caller's
// buffer.
//
constexpr UINT8  CALLER_BUFFER_RESPONSE        = 0;
constexpr UINT8  CALLER_BUFFER_RESPONSE_LENGTH = 1;
constexpr UINT8  CALLER_BUFFER_REQUIRED        = ArgumentBit (CALLER_BUFFER_RESPONSE) | ArgumentBit (CALLER_BUFFER_RESPONSE_LENGTH);

//
// Spec.Command without request data, its whole answer in the caller's
// buffer with the caller's capacity; the received count goes back to the
// caller exactly as the transport reports it.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
QueryIntoCallerBuffer (
  IN OUT Operation  &Op
  );

//
// Spec.Command with the first RequestLength bytes of ScratchBuffer as its
// request, answered with one data byte. On EFI_SUCCESS *Value receives that
// byte; an answer without it is EFI_PROTOCOL_ERROR and *Value keeps its
// contents, so a byte left over from an earlier exchange is never passed off
// as the BMC's.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
QueryScratchByte (
  IN OUT Operation  &Op,
  IN UINT8          RequestLength,
  OUT UINT8         *Value
  );

}  // namespace Oskel
