/** @file
  BMC dispatch and the command guard.

  Every slot of the service is a thin function that packs its arguments and
  hands them to Dispatch together with a constant OperationSpec: how the
  operation is spread over BMCs, which argument checks run before the
  transport is consulted, and the exchange that runs under the guard.
  Nothing else in the module selects a BMC or talks to TrackBmcStatus.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include <PiPei.h>
#include <Ppi/BmcCommands.h>

#include "../InternalCall.h"
#include "IpmiDefinitions.h"
#include "WireFormat.h"

namespace Oskel {

enum class DispatchKind : UINT8 {
  SingleBmc,    // one BMC; ALL_BMCS is refused
  Broadcast,    // one BMC, or every BMC in turn for ALL_BMCS
  BmcZeroOnly   // BMC 0 alone; any other index is refused
};

struct Operation;

typedef EFI_STATUS (OSKEL_INTERNAL *OPERATION_STEP)(Operation &Op);

//
// What a slot does, as constant data: written with designated initialisers,
// e.g. { .Kind = DispatchKind::SingleBmc, .NetFn = IPMI_NETFN_APP,
// .Command = IPMI_CMD_GET_DEVICE_ID, .Check = ..., .Exchange = ... }, so
// operations of the same shape share one Check and one Exchange.
//
struct OperationSpec {
  DispatchKind      Kind     = DispatchKind::SingleBmc;
  //
  // FALSE for an operation made of steps that keep their own guards (each
  // step then judges the BMC's health afresh).
  //
  BOOLEAN           Guarded  = TRUE;
  UINT8             NetFn    = 0;
  UINT8             Command  = 0;
  //
  // Argument checks and outputs that are set before the guard; NULL when
  // the operation has none beyond This, BmcInstance and Force.
  //
  OPERATION_STEP    Check    = nullptr;
  OPERATION_STEP    Exchange = nullptr;
};

//
// The call in progress, as a worker sees it.
//
struct Operation {
  CONST EFI_PEI_SERVICES    **PeiServices;  // never NULL: the record's own when the caller gave none
  BMC_COMMANDS_PPI          *This;
  UINT8                     *BmcInstance;   // the caller's byte, or the broadcast loop's index
  UINT8                     Force;
  BOOLEAN                   Refused;        // refused after phase 0: phase 1 is not called
  CONST VOID                *Args;
  CONST OperationSpec       *Spec;          // the operation's own OperationSpec: NetFn, Command

  template <typename T>
  [[nodiscard]] CONST T &
  ArgsAs () const
  {
    return *static_cast<CONST T *>(Args);
  }

  [[nodiscard]] UINT8 *
  Scratch () const
  {
    return This->ScratchBuffer;
  }
};

//
// Replaces a NULL PeiServices by the record's, checks the BMC index, picks
// the BMC or BMCs by Spec.Kind and runs the worker on each.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
Dispatch (
  IN CONST OperationSpec       &Spec,
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN BMC_COMMANDS_PPI          *This,
  IN UINT8                     *BmcInstance,
  IN UINT8                     Force,
  IN CONST VOID                *Args
  );

//
// The worker on the BMC already selected: Force check, the operation's
// Check, then its Exchange under the guard (or alone for an operation that
// is not guarded).
// Also runs the internal steps of composite operations.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
RunWorker (
  IN OUT Operation          &Op,
  IN CONST OperationSpec    &Spec
  );

//
// Phase 0 of TrackBmcStatus; when the BMC may be used, or Force is 1, the
// exchange and then phase 1, flagged when the exchange ended in
// EFI_DEVICE_ERROR. A refused BMC gives EFI_DEVICE_ERROR (state 1) or the
// phase-0 EFI_INVALID_PARAMETER, and nothing is sent.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
RunGuarded (
  IN OUT Operation     &Op,
  IN OPERATION_STEP    Exchange
  );

//
// GetBmcCount, then the BMC index check: NULL, or neither below the count
// nor ALL_BMCS, is EFI_INVALID_PARAMETER.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
CheckBmcInstance (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN CONST UINT8             *BmcInstance
  );

[[nodiscard]] UINT8 OSKEL_INTERNAL
GetBmcCount (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This
  );

//
// Ends an exchange with Status after phase 0 without sending anything; the
// guard then makes no phase-1 call.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
Refuse (
  IN OUT Operation  &Op,
  IN EFI_STATUS     Status
  );

//
// One SendCommand on LUN 0. ResponseLength is in: capacity, out: received.
//
[[nodiscard]] inline EFI_STATUS
Send (
  IN Operation      &Op,
  IN UINT8          NetFn,
  IN UINT8          Command,
  IN CONST UINT8    *Request,
  IN UINT8          RequestLength,
  OUT UINT8         *Response,
  IN OUT UINT8      *ResponseLength
  )
{
  IPMI_TRANSPORT_PPI  *Transport = Op.This->Transport;

  return Transport->SendCommand (Op.PeiServices, Transport, NetFn, 0, Command, Request, RequestLength, Response, ResponseLength);
}

//
// One SendCommand whose request is the first RequestLength bytes of
// ScratchBuffer and whose response lands there too, Capacity bytes at most.
// *Received is the count the transport reported, clamped to Capacity, so a
// reader built on it never looks past what this exchange may have written.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
SendScratch (
  IN Operation  &Op,
  IN UINT8      NetFn,
  IN UINT8      Command,
  IN UINT8      RequestLength,
  IN UINT8      Capacity,
  OUT UINT8     *Received OPTIONAL
  );

template <typename... Pointers>
[[nodiscard]] constexpr BOOLEAN
AnyNull (
  Pointers... Values
  )
{
  return ((Values == nullptr) || ...);
}

}  // namespace Oskel
