/** @file
  Device queries, raw pass-through and the POST watchdog.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/CommonExchanges.h"
#include "../Dispatch/Dispatch.h"
#include "../MemoryRoutines.h"
#include "IpmiCommands.h"

using namespace Oskel;

namespace {

//
// The largest request and response a raw command may carry; the caller's
// Data buffer takes the response, so it must hold this many bytes.
//
constexpr UINT8  mRawCommandMaxData = 243;

}  // namespace

namespace Oskel {

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
CheckRawCommand (
  IN OUT Operation  &Op
  )
{
  return (*Op.Get (RAW_DATA_LENGTH) > mRawCommandMaxData) ? EFI_BAD_BUFFER_SIZE : EFI_SUCCESS;
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
ExchangeRawCommand (
  IN OUT Operation  &Op
  )
{
  UINT8       *Data       = Op.Get (RAW_DATA);
  UINT8       *DataLength = Op.Get (RAW_DATA_LENGTH);
  EFI_STATUS  Status;
  UINT8       Received = mRawCommandMaxData;

  //
  // The answer lands in ScratchBuffer so the request stays intact in Data
  // while the transport works on it.
  //
  Status = Send (Op, NetFnCommand (Op.Get (RAW_NETFN), Op.Get (RAW_COMMAND)), Data, *DataLength, Op.Scratch (), &Received);
  if (Status == EFI_SUCCESS) {
    //
    // A transport that reports more than the capacity still gets no more
    // than 243 bytes copied into the caller's buffer.
    //
    if (Received > mRawCommandMaxData) {
      Received = mRawCommandMaxData;
    }

    *DataLength = Received;
    CopyMem (Data, Op.Scratch (), Received);
  }

  return Status;
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
ArmAndStartWatchdog (
  IN OUT Operation  &Op
  )
{
  UINT8       *Request = Op.Scratch ();
  EFI_STATUS  Status;

  Request[0] = IPMI_WATCHDOG_TIMER_USE_BIOS_POST;
  Request[1] = IPMI_WATCHDOG_ACTION_HARD_RESET;
  Request[2] = IPMI_WATCHDOG_PRE_TIMEOUT_NONE;
  Request[3] = IPMI_WATCHDOG_EXPIRATION_FLAGS_KEEP;
  PutUint16Le (&Request[4], Op.Get (WATCHDOG_COUNTDOWN));

  Status = SpecExchange (Op, { .RequestLength = 6 });
  if (Status != EFI_SUCCESS) {
    return Status;
  }

  //
  // Set only loads the countdown; Reset starts it.
  //
  return ScratchExchange (Op, NetFnCommand (IPMI_NETFN_APP, IPMI_CMD_RESET_WATCHDOG_TIMER), {});
}

}  // namespace Oskel
