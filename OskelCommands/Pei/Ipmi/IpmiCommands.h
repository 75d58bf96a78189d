/** @file
  The exchanges of the standard IPMI operations, and the argument
  positions that their rows in the operation table name.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include "../Dispatch/Dispatch.h"

namespace Oskel {

//
// Arguments of SendRawCommand and SetSerialMux, in slot order.
//
constexpr UINT8  RAW_NETFN       = 0;
constexpr UINT8  RAW_COMMAND     = 1;
constexpr UINT8  RAW_DATA        = 2;
constexpr UINT8  RAW_DATA_LENGTH = 3;

constexpr UINT8  MUX_CHANNEL = 0;
constexpr UINT8  MUX_SETTING = 1;
constexpr UINT8  MUX_STATUS  = 2;

//
// The checks and exchanges of the standard operations' rows. Each takes
// the operation in progress: its arguments (in the slot's order, above),
// its row, the BMC the dispatch selected and the record whose
// ScratchBuffer it uses.
//

//
// A raw request longer than 243 bytes is EFI_BAD_BUFFER_SIZE before the
// guard: the caller's buffer takes the answer and is sized for that many.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL CheckRawCommand (IN OUT Operation &Op);

/**
  The caller's NetFn, command and request; the answer lands in
  ScratchBuffer so the request stays intact while the transport works, and
  is then copied into the caller's buffer.

  @retval EFI_SUCCESS  Answered; the caller's buffer holds the answer and
                       its count the bytes copied, at most 243 whatever the
                       transport reports.
  @retval Other        The transport's status or the completion code; the
                       caller's buffer and count are left as they were.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ExchangeRawCommand (IN OUT Operation &Op);

/**
  Set Watchdog Timer for BIOS POST, hard reset on expiry, with the
  caller's countdown in 100 ms ticks, then Reset Watchdog Timer, which
  starts it.

  @retval EFI_SUCCESS  Both commands succeeded.
  @retval Other        The first failure; after a failed Set, Reset is not
                       sent.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ArmAndStartWatchdog (IN OUT Operation &Op);

//
// A channel above 15 is EFI_INVALID_PARAMETER before the guard.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL CheckSetSerialMux (IN OUT Operation &Op);

/**
  Set Serial/Modem Mux with the caller's channel and setting.

  @retval EFI_SUCCESS         The mux status byte was stored.
  @retval EFI_PROTOCOL_ERROR  The answer carried no status byte; the
                              caller's byte keeps its contents.
  @retval Other               The transport's status or the completion code.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ExchangeSerialMux (IN OUT Operation &Op);

/**
  Configures console redirection on the BMC the dispatch selected, from
  the caller's SERIAL_CONSOLE_CONFIG: finds the serial channel, sets the
  mux switch option, the volatile and non-volatile access modes, hands a
  shared port to the system, and sets flow control and bit rate. Each
  step runs under a guard of its own and again while the transport
  answers EFI_BMC_RETRY, up to three calls.

  The outcome is the scan's or the mux parameter read's when they fail;
  otherwise the non-volatile access-mode write's when the configuration
  stops there (console off, no mux switch option, or access mode 0);
  otherwise the serial settings write's. Failures of the steps in between
  are left to the BMC.

  @retval EFI_SUCCESS            The step that decides the outcome succeeded.
  @retval EFI_NOT_FOUND          No channel is a serial one.
  @retval EFI_INVALID_PARAMETER  No channel was found before the retries ran
                                 out, or the deciding access-mode write had
                                 a mode above 3.
  @retval EFI_UNSUPPORTED        The BMC refused the access mode.
  @retval Other                  The deciding step's status.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ConfigureSerialConsoleSteps (IN OUT Operation &Op);

}  // namespace Oskel
