/** @file
  The SSIF system interface, host side: IPMI messages as SMBus block
  writes and reads to the BMC's target address, through the board's SMBus2
  PPI. A message of up to 32 bytes is one block each way; a longer request
  goes out as a multi-part write (start, middles, end), a longer answer
  comes back as a multi-part read (a start block, then middle blocks
  numbered from 0, the last block numbered FFh). What the BMC takes is
  asked once per BMC with Get System Interface Capabilities.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "IpmiTransportPei.h"

#if OSKEL_TRANSPORT_SSIF

namespace OskelTransport {

namespace {

inline constexpr EFI_GUID  mSmbus2PpiGuid = EFI_PEI_SMBUS2_PPI_GUID;

//
// SMBus command bytes of the SSIF transactions. Writes: a whole request
// (02h), or the first 32 bytes of a longer one (06h), each next 32 (07h)
// and the last 1 to 32 (08h). Reads: the answer, or its first block
// (03h); the next block (09h); the block just read again (0Ah), when its
// read failed on the bus.
//
constexpr UINT8  SSIF_WRITE        = 0x02;
constexpr UINT8  SSIF_WRITE_START  = 0x06;
constexpr UINT8  SSIF_WRITE_MIDDLE = 0x07;
constexpr UINT8  SSIF_WRITE_END    = 0x08;
constexpr UINT8  SSIF_READ         = 0x03;
constexpr UINT8  SSIF_READ_MIDDLE  = 0x09;
constexpr UINT8  SSIF_READ_RETRY   = 0x0A;

//
// An SMBus block carries 32 bytes at most. The first block of a
// multi-part read starts with 00h 01h; each later block with its number,
// 00h for the first middle block, FFh for the last. Every block but the
// last is full.
//
constexpr UINT8  SMBUS_BLOCK        = 32;
constexpr UINT8  SSIF_START_MARK_0  = 0x00;
constexpr UINT8  SSIF_START_MARK_1  = 0x01;
constexpr UINT8  SSIF_LAST_BLOCK    = 0xFF;

//
// A message: NetFn/LUN, command, and for an answer the completion code,
// before the data.
//
constexpr UINT8  SSIF_ANSWER_HEADER = 3;

//
// Get System Interface Capabilities for SSIF (request data 00h). Its data
// after the completion code: a reserved byte; the transaction support
// (bits 7:6: 00b single-part only, 01b start and end, 10b start, middle
// and end) and PEC support (bit 3); the largest request and answer
// messages, in bytes.
//
constexpr UINT8  IPMI_CMD_GET_SYSTEM_INTERFACE_CAPABILITIES = 0x57;
constexpr UINT8  SSIF_INTERFACE_TYPE                        = 0x00;
constexpr UINT8  SSIF_CAPABILITIES_DATA                     = 4;
constexpr UINT8  SSIF_CAPABILITIES_SUPPORT                  = 1;
constexpr UINT8  SSIF_CAPABILITIES_REQUEST                  = 2;
constexpr UINT8  SSIF_TRANSACTIONS_SHIFT                    = 6;
constexpr UINT8  SSIF_PEC_SUPPORTED                         = 0x08;

constexpr UINT8  mSsifInterfaceType = SSIF_INTERFACE_TYPE;

static_assert (SSIF_CAPABILITIES_REQUEST + 1 + 1 == SSIF_CAPABILITIES_DATA, "the answer's size follows the request's");
static_assert (SSIF_RESPONSE == SSIF_REQUEST + 1, "the sizes are kept in the order the BMC reports them");

//
// The largest message the transactions a BMC supports carry, by its
// transaction support: one block, two (start and end), or the most an
// IPMI message has (start, middles and end). The reserved value is taken
// as single blocks.
//
constexpr UINT8  mLargestMessage[4] = { SMBUS_BLOCK, 2 * SMBUS_BLOCK, 0xFF, SMBUS_BLOCK };

//
// A BMC that refuses the transaction for now (it NACKs its address while
// it prepares an answer, or a collision, a bus error or a PEC mismatch
// spoils it) is asked again after this pause, until the flag wait has
// passed: the SMBus gives no flag to poll.
//
constexpr UINT32  SSIF_RETRY_PAUSE_TICKS = TicksFor (1000);

//
// A BMC takes milliseconds to answer a request, so it is first asked for
// the answer after this pause: sooner earns NACKs only, and a BMC that
// does not NACK while it prepares the answer (QEMU's smbus-ipmi) gives
// the block read last instead, which can pass for the answer when the
// request before had the same NetFn and command.
//
constexpr UINT32  SSIF_ANSWER_PAUSE_TICKS = TicksFor (5000);

/**
  One SMBus block transaction with the BMC of the transaction in progress,
  carrying a packet error code when the BMC said its transactions do.

  @param[in]      Private    The record, in a transaction; its SMBus PPI.
  @param[in]      Command    The SSIF command byte.
  @param[in]      Operation  EfiSmbusWriteBlock or EfiSmbusReadBlock.
  @param[in, out] Length     The bytes to write; for a read, the room, then
                             what the driver says it read.
  @param[in, out] Block      The bytes.

  @return What the SMBus driver returns.
**/
EFI_STATUS TRANSPORT_INTERNAL
Execute (
  IN TRANSPORT_PRIVATE    *Private,
  IN UINT8                Command,
  IN EFI_SMBUS_OPERATION  Operation,
  IN OUT UINTN            *Length,
  IN OUT UINT8            *Block
  )
{
  EFI_SMBUS_DEVICE_ADDRESS  Target;

  Target.SmbusDeviceAddress = Private->Address[Private->Current];
  return Private->Smbus->Execute (
                           Private->Smbus,
                           Target,
                           Command,
                           Operation,
                           ((Private->State.Ssif[Private->Current][SSIF_FLAGS] & SSIF_PEC) != 0) ? TRUE : FALSE,
                           Length,
                           Block
                           );
}

