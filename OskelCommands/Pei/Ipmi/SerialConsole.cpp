/** @file
  Serial channel and console redirection.

  ConfigureSerialConsole is a sequence of steps, each a guarded exchange of
  its own, so the BMC's health is judged afresh before every step. The steps
  run on the BMC the slot's dispatch selected and select none themselves.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/CommonExchanges.h"
#include "../Dispatch/Dispatch.h"
#include "IpmiCommands.h"

using namespace Oskel;

namespace {

//
// A step answered EFI_BMC_RETRY by the transport is called again, up to this
// many calls in all, without delay: the transport owns the timing.
//
constexpr UINT8  mStepTries = 3;

//
// Requests for the mux to go to the system side until the BMC reports it
// released.
//
constexpr UINT8  mMuxHandOverTries = 5;

//
// Bit 4 of the medium type is not compared, so 15h counts as serial too.
//
constexpr UINT8  mMediumTypeCompareMask = 0xEF;

constexpr UINT8  mChannelInfoCapacity       = 9;
constexpr UINT8  mSerialParameterCapacity   = 224;
constexpr UINT8  mChannelAccessCapacity     = 2;

//
// Completion codes 80h..83h of Set Serial/Modem Configuration, in order,
// as the EFI statuses a caller can act on; Get Serial/Modem Configuration
// maps 80h alone. Channel access maps 82h and 83h, of the Get as well as
// the Set request. Any other code passes through unchanged.
//
constexpr UINT8  mSerialParameterCodes[] = {
  StatusCode (EFI_UNSUPPORTED),      // 80h parameter not supported
  StatusCode (EFI_ALREADY_STARTED),  // 81h set in progress
  StatusCode (EFI_ACCESS_DENIED),    // 82h read-only parameter
  StatusCode (EFI_ACCESS_DENIED)     // 83h write-only parameter
};

//
// A read hands back both data bytes of the parameter, one by one.
//
static_assert (IPMI_SERIAL_PARAMETER_DATA_LENGTH == 2, "two data bytes");

constexpr UINT8  mGetSerialParameterCodes = 1;
constexpr UINT8  mSetSerialParameterCodes = sizeof (mSerialParameterCodes);

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
MapSerialParameterCode (
  IN EFI_STATUS  Status,
  IN UINT8       Count
  )
{
  if ((Status >= IPMI_CC_PARAMETER_NOT_SUPPORTED) && (Status - IPMI_CC_PARAMETER_NOT_SUPPORTED < Count)) {
    return StatusFromCode (mSerialParameterCodes[Status - IPMI_CC_PARAMETER_NOT_SUPPORTED]);
  }

  return Status;
}

//
// The arguments of every step. The scan leaves the channel it found in
// Data[0]; the parameter steps read or write the two data bytes.
//
struct StepArgs {
  UINT8    Channel;
  UINT8    Selector;   // the serial parameter, or the channel access selector
  UINT8    Mode;       // the channel access mode
  UINT8    Command;    // Get or Set Serial/Modem Configuration
  UINT8    *Data;
};

//
// One guard around the whole scan. A channel whose query fails is skipped;
// when none is serial, the result is the last query's failure, or
// EFI_NOT_FOUND when that query succeeded.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
ScanForSerialChannel (
  IN OUT Operation  &Op
  )
{
  UINT8       *Answer = Op.Scratch ();
  EFI_STATUS  Status  = EFI_NOT_FOUND;

  //
  // An answer without the medium type counts as a failed query.
  //
  for (UINT8 Number = IPMI_SERIAL_CHANNEL_SCAN_FIRST; Number <= IPMI_SERIAL_CHANNEL_SCAN_LAST; Number++) {
    Answer[0] = Number;
    Status    = ScratchExchange (Op, NetFnCommand (IPMI_NETFN_APP, IPMI_CMD_GET_CHANNEL_INFO), { .RequestLength = 1, .Capacity = mChannelInfoCapacity, .Minimum = 2 });
    if (Status != EFI_SUCCESS) {
      continue;
    }

    if ((Answer[1] & mMediumTypeCompareMask) == IPMI_CHANNEL_MEDIUM_ASYNC_SERIAL) {
      Op.ArgsAs<StepArgs>().Data[0] = Answer[0];
      return EFI_SUCCESS;
    }
  }

  return (Status == EFI_SUCCESS) ? EFI_NOT_FOUND : Status;
}

//
// Get or Set Serial/Modem Configuration of parameter Selector, by Command.
// Both requests carry the channel, the parameter and two more bytes: the
// data of a Set, the set and block selectors (0) of a Get, whose channel
// byte has bit 7 clear to ask for the data and not only the revision. The
// answer of a Get is the parameter revision, then the data; fewer than the
// two data bytes of Mux Switch Control is a broken answer and nothing is
// copied, so the caller never writes back a parameter it did not read.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
SerialModemParameter (
  IN OUT Operation  &Op
  )
{
  CONST StepArgs  &Args    = Op.ArgsAs<StepArgs>();
  CONST BOOLEAN   Reading  = (Args.Command == IPMI_CMD_GET_SERIAL_MODEM_CONFIG);
  UINT8           *Request = Op.Scratch ();
  EFI_STATUS      Status;

  Request[0] = Args.Channel;
  Request[1] = Args.Selector;
  Request[2] = Args.Data[0];
  Request[3] = Args.Data[1];
  Status     = ScratchExchange (
                 Op,
                 NetFnCommand (IPMI_NETFN_TRANSPORT, Args.Command),
                 {
                   .RequestLength = 4,
                   .Capacity      = Reading ? mSerialParameterCapacity : UINT8 (0),
                   .Minimum       = Reading ? UINT8 (1 + IPMI_SERIAL_PARAMETER_DATA_LENGTH) : UINT8 (0)
                 }
                 );
  Status = MapSerialParameterCode (Status, Reading ? mGetSerialParameterCodes : mSetSerialParameterCodes);
  if (Reading && (Status == EFI_SUCCESS)) {
    Args.Data[0] = Request[1];
    Args.Data[1] = Request[2];
  }

  return Status;
}

//
// Reads the setting, then writes it back with the new access mode: the
// authentication bits stay as read, the old mode is replaced, and the
// privilege limit is left alone.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
WriteChannelAccessMode (
  IN OUT Operation  &Op
  )
{
  CONST StepArgs  &Args    = Op.ArgsAs<StepArgs>();
  UINT8           *Request = Op.Scratch ();
  EFI_STATUS      Status;
  UINT8           Access;

  Request[0] = Args.Channel;
  Request[1] = Args.Selector;
  Status     = ScratchExchange (Op, NetFnCommand (IPMI_NETFN_APP, IPMI_CMD_GET_CHANNEL_ACCESS), { .RequestLength = 2, .Capacity = mChannelAccessCapacity, .Minimum = 2 });
  if (Status == EFI_SUCCESS) {
    Access     = Request[0];
    Request[2] = Request[1] & IPMI_CHANNEL_ACCESS_PRIVILEGE_BITS;
    Request[1] = static_cast<UINT8>(Args.Selector | (Access & IPMI_CHANNEL_ACCESS_AUTH_BITS) | Args.Mode);
    Request[0] = Args.Channel;
    Status     = ScratchExchange (Op, NetFnCommand (IPMI_NETFN_APP, IPMI_CMD_SET_CHANNEL_ACCESS), { .RequestLength = 3 });
  }

  if ((Status == IPMI_CC_CHANNEL_ACCESS_REFUSED) || (Status == IPMI_CC_ACCESS_MODE_UNSUPPORTED)) {
    return EFI_UNSUPPORTED;
  }

  return Status;
}

//
// Runs one step on the BMC already selected, under a guard of its own, and
// again while the transport answers EFI_BMC_RETRY. The step's argument
// checks come first: a channel above 15, and an access mode above 3, which
// is no IPMI access mode and above 7 would spill into the authentication
// and selector bits of Set Channel Access. The steps that take no mode
// carry 0 there.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
RunStep (
  IN OUT Operation    &Step,
  IN OPERATION_STEP   Exchange
  )
{
  CONST StepArgs  &Args = Step.ArgsAs<StepArgs>();
  EFI_STATUS      Status;
  UINT8           Try = 0;

  if ((Args.Channel > IPMI_CHANNEL_NUMBER_MAX) || (Args.Mode > IPMI_CHANNEL_ACCESS_MODE_SHARED)) {
    return EFI_INVALID_PARAMETER;
  }

  do {
    Status = RunGuarded (Step, Exchange);
  } while ((Status == EFI_BMC_RETRY) && (++Try < mStepTries));

  return Status;
}

}  // namespace

namespace Oskel {

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
CheckSetSerialMux (
  IN OUT Operation  &Op
  )
{
  return (Op.Get (MUX_CHANNEL) > IPMI_CHANNEL_NUMBER_MAX) ? EFI_INVALID_PARAMETER : EFI_SUCCESS;
}

//
// The answer is the mux status byte alone.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
ExchangeSerialMux (
  IN OUT Operation  &Op
  )
{
  UINT8  *Request = Op.Scratch ();

  Request[0] = Op.Get (MUX_CHANNEL);
  Request[1] = Op.Get (MUX_SETTING);
  return QueryScratchByte (Op, 2, Op.Get (MUX_STATUS));
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
ConfigureSerialConsoleSteps (
  IN OUT Operation  &Op
  )
{
  CONST SERIAL_CONSOLE_CONFIG  &Config = *Op.Get (CONSOLE_CONFIG);
  EFI_STATUS                   Status;
  UINT8                        Data[IPMI_SERIAL_PARAMETER_DATA_LENGTH] = { IPMI_CHANNEL_NONE, 0 };
  StepArgs                     Args = { 0, 0, 0, 0, Data };

  //
  // The steps see StepArgs as their arguments; Op itself stays as the
  // dispatch made it, for the next BMC of a broadcast.
  //
  Operation  Step = Op;

  Step.Args = &Args;

  //
  // After three retries the channel is still FFh, which the next step
  // refuses.
  //
  Status = RunStep (Step, ScanForSerialChannel);
  if ((Status != EFI_SUCCESS) && (Status != EFI_BMC_RETRY)) {
    return Status;
  }

  Args.Channel  = Data[0];
  Args.Selector = IPMI_SERIAL_PARAMETER_MUX_SWITCH_CONTROL;
  Args.Command  = IPMI_CMD_GET_SERIAL_MODEM_CONFIG;
  Data[0]       = 0;
  Status        = RunStep (Step, SerialModemParameter);
  if (Status != EFI_SUCCESS) {
    return Status;
  }

  //
  // Failures of the writes up to the non-volatile access mode are left to
  // the BMC: what they changed stays, and the sequence goes on.
  //
  if (Config.MuxSwitchOption != 0) {
    Data[1] |= IPMI_SERIAL_MUX_SWITCH_OPTION;
  } else {
    Data[1] &= static_cast<UINT8>(~IPMI_SERIAL_MUX_SWITCH_OPTION);
  }

  Args.Command = IPMI_CMD_SET_SERIAL_MODEM_CONFIG;
  (VOID)RunStep (Step, SerialModemParameter);

  Args.Mode     = Config.ChannelAccessMode;
  Args.Selector = IPMI_CHANNEL_ACCESS_VOLATILE;
  (VOID)RunStep (Step, WriteChannelAccessMode);
  Args.Selector = IPMI_CHANNEL_ACCESS_NON_VOLATILE;
  Status        = RunStep (Step, WriteChannelAccessMode);
  Args.Mode     = 0;  // the steps below take no mode

  if ((Config.ConsoleEnable == 0) || (Config.MuxSwitchOption == 0) || (Config.ChannelAccessMode == 0)) {
    return Status;
  }

  //
  // A shared channel hands the port to the system console; the slot's own
  // dispatch selects this BMC again. Data[0] takes the mux status.
  //
  if ((Config.ChannelAccessMode != IPMI_CHANNEL_ACCESS_MODE_PRE_BOOT) &&
      (Config.ChannelAccessMode != IPMI_CHANNEL_ACCESS_MODE_ALWAYS))
  {
    CONST UINTN  HandOver[] = { Args.Channel, IPMI_SERIAL_MUX_REQUEST_SYSTEM, reinterpret_cast<UINTN>(&Data[0]) };
    for (UINT8 Try = 0; Try < mMuxHandOverTries; Try++) {
      Status = DispatchStep (Op, OPERATION (SetSerialMux), HandOver);
      if ((Status == EFI_SUCCESS) && ((Data[0] & IPMI_SERIAL_MUX_HELD_BY_BMC) == 0)) {
        break;
      }
    }
  }

  Data[0]       = (Config.FlowControl != 0) ? IPMI_SERIAL_FLOW_CONTROL_XON_XOFF : 0;
  Data[1]       = static_cast<UINT8>(Config.BitRateIndex + IPMI_SERIAL_BIT_RATE_9600);
  Args.Selector = IPMI_SERIAL_PARAMETER_MESSAGING_COMM_SETTINGS;
  return RunStep (Step, SerialModemParameter);
}

}  // namespace Oskel
