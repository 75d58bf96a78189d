/** @file
  The BT (block transfer) system interface, host side: a whole request
  written to the BMC's H2B buffer and a whole answer read from its B2H
  buffer, through the control register's flags; sequence numbers checked
  so that a late answer to an earlier request is dropped, never taken for
  the answer to this one; the BMC's buffer sizes from Get BT Interface
  Capabilities.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "IpmiTransportPei.h"

#if OSKEL_TRANSPORT_BT

namespace OskelTransport {

namespace {

//
// The control register (BT_CTRL). Read, each bit is a state; written, a 1
// acts and a 0 leaves the bit alone: CLR_WR_PTR and CLR_RD_PTR put the
// buffer's write or read pointer back to its start, H2B_ATN tells the BMC
// a request is in its buffer, B2H_ATN and SMS_ATN are cleared, H_BUSY
// toggles. B_BUSY is the BMC's own: set while it is taking or serving a
// request. SMS_ATN tells system software that the BMC holds a message or
// an event for it; the transport is not that software and never clears it,
// so the operating system's driver still finds it.
//
constexpr UINT8  BT_CLR_WR_PTR = 0x01;
constexpr UINT8  BT_CLR_RD_PTR = 0x02;
constexpr UINT8  BT_H2B_ATN    = 0x04;
constexpr UINT8  BT_B2H_ATN    = 0x08;
constexpr UINT8  BT_H_BUSY     = 0x40;
constexpr UINT8  BT_B_BUSY     = 0x80;

//
// A message in either buffer: its length (the bytes that follow it), the
// NetFn/LUN byte, the sequence number, the command, then the data; an
// answer's data starts with the completion code.
//
constexpr UINT8  BT_HEADER_SIZE       = 4;
constexpr UINT8  BT_MIN_ANSWER_LENGTH = 4;

//
// Every BT BMC's buffers take 64 bytes at least; that is what a BMC that
// has not told its sizes is held to.
//
constexpr UINT8  BT_MIN_BUFFER = 64;

//
// Answers with another request's sequence number, NetFn or command that
// one transaction takes and drops before it gives up on its own: the BMC
// serves one request at a time, so each is the late answer of an earlier
// request that timed out, and a BMC that keeps sending them is garbled.
//
constexpr UINT8  BT_LATE_ANSWERS = 3;

//
// An answer that is not the one awaited, taken and dropped.
//
constexpr EFI_STATUS  BT_OTHER_ANSWER = EFI_ABORTED;

//
// Get BT Interface Capabilities: its data starts with the number of
// outstanding requests the BMC takes, then the sizes of its request and
// response buffers.
//
constexpr UINT8  IPMI_CMD_GET_BT_INTERFACE_CAPABILITIES = 0x36;
constexpr UINT8  BT_CAPABILITIES_DATA                   = 3;
constexpr UINT8  BT_CAPABILITIES_REQUEST_BUFFER         = 1;

static_assert (BT_CAPABILITIES_REQUEST_BUFFER + 1 + 1 == BT_CAPABILITIES_DATA, "the response buffer's size follows the request buffer's");
static_assert (BT_RESPONSE_BUFFER == BT_REQUEST_BUFFER + 1, "the sizes are kept in the order the BMC reports them");

//
// The most bytes a message may take in one of the buffers of the BMC in
// the transaction: as the BMC reported, else the chapter's minimum.
//
UINT8 TRANSPORT_INTERNAL
BufferLimit (
  IN TRANSPORT_PRIVATE  *Private,
  IN UINT8              Buffer
  )
{
  UINT8  Size = Private->State.BtBuffer[Private->Current][Buffer];

  return (Size != 0) ? Size : BT_MIN_BUFFER;
}

VOID TRANSPORT_INTERNAL
WriteControl (
  IN TRANSPORT_PRIVATE  *Private,
  IN UINT8              Bits
  )
{
  WriteRegister (Private, Private->StatusPort, Bits);
}

/**
  Takes the answer the BMC has put in its B2H buffer (B2H_ATN set): H_BUSY
  set while the host reads, B2H_ATN cleared, the read pointer back at the
  start, the length byte, then the bytes it announces, H_BUSY cleared. The
  data after the completion code goes to the sink, at most its capacity,
  and only from an answer whose header is the one awaited.

  @param[in, out] Private   The record, in a transaction; H_BUSY clear.
  @param[in]      Expected  The answer's NetFn/LUN, sequence number and
                            command; NULL takes and drops whatever is there.

  @retval BT_OTHER_ANSWER   Another request's answer, or any with Expected
                            NULL: dropped.
  @retval EFI_DEVICE_ERROR  A length too short for an answer, or past the
                            BMC's response buffer: nothing more is read.
  @retval other             EFI_SUCCESS or the non-zero completion code.
**/
EFI_STATUS TRANSPORT_INTERNAL
TakeAnswer (
  IN OUT TRANSPORT_PRIVATE  *Private,
  IN CONST UINT8            *Expected
  )
{
  RESPONSE_SINK  *Sink = &Private->Sink;
  UINT8          Length;
  UINT8          Byte;
  BOOLEAN        Mismatch;
  UINT8          CompletionCode;
  EFI_STATUS     Answer;

  WriteControl (Private, BT_H_BUSY);
  WriteControl (Private, BT_B2H_ATN);
  WriteControl (Private, BT_CLR_RD_PTR);
  Length = ReadRegister (Private, Private->DataPort);
  Answer = EFI_DEVICE_ERROR;
  if ((Length >= BT_MIN_ANSWER_LENGTH) && (Length <= BufferLimit (Private, BT_RESPONSE_BUFFER))) {
    Mismatch       = (Expected == nullptr) ? TRUE : FALSE;
    CompletionCode = 0;
    for (UINT8 Count = 0; Count < Length; Count++) {
      Byte = ReadRegister (Private, Private->DataPort);
      if (Count < BT_HEADER_SIZE - 1) {
        if (!Mismatch) {
          Mismatch = (Byte != Expected[Count]) ? TRUE : FALSE;
        }
      } else if (Count == BT_HEADER_SIZE - 1) {
        CompletionCode = Byte;
      } else if (!Mismatch && (Sink->Stored < Sink->Capacity)) {
        Sink->Data[Sink->Stored++] = Byte;
      }
    }

    Answer = Mismatch ? BT_OTHER_ANSWER : (CompletionCode != 0) ? static_cast<EFI_STATUS>(CompletionCode) : EFI_SUCCESS;
  }

  WriteControl (Private, BT_H_BUSY);
  return Answer;
}