/**
  Writes the request, in one block or in parts.

  @param[in] Private  The record, in a transaction.
  @param[in] Header   The request's NetFn/LUN and command.
  @param[in] Request  Its data.
  @param[in] Total    The message's size: the header and the data.

  @retval TRUE   Every part was taken.
  @retval FALSE  A part failed: the request is to be written again from its
                 start (a start block begins a new request at the BMC).
**/
[[nodiscard]] BOOLEAN TRANSPORT_INTERNAL
WriteRequest (
  IN TRANSPORT_PRIVATE  *Private,
  IN CONST UINT8        *Header,
  IN CONST UINT8        *Request,
  IN UINTN              Total
  )
{
  UINT8  Block[SMBUS_BLOCK];
  UINTN  Sent;
  UINTN  Part;
  UINT8  Command;

  Command = (Total <= SMBUS_BLOCK) ? SSIF_WRITE : SSIF_WRITE_START;
  for (Sent = 0; Sent < Total; Sent += Part) {
    if (Sent != 0) {
      Command = (Total - Sent > SMBUS_BLOCK) ? SSIF_WRITE_MIDDLE : SSIF_WRITE_END;
    }

    Part = (Total - Sent > SMBUS_BLOCK) ? SMBUS_BLOCK : Total - Sent;
    for (UINTN Index = 0; Index < Part; Index++) {
      Block[Index] = (Sent + Index < REQUEST_COMMAND + 1) ? Header[Sent + Index] : Request[Sent + Index - (REQUEST_COMMAND + 1)];
    }

    if (EFI_ERROR (Execute (Private, Command, EfiSmbusWriteBlock, &Part, Block))) {
      return FALSE;
    }
  }

  return TRUE;
}

