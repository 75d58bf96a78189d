/** @file
  BMC dispatch and the command guard.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "Dispatch.h"

namespace Oskel {

namespace {

//
// The worker on the BMC already selected. Part of Dispatch, so a nested
// dispatch costs no frame of its own for it.
//
OSKEL_ALWAYS_INLINE EFI_STATUS
RunWorker (
  IN OUT Operation          &Op,
  IN CONST OperationSpec    &Spec
  )
{
  EFI_STATUS  Status;

  if (Op.Force > 1) {
    return EFI_INVALID_PARAMETER;
  }

  for (UINT8 Index = 0, Required = Spec.Required; Required != 0; Index++, Required >>= 1) {
    if (((Required & 1) != 0) && (Op.Word (Index) == 0)) {
      return EFI_INVALID_PARAMETER;
    }
  }

  //
  // An EveryBmc row's Check has already chosen the BMCs.
  //
  if ((Spec.Check != nullptr) && (Spec.Kind != DispatchKind::EveryBmc)) {
    Status = Spec.Check (Op);
    if (Status != EFI_SUCCESS) {
      return Status;
    }
  }

  if (!Spec.Guarded) {
    return Spec.Exchange (Op);
  }

  return RunGuarded (Op, Spec.Exchange);
}

}  // namespace

namespace {

//
// The slot's arguments: PeiServices, This, Spec.Arguments words,
// BmcInstance, Force.
//
OSKEL_ALWAYS_INLINE EFI_STATUS
DispatchArguments (
  IN CONST OperationSpec  &Spec,
  IN CONST UINTN          *Arguments
  )
{
  CONST UINTN  *After = Arguments + 2 + Spec.Arguments;

  return Dispatch (
           Spec,
           reinterpret_cast<CONST EFI_PEI_SERVICES **>(Arguments[0]),  // NOLINT(performance-no-int-to-ptr): arguments arrive as words
           reinterpret_cast<BMC_COMMANDS_PPI *>(Arguments[1]),          // NOLINT(performance-no-int-to-ptr)
           reinterpret_cast<UINT8 *>(After[0]),                         // NOLINT(performance-no-int-to-ptr)
           static_cast<UINT8>(After[1]),
           Arguments + 2
           );
}

}  // namespace

#if defined (OSKEL_ARCH_IA32)
extern "C" EFI_STATUS EFIAPI
DispatchSlotEntry (
  IN UINTN        Slot,
  IN CONST UINTN  *Arguments
  )
{
  //
  // The slot set AL alone; the entry widened it.
  //
  return DispatchArguments (mOperations[static_cast<UINT8>(Slot)], Arguments);
}

#else
EFI_STATUS OSKEL_INTERNAL
DispatchSlot (
  IN CONST OperationSpec  &Spec,
  IN CONST UINTN          *Arguments
  )
{
  return DispatchArguments (Spec, Arguments);
}

#endif

EFI_STATUS OSKEL_INTERNAL
Dispatch (
  IN CONST OperationSpec       &Spec,
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN BMC_COMMANDS_PPI          *This,
  IN UINT8                     *BmcInstance,
  IN UINT8                     Force,
  IN CONST VOID                *Args
  )
{
  EFI_STATUS  Status;
  UINT8       Count = 0;
  UINT8       Index;

  //
  // Every later step reads the record, so a NULL This is refused here
  // rather than dereferenced.
  //
  if (This == nullptr) {
    return EFI_INVALID_PARAMETER;
  }

  Operation  Op;

  Op.PeiServices = (PeiServices != nullptr) ? PeiServices : This->PeiServices;
  Op.This        = This;
  Op.BmcInstance = BmcInstance;
  Op.Force       = Force;
  Op.Refused     = FALSE;
  Op.Args        = Args;
  Op.Spec        = &Spec;

  //
  // The transport is asked for the count once per call; the index check and
  // a broadcast's loop both use that answer. NULL, or an index neither below
  // the count nor ALL_BMCS, is refused.
  //
  (VOID)This->Transport->GetBmcCount (Op.PeiServices, This->Transport, &Count);
  if ((BmcInstance == nullptr) || ((*BmcInstance >= Count) && (*BmcInstance != ALL_BMCS))) {
    return EFI_INVALID_PARAMETER;
  }

  //
  // One BMC, or every BMC in turn for a broadcast. An index below the BMC
  // count is at most FEh, so the end of the loop fits in a byte.
  //
  Index = *BmcInstance;
  if (Spec.Kind == DispatchKind::EveryBmc) {
    //
    // The index was only checked; the worker on BMC i sees one holding i.
    //
    Op.BmcInstance = &Index;
    Index          = 0;
    if (Spec.Check (Op) != EFI_SUCCESS) {
      Count = 1;
    }
  } else if (Spec.Kind == DispatchKind::BmcZeroOnly) {
    if (Index != 0) {
      return EFI_UNSUPPORTED;
    }

    Count = 1;
  } else if (Index == ALL_BMCS) {
    if (Spec.Kind == DispatchKind::SingleBmc) {
      return EFI_UNSUPPORTED;
    }

    //
    // The worker on BMC i sees an index byte holding i, so steps that
    // dispatch again address the same BMC.
    //
    Op.BmcInstance = &Index;
    Index          = 0;
  } else {
    Count = Index + 1;
  }

  for ( ; Index < Count; Index++) {
    Status = This->Transport->SelectBmc (Op.PeiServices, This->Transport, Index);
    if (Status == EFI_SUCCESS) {
      Status = RunWorker (Op, Spec);
    }

    if (Status != EFI_SUCCESS) {
      return Status;
    }
  }

  return EFI_SUCCESS;
}

EFI_STATUS OSKEL_INTERNAL
DispatchStep (
  IN CONST Operation        &Op,
  IN CONST OperationSpec    &Spec,
  IN CONST VOID             *Args
  )
{
  return Dispatch (Spec, Op.PeiServices, Op.This, Op.BmcInstance, Op.Force, Args);
}

namespace {

//
// One TrackBmcStatus call. Kept out of the guard so that its arguments are
// not on the stack while the exchange runs.
//
OSKEL_NOINLINE EFI_STATUS OSKEL_INTERNAL
TrackBmcStatus (
  IN OUT Operation  &Op,
  IN UINT8          Phase,
  IN BOOLEAN        DeviceError
  )
{
  IPMI_TRANSPORT_PPI  *Transport = Op.This->Transport;

  return Transport->TrackBmcStatus (Op.PeiServices, Transport, &Op.State, Phase, DeviceError);
}

}  // namespace

EFI_STATUS OSKEL_INTERNAL
RunGuarded (
  IN OUT Operation     &Op,
  IN OPERATION_STEP    Exchange
  )
{
  EFI_STATUS  Status;

  Op.State = 0xFF;
  Status   = TrackBmcStatus (Op, IPMI_TRACK_PHASE_BEFORE_COMMAND, FALSE);
  if (Op.Force == 0) {
    if (Op.State == IPMI_BMC_STATE_UNUSABLE) {
      return EFI_DEVICE_ERROR;
    }

    if (Status == EFI_INVALID_PARAMETER) {
      return Status;
    }
  }

  Op.Refused = FALSE;
  Status     = Exchange (Op);
  if (Op.Refused) {
    return Status;
  }

  (VOID)TrackBmcStatus (Op, IPMI_TRACK_PHASE_AFTER_COMMAND, (Status == EFI_DEVICE_ERROR) ? TRUE : FALSE);
  return Status;
}

EFI_STATUS OSKEL_INTERNAL
Refuse (
  IN OUT Operation  &Op,
  IN EFI_STATUS     Status
  )
{
  Op.Refused = TRUE;
  return Status;
}

EFI_STATUS OSKEL_INTERNAL
Send (
  IN Operation      &Op,
  IN UINT16         Function,
  IN CONST UINT8    *Request,
  IN UINT8          RequestLength,
  OUT UINT8         *Response,
  IN OUT UINT8      *ResponseLength
  )
{
  IPMI_TRANSPORT_PPI  *Transport = Op.This->Transport;

  return Transport->SendCommand (Op.PeiServices, Transport, static_cast<UINT8>(Function), 0, static_cast<UINT8>(Function >> 8), Request, RequestLength, Response, ResponseLength);
}

EFI_STATUS OSKEL_INTERNAL
ScratchExchangeLengths (
  IN OUT Operation  &Op,
  IN UINT16         Function,
  IN UINT8          RequestLength,
  IN UINT8          Capacity,
  IN UINT8          Minimum
  )
{
  IPMI_TRANSPORT_PPI  *Transport = Op.This->Transport;
  EFI_STATUS          Status;
  UINT8               Length = Capacity;

  //
  // The transport is called from here rather than through Send: this is the
  // innermost frame of every transfer, and one frame fewer keeps the deepest
  // operations within their stack.
  //
  Status      = Transport->SendCommand (Op.PeiServices, Transport, static_cast<UINT8>(Function), 0, static_cast<UINT8>(Function >> 8), Op.Scratch (), RequestLength, Op.Scratch (), &Length);
  Op.Received = (Length < Capacity) ? Length : Capacity;
  if ((Status == EFI_SUCCESS) && (Op.Received < Minimum)) {
    return EFI_PROTOCOL_ERROR;
  }

  return Status;
}

EFI_STATUS OSKEL_INTERNAL
SpecExchangeLengths (
  IN OUT Operation  &Op,
  IN UINT8          RequestLength,
  IN UINT8          Capacity,
  IN UINT8          Minimum
  )
{
  return ScratchExchangeLengths (Op, NetFnCommand (Op.Spec->NetFn, Op.Spec->Command), RequestLength, Capacity, Minimum);
}

}  // namespace Oskel
