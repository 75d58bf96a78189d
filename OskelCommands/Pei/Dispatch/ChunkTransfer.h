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
// Builds and sends the request of one chunk and judges its answer; sets
// Piece.Moved on success, and may carry Piece.Handle to the next chunk.
//
typedef EFI_STATUS (OSKEL_INTERNAL *CHUNK_STEP)(Operation &Op, Chunk &Piece);

/**
  Runs Step on every chunk of a transfer in turn and stops at the first
  that fails.

  @param[in, out] Op           The operation in progress, handed to Step.
  @param[in]      Count        Bytes of the whole transfer; 0 runs no chunk.
  @param[in]      FirstLength  Largest first chunk; the later ones take up
                               to BMC_CHUNK_SIZE.
  @param[in]      Step         The exchange of one chunk.
  @param[out]     Total        The sum of the bytes the chunks moved;
                               written only on success.

  @retval EFI_SUCCESS  Every chunk succeeded.
  @retval Other        The status of the first chunk that failed.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
TransferInChunks (
  IN OUT Operation  &Op,
  IN UINT32         Count,
  IN UINT8          FirstLength,
  IN CHUNK_STEP     Step,
  OUT UINT32        *Total
  );

}  // namespace Oskel
