/** @file
  The standard IPMI operations: the arguments their exchanges read, the
  exchanges, and every operation's row and wire contract (the form is
  OemCommands.h's; the numbers are IndustryStandard/IpmiNumbers.h's).

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include "../Dispatch/CommonExchanges.h"
#include "../Dispatch/Dispatch.h"

namespace Oskel {

//
// Arguments of SendRawCommand, StartPostWatchdog, ConfigureSerialConsole
// and SetSerialMux.
//
constexpr auto  RAW_NETFN       = ArgumentOf<BMC_COMMANDS_SEND_RAW_COMMAND, 0>;
constexpr auto  RAW_COMMAND     = ArgumentOf<BMC_COMMANDS_SEND_RAW_COMMAND, 1>;
constexpr auto  RAW_DATA        = ArgumentOf<BMC_COMMANDS_SEND_RAW_COMMAND, 2>;
constexpr auto  RAW_DATA_LENGTH = ArgumentOf<BMC_COMMANDS_SEND_RAW_COMMAND, 3>;

constexpr auto  WATCHDOG_COUNTDOWN = ArgumentOf<BMC_COMMANDS_START_POST_WATCHDOG, 0>;

constexpr auto  CONSOLE_CONFIG = ArgumentOf<BMC_COMMANDS_CONFIGURE_SERIAL_CONSOLE, 0>;

constexpr auto  MUX_CHANNEL = ArgumentOf<BMC_COMMANDS_SET_SERIAL_MUX, 0>;
constexpr auto  MUX_SETTING = ArgumentOf<BMC_COMMANDS_SET_SERIAL_MUX, 1>;
constexpr auto  MUX_STATUS  = ArgumentOf<BMC_COMMANDS_SET_SERIAL_MUX, 2>;

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

//
// The standard operations: each slot's row, then its wire contract.
//
constexpr OperationSpec  SendRawCommandRow = {
  .Kind     = DispatchKind::SingleBmc,
  .Required = ArgumentBit (RAW_DATA) | ArgumentBit (RAW_DATA_LENGTH),
  .Check    = CheckRawCommand,
  .Exchange = ExchangeRawCommand
};

constexpr CHAR8  SendRawCommandContract[] =
  "NetFn       06\n"
  "Command     01\n"
  "Data        inout[F3] [AA BB]\n"
  "DataLength  inout 02\n"
  "send 06/01 [AA BB] cap F3 -> [20 81 05]\n"
  "then Data [20 81 05]\n"
  "then DataLength 03\n";

constexpr OperationSpec  GetDeviceIdRow = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = IPMI_NETFN_APP,
  .Command  = IPMI_CMD_GET_DEVICE_ID,
  .Required = CALLER_BUFFER_REQUIRED,
  .Exchange = QueryIntoCallerBuffer
};

constexpr CHAR8  GetDeviceIdContract[] =
  "Response        out[ResponseLength]\n"
  "ResponseLength  inout 10\n"
  "send 06/01 [] cap 10 -> [20 81 05 02]\n"
  "then Response [20 81 05 02]\n"
  "then ResponseLength 04\n";

constexpr OperationSpec  GetSelfTestResultsRow = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = IPMI_NETFN_APP,
  .Command  = IPMI_CMD_GET_SELF_TEST_RESULTS,
  .Required = CALLER_BUFFER_REQUIRED,
  .Exchange = QueryIntoCallerBuffer
};

constexpr CHAR8  GetSelfTestResultsContract[] =
  "Response        out[ResponseLength]\n"
  "ResponseLength  inout 10\n"
  "send 06/04 [] cap 10 -> [55 00]\n"
  "then Response [55 00]\n"
  "then ResponseLength 02\n";

//
// Set Watchdog Timer with the countdown (6000 ticks: ten minutes), then
// Reset Watchdog Timer.
//
constexpr OperationSpec  StartPostWatchdogRow = {
  .Kind     = DispatchKind::Broadcast,
  .NetFn    = IPMI_NETFN_APP,
  .Command  = IPMI_CMD_SET_WATCHDOG_TIMER,
  .Exchange = ArmAndStartWatchdog
};

constexpr CHAR8  StartPostWatchdogContract[] =
  "Countdown  1770\n"
  "send 06/24 [02 01 00 00 70 17] cap 00 -> []\n"
  "send 06/22 [] cap 00 -> []\n";

//
// Steps that keep their own guards, so each judges the BMC afresh. The
// contract's configuration: console on, mux switch option on, shared
// access (mode 3), bit rate index 4, XON/XOFF. Channel 1 is the serial one;
// its access settings read 2Ah 04h.
//
constexpr OperationSpec  ConfigureSerialConsoleRow = {
  .Kind     = DispatchKind::Broadcast,
  .Guarded  = FALSE,
  .Required = ArgumentBit (CONSOLE_CONFIG),
  .Exchange = ConfigureSerialConsoleSteps
};

constexpr CHAR8  ConfigureSerialConsoleContract[] =
  "Config  in [01 01 03 04 00 00 01]\n"
  "send 06/42 [01] cap 09 -> [01 05]\n"
  "send 0C/11 [01 08 00 00] cap E0 -> [11 00 00]\n"
  "send 0C/10 [01 08 00 08] cap 00 -> []\n"
  "send 06/41 [01 80] cap 02 -> [2A 04]\n"
  "send 06/40 [01 AB 04] cap 00 -> []\n"
  "send 06/41 [01 40] cap 02 -> [2A 04]\n"
  "send 06/40 [01 6B 04] cap 00 -> []\n"
  "send 0C/12 [01 01] cap 01 -> [00]\n"
  "send 0C/10 [01 07 40 0A] cap 00 -> []\n";

constexpr OperationSpec  SetSerialMuxRow = {
  .Kind     = DispatchKind::Broadcast,
  .NetFn    = IPMI_NETFN_TRANSPORT,
  .Command  = IPMI_CMD_SET_SERIAL_MODEM_MUX,
  .Required = ArgumentBit (MUX_STATUS),
  .Check    = CheckSetSerialMux,
  .Exchange = ExchangeSerialMux
};

constexpr CHAR8  SetSerialMuxContract[] =
  "Channel     02\n"
  "MuxSetting  03\n"
  "MuxStatus   out\n"
  "send 0C/12 [02 03] cap 01 -> [A0]\n"
  "then MuxStatus A0\n";

}  // namespace Oskel
