/** @file
  What every system interface shares: port access, the clock and the waits
  bounded on it, one transaction per call on the BMC's own interface with
  the health of each BMC judged from its outcome, and the ready wait at
  entry.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "IpmiTransportPei.h"

namespace OskelTransport {

UINT32 TRANSPORT_INTERNAL
PortIo (
  IN TRANSPORT_PRIVATE  *Private,
  IN UINT16             Port,
  IN UINT32             Value,
  IN UINT8              Access
  )
{
  CONST EFI_PEI_SERVICES  **PeiServices = Private->PeiServices;
  EFI_PEI_CPU_IO_PPI      *CpuIo        = (*PeiServices)->CpuIo;

  (VOID)(((Access & 1) != 0) ? CpuIo->Io.Write : CpuIo->Io.Read)(
          PeiServices,
          CpuIo,
          static_cast<EFI_PEI_CPU_IO_PPI_WIDTH>(Access >> 1),
          Port,
          1,
          &Value
          );
  return Value;
}

UINT8 TRANSPORT_INTERNAL
ReadRegister (
  IN TRANSPORT_PRIVATE  *Private,
  IN UINT16             Port
  )
{
  return static_cast<UINT8>(PortIo (Private, Port, 0xFF, IO_READ8));
}

VOID TRANSPORT_INTERNAL
WriteRegister (
  IN TRANSPORT_PRIVATE  *Private,
  IN UINT16             Port,
  IN UINT8              Value
  )
{
  (VOID)PortIo (Private, Port, Value, IO_WRITE8);
}

namespace {

/**
  Samples the clock. Samples must come less than a counter period apart
  (4.7 s for the PM timer, 27 ms for the 8254), as they do at each poll of
  a wait; a wait's first sample only sets the starting point. A read that
  fails leaves the PM timer where it was and reads the 8254 as 0: a clock
  that does not advance.

  @param[in, out] Private  The record: its clock.

  @return The ticks since the last sample: 0 when the clock reads as it did.
**/
UINT32 TRANSPORT_INTERNAL
SampleClock (
  IN OUT TRANSPORT_PRIVATE  *Private
  )
{
  UINT32  Now;
  UINT32  Passed;

  if (Private->TimerPort != 0) {
    Now    = PortIo (Private, Private->TimerPort, Private->ClockLast, IO_READ32);
    Passed = ((Now - Private->ClockLast) & PM_TIMER_MASK) * PM_TIMER_TICKS;
  } else {
    //
    // The 8254 counts down: latch counter 0, then its low and high bytes,
    // complemented so that the count goes up like the PM timer's.
    //
    (VOID)PortIo (Private, PIT_CONTROL_PORT, PIT_LATCH_COUNTER0, IO_WRITE8);
    Now    = PortIo (Private, PIT_COUNTER0_PORT, 0, IO_READ8);
    Now    = ~(Now | (PortIo (Private, PIT_COUNTER0_PORT, 0, IO_READ8) << 8));
    Passed = ((Now - Private->ClockLast) & PIT_MASK) * PIT_COUNT_TICKS;
  }

  Private->ClockLast = Now;
  return Passed;
}

/**
  Moves the record's time on by what the clock shows since its last
  sample, and tells a clock that has stopped (IpmiTransportPei.h): a still
  PM timer hands over to the 8254 for the rest of this run, from a first
  sample of it, its still polls having counted nothing.

  @param[in, out] Private  The record: its clock.
  @param[in, out] Still    Samples in a row that saw no change.

  @retval TRUE   A clock runs.
  @retval FALSE  The 8254 stands still too: no clock is left.

  Inlined into each wait: a build without SSIF has the one, as it had
  before the step was a function.
**/
OSKEL_ALWAYS_INLINE BOOLEAN
Advance (
  IN OUT TRANSPORT_PRIVATE  *Private,
  IN OUT UINT32             *Still
  )
{
  UINT32  Passed;

  Passed          = SampleClock (Private);
  Private->Ticks += Passed;
  *Still          = (Passed == 0) ? *Still + 1 : 0;
  if (*Still == CLOCK_STILL_POLLS) {
    if (Private->TimerPort == 0) {
      return FALSE;
    }

    Private->TimerPort = 0;
    (VOID)SampleClock (Private);
    *Still = 0;
  }

  return TRUE;
}

}  // namespace

