/** @file
  Region read and write, OEM commands 0Bh and 0Ch.

  A transfer of up to 65535 bytes travels in chunks of BMC_CHUNK_SIZE under
  one guard. Chunk i addresses the region at Offset + 224 * i, wrapping at
  64 KiB, and the caller's buffer at 224 * i, whatever earlier chunks
  returned.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/ChunkTransfer.h"
#include "../MemoryRoutines.h"
#include "OemCommands.h"

using namespace Oskel;

namespace {

//
// Request fields: the 16-bit region offset, the selector, then a read's
// count or a write's data. A read's answer is the data alone.
//
constexpr UINT8  REGION_ADDRESS_OFFSET    = 0;
constexpr UINT8  REGION_SELECTOR_OFFSET   = 2;
constexpr UINT8  REGION_COUNT_OFFSET      = 3;
constexpr UINT8  REGION_READ_LENGTH       = 4;
constexpr UINT8  REGION_WRITE_DATA_OFFSET = 3;

//
// One chunk of either direction; Spec.Command tells them apart. A chunk
// addresses the region at Offset + Done, wrapping at 64 KiB. A read chunk
// asks for its own count and copies at most that many bytes into its
// stretch of the caller's buffer, even when the transport reports more.
//
EFI_STATUS OSKEL_INTERNAL
TransferRegionChunk (
  IN OUT Operation  &Op,
  IN OUT Chunk      &Piece
  )
{
  CONST ArgumentWords  Region   = Op.Arguments ();
  UINT8                *Buffer  = Region.Get (REGION_BUFFER) + Piece.Done;
  UINT8                *Request = Op.Scratch ();
  EFI_STATUS           Status;

  PutUint16Le (&Request[REGION_ADDRESS_OFFSET], static_cast<UINT16>(Region.Get (REGION_OFFSET) + Piece.Done));
  Request[REGION_SELECTOR_OFFSET] = Region.Get (REGION_SELECTOR);
  if (Op.Spec->Command == OEM_CMD_REGION_READ) {
    Request[REGION_COUNT_OFFSET] = Piece.Length;
    Status                       = SpecExchange (Op, { .RequestLength = REGION_READ_LENGTH, .Capacity = Piece.Length });
    Piece.Moved = Op.Received;
    if (Status == EFI_SUCCESS) {
      CopyMem (Buffer, Request, Piece.Moved);
    }

    return Status;
  }

  //
  // A write is acknowledged by its completion code alone and is offered no
  // response buffer.
  //
  CopyMem (&Request[REGION_WRITE_DATA_OFFSET], Buffer, Piece.Length);
  Piece.Moved = Piece.Length;
  return SpecExchange (Op, { .RequestLength = static_cast<UINT8>(REGION_WRITE_DATA_OFFSET + Piece.Length) });
}

}  // namespace

namespace Oskel {

EFI_STATUS OSKEL_INTERNAL
CheckRegionLength (
  IN OUT Operation  &Op
  )
{
  //
  // Refused before the guard: an empty transfer never consults the BMC's
  // health.
  //
  return (*Op.Get (REGION_LENGTH) == 0) ? EFI_BAD_BUFFER_SIZE : EFI_SUCCESS;
}

//
// *Length is written only when every chunk succeeded.
//
EFI_STATUS OSKEL_INTERNAL
TransferRegion (
  IN OUT Operation  &Op
  )
{
  UINT16      *Length = Op.Get (REGION_LENGTH);
  UINT32      Total;
  EFI_STATUS  Status;

  Status = TransferInChunks (Op, *Length, BMC_CHUNK_SIZE, TransferRegionChunk, &Total);
  if (Status == EFI_SUCCESS) {
    *Length = static_cast<UINT16>(Total);
  }

  return Status;
}

}  // namespace Oskel
