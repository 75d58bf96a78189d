/** @file
  The KCS system interface, host side: one write/read transaction per call
  through the data and status/command registers, every flag wait bounded
  on a clock, the Get Status/Abort sequence after an ERROR or unexpected
  state, the health of each BMC and the ready wait at entry.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "KcsTransportPei.h"

namespace OskelKcs {

namespace {

struct KCS_PORTS {
  CONST EFI_PEI_SERVICES    **PeiServices;
  KCS_TRANSPORT_PRIVATE     *Private;
  KCS_RESPONSE_SINK         *Sink;
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
  // A read that fails leaves FFh, what a floating LPC bus returns.
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
// Samples the clock and adds the ticks since the last sample to Ticks.
// Samples must come less than a counter period apart (4.7 s for the PM
// timer, 27 ms for the 8254): every wait samples at each poll, and starts
// with a sample that drops whatever passed since the last one. A read that
// fails leaves the clock where it was: it does not tick, and the poll
// backstop ends the wait.
//
VOID KCS_INTERNAL
SampleClock (
  IN CONST KCS_PORTS  *Ports
  )
{
  KCS_TRANSPORT_PRIVATE  *Private = Ports->Private;
  EFI_PEI_CPU_IO_PPI     *CpuIo   = (*Ports->PeiServices)->CpuIo;
  UINT32                 Now      = Private->ClockLast;
  UINT32                 Mask     = KCS_PM_TIMER_MASK;

  if (Private->TimerPort != 0) {
    (VOID)CpuIo->Io.Read (Ports->PeiServices, CpuIo, EfiPeiCpuIoWidthUint32, Private->TimerPort, 1, &Now);
  } else {
    //
    // The 8254 counts down: latch counter 0, then its low and high bytes,
    // complemented so that the count goes up like the PM timer's.
    //
    WritePort (Ports, KCS_PIT_CONTROL_PORT, KCS_PIT_LATCH_COUNTER0);
    Now  = ReadPort (Ports, KCS_PIT_COUNTER0_PORT);
    Now  = ~(Now | (static_cast<UINT32>(ReadPort (Ports, KCS_PIT_COUNTER0_PORT)) << 8));
    Mask = KCS_PIT_MASK;
  }

  Private->Ticks    += (Now - Private->ClockLast) & Mask;
  Private->ClockLast = Now;
}

/**
  Polls the status register until (status & Mask) == Expected.

  @param[in]  Ports     The interface.
  @param[in]  Mask      Bits looked at.
  @param[in]  Expected  Their value that ends the wait.
  @param[out] Status    The last value read.
  @param[in]  Ticks     Length of the wait on the record's clock.

  @retval TRUE   The bits reached the value.
  @retval FALSE  The wait ran out (Ticks passed, or as many polls as it
                 has ticks: a clock that does not tick), or
                 the register reads FFh: no interface drives the bus, and
                 no BMC state has every bit set, so that ends it at once.
                 The sink's Silence says which.
**/
[[nodiscard]] BOOLEAN KCS_INTERNAL
WaitStatus (
  IN CONST KCS_PORTS  *Ports,
  IN UINT8            Mask,
  IN UINT8            Expected,
  OUT UINT8           *Status,
  IN UINT32           Ticks
  )
{
  KCS_TRANSPORT_PRIVATE  *Private = Ports->Private;
  UINT32                 Start;

  SampleClock (Ports);
  Start = Private->Ticks;
  for (UINT32 Poll = 0; Poll < KcsPollBackstop (Ticks); Poll++) {
    *Status = ReadPort (Ports, Ports->Status);
    if (*Status == 0xFF) {
      Ports->Sink->Silence = KCS_FLOATING;
      return FALSE;
    }

    if ((*Status & Mask) == Expected) {
      return TRUE;
    }

    SampleClock (Ports);
    if (Private->Ticks - Start >= Ticks) {
      break;
    }
  }

  //
  // A wait that runs out counts as its whole length on the clock: with a
  // clock that does not tick, the ready wait's pauses still add up.
  //
  Private->Ticks       = Start + Ticks;
  Ports->Sink->Silence = KCS_TIMED_OUT;
  return FALSE;
}

