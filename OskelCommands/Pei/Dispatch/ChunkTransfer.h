/** @file
  The chunk loop shared by the region, file and block-upload transfers.

  A transfer of Count bytes travels as a first chunk of at most FirstLength
  bytes and then chunks of at most BMC_CHUNK_SIZE; chunk i always starts
  Done bytes into the transfer, whatever earlier chunks moved, so a short
  chunk leaves the rest of its stretch of the caller's buffer untouched.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include "Dispatch.h"

namespace Oskel {

struct Chunk {
  UINT32     Done;     // bytes of the transfer before this chunk
  UINT8      Length;   // this chunk's bytes
  BOOLEAN    Last;     // no chunk follows this one
  UINT8      Moved;    // out: the bytes the BMC took or gave, at most Length
  UINT16     Handle;   // carried from chunk to chunk, for a protocol that chains them; starts at 0
};

//
// Builds and sends the request of one chunk and judges its answer.
//
typedef EFI_STATUS (OSKEL_INTERNAL *CHUNK_STEP)(Operation &Op, Chunk &Piece);

//
// Runs Step on every chunk in turn and stops at the first that fails. On
// EFI_SUCCESS *Total receives the sum of the bytes moved; on failure it is
// left as it was.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
TransferInChunks (
  IN OUT Operation  &Op,
  IN UINT32         Count,
  IN UINT8          FirstLength,
  IN CHUNK_STEP     Step,
  OUT UINT32        *Total
  );

}  // namespace Oskel
