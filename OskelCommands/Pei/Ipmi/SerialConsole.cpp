/** @file
  Serial channel and console redirection.

  ConfigureSerialConsole is a sequence of steps, each a guarded exchange of
  its own, so the BMC's health is judged afresh before every step. The steps
  run on the BMC the slot's dispatch selected and select none themselves.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/Dispatch.h"

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
constexpr UINT8  mMuxStatusCapacity         = 1;

//
// Completion codes that name a condition the caller can act on, turned into
// EFI statuses; any other code passes through unchanged.
//
struct CompletionCodeMapping {
  UINT8         Code;
  EFI_STATUS    Status;
};

constexpr CompletionCodeMapping  mGetSerialParameterMapping[] = {
  { IPMI_CC_PARAMETER_NOT_SUPPORTED, EFI_UNSUPPORTED }
};

constexpr CompletionCodeMapping  mSetSerialParameterMapping[] = {
  { IPMI_CC_PARAMETER_NOT_SUPPORTED, EFI_UNSUPPORTED     },
  { IPMI_CC_SET_IN_PROGRESS,         EFI_ALREADY_STARTED },
  { IPMI_CC_PARAMETER_READ_ONLY,     EFI_ACCESS_DENIED   },
  { IPMI_CC_PARAMETER_WRITE_ONLY,    EFI_ACCESS_DENIED   }
};

//
// Applies to the Get as well as the Set request, so 83h from Get Channel
// Access maps too.
//
constexpr CompletionCodeMapping  mChannelAccessMapping[] = {
  { IPMI_CC_CHANNEL_ACCESS_REFUSED,  EFI_UNSUPPORTED },
  { IPMI_CC_ACCESS_MODE_UNSUPPORTED, EFI_UNSUPPORTED }
};

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
MapCompletionCode (
  IN EFI_STATUS                     Status,
  IN CONST CompletionCodeMapping    *Table,
  IN UINTN                          Count
  )
{
  for (UINTN Index = 0; Index < Count; Index++) {
    if (Status == Table[Index].Code) {
      return Table[Index].Status;
    }
  }

  return Status;
}

template <UINTN Count>
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
MapCompletionCode (
  IN EFI_STATUS                   Status,
  IN CONST CompletionCodeMapping  (&Table)[Count]
  )
{
  return MapCompletionCode (Status, Table, Count);
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
CheckChannel (
  IN UINT8       Channel,
  IN CONST VOID  *Data
  )
{
  return ((Channel > IPMI_CHANNEL_NUMBER_MAX) || (Data == nullptr)) ? EFI_INVALID_PARAMETER : EFI_SUCCESS;
}

struct FindSerialChannelArgs {
  UINT8    *Channel;
};

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
CheckFindSerialChannel (
  IN OUT Operation  &Op
  )
{
  UINT8  *Channel = Op.ArgsAs<FindSerialChannelArgs>().Channel;

  if (Channel == nullptr) {
    return EFI_INVALID_PARAMETER;
  }

  *Channel = IPMI_CHANNEL_NONE;
  return EFI_SUCCESS;
}

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
  EFI_STATUS  Status = EFI_NOT_FOUND;
  UINT8       Received;

  for (UINT8 Number = IPMI_SERIAL_CHANNEL_SCAN_FIRST; Number <= IPMI_SERIAL_CHANNEL_SCAN_LAST; Number++) {
    WireWriter (Op.Scratch (), BMC_SCRATCH_BUFFER_SIZE).Byte (Number);
    Status = SendScratch (Op, IPMI_NETFN_APP, IPMI_CMD_GET_CHANNEL_INFO, 1, mChannelInfoCapacity, &Received);
    if (Status != EFI_SUCCESS) {
      continue;
    }

    WireReader  Response (Op.Scratch (), Received);
    if (!Response.Has (0, 2)) {
      Status = EFI_PROTOCOL_ERROR;
      continue;
    }

    if ((Response.Byte (1) & mMediumTypeCompareMask) == IPMI_CHANNEL_MEDIUM_ASYNC_SERIAL) {
      *Op.ArgsAs<FindSerialChannelArgs>().Channel = Response.Byte (0);
      return EFI_SUCCESS;
    }
  }

  return (Status == EFI_SUCCESS) ? EFI_NOT_FOUND : Status;
}

constexpr OperationSpec  mFindSerialChannelSpec = {
  .Check    = CheckFindSerialChannel,
  .Exchange = ScanForSerialChannel
};

struct GetMuxSwitchControlArgs {
  UINT8    Channel;
  UINT8    *ParameterData;
  UINT8    Capacity;
};

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
CheckGetMuxSwitchControl (
  IN OUT Operation  &Op
  )
{
  CONST GetMuxSwitchControlArgs  &Args = Op.ArgsAs<GetMuxSwitchControlArgs>();

  return CheckChannel (Args.Channel, Args.ParameterData);
}

//
// The answer is the parameter revision, then the data. Fewer than the two
// data bytes of Mux Switch Control is a broken answer: nothing is copied, so
// the caller never writes back a parameter it did not read.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
ReadMuxSwitchControl (
  IN OUT Operation  &Op
  )
{
  CONST GetMuxSwitchControlArgs  &Args = Op.ArgsAs<GetMuxSwitchControlArgs>();
  WireWriter                     Request (Op.Scratch (), BMC_SCRATCH_BUFFER_SIZE);
  EFI_STATUS                     Status;
  UINT8                          Received;
  UINTN                          Count;

  //
  // Bit 7 of the channel byte clear: the parameter's data, not only its
  // revision. Set and block selectors 0.
  //
  Request.Byte (Args.Channel).Byte (IPMI_SERIAL_PARAMETER_MUX_SWITCH_CONTROL).Byte (0).Byte (0);
  Status = SendScratch (Op, IPMI_NETFN_TRANSPORT, IPMI_CMD_GET_SERIAL_MODEM_CONFIG, Request.Length (), mSerialParameterCapacity, &Received);
  Status = MapCompletionCode (Status, mGetSerialParameterMapping);
  if (Status != EFI_SUCCESS) {
    return Status;
  }

  WireReader  Response (Op.Scratch (), Received);
  if (!Response.Has (1, IPMI_SERIAL_PARAMETER_DATA_LENGTH)) {
    return EFI_PROTOCOL_ERROR;
  }

  Count = Response.Available (1);
  CopyMem (Args.ParameterData, Response.At (1), (Count < Args.Capacity) ? Count : Args.Capacity);
  return EFI_SUCCESS;
}

constexpr OperationSpec  mGetMuxSwitchControlSpec = {
  .Check    = CheckGetMuxSwitchControl,
  .Exchange = ReadMuxSwitchControl
};

struct SetSerialModemParameterArgs {
  UINT8          Channel;
  UINT8          Parameter;
  CONST UINT8    *ParameterData;  // IPMI_SERIAL_PARAMETER_DATA_LENGTH bytes
};

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
CheckSetSerialModemParameter (
  IN OUT Operation  &Op
  )
{
  CONST SetSerialModemParameterArgs  &Args = Op.ArgsAs<SetSerialModemParameterArgs>();

  return CheckChannel (Args.Channel, Args.ParameterData);
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
WriteSerialModemParameter (
  IN OUT Operation  &Op
  )
{
  CONST SetSerialModemParameterArgs  &Args = Op.ArgsAs<SetSerialModemParameterArgs>();
  WireWriter                         Request (Op.Scratch (), BMC_SCRATCH_BUFFER_SIZE);
  EFI_STATUS                         Status;

  Request.Byte (Args.Channel).Byte (Args.Parameter).Bytes (Args.ParameterData, IPMI_SERIAL_PARAMETER_DATA_LENGTH);
  Status = SendScratch (Op, IPMI_NETFN_TRANSPORT, IPMI_CMD_SET_SERIAL_MODEM_CONFIG, Request.Length (), 0, nullptr);
  return MapCompletionCode (Status, mSetSerialParameterMapping);
}

constexpr OperationSpec  mSetSerialModemParameterSpec = {
  .Check    = CheckSetSerialModemParameter,
  .Exchange = WriteSerialModemParameter
};

struct SetChannelAccessModeArgs {
  UINT8      Channel;
  BOOLEAN    Volatile;
  UINT8      Mode;
};

//
// Modes above 3 are no IPMI access mode, and above 7 they would spill into
// the authentication and selector bits of Set Channel Access.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
CheckSetChannelAccessMode (
  IN OUT Operation  &Op
  )
{
  CONST SetChannelAccessModeArgs  &Args = Op.ArgsAs<SetChannelAccessModeArgs>();

  return ((Args.Channel > IPMI_CHANNEL_NUMBER_MAX) || (Args.Mode > IPMI_CHANNEL_ACCESS_MODE_SHARED)) ? EFI_INVALID_PARAMETER : EFI_SUCCESS;
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
  CONST SetChannelAccessModeArgs  &Args = Op.ArgsAs<SetChannelAccessModeArgs>();
  UINT8                           Selector;
  EFI_STATUS                      Status;
  UINT8                           Received;
  UINT8                           Access;
  UINT8                           Privilege;

  Selector = (Args.Volatile != 0) ? IPMI_CHANNEL_ACCESS_VOLATILE : IPMI_CHANNEL_ACCESS_NON_VOLATILE;
  WireWriter (Op.Scratch (), BMC_SCRATCH_BUFFER_SIZE).Byte (Args.Channel).Byte (Selector);
  Status = SendScratch (Op, IPMI_NETFN_APP, IPMI_CMD_GET_CHANNEL_ACCESS, 2, mChannelAccessCapacity, &Received);
  if (Status == EFI_SUCCESS) {
    WireReader  Response (Op.Scratch (), Received);
    if (!Response.Has (0, 2)) {
      return EFI_PROTOCOL_ERROR;
    }

    Access    = Response.Byte (0);
    Privilege = Response.Byte (1);
    WireWriter (Op.Scratch (), BMC_SCRATCH_BUFFER_SIZE)
      .Byte (Args.Channel)
      .Byte (static_cast<UINT8>(Selector | (Access & IPMI_CHANNEL_ACCESS_AUTH_BITS) | Args.Mode))
      .Byte (Privilege & IPMI_CHANNEL_ACCESS_PRIVILEGE_BITS);
    Status = SendScratch (Op, IPMI_NETFN_APP, IPMI_CMD_SET_CHANNEL_ACCESS, 3, 0, nullptr);
  }

  return MapCompletionCode (Status, mChannelAccessMapping);
}

constexpr OperationSpec  mSetChannelAccessModeSpec = {
  .Check    = CheckSetChannelAccessMode,
  .Exchange = WriteChannelAccessMode
};

//
// Arguments of SetSerialMux, in slot order.
//
constexpr UINT8  MUX_CHANNEL = 0;
constexpr UINT8  MUX_SETTING = 1;
constexpr UINT8  MUX_STATUS  = 2;

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
CheckSetSerialMux (
  IN OUT Operation  &Op
  )
{
  return (Op.Uint8 (MUX_CHANNEL) > IPMI_CHANNEL_NUMBER_MAX) ? EFI_INVALID_PARAMETER : EFI_SUCCESS;
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
ExchangeSerialMux (
  IN OUT Operation  &Op
  )
{
  UINT8       *Request = Op.Scratch ();
  EFI_STATUS  Status;
  UINT8       Received;

  Request[0] = Op.Uint8 (MUX_CHANNEL);
  Request[1] = Op.Uint8 (MUX_SETTING);
  Status     = SendScratch (Op, IPMI_NETFN_TRANSPORT, IPMI_CMD_SET_SERIAL_MODEM_MUX, 2, mMuxStatusCapacity, &Received);
  if (Status != EFI_SUCCESS) {
    return Status;
  }

  if (Received == 0) {
    return EFI_PROTOCOL_ERROR;
  }

  *Op.Pointer<UINT8>(MUX_STATUS) = Request[0];
  return EFI_SUCCESS;
}

constexpr OperationSpec  mSetSerialMuxSpec = {
  .Kind      = DispatchKind::Broadcast,
  .Check     = CheckSetSerialMux,
  .Exchange  = ExchangeSerialMux,
  .Arguments = 3,
  .Required  = ArgumentBit (MUX_STATUS)
};

//
// Runs one step on the BMC already selected, again while the transport
// answers EFI_BMC_RETRY.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
RunStep (
  IN CONST Operation        &Op,
  IN CONST OperationSpec    &Spec,
  IN CONST VOID             *Args
  )
{
  EFI_STATUS  Status;
  UINT8       Try = 0;

  do {
    Operation  Step = Op;

    Step.Args = Args;
    Status    = RunWorker (Step, Spec);
  } while ((Status == EFI_BMC_RETRY) && (++Try < mStepTries));

  return Status;
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
ConfigureSerialConsoleSteps (
  IN OUT Operation  &Op
  )
{
  CONST SERIAL_CONSOLE_CONFIG  &Config = *Op.Pointer<CONST SERIAL_CONSOLE_CONFIG>(0);
  EFI_STATUS                   Status;
  UINT8                        Channel = 0;
  UINT8                        Data[IPMI_SERIAL_PARAMETER_DATA_LENGTH] = { 0, 0 };

  //
  // After three retries the channel is still FFh, which the next step
  // refuses.
  //
  CONST FindSerialChannelArgs  Find = { &Channel };
  Status = RunStep (Op, mFindSerialChannelSpec, &Find);
  if ((Status != EFI_SUCCESS) && (Status != EFI_BMC_RETRY)) {
    return Status;
  }

  CONST GetMuxSwitchControlArgs  ReadMux = { Channel, Data, sizeof (Data) };
  Status = RunStep (Op, mGetMuxSwitchControlSpec, &ReadMux);
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

  CONST SetSerialModemParameterArgs  WriteMux = { Channel, IPMI_SERIAL_PARAMETER_MUX_SWITCH_CONTROL, Data };
  (VOID)RunStep (Op, mSetSerialModemParameterSpec, &WriteMux);

  CONST SetChannelAccessModeArgs  VolatileAccess    = { Channel, TRUE, Config.ChannelAccessMode };
  CONST SetChannelAccessModeArgs  NonVolatileAccess = { Channel, FALSE, Config.ChannelAccessMode };
  (VOID)RunStep (Op, mSetChannelAccessModeSpec, &VolatileAccess);
  Status = RunStep (Op, mSetChannelAccessModeSpec, &NonVolatileAccess);

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
    CONST UINTN  HandOver[] = { Channel, IPMI_SERIAL_MUX_REQUEST_SYSTEM, reinterpret_cast<UINTN>(&Data[0]) };
    for (UINT8 Try = 0; Try < mMuxHandOverTries; Try++) {
      Status = Dispatch (mSetSerialMuxSpec, Op.PeiServices, Op.This, Op.BmcInstance, Op.Force, HandOver);
      if ((Status == EFI_SUCCESS) && ((Data[0] & IPMI_SERIAL_MUX_HELD_BY_BMC) == 0)) {
        break;
      }
    }
  }

  Data[0] = (Config.FlowControl != 0) ? IPMI_SERIAL_FLOW_CONTROL_XON_XOFF : 0;
  Data[1] = static_cast<UINT8>(Config.BitRateIndex + IPMI_SERIAL_BIT_RATE_9600);

  CONST SetSerialModemParameterArgs  WriteCommSettings = { Channel, IPMI_SERIAL_PARAMETER_MESSAGING_COMM_SETTINGS, Data };
  return RunStep (Op, mSetSerialModemParameterSpec, &WriteCommSettings);
}

constexpr OperationSpec  mConfigureSerialConsoleSpec = {
  .Kind      = DispatchKind::Broadcast,
  .Guarded   = FALSE,
  .Exchange  = ConfigureSerialConsoleSteps,
  .Arguments = 1,
  .Required  = ArgumentBit (0)
};

}  // namespace

extern "C" EFI_STATUS EFIAPI
ConfigureSerialConsole (
  IN CONST EFI_PEI_SERVICES       **PeiServices,
  IN BMC_COMMANDS_PPI             *This,
  IN CONST SERIAL_CONSOLE_CONFIG  *Config,
  IN UINT8                        *BmcInstance,
  IN BOOLEAN                      Force
  )
{
  return DispatchSlot (mConfigureSerialConsoleSpec, SLOT_ARGUMENTS (PeiServices, This, Config, BmcInstance, Force));
}

extern "C" EFI_STATUS EFIAPI
SetSerialMux (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   Channel,
  IN UINT8                   MuxSetting,
  OUT UINT8                  *MuxStatus,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  return DispatchSlot (mSetSerialMuxSpec, SLOT_ARGUMENTS (PeiServices, This, Channel, MuxSetting, MuxStatus, BmcInstance, Force));
}