[[nodiscard]] BOOLEAN KCS_INTERNAL
WaitIbfClear (
  IN CONST KCS_PORTS  *Ports,
  OUT UINT8           *Status
  )
{
  return WaitStatus (Ports, KCS_STATUS_IBF, 0, Status, Ports->Private->WaitTicks);
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
  return ((*Status & KCS_STATUS_OBF) != 0) ||
         WaitStatus (Ports, KCS_STATUS_OBF, KCS_STATUS_OBF, Status, Ports->Private->WaitTicks);
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

/**
  Read phase: one byte per READ acknowledgement until the BMC returns to
  IDLE and closes with a dummy byte. The response is checked as it arrives
  so that nothing of a mismatched answer reaches the caller; bytes past the
  capacity are read and dropped so the interface ends idle. The abort's
  status byte is read the same way, as a response of one byte.

  @param[in] Ports     The interface.
  @param[in] NetFnLun  The request's NetFn/LUN byte.
  @param[in] Command   The request's command.

  @retval EFI_ABORTED       A wait ran out or the state was neither READ nor
                            IDLE: the interface needs an abort.
  @retval EFI_DEVICE_ERROR  Fewer than three bytes, or a mismatched echo.
  @retval other             EFI_SUCCESS or the non-zero completion code.
**/
EFI_STATUS KCS_INTERNAL
ReadResponse (
  IN CONST KCS_PORTS  *Ports,
  IN UINT8            NetFnLun,
  IN UINT8            Command
  )
{
  KCS_RESPONSE_SINK  *Sink = Ports->Sink;
  UINT8              Status;
  UINT8              Byte;
  UINTN              Count;
  BOOLEAN            Mismatch;
  UINT8              CompletionCode;

  Mismatch       = FALSE;
  CompletionCode = 0;
  for (Count = 0; ; Count++) {
    if (!WaitIbfClear (Ports, &Status)) {
      return EFI_ABORTED;
    }

    if (StateOf (Status) != KCS_STATE_READ) {
      if ((StateOf (Status) != KCS_STATE_IDLE) || !WaitObfSet (Ports, &Status)) {
        return EFI_ABORTED;
      }

      (VOID)ReadPort (Ports, Ports->Data);
      break;
    }

    if ((Count == KCS_MAX_RESPONSE_BYTES) || !WaitObfSet (Ports, &Status)) {
      return EFI_ABORTED;
    }

    Byte = ReadPort (Ports, Ports->Data);
    if (Count == 0) {
      Mismatch = (Byte != static_cast<UINT8>(NetFnLun + (1 << 2))) ? TRUE : FALSE;
    } else if (Count == 1) {
      Mismatch = (Mismatch || (Byte != Command)) ? TRUE : FALSE;
    } else if (Count == 2) {
      CompletionCode = Byte;
    } else if (!Mismatch && (Sink->Stored < Sink->Capacity)) {
      Sink->Data[Sink->Stored++] = Byte;
    }

    WritePort (Ports, Ports->Data, KCS_CC_READ);
  }

  if ((Count < KCS_RESPONSE_HEADER_SIZE) || Mismatch) {
    return EFI_DEVICE_ERROR;
  }

  return (CompletionCode != 0) ? static_cast<EFI_STATUS>(CompletionCode) : EFI_SUCCESS;
}

//
// Get Status/Abort: brings the interface back to IDLE after an error. One
// attempt; whatever the BMC's status byte says, the transaction failed.
// A BMC that has gone silent is not asked: that would only wait again,
// and the next transaction aborts if it finds the interface out of IDLE.
//
EFI_STATUS KCS_INTERNAL
AbortTransaction (
  IN CONST KCS_PORTS  *Ports
  )
{
  UINT8  Status;

  if ((Ports->Sink->Silence != KCS_ANSWERED) || !WaitIbfClear (Ports, &Status)) {
    return EFI_DEVICE_ERROR;
  }

  WritePort (Ports, Ports->Status, KCS_CC_GET_STATUS_ABORT);
  if (!WaitIbfClear (Ports, &Status)) {
    return EFI_DEVICE_ERROR;
  }

  ClearObf (Ports, Status);
  WritePort (Ports, Ports->Data, 0x00);
  (VOID)ReadResponse (Ports, 0, 0);
  return EFI_DEVICE_ERROR;
}

EFI_STATUS KCS_INTERNAL
Exchange (
  IN CONST KCS_PORTS  *Ports,
  IN UINT8            NetFnLun,
  IN UINT8            Command,
  IN CONST UINT8      *Request,
  IN UINT8            RequestSize
  )
{
  UINT8       Status;
  UINT8       Byte;
  UINTN       Total;
  EFI_STATUS  Answer;

  //
  // Busy before anything was written: the request never reached the BMC,
  // so the caller may send it again. An ERROR state is a fault instead.
  //
  if (!WaitIbfClear (Ports, &Status)) {
    return (StateOf (Status) != KCS_STATE_ERROR) ? EFI_NOT_READY : EFI_DEVICE_ERROR;
  }

  if (StateOf (Status) != KCS_STATE_IDLE) {
    return AbortTransaction (Ports);
  }

  ClearObf (Ports, Status);
  WritePort (Ports, Ports->Status, KCS_CC_WRITE_START);

  //
  // Write phase: NetFn/LUN, command, request bytes; Write End goes to the
  // command register before the last byte, which ends the phase.
  //
  Total = 2 + static_cast<UINTN>(RequestSize);
  for (UINTN Index = 0; Index < Total; Index++) {
    Byte = (Index == 0) ? NetFnLun : (Index == 1) ? Command : Request[Index - 2];
    if (!WriteAccepted (Ports)) {
      return AbortTransaction (Ports);
    }

    if (Index == Total - 1) {
      WritePort (Ports, Ports->Status, KCS_CC_WRITE_END);
      if (!WriteAccepted (Ports)) {
        return AbortTransaction (Ports);
      }
    }

    WritePort (Ports, Ports->Data, Byte);
  }

  Answer = ReadResponse (Ports, NetFnLun, Command);
  return (Answer == EFI_ABORTED) ? AbortTransaction (Ports) : Answer;
}

}  // namespace