/**
  One request and its answer, the buffer sizes as known.

  @retval EFI_BAD_BUFFER_SIZE  The request does not fit the BMC's request
                               buffer; no port was touched.
  @retval EFI_NOT_READY        B_BUSY or H2B_ATN stayed set through the
                               first wait; nothing was written.
  @retval EFI_DEVICE_ERROR     The control register reads FFh, no answer of
                               this request within the flag wait, or a
                               malformed answer.
  @retval other                EFI_SUCCESS or the non-zero completion code.
**/
EFI_STATUS TRANSPORT_INTERNAL
Exchange (
  IN OUT TRANSPORT_PRIVATE  *Private,
  IN UINT8                  RequestNetFnLun,
  IN UINT8                  Command,
  IN CONST UINT8            *Request,
  IN UINT8                  RequestSize
  )
{
  UINT8       Header[BT_HEADER_SIZE];
  UINTN       Total;
  UINT32      Start;
  EFI_STATUS  Answer;

  Total = BT_HEADER_SIZE + static_cast<UINTN>(RequestSize);
  if (Total > BufferLimit (Private, BT_REQUEST_BUFFER)) {
    return EFI_BAD_BUFFER_SIZE;
  }

  //
  // The BMC takes a request once it is not busy and has taken the last
  // one. Busy through the wait: the request never reached it, and the
  // caller may send it again; FFh: nothing is fitted there.
  //
  if (!WaitStatus (Private, BT_B_BUSY | BT_H2B_ATN, 0, Private->WaitTicks[WAIT_FLAG])) {
    return (Private->Sink.Silence == FLOATING) ? EFI_DEVICE_ERROR : EFI_NOT_READY;
  }

  //
  // H_BUSY still set by a host whose read was cut short would hold the
  // BMC's next answer back; an answer already waiting is a late one, of a
  // request that timed out, and goes before this request is written.
  //
  if ((Private->Status & BT_H_BUSY) != 0) {
    WriteControl (Private, BT_H_BUSY);
  }

  if ((Private->Status & BT_B2H_ATN) != 0) {
    (VOID)TakeAnswer (Private, nullptr);
  }

  //
  // The whole request into the H2B buffer from its start, then H2B_ATN.
  //
  Header[0] = static_cast<UINT8>(Total - 1);
  Header[1] = RequestNetFnLun;
  Header[2] = Private->State.Sequence++;
  Header[3] = Command;
  WriteControl (Private, BT_CLR_WR_PTR);
  for (UINTN Index = 0; Index < Total; Index++) {
    WriteRegister (Private, Private->DataPort, (Index < BT_HEADER_SIZE) ? Header[Index] : Request[Index - BT_HEADER_SIZE]);
  }

  WriteControl (Private, BT_H2B_ATN);

  //
  // The answer: NetFn one above the request's, its sequence number and
  // command. Answers to other requests are dropped and the wait goes on,
  // one flag wait for all of them together.
  //
  Header[1] = ResponseNetFnLun (RequestNetFnLun);
  Start     = Private->Ticks;
  for (UINT8 Answers = 0; Answers <= BT_LATE_ANSWERS; Answers++) {
    if (!WaitStatus (Private, BT_B2H_ATN, BT_B2H_ATN, Private->WaitTicks[WAIT_FLAG] - (Private->Ticks - Start))) {
      return EFI_DEVICE_ERROR;
    }

    Answer = TakeAnswer (Private, &Header[1]);
    if (Answer != BT_OTHER_ANSWER) {
      return Answer;
    }
  }

  return EFI_DEVICE_ERROR;
}

}  // namespace

