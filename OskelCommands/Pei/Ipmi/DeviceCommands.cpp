/** @file
  Device queries, raw pass-through and the POST watchdog.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/CommonExchanges.h"
#include "../Dispatch/Dispatch.h"
#include "../Dispatch/Pending.h"

using namespace Oskel;

namespace {

struct SendRawCommandArgs {
  UINT8    NetFn;
  UINT8    Command;
  UINT8  *Data;
  UINT8  *DataLength;
};

constexpr OperationSpec  mSendRawCommandSpec = { .Kind = DispatchKind::SingleBmc, .Exchange = PendingExchange };

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
  UINT16  Countdown;
};

constexpr OperationSpec  mStartPostWatchdogSpec = { .Kind = DispatchKind::Broadcast, .Exchange = PendingExchange };

}  // namespace

extern "C" EFI_STATUS EFIAPI
SendRawCommand (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8 NetFn,
  IN UINT8 Command,
  IN UINT8 *Data,
  IN UINT8 *DataLength,
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
  IN UINT16 Countdown,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST StartPostWatchdogArgs  Args = { Countdown };

  return Dispatch (mStartPostWatchdogSpec, PeiServices, This, BmcInstance, Force, &Args);
}
