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
// buffer, named as Get Device ID declares them: every slot of this shape
// (OemC1Query, GetDeviceId, GetSelfTestResults) takes the same two.
//
constexpr auto   CALLER_BUFFER_RESPONSE        = ArgumentOf<BMC_COMMANDS_GET_DEVICE_ID, 0>;
constexpr auto   CALLER_BUFFER_RESPONSE_LENGTH = ArgumentOf<BMC_COMMANDS_GET_DEVICE_ID, 1>;
constexpr UINT8  CALLER_BUFFER_REQUIRED        = ArgumentBit (CALLER_BUFFER_RESPONSE) | ArgumentBit (CALLER_BUFFER_RESPONSE_LENGTH);

/**
  Spec.Command without request data, its whole answer in the caller's
  buffer with the caller's capacity; the received count goes back to the
  caller exactly as the transport reports it.

  @param[in, out] Op  The operation; arguments CALLER_BUFFER_RESPONSE and
                      CALLER_BUFFER_RESPONSE_LENGTH are the caller's.

  @return The transport's status or the completion code.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
QueryIntoCallerBuffer (
  IN OUT Operation  &Op
  );

/**
  Spec.Command with the first RequestLength bytes of ScratchBuffer as its
  request, answered with one data byte.

  @param[in, out] Op             The operation in progress.
  @param[in]      RequestLength  Request bytes already in ScratchBuffer.
  @param[out]     Value          Receives the byte, on success alone.

  @retval EFI_SUCCESS         *Value holds the BMC's byte.
  @retval EFI_PROTOCOL_ERROR  The answer carried no byte; *Value keeps its
                              contents, so a byte left over from an earlier
                              exchange is never passed off as the BMC's.
  @retval Other               The transport's status or the completion code.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
QueryScratchByte (
  IN OUT Operation  &Op,
  IN UINT8          RequestLength,
  OUT UINT8         *Value
  );

}  // namespace Oskel