EFI_STATUS TRANSPORT_INTERNAL
BtExchange (
  IN OUT TRANSPORT_PRIVATE  *Private
  )
{
  UINT8       *Buffers = Private->State.BtBuffer[Private->Current];
  UINT8       *Data;
  UINT8       Capacity;
  UINT8       Capabilities[BT_CAPABILITIES_DATA];
  EFI_STATUS  Status;

  //
  // Before the first request to a BMC, its buffer sizes. Kept once it has
  // answered them; an answer without them (a completion code) leaves the
  // chapter's minimum for this request and the question for the next.
  // Silence or a garbled answer ends the transaction there.
  //
  if (Buffers[BT_REQUEST_BUFFER] == 0) {
    Data                   = Private->Sink.Data;
    Capacity               = Private->Sink.Capacity;
    Private->Sink.Data     = Capabilities;
    Private->Sink.Capacity = sizeof (Capabilities);
    Status                 = Exchange (Private, NetFnLun (IPMI_NETFN_APP, 0), IPMI_CMD_GET_BT_INTERFACE_CAPABILITIES, nullptr, 0);
    if ((Status == EFI_SUCCESS) && (Private->Sink.Stored == sizeof (Capabilities))) {
      Buffers[BT_REQUEST_BUFFER]  = Capabilities[BT_CAPABILITIES_REQUEST_BUFFER];
      Buffers[BT_RESPONSE_BUFFER] = Capabilities[BT_CAPABILITIES_REQUEST_BUFFER + 1];
    }

    Private->Sink.Data     = Data;
    Private->Sink.Capacity = Capacity;
    Private->Sink.Stored   = 0;
    if (EFI_ERROR (Status)) {
      return Status;
    }
  }

  return Exchange (Private, Private->RequestHeader[REQUEST_NETFN_LUN], Private->RequestHeader[REQUEST_COMMAND], Private->Request, Private->RequestSize);
}

}  // namespace OskelTransport

#endif
