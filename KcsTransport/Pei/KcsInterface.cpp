/** @file
  The KCS system interface, host side: one write/read transaction per call
  through the data and status/command registers, every flag wait counted,
  and the Get Status/Abort sequence after an ERROR or unexpected state.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "KcsTransportPei.h"

namespace OskelKcs {

namespace {

struct KCS_PORTS {
  CONST EFI_PEI_SERVICES    **PeiServices;
  UINT16                    Data;
  UINT16                    Status;
};

UINT8 KCS_INTERNAL
ReadPort (
  IN CONST KCS_PORTS  *Ports,
  IN UINT16           Port
  )
{
  EFI_PEI_CPU_IO_PPI  *CpuIo = (*Ports->PeiServices)->CpuIo;
  UINT8               Value  = 0xFF;

  //
  // A read that fails leaves FFh, what a floating LPC bus returns: the
  // ERROR state with both flags set, which ends the transaction.
  //
  (VOID)CpuIo->Io.Read (Ports->PeiServices, CpuIo, EfiPeiCpuIoWidthUint8, Port, 1, &Value);
  return Value;
}

VOID KCS_INTERNAL
WritePort (
  IN CONST KCS_PORTS  *Ports,
  IN UINT16           Port,
  IN UINT8            Value
  )
{
  EFI_PEI_CPU_IO_PPI  *CpuIo = (*Ports->PeiServices)->CpuIo;

  (VOID)CpuIo->Io.Write (Ports->PeiServices, CpuIo, EfiPeiCpuIoWidthUint8, Port, 1, &Value);
}

constexpr UINT8
StateOf (
  IN UINT8  Status
  )
{
  return static_cast<UINT8>(Status >> KCS_STATUS_STATE_SHIFT);
}

//
// Polls the status register until (status & Mask) == Expected, at most
// mKcsPollBudget reads; *Status is the last value read either way.
//
[[nodiscard]] BOOLEAN KCS_INTERNAL
WaitStatus (
  IN CONST KCS_PORTS  *Ports,
  IN UINT8            Mask,
  IN UINT8            Expected,
  OUT UINT8           *Status
  )
{
  for (UINT32 Poll = 0; Poll < mKcsPollBudget; Poll++) {
    *Status = ReadPort (Ports, Ports->Status);
    if ((*Status & Mask) == Expected) {
      return TRUE;
    }
  }

  return FALSE;
}

[[nodiscard]] BOOLEAN KCS_INTERNAL
WaitIbfClear (
  IN CONST KCS_PORTS  *Ports,
  OUT UINT8           *Status
  )
{
  return WaitStatus (Ports, KCS_STATUS_IBF, 0, Status);
}

//
// OBF may already show in the status that ended the IBF wait; only then
// is no further read needed.
//
[[nodiscard]] BOOLEAN KCS_INTERNAL
WaitObfSet (
  IN CONST KCS_PORTS  *Ports,
  IN OUT UINT8        *Status
  )
{
  return ((*Status & KCS_STATUS_OBF) != 0) || WaitStatus (Ports, KCS_STATUS_OBF, KCS_STATUS_OBF, Status);
}

//
// A byte left in the output register would be taken for the next response
// byte; reading the data register empties it.
//
VOID KCS_INTERNAL
ClearObf (
  IN CONST KCS_PORTS  *Ports,
  IN UINT8            Status
  )
{
  if ((Status & KCS_STATUS_OBF) != 0) {
    (VOID)ReadPort (Ports, Ports->Data);
  }
}

//
// After each write of the write phase: the BMC has taken the byte and is
// still in the WRITE state.
//
[[nodiscard]] BOOLEAN KCS_INTERNAL
WriteAccepted (
  IN CONST KCS_PORTS  *Ports
  )
{
  UINT8  Status;

  if (!WaitIbfClear (Ports, &Status) || (StateOf (Status) != KCS_STATE_WRITE)) {
    return FALSE;
  }

  ClearObf (Ports, Status);
  return TRUE;
}

//
// Get Status/Abort: brings the interface back to IDLE after an error. One
// attempt; whatever the BMC's status byte says, the transaction failed.
//
EFI_STATUS KCS_INTERNAL
AbortTransaction (
  IN CONST KCS_PORTS  *Ports
  )
{
  UINT8  Status;

  if (!WaitIbfClear (Ports, &Status)) {
    return EFI_DEVICE_ERROR;
  }

  WritePort (Ports, Ports->Status, KCS_CC_GET_STATUS_ABORT);
  if (!WaitIbfClear (Ports, &Status)) {
    return EFI_DEVICE_ERROR;
  }

  ClearObf (Ports, Status);
  WritePort (Ports, Ports->Data, 0x00);
  if (!WaitIbfClear (Ports, &Status) || (StateOf (Status) != KCS_STATE_READ) || !WaitObfSet (Ports, &Status)) {
    return EFI_DEVICE_ERROR;
  }

  (VOID)ReadPort (Ports, Ports->Data);
  WritePort (Ports, Ports->Data, KCS_CC_READ);
  if (!WaitIbfClear (Ports, &Status) || (StateOf (Status) != KCS_STATE_IDLE) || !WaitObfSet (Ports, &Status)) {
    return EFI_DEVICE_ERROR;
  }

  (VOID)ReadPort (Ports, Ports->Data);
  return EFI_DEVICE_ERROR;
}

}  // namespace

EFI_STATUS KCS_INTERNAL
KcsTransact (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN UINT16                  IoBase,
  IN UINT8                   NetFnLun,
  IN UINT8                   Command,
  IN CONST UINT8             *Request,
  IN UINT8                   RequestSize,
  IN OUT KCS_RESPONSE_SINK   *Sink
  )
{
  KCS_PORTS  Ports;
  UINT8      Status;
  UINT8      Byte;
  UINTN      Total;
  UINTN      Count;
  BOOLEAN    Mismatch;
  UINT8      CompletionCode;

  Ports.PeiServices = PeiServices;
  Ports.Data        = static_cast<UINT16>(IoBase + KCS_DATA_PORT_OFFSET);
  Ports.Status      = static_cast<UINT16>(IoBase + KCS_STATUS_PORT_OFFSET);
  Sink->Stored      = 0;

  //
  // Busy before anything was written: the request never reached the BMC,
  // so the caller may send it again. An ERROR state is a fault instead.
  //
  if (!WaitIbfClear (&Ports, &Status)) {
    return (StateOf (Status) == KCS_STATE_ERROR) ? AbortTransaction (&Ports) : EFI_NOT_READY;
  }

  if (StateOf (Status) != KCS_STATE_IDLE) {
    return AbortTransaction (&Ports);
  }

  ClearObf (&Ports, Status);
  WritePort (&Ports, Ports.Status, KCS_CC_WRITE_START);

  //
  // Write phase: NetFn/LUN, command, request bytes; Write End goes to the
  // command register before the last byte, which ends the phase.
  //
  Total = 2 + static_cast<UINTN>(RequestSize);
  for (UINTN Index = 0; Index < Total; Index++) {
    Byte = (Index == 0) ? NetFnLun : (Index == 1) ? Command : Request[Index - 2];
    if (!WriteAccepted (&Ports)) {
      return AbortTransaction (&Ports);
    }

    if (Index == Total - 1) {
      WritePort (&Ports, Ports.Status, KCS_CC_WRITE_END);
      if (!WriteAccepted (&Ports)) {
        return AbortTransaction (&Ports);
      }
    }

    WritePort (&Ports, Ports.Data, Byte);
  }

  //
  // Read phase: one byte per READ acknowledgement until the BMC returns
  // to IDLE and closes with a dummy byte. The response is checked as it
  // arrives so that nothing of a mismatched answer reaches the caller;
  // bytes past the capacity are read and dropped so the interface ends idle.
  //
  Mismatch       = FALSE;
  CompletionCode = 0;
  for (Count = 0; ; Count++) {
    if (!WaitIbfClear (&Ports, &Status)) {
      return AbortTransaction (&Ports);
    }

    if (StateOf (Status) != KCS_STATE_READ) {
      if ((StateOf (Status) != KCS_STATE_IDLE) || !WaitObfSet (&Ports, &Status)) {
        return AbortTransaction (&Ports);
      }

      (VOID)ReadPort (&Ports, Ports.Data);
      break;
    }

    if ((Count == KCS_MAX_RESPONSE_BYTES) || !WaitObfSet (&Ports, &Status)) {
      return AbortTransaction (&Ports);
    }

    Byte = ReadPort (&Ports, Ports.Data);
    if (Count == 0) {
      Mismatch = (Byte != static_cast<UINT8>(NetFnLun + (1 << 2))) ? TRUE : FALSE;
    } else if (Count == 1) {
      Mismatch = (Mismatch || (Byte != Command)) ? TRUE : FALSE;
    } else if (Count == 2) {
      CompletionCode = Byte;
    } else if (!Mismatch && (Sink->Stored < Sink->Capacity)) {
      Sink->Data[Sink->Stored++] = Byte;
    }

    WritePort (&Ports, Ports.Data, KCS_CC_READ);
  }

  if ((Count < KCS_RESPONSE_HEADER_SIZE) || Mismatch) {
    return EFI_DEVICE_ERROR;
  }

  return (CompletionCode != 0) ? static_cast<EFI_STATUS>(CompletionCode) : EFI_SUCCESS;
}

}  // namespace OskelKcs
