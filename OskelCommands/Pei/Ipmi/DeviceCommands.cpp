/** @file
  Device queries, raw pass-through and the POST watchdog.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/CommonExchanges.h"
#include "../Dispatch/Dispatch.h"

using namespace Oskel;

namespace {

//
// The largest request and response a raw command may carry; the caller's
// Data buffer takes the response, so it must hold this many bytes.
//
constexpr UINT8  mRawCommandMaxData = 243;

struct SendRawCommandArgs {
  UINT8    NetFn;
  UINT8    Command;
  UINT8    *Data;
  UINT8    *DataLength;
};

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
CheckRawCommand (
  IN OUT Operation  &Op
  )
{
  CONST SendRawCommandArgs  &Args = Op.ArgsAs<SendRawCommandArgs>();

  if (AnyNull (Args.Data, Args.DataLength)) {
    return EFI_INVALID_PARAMETER;
  }

  return (*Args.DataLength > mRawCommandMaxData) ? EFI_BAD_BUFFER_SIZE : EFI_SUCCESS;
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
ExchangeRawCommand (
  IN OUT Operation  &Op
  )
{
  CONST SendRawCommandArgs  &Args = Op.ArgsAs<SendRawCommandArgs>();
  EFI_STATUS                Status;
  UINT8                     Received = mRawCommandMaxData;

  //
  // The answer lands in ScratchBuffer so the request stays intact in Data
  // while the transport works on it.
  //
  Status = Send (Op, Args.NetFn, Args.Command, Args.Data, *Args.DataLength, Op.Scratch (), &Received);
  if (Status == EFI_SUCCESS) {
    //
    // A transport that reports more than the capacity still gets no more
    // than 243 bytes copied into the caller's buffer.
    //
    if (Received > mRawCommandMaxData) {
      Received = mRawCommandMaxData;
    }

    *Args.DataLength = Received;
    CopyMem (Args.Data, Op.Scratch (), Received);
  }

  return Status;
}

constexpr OperationSpec  mSendRawCommandSpec = {
  .Kind     = DispatchKind::SingleBmc,
  .Check    = CheckRawCommand,
  .Exchange = ExchangeRawCommand
};

constexpr OperationSpec  mGetDeviceIdSpec = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = IPMI_NETFN_APP,
  .Command  = IPMI_CMD_GET_DEVICE_ID,
  .Check    = CheckCallerBuffer,
  .Exchange = QueryIntoCallerBuffer
};

constexpr OperationSpec  mGetSelfTestResultsSpec = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = IPMI_NETFN_APP,
  .Command  = IPMI_CMD_GET_SELF_TEST_RESULTS,
  .Check    = CheckCallerBuffer,
  .Exchange = QueryIntoCallerBuffer
};

struct StartPostWatchdogArgs {
  UINT16    Countdown;
};

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
ArmAndStartWatchdog (
  IN OUT Operation  &Op
  )
{
  WireWriter  Request (Op.Scratch (), BMC_SCRATCH_BUFFER_SIZE);
  EFI_STATUS  Status;
  UINT8       Length;

  Request.Byte (IPMI_WATCHDOG_TIMER_USE_BIOS_POST)
         .Byte (IPMI_WATCHDOG_ACTION_HARD_RESET)
         .Byte (IPMI_WATCHDOG_PRE_TIMEOUT_NONE)
         .Byte (IPMI_WATCHDOG_EXPIRATION_FLAGS_KEEP)
         .Uint16 (Op.ArgsAs<StartPostWatchdogArgs>().Countdown, ByteOrder::LittleEndian);

  Status = SendScratch (Op, IPMI_NETFN_APP, IPMI_CMD_SET_WATCHDOG_TIMER, Request.Length (), 0, nullptr);
  if (Status != EFI_SUCCESS) {
    return Status;
  }

  //
  // Set only loads the countdown; Reset starts it.
  //
  Length = 0;
  return Send (Op, IPMI_NETFN_APP, IPMI_CMD_RESET_WATCHDOG_TIMER, nullptr, 0, Op.Scratch (), &Length);
}

constexpr OperationSpec  mStartPostWatchdogSpec = {
  .Kind     = DispatchKind::Broadcast,
  .Exchange = ArmAndStartWatchdog
};

}  // namespace

extern "C" EFI_STATUS EFIAPI
SendRawCommand (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   NetFn,
  IN UINT8                   Command,
  IN OUT UINT8               *Data,
  IN OUT UINT8               *DataLength,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST SendRawCommandArgs  Args = { NetFn, Command, Data, DataLength };

  return Dispatch (mSendRawCommandSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
GetDeviceId (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8 *Response,
  IN UINT8 *ResponseLength,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST CallerBufferArgs  Args = { Response, ResponseLength };

  return Dispatch (mGetDeviceIdSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
GetSelfTestResults (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8 *Response,
  IN UINT8 *ResponseLength,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST CallerBufferArgs  Args = { Response, ResponseLength };

  return Dispatch (mGetSelfTestResultsSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
StartPostWatchdog (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT16                  Countdown,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST StartPostWatchdogArgs  Args = { Countdown };

  return Dispatch (mStartPostWatchdogSpec, PeiServices, This, BmcInstance, Force, &Args);
}