BOOLEAN TRANSPORT_INTERNAL
WaitStatus (
  IN OUT TRANSPORT_PRIVATE  *Private,
  IN UINT8                  Mask,
  IN UINT8                  Expected,
  IN UINT32                 Ticks
  )
{
  UINT32  Start;
  UINT32  Still;

  (VOID)SampleClock (Private);
  Start = Private->Ticks;
  Still = 0;
  do {
    Private->Status = ReadRegister (Private, Private->StatusPort);
    if (Private->Status == 0xFF) {
      Private->Sink.Silence = FLOATING;
      return FALSE;
    }

    if ((Private->Status & Mask) == Expected) {
      return TRUE;
    }

    //
    // A still 8254 leaves no clock: the wait ends there.
    //
    if (!Advance (Private, &Still)) {
      break;
    }
  } while (Private->Ticks - Start < Ticks);

  //
  // A wait that runs out counts as its whole length: with no clock, the
  // ready wait's pauses still add up to its end.
  //
  Private->Ticks        = Start + Ticks;
  Private->Sink.Silence = TIMED_OUT;
  return FALSE;
}

#if OSKEL_TRANSPORT_SSIF

UINT32 TRANSPORT_INTERNAL
StartWait (
  IN OUT TRANSPORT_PRIVATE  *Private
  )
{
  (VOID)SampleClock (Private);
  return Private->Ticks;
}

BOOLEAN TRANSPORT_INTERNAL
PauseWithin (
  IN OUT TRANSPORT_PRIVATE  *Private,
  IN UINT32                 Start,
  IN UINT32                 Ticks,
  IN UINT32                 Pause
  )
{
  UINT32  Began;
  UINT32  Still;

  //
  // The time since the last sample (the transaction just tried) counts.
  //
  Still = 0;
  Began = Private->Ticks;
  while (Advance (Private, &Still) && (Private->Ticks - Start < Ticks)) {
    if (Private->Ticks - Began >= Pause) {
      return TRUE;
    }
  }

  Private->Ticks        = Start + Ticks;
  Private->Sink.Silence = TIMED_OUT;
  return FALSE;
}

#endif

