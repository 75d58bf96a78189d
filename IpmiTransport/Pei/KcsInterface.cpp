/** @file
  The KCS system interface, host side: one write/read transaction per call
  through the data and status/command registers, every flag wait bounded
  on the clock, the Get Status/Abort sequence after an ERROR or unexpected
  state.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "IpmiTransportPei.h"

#if OSKEL_TRANSPORT_KCS

namespace OskelTransport {

namespace {

//
// Status register: OBF bit 0, IBF bit 1, interface state in bits 7:6.
//
constexpr UINT8  KCS_STATUS_OBF         = 0x01;
constexpr UINT8  KCS_STATUS_IBF         = 0x02;
constexpr UINT8  KCS_STATUS_STATE_SHIFT = 6;
constexpr UINT8  KCS_STATE_IDLE         = 0;
constexpr UINT8  KCS_STATE_READ         = 1;
constexpr UINT8  KCS_STATE_WRITE        = 2;
constexpr UINT8  KCS_STATE_ERROR        = 3;

//
// Control codes.
//
constexpr UINT8  KCS_CC_GET_STATUS_ABORT = 0x60;
constexpr UINT8  KCS_CC_WRITE_START      = 0x61;
constexpr UINT8  KCS_CC_WRITE_END        = 0x62;
constexpr UINT8  KCS_CC_READ             = 0x68;

//
// A response is the NetFn/LUN byte, the command, the completion code and at
// most 255 data bytes; a BMC that keeps the READ state longer is faulty.
//
constexpr UINTN  KCS_RESPONSE_HEADER_SIZE = 3;
constexpr UINTN  KCS_MAX_RESPONSE_BYTES   = KCS_RESPONSE_HEADER_SIZE + 255;

constexpr UINT8
StateOf (
  IN UINT8  Status
  )
{
  return static_cast<UINT8>(Status >> KCS_STATUS_STATE_SHIFT);
}

//
// Before each write and each read of the transaction: the BMC has taken
// the last byte written, within the platform's flag wait.
//
[[nodiscard]] BOOLEAN TRANSPORT_INTERNAL
WaitIbfClear (
  IN OUT TRANSPORT_PRIVATE  *Private
  )
{
  return WaitStatus (Private, KCS_STATUS_IBF, 0, Private->WaitTicks[WAIT_FLAG]);
}

//
// A byte left in the output register would be taken for the next response
// byte; reading the data register empties it.
//
VOID TRANSPORT_INTERNAL
ClearObf (
  IN OUT TRANSPORT_PRIVATE  *Private
  )
{
  if ((Private->Status & KCS_STATUS_OBF) != 0) {
    (VOID)ReadRegister (Private, Private->DataPort);
  }
}

//
// After each write of the write phase: the BMC has taken the byte and is
// still in the WRITE state.
//
[[nodiscard]] BOOLEAN TRANSPORT_INTERNAL
WriteAccepted (
  IN OUT TRANSPORT_PRIVATE  *Private
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

  @param[in, out] Private  The record, in a transaction: the request's
                           header, the sink.

  @retval EFI_ABORTED       A wait ran out or the state was neither READ nor
                            IDLE: the interface needs an abort.
  @retval EFI_DEVICE_ERROR  Fewer than three bytes, or a mismatched echo.
  @retval other             EFI_SUCCESS or the non-zero completion code.
**/
EFI_STATUS TRANSPORT_INTERNAL
ReadResponse (
  IN OUT TRANSPORT_PRIVATE  *Private
  )
{
  RESPONSE_SINK  *Sink = &Private->Sink;
  UINT8          Byte;
  UINT8          State;
  UINTN          Count;
  BOOLEAN        Mismatch;
  UINT8          CompletionCode;

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
        (((Private->Status & KCS_STATUS_OBF) == 0) && !WaitStatus (Private, KCS_STATUS_OBF, KCS_STATUS_OBF, Private->WaitTicks[WAIT_FLAG])))
    {
      return EFI_ABORTED;
    }

    Byte = ReadRegister (Private, Private->DataPort);
    if (State == KCS_STATE_IDLE) {
      break;
    }

    //
    // The echo: the request's header, its network function one above.
    //
    if (Count < sizeof (Private->RequestHeader)) {
      Mismatch |= (Byte != static_cast<UINT8>(Private->RequestHeader[Count] + ((Count == REQUEST_NETFN_LUN) ? RESPONSE_STEP : 0))) ? TRUE : FALSE;
    } else if (Count == sizeof (Private->RequestHeader)) {
      CompletionCode = Byte;
    } else if (!Mismatch && (Sink->Stored < Sink->Capacity)) {
      Sink->Data[Sink->Stored++] = Byte;
    }

    WriteRegister (Private, Private->DataPort, KCS_CC_READ);
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
EFI_STATUS TRANSPORT_INTERNAL
AbortTransaction (
  IN OUT TRANSPORT_PRIVATE  *Private
  )
{
  if ((Private->Sink.Silence != ANSWERED) || !WaitIbfClear (Private)) {
    return EFI_DEVICE_ERROR;
  }

  WriteRegister (Private, Private->StatusPort, KCS_CC_GET_STATUS_ABORT);
  if (!WaitIbfClear (Private)) {
    return EFI_DEVICE_ERROR;
  }

  ClearObf (Private);
  WriteRegister (Private, Private->DataPort, 0x00);
  (VOID)ReadResponse (Private);
  return EFI_DEVICE_ERROR;
}

}  // namespace

EFI_STATUS TRANSPORT_INTERNAL
KcsExchange (
  IN OUT TRANSPORT_PRIVATE  *Private
  )
{
  UINT16      Register;
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
  Total     = sizeof (Private->RequestHeader) + static_cast<UINTN>(Private->RequestSize);
  Register  = Private->StatusPort;
  Byte      = KCS_CC_WRITE_START;
  for (UINTN Index = 0; ; ) {
    WriteRegister (Private, Register, Byte);
    if (Index == Total) {
      break;
    }

    if (!WriteAccepted (Private)) {
      return AbortTransaction (Private);
    }

    if ((Index == Total - 1) && (Register == Private->DataPort)) {
      Register = Private->StatusPort;
      Byte     = KCS_CC_WRITE_END;
    } else {
      Register = Private->DataPort;
      Byte     = (Index < sizeof (Private->RequestHeader)) ? Private->RequestHeader[Index] : Private->Request[Index - sizeof (Private->RequestHeader)];
      Index++;
    }
  }

  Answer = ReadResponse (Private);
  return (Answer == EFI_ABORTED) ? AbortTransaction (Private) : Answer;
}

}  // namespace OskelTransport

#endif
