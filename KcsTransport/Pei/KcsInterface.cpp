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

//
// CPU I/O accesses: bit 0 says write, the bits above are the width.
//
constexpr UINT8  KCS_IO_READ8  = EfiPeiCpuIoWidthUint8 << 1;
constexpr UINT8  KCS_IO_WRITE8 = (EfiPeiCpuIoWidthUint8 << 1) | 1;
constexpr UINT8  KCS_IO_READ32 = EfiPeiCpuIoWidthUint32 << 1;

//
// The two KCS registers, from the BMC's data port.
//
constexpr UINT8  KCS_DATA   = 0;
constexpr UINT8  KCS_STATUS = 1;  // status on reads, command on writes

/**
  One access through the CPU I/O PPI, the only way the transport reaches a
  port. Value is what a write puts out, and what a read that fails leaves
  (FFh for a KCS register: what a floating LPC bus returns). x86 ports are
  little-endian, so an 8-bit access takes the low byte of Value.

  @return The value read, or Value for a write.
**/
UINT32 KCS_INTERNAL
PortIo (
  IN KCS_TRANSPORT_PRIVATE  *Private,
  IN UINT16                 Port,
  IN UINT32                 Value,
  IN UINT8                  Access
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

UINT8 KCS_INTERNAL
ReadRegister (
  IN KCS_TRANSPORT_PRIVATE  *Private,
  IN UINT8                  Register
  )
{
  return static_cast<UINT8>(PortIo (Private, static_cast<UINT16>(Private->DataPort + Register), 0xFF, KCS_IO_READ8));
}

VOID KCS_INTERNAL
WriteRegister (
  IN KCS_TRANSPORT_PRIVATE  *Private,
  IN UINT8                  Register,
  IN UINT8                  Value
  )
{
  (VOID)PortIo (Private, static_cast<UINT16>(Private->DataPort + Register), Value, KCS_IO_WRITE8);
}

constexpr UINT8
StateOf (
  IN UINT8  Status
  )
{
  return static_cast<UINT8>(Status >> KCS_STATUS_STATE_SHIFT);
}

/**
  Samples the clock. Samples must come less than a counter period apart
  (4.7 s for the PM timer, 27 ms for the 8254), as they do at each poll of
  a wait; a wait's first sample only sets the starting point. A read that
  fails leaves the PM timer where it was and reads the 8254 as 0: a clock
  that does not advance.

  @param[in, out] Private  The record: its clock.

  @return The ticks since the last sample: 0 when the clock reads as it did.
**/
UINT32 KCS_INTERNAL
SampleClock (
  IN OUT KCS_TRANSPORT_PRIVATE  *Private
  )
{
  UINT32  Now;
  UINT32  Passed;

  if (Private->TimerPort != 0) {
    Now    = PortIo (Private, Private->TimerPort, Private->ClockLast, KCS_IO_READ32);
    Passed = ((Now - Private->ClockLast) & KCS_PM_TIMER_MASK) * KCS_PM_TIMER_TICKS;
  } else {
    //
    // The 8254 counts down: latch counter 0, then its low and high bytes,
    // complemented so that the count goes up like the PM timer's.
    //
    (VOID)PortIo (Private, KCS_PIT_CONTROL_PORT, KCS_PIT_LATCH_COUNTER0, KCS_IO_WRITE8);
    Now    = PortIo (Private, KCS_PIT_COUNTER0_PORT, 0, KCS_IO_READ8);
    Now    = ~(Now | (PortIo (Private, KCS_PIT_COUNTER0_PORT, 0, KCS_IO_READ8) << 8));
    Passed = ((Now - Private->ClockLast) & KCS_PIT_MASK) * KCS_PIT_COUNT_TICKS;
  }

  Private->ClockLast = Now;
  return Passed;
}

/**
  Polls the status register until (status & Mask) == Expected; the record's
  Status keeps the last value read.

  @param[in, out] Private   The record, in a transaction.
  @param[in]      Mask      Bits looked at.
  @param[in]      Expected  Their value that ends the wait.
  @param[in]      Ticks     Length of the wait.

  @retval TRUE   The bits reached the value.
  @retval FALSE  The wait ran out (Ticks passed, or no clock advances), or
                 the register reads FFh: no interface drives the bus, and
                 no BMC state has every bit set, so that ends it at once.
                 The sink's Silence says which.
**/
[[nodiscard]] BOOLEAN KCS_INTERNAL
WaitStatus (
  IN OUT KCS_TRANSPORT_PRIVATE  *Private,
  IN UINT8                      Mask,
  IN UINT8                      Expected,
  IN UINT32                     Ticks
  )
{
  UINT32  Start;
  UINT32  Passed;
  UINT32  Still;

  (VOID)SampleClock (Private);
  Start = Private->Ticks;
  Still = 0;
  do {
    Private->Status = ReadRegister (Private, KCS_STATUS);
    if (Private->Status == 0xFF) {
      Private->Sink.Silence = KCS_FLOATING;
      return FALSE;
    }

    if ((Private->Status & Mask) == Expected) {
      return TRUE;
    }

    Passed          = SampleClock (Private);
    Private->Ticks += Passed;
    Still           = (Passed == 0) ? Still + 1 : 0;
    if (Still == KCS_CLOCK_STILL_POLLS) {
      //
      // The clock is not running (KcsTransportPei.h). A still 8254 leaves
      // no clock: the wait ends. A still PM timer hands over to the 8254
      // for the rest of this run, and the wait goes on, its still polls
      // having counted nothing, from a first sample of the 8254.
      //
      if (Private->TimerPort == 0) {
        break;
      }

      Private->TimerPort = 0;
      (VOID)SampleClock (Private);
      Still = 0;
    }
  } while (Private->Ticks - Start < Ticks);

  //
  // A wait that runs out counts as its whole length: with no clock, the
  // ready wait's pauses still add up to its end.
  //
  Private->Ticks        = Start + Ticks;
  Private->Sink.Silence = KCS_TIMED_OUT;
  return FALSE;
}

//
// Before each write and each read of the transaction: the BMC has taken
// the last byte written, within the platform's flag wait.
//
[[nodiscard]] BOOLEAN KCS_INTERNAL
WaitIbfClear (
  IN OUT KCS_TRANSPORT_PRIVATE  *Private
  )
{
  return WaitStatus (Private, KCS_STATUS_IBF, 0, Private->WaitTicks[KCS_WAIT_FLAG]);
}

//
// A byte left in the output register would be taken for the next response
// byte; reading the data register empties it.
//
VOID KCS_INTERNAL
ClearObf (
  IN OUT KCS_TRANSPORT_PRIVATE  *Private
  )
{
  if ((Private->Status & KCS_STATUS_OBF) != 0) {
    (VOID)ReadRegister (Private, KCS_DATA);
  }
}

//
// After each write of the write phase: the BMC has taken the byte and is
// still in the WRITE state.
//
[[nodiscard]] BOOLEAN KCS_INTERNAL
WriteAccepted (
  IN OUT KCS_TRANSPORT_PRIVATE  *Private
  )
{
  if (!WaitIbfClear (Private) || (StateOf (Private->Status) != KCS_STATE_WRITE)) {
    return FALSE;
  }

  ClearObf (Private);
  return TRUE;
}

/**
  Read phase: one byte per READ acknowledgement until the BMC returns to
  IDLE and closes with a dummy byte. The response is checked as it arrives
  so that nothing of a mismatched answer reaches the caller; bytes past the
  capacity are read and dropped so the interface ends idle. The abort's
  status byte is read the same way, as a response of one byte.

  @param[in, out] Private   The record, in a transaction.
  @param[in]      NetFnLun  The request's NetFn/LUN byte.
  @param[in]      Command   The request's command.

  @retval EFI_ABORTED       A wait ran out or the state was neither READ nor
                            IDLE: the interface needs an abort.
  @retval EFI_DEVICE_ERROR  Fewer than three bytes, or a mismatched echo.
  @retval other             EFI_SUCCESS or the non-zero completion code.
**/
EFI_STATUS KCS_INTERNAL
ReadResponse (
  IN OUT KCS_TRANSPORT_PRIVATE  *Private,
  IN UINT8                      NetFnLun,
  IN UINT8                      Command
  )
{
  KCS_RESPONSE_SINK  *Sink = &Private->Sink;
  UINT8              Echo[2];
  UINT8              Byte;
  UINT8              State;
  UINTN              Count;
  BOOLEAN            Mismatch;
  UINT8              CompletionCode;

  Echo[0]        = KcsResponseNetFnLun (NetFnLun);
  Echo[1]        = Command;
  Mismatch       = FALSE;
  CompletionCode = 0;
  for (Count = 0; ; Count++) {
    //
    // READ: OBF brings the next byte. IDLE: OBF brings the dummy byte that
    // closes the phase. OBF may already show in the status that ended the
    // IBF wait; only then is no further read needed.
    //
    if (!WaitIbfClear (Private)) {
      return EFI_ABORTED;
    }

    State = StateOf (Private->Status);
    if (((State != KCS_STATE_READ) && (State != KCS_STATE_IDLE)) ||
        ((State == KCS_STATE_READ) && (Count == KCS_MAX_RESPONSE_BYTES)) ||
        (((Private->Status & KCS_STATUS_OBF) == 0) && !WaitStatus (Private, KCS_STATUS_OBF, KCS_STATUS_OBF, Private->WaitTicks[KCS_WAIT_FLAG])))
    {
      return EFI_ABORTED;
    }

    Byte = ReadRegister (Private, KCS_DATA);
    if (State == KCS_STATE_IDLE) {
      break;
    }

    if (Count < sizeof (Echo)) {
      Mismatch |= (Byte != Echo[Count]) ? TRUE : FALSE;
    } else if (Count == sizeof (Echo)) {
      CompletionCode = Byte;
    } else if (!Mismatch && (Sink->Stored < Sink->Capacity)) {
      Sink->Data[Sink->Stored++] = Byte;
    }

    WriteRegister (Private, KCS_DATA, KCS_CC_READ);
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
  IN OUT KCS_TRANSPORT_PRIVATE  *Private
  )
{
  if ((Private->Sink.Silence != KCS_ANSWERED) || !WaitIbfClear (Private)) {
    return EFI_DEVICE_ERROR;
  }

  WriteRegister (Private, KCS_STATUS, KCS_CC_GET_STATUS_ABORT);
  if (!WaitIbfClear (Private)) {
    return EFI_DEVICE_ERROR;
  }

  ClearObf (Private);
  WriteRegister (Private, KCS_DATA, 0x00);
  (VOID)ReadResponse (Private, 0, 0);
  return EFI_DEVICE_ERROR;
}

EFI_STATUS KCS_INTERNAL
Exchange (
  IN OUT KCS_TRANSPORT_PRIVATE  *Private,
  IN UINT8                      NetFnLun,
  IN UINT8                      Command,
  IN CONST UINT8                *Request,
  IN UINT8                      RequestSize
  )
{
  UINT8       Header[2];
  UINT8       Register;
  UINT8       Byte;
  UINTN       Total;
  EFI_STATUS  Answer;

  //
  // Busy before anything was written: the request never reached the BMC,
  // so the caller may send it again. An ERROR state is a fault instead.
  //
  if (!WaitIbfClear (Private)) {
    return (StateOf (Private->Status) != KCS_STATE_ERROR) ? EFI_NOT_READY : EFI_DEVICE_ERROR;
  }

  if (StateOf (Private->Status) != KCS_STATE_IDLE) {
    return AbortTransaction (Private);
  }

  ClearObf (Private);

  //
  // Write phase: Write Start to the command register, then NetFn/LUN,
  // command and request bytes to the data register, with Write End to the
  // command register before the last byte, which ends the phase. The BMC
  // takes each write before the next, except the last.
  //
  Header[0] = NetFnLun;
  Header[1] = Command;
  Total     = sizeof (Header) + static_cast<UINTN>(RequestSize);
  Register  = KCS_STATUS;
  Byte      = KCS_CC_WRITE_START;
  for (UINTN Index = 0; ; ) {
    WriteRegister (Private, Register, Byte);
    if (Index == Total) {
      break;
    }

    if (!WriteAccepted (Private)) {
      return AbortTransaction (Private);
    }

    if ((Index == Total - 1) && (Register == KCS_DATA)) {
      Register = KCS_STATUS;
      Byte     = KCS_CC_WRITE_END;
    } else {
      Register = KCS_DATA;
      Byte     = (Index < sizeof (Header)) ? Header[Index] : Request[Index - sizeof (Header)];
      Index++;
    }
  }

  Answer = ReadResponse (Private, NetFnLun, Command);
  return (Answer == EFI_ABORTED) ? AbortTransaction (Private) : Answer;
}

}  // namespace

EFI_STATUS KCS_INTERNAL
KcsTransact (
  IN OUT KCS_TRANSPORT_PRIVATE  *Private,
  IN UINT8                      Index,
  IN UINT8                      NetFnLun,
  IN UINT8                      Command,
  IN CONST UINT8                *Request,
  IN UINT8                      RequestSize
  )
{
  EFI_STATUS  Status;
  UINT8       *Health;
  UINTN       Strikes;

  Private->DataPort      = static_cast<UINT16>(Private->IoBase[Index] + KCS_DATA_PORT_OFFSET);
  Private->Sink.Stored  = 0;
  Private->Sink.Silence = KCS_ANSWERED;

  Status = Exchange (Private, NetFnLun, Command, Request, RequestSize);

  //
  // Health: silence or the BMC's own timeout writes it off, so that later
  // commands cost nothing until a forced one gets an answer; "busy", "still
  // initialising" and garbled exchanges are strikes; any other answer
  // clears them.
  //
  Health  = &Private->Health[Index];
  Strikes = ((Status == EFI_DEVICE_ERROR) || (Status == IPMI_CC_NODE_BUSY) || (Status == IPMI_CC_INIT_IN_PROGRESS)) ? *Health + 1 : 0;
  if ((Private->Sink.Silence != KCS_ANSWERED) || (Status == IPMI_CC_TIMEOUT) || (Strikes > KCS_WRITTEN_OFF)) {
    Strikes = KCS_WRITTEN_OFF;
  }

  *Health = static_cast<UINT8>(Strikes);

  return Status;
}

VOID KCS_INTERNAL
KcsWaitForReadyBmcs (
  IN OUT KCS_TRANSPORT_PRIVATE  *Private
  )
{
  UINT8   Identity[IPMI_DEVICE_ID_FIRMWARE_BYTE + 1];
  UINT32  Start;

  Start = Private->Ticks;
  for (UINT8 Index = 0; Index < Private->BmcCount; Index++) {
    do {
      Private->Sink.Data     = Identity;
      Private->Sink.Capacity = sizeof (Identity);
      if ((KcsTransact (Private, Index, KcsNetFnLun (IPMI_NETFN_APP, 0), IPMI_CMD_GET_DEVICE_ID, nullptr, 0) == EFI_SUCCESS) &&
          (Private->Sink.Stored == sizeof (Identity)) && ((Identity[IPMI_DEVICE_ID_FIRMWARE_BYTE] & IPMI_DEVICE_ID_UNAVAILABLE) == 0))
      {
        break;
      }

      //
      // Not ready: written off unless a later attempt gets the answer.
      //
      Private->Health[Index] = KCS_WRITTEN_OFF;
      if ((Private->Sink.Silence == KCS_FLOATING) || (Private->Ticks - Start >= Private->WaitTicks[KCS_WAIT_READY])) {
        break;
      }

      //
      // The pause: a wait for a status that never comes, on the same clock
      // and the same BMC's status register.
      //
      (VOID)WaitStatus (Private, 0, 1, KCS_READY_PAUSE_TICKS);
    } while (TRUE);
  }
}

}  // namespace OskelKcs