/**
  One request and its answer, the BMC's limits as known.

  @param[in, out] Private      The record, in a transaction; its sink.
  @param[in]      Header       The request's NetFn/LUN and command.
  @param[in]      Request      Its data.
  @param[in]      RequestSize  The data's size.

  @retval EFI_BAD_BUFFER_SIZE  The request is larger than the BMC takes;
                               nothing was sent.
  @retval EFI_DEVICE_ERROR     The BMC did not take the request, or gave no
                               answer of this request's, within the flag
                               wait (the sink's Silence says TIMED_OUT); or
                               a garbled answer: a block out of its place
                               or number, a short block before the last,
                               an answer past the size the BMC announced.
  @retval other                EFI_SUCCESS or the non-zero completion code.
**/
EFI_STATUS TRANSPORT_INTERNAL
Exchange (
  IN OUT TRANSPORT_PRIVATE  *Private,
  IN CONST UINT8            *Header,
  IN CONST UINT8            *Request,
  IN UINT8                  RequestSize
  )
{
  CONST UINT8    *Limits = Private->State.Ssif[Private->Current];
  RESPONSE_SINK  *Sink   = &Private->Sink;
  UINT8          Block[SMBUS_BLOCK];
  UINTN          Length;
  UINTN          Total;
  UINTN          Index;
  UINT32         Start;
  UINT8          Command;
  UINT8          Next;
  UINT8          CompletionCode;
  UINT32         Pause;

  //
  // Before the BMC has told its limits, a message is one block.
  //
  Total = static_cast<UINTN>(REQUEST_COMMAND + 1) + RequestSize;
  if (Total > ((Limits[SSIF_REQUEST] != 0) ? Limits[SSIF_REQUEST] : SMBUS_BLOCK)) {
    return EFI_BAD_BUFFER_SIZE;
  }

  //
  // The request, written again from its start while a part of it is not
  // taken, within one flag wait.
  //
  Start = StartWait (Private);
  while (!WriteRequest (Private, Header, Request, Total)) {
    if (!PauseWithin (Private, Start, Private->WaitTicks[WAIT_FLAG], SSIF_RETRY_PAUSE_TICKS)) {
      return EFI_DEVICE_ERROR;
    }
  }

  //
  // The answer: the BMC NACKs the read until it has one; it is first
  // asked after the answer pause. A block that fails on the bus is read
  // again, the first with 03h, a later one with 0Ah: 09h would move on to
  // the next. The first block holds the answer's NetFn/LUN, command and
  // completion code (a multi-part start has 30 bytes of it); the data goes
  // to the sink up to its capacity, the rest is read and dropped.
  //
  Start          = StartWait (Private);
  Command        = SSIF_READ;
  Next           = 0;
  Total          = 0;
  CompletionCode = 0;
  for (Pause = SSIF_ANSWER_PAUSE_TICKS; ; ) {
    if ((Pause != 0) && !PauseWithin (Private, Start, Private->WaitTicks[WAIT_FLAG], Pause)) {
      return EFI_DEVICE_ERROR;
    }

    Pause = SSIF_RETRY_PAUSE_TICKS;

    Length = sizeof (Block);
    if (EFI_ERROR (Execute (Private, Command, EfiSmbusReadBlock, &Length, Block))) {
      if (Command != SSIF_READ) {
        Command = SSIF_READ_RETRY;
      }

      continue;
    }

    //
    // A driver that reports more than the room it was given is not
    // believed. Only a full first block marked 00h 01h starts a multi-part
    // read; each later block carries its number first, and every block
    // but the last (FFh) is full.
    //
    if (Length > sizeof (Block)) {
      return EFI_DEVICE_ERROR;
    }

    Index = 0;
    if (Total == 0) {
      if ((Length == SMBUS_BLOCK) && (Block[0] == SSIF_START_MARK_0) && (Block[1] == SSIF_START_MARK_1)) {
        Index = 2;
      }

      //
      // A first block that is not this request's answer is an answer to
      // an earlier request come late, or the block read last once more
      // from a BMC that does not NACK before its answer is ready: it is
      // dropped and the answer asked for again, within the flag wait.
      //
      if ((Length < Index + SSIF_ANSWER_HEADER) ||
          (Block[Index + REQUEST_NETFN_LUN] != ResponseNetFnLun (Header[REQUEST_NETFN_LUN])) ||
          (Block[Index + REQUEST_COMMAND] != Header[REQUEST_COMMAND]))
      {
        continue;
      }

      Command        = (Index != 0) ? SSIF_READ_MIDDLE : SSIF_READ;
      CompletionCode = Block[Index + SSIF_ANSWER_HEADER - 1];
      Index         += SSIF_ANSWER_HEADER;
      Total          = SSIF_ANSWER_HEADER;
    } else {
      //
      // A read that failed before the BMC saw it leaves the BMC on the
      // block before, and 0Ah brings that one again: it is dropped, and
      // the next asked for once more, at once.
      //
      if ((Command == SSIF_READ_RETRY) && (Length != 0) && (Next != 0) && (Block[0] == Next - 1)) {
        Command = SSIF_READ_MIDDLE;
        Pause   = 0;
        continue;
      }

      if ((Length == 0) || ((Block[0] != SSIF_LAST_BLOCK) && ((Block[0] != Next) || (Length != SMBUS_BLOCK)))) {
        return EFI_DEVICE_ERROR;
      }

      Command = (Block[0] == SSIF_LAST_BLOCK) ? SSIF_READ : SSIF_READ_MIDDLE;
      Index   = 1;
      Next++;
    }

    //
    // An answer past what the BMC announced (or, for a BMC that has not
    // told, past one block) is not trusted, whatever it holds.
    //
    Total += Length - Index;
    if (Total > ((Limits[SSIF_RESPONSE] != 0) ? Limits[SSIF_RESPONSE] : SMBUS_BLOCK)) {
      return EFI_DEVICE_ERROR;
    }

    for ( ; Index < Length; Index++) {
      if (Sink->Stored < Sink->Capacity) {
        Sink->Data[Sink->Stored++] = Block[Index];
      }
    }

    if (Command == SSIF_READ) {
      return (CompletionCode != 0) ? static_cast<EFI_STATUS>(CompletionCode) : EFI_SUCCESS;
    }

    Pause = 0;
  }
}

