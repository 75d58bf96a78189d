/** @file
  Serial channel and console redirection.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/Dispatch.h"
#include "../Dispatch/Pending.h"

using namespace Oskel;

namespace {

struct ConfigureSerialConsoleArgs {
  CONST SERIAL_CONSOLE_CONFIG  *Config;
};

constexpr OperationSpec  mConfigureSerialConsoleSpec = { .Kind = DispatchKind::Broadcast, .Exchange = PendingExchange };

struct SetSerialMuxArgs {
  UINT8    Channel;
  UINT8    MuxSetting;
  UINT8  *MuxStatus;
};

constexpr OperationSpec  mSetSerialMuxSpec = { .Kind = DispatchKind::Broadcast, .Exchange = PendingExchange };

}  // namespace

extern "C" EFI_STATUS EFIAPI
ConfigureSerialConsole (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN CONST SERIAL_CONSOLE_CONFIG *Config,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST ConfigureSerialConsoleArgs  Args = { Config };

  return Dispatch (mConfigureSerialConsoleSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
SetSerialMux (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8 Channel,
  IN UINT8 MuxSetting,
  IN UINT8 *MuxStatus,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST SetSerialMuxArgs  Args = { Channel, MuxSetting, MuxStatus };

  return Dispatch (mSetSerialMuxSpec, PeiServices, This, BmcInstance, Force, &Args);
}