EFI_STATUS TRANSPORT_INTERNAL
Transact (
  IN OUT TRANSPORT_PRIVATE  *Private,
  IN UINT8                  Index,
  IN UINT8                  RequestNetFnLun,
  IN UINT8                  Command,
  IN CONST UINT8            *Request,
  IN UINT8                  RequestSize
  )
{
  EFI_STATUS  Status;
  UINT8       *Health;
  UINTN       Strikes;
  UINT16      Address;

  if constexpr (mReadsInterfaces) {
    Private->Current = Index;
  }

  Private->RequestHeader[REQUEST_NETFN_LUN] = RequestNetFnLun;
  Private->RequestHeader[REQUEST_COMMAND]   = Command;
  Private->Request                          = Request;
  Private->RequestSize                      = RequestSize;
  Private->Sink.Stored                      = 0;
  Private->Sink.Silence                     = ANSWERED;
  Address                                   = Private->Address[Index];

  //
  // The interface of the BMC, when this build carries it; without one the
  // transaction is silence, and writes the BMC off without a port access.
  // An SSIF BMC's address is its exchange's to read.
  //
  (VOID)Address;
  switch (mReadsInterfaces ? Private->Interface[Index] : IPMI_INTERFACE_KCS) {
 #if OSKEL_TRANSPORT_BT
    case IPMI_INTERFACE_BT:
      Private->StatusPort = Address;
      Private->DataPort   = static_cast<UINT16>(Address + 1);
      Status              = BtExchange (Private);

      //
      // A request larger than the BMC's buffer never reached it: the
      // caller's mistake, not the BMC's health.
      //
      if (Status == EFI_BAD_BUFFER_SIZE) {
        return Status;
      }

      break;
 #endif
 #if OSKEL_TRANSPORT_SSIF
    case IPMI_INTERFACE_SSIF:
      Status = SsifExchange (Private);
      if (Status == EFI_BAD_BUFFER_SIZE) {
        return Status;
      }

      break;
 #endif
 #if OSKEL_TRANSPORT_KCS
    case IPMI_INTERFACE_KCS:
      Private->DataPort   = static_cast<UINT16>(Address + KCS_DATA_PORT_OFFSET);
      Private->StatusPort = static_cast<UINT16>(Private->DataPort + 1);
      Status              = KcsExchange (Private);
      break;
 #endif
    default:
      Private->Sink.Silence = NO_INTERFACE;
      Status                = EFI_DEVICE_ERROR;
      break;
  }

  //
  // Health: silence or the BMC's own timeout writes it off, so that later
  // commands cost nothing until a forced one gets an answer; "busy", "still
  // initialising" and garbled exchanges are strikes; any other answer
  // clears them.
  //
  Health  = &Private->State.Health[Index];
  Strikes = ((Status == EFI_DEVICE_ERROR) || (Status == IPMI_CC_NODE_BUSY) || (Status == IPMI_CC_INIT_IN_PROGRESS)) ? *Health + 1 : 0;
  if ((Private->Sink.Silence != ANSWERED) || (Status == IPMI_CC_TIMEOUT) || (Strikes > WRITTEN_OFF)) {
    Strikes = WRITTEN_OFF;
  }

  *Health = static_cast<UINT8>(Strikes);

  return Status;
}

VOID TRANSPORT_INTERNAL
WaitForReadyBmcs (
  IN OUT TRANSPORT_PRIVATE  *Private
  )
{
  UINT8   Identity[IPMI_DEVICE_ID_FIRMWARE_BYTE + 1];
  UINT32  Start;

  Start = Private->Ticks;
  for (UINT8 Index = 0; Index < Private->BmcCount; Index++) {
    do {
      Private->Sink.Data     = Identity;
      Private->Sink.Capacity = sizeof (Identity);
      if ((Transact (Private, Index, NetFnLun (IPMI_NETFN_APP, 0), IPMI_CMD_GET_DEVICE_ID, nullptr, 0) == EFI_SUCCESS) &&
          (Private->Sink.Stored == sizeof (Identity)) && ((Identity[IPMI_DEVICE_ID_FIRMWARE_BYTE] & IPMI_DEVICE_ID_UNAVAILABLE) == 0))
      {
        break;
      }

      //
      // Not ready: written off unless a later attempt gets the answer. An
      // interface that floats, or that the build does not carry, will not
      // become ready.
      //
      Private->State.Health[Index] = WRITTEN_OFF;
      if ((Private->Sink.Silence >= FLOATING) || (Private->Ticks - Start >= Private->WaitTicks[WAIT_READY])) {
        break;
      }

      //
      // The pause, on the same clock: a wait for a status that never comes,
      // on the same BMC's status register; a build with SSIF, whose BMCs
      // have no register to poll, waits on the clock alone.
      //
 #if OSKEL_TRANSPORT_SSIF
      (VOID)PauseWithin (Private, StartWait (Private), READY_PAUSE_TICKS, READY_PAUSE_TICKS);
 #else
      (VOID)WaitStatus (Private, 0, 1, READY_PAUSE_TICKS);
 #endif
    } while (TRUE);
  }
}

}  // namespace OskelTransport