EFI_STATUS KCS_INTERNAL
KcsTransact (
  IN CONST EFI_PEI_SERVICES     **PeiServices,
  IN OUT KCS_TRANSPORT_PRIVATE  *Private,
  IN UINT8                      Index,
  IN UINT8                      NetFnLun,
  IN UINT8                      Command,
  IN CONST UINT8                *Request,
  IN UINT8                      RequestSize,
  IN OUT KCS_RESPONSE_SINK      *Sink
  )
{
  KCS_PORTS   Ports;
  EFI_STATUS  Status;
  UINT8       *Health;
  UINTN       Strikes;

  Ports.PeiServices = PeiServices;
  Ports.Private     = Private;
  Ports.Sink        = Sink;
  Ports.Data        = static_cast<UINT16>(Private->IoBase[Index] + KCS_DATA_PORT_OFFSET);
  Ports.Status      = static_cast<UINT16>(Private->IoBase[Index] + KCS_STATUS_PORT_OFFSET);
  Sink->Stored      = 0;
  Sink->Silence     = KCS_ANSWERED;

  Status = Exchange (&Ports, NetFnLun, Command, Request, RequestSize);

  //
  // Health: silence or the BMC's own timeout writes it off, so that later
  // commands cost nothing until a forced one gets an answer; "busy", "still
  // initialising" and garbled exchanges are strikes; any other answer
  // clears them.
  //
  Health  = &Private->Health[Index];
  Strikes = ((Status == EFI_DEVICE_ERROR) || (Status == IPMI_CC_NODE_BUSY) || (Status == IPMI_CC_INIT_IN_PROGRESS)) ? *Health + 1 : 0;
  if ((Sink->Silence != KCS_ANSWERED) || (Status == IPMI_CC_TIMEOUT) || (Strikes > KCS_WRITTEN_OFF)) {
    Strikes = KCS_WRITTEN_OFF;
  }

  *Health = static_cast<UINT8>(Strikes);

  return Status;
}

VOID KCS_INTERNAL
KcsWaitForReadyBmcs (
  IN CONST EFI_PEI_SERVICES     **PeiServices,
  IN OUT KCS_TRANSPORT_PRIVATE  *Private
  )
{
  KCS_RESPONSE_SINK  Sink;
  KCS_PORTS          Ports;
  UINT8              Identity[IPMI_DEVICE_ID_FIRMWARE_BYTE + 1];
  UINT32             Start;
  UINT8              Status;

  Ports.PeiServices = PeiServices;
  Ports.Private     = Private;
  Ports.Sink        = &Sink;
  SampleClock (&Ports);
  Start = Private->Ticks;
  for (UINT8 Index = 0; Index < Private->BmcCount; Index++) {
    Ports.Status = static_cast<UINT16>(Private->IoBase[Index] + KCS_STATUS_PORT_OFFSET);
    do {
      Sink.Data     = Identity;
      Sink.Capacity = sizeof (Identity);
      if ((KcsTransact (PeiServices, Private, Index, IPMI_NETFN_APP << 2, IPMI_CMD_GET_DEVICE_ID, nullptr, 0, &Sink) == EFI_SUCCESS) &&
          (Sink.Stored == sizeof (Identity)) && ((Identity[IPMI_DEVICE_ID_FIRMWARE_BYTE] & IPMI_DEVICE_ID_UNAVAILABLE) == 0))
      {
        break;
      }

      //
      // Not ready: written off unless a later attempt gets the answer.
      //
      Private->Health[Index] = KCS_WRITTEN_OFF;
      if ((Sink.Silence == KCS_FLOATING) || (Private->Ticks - Start >= Private->ReadyTicks)) {
        break;
      }

      //
      // The pause: a wait for a status that never comes, on the same clock.
      //
      (VOID)WaitStatus (&Ports, 0, 1, &Status, Private->PauseTicks);
    } while (TRUE);
  }
}

}  // namespace OskelKcs