/**
  Capabilities as a BMC that has told none: single blocks, no PEC.

  @param[out] Capabilities  The answer's data after its completion code.
**/
inline VOID
Untold (
  OUT UINT8  (&Capabilities)[SSIF_CAPABILITIES_DATA]
  )
{
  for (UINT8 &Byte : Capabilities) {
    Byte = 0;
  }
}

}  // namespace

EFI_STATUS TRANSPORT_INTERNAL
SsifExchange (
  IN OUT TRANSPORT_PRIVATE  *Private
  )
{
  UINT8       *Limits = Private->State.Ssif[Private->Current];
  UINT8       *Data;
  UINT8       Capacity;
  UINT8       Capabilities[SSIF_CAPABILITIES_DATA];
  UINT8       Question[2];
  UINT8       Largest;
  UINT8       Size;
  VOID        *Found;
  EFI_STATUS  Status;

  //
  // The board's SMBus driver, found once per run. Without it, or with an
  // address past 7 bits, the BMC cannot be reached: silence, at once.
  //
  if (Private->Smbus == nullptr) {
    Found = nullptr;
    if (!EFI_ERROR ((*Private->PeiServices)->LocatePpi (Private->PeiServices, &mSmbus2PpiGuid, 0, nullptr, &Found))) {
      Private->Smbus = static_cast<CONST EFI_PEI_SMBUS2_PPI *>(Found);
    }
  }

  if ((Private->Smbus == nullptr) || (Private->Address[Private->Current] > 0x7F)) {
    Private->Sink.Silence = NO_INTERFACE;
    return EFI_DEVICE_ERROR;
  }

  //
  // Before the first request to a BMC, what it takes. The question and
  // its answer are single blocks without PEC, which every SSIF BMC takes.
  // A BMC that answers with a completion code (it does not know the
  // command) is held to single blocks without PEC from then on; silence
  // or a garbled answer ends the transaction there, and the next one asks
  // again.
  //
  if ((Limits[SSIF_FLAGS] & SSIF_KNOWN) == 0) {
    Untold (Capabilities);
    Data                        = Private->Sink.Data;
    Capacity                    = Private->Sink.Capacity;
    Private->Sink.Data          = Capabilities;
    Private->Sink.Capacity      = sizeof (Capabilities);
    Question[REQUEST_NETFN_LUN] = NetFnLun (IPMI_NETFN_APP, 0);
    Question[REQUEST_COMMAND]   = IPMI_CMD_GET_SYSTEM_INTERFACE_CAPABILITIES;
    Status                      = Exchange (Private, Question, &mSsifInterfaceType, sizeof (mSsifInterfaceType));
    Private->Sink.Data          = Data;
    Private->Sink.Capacity      = Capacity;
    Private->Sink.Stored        = 0;
    if (EFI_ERROR (Status)) {
      return Status;
    }

    //
    // The largest message each way is what the BMC reports, within what
    // its transactions carry; a size of 0 is taken as none given, and so
    // is every byte a short answer left out, and every byte after a
    // completion code, whatever it holds (zeros: single blocks, no PEC).
    //
    if (Status != EFI_SUCCESS) {
      Untold (Capabilities);
    }

    Largest = mLargestMessage[Capabilities[SSIF_CAPABILITIES_SUPPORT] >> SSIF_TRANSACTIONS_SHIFT];
    for (UINT8 Way = SSIF_REQUEST; Way <= SSIF_RESPONSE; Way++) {
      Size        = Capabilities[SSIF_CAPABILITIES_REQUEST + Way - SSIF_REQUEST];
      Limits[Way] = ((Size == 0) || (Size > Largest)) ? Largest : Size;
    }

    Limits[SSIF_FLAGS] = ((Capabilities[SSIF_CAPABILITIES_SUPPORT] & SSIF_PEC_SUPPORTED) != 0) ? (SSIF_KNOWN | SSIF_PEC) : SSIF_KNOWN;
  }

  return Exchange (Private, Private->RequestHeader, Private->Request, Private->RequestSize);
}

}  // namespace OskelTransport

#endif
